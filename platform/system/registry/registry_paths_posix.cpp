#include "platform/system/registry/registry_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/system/registry/registry.h"
#include "platform/system/root_prefix.h"
#include "platform/text/strings.h"

namespace rk::sys::reg {
namespace {

constexpr const char* kStoreName = "registry.db";
constexpr const char* kVolatileStoreName = "registry-volatile.db";

std::filesystem::path home_dir() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/";
}

}  // namespace

std::filesystem::path machine_store_file() { return under_root("/var/lib/rkupdater") / kStoreName; }

std::filesystem::path user_store_file() {
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        config = xdg;
    } else {
        config = home_dir() / ".config";
    }
    return under_root(config / "rkupdater") / kStoreName;
}

std::filesystem::path machine_volatile_file() { return machine_runtime_dir() / kVolatileStoreName; }

std::filesystem::path user_volatile_file() { return session_runtime_dir() / kVolatileStoreName; }

namespace {

enum class View { kShared, kRedirected };

struct ViewRule {
    std::wstring_view path;  // below HKEY_LOCAL_MACHINE\SOFTWARE, upper case
    View view;
};

// "Registry Keys Affected by WOW64" (Windows 7 and later): SOFTWARE is
// redirected, these keys below it are shared, and these Classes subkeys are
// redirected again. A key inherits the rule of its nearest listed ancestor.
constexpr ViewRule kViewRules[] = {
    {L"CLASSES", View::kShared},
    {L"CLASSES\\APPID", View::kShared},
    {L"CLASSES\\CLSID", View::kRedirected},
    {L"CLASSES\\DIRECTSHOW", View::kRedirected},
    {L"CLASSES\\HCP", View::kShared},
    {L"CLASSES\\INTERFACE", View::kRedirected},
    {L"CLASSES\\MEDIA TYPE", View::kRedirected},
    {L"CLASSES\\MEDIAFOUNDATION", View::kRedirected},
    {L"CLIENTS", View::kShared},
    {L"MICROSOFT\\COM3", View::kShared},
    {L"MICROSOFT\\CRYPTOGRAPHY\\CALAIS\\CURRENT", View::kShared},
    {L"MICROSOFT\\CRYPTOGRAPHY\\CALAIS\\READERS", View::kShared},
    {L"MICROSOFT\\CRYPTOGRAPHY\\SERVICES", View::kShared},
    {L"MICROSOFT\\CTF\\SYSTEMSHARED", View::kShared},
    {L"MICROSOFT\\CTF\\TIP", View::kShared},
    {L"MICROSOFT\\DFS", View::kShared},
    {L"MICROSOFT\\DRIVER SIGNING", View::kShared},
    {L"MICROSOFT\\ENTERPRISECERTIFICATES", View::kShared},
    {L"MICROSOFT\\EVENTSYSTEM", View::kShared},
    {L"MICROSOFT\\MSMQ", View::kShared},
    {L"MICROSOFT\\NON-DRIVER SIGNING", View::kShared},
    {L"MICROSOFT\\NOTEPAD\\DEFAULTFONTS", View::kShared},
    {L"MICROSOFT\\OLE", View::kShared},
    {L"MICROSOFT\\RAS", View::kShared},
    {L"MICROSOFT\\RPC", View::kShared},
    {L"MICROSOFT\\SOFTWARE\\MICROSOFT\\SHARED TOOLS\\MSINFO", View::kShared},
    {L"MICROSOFT\\SYSTEMCERTIFICATES", View::kShared},
    {L"MICROSOFT\\TERMSERVLICENSING", View::kShared},
    {L"MICROSOFT\\TRANSACTION SERVER", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\CONTROL PANEL\\CURSORS\\SCHEMES", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\AUTOPLAYHANDLERS", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\DRIVEICONS", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\KINDMAP", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\GROUP POLICY", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\PREVIEWHANDLERS", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\SETUP", View::kShared},
    {L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\TELEPHONY\\LOCATIONS", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\CONSOLE", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTDPI", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTLINK", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTMAPPER", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTS", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTSUBSTITUTES", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\GRE_INITIALIZE", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\IMAGE FILE EXECUTION OPTIONS", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\LANGUAGEPACK", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\NETWORKCARDS", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PERFLIB", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PORTS", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PRINT", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PROFILELIST", View::kShared},
    {L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\TIME ZONES", View::kShared},
    {L"POLICIES", View::kShared},
    {L"REGISTEREDAPPLICATIONS", View::kShared},
};

// `rest` equals `key` or lies below it.
bool at_or_below(std::wstring_view rest, std::wstring_view key) {
    return rest.starts_with(key) && (rest.size() == key.size() || rest[key.size()] == L'\\');
}

// The physical path of `path` in the 32-bit view when `up` (its upper-case
// form) starts with `software` (a SOFTWARE key of HKLM or HKCU).
std::wstring redirect_below(const std::wstring& path, const std::wstring& up, std::wstring_view software,
                            bool machine) {
    if (!at_or_below(up, software)) {
        return path;
    }
    const std::wstring_view rest =
        up.size() == software.size() ? std::wstring_view() : std::wstring_view(up).substr(software.size() + 1);
    if (at_or_below(rest, L"WOW6432NODE") || at_or_below(rest, L"CLASSES\\WOW6432NODE")) {
        return path;  // already a 32-bit location
    }
    // The user's SOFTWARE is shared; only its redirected Classes subkeys move.
    View view = machine ? View::kRedirected : View::kShared;
    std::size_t matched = 0;
    for (const ViewRule& rule : kViewRules) {
        if (rule.path.size() > matched && at_or_below(rest, rule.path)) {
            view = rule.view;
            matched = rule.path.size();
        }
    }
    if (view == View::kShared) {
        return path;
    }
    // Redirected Classes subkeys live under Classes\Wow6432Node, the rest of
    // SOFTWARE under SOFTWARE\WOW6432Node.
    const bool classes = at_or_below(rest, L"CLASSES");
    const std::size_t at = software.size() + (classes ? std::wstring_view(L"\\Classes").size() : 0);
    std::wstring out = path;
    out.insert(at, L"\\" + std::wstring(kWow6432Node));
    return out;
}

}  // namespace

std::wstring redirect_for_view(const std::wstring& path, DWORD sam) {
    if ((sam & KEY_WOW64_32KEY) == 0) {
        return path;
    }
    const std::wstring up = text::to_upper(path);
    if (up.starts_with(L"HKEY_CURRENT_USER")) {
        return redirect_below(path, up, L"HKEY_CURRENT_USER\\SOFTWARE", false);
    }
    return redirect_below(path, up, L"HKEY_LOCAL_MACHINE\\SOFTWARE", true);
}

}  // namespace rk::sys::reg
