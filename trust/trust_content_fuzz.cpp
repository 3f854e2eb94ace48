// Content files come from disk (inside a signed cabinet, but parsed with the
// same care as anything else): any bytes must parse or be refused with a
// reason, and what parses keeps its bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "trust/trust_content.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    rk::trust::TrustContent content;
    std::wstring error;
    const bool ok =
        rk::trust::parse_trust_content(std::string_view(reinterpret_cast<const char*>(data), size), content, error);
    if (ok == !error.empty() && !ok) {
        __builtin_trap();  // a refusal always names its reason
    }
    if (ok) {
        for (const auto& cert : content.certs) {
            const auto n = cert.hash.size();
            if ((n != 20 && n != 32 && n != 48) || static_cast<unsigned>(cert.type) > 2) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
