// URLDownloadToFileW: a whole resource into a file, with failures as the
// URL-moniker HRESULTs callers print (table in docs/seam-network-process.md).
//
// The body goes to a temporary file beside the destination
// ("<name>.rkdownload-XXXXXX", mode 0600), which replaces the destination
// only when the whole body arrived: a failed download leaves no partial file
// and an earlier file of that name untouched. A process killed meanwhile
// leaves its temporary file to clean_interrupted_downloads(). Bodies are
// bounded (max_bytes); redirects are followed (never from https to http).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/file.h"
#include "platform/system/folder.h"
#include "platform/system/http/http_types.h"

namespace rk::sys {

inline constexpr std::wstring_view kDefaultDownloadUserAgent = L"RkDownload";
// The default body bound; the updater sets the profile's installer_max_bytes.
inline constexpr std::uint64_t kDefaultDownloadMaxBytes = 1ull << 30;

struct DownloadOptions {
    std::wstring user_agent{kDefaultDownloadUserAgent};
    http::ProxySettings proxy;  // the user's configuration by default
    http::Timeouts timeouts;
    DWORD secure_protocols = http::kSecureProtocolsDefault;
    // Certificates are checked as the system's URL download does; these
    // relax (kSecurityFlagIgnore* bits) or redirect (a CA file) the check.
    DWORD security_flags = 0;
    std::filesystem::path ca_file;
    // The largest body accepted: an announced length beyond it (or beyond
    // the free space of the destination's file system) is refused before
    // anything is written, a body that grows past it is stopped.
    std::uint64_t max_bytes = kDefaultDownloadMaxBytes;
};

// `file` is a system path (paths.h); its folder must exist. A created file
// is readable by everyone (mode 0644).
// Failures besides the URL-moniker ones: HRESULT_FROM_WIN32 of 223 (body
// larger than max_bytes), 112 (not enough free space for the announced
// length, or the disk filled up), 3 (folder missing).
HRESULT download_url_to_file(std::wstring_view url, std::wstring_view file, const DownloadOptions& options = {});

// The same into `name` inside a folder the caller prepared (folder.h): the
// temporary file is created and renamed inside that open folder, never
// following a link. `written`, when given, receives the identity of the file
// that was written, so the caller can check that what it opens next is it.
HRESULT download_url_to_folder(std::wstring_view url, const Folder& folder, std::wstring_view name,
                               const DownloadOptions& options = {}, FileIdentity* written = nullptr);

// Removes the temporary files of downloads whose process died before it
// could (kill -9, power loss); the daemon calls it at start-up. Each running
// download keeps a marker naming its temporary file, locked for its life, in
// interrupted_downloads_folder(); markers nobody holds are carried out.
void clean_interrupted_downloads();
std::filesystem::path interrupted_downloads_folder();  // <root>/var/lib/rkupdater/downloads

// The HRESULT for a transport failure (WinHTTP error number) and for an
// HTTP status that is not a success.
HRESULT inet_error_from_winhttp(DWORD error);
HRESULT inet_error_from_status(DWORD status);

}  // namespace rk::sys
