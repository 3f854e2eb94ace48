#include "script_host/plugins/logging_plugin.h"

#include "platform/logging/process_logger.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace Corvane::Script {

CLoggingPlugin::CLoggingPlugin(IScriptEnvironmentFactory* factory, std::ostream& console, std::uint16_t syslog_port)
    : PluginObject(factory,
                   {
                       Method(L"LogMessage", {kArgInteger, kArgString, kArgInteger, kArgString, kArgString}, this,
                              &CLoggingPlugin::LogMessage),
                       Method(L"WriteToTrace", {kArgString}, this, &CLoggingPlugin::WriteToTrace),
                       Method(L"WriteToConsole", {kArgString}, this, &CLoggingPlugin::WriteToConsole),
                       Method(L"WriteToSyslog", {kArgString, kArgString}, this, &CLoggingPlugin::WriteToSyslog),
                   }),
      console_(console),
      syslog_(syslog_port) {}

void CLoggingPlugin::LogMessage(ScriptVariable&, std::uint32_t, const ScriptVariable* args) {
    const LogLevel level = args[0].GetInt();
    if (IsLogLevelEnabled(level)) {
        ::LogMessage(level, args[1].GetString().c_str(), args[3].GetString().c_str(), args[2].GetSignedInt(), L"%s",
                     args[4].GetString());
    }
}

void CLoggingPlugin::WriteToTrace(ScriptVariable&, std::uint32_t, const ScriptVariable*) {}

void CLoggingPlugin::WriteToConsole(ScriptVariable&, std::uint32_t, const ScriptVariable* args) {
    console_ << rk::text::wide_to_utf8(rk::text::format(kConsoleLineFormat, args[0].GetString())) << std::flush;
    if (!console_ && IsLogLevelEnabled(rk::log_level::kCritical)) {
        ::LogMessage(rk::log_level::kCritical, L"logging_plugin.cpp", L"CLoggingPlugin::WriteToConsole", __LINE__,
                     kMsgConsoleWriteFailed, args[0].GetString());
    }
}

void CLoggingPlugin::WriteToSyslog(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    result = ScriptVariable(syslog_.Send(args[0].GetString(), args[1].GetString()));
}

}  // namespace Corvane::Script
