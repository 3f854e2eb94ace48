#include "xml_updater/web_cache/validation_headers.h"

#include "platform/text/numeric.h"
#include "platform/text/strings.h"
#include "xml_updater/web_cache/metadata_keys.h"

namespace XMLUpdater::v2::web_cache {
namespace {

void add(HeaderList& headers, const wchar_t* name, const std::wstring& value) {
    if (!value.empty()) {
        headers.emplace_back(name, value);
    }
}

}  // namespace

std::optional<std::uint64_t> entity_length(const KeyValueStore& metadata) {
    const auto text = metadata.get(kKeyEntityLength);
    return text ? rk::text::parse_uint64_exact(*text) : std::nullopt;
}

HeaderList validation_headers(const KeyValueStore& metadata, std::uint64_t cached_size) {
    HeaderList headers;
    const auto length = entity_length(metadata);
    const std::wstring etag = metadata.get(kKeyETag).value_or(L"");
    const std::wstring last_modified = metadata.get(kKeyLastModified).value_or(L"");
    if (!length || (etag.empty() && last_modified.empty())) {
        return headers;
    }
    const bool ranges_refused = rk::text::iequals(metadata.get(kKeyAcceptRanges).value_or(L""), kAcceptRangesNone);
    const bool weak = etag.starts_with(kWeakETagPrefix);
    // Data longer than the entity cannot be its prefix: it is revalidated,
    // and a 304 for it counts as a misaligned answer.
    if (cached_size < *length && !ranges_refused && !weak) {
        add(headers, kHeaderIfRange, etag.empty() ? last_modified : etag);
        headers.emplace_back(kHeaderRange, kRangeUnitPrefix + std::to_wstring(cached_size) + L"-");
        return headers;
    }
    add(headers, kHeaderIfNoneMatch, etag);
    add(headers, kHeaderIfModifiedSince, last_modified);
    return headers;
}

}  // namespace XMLUpdater::v2::web_cache
