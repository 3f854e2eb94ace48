// Script values -> ScriptVariable -> script values. The first byte picks
// the input: raw bytes taken as a script string (any byte sequence, not only
// valid CESU-8), or a script expression evaluated under tight limits. The
// conversion must never crash, and converting a value that came back from
// native code must give the same ScriptVariable again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "duktape.h"
#include "script_host/duktape/duktape_heap.h"
#include "script_host/duktape/duktape_values.h"

using namespace Corvane::Script;
using namespace Corvane::Script::duktape;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // A fresh heap per input: an expression may change built-ins.
    auto heap = std::make_unique<DuktapeHeap>(
        ScriptLimits{.time_limit = std::chrono::milliseconds(50), .heap_limit = 16u * 1024 * 1024});
    if (!heap->valid()) {
        return 0;
    }
    const bool as_expression = (data[0] & 1) != 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    heap->Protected([&](duk_context* ctx) {
        if (as_expression) {
            duk_push_string(ctx, "fuzz.js");
            if (duk_pcompile_lstring_filename(ctx, DUK_COMPILE_EVAL, input.data(), input.size()) != 0 ||
                duk_pcall(ctx, 0) != 0) {
                return;
            }
        } else {
            duk_push_lstring(ctx, input.data(), input.size());
        }
        const ScriptVariable first = ToVariable(ctx, -1);
        PushVariable(ctx, first);
        const ScriptVariable second = ToVariable(ctx, -1);
        // An object comes back as another reference to the same script object.
        if (first.GetType() != second.GetType() ||
            (first.GetType() != ScriptVariableType::kObject && !(first == second))) {
            std::abort();
        }
    });
    return 0;
}
