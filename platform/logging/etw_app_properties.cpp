#include "platform/logging/etw_app_properties.h"

#include <cstring>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/system/known_folders.h"

namespace ETWLogging::internal {
namespace {

namespace reg = rk::sys::reg;

std::wstring string_or(DiraDoro::CRegKey& key, const wchar_t* name, const wchar_t* fallback) {
    std::wstring value;
    return key.QueryStringValue(name, value) == 0 ? value : std::wstring(fallback);
}

// A 16-byte binary value in GUID memory order (Data1..3 little-endian).
rk::win::GUID guid_or_zero(DiraDoro::CRegKey& key, const wchar_t* name) {
    std::uint8_t bytes[16] = {};
    DiraDoro::ULONG size = sizeof bytes;
    rk::win::GUID guid;
    if (key.QueryBinaryValue(name, bytes, &size) != 0 || size != sizeof bytes) {
        return guid;
    }
    guid.Data1 = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                 (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
    guid.Data2 = static_cast<std::uint16_t>(bytes[4] | (bytes[5] << 8));
    guid.Data3 = static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8));
    std::memcpy(guid.Data4.data(), bytes + 8, 8);
    return guid;
}

}  // namespace

rk::DWORD ETWAppProperties::Load(const wchar_t* applicationName) {
    if (loaded) {
        return rk::win::kErrorSuccess;
    }
    const std::wstring name =
        (applicationName == nullptr || applicationName[0] == L'\0') ? kDefaultApplicationName : applicationName;
    if (program_data.empty()) {
        std::wstring folder;
        if (rk::sys::KnownFolders().path(rk::sys::KnownFolder::ProgramData, folder, true) != 0 || folder.empty()) {
            return rk::win::kErrorInvalidParameter;
        }
        program_data = folder;
    }

    const std::wstring app_key_path = std::wstring(kApplicationsKeyPath) + L"\\" + name;
    DiraDoro::CObfuscatedRegKey app;
    if (app.Open(reg::HKEY_LOCAL_MACHINE, app_key_path.c_str(), reg::KEY_READ) == 0) {
        DiraDoro::CObfuscatedRegKey session, provider, controller;
        if (session.Open(app, kSessionSubkey, reg::KEY_READ) != 0 ||
            provider.Open(app, kProviderSubkey, reg::KEY_READ) != 0 ||
            controller.Open(app, kControllerSubkey, reg::KEY_READ) != 0) {
            return rk::win::kErrorInvalidParameter;
        }
        log_path = program_data + string_or(app, kLogPathValue, kDefaultLogPath);
        etl_path = program_data + string_or(app, kEtlPathValue, kDefaultEtlPath);
        controller_path = string_or(controller, kControllerPathValue, L"");
        owner_mutex_name = string_or(controller, kOwnerMutexNameValue, L"");
        session_id_guid = guid_or_zero(session, kSessionIdGuidValue);
        session_name = string_or(session, kSessionNameValue, L"");
        provider_guid = guid_or_zero(provider, kProviderGuidValue);
        application_key_path = app_key_path;
        controller_key_path = app_key_path + L"\\" + kControllerSubkey;
        provider_key_path = app_key_path + L"\\" + kProviderSubkey;
    } else if (name == kDefaultApplicationName) {
        log_path = program_data + kDefaultLogPath;
        etl_path = program_data + kDefaultEtlPath;
        controller_path.clear();
        owner_mutex_name = kDefaultOwnerMutexName;
        session_name = kDefaultSessionName;
        session_id_guid = kDefaultSessionIdGuid;
        provider_guid = kDefaultProviderGuid;
        application_key_path = kDefaultApplicationKeyPath;
        controller_key_path = kDefaultControllerKeyPath;
        provider_key_path = kDefaultProviderKeyPath;
    } else {
        return rk::win::kErrorInvalidParameter;
    }
    etl_file_path = etl_path + L"\\" + kEtlFileName;
    application_name = name;
    root_key = RegistryRoot::kLocalMachine;
    configuration_key_path = application_key_path;
    loaded = true;
    return rk::win::kErrorSuccess;
}

}  // namespace ETWLogging::internal
