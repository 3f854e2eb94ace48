// A FIFO plug-in of values.
//
//   IsEmpty() -> boolean      Size() -> integer
//   Front(), Back() -> a copy of the first / last value, empty when none
//   Push(any)                 appends; an empty value is ignored (logged)
//   Pop()                     removes the first value, if any
//
// The queue holds at most kMaxQueueSize values; a Push beyond throws, so a
// runaway script cannot grow native memory without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string>

#include "platform/logging/process_logger.h"
#include "script_host/plugin_object.h"

namespace Corvane::Script {

inline constexpr std::size_t kMaxQueueSize = 65536;
inline constexpr wchar_t kMsgPushEmptyElement[] = L"Tried to push an empty element. Going to ignore element";
inline constexpr char kMsgQueueFull[] = "Queue is full: 65536 values";

template <typename T>
class CQueuePlugin : public PluginObject {
public:
    explicit CQueuePlugin(IScriptEnvironmentFactory* factory)
        : PluginObject(factory, {
                                    Method(L"IsEmpty", {}, this, &CQueuePlugin::IsEmpty),
                                    Method(L"Size", {}, this, &CQueuePlugin::Size),
                                    Method(L"Front", {}, this, &CQueuePlugin::Front),
                                    Method(L"Back", {}, this, &CQueuePlugin::Back),
                                    Method(L"Push", {kArgAny}, this, &CQueuePlugin::Push),
                                    Method(L"Pop", {}, this, &CQueuePlugin::Pop),
                                }) {}

protected:
    // Whether a value counts as empty (not queued).
    virtual bool IsEmptyValue(const T& value) const = 0;

private:
    void IsEmpty(ScriptVariable& result, std::uint32_t, const ScriptVariable*) { result = ScriptVariable(items_.empty()); }
    void Size(ScriptVariable& result, std::uint32_t, const ScriptVariable*) {
        result = ScriptVariable(static_cast<std::uint32_t>(items_.size()));
    }
    void Front(ScriptVariable& result, std::uint32_t, const ScriptVariable*) {
        if (!items_.empty()) {
            result = items_.front();
        }
    }
    void Back(ScriptVariable& result, std::uint32_t, const ScriptVariable*) {
        if (!items_.empty()) {
            result = items_.back();
        }
    }
    void Push(ScriptVariable&, std::uint32_t count, const ScriptVariable* args) {
        if (count == 0 || IsEmptyValue(args[0])) {
            if (IsLogLevelEnabled(rk::log_level::kWarning)) {
                LogMessage(rk::log_level::kWarning, L"queue_plugin.h", L"CQueuePlugin::Push", __LINE__,
                           kMsgPushEmptyElement);
            }
            return;
        }
        if (items_.size() >= kMaxQueueSize) {
            throw std::length_error(kMsgQueueFull);
        }
        items_.push_back(args[0]);
    }
    void Pop(ScriptVariable&, std::uint32_t, const ScriptVariable*) {
        if (!items_.empty()) {
            items_.pop_front();
        }
    }

    std::deque<T> items_;
};

}  // namespace Corvane::Script
