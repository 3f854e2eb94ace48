#include "script_host/duktape/duktape_heap.h"

#include <cstdlib>
#include <exception>
#include <new>

#include "duktape.h"
#include "platform/logging/process_logger.h"
#include "script_host/duktape/duktape_messages.h"

namespace Corvane::Script::duktape {
namespace {

constexpr wchar_t kFile[] = L"duktape_heap.cpp";
constexpr char kRefs[] = "\xFF" "rkRefs";  // a hidden symbol

void* alloc_hook(void* udata, duk_size_t size) { return static_cast<DuktapeHeap*>(udata)->Allocate(size); }
void* realloc_hook(void* udata, void* ptr, duk_size_t size) {
    return static_cast<DuktapeHeap*>(udata)->Reallocate(ptr, size);
}
void free_hook(void* udata, void* ptr) { static_cast<DuktapeHeap*>(udata)->Free(ptr); }

// Reads name, message and stack of the error on top of the stack.
struct ErrorParts {
    std::string text;
    std::string stack;
};

duk_ret_t describe_error(duk_context* ctx, void* udata) {
    auto* parts = static_cast<ErrorParts*>(udata);
    if (duk_is_error(ctx, -1)) {
        duk_get_prop_string(ctx, -1, "name");
        duk_get_prop_string(ctx, -2, "message");
        parts->text = std::string(duk_safe_to_string(ctx, -2)) + ": " + duk_safe_to_string(ctx, -1);
        duk_pop_2(ctx);
        duk_get_prop_string(ctx, -1, "stack");
        if (duk_is_string(ctx, -1)) {
            parts->stack = duk_get_string(ctx, -1);
        }
        duk_pop(ctx);
    } else {
        parts->text = duk_safe_to_string(ctx, -1);
    }
    return 0;
}

struct BodyCall {
    DuktapeHeap* heap;
    const DuktapeHeap::Body* body;
    bool outermost;
};

}  // namespace

struct DuktapeHeap::Block {
    Block* prev;
    Block* next;
    std::size_t size;
    std::size_t reserved;  // keeps the payload 16-byte aligned
    static void CheckLayout() { static_assert(sizeof(Block) % alignof(std::max_align_t) == 0); }
};

DuktapeHeap* HeapLink::heap() const {
    std::lock_guard lock(mutex_);
    return heap_;
}

void HeapLink::Release(std::uint64_t id) noexcept {
    try {
        std::lock_guard lock(mutex_);
        if (heap_ != nullptr) {
            releases_.push_back(id);
        }
    } catch (...) {
        // Out of memory: the value stays stashed until the heap goes.
    }
}

DuktapeHeap::DuktapeHeap(const ScriptLimits& limits) : limits_(limits), link_(std::make_shared<HeapLink>()) {
    link_->thread_ = std::this_thread::get_id();
    ctx_ = duk_create_heap(alloc_hook, realloc_hook, free_hook, this, nullptr);
    if (ctx_ == nullptr) {
        FreeAllBlocks();
        return;
    }
    const auto made = Protected([](duk_context* ctx) {
        duk_push_heap_stash(ctx);
        duk_push_bare_object(ctx);
        duk_put_prop_string(ctx, -2, kRefs);
    });
    if (made) {
        if (!dead_) {
            try {
                duk_destroy_heap(ctx_);
            } catch (const std::exception&) {
            }
        }
        FreeAllBlocks();
        return;
    }
    std::lock_guard lock(link_->mutex_);
    link_->heap_ = this;
}

DuktapeHeap::~DuktapeHeap() {
    {
        std::lock_guard lock(link_->mutex_);
        link_->heap_ = nullptr;
        link_->releases_.clear();
    }
    if (ctx_ != nullptr && !dead_) {
        try {
            // Runs the remaining finalizers: plug-ins die here, on this thread.
            duk_destroy_heap(ctx_);
            ctx_ = nullptr;
        } catch (const std::exception&) {
            dead_ = true;
        }
    }
    FreeAllBlocks();
}

std::optional<DuktapeHeap::Failure> DuktapeHeap::Protected(const Body& body) {
    if (!valid()) {
        Failure f;
        f.text = dead_ ? kTextHeapDead : kTextHeapMissing;
        f.fatal = dead_;
        return f;
    }
    const bool outermost = depth_ == 0;
    if (outermost) {
        left_ = limits_.time_limit;
        timed_out_ = false;
        refused_ = false;
    }
    ++depth_;
    ResumeClock();
    BodyCall call{this, &body, outermost};
    duk_int_t rc = DUK_EXEC_SUCCESS;
    std::optional<Failure> failure;
    try {
        rc = duk_safe_call(
            ctx_,
            [](duk_context* ctx, void* udata) -> duk_ret_t {
                auto* c = static_cast<BodyCall*>(udata);
                if (c->outermost) {
                    c->heap->FlushReleases(ctx);
                }
                (*c->body)(ctx);
                return 0;
            },
            &call, 0, 1);
        if (rc != DUK_EXEC_SUCCESS) {
            failure = Failure{};
            failure->timed_out = timed_out_;
            failure->heap_limit = refused_;
            // Describing the error may run script code (a toString, a
            // getter): it gets a budget of its own.
            timed_out_ = false;
            left_ = limits_.time_limit;
            deadline_ = std::chrono::steady_clock::now() + left_;
            ErrorParts parts;
            if (duk_safe_call(ctx_, describe_error, &parts, 1, 1) != DUK_EXEC_SUCCESS) {
                parts.text = kTextUndescribedError;
            }
            failure->text = std::move(parts.text);
            failure->stack = std::move(parts.stack);
        }
        duk_pop(ctx_);
    } catch (const std::exception& e) {
        // Only an engine fatal error gets here: the engine passes it through
        // every protected call. Inner entries hand it on to the outermost.
        --depth_;
        if (!dead_) {
            OnFatal(e.what());
        }
        if (!outermost) {
            throw;
        }
        PauseClock();
        Failure f;
        f.text = fatal_message_;
        f.fatal = true;
        return f;
    }
    PauseClock();
    --depth_;
    if (failure && failure->timed_out && IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, L"DuktapeHeap::Protected", __LINE__, kMsgScriptTimeout,
                   static_cast<unsigned long long>(limits_.time_limit.count()));
    }
    if (failure && failure->heap_limit && IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, L"DuktapeHeap::Protected", __LINE__, kMsgHeapLimit,
                   static_cast<unsigned long long>(limits_.heap_limit));
    }
    return failure;
}

void DuktapeHeap::PauseClock() {
    if (paused_++ == 0 && depth_ > 0) {
        const auto run = std::chrono::steady_clock::now() - resumed_;
        left_ = run < left_ ? left_ - run : std::chrono::steady_clock::duration::zero();
    }
}

void DuktapeHeap::ResumeClock() {
    if (paused_ > 0) {
        --paused_;
    }
    if (paused_ == 0) {
        resumed_ = std::chrono::steady_clock::now();
        deadline_ = resumed_ + left_;
    }
}

bool DuktapeHeap::CheckTimeout() {
    if (depth_ == 0 || paused_ > 0) {
        return false;
    }
    if (!timed_out_ && std::chrono::steady_clock::now() >= deadline_) {
        timed_out_ = true;
    }
    return timed_out_;
}

void DuktapeHeap::OnFatal(const char* message) {
    dead_ = true;
    fatal_message_ = message != nullptr ? message : "";
    if (IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, L"DuktapeHeap::OnFatal", __LINE__, kMsgFatal, fatal_message_);
    }
}

std::uint64_t DuktapeHeap::Stash(duk_context* ctx, int index) {
    const duk_idx_t abs = duk_normalize_index(ctx, index);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, kRefs);
    auto id = static_cast<duk_uarridx_t>(next_stash_id_);
    while (id == 0 || duk_has_prop_index(ctx, -1, id)) {
        ++id;
    }
    next_stash_id_ = static_cast<std::uint64_t>(id) + 1;
    duk_dup(ctx, abs);
    duk_put_prop_index(ctx, -2, id);
    duk_pop_2(ctx);
    return id;
}

void DuktapeHeap::PushStashed(duk_context* ctx, std::uint64_t id) {
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, kRefs);
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(id));
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
}

void DuktapeHeap::Unstash(duk_context* ctx, std::uint64_t id) {
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, kRefs);
    duk_del_prop_index(ctx, -1, static_cast<duk_uarridx_t>(id));
    duk_pop_2(ctx);
}

void DuktapeHeap::FlushReleases(duk_context* ctx) {
    std::vector<std::uint64_t> ids;
    {
        std::lock_guard lock(link_->mutex_);
        ids.swap(link_->releases_);
    }
    for (const auto id : ids) {
        Unstash(ctx, id);
    }
}

DuktapeHeap* DuktapeHeap::From(duk_context* ctx) {
    duk_memory_functions funcs{};
    duk_get_memory_functions(ctx, &funcs);
    return static_cast<DuktapeHeap*>(funcs.udata);
}

bool DuktapeHeap::LargeAllocationAfterDeadline(std::size_t size) {
    return size >= kTimeCheckedAllocation && CheckTimeout();
}

void* DuktapeHeap::Allocate(std::size_t size) {
    if (LargeAllocationAfterDeadline(size)) {
        return nullptr;  // counted as the timeout it is, not as the heap limit
    }
    if (size > limits_.heap_limit - std::min(used_, limits_.heap_limit)) {
        refused_ = true;
        return nullptr;
    }
    auto* b = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (b == nullptr) {
        refused_ = true;
        return nullptr;
    }
    b->prev = nullptr;
    b->next = blocks_;
    b->size = size;
    if (blocks_ != nullptr) {
        blocks_->prev = b;
    }
    blocks_ = b;
    used_ += size;
    return b + 1;
}

void* DuktapeHeap::Reallocate(void* ptr, std::size_t size) {
    if (ptr == nullptr) {
        return Allocate(size);
    }
    if (size == 0) {
        Free(ptr);
        return nullptr;
    }
    Block* b = static_cast<Block*>(ptr) - 1;
    if (size > b->size && LargeAllocationAfterDeadline(size)) {
        return nullptr;
    }
    if (size > b->size && size - b->size > limits_.heap_limit - std::min(used_, limits_.heap_limit)) {
        refused_ = true;
        return nullptr;
    }
    Block* prev = b->prev;
    Block* next = b->next;
    const std::size_t old = b->size;
    auto* nb = static_cast<Block*>(std::realloc(b, sizeof(Block) + size));
    if (nb == nullptr) {
        refused_ = true;
        return nullptr;  // the old block stays valid and linked
    }
    nb->size = size;
    (prev != nullptr ? prev->next : blocks_) = nb;
    if (next != nullptr) {
        next->prev = nb;
    }
    used_ = used_ - old + size;
    return nb + 1;
}

void DuktapeHeap::Free(void* ptr) {
    if (ptr == nullptr) {
        return;
    }
    Block* b = static_cast<Block*>(ptr) - 1;
    (b->prev != nullptr ? b->prev->next : blocks_) = b->next;
    if (b->next != nullptr) {
        b->next->prev = b->prev;
    }
    used_ -= b->size;
    std::free(b);
}

void DuktapeHeap::FreeAllBlocks() {
    while (blocks_ != nullptr) {
        Block* next = blocks_->next;
        std::free(blocks_);
        blocks_ = next;
    }
    used_ = 0;
    ctx_ = nullptr;
}

}  // namespace Corvane::Script::duktape

// Engine hooks named in the generated duk_config.h.
int rk_duktape_exec_timeout_check(void* udata) {
    return udata != nullptr && static_cast<Corvane::Script::duktape::DuktapeHeap*>(udata)->CheckTimeout() ? 1 : 0;
}

void rk_duktape_fatal_error(void* udata, const char* msg) {
    if (udata != nullptr) {
        static_cast<Corvane::Script::duktape::DuktapeHeap*>(udata)->OnFatal(msg);
    }
}
