// Fuzz target: reading a ".skvs" file. The input is tried as the file itself
// and, encrypted under the built-in key, as the plain serialized store, so
// the parser behind the decryption is reached too. A store that reads back
// must serialize to the same bytes.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <sstream>
#include <string>

#include "platform/crypto/cryptolib_buf.h"
#include "xml_updater/web_cache/key_value_store.h"
#include "xml_updater/web_cache/metadata_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace XMLUpdater::v2::web_cache;
    const std::span<const std::uint8_t> input(data, size);
    try {
        decode_metadata(input);
    } catch (const std::exception&) {
    }
    try {
        std::ostringstream sink;
        DADI_ZIR::internal::cryptolib_buf buffer(sink);
        buffer.sputn(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        buffer.close();
        const std::string file = std::move(sink).str();
        const KeyValueStore store =
            decode_metadata(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
        const auto again = store.serialize();
        if (again.size() != size || !std::equal(again.begin(), again.end(), data)) {
            __builtin_trap();
        }
    } catch (const std::exception&) {
    }
    return 0;
}
