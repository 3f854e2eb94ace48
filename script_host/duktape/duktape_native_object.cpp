#include "script_host/duktape/duktape_native_object.h"

#include <exception>
#include <string>
#include <vector>

#include "duktape.h"
#include "script_host/duktape/duktape_heap.h"
#include "script_host/duktape/duktape_messages.h"
#include "script_host/duktape/duktape_text.h"
#include "script_host/duktape/duktape_values.h"
#include "script_host/plugin_object_wrapper_impl.h"
#include "script_host/scriptable_object.h"

namespace Corvane::Script::duktape {
namespace {

constexpr char kNative[] = "\xFF" "rkNative";  // hidden symbols
constexpr char kMethod[] = "\xFF" "rkMethod";

using Holder = std::shared_ptr<IScriptableObject>;

Holder* holder_at(duk_context* ctx, duk_idx_t index) {
    if (!duk_is_object(ctx, index)) {
        return nullptr;
    }
    duk_get_prop_string(ctx, index, kNative);
    auto* holder = static_cast<Holder*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return holder;
}

duk_ret_t finalize(duk_context* ctx) {
    if (Holder* holder = holder_at(ctx, 0)) {
        duk_push_pointer(ctx, nullptr);
        duk_put_prop_string(ctx, 0, kNative);
        delete holder;
    }
    return 0;
}

// A script calls a method of a native object. Every C++ object here is
// destroyed before an engine error unwinds (the engine throws C++
// exceptions), and the native call's time does not count as script time.
duk_ret_t call_method(duk_context* ctx) {
    const duk_idx_t count = duk_get_top(ctx);
    duk_push_this(ctx);
    Holder* holder = holder_at(ctx, -1);
    duk_pop(ctx);
    if (holder == nullptr || !*holder) {
        return duk_type_error(ctx, "%s", kTextNotNative);
    }
    const Holder object = *holder;  // the call may drop the script object
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, kMethod);
    duk_size_t name_length = 0;
    const char* name_bytes = duk_get_lstring(ctx, -1, &name_length);
    const std::wstring method = Cesu8ToWide(std::string_view(name_bytes ? name_bytes : "", name_length));
    duk_pop_2(ctx);

    std::vector<ScriptVariable> args;
    args.reserve(static_cast<std::size_t>(count));
    for (duk_idx_t i = 0; i < count; ++i) {
        args.push_back(ToVariable(ctx, i));
    }

    DuktapeHeap* heap = DuktapeHeap::From(ctx);
    ScriptVariable result;
    std::string error;
    bool threw = false;
    heap->PauseClock();
    try {
        object->Execute(method, result, static_cast<std::uint32_t>(args.size()), args.empty() ? nullptr : args.data());
    } catch (const std::exception& e) {
        if (!heap->valid()) {
            heap->ResumeClock();
            throw;  // an engine fatal error on its way to the outermost entry
        }
        threw = true;
        error = e.what();
    } catch (...) {
        threw = true;
        error = "unspecified exception";
    }
    heap->ResumeClock();
    if (!heap->valid()) {
        // A fatal error that native code swallowed: unwind the engine anyway.
        duk_fatal(ctx, kTextHeapDead);
    }
    if (threw) {
        return duk_generic_error(ctx, "%s", error.c_str());
    }
    PushVariable(ctx, result);
    return 1;
}

}  // namespace

void PushNativeObject(duk_context* ctx, const std::shared_ptr<IScriptableObject>& object) {
    const duk_idx_t obj = duk_push_object(ctx);
    // The finalizer first: it tolerates a missing holder, so no step below
    // can leave a holder without one.
    duk_push_c_function(ctx, finalize, 1);
    duk_set_finalizer(ctx, obj);
    auto holder = std::make_unique<Holder>(object);
    duk_push_pointer(ctx, holder.get());
    duk_put_prop_string(ctx, obj, kNative);
    holder.release();

    const auto wrapper = object->GetWrapper();
    if (!wrapper) {
        return;
    }
    for (const auto& name : wrapper->MethodNames()) {
        const std::string key = WideToCesu8(name);
        duk_push_c_function(ctx, call_method, DUK_VARARGS);
        duk_push_lstring(ctx, key.data(), key.size());
        duk_put_prop_string(ctx, -2, kMethod);
        duk_put_prop_lstring(ctx, obj, key.data(), key.size());
    }
}

std::shared_ptr<IScriptableObject> GetNativeObject(duk_context* ctx, int index) {
    const Holder* holder = holder_at(ctx, index);
    return holder != nullptr ? *holder : nullptr;
}

}  // namespace Corvane::Script::duktape
