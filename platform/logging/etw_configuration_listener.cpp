#include "platform/logging/etw_configuration_listener.h"

#include "platform/config/reg_key.h"
#include "platform/logging/logging_if.h"

namespace ETWLogging {
namespace {

rk::sys::reg::HKEY root_handle(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::kLocalMachine: return rk::sys::reg::HKEY_LOCAL_MACHINE;
    }
    return rk::sys::reg::HKEY_LOCAL_MACHINE;
}

}  // namespace

CETWConfigurationListener::CETWConfigurationListener(std::wstring providerKeyPath, RegistryRoot root)
    : root_(root), provider_key_path_(std::move(providerKeyPath)) {}

CETWConfigurationListener::~CETWConfigurationListener() = default;

bool CETWConfigurationListener::Attach(CLoggingIf* logger) {
    if (logger_ != nullptr || logger == nullptr) {
        return false;
    }
    logger_ = logger;
    return true;
}

void CETWConfigurationListener::GetKey(RegistryRoot& outRoot, std::wstring& outPath) const {
    outRoot = root_;
    outPath = provider_key_path_;
}

std::vector<std::wstring> CETWConfigurationListener::OverrideKeys(const std::wstring& providerKeyPath,
                                                                  const std::wstring& group,
                                                                  const std::wstring& moduleKey) {
    std::vector<std::wstring> keys{providerKeyPath};
    if (!group.empty()) {
        keys.push_back(providerKeyPath + L"\\" + group);
    }
    if (!moduleKey.empty() && moduleKey.front() != L'\\') {
        keys.push_back(providerKeyPath + L"\\" + moduleKey);
    }
    return keys;
}

void CETWConfigurationListener::OnConfigurationChange(bool enabled, LogLevel level, rk::DWORD flags) {
    if (logger_ == nullptr) {
        return;
    }
    logger_->SetEnabled(enabled);
    logger_->SetSeverity(level);
    logger_->SetFlags(flags);
    if (provider_key_path_.empty()) {
        return;
    }
    std::wstring group, module_key;
    logger_->GetGroup(group);
    logger_->GetModuleKey(module_key);
    for (const auto& path : OverrideKeys(provider_key_path_, group, module_key)) {
        ApplyRegistry(root_, path);
    }
}

void CETWConfigurationListener::ApplyRegistry(RegistryRoot root, const std::wstring& path) {
    if (logger_ == nullptr) {
        return;
    }
    DiraDoro::CRegKey key;
    if (key.Open(root_handle(root), path.c_str(), rk::sys::reg::KEY_READ) != 0) {
        return;
    }
    rk::DWORD value = 0;
    if (key.QueryDWORDValue(kOverrideEnableValue, value) == 0) {
        logger_->SetEnabled(value != 0);
    }
    if (key.QueryDWORDValue(kOverrideSeverityValue, value) == 0) {
        logger_->SetSeverity(value);
    }
    if (key.QueryDWORDValue(kOverrideFlagsValue, value) == 0) {
        logger_->SetFlags(value);
    }
}

}  // namespace ETWLogging
