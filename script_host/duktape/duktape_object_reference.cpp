#include "script_host/duktape/duktape_object_reference.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "duktape.h"
#include "platform/logging/process_logger.h"
#include "platform/text/utf.h"
#include "script_host/duktape/duktape_heap.h"
#include "script_host/duktape/duktape_messages.h"
#include "script_host/duktape/duktape_text.h"
#include "script_host/duktape/duktape_values.h"

namespace Corvane::Script::duktape {
namespace {

constexpr wchar_t kFile[] = L"duktape_object_reference.cpp";
constexpr wchar_t kFunction[] = L"DuktapeObjectReference::Execute";

}  // namespace

std::shared_ptr<DuktapeObjectReference> DuktapeObjectReference::Create(duk_context* ctx, int index) {
    DuktapeHeap* heap = DuktapeHeap::From(ctx);
    auto ref = std::make_shared<DuktapeObjectReference>(heap->link(), heap->Stash(ctx, index));
    ref->SetDispatcher(heap->Dispatcher());
    return ref;
}

std::shared_ptr<DuktapeObjectReference> DuktapeObjectReference::Global(DuktapeHeap& heap) {
    auto ref = std::make_shared<DuktapeObjectReference>(heap.link(), 0);
    ref->SetDispatcher(heap.Dispatcher());
    return ref;
}

DuktapeObjectReference::DuktapeObjectReference(std::shared_ptr<HeapLink> link, std::uint64_t id)
    : link_(std::move(link)), id_(id) {}

DuktapeObjectReference::~DuktapeObjectReference() {
    if (id_ != 0) {
        link_->Release(id_);
    }
}

bool DuktapeObjectReference::PushTo(duk_context* ctx) const {
    DuktapeHeap* heap = link_->heap();
    if (heap == nullptr || heap != DuktapeHeap::From(ctx)) {
        return false;
    }
    if (id_ == 0) {
        duk_push_global_object(ctx);
    } else {
        heap->PushStashed(ctx, id_);
    }
    return true;
}

bool DuktapeObjectReference::Execute(const std::wstring& method, ScriptVariable& result, std::uint32_t count,
                                     const ScriptVariable* args) {
    DuktapeHeap* heap = link_->heap();
    if (heap == nullptr || !heap->valid()) {
        throw std::runtime_error(kTextCollected);
    }
    if (!link_->IsHeapThread()) {
        throw std::runtime_error(kTextWrongThread);
    }
    const std::string name = WideToCesu8(method);
    ScriptVariable value;
    const auto failure = heap->Protected([&](duk_context* ctx) {
        PushTo(ctx);
        duk_get_prop_lstring(ctx, -1, name.data(), name.size());
        if (!duk_is_callable(ctx, -1)) {
            duk_type_error(ctx, "%s%s is not a function", kTextNoFunction, name.c_str());
        }
        duk_dup(ctx, -2);
        for (std::uint32_t i = 0; i < count; ++i) {
            PushVariable(ctx, args[i]);
        }
        duk_call_method(ctx, static_cast<duk_idx_t>(count));
        value = ToVariable(ctx, -1);
    });
    if (failure) {
        if (IsLogLevelEnabled(rk::log_level::kCritical)) {
            LogMessage(rk::log_level::kCritical, kFile, kFunction, __LINE__, kMsgCallFailed, failure->text);
            if (!failure->stack.empty()) {
                LogMessage(rk::log_level::kCritical, kFile, kFunction, __LINE__, kMsgScriptStack, failure->stack);
            }
        }
        throw std::runtime_error(failure->text);
    }
    result = std::move(value);
    return true;
}

void DuktapeObjectReference::SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher) {
    std::lock_guard lock(mutex_);
    if (!dispatcher_) {
        dispatcher_ = std::move(dispatcher);
    }
}

std::shared_ptr<IScriptOperationDispatcher> DuktapeObjectReference::GetDispatcher() const {
    std::lock_guard lock(mutex_);
    return dispatcher_;
}

}  // namespace Corvane::Script::duktape
