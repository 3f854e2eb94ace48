// Native scriptable objects as script objects: one script object per
// crossing, with a function property per registered method and a finalizer
// that drops the native reference when the script object is collected.
// Internal to the Duktape host.
#pragma once

#include <memory>

struct duk_hthread;
using duk_context = duk_hthread;

namespace Corvane::Script {
class IScriptableObject;
}

namespace Corvane::Script::duktape {

void PushNativeObject(duk_context* ctx, const std::shared_ptr<IScriptableObject>& object);
// The native object the value at `index` stands for; null for any other value.
std::shared_ptr<IScriptableObject> GetNativeObject(duk_context* ctx, int index);

}  // namespace Corvane::Script::duktape
