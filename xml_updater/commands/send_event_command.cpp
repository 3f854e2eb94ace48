#include "xml_updater/commands/send_event_command.h"

#include <array>
#include <optional>

#include "xml_updater/commands/command_support.h"
#include "xml_updater/commands/set_custom_dimension_command.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"send_event_command.cpp";
constexpr wchar_t kFunction[] = L"CSendEventCommand::Execute";
constexpr wchar_t kMsgSubstitute[] = L"Unable to substitute variables for the SEND_EVENT command";

const wchar_t* text_or_null(const std::optional<std::wstring>& value) { return value ? value->c_str() : nullptr; }
}  // namespace

bool CSendEventCommand::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                                std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) {
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgInvalidSubstitutor);
        return false;
    }
    if (!sender) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Encountered SEND_EVENT, but no event reporter was defined");
        return true;
    }
    if (!attributes.contains(kAttrCategory) || !attributes.contains(kAttrAction)) {
        auto name = attribute(attributes, kAttrName);
        if (!name) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Invalid arguments passed to SEND_EVENT command");
            return false;
        }
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, L"Unexpected call to legacy SEND_EVENT command");
        if (!substitutions->Substitute(*name)) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgSubstitute);
            return false;
        }
        SetAttribute(attributes, kAttrName, *name);
        sender->SendEvent(kLegacyCategory, name->c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        return true;
    }
    // ec, ea, el, r1 .. r5 in the order they are expanded.
    static constexpr std::array<const wchar_t*, 8> kKeys = {kAttrCategory, kAttrAction, kAttrLabel, L"r1",
                                                            L"r2",          L"r3",       L"r4",       L"r5"};
    std::array<std::optional<std::wstring>, 8> values;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        values[i] = attribute(attributes, kKeys[i]);
        if (values[i]) {
            if (!substitutions->Substitute(*values[i])) {
                XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgSubstitute);
                return false;
            }
            attributes[kKeys[i]] = *values[i];
        }
    }
    if (!values[2]) {
        values[2] = kDefaultLabel;
    }
    sender->SendEvent(text_or_null(values[0]), text_or_null(values[1]), text_or_null(values[2]),
                      text_or_null(values[3]), text_or_null(values[4]), text_or_null(values[5]),
                      text_or_null(values[6]), text_or_null(values[7]));
    return true;
}

}  // namespace XMLUpdater::v2
