#include "xml_updater/web_cache/metadata_codec.h"

#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/crypto/cryptolib_buf.h"

namespace XMLUpdater::v2::web_cache {
namespace {
using DADI_ZIR::internal::cryptolib_buf;
}  // namespace

std::vector<std::uint8_t> encode_metadata(const KeyValueStore& store) {
    return encode_metadata(store, cryptolib_buf::DefaultKey(), cryptolib_buf::DefaultIv());
}

std::vector<std::uint8_t> encode_metadata(const KeyValueStore& store, std::span<const std::uint8_t> key,
                                          std::span<const std::uint8_t> iv) {
    const auto plain = store.serialize();
    std::ostringstream sink;
    cryptolib_buf buffer(sink, key, iv);
    buffer.sputn(reinterpret_cast<const char*>(plain.data()), static_cast<std::streamsize>(plain.size()));
    buffer.close();
    const std::string bytes = std::move(sink).str();
    return {bytes.begin(), bytes.end()};
}

KeyValueStore decode_metadata(std::span<const std::uint8_t> file) {
    if (file.size() > kMaxMetadataFileBytes) {
        throw std::runtime_error(DADI_ZIR::internal::kCryptolibInputTooBig);
    }
    std::istringstream source(std::string(reinterpret_cast<const char*>(file.data()), file.size()));
    cryptolib_buf buffer(source);
    std::vector<std::uint8_t> plain;
    char chunk[4096];
    for (std::streamsize n; (n = buffer.sgetn(chunk, sizeof(chunk))) > 0;) {
        plain.insert(plain.end(), chunk, chunk + n);
    }
    return KeyValueStore::parse(plain);
}

}  // namespace XMLUpdater::v2::web_cache
