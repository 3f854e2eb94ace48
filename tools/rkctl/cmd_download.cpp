// rkctl download: one installer download exactly as the updater makes it
// (URLDownloadToFileW through the seam: bounded by the profile's
// installer_max_bytes, renamed into place at the end).
#include <cstdio>
#include <string>
#include <vector>

#include "platform/system/download/url_download.h"
#include "platform/text/utf.h"
#include "profile/profile_data.h"
#include "tools/rkctl/command.h"

namespace rk::ctl {
namespace {

constexpr char kUsage[] =
    "usage: rkctl download URL FILE [--ca-file FILE] [--insecure]\n\n"
    "Downloads URL into FILE as the updater downloads an installer: certificates\n"
    "checked against the profile's download_ca_file (or --ca-file; --insecure\n"
    "checks none), at most installer_max_bytes, a temporary file renamed over\n"
    "FILE only when everything arrived. Prints the HRESULT on failure.\n"
    "Exit code: 0 downloaded, 1 failed, 2 usage.\n";

int run_download(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    sys::DownloadOptions options;
    options.ca_file = std::wstring(profile::kDownloadCaFile);
    options.max_bytes = profile::kInstallerMaxBytes;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--ca-file" && i + 1 < args.size()) {
            options.ca_file = args[++i];
        } else if (args[i] == "--insecure") {
            options.security_flags = sys::http::kSecurityFlagsIgnoreCertErrors;
        } else if (!args[i].starts_with("-")) {
            positional.push_back(args[i]);
        } else {
            std::fprintf(stderr, "rkctl download: unknown option %s\n%s", args[i].c_str(), kUsage);
            return kExitUsage;
        }
    }
    if (positional.size() != 2) {
        std::fprintf(stderr, "%s", kUsage);
        return kExitUsage;
    }
    const HRESULT hr =
        sys::download_url_to_file(text::utf8_to_wide(positional[0]), text::utf8_to_wide(positional[1]), options);
    if (hr < 0) {
        std::fprintf(stderr, "rkctl download: failed: 0x%08x\n", static_cast<unsigned>(hr));
        return kExitFailure;
    }
    return kExitOk;
}

const CommandRegistrar kDownload({"download", "download a file as the updater downloads its installer", kUsage,
                                  run_download});

}  // namespace
}  // namespace rk::ctl
