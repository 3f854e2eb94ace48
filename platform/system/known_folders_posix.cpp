#include "platform/system/known_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "platform/system/root_prefix.h"

namespace rk::sys {
namespace {

// Where a folder lives: a fixed machine path, or an environment variable
// with a default below HOME (empty variable: HOME itself plus `home_suffix`).
struct FolderRule {
    KnownFolder folder;
    const wchar_t* name;
    const char* machine_path;  // null for per-user folders
    const char* variable;      // overrides the HOME default when absolute
    const char* home_suffix;   // below HOME
};

constexpr std::array kRules{
    FolderRule{KnownFolder::ProgramData, L"FOLDERID_ProgramData", "/var/lib", nullptr, nullptr},
    FolderRule{KnownFolder::ProgramFiles, L"FOLDERID_ProgramFiles", "/opt", nullptr, nullptr},
    FolderRule{KnownFolder::ProgramFilesX64, L"FOLDERID_ProgramFilesX64", "/opt", nullptr,
               nullptr},
    FolderRule{KnownFolder::ProgramFilesX86, L"FOLDERID_ProgramFilesX86", "/opt", nullptr,
               nullptr},
    FolderRule{KnownFolder::ProgramFilesCommon, L"FOLDERID_ProgramFilesCommon", "/opt/common",
               nullptr, nullptr},
    FolderRule{KnownFolder::ProgramFilesCommonX64, L"FOLDERID_ProgramFilesCommonX64",
               "/opt/common", nullptr, nullptr},
    FolderRule{KnownFolder::ProgramFilesCommonX86, L"FOLDERID_ProgramFilesCommonX86",
               "/opt/common", nullptr, nullptr},
    FolderRule{KnownFolder::PublicDocuments, L"FOLDERID_PublicDocuments",
               "/var/lib/public/Documents", nullptr, nullptr},
    FolderRule{KnownFolder::CommonStartup, L"FOLDERID_CommonStartup", "/etc/xdg/autostart",
               nullptr, nullptr},
    FolderRule{KnownFolder::System, L"FOLDERID_System", "/usr/lib", nullptr, nullptr},
    FolderRule{KnownFolder::SystemX86, L"FOLDERID_SystemX86", "/usr/lib", nullptr, nullptr},
    FolderRule{KnownFolder::Windows, L"FOLDERID_Windows", "/usr", nullptr, nullptr},
    FolderRule{KnownFolder::Profile, L"FOLDERID_Profile", nullptr, nullptr, ""},
    FolderRule{KnownFolder::Desktop, L"FOLDERID_Desktop", nullptr, nullptr, "Desktop"},
    FolderRule{KnownFolder::Documents, L"FOLDERID_Documents", nullptr, nullptr, "Documents"},
    FolderRule{KnownFolder::LocalAppData, L"FOLDERID_LocalAppData", nullptr, "XDG_DATA_HOME",
               ".local/share"},
    FolderRule{KnownFolder::RoamingAppData, L"FOLDERID_RoamingAppData", nullptr,
               "XDG_CONFIG_HOME", ".config"},
    FolderRule{KnownFolder::LocalAppDataLow, L"FOLDERID_LocalAppDataLow", nullptr,
               "XDG_STATE_HOME", ".local/state"},
    // Machine-wide in the sense that /tmp is shared; TMPDIR may move it.
    FolderRule{KnownFolder::Temp, L"", nullptr, "TMPDIR", nullptr},
};

const FolderRule* rule_for(KnownFolder folder) {
    for (const auto& rule : kRules) {
        if (rule.folder == folder) {
            return &rule;
        }
    }
    return nullptr;
}

// XDG: a variable holding a relative path is ignored.
std::optional<std::string> absolute_value(const EnvLookup& env, const char* name) {
    auto value = env(name);
    if (!value || value->empty() || (*value)[0] != '/') {
        return std::nullopt;
    }
    return value;
}

std::filesystem::path rooted(const std::filesystem::path& absolute) {
    std::string text = under_root(absolute.lexically_normal()).native();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::wstring_view known_folder_name(KnownFolder folder) {
    const FolderRule* rule = rule_for(folder);
    return rule != nullptr ? rule->name : L"";
}

std::optional<std::string> process_env(const char* name) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
        return std::string(value);
    }
    if (std::string_view(name) == "HOME") {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_dir != nullptr) {
            return std::string(found->pw_dir);
        }
    }
    return std::nullopt;
}

KnownFolders::KnownFolders(EnvLookup env) : env_(std::move(env)) {}

DWORD KnownFolders::path(KnownFolder folder, std::wstring& path, bool create) const {
    const FolderRule* rule = rule_for(folder);
    if (rule == nullptr) {
        return win::kErrorInvalidParameter;
    }
    std::filesystem::path location;
    bool per_user = false;
    if (rule->machine_path != nullptr) {
        location = rule->machine_path;
    } else if (auto value = rule->variable ? absolute_value(env_, rule->variable) : std::nullopt) {
        location = *value;
        per_user = folder != KnownFolder::Temp;
    } else if (folder == KnownFolder::Temp) {
        location = "/tmp";
    } else {
        const auto home = absolute_value(env_, "HOME");
        if (!home) {
            return win::kErrorFileNotFound;
        }
        location = std::filesystem::path(*home) / rule->home_suffix;
        per_user = true;
    }
    const std::filesystem::path host = rooted(location);
    if (create) {
        if (const DWORD error = make_directories(host, per_user ? 0700 : 0755);
            error != win::kErrorSuccess) {
            return error;
        }
    }
    path = wide_path(host);
    return win::kErrorSuccess;
}

std::wstring temp_dir() {
    std::wstring path;
    return KnownFolders().path(KnownFolder::Temp, path) == win::kErrorSuccess ? path : L"";
}

}  // namespace rk::sys
