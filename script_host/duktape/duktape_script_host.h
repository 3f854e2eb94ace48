// The script host over Duktape (ES5.1): one heap per Initialize, on the
// thread that initialises it, with the host's start-up script (globals
// "set", "get" and "__cleanAll") verified against the product's script key.
#pragma once

#include <memory>
#include <string>

#include "script_host/script_limits.h"
#include "script_host/signature_verifying_script_host_base.h"

namespace Corvane::Script::duktape {

class DuktapeHeap;

class DuktapeScriptHost : public SignatureVerifyingScriptHostBase {
public:
    explicit DuktapeScriptHost(const ScriptLimits& limits);
    ~DuktapeScriptHost() override;

    bool Initialize() override;
    bool IsInitialized() const;
    void ShutDown() override;
    void SetNamedObject(const std::wstring& name, std::shared_ptr<IScriptableObject> wrapper) override;
    void AddNamedItem(const std::wstring& name, std::shared_ptr<IScriptableObject> object) override;
    std::shared_ptr<IScriptOperationInvoker> GetInvoker() override;
    std::shared_ptr<IScriptOperationDispatcher> GetDispatcher() override;
    void SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher) override;
    void CollectGarbage(bool full) override;
    void AddVerifiedScript(const std::wstring& text, const std::wstring& source_name) override;

    // Bytes the engine holds now (0 when not initialised).
    std::size_t HeapBytes() const;

private:
    ScriptLimits limits_;
    std::unique_ptr<DuktapeHeap> heap_;
    std::shared_ptr<IScriptOperationDispatcher> dispatcher_;
};

}  // namespace Corvane::Script::duktape
