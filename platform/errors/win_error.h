// Windows error numbers, NTSTATUS values and HRESULTs that cross the
// component boundaries. The seam reports these on every platform so callers
// keep their documented behaviour.
#pragma once

#include <cstdint>

namespace rk {

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using HRESULT = std::int32_t;
using NTSTATUS = std::int32_t;

namespace win {

inline constexpr DWORD kErrorSuccess = 0;
inline constexpr DWORD kErrorInvalidFunction = 1;
inline constexpr DWORD kErrorFileNotFound = 2;
inline constexpr DWORD kErrorPathNotFound = 3;
inline constexpr DWORD kErrorTooManyOpenFiles = 4;
inline constexpr DWORD kErrorAccessDenied = 5;
inline constexpr DWORD kErrorInvalidHandle = 6;
inline constexpr DWORD kErrorNotEnoughMemory = 8;
inline constexpr DWORD kErrorInvalidData = 13;
inline constexpr DWORD kErrorOutOfMemory = 14;
inline constexpr DWORD kErrorWriteProtect = 19;
inline constexpr DWORD kErrorSharingViolation = 32;
inline constexpr DWORD kErrorLockViolation = 33;
inline constexpr DWORD kErrorHandleEof = 38;
inline constexpr DWORD kErrorNotSupported = 50;
inline constexpr DWORD kErrorFileExists = 80;
inline constexpr DWORD kErrorInvalidParameter = 87;
inline constexpr DWORD kErrorDiskFull = 112;
inline constexpr DWORD kErrorInsufficientBuffer = 122;
inline constexpr DWORD kErrorInvalidName = 123;
inline constexpr DWORD kErrorDirNotEmpty = 145;
inline constexpr DWORD kErrorBadPathname = 161;
inline constexpr DWORD kErrorAlreadyExists = 183;
inline constexpr DWORD kErrorFilenameExcedRange = 206;
inline constexpr DWORD kErrorMoreData = 234;
inline constexpr DWORD kWaitTimeout = 258;
inline constexpr DWORD kErrorNoMoreItems = 259;
inline constexpr DWORD kErrorPartialCopy = 299;
inline constexpr DWORD kErrorInvalidAddress = 487;
inline constexpr DWORD kErrorArithmeticOverflow = 534;
inline constexpr DWORD kErrorIoPending = 997;
inline constexpr DWORD kErrorNoToken = 1008;
inline constexpr DWORD kErrorBaddb = 1009;
inline constexpr DWORD kErrorBadkey = 1010;
inline constexpr DWORD kErrorCantopen = 1011;
inline constexpr DWORD kErrorCantread = 1012;
inline constexpr DWORD kErrorCantwrite = 1013;
inline constexpr DWORD kErrorRegistryCorrupt = 1015;
inline constexpr DWORD kErrorRegistryIoFailed = 1016;
inline constexpr DWORD kErrorKeyDeleted = 1018;
inline constexpr DWORD kErrorChildMustBeVolatile = 1021;
inline constexpr DWORD kErrorNotFound = 1168;
inline constexpr DWORD kErrorCancelled = 1223;
inline constexpr DWORD kErrorNotReady = 21;
inline constexpr DWORD kErrorInvalidState = 5023;
inline constexpr DWORD kErrorNoLogger = 1627;  // ERROR_FUNCTION_FAILED: the process has no logger
inline constexpr DWORD kErrorTimeout = 1460;

}  // namespace win
}  // namespace rk
