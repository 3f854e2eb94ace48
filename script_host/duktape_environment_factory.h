// The environment factory of this program: every environment type makes
// the Duktape host, and keeps its type number (0 ScriptEnvironmentFactory,
// 1 ActiveScriptEnvironmentFactory, 3 JsRTEnvironmentFactory,
// 4 JS9ScriptEnvironmentFactory; see script_environment_factories.h).
#pragma once

#include <memory>

#include "script_host/script_environment_factory_if.h"
#include "script_host/script_limits.h"

namespace Corvane::Script {

namespace duktape {
class DuktapeScriptHost;
}

class DuktapeEnvironmentFactory : public IScriptEnvironmentFactory {
public:
    DuktapeEnvironmentFactory(int type, const ScriptLimits& limits);
    ~DuktapeEnvironmentFactory() override;

    int GetType() const override { return type_; }
    std::shared_ptr<IScriptHost> GetScriptHost() override;
    std::shared_ptr<IPluginObjectWrapperImpl> CreatePluginWrapper(IScriptableObject& plugin) override;

    // Script debugging is not offered by this engine; the flag is kept for
    // callers that set it.
    void SetDebuggingEnabled(bool enabled) { debugging_ = enabled; }
    bool IsDebuggingEnabled() const { return debugging_; }

private:
    int type_;
    ScriptLimits limits_;
    bool debugging_ = false;
    std::shared_ptr<duktape::DuktapeScriptHost> host_;
};

}  // namespace Corvane::Script
