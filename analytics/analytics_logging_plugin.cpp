#include "analytics/analytics_logging_plugin.h"

#include "analytics/analytics_log.h"
#include "script_host/argument_check.h"

namespace Halden::Analytics {
namespace {

constexpr wchar_t kFile[] = L"AnalyticsLoggingPlugin.cpp";
using Corvane::Script::kArgBoolean;
using Corvane::Script::kArgString;
using Corvane::Script::ScriptVariable;

// The arguments match `spec` exactly in count and types; else logged.
bool arguments_match(std::uint32_t count, const ScriptVariable* args, const Corvane::Script::ArgumentSpec& spec) {
    const auto check = Corvane::Script::CheckArguments(count, args, static_cast<std::uint32_t>(spec.size()),
                                                       spec.data());
    if (check.valid && count == spec.size()) {
        return true;
    }
    log::Write(log::kFailure, kFile, L"CAnalyticsLoggingPlugin::Write", __LINE__, L"Incorrect parameters: %d", count);
    return false;
}

}  // namespace

CAnalyticsLoggingPlugin::CAnalyticsLoggingPlugin(Corvane::Script::IScriptEnvironmentFactory* environment)
    : PluginObject(environment,
                   {
                       Method(L"WriteToRawTrackLog", {}, this, &CAnalyticsLoggingPlugin::WriteToRawTrackLog),
                       Method(L"WriteToTransportsLog", {}, this, &CAnalyticsLoggingPlugin::WriteToTransportsLog),
                       Method(L"WriteToAutomationErrorLog", {}, this,
                              &CAnalyticsLoggingPlugin::WriteToAutomationErrorLog),
                   }) {}

void CAnalyticsLoggingPlugin::WriteToRawTrackLog(ScriptVariable& result, std::uint32_t count, Args args) {
    result.Clear();
    if (arguments_match(count, args, {kArgString, kArgString})) {
        helper_.WriteRawTrack(args[0].GetString(), args[1].GetString());
    }
}

void CAnalyticsLoggingPlugin::WriteToTransportsLog(ScriptVariable& result, std::uint32_t count, Args args) {
    result.Clear();
    if (arguments_match(count, args, {kArgString, kArgString, kArgBoolean, kArgString})) {
        helper_.WriteTransports(args[0].GetString(), args[1].GetString(), args[2].GetBool(), args[3].GetString());
    }
}

void CAnalyticsLoggingPlugin::WriteToAutomationErrorLog(ScriptVariable& result, std::uint32_t count, Args args) {
    result.Clear();
    if (arguments_match(count, args, {kArgString, kArgString, kArgString})) {
        helper_.WriteAutomationError(args[0].GetString(), args[1].GetString(), args[2].GetString());
    }
}

}  // namespace Halden::Analytics
