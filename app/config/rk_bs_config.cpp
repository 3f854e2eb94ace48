#include "app/config/rk_bs_config.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/logging/process_logger.h"
#include "platform/system/ini/profile.h"
#include "platform/system/known_folders.h"
#include "platform/system/paths.h"
#include "platform/system/process_info.h"

namespace {

constexpr wchar_t kFile[] = L"BsConfig.cpp";

std::wstring own_folder() {
    const std::wstring image = rk::sys::own_image_path();
    if (image.empty()) {
        return {};
    }
    const rk::sys::SplitPath parts = rk::sys::split_path(image);
    return parts.drive + parts.directory;
}

std::wstring config_file_in(const std::wstring& folder) {
    if (folder.empty()) {
        return {};
    }
    std::wstring file = folder;
    if (file.back() != L'\\' && file.back() != L'/') {
        file += L'\\';
    }
    return file + rk::app::kProductConfigFileName;
}

}  // namespace

namespace rk::app {

bool read_bounded_profile_value(const wchar_t* section, const wchar_t* name, const std::wstring& file,
                                std::wstring& value) {
    const auto host = sys::to_host_path(file);
    if (!host) {
        return false;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(*host, ec);
    if (ec) {
        return false;
    }
    if (size > kMaxStateFileBytes) {
        if (IsLogLevelEnabled(log_level::kError)) {
            LogMessage(log_level::kError, kFile, L"RkBsConfig::GetValue", __LINE__,
                       L"%s is %llu bytes long, more than the %llu bytes read; its values count as missing", file,
                       static_cast<unsigned long long>(size), static_cast<unsigned long long>(kMaxStateFileBytes));
        }
        return false;
    }
    std::vector<wchar_t> buffer(kProfileValueBuffer, L'\0');
    const DWORD length =
        sys::ini::GetPrivateProfileStringW(section, name, L"", buffer.data(), kProfileValueBuffer, file.c_str());
    if (length < 1 || length > kMaxProfileValueChars) {
        return false;
    }
    value.assign(buffer.data(), length);
    return true;
}

}  // namespace rk::app

RkBsConfig::RkBsConfig() : RkBsConfig(own_folder()) {}

RkBsConfig::RkBsConfig(const std::wstring& module_folder) : settings_(config_file_in(module_folder)) {}

std::wstring RkBsConfig::getRuntimeConfigPath() const {
    std::wstring folder;
    if (rk::sys::KnownFolders().path(rk::sys::KnownFolder::ProgramData, folder) != 0) {
        folder.clear();
    }
    if (IsLogLevelEnabled(rk::log_level::kInformation)) {
        LogMessage(rk::log_level::kInformation, kFile, L"RkBsConfig::getRuntimeConfigPath", __LINE__,
                   L"RkBsConfig::getRuntimeConfigPath - AppDataDir = %s", folder);
    }
    return folder + L"\\" + settings_.cfgAppDir() + L"\\" + rk::app::kRuntimeStateFileName;
}

int RkBsConfig::GetRuntimeValue(const wchar_t* section, const wchar_t* name, std::wstring& value) const {
    if (section == nullptr || name == nullptr) {
        return 0;
    }
    return rk::app::read_bounded_profile_value(section, name, getRuntimeConfigPath(), value) ? 1 : 0;
}
