// A script host on a thread of its own: other threads reach its scripts only
// through the invoker, whose operations run on that thread.
#pragma once

#include <memory>

namespace Corvane::Script {

class IScriptOperationInvoker;

class IAsyncScriptHost {
public:
    // Starts the script thread and waits until it is ready; true when it is
    // (at once when it already runs).
    virtual bool Initialize() = 0;
    // Stops the thread (from any thread, the script thread included).
    virtual void Shutdown() = 0;
    // Calls the scripts' global functions; null while not running.
    virtual std::shared_ptr<IScriptOperationInvoker> GetInvoker() = 0;
    virtual ~IAsyncScriptHost() = default;
};

}  // namespace Corvane::Script
