#include "script_host/plugins/registry_plugin.h"

#include <stdexcept>
#include <string>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/system/registry/root_key_name.h"

namespace Corvane::Script {
namespace {

namespace reg = rk::sys::reg;

constexpr DiraDoro::REGSAM kNativeView = 0;

[[noreturn]] void throw_code(const char* prefix, DiraDoro::LONG code) {
    throw std::runtime_error(prefix + std::to_string(code));
}

}  // namespace

CRegistryPlugin::CRegistryPlugin(IScriptEnvironmentFactory* factory) : PluginObject(factory, Methods(this)) {}

MethodTable CRegistryPlugin::Methods(CRegistryPlugin* self) {
    const struct {
        const wchar_t* name;
        DiraDoro::REGSAM view;
        bool create;
    } openers[] = {
        {L"OpenReg", kNativeView, false},            {L"OpenReg32", reg::KEY_WOW64_32KEY, false},
        {L"OpenReg64", reg::KEY_WOW64_64KEY, false}, {L"CreateReg", kNativeView, true},
        {L"CreateReg32", reg::KEY_WOW64_32KEY, true}, {L"CreateReg64", reg::KEY_WOW64_64KEY, true},
    };
    MethodTable methods;
    for (const auto& opener : openers) {
        methods.push_back({opener.name, {kArgString},
                           [self, view = opener.view, create = opener.create](
                               ScriptVariable& r, std::uint32_t, const ScriptVariable* a) { self->Open(r, a, view, create); }});
    }
    methods.push_back(Method(L"QueryValue", {kArgString, kArgBoolean | kArgOptional}, self, &CRegistryPlugin::QueryValue));
    methods.push_back(
        Method(L"SetValue", {kArgString, kArgAny, kArgBoolean | kArgOptional}, self, &CRegistryPlugin::SetValue));
    return methods;
}

void CRegistryPlugin::Open(ScriptVariable& result, const ScriptVariable* args, DiraDoro::REGSAM view, bool create) {
    scrambled_.reset();
    const auto path = reg::split_rooted_key_path(args[0].GetString());
    if (!path) {
        key_.Close();
        open_.reset();
        result = ScriptVariable(false);
        return;
    }
    const DiraDoro::REGSAM access = (create ? reg::KEY_WRITE | reg::KEY_QUERY_VALUE : reg::KEY_QUERY_VALUE) | view;
    const DiraDoro::LONG error = create ? key_.Create(path->root, path->subkey.c_str(), nullptr,
                                                      reg::REG_OPTION_NON_VOLATILE, access)
                                        : key_.Open(path->root, path->subkey.c_str(), access);
    if (error != 0) {
        key_.Close();
        open_.reset();
    } else {
        open_ = OpenKey{path->root, path->subkey, access};
    }
    result = ScriptVariable(error == 0);
}

DiraDoro::CRegKey& CRegistryPlugin::KeyFor(bool scrambled, const char* failure_prefix) {
    if (!scrambled) {
        return key_;
    }
    if (!scrambled_) {
        DiraDoro::CObfuscatedRegKey key;
        if (const DiraDoro::LONG error = key.Open(open_->root, open_->subkey.c_str(), open_->access); error != 0) {
            throw_code(failure_prefix, error);
        }
        scrambled_ = key;
    }
    return *scrambled_;
}

void CRegistryPlugin::QueryValue(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args) {
    if (!open_) {
        throw std::runtime_error(kMsgRegKeyNotInitialized);
    }
    const std::wstring& name = args[0].GetString();
    if (name.empty()) {
        throw std::runtime_error(kMsgQueryValueNameEmpty);
    }
    DiraDoro::CRegKey& key = KeyFor(count > 1 && args[1].GetBool(), kMsgQueryValueReturned);
    DiraDoro::DWORD type = 0;
    DiraDoro::ULONG size = 0;
    DiraDoro::LONG error = key.QueryValue(name.c_str(), &type, nullptr, &size);
    if (error == 0) {
        switch (type) {
            case reg::REG_DWORD: {
                DiraDoro::DWORD value = 0;
                error = key.QueryDWORDValue(name.c_str(), value);
                result = ScriptVariable(static_cast<std::uint32_t>(value));
                break;
            }
            case reg::REG_QWORD: {
                DiraDoro::ULONGLONG value = 0;
                error = key.QueryQWORDValue(name.c_str(), value);
                result = ScriptVariable(std::to_wstring(value));
                break;
            }
            case reg::REG_SZ:
            case reg::REG_EXPAND_SZ: {
                std::wstring value;
                error = key.QueryStringValue(name.c_str(), value);
                result = ScriptVariable(std::move(value));
                break;
            }
            default: error = rk::win::kErrorInvalidData;
        }
    }
    if (error != 0) {
        result.Clear();
        throw_code(kMsgQueryValueReturned, error);
    }
}

void CRegistryPlugin::SetValue(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args) {
    if (count < 2) {  // "any" is optional by its bits; the value is not
        throw std::logic_error(kMsgIncorrectParameters + std::to_string(count));
    }
    if (!open_) {
        throw std::runtime_error(kMsgRegKeyNotInitialized);
    }
    const ScriptVariable& value = args[1];
    const wchar_t* name = args[0].GetString().c_str();
    DiraDoro::CRegKey& key = KeyFor(count > 2 && args[2].GetBool(), kMsgSetValueReturned);
    DiraDoro::LONG error = 0;
    switch (value.GetType()) {
        case ScriptVariableType::kString: error = key.SetStringValue(name, value.GetString().c_str()); break;
        case ScriptVariableType::kInteger: error = key.SetDWORDValue(name, value.GetInt()); break;
        case ScriptVariableType::kBoolean: error = key.SetDWORDValue(name, value.GetBool() ? 1 : 0); break;
        default: throw std::logic_error(kMsgSetValueType + std::to_string(value.GetTypeNumber()));
    }
    if (error != 0) {
        throw_code(kMsgSetValueReturned, error);
    }
    result = ScriptVariable(true);
}

}  // namespace Corvane::Script
