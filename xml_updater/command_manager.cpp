#include "xml_updater/command_manager.h"

#include "xml_updater/commands/execute_local_command.h"
#include "xml_updater/commands/extract_cab_local_command.h"
#include "xml_updater/commands/log_command.h"
#include "xml_updater/commands/registry_command.h"
#include "xml_updater/commands/send_event_command.h"
#include "xml_updater/commands/set_custom_dimension_command.h"
#include "xml_updater/commands/set_variable_command.h"
#include "xml_updater/hound.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"command_manager.cpp";
}  // namespace

CCommandManager::CCommandManager(EventSender sender, std::shared_ptr<CSubstitutionManager> substitutions)
    : substitutions_(std::move(substitutions)), sender_(std::move(sender)) {
    RegisterCommand(kCmdExecuteLocal, &CExecuteLocalCommand::Create);
    RegisterCommand(kCmdExtractCabLocal, &CExtractCabLocalCommand::Create);
    RegisterCommand(kCmdSetVar, &CSetVariableCommand::Create);
    RegisterCommand(kCmdLog, &CLogCommand::Create);
    RegisterCommand(kCmdSetCd, &CSetCustomDimensionCommand::Create);
    RegisterCommand(kCmdSendEvent, &CSendEventCommand::Create);
    RegisterCommand(kCmdSetReg32, &CSetReg32Command::Create);
    RegisterCommand(kCmdSetReg64, &CSetReg64Command::Create);
    RegisterCommand(kCmdRegistry, std::make_unique<CRegistryCommand>());
    RegisterCommand(kCmdSetRegistry, std::make_unique<CSetRegistryCommand>());
}

bool CCommandManager::RegisterCommand(const std::wstring& keyword, CommandCreator creator) {
    if (creator == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CCommandManager::RegisterCommand", __LINE__, L"invalid factory");
        return false;
    }
    return RegisterCommand(keyword, creator());
}

bool CCommandManager::RegisterCommand(const std::wstring& keyword, std::unique_ptr<ICommand> handler) {
    constexpr wchar_t kFunction[] = L"CCommandManager::RegisterCommand";
    if (keyword.empty() || !handler) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"invalid argument");
        return false;
    }
    if (commands_.contains(keyword)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"command (%s) already exists", keyword);
        return false;
    }
    commands_.emplace(keyword, std::move(handler));
    return true;
}

bool CCommandManager::HasCommand(const std::wstring& keyword) const {
    const auto it = commands_.find(keyword);
    return it != commands_.end() && it->second != nullptr;
}

bool CCommandManager::Execute(std::wstring_view keyword, AttributeMap& attributes) {
    constexpr wchar_t kFunction[] = L"CCommandManager::Execute";
    const auto it = commands_.find(keyword);
    if (it == commands_.end() || it->second == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"command (%s) doesn't exist or is invalid", keyword);
        return false;
    }
    // The arguments as they were before the handler substituted them, for
    // the test hook only.
    const bool hooked = Hound::IsActive();
    AttributeMap raw;
    if (hooked) {
        raw = attributes;
    }
    if (hooked && Hound::InterestingCommand(kFile, kFunction, attributes, raw)) {
        return Hound::Command(kFile, kFunction, attributes, raw);
    }
    const bool result = it->second->Execute(attributes, substitutions_.get(), sender_);
    if (hooked) {
        Hound::CommandResult(kFile, kFunction, attributes, raw, result);
    }
    return result;
}

}  // namespace XMLUpdater::v2
