// The engine-neutral IPluginObjectWrapperImpl: a method table with argument
// checks and the last error text. Every environment of this program offers
// plug-ins from it.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "script_host/plugin_object_wrapper_impl.h"

namespace Corvane::Script {

inline constexpr char kMsgMethodNotImplemented[] = "Object method not implemented: ";
inline constexpr char kMsgRegistrationClosed[] = "Method registration is closed";

class PluginMethodTable : public IPluginObjectWrapperImpl {
public:
    void BeginRegistration() override;
    void RegisterMethod(MethodEntry entry) override;
    void EndRegistration() override;
    bool Execute(const std::wstring& method, ScriptVariable& result, std::uint32_t count,
                 const ScriptVariable* args) override;
    std::vector<std::wstring> MethodNames() const override;
    bool HasMethod(const std::wstring& method) const override;
    std::wstring GetLastErrorMessage() const override;

private:
    std::vector<MethodEntry> methods_;
    std::unordered_map<std::wstring, std::size_t> index_;
    bool registering_ = false;
    mutable std::mutex error_mutex_;
    std::wstring last_error_;
};

}  // namespace Corvane::Script
