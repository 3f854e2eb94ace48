// rkctl info: what this build was made with (deployment profile) and where
// it keeps its state.
#include <cstdio>

#include "platform/text/strings.h"
#include "platform/text/utf.h"
#include "profile/profile_data.h"
#include "tools/rkctl/command.h"

namespace rk::ctl {
namespace {

int run_info(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "rkctl info: takes no arguments\n");
        return kExitUsage;
    }
    using text::wide_to_utf8;
    std::printf("product:        %s\n", wide_to_utf8(profile::kProductName).c_str());
    std::printf("manifest URL:   %s\n", wide_to_utf8(profile::kManifestUrl).c_str());
    std::printf("allowed domain: %s\n", wide_to_utf8(profile::kAllowedDomain).c_str());
    std::printf("strict TLS:     %s\n", profile::kStrictCertificates ? "yes" : "no");
    for (const auto& name : profile::kPublisherNames) {
        std::printf("publisher:      %s\n", wide_to_utf8(name).c_str());
    }
    for (const auto& pin : profile::kPinnedRootSha1) {
        std::printf("pinned root:    %s\n", text::to_hex(pin).c_str());
    }
    std::printf("document key:   %s\n", text::to_hex(profile::kDocumentPublicKey).c_str());
    std::printf("script key:     %s\n", text::to_hex(profile::kScriptPublicKey).c_str());
    return kExitOk;
}

const CommandRegistrar kInfo({"info", "show the deployment profile and state locations",
                              "usage: rkctl info\n\nPrints the deployment profile compiled into this build.\n",
                              run_info});

}  // namespace
}  // namespace rk::ctl
