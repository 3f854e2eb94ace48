// ScriptVariable <-> script values, on the heap's own thread, inside a
// protected call (the functions may raise script errors).
//
// Script -> native: numbers become integers (ToInt32: truncated, modulo
// 2^32, NaN and infinities 0), strings strings, booleans booleans; an object
// that stands for a native object gives that object back; any other object
// becomes a reference that native code can call; undefined, null, functions,
// arrays, errors, symbols and buffers become empty.
// Native -> script: empty is null, integers are signed 32-bit numbers, an
// object that came from this heap is the original object, any other native
// object gets a script object with its methods.
#pragma once

#include <cstdint>

#include "script_host/script_variable.h"

struct duk_hthread;
using duk_context = duk_hthread;

namespace Corvane::Script::duktape {

void PushVariable(duk_context* ctx, const ScriptVariable& value);
ScriptVariable ToVariable(duk_context* ctx, int index);

std::int32_t ToInt32(double number);

}  // namespace Corvane::Script::duktape
