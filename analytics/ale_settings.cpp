#include "analytics/ale_settings.h"

#include <string_view>

#include "analytics/analytics_log.h"
#include "platform/config/reg_key.h"
#include "platform/logging/etw_logging.h"
#include "platform/macros/common_replacements.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::embedded {
extern const std::string_view ca_bootstrap_js;
}

namespace Halden::Analytics {
namespace {

constexpr wchar_t kFile[] = L"ALEScriptHostImpl.cpp";

struct Defaults {
    std::mutex mutex;
    SettingsMap values{
        {kSettingInitializeFrom, L"content"},
        {kSettingBootstrapName, L"ca_bootstrap.js"},
        {kSettingBasePath, L"$(FOLDERID_ProgramFilesCommon)\\Corvane\\ClientAnalytics"},
        {kSettingBaseRegKey, kDefaultBaseRegKey},
        {kSettingScriptFolderName, L"Scripts"},
        {kSettingEntryStart, L"ca_engine_start"},
        {kSettingEntryQueueHandler, L"ca_engine_queuehandler"},
        {kSettingTerminateDelay, L"0"},
        {kSettingIntegrationType, L"static"},
        {kSettingScriptHostType, L"default"},
    };
};

Defaults& defaults() {
    static Defaults value;
    return value;
}

// The embedded bootstrap is the script content's default; it is widened
// when asked for, not kept: 32 KB of a daemon that sleeps between passes.
std::wstring bootstrap_content() { return rk::text::utf8_to_wide(rk::embedded::ca_bootstrap_js); }

std::wstring lowered_macro(std::wstring_view macro) {
    std::wstring text(macro);
    DiraDoro::CommonReplacements().Replace(text);
    return rk::text::to_lower(text);
}

std::wstring registry_host_type(const std::wstring& key_path) {
    bool machine = true;
    std::wstring subkey;
    if (!SplitRegistryPath(key_path, machine, subkey)) {
        return L"default";
    }
    DiraDoro::CRegKey key;
    if (key.Open(machine ? rk::sys::reg::HKEY_LOCAL_MACHINE : rk::sys::reg::HKEY_CURRENT_USER, subkey.c_str(),
                 rk::sys::reg::KEY_READ) != 0) {
        return L"default";
    }
    std::wstring value;
    if (key.QueryStringValue(kRegValueScriptEnvironment, value) != 0 || value.empty() ||
        value.size() > kMaxScriptEnvironmentChars) {
        return L"default";
    }
    return value;
}

}  // namespace

bool SplitRegistryPath(const std::wstring& path, bool& machine, std::wstring& subkey) {
    const auto slash = path.find(L'\\');
    const std::wstring root = rk::text::to_upper(path.substr(0, slash));
    if (root == L"HKLM" || root == L"HKEY_LOCAL_MACHINE") {
        machine = true;
    } else if (root == L"HKCU" || root == L"HKEY_CURRENT_USER") {
        machine = false;
    } else {
        return false;
    }
    subkey = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    return true;
}

CALESettings::CALESettings() {
    auto& table = defaults();
    std::wstring key;
    {
        const std::lock_guard lock(table.mutex);
        key = table.values[kSettingBaseRegKey];
    }
    const std::wstring host_type = registry_host_type(key);
    const std::lock_guard lock(table.mutex);
    table.values[kSettingScriptHostType] = host_type;
}

void CALESettings::AddSetting(const std::wstring& name, const std::wstring& value) {
    constexpr wchar_t kFunction[] = L"CALEScriptHostImpl::AddSetting";
    if (name.empty()) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"Invalid (empty) setting name; ignored");
        return;
    }
    const std::lock_guard lock(mutex_);
    const auto [it, inserted] = settings_.try_emplace(name, value);
    if (!inserted) {
        log::Write(log::kProgress, kFile, kFunction, __LINE__, L"Overriding setting '%s': value '%s' will become '%s'",
                   name, it->second, value);
        it->second = value;
    }
}

void CALESettings::RemoveSetting(const std::wstring& name) {
    constexpr wchar_t kFunction[] = L"CALEScriptHostImpl::RemoveSetting";
    if (name.empty()) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"Invalid (empty) setting name; ignored");
        return;
    }
    const std::lock_guard lock(mutex_);
    if (settings_.erase(name) == 0) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"No such setting: '%s'; ignored", name);
    }
}

std::wstring CALESettings::GetSetting(const std::wstring& name) const {
    {
        const std::lock_guard lock(mutex_);
        if (const auto it = settings_.find(name); it != settings_.end()) {
            return it->second;
        }
    }
    if (name == kSettingScriptContent) {
        return bootstrap_content();
    }
    auto& table = defaults();
    const std::lock_guard lock(table.mutex);
    const auto it = table.values.find(name);
    return it != table.values.end() ? it->second : std::wstring();
}

SettingsMap CALESettings::EffectiveSettings() const {
    SettingsMap effective;
    {
        auto& table = defaults();
        const std::lock_guard lock(table.mutex);
        effective = table.values;
    }
    effective.emplace(kSettingScriptContent, bootstrap_content());
    const std::lock_guard lock(mutex_);
    for (const auto& [name, value] : settings_) {
        effective[name] = value;
    }
    return effective;
}

void CALESettings::ClearInstanceSettings() {
    const std::lock_guard lock(mutex_);
    settings_.clear();
}

const SettingsMap& CALESettings::Properties() {
    static const SettingsMap properties{
        {kPropertySdkVersion, kSdkVersion},
        {kPropertyHostName, lowered_macro(DiraDoro::kMacroAppBinary)},
        {kPropertyHostFolder, lowered_macro(DiraDoro::kMacroAppFolder)},
        {kPropertyHostVersion, ETWLogging::ModuleFileVersion()},
    };
    return properties;
}

}  // namespace Halden::Analytics
