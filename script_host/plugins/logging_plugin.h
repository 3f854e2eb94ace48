// "logging": the process logger, the console and the local syslog service.
//
//   LogMessage(integer level, string file, integer line, string function, string message)
//   WriteToTrace(string)                 checks its argument, nothing else
//   WriteToConsole(string)               "[console] <text>\n" on the console stream
//   WriteToSyslog(string type, string message)  one syslog datagram; true when sent
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "script_host/plugin_object.h"
#include "script_host/plugins/sys_logger.h"

namespace Corvane::Script {

inline constexpr wchar_t kConsoleLineFormat[] = L"[console] %s\n";
inline constexpr wchar_t kMsgConsoleWriteFailed[] = L"Failed to write to the console: %s";

class CLoggingPlugin : public PluginObject {
public:
    // `console` is the host's console stream (standard output in the
    // programs); the syslog port is 514 except in tests.
    explicit CLoggingPlugin(IScriptEnvironmentFactory* factory, std::ostream& console,
                            std::uint16_t syslog_port = kSyslogPort);

    std::wstring GetName() override { return L"logging"; }

private:
    void LogMessage(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void WriteToTrace(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void WriteToConsole(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void WriteToSyslog(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    std::ostream& console_;
    CSysLogger syslog_;
};

}  // namespace Corvane::Script
