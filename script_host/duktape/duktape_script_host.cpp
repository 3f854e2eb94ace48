#include "script_host/duktape/duktape_script_host.h"

#include <atomic>
#include <stdexcept>
#include <string>

#include "duktape.h"
#include "platform/logging/process_logger.h"
#include "platform/text/utf.h"
#include "script_host/builtin_scripts.h"
#include "script_host/duktape/duktape_heap.h"
#include "script_host/duktape/duktape_messages.h"
#include "script_host/duktape/duktape_object_reference.h"
#include "script_host/duktape/duktape_text.h"
#include "script_host/duktape/duktape_values.h"
#include "script_host/script_operation_invoker.h"
#include "script_host/signature_check.h"
#include "script_host/thrown_from.h"

namespace Corvane::Script::duktape {
namespace {

constexpr wchar_t kFile[] = L"duktape_script_host.cpp";

template <typename... A>
void log_failure(const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, function, line, format, args...);
    }
}

template <typename... A>
void log_progress(const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(rk::log_level::kProgress)) {
        LogMessage(rk::log_level::kProgress, kFile, function, line, format, args...);
    }
}

std::atomic<unsigned long long> g_script_counter{0};

}  // namespace

DuktapeScriptHost::DuktapeScriptHost(const ScriptLimits& limits) : limits_(limits) {}

DuktapeScriptHost::~DuktapeScriptHost() = default;

bool DuktapeScriptHost::Initialize() {
    if (IsInitialized()) {
        return true;
    }
    heap_.reset();
    try {
        auto heap = std::make_unique<DuktapeHeap>(limits_);
        if (!heap->valid()) {
            log_failure(L"DuktapeScriptHost::Initialize", __LINE__, kMsgCreateRuntimeFailed, "out of memory");
            return false;
        }
        heap->SetDispatcher(dispatcher_);
        heap_ = std::move(heap);
        // The start-up script is checked whatever the verification switch
        // says: it is built in, and a build signed with the wrong key must
        // fail here rather than run unverified.
        const std::string& startup = BuiltinScripts::HostStartup();
        if (!SignatureCheck::VerifySignature(reinterpret_cast<const std::uint8_t*>(startup.data()), startup.size())) {
            throw std::runtime_error(kMsgSignatureCheckFailed + ThrownFrom(__FILE__, __LINE__));
        }
        AddVerifiedScript(rk::text::utf8_to_wide(startup), L"");
    } catch (const std::exception& e) {
        log_failure(L"DuktapeScriptHost::Initialize", __LINE__, kMsgHostInitFailed, e.what());
        heap_.reset();
        return false;
    }
    log_progress(L"DuktapeScriptHost::Initialize", __LINE__, kMsgHostCreated);
    log_progress(L"DuktapeScriptHost::Initialize", __LINE__, kMsgEngineLoaded);
    return true;
}

bool DuktapeScriptHost::IsInitialized() const { return heap_ && heap_->valid(); }

void DuktapeScriptHost::ShutDown() {
    if (heap_ && heap_->valid()) {
        try {
            ScriptVariable ignored;
            DuktapeObjectReference::Global(*heap_)->Execute(L"__cleanAll", ignored, 0, nullptr);
        } catch (const std::exception&) {
            log_failure(L"DuktapeScriptHost::ShutDown", __LINE__, kMsgCleanAllFailed);
        }
    }
    // Runs the finalizers of every object scripts still held, on this thread.
    heap_.reset();
    dispatcher_.reset();
}

void DuktapeScriptHost::SetNamedObject(const std::wstring& name, std::shared_ptr<IScriptableObject> wrapper) {
    if (!IsInitialized()) {
        throw std::runtime_error(kTextHeapMissing + ThrownFrom(__FILE__, __LINE__));
    }
    const std::string key = WideToCesu8(name);
    const ScriptVariable value(std::move(wrapper));
    const auto failure = heap_->Protected([&](duk_context* ctx) {
        duk_push_global_object(ctx);
        PushVariable(ctx, value);
        duk_put_prop_lstring(ctx, -2, key.data(), key.size());
    });
    if (failure) {
        throw std::runtime_error(kTextSetPropertyFailed + failure->text + ThrownFrom(__FILE__, __LINE__));
    }
}

void DuktapeScriptHost::AddNamedItem(const std::wstring& name, std::shared_ptr<IScriptableObject> object) {
    SetNamedObject(name, std::move(object));
}

std::shared_ptr<IScriptOperationInvoker> DuktapeScriptHost::GetInvoker() {
    if (!IsInitialized()) {
        log_failure(L"DuktapeScriptHost::GetInvoker", __LINE__, kMsgInvokerFailed, kTextHeapMissing);
        return nullptr;
    }
    return std::make_shared<CScriptOperationInvoker>(DuktapeObjectReference::Global(*heap_), dispatcher_);
}

std::shared_ptr<IScriptOperationDispatcher> DuktapeScriptHost::GetDispatcher() { return dispatcher_; }

void DuktapeScriptHost::SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher) {
    dispatcher_ = std::move(dispatcher);
    if (heap_) {
        heap_->SetDispatcher(dispatcher_);
    }
}

void DuktapeScriptHost::CollectGarbage(bool full) {
    if (!IsInitialized()) {
        log_failure(L"DuktapeScriptHost::CollectGarbage", __LINE__, kMsgGarbageCollectionFailed, kTextHeapMissing);
        return;
    }
    const auto failure = heap_->Protected([full](duk_context* ctx) {
        duk_gc(ctx, 0);
        if (full) {
            duk_gc(ctx, 0);  // objects freed by the first pass's finalizers
        }
    });
    if (failure) {
        log_failure(L"DuktapeScriptHost::CollectGarbage", __LINE__, kMsgGarbageCollectionFailed, failure->text);
    }
}

void DuktapeScriptHost::AddVerifiedScript(const std::wstring& text, const std::wstring& source_name) {
    if (!IsInitialized()) {
        throw std::runtime_error(kTextHeapMissing + ThrownFrom(__FILE__, __LINE__));
    }
    const std::wstring name = source_name.empty()
                                  ? L"<anonymous script " + std::to_wstring(++g_script_counter) + L">"
                                  : source_name;
    const std::string code = WideToCesu8(text);
    const std::string file = WideToCesu8(name);
    const auto failure = heap_->Protected([&](duk_context* ctx) {
        duk_push_lstring(ctx, file.data(), file.size());
        duk_compile_lstring_filename(ctx, 0, code.data(), code.size());
        duk_call(ctx, 0);
    });
    if (failure) {
        log_failure(L"DuktapeScriptHost::AddVerifiedScript", __LINE__, kMsgScriptException, name, failure->text);
        if (!failure->stack.empty()) {
            log_failure(L"DuktapeScriptHost::AddVerifiedScript", __LINE__, kMsgScriptStack, failure->stack);
        }
        throw std::runtime_error(failure->text);
    }
}

std::size_t DuktapeScriptHost::HeapBytes() const { return heap_ ? heap_->BytesInUse() : 0; }

}  // namespace Corvane::Script::duktape
