// Fuzzes the version-resource reader with arbitrary file bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/system/version/pe_version_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    rk::sys::FixedFileVersion version;
    (void)rk::sys::read_file_version(std::span<const std::uint8_t>(data, size), version);
    return 0;
}
