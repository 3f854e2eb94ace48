// ETWLogging::internal::ETWAppProperties: where one application's ETW
// provider, session and controller live. Loaded once: from the
// per-application key HKLM "SOFTWARE\Corvane.logging\<name>" (read through
// the obfuscated registry key) when it opens, else from the built-in set of
// the default application "VKT" (any other name fails).
//
// Session, controller and ETL-file properties are only kept: no component
// of this system starts a trace session itself.
#pragma once

#include <string>

#include "platform/text/guid.h"
#include "platform/errors/win_error.h"
#include "platform/logging/logging_config_listener_if.h"

namespace ETWLogging::internal {

inline constexpr const wchar_t* kDefaultApplicationName = L"VKT";
inline constexpr const wchar_t* kApplicationsKeyPath = L"SOFTWARE\\Corvane.logging";

// Built-in properties of "VKT".
inline constexpr const wchar_t* kDefaultApplicationKeyPath = L"SOFTWARE\\Corvane\\Logging";
inline constexpr const wchar_t* kDefaultControllerKeyPath = L"SOFTWARE\\Corvane\\Logging\\Controller";
inline constexpr const wchar_t* kDefaultProviderKeyPath = L"SOFTWARE\\Corvane\\Logging\\Provider";
inline constexpr const wchar_t* kDefaultLogPath = L"\\Corvane\\RKLOGS";
inline constexpr const wchar_t* kDefaultEtlPath = L"\\Corvane\\RKLOGS\\ETW";
inline constexpr const wchar_t* kEtlFileName = L"rklogs.etl";
inline constexpr const wchar_t* kDefaultOwnerMutexName = L"Global\\Corvane.{0696D115-BE52-46c3-BFEE-D73A305B6581}";
inline constexpr const wchar_t* kDefaultSessionName = L"Corvane.{E4367DA7-2B80-47f3-86D2-7626A18FC6F4}";
inline constexpr rk::win::GUID kDefaultSessionIdGuid{
    0x491FB070, 0x54CC, 0x11E0, {0xB8, 0xAF, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66}};
inline constexpr rk::win::GUID kDefaultProviderGuid{
    0xE16CA450, 0x55CC, 0x11E0, {0xB8, 0xAF, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66}};

// Per-application layout: subkeys and values.
inline constexpr const wchar_t* kControllerSubkey = L"Controller";
inline constexpr const wchar_t* kSessionSubkey = L"Session";
inline constexpr const wchar_t* kProviderSubkey = L"Provider";
inline constexpr const wchar_t* kLogPathValue = L"Log Path";
inline constexpr const wchar_t* kEtlPathValue = L"ETL Path";
inline constexpr const wchar_t* kControllerPathValue = L"Controller Path";
inline constexpr const wchar_t* kOwnerMutexNameValue = L"Owner Mutex Name";
inline constexpr const wchar_t* kSessionIdGuidValue = L"Session ID Guid";
inline constexpr const wchar_t* kSessionNameValue = L"Session Name";
inline constexpr const wchar_t* kProviderGuidValue = L"Provider Guid";

struct ETWAppProperties {
    std::wstring application_name;
    std::wstring program_data;  // FOLDERID_ProgramData, created when missing
    std::wstring owner_mutex_name;
    std::wstring session_name;
    rk::win::GUID session_id_guid;
    rk::win::GUID provider_guid;
    std::wstring log_path;
    std::wstring etl_path;
    std::wstring etl_file_path;
    std::wstring controller_path;
    RegistryRoot root_key = RegistryRoot::kLocalMachine;
    std::wstring application_key_path;
    std::wstring controller_key_path;
    std::wstring provider_key_path;
    std::wstring configuration_key_path;
    bool loaded = false;

    // 0, or 87 when the ProgramData folder is unknown, the per-application
    // key lacks one of its three subkeys, or the name is not "VKT" and has no
    // key. A second call after success is a no-op.
    rk::DWORD Load(const wchar_t* applicationName);
};

}  // namespace ETWLogging::internal
