// Windows error numbers, NTSTATUS values and HRESULTs that cross the
// component boundaries. The seam reports these on every platform so callers
// keep their documented behaviour. Values are those of the Windows SDK
// headers (winerror.h, ntstatus.h, winhttp.h, urlmon.h).
#pragma once

#include <cstdint>

namespace rk {

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using HRESULT = std::int32_t;
using NTSTATUS = std::int32_t;

namespace win {

// ---------------------------------------------------------------------------
// Win32 error numbers (GetLastError, registry and INI results).

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
inline constexpr DWORD kErrorInvalidDrive = 15;
inline constexpr DWORD kErrorNotSameDevice = 17;
inline constexpr DWORD kErrorWriteProtect = 19;
inline constexpr DWORD kErrorNotReady = 21;
inline constexpr DWORD kErrorSharingViolation = 32;
inline constexpr DWORD kErrorLockViolation = 33;
inline constexpr DWORD kErrorHandleEof = 38;
inline constexpr DWORD kErrorNotSupported = 50;
inline constexpr DWORD kErrorFileExists = 80;
inline constexpr DWORD kErrorInvalidParameter = 87;
inline constexpr DWORD kErrorBrokenPipe = 109;
inline constexpr DWORD kErrorDiskFull = 112;
inline constexpr DWORD kErrorInsufficientBuffer = 122;
inline constexpr DWORD kErrorInvalidName = 123;
inline constexpr DWORD kErrorDirNotEmpty = 145;
inline constexpr DWORD kErrorBadPathname = 161;
inline constexpr DWORD kErrorBusy = 170;
inline constexpr DWORD kErrorAlreadyExists = 183;
inline constexpr DWORD kErrorBadExeFormat = 193;
inline constexpr DWORD kErrorFilenameExcedRange = 206;
inline constexpr DWORD kErrorFileTooLarge = 223;
inline constexpr DWORD kErrorMoreData = 234;
inline constexpr DWORD kWaitTimeout = 258;
inline constexpr DWORD kErrorNoMoreItems = 259;
inline constexpr DWORD kErrorPartialCopy = 299;
inline constexpr DWORD kErrorInvalidAddress = 487;
inline constexpr DWORD kErrorArithmeticOverflow = 534;
inline constexpr DWORD kErrorOperationAborted = 995;
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
inline constexpr DWORD kErrorIoDevice = 1117;
inline constexpr DWORD kErrorNotFound = 1168;
inline constexpr DWORD kErrorCancelled = 1223;
inline constexpr DWORD kErrorTimeout = 1460;
inline constexpr DWORD kErrorInstallFailure = 1603;  // the usual failing installer exit code
inline constexpr DWORD kErrorFunctionFailed = 1627;
inline constexpr DWORD kErrorNoLogger = kErrorFunctionFailed;  // the process has no logger
inline constexpr DWORD kRpcSServerUnavailable = 1722;
inline constexpr DWORD kErrorCantResolveFilename = 1921;
inline constexpr DWORD kErrorInvalidState = 5023;
// The logging library's own numbers; no system message exists for them.
inline constexpr DWORD kErrorAlreadyInitialized = 20001;
inline constexpr DWORD kErrorNotInitialized = 20002;

// ---------------------------------------------------------------------------
// NTSTATUS values (CNG results, registry conditions).

namespace detail {
constexpr std::int32_t as_signed(std::uint32_t v) { return static_cast<std::int32_t>(v); }
}  // namespace detail

inline constexpr NTSTATUS kStatusSuccess = 0;
inline constexpr NTSTATUS kStatusUnsuccessful = detail::as_signed(0xC0000001u);
inline constexpr NTSTATUS kStatusNotImplemented = detail::as_signed(0xC0000002u);
inline constexpr NTSTATUS kStatusInvalidHandle = detail::as_signed(0xC0000008u);
inline constexpr NTSTATUS kStatusInvalidParameter = detail::as_signed(0xC000000Du);
inline constexpr NTSTATUS kStatusNoMemory = detail::as_signed(0xC0000017u);
inline constexpr NTSTATUS kStatusAccessDenied = detail::as_signed(0xC0000022u);
inline constexpr NTSTATUS kStatusBufferTooSmall = detail::as_signed(0xC0000023u);
inline constexpr NTSTATUS kStatusObjectNameNotFound = detail::as_signed(0xC0000034u);
inline constexpr NTSTATUS kStatusDataError = detail::as_signed(0xC000003Eu);
inline constexpr NTSTATUS kStatusNotSupported = detail::as_signed(0xC00000BBu);
inline constexpr NTSTATUS kStatusKeyDeleted = detail::as_signed(0xC000017Cu);
inline constexpr NTSTATUS kStatusInvalidBufferSize = detail::as_signed(0xC0000206u);
inline constexpr NTSTATUS kStatusNotFound = detail::as_signed(0xC0000225u);
inline constexpr NTSTATUS kStatusInvalidSignature = detail::as_signed(0xC000A000u);
inline constexpr NTSTATUS kStatusHmacNotSupported = detail::as_signed(0xC000A001u);
inline constexpr NTSTATUS kStatusAuthTagMismatch = detail::as_signed(0xC000A002u);

// ---------------------------------------------------------------------------
// HRESULTs (COM calls, URL download).

inline constexpr HRESULT kSOk = 0;
inline constexpr HRESULT kSFalse = 1;
inline constexpr HRESULT kENotImpl = detail::as_signed(0x80004001u);
inline constexpr HRESULT kENoInterface = detail::as_signed(0x80004002u);
inline constexpr HRESULT kEPointer = detail::as_signed(0x80004003u);
inline constexpr HRESULT kEAbort = detail::as_signed(0x80004004u);
inline constexpr HRESULT kEFail = detail::as_signed(0x80004005u);
inline constexpr HRESULT kEUnexpected = detail::as_signed(0x8000FFFFu);
inline constexpr HRESULT kEAccessDenied = detail::as_signed(0x80070005u);
inline constexpr HRESULT kEHandle = detail::as_signed(0x80070006u);
inline constexpr HRESULT kEOutOfMemory = detail::as_signed(0x8007000Eu);
inline constexpr HRESULT kEInvalidArg = detail::as_signed(0x80070057u);
// HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE): the COM server's connection is gone.
inline constexpr HRESULT kHrRpcSServerUnavailable = detail::as_signed(0x800706BAu);

// URL moniker download failures (urlmon.h).
inline constexpr HRESULT kInetEInvalidUrl = detail::as_signed(0x800C0002u);
inline constexpr HRESULT kInetENoSession = detail::as_signed(0x800C0003u);
inline constexpr HRESULT kInetECannotConnect = detail::as_signed(0x800C0004u);
inline constexpr HRESULT kInetEResourceNotFound = detail::as_signed(0x800C0005u);
inline constexpr HRESULT kInetEObjectNotFound = detail::as_signed(0x800C0006u);
inline constexpr HRESULT kInetEDataNotAvailable = detail::as_signed(0x800C0007u);
inline constexpr HRESULT kInetEDownloadFailure = detail::as_signed(0x800C0008u);
inline constexpr HRESULT kInetEAuthenticationRequired = detail::as_signed(0x800C0009u);
inline constexpr HRESULT kInetENoValidMedia = detail::as_signed(0x800C000Au);
inline constexpr HRESULT kInetEConnectionTimeout = detail::as_signed(0x800C000Bu);
inline constexpr HRESULT kInetEInvalidRequest = detail::as_signed(0x800C000Cu);
inline constexpr HRESULT kInetEUnknownProtocol = detail::as_signed(0x800C000Du);
inline constexpr HRESULT kInetESecurityProblem = detail::as_signed(0x800C000Eu);
inline constexpr HRESULT kInetECannotLoadData = detail::as_signed(0x800C000Fu);

// ---------------------------------------------------------------------------
// WinHTTP error numbers (winhttp.h). The HTTP seam reports transport
// failures with these so callers can test 12002, 12007, 12029 and 12030.

inline constexpr DWORD kWinHttpErrorBase = 12000;
inline constexpr DWORD kWinHttpErrorOutOfHandles = 12001;
inline constexpr DWORD kWinHttpErrorTimeout = 12002;
inline constexpr DWORD kWinHttpErrorInternalError = 12004;
inline constexpr DWORD kWinHttpErrorInvalidUrl = 12005;
inline constexpr DWORD kWinHttpErrorUnrecognizedScheme = 12006;
inline constexpr DWORD kWinHttpErrorNameNotResolved = 12007;
inline constexpr DWORD kWinHttpErrorInvalidOption = 12009;
inline constexpr DWORD kWinHttpErrorOptionNotSettable = 12011;
inline constexpr DWORD kWinHttpErrorShutdown = 12012;
inline constexpr DWORD kWinHttpErrorLoginFailure = 12015;
inline constexpr DWORD kWinHttpErrorOperationCancelled = 12017;
inline constexpr DWORD kWinHttpErrorIncorrectHandleType = 12018;
inline constexpr DWORD kWinHttpErrorIncorrectHandleState = 12019;
inline constexpr DWORD kWinHttpErrorCannotConnect = 12029;
inline constexpr DWORD kWinHttpErrorConnectionError = 12030;
inline constexpr DWORD kWinHttpErrorResendRequest = 12032;
inline constexpr DWORD kWinHttpErrorSecureCertDateInvalid = 12037;
inline constexpr DWORD kWinHttpErrorSecureCertCnInvalid = 12038;
inline constexpr DWORD kWinHttpErrorClientAuthCertNeeded = 12044;
inline constexpr DWORD kWinHttpErrorSecureInvalidCa = 12045;
inline constexpr DWORD kWinHttpErrorSecureCertRevFailed = 12057;
inline constexpr DWORD kWinHttpErrorHeaderNotFound = 12150;
inline constexpr DWORD kWinHttpErrorInvalidServerResponse = 12152;
inline constexpr DWORD kWinHttpErrorInvalidQueryRequest = 12154;
inline constexpr DWORD kWinHttpErrorRedirectFailed = 12156;
inline constexpr DWORD kWinHttpErrorSecureChannelError = 12157;
inline constexpr DWORD kWinHttpErrorBadAutoProxyScript = 12166;
inline constexpr DWORD kWinHttpErrorUnableToDownloadScript = 12167;
inline constexpr DWORD kWinHttpErrorSecureInvalidCert = 12169;
inline constexpr DWORD kWinHttpErrorSecureCertRevoked = 12170;
inline constexpr DWORD kWinHttpErrorSecureFailure = 12175;
inline constexpr DWORD kWinHttpErrorAutoProxyServiceError = 12178;
inline constexpr DWORD kWinHttpErrorSecureCertWrongUsage = 12179;
inline constexpr DWORD kWinHttpErrorAutodetectionFailed = 12180;
inline constexpr DWORD kWinHttpErrorHeaderSizeOverflow = 12183;
inline constexpr DWORD kWinHttpErrorResponseDrainOverflow = 12184;

// ---------------------------------------------------------------------------
// Helpers with the meaning of the Windows macros of the same names.

// Set in an HRESULT that carries an NTSTATUS (HRESULT_FROM_NT).
inline constexpr std::uint32_t kFacilityNtBit = 0x10000000u;
inline constexpr std::uint32_t kFacilityWin32 = 7;
inline constexpr std::uint32_t kFacilityItf = 4;

// HRESULT_FROM_WIN32: 0 and values that already look like HRESULTs (top bit
// set) are kept; others become 0x8007xxxx with the low 16 bits.
constexpr HRESULT hresult_from_win32(DWORD error) {
    if (static_cast<std::int32_t>(error) <= 0) return static_cast<HRESULT>(error);
    return static_cast<HRESULT>((error & 0xFFFFu) | (kFacilityWin32 << 16) | 0x80000000u);
}

// HRESULT_FROM_NT.
constexpr HRESULT hresult_from_nt(NTSTATUS status) {
    return static_cast<HRESULT>(static_cast<std::uint32_t>(status) | kFacilityNtBit);
}

constexpr bool succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool failed(HRESULT hr) { return hr < 0; }
constexpr bool nt_success(NTSTATUS status) { return status >= 0; }

constexpr std::uint32_t hresult_facility(HRESULT hr) { return (static_cast<std::uint32_t>(hr) >> 16) & 0x7FFu; }
constexpr std::uint32_t hresult_code(HRESULT hr) { return static_cast<std::uint32_t>(hr) & 0xFFFFu; }


// Directory and mutex results of the system seam (ERROR_DIRECTORY,
// ERROR_NOT_OWNER, WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_FAILED, INFINITE).
inline constexpr DWORD kErrorDirectory = 267;
inline constexpr DWORD kErrorNotOwner = 288;
inline constexpr DWORD kWaitObject0 = 0;
inline constexpr DWORD kWaitAbandoned = 0x80;
inline constexpr DWORD kWaitFailed = 0xFFFFFFFF;
inline constexpr DWORD kInfinite = 0xFFFFFFFF;

// Windows Sockets errors (WSAGetLastError) of the datagram sender.
inline constexpr DWORD kWsaEAcces = 10013;
inline constexpr DWORD kWsaEInval = 10022;
inline constexpr DWORD kWsaEMFile = 10024;
inline constexpr DWORD kWsaENotSock = 10038;
inline constexpr DWORD kWsaEMsgSize = 10040;
inline constexpr DWORD kWsaEAfNoSupport = 10047;
inline constexpr DWORD kWsaEAddrNotAvail = 10049;
inline constexpr DWORD kWsaENetUnreach = 10051;
inline constexpr DWORD kWsaENoBufs = 10055;
inline constexpr DWORD kWsaEConnRefused = 10061;
inline constexpr DWORD kWsaEHostUnreach = 10065;

// WMI status codes (WBEM_S_FALSE, WBEM_E_*) of the machine-query provider.
inline constexpr HRESULT kWbemSFalse = 1;
inline constexpr HRESULT kWbemEFailed = detail::as_signed(0x80041001u);
inline constexpr HRESULT kWbemENotFound = detail::as_signed(0x80041002u);
inline constexpr HRESULT kWbemEInvalidParameter = detail::as_signed(0x80041008u);
inline constexpr HRESULT kWbemEInvalidNamespace = detail::as_signed(0x8004100Eu);
inline constexpr HRESULT kWbemEInvalidClass = detail::as_signed(0x80041010u);
inline constexpr HRESULT kWbemEInvalidQuery = detail::as_signed(0x80041017u);
inline constexpr HRESULT kWbemEInvalidQueryType = detail::as_signed(0x80041018u);

}  // namespace win
}  // namespace rk
