// Feeds arbitrary texts to the signed-script parser: it must never read
// outside the buffer, whatever the lengths and endings.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "script_host/signature_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size heap copy lets ASan see any read past the end.
    const std::vector<std::uint8_t> copy(data, data + size);
    SignatureCheck::VerifySignature(copy.data(), copy.size());
    return 0;
}
