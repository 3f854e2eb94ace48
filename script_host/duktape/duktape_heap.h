// One Duktape heap with the host's limits: a cap on the bytes it may
// allocate (through its allocator functions), a cap on the time a script may
// run (through the engine's interrupt check), and a guard that turns an
// engine fatal error into a dead heap instead of a dead process.
//
// Only the thread that created the heap may use it. Internal header of the
// Duktape host: nothing outside script_host/duktape includes it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "script_host/script_limits.h"

struct duk_hthread;
using duk_context = duk_hthread;

namespace Corvane::Script {
class IScriptOperationDispatcher;
}

namespace Corvane::Script::duktape {

class DuktapeHeap;

// What outlives the heap: script object references from native code find
// their heap (or its absence) through it, from any thread.
class HeapLink {
public:
    // Null once the heap is gone. Only meaningful on the heap's thread.
    DuktapeHeap* heap() const;
    bool IsHeapThread() const { return std::this_thread::get_id() == thread_; }
    // Queues a stashed value to be dropped at the heap's next entry (or
    // never, when the heap is gone). Any thread, never throws.
    void Release(std::uint64_t id) noexcept;

private:
    friend class DuktapeHeap;
    mutable std::mutex mutex_;
    DuktapeHeap* heap_ = nullptr;
    std::thread::id thread_;
    std::vector<std::uint64_t> releases_;
};

class DuktapeHeap {
public:
    struct Failure {
        std::string text;   // "Name: message" of the script error, or the engine's text
        std::string stack;  // the error's stack trace, when it has one
        bool timed_out = false;
        bool heap_limit = false;
        bool fatal = false;
    };

    // Check valid(): the heap cannot be created when memory is short.
    explicit DuktapeHeap(const ScriptLimits& limits);
    ~DuktapeHeap();
    DuktapeHeap(const DuktapeHeap&) = delete;
    DuktapeHeap& operator=(const DuktapeHeap&) = delete;

    bool valid() const { return ctx_ != nullptr && !dead_; }
    duk_context* ctx() const { return ctx_; }
    const std::shared_ptr<HeapLink>& link() const { return link_; }
    const ScriptLimits& limits() const { return limits_; }

    // Runs `body` in a protected call with the script clock running. Script
    // errors, timeouts, refused allocations and engine fatal errors come back
    // as a Failure (a fatal error also kills the heap); nullopt on success.
    // `body` may leave values on the stack: they are dropped.
    using Body = std::function<void(duk_context*)>;
    std::optional<Failure> Protected(const Body& body);

    // Native calls made by scripts do not count against the time limit.
    void PauseClock();
    void ResumeClock();

    // Values kept alive for native code (JsAddRef): the value at `index`,
    // and pushing one back. Use inside Protected(); they may throw.
    std::uint64_t Stash(duk_context* ctx, int index);
    void PushStashed(duk_context* ctx, std::uint64_t id);
    void Unstash(duk_context* ctx, std::uint64_t id);

    // The dispatcher of the thread that runs this heap (may be null).
    void SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher) { dispatcher_ = std::move(dispatcher); }
    const std::shared_ptr<IScriptOperationDispatcher>& Dispatcher() const { return dispatcher_; }

    std::size_t BytesInUse() const { return used_; }

    // The engine hooks (duk_config.h and the allocator functions).
    bool CheckTimeout();
    void OnFatal(const char* message);
    void* Allocate(std::size_t size);
    void* Reallocate(void* ptr, std::size_t size);
    void Free(void* ptr);
    static DuktapeHeap* From(duk_context* ctx);

private:
    struct Block;
    // Allocations this large (a long string, a big array) are refused once a
    // running script is past its time: the work of one bytecode grows with
    // the data it copies, so the executor's periodic check alone comes late.
    static constexpr std::size_t kTimeCheckedAllocation = 64 * 1024;
    bool LargeAllocationAfterDeadline(std::size_t size);
    void FlushReleases(duk_context* ctx);
    void FreeAllBlocks();

    ScriptLimits limits_;
    duk_context* ctx_ = nullptr;
    std::shared_ptr<HeapLink> link_;
    std::shared_ptr<IScriptOperationDispatcher> dispatcher_;

    // Allocation accounting: every block is on a list, so the memory of a
    // heap that died of a fatal error can be freed without the engine.
    Block* blocks_ = nullptr;
    std::size_t used_ = 0;
    bool refused_ = false;

    // The script clock: time left of the current entry's budget.
    int depth_ = 0;
    int paused_ = 1;  // the clock runs only while a script runs
    std::chrono::steady_clock::duration left_{};
    std::chrono::steady_clock::time_point resumed_{};
    std::chrono::steady_clock::time_point deadline_{};
    bool timed_out_ = false;

    bool dead_ = false;
    std::string fatal_message_;
    std::uint64_t next_stash_id_ = 1;
};

}  // namespace Corvane::Script::duktape
