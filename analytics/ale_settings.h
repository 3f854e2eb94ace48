// The analytics engine's settings (an instance map over a process-wide
// table of defaults) and properties (fixed facts exposed to scripts).
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace Halden::Analytics {

inline constexpr wchar_t kSettingInitializeFrom[] = L"Analytics.Script.InitializeFrom";
inline constexpr wchar_t kSettingBootstrapName[] = L"Analytics.Script.Bootstrap.Name";
inline constexpr wchar_t kSettingBootstrap[] = L"Analytics.Script.Bootstrap";
inline constexpr wchar_t kSettingBasePath[] = L"Analytics.Base.Path";
inline constexpr wchar_t kSettingBaseRegKey[] = L"Analytics.Base.RegKey";
inline constexpr wchar_t kSettingScriptFolderName[] = L"Analytics.Script.Folder.Name";
inline constexpr wchar_t kSettingScriptFolder[] = L"Analytics.Script.Folder";
inline constexpr wchar_t kSettingEntryStart[] = L"Analytics.Script.EntryPoint.Start";
inline constexpr wchar_t kSettingEntryQueueHandler[] = L"Analytics.Script.EntryPoint.QueueHandler";
inline constexpr wchar_t kSettingTerminateDelay[] = L"Analytics.ScriptHost.Terminate.Delay";
inline constexpr wchar_t kSettingIntegrationType[] = L"Analytics.Integration.Type";
inline constexpr wchar_t kSettingScriptContent[] = L"Analytics.Script.Content";
inline constexpr wchar_t kSettingScriptHostType[] = L"Analytics.ScriptHost.Type";

inline constexpr wchar_t kPropertySdkVersion[] = L"Analytics.SDK.Version";
inline constexpr wchar_t kPropertyHostName[] = L"Analytics.Host.Name";
inline constexpr wchar_t kPropertyHostFolder[] = L"Analytics.Host.Folder";
inline constexpr wchar_t kPropertyHostVersion[] = L"Analytics.Host.Version";
inline constexpr wchar_t kPropertyScriptDebug[] = L"Analytics.SDK.Script.Debug.Enable";
inline constexpr wchar_t kSdkVersion[] = L"1,0,123,0";

inline constexpr wchar_t kDefaultBaseRegKey[] = L"HKLM\\SOFTWARE\\Corvane\\RkClientAnalytics";
inline constexpr wchar_t kRegValueScriptEnvironment[] = L"ScriptEnvironment";
inline constexpr wchar_t kRegValueEnableScriptDebug[] = L"EnableScriptDebug";
inline constexpr std::size_t kMaxScriptEnvironmentChars = 260;

using SettingsMap = std::map<std::wstring, std::wstring>;

class CALESettings {
public:
    // Fills the defaults that come from outside: the embedded bootstrap
    // (from UTF-8) and the script host type of the registry value
    // "ScriptEnvironment" under the default key ("default" when absent).
    CALESettings();

    // An empty name is ignored (logged); a replaced value is logged.
    void AddSetting(const std::wstring& name, const std::wstring& value);
    void RemoveSetting(const std::wstring& name);
    // The instance's value, else the default, else empty.
    std::wstring GetSetting(const std::wstring& name) const;
    // Defaults overlaid by the instance's settings.
    SettingsMap EffectiveSettings() const;
    void ClearInstanceSettings();

    static const SettingsMap& Properties();

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::wstring, std::wstring> settings_;
};

// "HKLM\..." (or HKEY_LOCAL_MACHINE, HKCU, HKEY_CURRENT_USER) split into
// the root and the subkey; false for another form.
bool SplitRegistryPath(const std::wstring& path, bool& machine, std::wstring& subkey);

}  // namespace Halden::Analytics
