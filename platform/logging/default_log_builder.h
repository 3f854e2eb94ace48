// ETWLogging::CDefaultLogBuilder: the factory of the process logger.
//
// Until the ETW and file loggers exist every mechanism builds the development
// logger (CDevelopmentLogging over standard error when RK_LOG_STDERR is set).
// The refusal rules are already those of the final factory.
#pragma once

#include <functional>
#include <memory>

#include "platform/logging/log_builder_if_ex.h"
#include "platform/logging/logging_if_ex.h"

namespace ETWLogging {

class CDefaultLogBuilder final : public CLogBuilderIf_ex {
public:
    using LoggerFactory = std::function<std::unique_ptr<CLoggingIf_ex>()>;

    CDefaultLogBuilder();
    // Tests hand in the logger to be initialized.
    explicit CDefaultLogBuilder(LoggerFactory factory);

    // Build_ex with no application name and no settings source.
    rk::DWORD Build(const wchar_t* group, ModuleHandle module, const wchar_t* host, rk::DWORD mechanism,
                    std::unique_ptr<CLoggingIf>& out) override;

    // Refuses with 5023 when `out` is already filled and with 87 when the
    // group or host is given but empty; otherwise creates the logger, calls
    // Initialize_ex, falls back to Initialize, and on success stores it and
    // calls AddRef. A logger that fails both is destroyed (its error returned).
    rk::DWORD Build_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                       const wchar_t* host, rk::DWORD mechanism, std::unique_ptr<CLoggingIf>& out,
                       const LoggingSettingsIf* settingsSource) override;

private:
    LoggerFactory factory_;
};

}  // namespace ETWLogging
