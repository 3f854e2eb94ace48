#include "telemetry/rk_updater_module_events.h"

#include <cstdint>
#include <mutex>
#include <utility>

#include "analytics/rk_ale_engine_controller.h"
#include "platform/logging/process_logger.h"
#include "telemetry/rk_events_tracker.h"
#include "telemetry/updater_events.h"

namespace rk::telemetry {
namespace {

constexpr wchar_t kFile[] = L"rk_updater_module_events.cpp";

std::mutex& observer_mutex() {
    static std::mutex mutex;
    return mutex;
}

UpdaterEventObserver& observer_slot() {
    static UpdaterEventObserver observer;
    return observer;
}

void notify(DWORD id, const std::wstring& detail) {
    std::lock_guard lock(observer_mutex());
    if (observer_slot()) {
        observer_slot()(id, detail);
    }
}

}  // namespace

std::wstring FormPayload(std::wstring_view detail) {
    if (detail.empty()) {
        return {};
    }
    std::wstring payload(kPayloadPrefix);
    payload.append(detail);
    return payload;
}

DWORD TrackEvent(DWORD id, const std::wstring& payload) {
    if (IsLogLevelEnabled(log_level::kProgress)) {
        LogMessage(log_level::kProgress, kFile, L"TrackEvents", __LINE__, L"TrackEvent called to track event: %us", id);
    }
    // Created on first use and kept for the life of the process.
    static RkEventsTracker tracker;
    const Variant args[] = {Variant::I4(static_cast<std::int32_t>(id)), Variant::Bstr(payload)};
    Variant result;
    if (tracker.Invoke(kDispIdTrackEvent, args, result) == 0 && result.vt() == VarType::kBool && result.boolVal()) {
        if (IsLogLevelEnabled(log_level::kProgress)) {
            LogMessage(log_level::kProgress, kFile, L"TrackEvents", __LINE__, L"TrackEvent completed for event: %us",
                       id);
        }
        return 0;
    }
    if (IsLogLevelEnabled(log_level::kNormal)) {
        LogMessage(log_level::kNormal, kFile, L"TrackEvents", __LINE__, L"TrackEvent failed to track event: %u", id);
    }
    return 1;
}

UpdaterEventObserver SetUpdaterEventObserver(UpdaterEventObserver observer) {
    std::lock_guard lock(observer_mutex());
    return std::exchange(observer_slot(), std::move(observer));
}

}  // namespace rk::telemetry

namespace {

using Halden::Analytics::CRkALEEngineController;

void init_engine() {
    const std::lock_guard engine(CRkALEEngineController::EngineLock());
    if (const auto controller = CRkALEEngineController::GetALEEngineControllerInstance()) {
        if (IsLogLevelEnabled(rk::log_level::kInformation)) {
            LogMessage(rk::log_level::kInformation, rk::telemetry::kFile, L"InitALEEngine", __LINE__,
                       L"Initializing and Starting ALEEngine");
        }
        controller->InitializeAndStartALEEngine();
    }
}

void deinit_engine() {
    const std::lock_guard engine(CRkALEEngineController::EngineLock());
    if (const auto controller = CRkALEEngineController::GetALEEngineControllerInstance()) {
        if (IsLogLevelEnabled(rk::log_level::kInformation)) {
            LogMessage(rk::log_level::kInformation, rk::telemetry::kFile, L"DeinitALEEngine", __LINE__,
                       L"Stopping and Uninitializing the ALEEngine");
        }
        controller->StopAndUninitializeALEEngine();
    }
    CRkALEEngineController::DestroyInstance();
}

}  // namespace

void SendRkUpdaterModuleEvents(rk::DWORD id, const std::wstring& detail) {
    try {
        init_engine();
    } catch (...) {
        // The engine is telemetry's own business; the event still counts.
    }
    try {
        const std::wstring payload = rk::telemetry::FormPayload(detail);
        if (!payload.empty() && IsLogLevelEnabled(rk::log_level::kProgress)) {
            LogMessage(rk::log_level::kProgress, rk::telemetry::kFile, L"SendRkUpdaterModuleEvents", __LINE__,
                       L"Data formed to track is: %s", payload);
        }
        rk::telemetry::notify(id, detail);
        rk::telemetry::TrackEvent(id, payload);
    } catch (...) {
        // Reporting never fails the caller's pass (allocation failures included).
    }
    try {
        deinit_engine();
    } catch (...) {
    }
}
