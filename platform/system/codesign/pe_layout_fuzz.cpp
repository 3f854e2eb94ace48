// Fuzzes the pe signature layout parser and everything behind it (PKCS #7
// decoding, signer, timestamp and chain checks) on the layout it finds.
#include <cstddef>
#include <cstdint>

#include "platform/system/codesign/pe_layout.h"
#include "platform/system/codesign/signature_verifier.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rk::sys::codesign;
    const std::span<const std::uint8_t> file(data, size);
    const SignedLayout layout = pe::parse_layout(file);
    for (const ByteRange& r : layout.hashed) {
        if (r.offset > size || r.length > size - r.offset) {
            __builtin_trap();  // a range outside the file would be read by the hash
        }
    }
    static const TrustPolicy policy = [] {
        TrustPolicy p;
        p.publisher_names = {L"Corvane Development"};
        p.use_system_roots = false;
        p.now = 1767225600;
        return p;
    }();
    SignatureVerifier(file, layout, policy).run();
    return 0;
}
