// The engine's test hook. When HKEY_LOCAL_MACHINE\SOFTWARE\ROZuvevor names a
// test library in its value "path", the library is loaded on first use and
// every step of a document walk is reported to it; it may serve documents,
// skip the document signature check and take over commands. Without that
// configuration, or after any error of the library, every function is a
// no-op that answers false and the engine runs unchanged.
//
// The library's C exports (names and arguments are UTF-8 strings):
//   void Dispatcher(const char* event, const char* arguments,
//                   const char** result, const char** error);
//   void Controller(const char* command, const char* argument,
//                   const char** error, void* reserved);
//   void Release(const char* result);   // optional
// A non-empty *error reports a failure. *result stays owned by the library
// until Release is called with it (when exported); *error stays owned by the
// library. Events and argument texts are listed in docs/xml-updater.md.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "xml_updater/attribute_map.h"

namespace XMLUpdater::v2::Hound {

inline constexpr wchar_t kConfigKey[] = L"SOFTWARE\\ROZuvevor";
inline constexpr wchar_t kConfigPath[] = L"path";

inline constexpr char kExportDispatcher[] = "Dispatcher";
inline constexpr char kExportController[] = "Controller";
inline constexpr char kExportRelease[] = "Release";
inline constexpr char kControllerInitialize[] = "Initialize";
inline constexpr char kControllerExit[] = "Exit";

inline constexpr char kEventStartSection[] = "OnStartSection";
inline constexpr char kEventEndSection[] = "OnEndSection";
inline constexpr char kEventInterestingUrl[] = "OnInterestingUrl";
inline constexpr char kEventGetXml[] = "GetXml";
inline constexpr char kEventSigCheck[] = "OnSigCheck";
inline constexpr char kEventInterestingCommand[] = "OnInterestingCommand";
inline constexpr char kEventExecuteCommand[] = "OnExecuteCommand";
inline constexpr char kEventCommandResult[] = "OnCommandResult";
inline constexpr char kEventPreconditionResult[] = "OnPreconditionResult";
inline constexpr char kEventExitResult[] = "OnExitResult";

inline constexpr char kAnswerYes[] = "true";

// Section names the walk reports (commands report their element name).
inline constexpr wchar_t kSectionStartXml[] = L"StartXML";
inline constexpr wchar_t kSectionUpdateArray[] = L"UpdateArray";
inline constexpr wchar_t kSectionUpdate[] = L"Update";
inline constexpr wchar_t kSectionPreconditionArray[] = L"PreconditionArray";
inline constexpr wchar_t kSectionPrecondition[] = L"Precondition";
inline constexpr wchar_t kSectionCommandArray[] = L"CommandArray";

void Start(const wchar_t* file, const wchar_t* function, std::wstring_view section, std::wstring_view node_text);
void End(const wchar_t* file, const wchar_t* function);
// True when the hook serves the document of `url` itself.
bool InterestingNavigation(const wchar_t* file, const wchar_t* function, std::wstring_view url);
// The document the hook serves for `url` (its answer to "GetXml", as bytes).
// Throws std::runtime_error when no hook is active or the library fails, so
// the caller can log and fall back to the network.
std::string GetXml(const wchar_t* file, const wchar_t* function, std::wstring_view url);
// True when the hook lets a document skip its signature check.
bool InterestingSignatureCheck(const wchar_t* file, const wchar_t* function);
// True when the hook takes over the command; Command() then gives its result.
bool InterestingCommand(const wchar_t* file, const wchar_t* function, const AttributeMap& args,
                        const AttributeMap& raw_args);
bool Command(const wchar_t* file, const wchar_t* function, const AttributeMap& args, const AttributeMap& raw_args);
void CommandResult(const wchar_t* file, const wchar_t* function, const AttributeMap& args,
                   const AttributeMap& raw_args, bool result);
void PreconditionResult(const wchar_t* file, const wchar_t* function, std::wstring_view type, bool result,
                        const AttributeMap& args, const AttributeMap& raw_args);
void ExitResult(const wchar_t* file, const wchar_t* function, int result);

// Whether a library is loaded and active.
bool IsActive();

// Argument texts (Lua-style tables), exposed for tests and the operator tool.
std::string EscapeText(std::string_view text);
std::string TableText(const AttributeMap& map);

class CInternalInterface;
// Installs an in-process hook object instead of the registry-configured
// library (the operator tool prints events this way); null makes the hook
// inert. Counts as the process's activation.
void Install(std::unique_ptr<CInternalInterface> hook);

// Tests only: reads the registry configuration again on the next event (the
// process normally activates the hook once). A library already loaded stays
// mapped.
void ReactivateForTesting();

}  // namespace XMLUpdater::v2::Hound
