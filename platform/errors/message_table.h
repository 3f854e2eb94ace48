// Message texts of Windows error numbers: the system message table, the
// tables of "ntdll.dll" and "winhttp.dll", and the WMI utility library.
//
// On Windows these are FormatMessageW (ignoring inserts) and
// IWbemStatusCodeText; elsewhere the project's own copy of the usual Windows
// texts for the numbers this system uses. Both give the text without its
// trailing line break, and nothing when the table has no entry or the text
// does not fit the caller's buffer.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/errors/win_error.h"

namespace rk::win {

enum class MessageTable {
    kSystem,   // FORMAT_MESSAGE_FROM_SYSTEM
    kNtdll,    // FORMAT_MESSAGE_FROM_HMODULE of "ntdll.dll"
    kWinHttp,  // FORMAT_MESSAGE_FROM_HMODULE of "winhttp.dll"
};

// `buffer_chars` is the size of the caller's buffer in characters: a text
// that does not fit it together with the line break and terminating zero
// FormatMessageW adds is not returned, as FormatMessageW fails on it.
std::optional<std::wstring> format_message(MessageTable table, DWORD code, std::size_t buffer_chars);

// Text of a WMI status code (IWbemStatusCodeText::GetErrorCodeText of
// "wbem\wmiutils.dll"); nothing for codes it does not know.
std::optional<std::wstring> wmi_status_text(DWORD code);

}  // namespace rk::win
