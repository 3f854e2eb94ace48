// Test helpers: calling plug-in methods natively, as the script binding does.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "script_host/scriptable_object.h"

namespace Corvane::Script::test {

inline ScriptVariable call(IScriptableObject& object, const std::wstring& method, std::vector<ScriptVariable> args = {}) {
    ScriptVariable result(L"stale");
    object.Execute(method, result, static_cast<std::uint32_t>(args.size()), args.empty() ? nullptr : args.data());
    return result;
}

// The text of what the call throws; "(nothing thrown)" when it returns.
inline std::string error_of(IScriptableObject& object, const std::wstring& method, std::vector<ScriptVariable> args = {}) {
    try {
        call(object, method, std::move(args));
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

inline ScriptVariable S(const std::wstring& text) { return ScriptVariable(text); }
inline ScriptVariable I(std::uint32_t value) { return ScriptVariable(value); }
inline ScriptVariable B(bool value) { return ScriptVariable(value); }

}  // namespace Corvane::Script::test
