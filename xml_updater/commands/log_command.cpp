#include "xml_updater/commands/log_command.h"

#include "platform/text/numeric.h"
#include "xml_updater/commands/command_support.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"log_command.cpp";
}  // namespace

bool CLogCommand::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                          std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    constexpr wchar_t kFunction[] = L"CLogCommand::Execute";
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgInvalidSubstitutor);
        return false;
    }
    auto level = attribute(attributes, kAttrLevel);
    auto message = attribute(attributes, kAttrMessage);
    if (!level || !message) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Unable to read level and/or message attribute of log command");
        return false;
    }
    if (!substitutions->Substitute(*level) || !substitutions->Substitute(*message)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to substitute variables for the LOG command");
        return false;
    }
    SetAttribute(attributes, kAttrLevel, *level);
    SetAttribute(attributes, kAttrMessage, *message);
    return LogCommand(*level, *message);
}

bool CLogCommand::LogCommand(const std::wstring& level_text, const std::wstring& message) {
    constexpr wchar_t kFunction[] = L"CLogCommand::LogCommand";
    std::int64_t level = kXmlLogError;
    const auto parsed = rk::text::parse_int64_exact(level_text);
    if (parsed && *parsed >= INT32_MIN && *parsed <= INT32_MAX) {
        level = *parsed;
    } else {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Invalid log level: %s", level_text);
    }
    if (level < 0 || level > kLogCommandMaxLevel) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Invalid log level: %d", static_cast<int>(level));
        return false;
    }
    XmlUpdaterLog(static_cast<unsigned>(level), kFile, kFunction, __LINE__, L"BSI XML Log: %s", message);
    return true;
}

}  // namespace XMLUpdater::v2
