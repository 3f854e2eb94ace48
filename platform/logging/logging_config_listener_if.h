// ETWLogging::LoggingConfigListenerIf: receives the trace session's and the
// registry's logging configuration and applies it to one logger. Virtual
// operations in documented slot order.
#pragma once

#include <string>

#include "platform/errors/win_error.h"
#include "platform/logging/log_level.h"

namespace ETWLogging {

class CLoggingIf;

// A registry root key (HKEY on Windows). The logging configuration is always
// read under HKEY_LOCAL_MACHINE.
enum class RegistryRoot : std::uint32_t {
    kLocalMachine = 0x80000002,
};

class LoggingConfigListenerIf {
public:
    LoggingConfigListenerIf() = default;
    LoggingConfigListenerIf(const LoggingConfigListenerIf&) = delete;
    LoggingConfigListenerIf& operator=(const LoggingConfigListenerIf&) = delete;

    // 1. SetEnabled / SetSeverity / SetFlags on the attached logger, then the
    // registry overrides.
    virtual void OnConfigurationChange(bool enabled, LogLevel level, rk::DWORD flags) = 0;
    // 2
    virtual ~LoggingConfigListenerIf() = default;
    // 3. Accepts a logger only when none is attached; the logger outlives the
    // listener (it owns it).
    virtual bool Attach(CLoggingIf* logger) = 0;
    // 4
    virtual void GetKey(RegistryRoot& outRoot, std::wstring& outPath) const = 0;
    // 5
    virtual void ApplyRegistry(RegistryRoot root, const std::wstring& path) = 0;
};

}  // namespace ETWLogging
