#include "script_host/plugin_method_table.h"

#include <exception>
#include <stdexcept>

#include "platform/text/utf.h"

namespace Corvane::Script {

void PluginMethodTable::BeginRegistration() { registering_ = true; }

void PluginMethodTable::RegisterMethod(MethodEntry entry) {
    if (!registering_) {
        throw std::logic_error(kMsgRegistrationClosed);
    }
    if (const auto it = index_.find(entry.name); it != index_.end()) {
        methods_[it->second] = std::move(entry);
        return;
    }
    index_.emplace(entry.name, methods_.size());
    methods_.push_back(std::move(entry));
}

void PluginMethodTable::EndRegistration() { registering_ = false; }

bool PluginMethodTable::Execute(const std::wstring& method, ScriptVariable& result, std::uint32_t count,
                                const ScriptVariable* args) {
    try {
        const auto it = index_.find(method);
        if (it == index_.end()) {
            throw std::runtime_error(kMsgMethodNotImplemented + rk::text::wide_to_utf8(method));
        }
        const MethodEntry& entry = methods_[it->second];
        RequireArguments(count, args, entry.spec);
        result.Clear();
        entry.handler(result, count, count == 0 ? nullptr : args);
        return true;
    } catch (const std::exception& e) {
        std::lock_guard lock(error_mutex_);
        last_error_ = rk::text::utf8_to_wide(e.what());
        throw;
    }
}

std::vector<std::wstring> PluginMethodTable::MethodNames() const {
    std::vector<std::wstring> names;
    names.reserve(methods_.size());
    for (const auto& m : methods_) {
        names.push_back(m.name);
    }
    return names;
}

bool PluginMethodTable::HasMethod(const std::wstring& method) const { return index_.contains(method); }

std::wstring PluginMethodTable::GetLastErrorMessage() const {
    std::lock_guard lock(error_mutex_);
    return last_error_;
}

}  // namespace Corvane::Script
