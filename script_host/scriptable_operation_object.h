// A native scriptable object whose calls go to its method table (the
// wrapper implementation the environment factory makes).
#pragma once

#include <memory>
#include <mutex>

#include "script_host/scriptable_object.h"

namespace Corvane::Script {

class IScriptEnvironmentFactory;

class ScriptableOperationObject : public IScriptableObject,
                                  public std::enable_shared_from_this<ScriptableOperationObject> {
public:
    // `factory` may be null: the object then uses the engine-neutral table.
    // It is used during construction only and is not kept.
    explicit ScriptableOperationObject(IScriptEnvironmentFactory* factory);

    bool Execute(const std::wstring& method, ScriptVariable& result, std::uint32_t count,
                 const ScriptVariable* args) override;
    std::shared_ptr<IPluginObjectWrapperImpl> GetWrapper() override;
    std::wstring GetName() override { return {}; }
    std::wstring GetVersion() override { return {}; }

protected:
    std::shared_ptr<IPluginObjectWrapperImpl> wrapper_;
};

}  // namespace Corvane::Script
