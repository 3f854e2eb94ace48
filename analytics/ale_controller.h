// Halden::Analytics::CALEController: the analytics engine's public control
// object. Constructed (statuses INVALID_STATE) -> Initialize (script
// thread running) -> Start (bootstrap loaded, start entry point queued) ->
// Shutdown (thread ended, statuses INVALID_STATE) -> Uninitialize (instance
// settings cleared, everything released). Every operation holds the
// controller's mutex; none throws except Shutdown for a terminate delay
// that is not an unsigned number.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "analytics/ale_status.h"

namespace Halden::Analytics {

class CALEScriptHostImpl;

class CALEController {
public:
    CALEController(const std::wstring& base_path, const std::wstring& reg_key);
    CALEController(const CALEController&) = delete;
    CALEController& operator=(const CALEController&) = delete;

    virtual ~CALEController();
    virtual ALE_STATUS Initialize();
    virtual ALE_STATUS Start();
    virtual ALE_STATUS Shutdown();
    virtual ALE_STATUS Uninitialize();
    virtual void AddSetting(const std::wstring& name, const std::wstring& value);
    virtual void RemoveSetting(const std::wstring& name);
    virtual std::wstring GetSetting(const std::wstring& name);
    virtual void SetVariable(const std::wstring& name, const std::wstring& value);
    virtual void SetVariable(const std::wstring& name, std::uint32_t value);

private:
    std::mutex mutex_;
    std::unique_ptr<CALEScriptHostImpl> impl_;
    std::atomic<ALE_STATUS> initialize_status_{ale_status::kInvalidState};
    std::atomic<ALE_STATUS> start_status_{ale_status::kInvalidState};
};

}  // namespace Halden::Analytics
