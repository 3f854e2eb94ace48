// Differential fuzz of the strtoll-like parsers against the C runtime's own
// strtoll (64 bits on both platforms); wcstol_like must be its clamp to 32
// bits with the same end.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/text/numeric.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const int kBases[] = {0, 2, 8, 10, 16, 36};
    const int base = kBases[data[0] % 6];
    // The C function stops at a NUL; "0b" is left out because newer C
    // runtimes read it as a binary prefix.
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text = text.substr(0, text.find('\0'));
    if (text.find("0b") != std::string::npos || text.find("0B") != std::string::npos) {
        return 0;
    }
    errno = 0;
    char* end = nullptr;
    const long long want = std::strtoll(text.c_str(), &end, base);
    const bool range = errno == ERANGE;
    const auto consumed = static_cast<std::size_t>(end - text.c_str());

    const rk::text::ParseResult64 got = rk::text::strtoll_like(text, base);
    if (got.value != want || got.out_of_range != range || got.consumed != consumed) {
        std::abort();
    }
    std::wstring wide;
    for (char c : text) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    const rk::text::ParseResult32 narrow32 = rk::text::wcstol_like(wide, base);
    const bool clamps = want > INT32_MAX || want < INT32_MIN;
    const auto clamped = static_cast<std::int32_t>(want > INT32_MAX ? INT32_MAX : want < INT32_MIN ? INT32_MIN : want);
    if (narrow32.value != clamped || narrow32.out_of_range != (range || clamps) || narrow32.consumed != consumed) {
        std::abort();
    }
    return 0;
}
