// CLmrSettings: the product configuration file "lbconfig.ini" beside the
// updater, as far as telemetry reads it (the application folder name).
#pragma once

#include <string>

namespace rk::app {

inline constexpr wchar_t kProductConfigFileName[] = L"lbconfig.ini";
inline constexpr wchar_t kSectionBrightscan[] = L"Brightscan";
inline constexpr wchar_t kValueAppDir[] = L"AppDir";
inline constexpr wchar_t kDefaultAppDir[] = L"Corvane Lumora";

}  // namespace rk::app

class CLmrSettings {
public:
    // `product_config_file`: the full path of lbconfig.ini; empty when the
    // updater's own folder is unknown (the default then applies).
    explicit CLmrSettings(std::wstring product_config_file);

    // "AppDir" of the section "Brightscan", or "Corvane Lumora" when it is
    // missing or empty (logged).
    std::wstring cfgAppDir() const;

    const std::wstring& ProductConfigFile() const { return file_; }

private:
    std::wstring file_;
};
