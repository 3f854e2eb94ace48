// ETWLogging::LoggingSettingsIf: where the logger factory reads its DWORD
// settings ("Logging Mechanism") when the caller hands one in instead of the
// registry.
#pragma once

#include "platform/errors/win_error.h"

namespace ETWLogging {

class LoggingSettingsIf {
public:
    LoggingSettingsIf() = default;
    LoggingSettingsIf(const LoggingSettingsIf&) = delete;
    LoggingSettingsIf& operator=(const LoggingSettingsIf&) = delete;
    virtual ~LoggingSettingsIf() = default;

    // False when the value is absent or not a DWORD.
    virtual bool ReadDword(const wchar_t* name, rk::DWORD& value) const = 0;
};

}  // namespace ETWLogging
