// "registry": one open key at a time, in any registry view.
//
//   OpenReg, OpenReg32, OpenReg64(string "HKLM\path")    open for reading; true on success
//   CreateReg, CreateReg32, CreateReg64(string)          create or open for writing
//   QueryValue(string name[, boolean scrambled])          string (REG_SZ, REG_EXPAND_SZ,
//                                                        REG_QWORD as decimal text) or integer
//   SetValue(string name, string|integer|boolean value[, boolean scrambled])
//
// The optional boolean reads or writes the value through the scrambled store
// (DiraDoro::CObfuscatedRegKey) of the same key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/config/reg_key.h"
#include "script_host/plugin_object.h"

namespace Corvane::Script {

inline constexpr char kMsgRegKeyNotInitialized[] = "regKey is not initialized";
inline constexpr char kMsgQueryValueNameEmpty[] = "strQueryValue is empty";
inline constexpr char kMsgQueryValueReturned[] = "QueryValue returned - ";
inline constexpr char kMsgSetValueReturned[] = "SetValue returned - ";
inline constexpr char kMsgSetValueType[] = "SetValue takes a string, an integer or a boolean; type passed: ";

class CRegistryPlugin : public PluginObject {
public:
    explicit CRegistryPlugin(IScriptEnvironmentFactory* factory);

    std::wstring GetName() override { return L"Registry Plugin"; }

private:
    struct OpenKey {
        DiraDoro::HKEY root = nullptr;
        std::wstring subkey;
        DiraDoro::REGSAM access = 0;
    };

    static MethodTable Methods(CRegistryPlugin* self);
    void Open(ScriptVariable& result, const ScriptVariable* args, DiraDoro::REGSAM view, bool create);
    // The key to read or write a value through: the open one, or the
    // scrambled store of the same key.
    DiraDoro::CRegKey& KeyFor(bool scrambled, const char* failure_prefix);
    void QueryValue(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void SetValue(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    DiraDoro::CRegKey key_;
    std::optional<OpenKey> open_;
    std::optional<DiraDoro::CObfuscatedRegKey> scrambled_;
};

}  // namespace Corvane::Script
