#include "analytics/ale_status.h"

namespace Halden::Analytics {

const wchar_t* AleStatusText(ALE_STATUS status) {
    using namespace ale_status;
    switch (status) {
        case kSuccess: return L"ALE_STATUS::SUCCESS";
        case kNotSupported: return L"ALE_STATUS::NOT_SUPPORTED";
        case kUnsuccessful: return L"ALE_STATUS::UNSUCCESSFUL";
        case kBufferTooSmall: return L"ALE_STATUS::BUFFER_TOO_SMALL";
        case kNotImplemented: return L"ALE_STATUS::NOT_IMPLEMENTED";
        case kInvalidBufferSize: return L"ALE_STATUS::INVALID_BUFFER_SIZE";
        case kDataError: return L"ALE_STATUS::DATA_ERROR";
        case kInvalidHandle: return L"ALE_STATUS::INVALID_HANDLE";
        case kInvalidParameter: return L"ALE_STATUS::INVALID_PARAMETER";
        case kNoMemory: return L"ALE_STATUS::NO_MEMORY";
        case kNotFound: return L"ALE_STATUS::NOT_FOUND";
        case kTimeout: return L"ALE_STATUS::TIMEOUT";
        case kUnknownException: return L"ALE_STATUS::UNKNOWN_EXCEPTION";
        case kInvalidState: return L"ALE_STATUS::INVALID_STATE";
        default: return L"ALE_STATUS::UNKNOWN";
    }
}

}  // namespace Halden::Analytics
