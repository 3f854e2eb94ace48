#include "xml_updater/file_signature.h"

#include <vector>

#include "platform/system/codesign/code_signature.h"
#include "platform/system/paths.h"
#include "profile/profile_data.h"

bool VerifyCorvaneSignatureImpl(const std::wstring& filePath) {
    const auto host = rk::sys::to_host_path(filePath);
    if (!host) {
        return false;
    }
    static const std::vector<std::wstring> names(rk::profile::kPublisherNames.begin(),
                                                 rk::profile::kPublisherNames.end());
    return rk::sys::codesign::verify_publisher_signature(*host, names, rk::profile::kPinnedRootSha1);
}
