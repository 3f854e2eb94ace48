// RkBsConfig: where the product keeps its configuration and runtime state,
// and reading values from the runtime state file "lbstate.ini"
// (<ProgramData>\<application folder name>\lbstate.ini).
//
// A value counts as found only when it is 1 to 2045 characters long: an
// empty value, a missing file or section, a value of 2046 characters or
// more, and a file larger than kMaxStateFileBytes all count as missing and
// leave the output unchanged.
#pragma once

#include <cstdint>
#include <string>

#include "app/config/lmr_settings.h"

namespace rk::app {

inline constexpr wchar_t kRuntimeStateFileName[] = L"lbstate.ini";
inline constexpr wchar_t kSectionDataAnalytics[] = L"DataAnalytics";
inline constexpr wchar_t kValueTrackingId[] = L"TrackingID";
inline constexpr wchar_t kValueInstallSource[] = L"InstallSource";
inline constexpr wchar_t kSectionLastScanResult[] = L"LastScanResult";
inline constexpr wchar_t kValueScanStatus[] = L"ScanStatus";

// GetPrivateProfileStringW's buffer and the longest value that counts.
inline constexpr std::uint32_t kProfileValueBuffer = 2048;
inline constexpr std::size_t kMaxProfileValueChars = 2045;
// INI files larger than this are not read (the product writes a few hundred bytes).
inline constexpr std::uintmax_t kMaxStateFileBytes = 1024 * 1024;

}  // namespace rk::app

class RkBsConfig {
public:
    // lbconfig.ini in the running executable's folder.
    RkBsConfig();
    // lbconfig.ini in `module_folder` (empty: no product configuration file).
    explicit RkBsConfig(const std::wstring& module_folder);

    // The full path of lbstate.ini; its folder part is empty when the
    // ProgramData folder cannot be had.
    std::wstring getRuntimeConfigPath() const;

    // Non-zero when the value was found; `value` is then replaced.
    int GetRuntimeValue(const wchar_t* section, const wchar_t* name, std::wstring& value) const;

    const CLmrSettings& Settings() const { return settings_; }

private:
    CLmrSettings settings_;
};

namespace rk::app {

// One INI value under the rules above, from any file.
bool read_bounded_profile_value(const wchar_t* section, const wchar_t* name, const std::wstring& file,
                                std::wstring& value);

}  // namespace rk::app
