// Downloads of the engine. From: a whole resource into memory (the update
// documents of Update from a URL and REDIRECT).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xml_updater/proxy_settings.h"

namespace XMLUpdater::v2::NHttp::NDownloadFile {

inline constexpr wchar_t kHeaderNoCache[] = L"Cache-Control: no-cache";
inline constexpr int kStatusOk = 200;
// Documents are small; a larger announced length is refused before any
// allocation ("Unable to allocate %d bytes").
inline constexpr std::uint32_t kMaxDocumentBytes = 64u * 1024u * 1024u;

// One attempt: GET with "Cache-Control: no-cache"; only status 200 with a
// Content-Length counts, and exactly that many bytes are returned. An empty
// result is a failure (logged with the WinHTTP error and the URL).
std::vector<std::uint8_t> From(const std::wstring& url, const ProxySettings* proxy, bool ignore_proxy);

}  // namespace XMLUpdater::v2::NHttp::NDownloadFile
