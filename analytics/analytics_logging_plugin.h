// CAnalyticsLoggingPlugin ("analyticsLogger"): scripts' entries of the
// legacy automation logs. A call with the wrong arguments logs
// "Incorrect parameters: %d" and writes nothing; nothing reaches the script.
#pragma once

#include <string>

#include "analytics/analytics_logger_helper.h"
#include "script_host/plugin_object.h"

namespace Halden::Analytics {

inline constexpr wchar_t kLoggerPluginRegisteredName[] = L"analyticsLogger";

class CAnalyticsLoggingPlugin : public Corvane::Script::PluginObject {
public:
    explicit CAnalyticsLoggingPlugin(Corvane::Script::IScriptEnvironmentFactory* environment);

    std::wstring GetName() override { return L"AnalyticsLoggingPlugin"; }
    std::wstring GetVersion() override { return L"1"; }

private:
    using Args = const Corvane::Script::ScriptVariable*;
    void WriteToRawTrackLog(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);
    void WriteToTransportsLog(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);
    void WriteToAutomationErrorLog(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);

    CAnalyticsLoggerHelper helper_;
};

}  // namespace Halden::Analytics
