// Fuzzes the version-resource reader with arbitrary file bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "xml_updater/substitutions/pe_version_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    XMLUpdater::v2::FixedFileVersion version;
    (void)XMLUpdater::v2::read_file_version(std::span<const std::uint8_t>(data, size), version);
    return 0;
}
