// ALE_STATUS: the result of every analytics engine operation, and the text
// the controller logs for it.
#pragma once

#include <cstdint>

namespace Halden::Analytics {

using ALE_STATUS = std::uint32_t;

namespace ale_status {
inline constexpr ALE_STATUS kSuccess = 0x00000000;
inline constexpr ALE_STATUS kNotSupported = 0x80000001;
inline constexpr ALE_STATUS kUnsuccessful = 0x80000002;
inline constexpr ALE_STATUS kBufferTooSmall = 0x80000003;
inline constexpr ALE_STATUS kNotImplemented = 0x80000004;
inline constexpr ALE_STATUS kInvalidBufferSize = 0x80000005;
inline constexpr ALE_STATUS kDataError = 0x80000006;
inline constexpr ALE_STATUS kInvalidHandle = 0x80000007;
inline constexpr ALE_STATUS kInvalidParameter = 0x80000008;
inline constexpr ALE_STATUS kNoMemory = 0x80000009;
inline constexpr ALE_STATUS kNotFound = 0x8000000A;
inline constexpr ALE_STATUS kTimeout = 0x8000000D;
inline constexpr ALE_STATUS kUnknownException = 0x8000000F;
inline constexpr ALE_STATUS kInvalidState = 0x800000FF;
}  // namespace ale_status

// "ALE_STATUS::SUCCESS" and family; "ALE_STATUS::UNKNOWN" for other values.
const wchar_t* AleStatusText(ALE_STATUS status);

}  // namespace Halden::Analytics
