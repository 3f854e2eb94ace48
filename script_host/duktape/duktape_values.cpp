#include "script_host/duktape/duktape_values.h"

#include <cmath>
#include <string>

#include "duktape.h"
#include "script_host/duktape/duktape_heap.h"
#include "script_host/duktape/duktape_native_object.h"
#include "script_host/duktape/duktape_object_reference.h"
#include "script_host/duktape/duktape_text.h"

namespace Corvane::Script::duktape {

std::int32_t ToInt32(double number) {
    if (!std::isfinite(number)) {
        return 0;
    }
    double t = std::fmod(std::trunc(number), 4294967296.0);
    if (t < 0) {
        t += 4294967296.0;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(t));
}

void PushVariable(duk_context* ctx, const ScriptVariable& value) {
    switch (value.GetType()) {
        case ScriptVariableType::kString: {
            const std::string text = WideToCesu8(value.GetString());
            duk_push_lstring(ctx, text.data(), text.size());
            return;
        }
        case ScriptVariableType::kBoolean: duk_push_boolean(ctx, value.GetBool() ? 1 : 0); return;
        case ScriptVariableType::kInteger: duk_push_int(ctx, value.GetSignedInt()); return;
        case ScriptVariableType::kObject: {
            const auto& object = value.GetObject();
            if (auto* ref = dynamic_cast<DuktapeObjectReference*>(object.get()); ref != nullptr && ref->PushTo(ctx)) {
                return;
            }
            PushNativeObject(ctx, object);
            return;
        }
        case ScriptVariableType::kEmpty: break;
    }
    duk_push_null(ctx);
}

ScriptVariable ToVariable(duk_context* ctx, int index) {
    switch (duk_get_type(ctx, index)) {
        case DUK_TYPE_NUMBER: return ScriptVariable(ToInt32(duk_get_number(ctx, index)));
        case DUK_TYPE_BOOLEAN: return ScriptVariable(duk_get_boolean(ctx, index) != 0);
        case DUK_TYPE_STRING: {
            if (duk_is_symbol(ctx, index)) {
                return {};
            }
            duk_size_t length = 0;
            const char* bytes = duk_get_lstring(ctx, index, &length);
            return ScriptVariable(Cesu8ToWide(std::string_view(bytes, length)));
        }
        case DUK_TYPE_OBJECT: {
            if (duk_is_function(ctx, index) || duk_is_array(ctx, index) || duk_is_error(ctx, index)) {
                return {};
            }
            if (auto native = GetNativeObject(ctx, index)) {
                return ScriptVariable(std::move(native));
            }
            return ScriptVariable(DuktapeObjectReference::Create(ctx, index));
        }
        default: return {};
    }
}

}  // namespace Corvane::Script::duktape
