// The process logger front end: what every component calls to log.
//
//   if (IsLogLevelEnabled(6)) {
//       LogMessage(6, kFile, L"CFoo::Bar", __LINE__, L"read %ls: %d", name, err);
//   }
//
// Format texts have the Windows wide-printf meanings (platform/text/format.h).
#pragma once

#include <cstdint>

#include "platform/errors/win_error.h"
#include "platform/logging/log_level.h"
#include "platform/text/format.h"

// False when the process has no logger, else the logger's level filter.
bool IsLogLevelEnabled(LogLevel level);

// The form that takes a ready argument list (the counterpart of a va_list).
// Returns 1627 when the process has no logger, the logger's Start error, or
// the result of writing the line.
rk::DWORD LogMessage(LogLevel level, const wchar_t* sourceFile, const wchar_t* function, int line,
                     const wchar_t* format, rk::text::FormatArgs args);

template <typename... A>
rk::DWORD LogMessage(LogLevel level, const wchar_t* sourceFile, const wchar_t* function, int line,
                     const wchar_t* format, const A&... args) {
    const auto list = rk::text::make_format_args(args...);
    return LogMessage(level, sourceFile, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
}
