// Words of the substitution language: keywords, built-in variables, result
// texts and log messages, declared once for the code and its tests.
#pragma once

namespace XMLUpdater::v2 {

// The engine's universal "no value".
inline constexpr wchar_t kUnknownValue[] = L"!UNKNOWN";
inline constexpr wchar_t kTrue[] = L"TRUE";
inline constexpr wchar_t kFalse[] = L"FALSE";

// Built-in variables.
inline constexpr wchar_t kVarPlat[] = L"plat";
inline constexpr wchar_t kVarOs[] = L"os";
inline constexpr wchar_t kVarExtractDir[] = L".";
inline constexpr wchar_t kVarExitCode[] = L"?";
inline constexpr wchar_t kVarUpdaterVersion[] = L"UPDATER_VERSION";
inline constexpr wchar_t kUpdaterVersion[] = L"1.1";
inline constexpr wchar_t kInitialExitCode[] = L"0";

// Values of `plat`.
inline constexpr wchar_t kPlat32[] = L"32";
inline constexpr wchar_t kPlat64[] = L"64";
inline constexpr wchar_t kPlatArm32[] = L"ARM32";
inline constexpr wchar_t kPlatArm64[] = L"ARM64";

// Built-in substitution keywords, in registration order.
inline constexpr wchar_t kSubFileExists[] = L"FILE_EXISTS";
inline constexpr wchar_t kSubFileVersion[] = L"FVER";
inline constexpr wchar_t kSubDir[] = L"DIR";
inline constexpr wchar_t kSubReg[] = L"REG";
inline constexpr wchar_t kSubReg32[] = L"REG32";
inline constexpr wchar_t kSubReg64[] = L"REG64";
inline constexpr wchar_t kSubRegistry[] = L"REGISTRY";
inline constexpr wchar_t kSubRgo[] = L"RGO";
inline constexpr wchar_t kSubRgo32[] = L"RGO32";
inline constexpr wchar_t kSubRgo64[] = L"RGO64";
inline constexpr wchar_t kSubObfuscatedRegistry[] = L"OREGISTRY";
inline constexpr wchar_t kSubIni[] = L"INI";
inline constexpr wchar_t kSubIno[] = L"INO";
inline constexpr wchar_t kSubDate[] = L"DATE";

// Manager messages.
inline constexpr wchar_t kMsgInvalidFactory[] = L"invalid factory";
inline constexpr wchar_t kMsgInvalidArgument[] = L"invalid argument";
inline constexpr wchar_t kMsgSubstitutionExists[] = L"substitution already exists";
inline constexpr wchar_t kMsgKernelVersionFailed[] = L"Failed to retrieve kernel verison";
inline constexpr wchar_t kMsgModuleFileNameFailed[] = L"GetModuleFileName failed (%d)";
inline constexpr wchar_t kMsgExpansionLoop[] = L"Token [%s] expands into itself, stopped after %u expansions";
inline constexpr wchar_t kMsgExpansionTooLong[] = L"Token [%s] would make the text longer than %u characters";
inline constexpr wchar_t kMsgSubstitutionThrew[] = L"Substitution failed, text expanded up to the failure: %hs";
inline constexpr wchar_t kMsgSubstitutionTooDeep[] = L"Substitution nested deeper than %d calls, text left as it is";

// FVER
inline constexpr wchar_t kMsgNoVersionInfoSize[] = L"Unable to get file version info for file: %s";
inline constexpr wchar_t kMsgNoVersionData[] = L"Unable to get file version data for file: %s";
inline constexpr wchar_t kMsgVerQueryFailed[] = L"VerQueryValue failed for file: %s";
inline constexpr wchar_t kMsgEmptyVersionInfo[] = L"Can't read version info for: %s";

// DIR
inline constexpr wchar_t kDirTemp[] = L"TEMP_DIR";
inline constexpr wchar_t kDirProgramFilesX64[] = L"CSIDL_PROGRAM_FILESX64";
inline constexpr wchar_t kDirProgramFilesCommonX64[] = L"CSIDL_PROGRAM_FILES_COMMONX64";
inline constexpr wchar_t kDirCommonAppData[] = L"CSIDL_COMMON_APPDATA";
inline constexpr wchar_t kDirCommonDocuments[] = L"CSIDL_COMMON_DOCUMENTS";
inline constexpr wchar_t kDirCommonStartup[] = L"CSIDL_COMMON_STARTUP";
inline constexpr wchar_t kDirProgramFiles[] = L"CSIDL_PROGRAM_FILES";
inline constexpr wchar_t kDirProgramFilesX86[] = L"CSIDL_PROGRAM_FILESX86";
inline constexpr wchar_t kDirProgramFilesCommon[] = L"CSIDL_PROGRAM_FILES_COMMON";
inline constexpr wchar_t kDirProgramFilesCommonX86[] = L"CSIDL_PROGRAM_FILES_COMMONX86";
inline constexpr wchar_t kDirSystem[] = L"CSIDL_SYSTEM";
inline constexpr wchar_t kDirSystemX86[] = L"CSIDL_SYSTEMX86";
inline constexpr wchar_t kDirWindows[] = L"CSIDL_WINDOWS";
inline constexpr char kEnvProgramW6432[] = "ProgramW6432";
inline constexpr char kEnvProgramFiles[] = "ProgramFiles";
inline constexpr char kEnvCommonProgramW6432[] = "CommonProgramW6432";
inline constexpr char kEnvCommonProgramFiles[] = "CommonProgramFiles";
inline constexpr wchar_t kMsgTempDirFailed[] = L"Unable to get temp directory path. Error: %hs";
inline constexpr wchar_t kMsgNoPlatform[] = L"Unable to get the platform";
inline constexpr wchar_t kMsgGetEnvFailed[] = L"GetEnvironmentVariable failed (%d)";
inline constexpr wchar_t kMsgFolderFailed[] = L"Error retrieving directory %s";
inline constexpr wchar_t kMsgUnknownFolder[] = L"Unknown folder identifier: %s";

// Registry family
inline constexpr wchar_t kHiveSeparator = L'|';
inline constexpr wchar_t kValueSeparator = L'@';
inline constexpr wchar_t kHiveCurrentUser[] = L"HKCU";
inline constexpr wchar_t kHiveClassesRoot[] = L"HKCR";
inline constexpr wchar_t kHiveCurrentConfig[] = L"HKCC";
inline constexpr wchar_t kHiveUsers[] = L"HKU";
inline constexpr wchar_t kMsgNoDelimiter[] = L"Delimiter character not found";
inline constexpr wchar_t kMsgOpenKeyFailed[] = L"Failed to open key %s: %d";
inline constexpr wchar_t kMsgConstructKeyFailed[] = L"failed to construct hKey";
inline constexpr wchar_t kMsgKeyExists[] = L"registry key exists";
inline constexpr wchar_t kMsgQueryKeyFailed[] = L"Failed to query key %s: %d";

// INI family
inline constexpr wchar_t kMsgNoIniPath[] = L"Error: No path provided for the ini file";
inline constexpr wchar_t kMsgNoIniSection[] = L"Error: No section name provided for the ini key";
inline constexpr wchar_t kMsgIniLoadFailed[] = L"CObfuscatedIniReader cannot load file: %s";
inline constexpr wchar_t kMsgIniNoSection[] = L"No section found for %s";
inline constexpr wchar_t kMsgIniNoKey[] = L"Key was not found: %s";
inline constexpr wchar_t kMsgIniReadFailed[] = L"Unable to read the ini value, key: %s";

// DATE
inline constexpr wchar_t kDateToday[] = L"TODAY";
inline constexpr wchar_t kDateTomorrow[] = L"TOMORROW";
inline constexpr wchar_t kDateYesterday[] = L"YESTERDAY";
inline constexpr wchar_t kDateEpoch[] = L"epoch";
inline constexpr wchar_t kDatePatternSeparator = L'@';
inline constexpr wchar_t kDateFormatSeparator = L'|';
inline constexpr wchar_t kDateDefaultFormat[] = L"%Y-%m-%d";
inline constexpr wchar_t kDateInvalid[] = L"Invalid DateTime";
inline constexpr wchar_t kMsgEpochFailed[] = L"failed to convert epoch date: %s";
inline constexpr wchar_t kMsgYearFailed[] = L"failed to parse year: %s";
inline constexpr wchar_t kMsgMonthFailed[] = L"failed to parse month: %s";
inline constexpr wchar_t kMsgDayFailed[] = L"failed to parse day: %s";
inline constexpr wchar_t kMsgDateIntFailed[] =
    L"failed to convert date element(s) to int: year = %s, month = %s, day = %s";
inline constexpr wchar_t kMsgSystemTimeFailed[] = L"GetAsSystemTime failed: %d";

}  // namespace XMLUpdater::v2
