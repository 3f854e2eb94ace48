#include "script_host/plugins/system_plugin.h"

#include <memory>
#include <optional>
#include <stdexcept>

#include "platform/logging/process_logger.h"
#include "platform/macros/common_replacements.h"
#include "platform/system/files.h"
#include "platform/system/known_folder_ids.h"
#include "platform/system/move_file.h"
#include "platform/system/process/command_line.h"
#include "platform/system/process/process.h"
#include "platform/system/random.h"
#include "platform/system/user_geo.h"
#include "platform/system/version/file_version.h"
#include "platform/text/strings.h"
#include "script_host/file_utility.h"

namespace Corvane::Script {
namespace {

constexpr wchar_t kFile[] = L"system_plugin.cpp";

template <typename... A>
void log(LogLevel level, const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(level)) {
        LogMessage(level, kFile, function, line, format, args...);
    }
}

struct MoveFlagWord {
    std::wstring_view word;
    std::uint32_t flag;
};
constexpr MoveFlagWord kMoveFlagWords[] = {
    {L"copyallowed", rk::sys::kMoveFileCopyAllowed},
    {L"delayuntilreboot", rk::sys::kMoveFileDelayUntilReboot},
    {L"replaceexisting", rk::sys::kMoveFileReplaceExisting},
    {L"writethrough", rk::sys::kMoveFileWriteThrough},
};

}  // namespace

CSystemPlugin::CSystemPlugin(IScriptEnvironmentFactory* factory, rk::sys::EnvLookup env)
    : PluginObject(factory,
                   {
                       Method(L"GetKnownFolder", {kArgString}, this, &CSystemPlugin::GetKnownFolder),
                       Method(L"CreateGUID", {}, this, &CSystemPlugin::CreateGUID),
                       Method(L"GetGeo", {}, this, &CSystemPlugin::GetGeo),
                       Method(L"ReadFile", {kArgString}, this, &CSystemPlugin::ReadFile),
                       Method(L"GetPlatform", {}, this, &CSystemPlugin::GetPlatform),
                       Method(L"GetFileVersion", {kArgString}, this, &CSystemPlugin::GetFileVersion),
                       Method(L"LaunchProcess", {kArgString, kArgString | kArgOptional}, this,
                              &CSystemPlugin::LaunchProcess),
                       Method(L"GetProcessStatus", {}, this, &CSystemPlugin::GetProcessStatus),
                       Method(L"WaitForProcess", {}, this, &CSystemPlugin::WaitForProcess),
                       Method(L"Move", {kArgString, kArgString, kArgAny}, this, &CSystemPlugin::Move),
                       Method(L"DeleteFile", {kArgString}, this, &CSystemPlugin::DeleteFile),
                       Method(L"DeleteFolder", {kArgString}, this, &CSystemPlugin::DeleteFolder),
                   }),
      env_(std::move(env)) {}

void CSystemPlugin::GetKnownFolder(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    std::wstring text = args[0].GetString();
    DiraDoro::CommonReplacements replacements(DiraDoro::CreateShlObjAPI(env_));
    replacements.Replace(text);
    if (replacements.GetLastCounts().first > 0) {
        result = ScriptVariable(std::move(text));
        return;
    }
    const auto guid = rk::win::guid_from_string(text);
    const auto folder = guid ? rk::sys::known_folder_from_id(*guid) : std::nullopt;
    std::wstring path;
    if (!folder || rk::sys::KnownFolders(env_).path(*folder, path) != rk::win::kErrorSuccess) {
        throw std::runtime_error(kMsgGetKnownFolderFailed);
    }
    result = ScriptVariable(std::move(path));
}

void CSystemPlugin::CreateGUID(ScriptVariable& result, std::uint32_t, const ScriptVariable*) {
    rk::win::GUID guid;
    if (rk::sys::create_guid(guid) != rk::win::kSOk) {
        throw std::runtime_error(kMsgCreateGuidFailed);
    }
    result = ScriptVariable(rk::win::guid_to_string(guid));
}

void CSystemPlugin::GetGeo(ScriptVariable& result, std::uint32_t, const ScriptVariable*) {
    auto nation = rk::sys::user_nation_iso2(env_);
    if (!nation) {
        throw std::runtime_error(kMsgGetGeoFailed);
    }
    result = ScriptVariable(std::move(*nation));
}

void CSystemPlugin::ReadFile(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    result = ScriptVariable(CFileUtility::ReadFile(args[0].GetString()));
}

void CSystemPlugin::GetPlatform(ScriptVariable& result, std::uint32_t, const ScriptVariable*) {
    result = ScriptVariable(L"x64");
}

void CSystemPlugin::GetFileVersion(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    constexpr wchar_t kFunction[] = L"CSystemPlugin::GetFileVersion";
    const std::wstring& path = args[0].GetString();
    if (path.empty()) {
        log(rk::log_level::kCritical, kFunction, __LINE__, kMsgEmptyFilePath);
        return;
    }
    rk::sys::FixedFileVersion version;
    if (rk::sys::get_file_version(path, version) != rk::sys::VersionInfoStatus::Ok) {
        log(rk::log_level::kCritical, kFunction, __LINE__, kMsgNoFileVersion, path);
        return;
    }
    result = ScriptVariable(rk::sys::file_version_text(version));
}

void CSystemPlugin::LaunchProcess(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args) {
    constexpr wchar_t kFunction[] = L"CSystemPlugin::LaunchProcess";
    log(rk::log_level::kWarning, kFunction, __LINE__, kMsgDeprecatedMethod, L"LaunchProcess");
    const std::wstring& path = args[0].GetString();
    if (path.empty()) {
        throw std::runtime_error(kMsgInvalidEmptyPath);
    }
    rk::sys::StartOptions options;
    options.application = path;
    options.command_line = rk::sys::quote_argument(path);
    if (count > 1 && !args[1].GetString().empty()) {
        options.command_line += L" " + args[1].GetString();
    }
    std::unique_ptr<rk::sys::Process> process;
    if (rk::sys::start_process(options, process) != rk::win::kErrorSuccess) {
        throw std::runtime_error(kMsgLaunchProcessFailed);
    }
    result = ScriptVariable(static_cast<std::uint32_t>(process->id()));
}

void CSystemPlugin::GetProcessStatus(ScriptVariable&, std::uint32_t, const ScriptVariable*) {
    log(rk::log_level::kWarning, L"CSystemPlugin::GetProcessStatus", __LINE__, kMsgDeprecatedMethod,
        L"GetProcessStatus");
}

void CSystemPlugin::WaitForProcess(ScriptVariable&, std::uint32_t, const ScriptVariable*) {
    log(rk::log_level::kWarning, L"CSystemPlugin::WaitForProcess", __LINE__, kMsgDeprecatedMethod, L"WaitForProcess");
}

std::uint32_t CSystemPlugin::MoveFlagsFromText(const std::wstring& options) {
    std::uint32_t flags = 0;
    if (rk::text::trim(options).empty()) {
        return flags;
    }
    for (const auto& raw : rk::text::split(options, L'|')) {
        const std::wstring_view word = rk::text::trim(raw);
        bool known = false;
        for (const auto& candidate : kMoveFlagWords) {
            if (rk::text::iequals(word, candidate.word)) {
                flags |= candidate.flag;
                known = true;
            }
        }
        if (!known) {
            log(rk::log_level::kWarning, L"CSystemPlugin::Move", __LINE__, kMsgUnknownMoveFlag, word);
        }
    }
    return flags;
}

void CSystemPlugin::Move(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args) {
    constexpr wchar_t kFunction[] = L"CSystemPlugin::Move";
    std::uint32_t flags = 0;
    if (count > 2) {
        switch (args[2].GetType()) {
            case ScriptVariableType::kEmpty: break;  // null or undefined: no options
            case ScriptVariableType::kString: flags = MoveFlagsFromText(args[2].GetString()); break;
            case ScriptVariableType::kInteger: flags = args[2].GetInt(); break;
            default:
                log(rk::log_level::kWarning, kFunction, __LINE__, kMsgInvalidMoveOptions, args[2].GetTypeNumber(), 0);
        }
    }
    const std::wstring& source = args[0].GetString();
    const std::wstring& destination = args[1].GetString();
    const rk::DWORD error = rk::sys::move_file_ex(source, destination, flags);
    if (error != rk::win::kErrorSuccess) {
        log(rk::log_level::kCritical, kFunction, __LINE__, kMsgMoveFailed, source, destination, flags, error);
    }
    result = ScriptVariable(error == rk::win::kErrorSuccess);
}

void CSystemPlugin::DeleteFile(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    result = ScriptVariable(rk::sys::delete_file(args[0].GetString()) == rk::win::kErrorSuccess);
}

void CSystemPlugin::DeleteFolder(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    result = ScriptVariable(rk::sys::remove_directory(args[0].GetString()) == rk::win::kErrorSuccess);
}

}  // namespace Corvane::Script
