// The library's own logger. Every failure of RkCryptoLib is one line:
// "[file:(line)][function] STATUS_NAME: message", routed into the process
// logger at the error level.
#pragma once

#include <string>

#include "platform/crypto/rk_crypto_status.h"
#include "platform/text/format.h"

namespace RkCryptoLib {

inline constexpr wchar_t kLogPrefix[] = L"[%S:(%d)][%S] %s: ";
inline constexpr wchar_t kLogAllocationFailure[] = L"General memory-allocation failure in RkCrypto logger.";

class CRkCryptoLogger {
public:
    // Formats prefix and message; `function` is the qualified name
    // ("RkCryptoLib::CRkCryptoSymmetricWin::Encrypt").
    static void LogV(const char* file, int line, const char* function, NTSTATUS status, const wchar_t* format,
                     rk::text::FormatArgs args);

    // A line whose format carries its own prefix; its first three arguments
    // are file, line and function.
    static void LogRawV(const char* file, int line, const char* function, const wchar_t* format,
                        rk::text::FormatArgs args);

    template <typename... A>
    static void Log(const char* file, int line, const char* function, NTSTATUS status, const wchar_t* format,
                    const A&... args) {
        const auto list = rk::text::make_format_args(args...);
        LogV(file, line, function, status, format, rk::text::FormatArgs(list.data(), list.size()));
    }

    // The text a line gets, without routing it (shared by LogV and tests).
    static std::wstring FormatLine(const char* file, int line, const char* function, NTSTATUS status,
                                   const wchar_t* format, rk::text::FormatArgs args);

private:
    static void Emit(const char* file, int line, const char* function, const std::wstring& text);
};

}  // namespace RkCryptoLib

// RKCRYPTO_LOG(status, L"format", args...) inside a function that declares
// `static constexpr char kFunction[] = "RkCryptoLib::Class::Method";`.
#define RKCRYPTO_LOG(status, ...) ::RkCryptoLib::CRkCryptoLogger::Log(__FILE__, __LINE__, kFunction, (status), __VA_ARGS__)
