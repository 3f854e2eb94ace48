// ETWLogging::CLogBuilderIf_ex: the logger factory with an application name
// and an optional settings source.
#pragma once

#include "platform/logging/log_builder_if.h"
#include "platform/logging/logging_settings_if.h"

namespace ETWLogging {

class CLogBuilderIf_ex : public CLogBuilderIf {
public:
    // settingsSource null: the settings come from the registry.
    virtual rk::DWORD Build_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                               const wchar_t* host, rk::DWORD mechanism, std::unique_ptr<CLoggingIf>& out,
                               const LoggingSettingsIf* settingsSource) = 0;
};

}  // namespace ETWLogging
