// The project's copy of the Windows message texts for the numbers this
// system reports, standing in for the message tables that exist only on
// Windows. Texts are the usual en-US ones, without the trailing line break.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/errors/message_table.h"

namespace rk::win {
namespace {

struct Entry {
    std::uint32_t code;
    std::wstring_view text;
};

constexpr Entry kSystemMessages[] = {
    {kErrorSuccess, L"The operation completed successfully."},
    {kErrorInvalidFunction, L"Incorrect function."},
    {kErrorFileNotFound, L"The system cannot find the file specified."},
    {kErrorPathNotFound, L"The system cannot find the path specified."},
    {kErrorTooManyOpenFiles, L"The system cannot open the file."},
    {kErrorAccessDenied, L"Access is denied."},
    {kErrorInvalidHandle, L"The handle is invalid."},
    {kErrorNotEnoughMemory, L"Not enough memory resources are available to process this command."},
    {kErrorInvalidData, L"The data is invalid."},
    {kErrorOutOfMemory, L"Not enough memory resources are available to complete this operation."},
    {kErrorInvalidDrive, L"The system cannot find the drive specified."},
    {kErrorNotSameDevice, L"The system cannot move the file to a different disk drive."},
    {kErrorWriteProtect, L"The media is write protected."},
    {kErrorNotReady, L"The device is not ready."},
    {kErrorSharingViolation, L"The process cannot access the file because it is being used by another process."},
    {kErrorLockViolation,
     L"The process cannot access the file because another process has locked a portion of the file."},
    {kErrorHandleEof, L"Reached the end of the file."},
    {kErrorNotSupported, L"The request is not supported."},
    {kErrorFileExists, L"The file exists."},
    {kErrorInvalidParameter, L"The parameter is incorrect."},
    {kErrorBrokenPipe, L"The pipe has been ended."},
    {kErrorDiskFull, L"There is not enough space on the disk."},
    {kErrorInsufficientBuffer, L"The data area passed to a system call is too small."},
    {kErrorInvalidName, L"The filename, directory name, or volume label syntax is incorrect."},
    {kErrorDirNotEmpty, L"The directory is not empty."},
    {kErrorBadPathname, L"The specified path is invalid."},
    {kErrorBusy, L"The requested resource is in use."},
    {kErrorAlreadyExists, L"Cannot create a file when that file already exists."},
    {kErrorBadExeFormat, L"%1 is not a valid Win32 application."},
    {kErrorFilenameExcedRange, L"The filename or extension is too long."},
    {kErrorFileTooLarge, L"The file size exceeds the limit allowed and cannot be saved."},
    {kErrorMoreData, L"More data is available."},
    {kWaitTimeout, L"The wait operation timed out."},
    {kErrorNoMoreItems, L"No more data is available."},
    {kErrorPartialCopy, L"Only part of a ReadProcessMemory or WriteProcessMemory request was completed."},
    {kErrorInvalidAddress, L"Attempt to access invalid address."},
    {kErrorArithmeticOverflow, L"Arithmetic result exceeded 32 bits."},
    {kErrorOperationAborted,
     L"The I/O operation has been aborted because of either a thread exit or an application request."},
    {kErrorIoPending, L"Overlapped I/O operation is in progress."},
    {kErrorNoToken, L"An attempt was made to reference a token that does not exist."},
    {kErrorBaddb, L"The configuration registry database is corrupt."},
    {kErrorBadkey, L"The configuration registry key is invalid."},
    {kErrorCantopen, L"The configuration registry key could not be opened."},
    {kErrorCantread, L"The configuration registry key could not be read."},
    {kErrorCantwrite, L"The configuration registry key could not be written."},
    {kErrorRegistryCorrupt,
     L"The registry is corrupted. The structure of one of the files containing registry data is corrupted, or "
     L"the system's memory image of the file is corrupted, or the file could not be recovered because the "
     L"alternate copy or log was absent or corrupted."},
    {kErrorRegistryIoFailed,
     L"An I/O operation initiated by the registry failed unrecoverably. The registry could not read in, or write "
     L"out, or flush, one of the files that contain the system's image of the registry."},
    {kErrorKeyDeleted, L"Illegal operation attempted on a registry key that has been marked for deletion."},
    {kErrorChildMustBeVolatile, L"Cannot create a stable subkey under a volatile parent key."},
    {kErrorIoDevice, L"The request could not be performed because of an I/O device error."},
    {kErrorNotFound, L"Element not found."},
    {kErrorCancelled, L"The operation was canceled by the user."},
    {kErrorTimeout, L"This operation returned because the timeout period expired."},
    {kErrorInstallFailure, L"Fatal error during installation."},
    {kErrorFunctionFailed, L"Function failed during execution."},
    {kRpcSServerUnavailable, L"The RPC server is unavailable."},
    {kErrorCantResolveFilename, L"The name of the file cannot be resolved by the system."},
    {kErrorInvalidState, L"The group or resource is not in the correct state to perform the requested operation."},
    // COM's generic HRESULTs, which the system table carries as well.
    {static_cast<std::uint32_t>(kENotImpl), L"Not implemented"},
    {static_cast<std::uint32_t>(kENoInterface), L"No such interface supported"},
    {static_cast<std::uint32_t>(kEPointer), L"Invalid pointer"},
    {static_cast<std::uint32_t>(kEAbort), L"Operation aborted"},
    {static_cast<std::uint32_t>(kEFail), L"Unspecified error"},
    {static_cast<std::uint32_t>(kEUnexpected), L"Catastrophic failure"},
};

constexpr Entry kNtdllMessages[] = {
    {static_cast<std::uint32_t>(kStatusSuccess), L"The operation completed successfully."},
    {static_cast<std::uint32_t>(kStatusUnsuccessful), L"{Operation Failed}\r\nThe requested operation was unsuccessful."},
    {static_cast<std::uint32_t>(kStatusNotImplemented),
     L"{Not Implemented}\r\nThe requested operation is not implemented."},
    {static_cast<std::uint32_t>(kStatusInvalidHandle), L"An invalid HANDLE was specified."},
    {static_cast<std::uint32_t>(kStatusInvalidParameter), L"An invalid parameter was passed to a service or function."},
    {static_cast<std::uint32_t>(kStatusNoMemory),
     L"{Not Enough Quota}\r\nNot enough virtual memory or paging file quota is available to complete the specified "
     L"operation."},
    {static_cast<std::uint32_t>(kStatusAccessDenied),
     L"{Access Denied}\r\nA process has requested access to an object, but has not been granted those access "
     L"rights."},
    {static_cast<std::uint32_t>(kStatusBufferTooSmall),
     L"{Buffer Too Small}\r\nThe buffer is too small to contain the entry. No information has been written to the "
     L"buffer."},
    {static_cast<std::uint32_t>(kStatusObjectNameNotFound), L"Object Name not found."},
    {static_cast<std::uint32_t>(kStatusDataError), L"{Data Error}\r\nAn error in reading or writing data occurred."},
    {static_cast<std::uint32_t>(kStatusNotSupported), L"The request is not supported."},
    {static_cast<std::uint32_t>(kStatusKeyDeleted),
     L"Illegal operation attempted on a registry key which has been marked for deletion."},
    {static_cast<std::uint32_t>(kStatusInvalidBufferSize),
     L"The size of the buffer is invalid for the specified operation."},
    {static_cast<std::uint32_t>(kStatusNotFound), L"The object was not found."},
    {static_cast<std::uint32_t>(kStatusInvalidSignature), L"The cryptographic signature is invalid."},
    {static_cast<std::uint32_t>(kStatusHmacNotSupported), L"The cryptographic provider does not support HMAC."},
    {static_cast<std::uint32_t>(kStatusAuthTagMismatch),
     L"The computed authentication tag did not match the input authentication tag."},
};

constexpr Entry kWinHttpMessages[] = {
    {kWinHttpErrorOutOfHandles, L"No more handles could be generated at this time"},
    {kWinHttpErrorTimeout, L"The operation timed out"},
    {kWinHttpErrorInternalError, L"An internal error occurred in the Microsoft Windows HTTP Services"},
    {kWinHttpErrorInvalidUrl, L"The URL is invalid"},
    {kWinHttpErrorUnrecognizedScheme, L"The URL does not use a recognized protocol"},
    {kWinHttpErrorNameNotResolved, L"The server name or address could not be resolved"},
    {kWinHttpErrorLoginFailure, L"The login attempt failed"},
    {kWinHttpErrorOperationCancelled, L"The operation has been canceled"},
    {kWinHttpErrorIncorrectHandleType, L"The type of handle supplied is incorrect for this operation"},
    {kWinHttpErrorIncorrectHandleState, L"The handle supplied is not in the correct state"},
    {kWinHttpErrorCannotConnect, L"A connection with the server could not be established"},
    {kWinHttpErrorConnectionError, L"The connection with the server was terminated abnormally"},
    {kWinHttpErrorSecureCertDateInvalid, L"The date in the certificate is invalid or has expired"},
    {kWinHttpErrorSecureCertCnInvalid, L"The host name in the certificate is invalid or does not match"},
    {kWinHttpErrorClientAuthCertNeeded, L"A certificate is required to complete client authentication"},
    {kWinHttpErrorSecureInvalidCa, L"The certificate authority is invalid or incorrect"},
    {kWinHttpErrorHeaderNotFound, L"The requested header could not be located"},
    {kWinHttpErrorInvalidServerResponse, L"The server returned an invalid or unrecognized response"},
    {kWinHttpErrorRedirectFailed,
     L"The redirection failed because either the scheme changed or all attempts made to redirect failed (default "
     L"is 5 attempts)"},
    {kWinHttpErrorSecureChannelError, L"An error occurred in the secure channel support"},
    {kWinHttpErrorSecureInvalidCert, L"The certificate is invalid"},
    {kWinHttpErrorSecureCertRevoked, L"The certificate has been revoked"},
    {kWinHttpErrorSecureFailure, L"A security error occurred"},
    {kWinHttpErrorResponseDrainOverflow, L"The incoming response exceeds an internal WinHTTP size limit"},
};

// IWbemStatusCodeText texts of the WMI errors a query can end with.
constexpr Entry kWmiMessages[] = {
    {0x80041001u, L"Generic failure"},
    {0x80041002u, L"Not found"},
    {0x80041003u, L"Access denied"},
    {0x80041004u, L"Provider failure"},
    {0x80041005u, L"Type mismatch"},
    {0x80041006u, L"Out of memory"},
    {0x80041007u, L"Invalid context"},
    {0x80041008u, L"Invalid parameter"},
    {0x80041009u, L"Not available"},
    {0x8004100Au, L"Critical error"},
    {0x8004100Bu, L"Invalid stream"},
    {0x8004100Cu, L"Not supported"},
    {0x8004100Du, L"Invalid superclass"},
    {0x8004100Eu, L"Invalid namespace"},
    {0x8004100Fu, L"Invalid object"},
    {0x80041010u, L"Invalid class"},
    {0x80041011u, L"Provider not found"},
    {0x80041012u, L"Invalid provider registration"},
    {0x80041013u, L"Provider load failure"},
    {0x80041014u, L"Initialization failure"},
    {0x80041015u, L"Transport failure"},
    {0x80041016u, L"Invalid operation"},
    {0x80041017u, L"Invalid query"},
    {0x80041018u, L"Invalid query type"},
    {0x80041019u, L"Already exists"},
};

std::optional<std::wstring_view> find(std::span<const Entry> table, std::uint32_t code) {
    const auto it = std::find_if(table.begin(), table.end(), [code](const Entry& e) { return e.code == code; });
    if (it == table.end()) return std::nullopt;
    return it->text;
}

std::optional<std::wstring_view> find_system(std::uint32_t code) {
    if (auto text = find(kSystemMessages, code)) return text;
    // HRESULT_FROM_WIN32 values read like the Win32 error they carry.
    if ((code & 0xFFFF0000u) == 0x80070000u) return find(kSystemMessages, code & 0xFFFFu);
    return std::nullopt;
}

}  // namespace

std::optional<std::wstring> format_message(MessageTable table, DWORD code, std::size_t buffer_chars) {
    std::optional<std::wstring_view> text;
    switch (table) {
        case MessageTable::kSystem: text = find_system(code); break;
        case MessageTable::kNtdll: text = find(kNtdllMessages, code); break;
        case MessageTable::kWinHttp: text = find(kWinHttpMessages, code); break;
    }
    // FormatMessageW appends a line break and a terminating zero; a text that
    // does not fit fails the call.
    if (!text || text->size() + 3 > buffer_chars) return std::nullopt;
    return std::wstring(*text);
}

std::optional<std::wstring> wmi_status_text(DWORD code) {
    if (auto text = find(kWmiMessages, code)) return std::wstring(*text);
    return std::nullopt;
}

}  // namespace rk::win
