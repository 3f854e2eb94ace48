// ETWLogging::CDefaultLogBuilder: the factory of the process logger.
//
// The mechanism override 1 builds the file logger (CLogging). Otherwise the
// DWORD "Logging Mechanism" decides, read from the settings source when one
// is given, else from HKLM "SOFTWARE\Corvane\Logging" through the obfuscated
// registry key: 1 builds the file logger, anything else (no key, no value,
// another type or number) the ETW logger (CETWLogging).
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/logging/log_builder_if_ex.h"
#include "platform/logging/logging_if_ex.h"

namespace ETWLogging {

inline constexpr const wchar_t* kLoggingKeyPath = L"SOFTWARE\\Corvane\\Logging";

class CDefaultLogBuilder final : public CLogBuilderIf_ex {
public:
    using LoggerFactory = std::function<std::unique_ptr<CLoggingIf_ex>()>;
    using FileLoggerFactory = std::function<std::unique_ptr<CLoggingIf>()>;

    // The ETW logger and the file logger.
    CDefaultLogBuilder();
    // Tests: one factory for every mechanism.
    explicit CDefaultLogBuilder(LoggerFactory factory);
    // Tests: a factory per mechanism.
    CDefaultLogBuilder(LoggerFactory etwFactory, FileLoggerFactory fileFactory);

    // Build_ex with no application name and no settings source.
    rk::DWORD Build(const wchar_t* group, ModuleHandle module, const wchar_t* host, rk::DWORD mechanism,
                    std::unique_ptr<CLoggingIf>& out) override;

    // Refuses with 5023 when `out` is already filled and with 87 when the
    // group or host is given but empty; otherwise creates the chosen logger,
    // calls Initialize_ex (when it has one), falls back to Initialize, and on
    // success stores it and calls AddRef. A logger that fails is destroyed
    // (its error returned) and `out` stays empty.
    rk::DWORD Build_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                       const wchar_t* host, rk::DWORD mechanism, std::unique_ptr<CLoggingIf>& out,
                       const LoggingSettingsIf* settingsSource) override;

    // The effective mechanism: kMechanismFile or kMechanismDefault (ETW).
    static rk::DWORD ChooseMechanism(rk::DWORD mechanism, const LoggingSettingsIf* settingsSource);
    // "Logging Mechanism" as stored; nullopt when it cannot be read.
    static std::optional<rk::DWORD> ReadLoggingMechanism(const LoggingSettingsIf* settingsSource);

private:
    LoggerFactory etw_factory_;
    FileLoggerFactory file_factory_;
};

}  // namespace ETWLogging
