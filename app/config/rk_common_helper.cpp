#include "app/config/rk_common_helper.h"

#include "platform/config/reg_key.h"
#include "platform/logging/process_logger.h"
#include "platform/system/osinfo/machine_facts.h"
#include "platform/system/osinfo/os_info.h"

namespace {

constexpr wchar_t kFile[] = L"RkCommonHelper.cpp";
namespace lv = rk::log_level;

template <typename... A>
void log(LogLevel level, const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(level)) {
        LogMessage(level, kFile, function, line, format, args...);
    }
}

}  // namespace

bool RkCommonHelper::GetOSName(std::wstring& out) {
    constexpr wchar_t kFunction[] = L"RkCommonHelper::GetOSName";
    log(lv::kInformation, kFunction, __LINE__, L"Method Enters..");
    std::wstring name;
    if (const rk::DWORD error = rk::sys::os_product_name(name); error != 0) {
        name = rk::sys::system_os_info()->version().system_name;
        if (name.empty()) {
            name = rk::app::kUnnamedOs;
        }
        log(lv::kError, kFunction, __LINE__, L"No os-release product name (error %u); using %s", error, name);
    }
    if constexpr (sizeof(void*) == 8) {
        name += rk::app::k64BitSuffix;
    }
    out = std::move(name);
    return true;
}

bool RkCommonHelper::GetMachineGuid(std::wstring& out) {
    constexpr wchar_t kFunction[] = L"RkCommonHelper::GetMachineGuid";
    std::wstring guid;
    const rk::DWORD error = rk::sys::machine_guid(guid);
    if (error == 0) {
        out = std::move(guid);
        return true;
    }
    if (error == rk::win::kErrorFileNotFound) {
        log(lv::kError, kFunction, __LINE__, L"RegOpenKeyEx(.HKLM\\SOFTWARE\\Microsoft\\Cryptography.) failed.");
    } else {
        log(lv::kError, kFunction, __LINE__,
            L"RegQueryValueEx(.MachineGuid [1].) failed to read from HKLM\\SOFTWARE\\Microsoft\\Cryptography with "
            L"error code %u",
            error);
    }
    out = rk::app::kNullMachineGuid;
    return true;
}

bool RkCommonHelper::GetWindowsVersion(std::wstring& out) {
    constexpr wchar_t kFunction[] = L"RkCommonHelper::GetWindowsVersion";
    const rk::sys::OsVersion version = rk::sys::system_os_info()->version();
    if (version.system_name.empty()) {
        log(lv::kError, kFunction, __LINE__, L"Failed to get OS version Error =%u", rk::win::kErrorNotSupported);
        out.clear();
        return false;
    }
    out = std::to_wstring(version.major) + L"." + std::to_wstring(version.minor) + L"." +
          std::to_wstring(version.build);
    log(lv::kInformation, kFunction, __LINE__, L"OS version is %s", out);
    return true;
}

bool RkCommonHelper::GetIEVersion(std::wstring& out) {
    constexpr wchar_t kFunction[] = L"RkCommonHelper::GetIEVersion";
    DiraDoro::CRegKey key;
    rk::LONG error = key.Open(rk::sys::reg::HKEY_LOCAL_MACHINE, rk::app::kIeKey, rk::sys::reg::KEY_READ);
    std::wstring value;
    if (error == 0) {
        error = key.QueryStringValue(rk::app::kIeSvcVersion, value);
        if (error == 0 && !value.empty()) {
            log(lv::kInformation, kFunction, __LINE__, L"IE svc version is %s", value);
            out = std::move(value);
            return true;
        }
        error = key.QueryStringValue(rk::app::kIeVersion, value);
        if (error == 0 && !value.empty()) {
            log(lv::kInformation, kFunction, __LINE__, L"IE version is %s", value);
            out = std::move(value);
            return true;
        }
    }
    log(lv::kError, kFunction, __LINE__, L"Failed to get IE version Error = %d", error != 0 ? error : 2);
    return false;
}
