// Downloads of the engine. From: a whole resource into memory (the update
// documents of Update from a URL and REDIRECT). StoreOnDisk: a resource into
// a file, with its MD5 digest and progress reports (DOWNLOAD).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xml_updater/download_progress.h"
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

// The most StoreOnDisk reads and writes at once.
inline constexpr std::uint32_t kStoreChunkBytes = 1048576;

// Two attempts, the first honouring `proxy`, the second ignoring it: GET
// with "Cache-Control: no-cache", status 200 and a Content-Length required,
// the body written to `directory`\`file_name` (empty: the text after the
// URL's last "/") in chunks, each fed to an MD5 digest and reported to
// `progress`. An existing file stays when `overwrite` is false; otherwise it
// becomes "<name>.bak" first. A file this call began and could not finish
// is removed again, so a failure leaves the old file (as ".bak") and nothing
// else. Returns non-zero when the file is on disk; then `md5` holds the
// lower-case hexadecimal digest of the bytes received (empty when an
// existing file was kept) and `stored_path` the file's system path.
int StoreOnDisk(const std::wstring& url, const std::wstring& directory, const std::wstring& file_name, bool overwrite,
                const ProxySettings* proxy, DownloadProgress& progress, std::wstring& md5,
                std::wstring& stored_path);

}  // namespace XMLUpdater::v2::NHttp::NDownloadFile
