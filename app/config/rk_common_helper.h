// RkCommonHelper: the machine facts telemetry adds to product events.
//
// On Linux (platform seam): the OS name is the os-release product name
// followed by " 64 bit" in a 64-bit build, the version the kernel's
// "major.minor.build", the machine identifier /etc/machine-id written as a
// GUID. The browser version is the product's registry record of Internet
// Explorer, which a Linux machine does not have unless someone writes it:
// the fact is then not found.
#pragma once

#include <string>

namespace rk::app {

inline constexpr wchar_t kNullMachineGuid[] = L"00000000-0000-0000-0000-000000000000";
inline constexpr wchar_t k64BitSuffix[] = L" 64 bit";
// Used when the system names no product.
inline constexpr wchar_t kUnnamedOs[] = L"Linux";
inline constexpr wchar_t kIeKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer";
inline constexpr wchar_t kIeSvcVersion[] = L"svcVersion";
inline constexpr wchar_t kIeVersion[] = L"Version";

}  // namespace rk::app

class RkCommonHelper {
public:
    // Each fills `out` and returns whether the fact was found; the OS name,
    // the version and the machine identifier always give a value (a
    // fallback when the fact is missing, logged).
    static bool GetOSName(std::wstring& out);
    static bool GetMachineGuid(std::wstring& out);
    static bool GetWindowsVersion(std::wstring& out);
    static bool GetIEVersion(std::wstring& out);
};
