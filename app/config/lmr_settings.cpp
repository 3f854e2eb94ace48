#include "app/config/lmr_settings.h"

#include "app/config/rk_bs_config.h"
#include "platform/logging/process_logger.h"

namespace {
constexpr wchar_t kFile[] = L"BsConfig.cpp";
}

CLmrSettings::CLmrSettings(std::wstring product_config_file) : file_(std::move(product_config_file)) {}

std::wstring CLmrSettings::cfgAppDir() const {
    std::wstring value;
    if (!file_.empty() &&
        rk::app::read_bounded_profile_value(rk::app::kSectionBrightscan, rk::app::kValueAppDir, file_, value)) {
        return value;
    }
    if (IsLogLevelEnabled(rk::log_level::kInformation)) {
        LogMessage(rk::log_level::kInformation, kFile, L"CLmrSettings::cfgAppDir", __LINE__,
                   L"CLmrSettings::cfgAppDir - appdir value not found default returning");
    }
    return rk::app::kDefaultAppDir;
}
