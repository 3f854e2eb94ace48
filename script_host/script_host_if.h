// A script engine host: runs scripts and exposes native objects to them.
// Every call is made on the thread that runs the host's scripts.
#pragma once

#include <memory>
#include <string>

namespace Corvane::Script {

class IScriptableObject;
class IScriptOperationDispatcher;
class IScriptOperationInvoker;

class IScriptHost {
public:
    virtual bool Initialize() = 0;
    // Checks the script's signature (when verification is on), then runs
    // it. Throws std::runtime_error when the signature does not verify or
    // the script fails; nothing of a refused script runs.
    virtual void AddScript(const std::wstring& text, const std::wstring& source_name) = 0;
    // Sets every global to null, then releases the engine and everything
    // scripts held. Initialize() makes a fresh engine again.
    virtual void ShutDown() = 0;
    // Makes a native object a global of the scripts.
    virtual void SetNamedObject(const std::wstring& name, std::shared_ptr<IScriptableObject> wrapper) = 0;
    virtual void AddNamedItem(const std::wstring& name, std::shared_ptr<IScriptableObject> object) = 0;
    // Calls global script functions by name; null when not initialised.
    virtual std::shared_ptr<IScriptOperationInvoker> GetInvoker() = 0;
    virtual std::shared_ptr<IScriptOperationDispatcher> GetDispatcher() = 0;
    virtual void SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher) = 0;
    virtual void SetSignatureVerification(bool enabled) = 0;
    virtual bool IsSignatureVerificationEnabled() const = 0;
    virtual void CollectGarbage(bool full) = 0;
    virtual ~IScriptHost() = default;
    // Runs a script whose signature was already checked (the signature line
    // is a comment to the engine). Throws std::runtime_error when it fails.
    virtual void AddVerifiedScript(const std::wstring& text, const std::wstring& source_name) = 0;
};

}  // namespace Corvane::Script
