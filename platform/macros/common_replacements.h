// Folder macros in configuration strings: "$(FOLDERID_ProgramData)\Corvane"
// and family, the running executable's path parts and the OS platform.
//
//   DiraDoro::CommonReplacements replacements;
//   std::wstring path = L"$(FOLDERID_ProgramData)\\Corvane\\ClientAnalytics";
//   replacements.Replace(path);
//
// One pass, left to right: values are not searched again, an unknown macro
// stays as written. Names are case-sensitive.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/macros/shl_obj_api.h"
#include "platform/macros/win_os_version_api.h"

namespace DiraDoro {

// Built-in macro texts.
inline constexpr std::wstring_view kMacroOSPlatform = L"$(OS.Platform)";
inline constexpr std::wstring_view kMacroAppBinary = L"$(App.Binary)";
inline constexpr std::wstring_view kMacroAppName = L"$(App.Name)";
inline constexpr std::wstring_view kMacroAppFolder = L"$(App.Folder)";
inline constexpr std::wstring_view kMacroAppPath = L"$(App.Path)";

// "$(OS.Platform)" values for the platform codes 0, 1 and 2.
inline constexpr std::wstring_view kPlatformNames[] = {L"win32", L"x64", L"PlatformUnknown"};

// Additional macros of one call: macro text (with "$(" and ")") -> value.
using ReplacementFunction = std::function<std::wstring()>;
using ReplacementMap = std::map<std::wstring, ReplacementFunction, std::less<>>;

namespace internal {
class CommonReplacementsImpl;
}

class CommonReplacements {
public:
    // Either service may be null: the real one is created then.
    explicit CommonReplacements(std::shared_ptr<ShlObjAPI> shell = nullptr,
                                std::shared_ptr<WinOSVersionAPI> os = nullptr);
    virtual ~CommonReplacements();

    // Expands `text` in place; `additional` takes precedence over the
    // built-in macros. Returns true.
    virtual bool Replace(std::wstring& text, const ReplacementMap& additional);
    virtual bool Replace(std::wstring& text);

    // Macros found and macros whose value differed from their text, in the
    // last Replace.
    std::pair<std::size_t, std::size_t> GetLastCounts() const;

private:
    std::shared_ptr<internal::CommonReplacementsImpl> impl_;
};

}  // namespace DiraDoro
