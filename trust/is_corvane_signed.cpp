#include "trust/is_corvane_signed.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/logging/process_logger.h"
#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "trust/trust_words.h"
#include "xml_updater/file_signature.h"

namespace {

constexpr wchar_t kFile[] = L"TrustValidation.cpp";
constexpr wchar_t kFunction[] = L"IsCorvaneSigned";

// Whether the file can be read at all: the signed-file check answers "not
// signed" for files it cannot read, which must not count as a verdict.
bool readable_regular_file(const std::wstring& path) {
    const auto host = rk::sys::to_host_path(path);
    if (!host) {
        return false;
    }
    const int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

}  // namespace

std::optional<bool> ValidateCorvaneSignature(const std::wstring& path) {
    if (!readable_regular_file(path)) {
        return std::nullopt;
    }
    return VerifyCorvaneSignatureImpl(path);
}

bool IsCorvaneSigned(const std::wstring& path) {
    if (!rk::sys::path_exists(path)) {
        return true;
    }
    const std::optional<bool> signed_by_maker = ValidateCorvaneSignature(path);
    if (signed_by_maker.value_or(false)) {
        if (IsLogLevelEnabled(6)) {
            LogMessage(6, kFile, kFunction, __LINE__, rk::trust::kValidationSuccess);
        }
        return true;
    }
    if (IsLogLevelEnabled(1)) {
        LogMessage(1, kFile, kFunction, __LINE__, rk::trust::kValidationFailed);
    }
    // No answer is not a refusal.
    return !signed_by_maker.has_value();
}
