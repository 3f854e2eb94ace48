// Feeds arbitrary buffers to the document trailer parser: it must never read
// outside the buffer, whatever the length and ending.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "xml_updater/signature_check.h"
#include "xml_updater/test/quiet_logger.h"
#include "xml_updater/xml_updater_log.h"

// The check logs every refusal: without a logger of its own each one would be
// appended to log.txt under ProgramData.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static XMLUpdater::v2::QuietLogger logger;
    XMLUpdater::v2::SetXmlUpdaterLogger(&logger);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> copy(data, data + size);
    std::size_t signed_length = 0;
    NSignatureCheck::ForceVerifySignature(copy.data(), copy.size(), signed_length);
    return 0;
}
