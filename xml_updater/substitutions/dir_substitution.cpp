#include "xml_updater/substitutions/dir_substitution.h"

#include <map>
#include <variant>

#include "platform/text/format.h"
#include "platform/text/utf.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {

constexpr wchar_t kFile[] = L"dir_substitution.cpp";
constexpr wchar_t kFunction[] = L"CDirSubstitution::Substitute";

enum class Special { Temp, ProgramFilesX64, ProgramFilesCommonX64 };
using FolderEntry = std::variant<Special, rk::sys::KnownFolder>;

const std::map<std::wstring, FolderEntry>& folder_table() {
    using rk::sys::KnownFolder;
    static const std::map<std::wstring, FolderEntry> table = {
        {kDirTemp, Special::Temp},
        {kDirProgramFilesX64, Special::ProgramFilesX64},
        {kDirProgramFilesCommonX64, Special::ProgramFilesCommonX64},
        {kDirCommonAppData, KnownFolder::ProgramData},
        {kDirCommonDocuments, KnownFolder::PublicDocuments},
        {kDirCommonStartup, KnownFolder::CommonStartup},
        {kDirProgramFiles, KnownFolder::ProgramFiles},
        {kDirProgramFilesX86, KnownFolder::ProgramFilesX86},
        {kDirProgramFilesCommon, KnownFolder::ProgramFilesCommon},
        {kDirProgramFilesCommonX86, KnownFolder::ProgramFilesCommonX86},
        {kDirSystem, KnownFolder::System},
        {kDirSystemX86, KnownFolder::SystemX86},
        {kDirWindows, KnownFolder::Windows},
    };
    return table;
}

}  // namespace

std::wstring CDirSubstitution::program_files_x64(bool common, CSubstitutionManager* manager) const {
    std::wstring plat;
    if (manager == nullptr || !manager->GetVariable(kVarPlat, plat)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgNoPlatform);
        return kUnknownValue;
    }
    const bool is64 = plat == kPlat64 || plat == kPlatArm64;
    const char* variable = common ? (is64 ? kEnvCommonProgramW6432 : kEnvCommonProgramFiles)
                                  : (is64 ? kEnvProgramW6432 : kEnvProgramFiles);
    if (const auto value = env_(variable)) {
        std::wstring wide = rk::text::utf8_to_wide(*value);
        if (wide.size() >= kMaxEnvironmentValueChars) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgGetEnvFailed,
                          static_cast<int>(rk::win::kErrorInsufficientBuffer));
            return kUnknownValue;
        }
        return wide;
    }
    using rk::sys::KnownFolder;
    const KnownFolder folder = common ? (is64 ? KnownFolder::ProgramFilesCommonX64 : KnownFolder::ProgramFilesCommon)
                                      : (is64 ? KnownFolder::ProgramFilesX64 : KnownFolder::ProgramFiles);
    std::wstring path;
    if (rk::sys::KnownFolders(env_).path(folder, path) != rk::win::kErrorSuccess) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgFolderFailed,
                      common ? kDirProgramFilesCommonX64 : kDirProgramFilesX64);
        return kUnknownValue;
    }
    return path;
}

std::wstring CDirSubstitution::Substitute(const std::wstring& arguments, CSubstitutionManager* manager) {
    const auto& table = folder_table();
    const auto it = table.find(arguments);
    if (it == table.end()) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgUnknownFolder, arguments);
        return kUnknownValue;
    }
    if (const auto* special = std::get_if<Special>(&it->second)) {
        switch (*special) {
        case Special::ProgramFilesX64:
            return program_files_x64(false, manager);
        case Special::ProgramFilesCommonX64:
            return program_files_x64(true, manager);
        case Special::Temp:
            break;
        }
        std::wstring temp;
        const rk::DWORD error = rk::sys::KnownFolders(env_).path(rk::sys::KnownFolder::Temp, temp);
        if (error != rk::win::kErrorSuccess || temp.empty()) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgTempDirFailed,
                          rk::text::format("Win32 error %lu", error));
            return kUnknownValue;
        }
        return temp + L'/';
    }
    std::wstring path;
    if (rk::sys::KnownFolders(env_).path(std::get<rk::sys::KnownFolder>(it->second), path) != rk::win::kErrorSuccess) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgFolderFailed, arguments);
        return kUnknownValue;
    }
    return path;
}

}  // namespace XMLUpdater::v2
