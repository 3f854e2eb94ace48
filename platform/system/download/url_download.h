// URLDownloadToFileW: a whole resource into a file, with failures as the
// URL-moniker HRESULTs callers print (table in docs/seam-network-process.md).
//
// The body goes to a temporary file beside the destination, which replaces
// the destination only when the whole body arrived: a failed download
// leaves no partial file and an earlier file of that name untouched.
// Redirects are followed (never from https to http).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_types.h"

namespace rk::sys {

inline constexpr std::wstring_view kDefaultDownloadUserAgent = L"RkDownload";

struct DownloadOptions {
    std::wstring user_agent{kDefaultDownloadUserAgent};
    http::ProxySettings proxy;  // the user's configuration by default
    http::Timeouts timeouts;
    DWORD secure_protocols = http::kSecureProtocolsDefault;
    // Certificates are checked as the system's URL download does; these
    // relax (kSecurityFlagIgnore* bits) or redirect (a CA file) the check.
    DWORD security_flags = 0;
    std::filesystem::path ca_file;
};

// `file` is a system path (paths.h); its folder must exist. A created file
// is readable by everyone (mode 0644).
HRESULT download_url_to_file(std::wstring_view url, std::wstring_view file, const DownloadOptions& options = {});

// The HRESULT for a transport failure (WinHTTP error number) and for an
// HTTP status that is not a success.
HRESULT inet_error_from_winhttp(DWORD error);
HRESULT inet_error_from_status(DWORD status);

}  // namespace rk::sys
