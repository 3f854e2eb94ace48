#include "platform/logging/win32_message.h"

#include "platform/text/format.h"

namespace rk::logging {

// Only the numbers this library reports; the "win32" error category of
// platform/errors takes over once it exists.
std::wstring win32_message_text(rk::DWORD error) {
    switch (error) {
        case rk::win::kErrorSuccess: return L"The operation completed successfully.";
        case rk::win::kErrorInvalidParameter: return L"The parameter is incorrect.";
        case rk::win::kErrorInvalidState:
            return L"The group or resource is not in the correct state to perform the requested operation.";
        default: return rk::text::format(L"Unknown error %lu", error);
    }
}

}  // namespace rk::logging
