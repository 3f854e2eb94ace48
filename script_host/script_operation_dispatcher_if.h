// The queue that runs script operations on the one thread that owns a script
// engine.
#pragma once

#include <memory>

namespace rk::sys {
class WaitableEvent;
}

namespace Corvane::Script {

class IScriptOperation;

class IScriptOperationDispatcher {
public:
    virtual ~IScriptOperationDispatcher() = default;
    // Serves operations (and timers) on the calling thread until `stop` is
    // signalled; operations still queued then are cancelled.
    virtual void Run(rk::sys::WaitableEvent& stop) = 0;
    // Queues an operation (FIFO). False once the dispatcher has stopped.
    virtual bool Post(std::shared_ptr<IScriptOperation> operation) = 0;
    // True on the thread that owns the dispatcher.
    virtual bool IsDispatchThread() const = 0;
};

}  // namespace Corvane::Script
