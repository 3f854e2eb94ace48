// A cached object's ".skvs" file: its metadata store serialized and
// encrypted with the cryptography library's stream buffer
// (DADI_ZIR::internal::cryptolib_buf). The file bytes are handled here; the
// object reads and writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "xml_updater/web_cache/key_value_store.h"

namespace XMLUpdater::v2::web_cache {

// A ".skvs" file is a few hundred bytes; a larger one is not read.
inline constexpr std::size_t kMaxMetadataFileBytes = 1024 * 1024;

// Under the stream buffer's built-in key and IV unless others are given
// (tests: a store of a foreign key).
std::vector<std::uint8_t> encode_metadata(const KeyValueStore& store);
std::vector<std::uint8_t> encode_metadata(const KeyValueStore& store, std::span<const std::uint8_t> key,
                                          std::span<const std::uint8_t> iv);

// Throws std::runtime_error with the stream buffer's or the store's text for
// a file that is cut short, changed, or written under another key.
KeyValueStore decode_metadata(std::span<const std::uint8_t> file);

}  // namespace XMLUpdater::v2::web_cache
