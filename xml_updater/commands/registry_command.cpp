#include "xml_updater/commands/registry_command.h"

#include <map>

#include "platform/config/reg_key.h"
#include "xml_updater/commands/command_support.h"
#include "xml_updater/commands/registry_data.h"
#include "xml_updater/commands/set_custom_dimension_command.h"
#include "xml_updater/commands/set_variable_command.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {

namespace reg = rk::sys::reg;
constexpr wchar_t kFile[] = L"registry_command.cpp";
constexpr wchar_t kVolatileTrue[] = L"TRUE";
constexpr wchar_t kVolatileOne[] = L"1";
constexpr wchar_t kDefaultValueName[] = L"(Default)";

const std::map<std::wstring, reg::HKEY>& hive_table() {
    static const std::map<std::wstring, reg::HKEY> table = {
        {L"HKEY_CLASSES_ROOT", reg::HKEY_CLASSES_ROOT},   {L"HKEY_CURRENT_CONFIG", reg::HKEY_CURRENT_CONFIG},
        {L"HKEY_CURRENT_USER", reg::HKEY_CURRENT_USER},   {L"HKEY_LOCAL_MACHINE", reg::HKEY_LOCAL_MACHINE},
        {L"HKEY_USERS", reg::HKEY_USERS},
    };
    return table;
}

bool SetRegistryKey(reg::HKEY root, const std::wstring& key, const std::wstring& name, const RegistryData& data,
                    reg::REGSAM access, bool is_volatile) {
    constexpr wchar_t kFunction[] = L"CRegistryCommand::SetRegistryKey";
    DiraDoro::CRegKey handle;
    const rk::LONG created = handle.Create(root, key.c_str(), nullptr,
                                       is_volatile ? reg::REG_OPTION_VOLATILE : reg::REG_OPTION_NON_VOLATILE, access);
    if (created != 0) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Error (%d) creating registry key: %s", created, key);
        return false;
    }
    const rk::LONG set =
        handle.SetValue(name.c_str(), data.type, data.bytes.data(), static_cast<std::uint32_t>(data.bytes.size()));
    if (set != 0) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Error (%d) setting value (%s) under registry key: %s",
                      set, name.empty() ? std::wstring(kDefaultValueName) : name, key);
        return false;
    }
    handle.Close();
    return true;
}

}  // namespace

reg::HKEY RootKeyFromHive(const std::wstring* hive) {
    if (hive != nullptr) {
        const auto it = hive_table().find(*hive);
        if (it != hive_table().end()) {
            return it->second;
        }
    }
    return reg::HKEY_LOCAL_MACHINE;
}

bool ParseAndExecute(AttributeMap& attributes, CSubstitutionManager* substitutions, reg::REGSAM access) {
    constexpr wchar_t kFunction[] = L"CRegistryCommand::ParseAndExecute";
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgInvalidSubstitutor);
        return false;
    }
    auto key = attribute(attributes, kAttrKey);
    auto type = attribute(attributes, kAttrType);
    auto value = attribute(attributes, kAttrValue);
    if (!key || !type || !value) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Unable to read Key or Type or Value attribute of REGISTRY command");
        return false;
    }
    std::wstring name = attribute(attributes, kAttrName).value_or(L"");
    const auto is_volatile_text = attribute(attributes, kAttrVolatile);
    const bool is_volatile = is_volatile_text && (*is_volatile_text == kVolatileTrue || *is_volatile_text == kVolatileOne);
    const auto hive = attribute(attributes, kAttrHive);
    const reg::HKEY root = RootKeyFromHive(hive ? &*hive : nullptr);

    if (!substitutions->Substitute(*key) || !substitutions->Substitute(*type) || !substitutions->Substitute(*value) ||
        !substitutions->Substitute(name)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to substitute variables for the REGISTRY command");
        return false;
    }
    SetAttribute(attributes, kAttrKey, *key);
    SetAttribute(attributes, kAttrType, *type);
    SetAttribute(attributes, kAttrValue, *value);
    if (attributes.contains(kAttrName)) {
        SetAttribute(attributes, kAttrName, name);
    }
    RegistryData data;
    if (!BuildRegistryData(*type, *value, data)) {
        return false;
    }
    return SetRegistryKey(root, *key, name, data, access, is_volatile);
}

bool CRegistryCommand::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                               std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    return ParseAndExecute(attributes, substitutions, reg::KEY_ALL_ACCESS);
}

bool CSetReg32Command::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                               std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    return ParseAndExecute(attributes, substitutions, reg::KEY_ALL_ACCESS | reg::KEY_WOW64_32KEY);
}

bool CSetReg64Command::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                               std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    return ParseAndExecute(attributes, substitutions, reg::KEY_ALL_ACCESS | reg::KEY_WOW64_64KEY);
}

}  // namespace XMLUpdater::v2
