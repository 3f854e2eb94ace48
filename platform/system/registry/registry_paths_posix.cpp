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

std::wstring redirect_for_view(const std::wstring& path, DWORD sam) {
    static constexpr std::wstring_view kSoftware = L"HKEY_LOCAL_MACHINE\\SOFTWARE";
    static constexpr std::wstring_view kShared[] = {L"WOW6432NODE", L"CLASSES"};
    if ((sam & KEY_WOW64_32KEY) == 0) {
        return path;
    }
    const std::wstring up = text::to_upper(path);
    if (!up.starts_with(kSoftware) || (up.size() > kSoftware.size() && up[kSoftware.size()] != L'\\')) {
        return path;
    }
    if (up.size() > kSoftware.size()) {
        const std::wstring_view rest = std::wstring_view(up).substr(kSoftware.size() + 1);
        const std::wstring_view first = rest.substr(0, rest.find(L'\\'));
        for (const auto shared : kShared) {
            if (first == shared) {
                return path;
            }
        }
    }
    std::wstring out = path;
    out.insert(kSoftware.size(), L"\\" + std::wstring(kWow6432Node));
    return out;
}

}  // namespace rk::sys::reg
