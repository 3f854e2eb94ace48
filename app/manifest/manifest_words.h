// The words of the update manifest and of its processing pass: element
// names, list keys, flag texts, result words and log texts. Declared once,
// used by the code and its tests.
#pragma once

#include <string_view>
#include <utility>

#include "app/manifest/sorted_list.h"

namespace rk::app {

// The manifest's lists, ordered by key, with their texts in blocks shared by
// copies (sorted_list.h).
using StringMap = SortedList<std::wstring_view>;
// Comparison list: variable name -> (comparison type, expected value).
using CompareMap = SortedList<std::pair<std::wstring_view, std::wstring_view>>;

namespace manifest {
inline constexpr wchar_t kUpdater[] = L"UPDATER";
inline constexpr wchar_t kUpdate[] = L"UPDATE";
inline constexpr wchar_t kPollingTimeInMins[] = L"POLLINGTIMEINMINS";
inline constexpr wchar_t kPrecondition[] = L"PRECONDITION";
inline constexpr wchar_t kPrereq[] = L"PREREQ";
inline constexpr wchar_t kRegInfo[] = L"REGINFO";
inline constexpr wchar_t kCompareVals[] = L"COMPAREVALS";
inline constexpr wchar_t kUpdateCommands[] = L"UPDATECOMMANDS";
inline constexpr wchar_t kSetVar[] = L"SETVAR";

inline constexpr wchar_t kTrue[] = L"TRUE";
inline constexpr wchar_t kFalse[] = L"FALSE";
inline constexpr wchar_t kDefaultPollingMinutes[] = L"1440";
}  // namespace manifest

// Prerequisite list keys.
namespace prereq {
inline constexpr wchar_t kHeartBeat[] = L"HEARTBEAT";
inline constexpr wchar_t kIsEnabled[] = L"ISENABLED";
inline constexpr wchar_t kRetry[] = L"RETRY";
inline constexpr wchar_t kOs[] = L"OS";
inline constexpr wchar_t kRegHive[] = L"REGHIVE";
inline constexpr wchar_t kCompare[] = L"COMPARE";
}  // namespace prereq

// Registry list variable that carries the affiliate identifier.
inline constexpr wchar_t kAffiliateIdVariable[] = L"LMRA_AFFID";
// Comparison types.
inline constexpr wchar_t kCompareTypeVersion[] = L"VER";
inline constexpr wchar_t kCompareTypeString[] = L"STR";

// Command list keys.
namespace command {
inline constexpr wchar_t kDownloadUrl[] = L"DOWNLOADURL";
inline constexpr wchar_t kDestDir[] = L"DESTDIR";
inline constexpr wchar_t kParams[] = L"PARAMS";
inline constexpr wchar_t kValidate[] = L"VALIDATE";
inline constexpr wchar_t kDelete[] = L"DELETE";
}  // namespace command

// The installer's file name in the destination folder.
inline constexpr wchar_t kInstallerFileName[] = L"Brightscan_Release.exe";
// The product's UI process, compared in lower case.
inline constexpr wchar_t kUiProcessName[] = L"rkuicnt.exe";

// Result words.
namespace word {
inline constexpr wchar_t kEmptyResponseContent[] = L"emptyresponsecontent";
inline constexpr wchar_t kXmlParsingFailed[] = L"xmlparsingfailed";
inline constexpr wchar_t kXmlParsingException[] = L"xmlparsingexception";
inline constexpr wchar_t kXmlParsingSuccess[] = L"xmlparsingsuccess";
inline constexpr wchar_t kMemAllocFailedNullptr[] = L"memallocfailednullptr";

inline constexpr wchar_t kOsCheckFailed[] = L"oscheckfailed";
inline constexpr wchar_t kRkuicntAlreadyRunning[] = L"rkuicntalreadyrunning";
inline constexpr wchar_t kPreconditionSuccess[] = L"preconditionsuccess";
inline constexpr wchar_t kPreconditionFailed[] = L"preconditionfailed";

inline constexpr wchar_t kDownloadUrlEmpty[] = L"downoadurlempty";  // sic: the word receivers know
inline constexpr wchar_t kInvalidDownloadUrl[] = L"invaliddownloadurl";
inline constexpr wchar_t kCreateDestDirFails[] = L"createdestdirfails:";
inline constexpr wchar_t kDownloadFailedError[] = L"downloadfailederror:";
inline constexpr wchar_t kDownloadSuccess[] = L"downloadsuccess";
inline constexpr wchar_t kSignatureValidationFailed[] = L"signaturevalidationfailed";
inline constexpr wchar_t kCreateProcessFailed[] = L"createprocessfailed:";
inline constexpr wchar_t kWaitOnProcessFailed[] = L"waitonprocessfailed";
inline constexpr wchar_t kExitCodeProcessFailed[] = L"exitcodeprocessfailed:";
inline constexpr wchar_t kExecuteSuccessWithExitCode[] = L"executesuccesswithexitcode:";
}  // namespace word

// Log texts.
namespace logtext {
inline constexpr wchar_t kUnableToConvert[] = L"Unable to convert XML buffer into wide characters";
inline constexpr wchar_t kUnableToParse[] = L"Unable to parse XML: %hs";
inline constexpr wchar_t kCaughtAllException[] = L"Caught All Exception un ParseXMLContent";
inline constexpr wchar_t kManifestElementMissing[] = L"Manifest element missing or incomplete: %ls";
inline constexpr wchar_t kPreconditionFailed[] = L"Precondition failed for updater module";

inline constexpr wchar_t kCheckerException[] = L"Exception occured and error is: %hs";
inline constexpr wchar_t kHiveException[] = L"Exception Occured and reason for exception is: %hs";
// The message of the out-of-range error an absent name raises.
inline constexpr char kInvalidMapKey[] = "invalid map<K, T> key";

inline constexpr wchar_t kDomainNotPresent[] = L"Domain %s is not present in download URL";
inline constexpr wchar_t kDomainPresent[] = L"Domain %s is present in download URL";
inline constexpr wchar_t kFormedUrl[] = L"Successfully formed download url is: %s";
inline constexpr wchar_t kCreateDirectoryFailed[] = L"CreateDirectory failed";
inline constexpr wchar_t kFailedToDownload[] = L"Failed To Download File: %s";
inline constexpr wchar_t kDownloaded[] = L"Successfully download the file at: %s";
inline constexpr wchar_t kSignatureFailed[] = L"IsCorvaneSigned failed for : %s";
inline constexpr wchar_t kCreateProcessFailed[] = L"CreateProcess failed: %s";
inline constexpr wchar_t kWaitFailed[] = L"WaitForSingleObject failed";
inline constexpr wchar_t kExitCodeFailed[] = L"Exit Code process failed: %s";
inline constexpr wchar_t kDeletedDestination[] = L"Deleted the destination directory: %s";
}  // namespace logtext

}  // namespace rk::app
