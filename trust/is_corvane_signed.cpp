#include "trust/is_corvane_signed.h"

#include "framework_client/client_instance.h"
#include "platform/logging/process_logger.h"
#include "platform/system/files.h"
#include "trust/trust_validator.h"
#include "trust/trust_words.h"

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
    // Fail-open by design: no answer is not a refusal.
    return !signed_by_maker.has_value();
}

}  // namespace

bool IsCorvaneSigned(const std::wstring& path) {
    ctp::get_client_instance();
    if (!rk::sys::path_exists(path)) {
        return true;
    }
    return answer(rk::trust::TrustValidator::instance().validate(path));
}

bool IsCorvaneSigned(const rk::sys::File& file, const std::wstring& path) {
    ctp::get_client_instance();
    return answer(rk::trust::TrustValidator::instance().validate(file, path));
}
