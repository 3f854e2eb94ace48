// The registry commands: REGISTRY and SET_REGISTRY (native view), SETREG32
// and SETREG64 (32-bit and 64-bit views). Attributes: Key, Type, Value
// (required), Name (empty: the default value), Volatile ("TRUE" or "1"),
// hive (full root key name, not expanded; anything else: local machine).
#pragma once

#include "platform/system/registry/registry.h"
#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

inline constexpr wchar_t kAttrType[] = L"Type";
inline constexpr wchar_t kAttrVolatile[] = L"Volatile";
inline constexpr wchar_t kAttrHive[] = L"hive";

// The shared routine: reads, expands, builds the data and writes the value
// with `access` (KEY_ALL_ACCESS plus the view bits of the command).
bool ParseAndExecute(AttributeMap& attributes, CSubstitutionManager* substitutions, rk::sys::reg::REGSAM access);

// The root key a `hive` attribute names; local machine for anything else.
rk::sys::reg::HKEY RootKeyFromHive(const std::wstring* hive);

class CRegistryCommand : public ICommand {
public:
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;
};

class CSetRegistryCommand : public CRegistryCommand {};

class CSetReg32Command : public ICommand, public CCommandFactorySupport<CSetReg32Command> {
public:
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;
};

class CSetReg64Command : public ICommand, public CCommandFactorySupport<CSetReg64Command> {
public:
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;
};

}  // namespace XMLUpdater::v2
