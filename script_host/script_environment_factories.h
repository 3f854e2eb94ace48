// The environment factories by their documented names. Each keeps its type
// number; all of them run scripts in the Duktape host.
#pragma once

#include "script_host/duktape_environment_factory.h"

namespace Corvane::Script {

inline constexpr int kScriptEnvironmentDefault = 0;
inline constexpr int kScriptEnvironmentActiveScript = 1;
inline constexpr int kScriptEnvironmentJsRT = 3;
inline constexpr int kScriptEnvironmentJS9 = 4;

class ScriptEnvironmentFactory : public DuktapeEnvironmentFactory {
public:
    explicit ScriptEnvironmentFactory(const ScriptLimits& limits = {})
        : DuktapeEnvironmentFactory(kScriptEnvironmentDefault, limits) {}
};

class ActiveScriptEnvironmentFactory : public DuktapeEnvironmentFactory {
public:
    explicit ActiveScriptEnvironmentFactory(const ScriptLimits& limits = {})
        : DuktapeEnvironmentFactory(kScriptEnvironmentActiveScript, limits) {}
};

class JsRTEnvironmentFactory : public DuktapeEnvironmentFactory {
public:
    explicit JsRTEnvironmentFactory(const ScriptLimits& limits = {})
        : DuktapeEnvironmentFactory(kScriptEnvironmentJsRT, limits) {}
};

class JS9ScriptEnvironmentFactory : public DuktapeEnvironmentFactory {
public:
    explicit JS9ScriptEnvironmentFactory(const ScriptLimits& limits = {})
        : DuktapeEnvironmentFactory(kScriptEnvironmentJS9, limits) {}
};

}  // namespace Corvane::Script
