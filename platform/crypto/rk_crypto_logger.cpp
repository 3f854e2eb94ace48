#include "platform/crypto/rk_crypto_logger.h"

#include <new>
#include <string_view>

#include "platform/crypto/rk_crypto_error.h"
#include "platform/logging/process_logger.h"
#include "platform/text/utf.h"

namespace RkCryptoLib {
namespace {

// Log lines name the source file, not the build machine's path to it.
const char* base_name(const char* path) {
    const std::string_view p(path);
    const auto slash = p.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path + slash + 1;
}

}  // namespace

std::wstring CRkCryptoLogger::FormatLine(const char* file, int line, const char* function, NTSTATUS status,
                                         const wchar_t* format, rk::text::FormatArgs args) {
    const CWinError error(status);
    const auto prefix_args = rk::text::make_format_args(base_name(file), line, function, error.Name());
    std::wstring text = rk::text::vformat(kLogPrefix, rk::text::FormatArgs(prefix_args.data(), prefix_args.size()));
    rk::text::vformat_to(text, format, args);
    return text;
}

void CRkCryptoLogger::LogV(const char* file, int line, const char* function, NTSTATUS status,
                           const wchar_t* format, rk::text::FormatArgs args) {
    if (!IsLogLevelEnabled(rk::log_level::kError)) {
        return;
    }
    try {
        Emit(file, line, function, FormatLine(file, line, function, status, format, args));
    } catch (const std::bad_alloc&) {
        LogMessage(rk::log_level::kError, L"rk_crypto_logger.cpp", L"RkCryptoLib::CRkCryptoLogger::LogV", __LINE__,
                   kLogAllocationFailure);
    }
}

void CRkCryptoLogger::LogRawV(const char* file, int line, const char* function, const wchar_t* format,
                              rk::text::FormatArgs args) {
    if (!IsLogLevelEnabled(rk::log_level::kError)) {
        return;
    }
    try {
        Emit(file, line, function, rk::text::vformat(format, args));
    } catch (const std::bad_alloc&) {
        LogMessage(rk::log_level::kError, L"rk_crypto_logger.cpp", L"RkCryptoLib::CRkCryptoLogger::LogRawV",
                   __LINE__, kLogAllocationFailure);
    }
}

void CRkCryptoLogger::Emit(const char* file, int line, const char* function, const std::wstring& text) {
    const std::wstring wide_file = rk::text::utf8_to_wide(base_name(file));
    const std::wstring wide_function = rk::text::utf8_to_wide(function);
    LogMessage(rk::log_level::kError, wide_file.c_str(), wide_function.c_str(), line, L"%ls", text);
}

}  // namespace RkCryptoLib
