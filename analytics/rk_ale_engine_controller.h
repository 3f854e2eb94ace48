// CRkALEEngineController: the updater's analytics engine, one event report
// at a time. The telemetry creates the instance, starts the engine, sends
// the record, stops it and destroys the instance (so the next event gets a
// fresh engine). Start, stop and instance creation hold the process-wide
// engine lock (recursive, as a Windows mutex is).
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "analytics/ale_controller.h"

namespace Halden::Analytics {

// The engine's data folder below ProgramData.
inline constexpr wchar_t kEngineDataFolder[] = L"Corvane\\LumoraClientAnalytics";
inline constexpr wchar_t kEngineBasePath[] = L"$(FOLDERID_ProgramData)\\Corvane\\LumoraClientAnalytics";
inline constexpr wchar_t kEngineRegKey[] = L"HKLM\\SOFTWARE\\Corvane\\LumoraAnalytics";
inline constexpr wchar_t kEngineScriptHostType[] = L"legacy";
inline constexpr wchar_t kSettingProductName[] = L"Product_Name";
inline constexpr wchar_t kProductName[] = L"lumora";
inline constexpr wchar_t kSettingContentUpdateUrl[] = L"product_content_update_url";
inline constexpr int kEngineStartAttempts = 3;

// What differs between the product and its tests and tools.
struct EngineOptions {
    std::wstring content_update_url;    // default: the profile's
    std::wstring terminate_delay = L"20";  // seconds, set after a successful start
};

class CRkALEEngineController {
public:
    // The instance, created under the engine lock when there is none.
    static std::shared_ptr<CRkALEEngineController> GetALEEngineControllerInstance();
    // Destroys the instance (under the instance lock): the next call above
    // makes a fresh one.
    static void DestroyInstance();
    // The engine lock.
    static std::recursive_mutex& EngineLock();
    // Applies to instances created afterwards.
    static void SetEngineOptions(EngineOptions options);

    void InitializeAndStartALEEngine();
    void StopAndUninitializeALEEngine();
    static bool Is_Symbolic_Link(const std::wstring& path);

    bool Started() const { return started_; }
    CALEController* Controller() const { return controller_.get(); }

private:
    explicit CRkALEEngineController(EngineOptions options) : options_(std::move(options)) {}
    void CheckDataFolder();

    EngineOptions options_;
    bool started_ = false;
    std::shared_ptr<CALEController> controller_;
};

}  // namespace Halden::Analytics
