#include "trust/is_corvane_signed.h"

#include "platform/logging/process_logger.h"
#include "platform/system/file.h"
#include "platform/system/files.h"
#include "trust/trust_words.h"
#include "xml_updater/file_signature.h"

namespace {

constexpr wchar_t kFile[] = L"TrustValidation.cpp";
constexpr wchar_t kFunction[] = L"IsCorvaneSigned";

bool answer(const std::optional<bool>& signed_by_maker) {
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

}  // namespace

std::optional<bool> ValidateCorvaneSignature(const std::wstring& path) {
    // The signed-file check answers "not signed" for files it cannot read,
    // which must not count as a verdict: only an opened file gets one.
    rk::sys::File file;
    if (rk::sys::File::open(path, {}, file) != rk::win::kErrorSuccess) {
        return std::nullopt;
    }
    return ValidateCorvaneSignature(file);
}

std::optional<bool> ValidateCorvaneSignature(const rk::sys::File& file) {
    if (!file.is_open()) {
        return std::nullopt;
    }
    return VerifyCorvaneSignatureImpl(file);
}

bool IsCorvaneSigned(const std::wstring& path) {
    if (!rk::sys::path_exists(path)) {
        return true;
    }
    return answer(ValidateCorvaneSignature(path));
}

bool IsCorvaneSigned(const rk::sys::File& file) { return answer(ValidateCorvaneSignature(file)); }
