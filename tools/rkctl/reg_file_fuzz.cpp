// Fuzzes the .reg parser with arbitrary bytes. Whatever parses must survive
// a write -> parse round trip in both encodings unchanged.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tools/rkctl/reg_file_parser.h"
#include "tools/rkctl/reg_file_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = rk::regfile::parse_reg_file(std::span(data, size));
    if (!parsed.ok()) return 0;
    for (const auto encoding : {rk::regfile::Encoding::kUtf16Le, rk::regfile::Encoding::kUtf8}) {
        const auto bytes = rk::regfile::write_reg_file(*parsed.file, encoding);
        const auto again = rk::regfile::parse_reg_file(bytes);
        if (!again.ok() || !(*again.file == *parsed.file)) std::abort();
    }
    return 0;
}
