// "system": folders, GUIDs, the user's nation, files and processes.
//
//   GetKnownFolder(string)      a text with $(...) macros expanded, or the
//                               path of the known folder a braced GUID names
//   CreateGUID()                "{...}"
//   GetGeo()                    "US"-style nation code
//   ReadFile(string)            the file as text (empty on failure)
//   GetPlatform()               "x64"
//   GetFileVersion(string)      "a.b.c.d" (empty when none)
//   LaunchProcess(string[, string arguments])  the process id (deprecated)
//   GetProcessStatus, WaitForProcess           deprecated, do nothing
//   Move(string, string[, string|integer options])  MoveFileEx; true on success
//   DeleteFile(string), DeleteFolder(string)        true on success
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/known_folders.h"
#include "script_host/plugin_object.h"

namespace Corvane::Script {

inline constexpr char kMsgCreateGuidFailed[] = "CreateGUID failed";
inline constexpr char kMsgGetGeoFailed[] = "GetGeo failed";
inline constexpr char kMsgGetKnownFolderFailed[] = "GetKnownFolder failed";
inline constexpr char kMsgInvalidEmptyPath[] = "Invalid (empty) path";
inline constexpr char kMsgLaunchProcessFailed[] = "LaunchProcess failed";
inline constexpr wchar_t kMsgEmptyFilePath[] = L"Provided file path is empty or null";
inline constexpr wchar_t kMsgNoFileVersion[] = L"Could not find file version for file: %s";
inline constexpr wchar_t kMsgDeprecatedMethod[] = L"Deprecated method: %s";
inline constexpr wchar_t kMsgUnknownMoveFlag[] = L"Unknown Move flag '%s' was ignored";
inline constexpr wchar_t kMsgInvalidMoveOptions[] = L"Invalid type (%d) for options: Move operation will use defaults (%d)";
inline constexpr wchar_t kMsgMoveFailed[] = L"MoveFileEx(%s, %s, %02x) failed with code 0x%08x";

class CSystemPlugin : public PluginObject {
public:
    // `env` is where per-user known folders and the locale come from.
    explicit CSystemPlugin(IScriptEnvironmentFactory* factory, rk::sys::EnvLookup env = rk::sys::process_env);

    std::wstring GetName() override { return L"System Plugin"; }
    std::wstring GetVersion() override { return L"5"; }

    // The MoveFileEx flags of a "Move" options text: words separated by "|",
    // compared without regard to case; unknown words are logged and ignored.
    static std::uint32_t MoveFlagsFromText(const std::wstring& options);

private:
    void GetKnownFolder(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void CreateGUID(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void GetGeo(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void ReadFile(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void GetPlatform(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void GetFileVersion(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void LaunchProcess(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void GetProcessStatus(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void WaitForProcess(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void Move(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void DeleteFile(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void DeleteFolder(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    rk::sys::EnvLookup env_;
};

}  // namespace Corvane::Script
