// The conditional and range headers of a cached object's next request,
// decided from its metadata and the size of its cached data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "xml_updater/web_cache/key_value_store.h"

namespace XMLUpdater::v2::web_cache {

using HeaderList = std::vector<std::pair<std::wstring, std::wstring>>;

// X-Entity-Length as a number; nullopt when absent or not a decimal number.
std::optional<std::uint64_t> entity_length(const KeyValueStore& metadata);

// With X-Entity-Length and a validator (ETag or Last-Modified):
//   - data shorter than the entity, ranges not refused ("none", any case)
//     and a strong ETag (or none): If-Range (the ETag, else Last-Modified)
//     and "Range: bytes=<size>-", which resumes the download;
//   - otherwise If-None-Match (ETag) and If-Modified-Since (Last-Modified).
// Without them: nothing. Headers with an empty value are left out.
HeaderList validation_headers(const KeyValueStore& metadata, std::uint64_t cached_size);

}  // namespace XMLUpdater::v2::web_cache
