// ETWLogging::CETWConfigurationListener: applies a trace session's wishes to
// its logger, then the registry overrides under the provider key path
// (plain registry access, HKEY_LOCAL_MACHINE), each later key winning:
//   <provider key>, <provider key>\<group>, <provider key>\<module key>
// with the DWORD values "Enable" (non-zero enables), "Severity" and "Flags".
#pragma once

#include <string>
#include <vector>

#include "platform/logging/logging_config_listener_if.h"

namespace ETWLogging {

inline constexpr const wchar_t* kOverrideEnableValue = L"Enable";
inline constexpr const wchar_t* kOverrideSeverityValue = L"Severity";
inline constexpr const wchar_t* kOverrideFlagsValue = L"Flags";

class CETWConfigurationListener final : public LoggingConfigListenerIf {
public:
    explicit CETWConfigurationListener(std::wstring providerKeyPath,
                                       RegistryRoot root = RegistryRoot::kLocalMachine);

    void OnConfigurationChange(bool enabled, LogLevel level, rk::DWORD flags) override;
    ~CETWConfigurationListener() override;
    bool Attach(CLoggingIf* logger) override;
    void GetKey(RegistryRoot& outRoot, std::wstring& outPath) const override;
    void ApplyRegistry(RegistryRoot root, const std::wstring& path) override;

    // The three override keys for a logger's group and module key, in the
    // order they are applied (empty parts are skipped).
    static std::vector<std::wstring> OverrideKeys(const std::wstring& providerKeyPath, const std::wstring& group,
                                                  const std::wstring& moduleKey);

private:
    CLoggingIf* logger_ = nullptr;  // not owned: the logger owns this listener
    RegistryRoot root_;
    std::wstring provider_key_path_;
};

}  // namespace ETWLogging
