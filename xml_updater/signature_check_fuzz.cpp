// Feeds arbitrary buffers to the document trailer parser: it must never read
// outside the buffer, whatever the length and ending.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "xml_updater/signature_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> copy(data, data + size);
    std::size_t signed_length = 0;
    NSignatureCheck::ForceVerifySignature(copy.data(), copy.size(), signed_length);
    return 0;
}
