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

namespace {

constexpr ScriptLimits kLimits{.time_limit = std::chrono::milliseconds(50), .heap_limit = 16u * 1024 * 1024};

// Raw strings run no script code, so they share one heap (creating one is
// most of an execution's time); it is replaced if it ever dies.
DuktapeHeap& shared_heap() {
    static std::unique_ptr<DuktapeHeap> heap;
    if (!heap || !heap->valid()) {
        heap = std::make_unique<DuktapeHeap>(kLimits);
    }
    return *heap;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool as_expression = (data[0] & 1) != 0;
    // An expression gets a fresh heap: it may change built-ins.
    std::unique_ptr<DuktapeHeap> own;
    if (as_expression) {
        own = std::make_unique<DuktapeHeap>(kLimits);
    }
    DuktapeHeap* heap = as_expression ? own.get() : &shared_heap();
    if (!heap->valid()) {
        return 0;
    }
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
