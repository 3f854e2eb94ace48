#include "xml_updater/file_signature.h"

#include <vector>

#include "platform/system/codesign/code_signature.h"
#include "platform/system/paths.h"
#include "profile/profile_data.h"

namespace {

const std::vector<std::wstring>& publisher_names() {
    static const std::vector<std::wstring> names(rk::profile::kPublisherNames.begin(),
                                                 rk::profile::kPublisherNames.end());
    return names;
}

}  // namespace

bool VerifyCorvaneSignatureImpl(const std::wstring& filePath) {
    const auto host = rk::sys::to_host_path(filePath);
    if (!host) {
        return false;
    }
    return rk::sys::codesign::verify_publisher_signature(*host, publisher_names(), rk::profile::kPinnedRootSha1);
}

bool VerifyCorvaneSignatureImpl(const rk::sys::File& file) {
    return rk::sys::codesign::verify_publisher_signature(file, publisher_names(), rk::profile::kPinnedRootSha1);
}

bool VerifyCorvaneSignatureImpl(const rk::sys::FileView& view) {
    return rk::sys::codesign::verify_publisher_signature(view, publisher_names(), rk::profile::kPinnedRootSha1);
}
