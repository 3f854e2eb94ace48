// Keys of a cached object's metadata store and the protocol words the
// fetcher reads and writes.
#pragma once

namespace XMLUpdater::v2::web_cache {

inline constexpr wchar_t kKeyHost[] = L"Host";
inline constexpr wchar_t kKeyPath[] = L"Path";
inline constexpr wchar_t kKeyStatus[] = L"Status";
inline constexpr wchar_t kKeyContentType[] = L"Content-Type";
inline constexpr wchar_t kKeyContentLength[] = L"Content-Length";
inline constexpr wchar_t kKeyContentMd5[] = L"Content-MD5";
inline constexpr wchar_t kKeyETag[] = L"ETag";
inline constexpr wchar_t kKeyLastModified[] = L"Last-Modified";
inline constexpr wchar_t kKeyExpires[] = L"Expires";
inline constexpr wchar_t kKeyCacheControl[] = L"Cache-Control";
inline constexpr wchar_t kKeyAcceptRanges[] = L"Accept-Ranges";
inline constexpr wchar_t kKeyEntityLength[] = L"X-Entity-Length";

// The response headers kept in the metadata, as received.
inline constexpr const wchar_t* kStoredResponseHeaders[] = {
    kKeyContentType, kKeyContentLength, kKeyContentMd5, kKeyETag,
    kKeyLastModified, kKeyExpires, kKeyCacheControl, kKeyAcceptRanges,
};

inline constexpr wchar_t kHeaderIfRange[] = L"If-Range";
inline constexpr wchar_t kHeaderRange[] = L"Range";
inline constexpr wchar_t kHeaderIfNoneMatch[] = L"If-None-Match";
inline constexpr wchar_t kHeaderIfModifiedSince[] = L"If-Modified-Since";
inline constexpr wchar_t kHeaderContentRange[] = L"Content-Range";
inline constexpr wchar_t kRangeUnitPrefix[] = L"bytes=";
inline constexpr wchar_t kAcceptRangesNone[] = L"none";
inline constexpr wchar_t kWeakETagPrefix[] = L"W/";

// The file beside the data file that holds the metadata.
inline constexpr wchar_t kMetadataSuffix[] = L".skvs";

}  // namespace XMLUpdater::v2::web_cache
