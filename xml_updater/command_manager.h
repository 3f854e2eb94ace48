// The registry of command handlers, one instance per keyword, and the
// dispatch of one command element (with the test hook's interception).
#pragma once

#include <map>
#include <memory>
#include <string>

#include "xml_updater/attribute_map.h"
#include "xml_updater/command_if.h"
#include "xml_updater/event_sender_if.h"

namespace XMLUpdater::v2 {

class CSubstitutionManager;

inline constexpr wchar_t kCmdExecuteLocal[] = L"EXECUTE_LOCAL";
inline constexpr wchar_t kCmdExtractCabLocal[] = L"EXTRACT_CAB_LOCAL";
inline constexpr wchar_t kCmdSetVar[] = L"SETVAR";
inline constexpr wchar_t kCmdLog[] = L"LOG";
inline constexpr wchar_t kCmdSetCd[] = L"SET_CD";
inline constexpr wchar_t kCmdSendEvent[] = L"SEND_EVENT";
inline constexpr wchar_t kCmdSetReg32[] = L"SETREG32";
inline constexpr wchar_t kCmdSetReg64[] = L"SETREG64";
inline constexpr wchar_t kCmdRegistry[] = L"REGISTRY";
inline constexpr wchar_t kCmdSetRegistry[] = L"SET_REGISTRY";

class CCommandManager {
public:
    using EventSender = std::shared_ptr<NTelemetry::NAdHoc::IEventSender>;

    // Registers the built-in local commands.
    CCommandManager(EventSender sender, std::shared_ptr<CSubstitutionManager> substitutions);
    CCommandManager(const CCommandManager&) = delete;
    CCommandManager& operator=(const CCommandManager&) = delete;
    virtual ~CCommandManager() = default;

    bool RegisterCommand(const std::wstring& keyword, CommandCreator creator);
    bool RegisterCommand(const std::wstring& keyword, std::unique_ptr<ICommand> handler);

    // Runs the handler of `keyword` (or lets the test hook answer for it);
    // false for an unknown keyword.
    bool Execute(std::wstring_view keyword, AttributeMap& attributes);

    bool HasCommand(const std::wstring& keyword) const;

private:
    std::shared_ptr<CSubstitutionManager> substitutions_;
    EventSender sender_;
    std::map<std::wstring, std::unique_ptr<ICommand>, std::less<>> commands_;
};

}  // namespace XMLUpdater::v2
