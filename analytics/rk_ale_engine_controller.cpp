#include "analytics/rk_ale_engine_controller.h"

#include <exception>

#include "analytics/ale_settings.h"
#include "platform/logging/process_logger.h"
#include "platform/errors/win_error.h"
#include "platform/system/files.h"
#include "platform/system/folder.h"
#include "platform/system/known_folders.h"
#include "profile/profile_data.h"

namespace Halden::Analytics {
namespace {

constexpr wchar_t kFile[] = L"RkALEEngineController.cpp";

template <typename... A>
void log_line(LogLevel level, const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(level)) {
        LogMessage(level, kFile, function, line, format, args...);
    }
}
constexpr LogLevel kProgress = rk::log_level::kInformation;
constexpr LogLevel kFailure = rk::log_level::kError;

struct Instance {
    std::mutex mutex;
    std::shared_ptr<CRkALEEngineController> controller;
    EngineOptions options;
};

Instance& instance() {
    static Instance value;
    return value;
}

// Created during static initialisation, as the product's unnamed mutex is.
std::recursive_mutex& engine_lock_at_start = CRkALEEngineController::EngineLock();

}  // namespace

std::recursive_mutex& CRkALEEngineController::EngineLock() {
    static std::recursive_mutex lock;
    return lock;
}

void CRkALEEngineController::SetEngineOptions(EngineOptions options) {
    const std::lock_guard lock(instance().mutex);
    instance().options = std::move(options);
}

std::shared_ptr<CRkALEEngineController> CRkALEEngineController::GetALEEngineControllerInstance() {
    constexpr wchar_t kFunction[] = L"CRkALEEngineController::GetALEEngineControllerInstance";
    auto& slot = instance();
    {
        const std::lock_guard lock(slot.mutex);
        if (slot.controller) {
            log_line(kProgress, kFunction, __LINE__, L"Instance Already Created, return");
            return slot.controller;
        }
    }
    const std::lock_guard engine(EngineLock());
    const std::lock_guard lock(slot.mutex);
    if (!slot.controller) {
        EngineOptions options = slot.options;
        if (options.content_update_url.empty()) {
            options.content_update_url = rk::profile::kContentUpdateUrl;
        }
        slot.controller.reset(new CRkALEEngineController(std::move(options)));
    }
    return slot.controller;
}

void CRkALEEngineController::DestroyInstance() {
    std::shared_ptr<CRkALEEngineController> gone;
    {
        const std::lock_guard lock(instance().mutex);
        gone = std::move(instance().controller);
    }
    // Released outside the instance lock: the engine stops its thread here.
}

bool CRkALEEngineController::Is_Symbolic_Link(const std::wstring& path) {
    constexpr wchar_t kFunction[] = L"CRkALEEngineController::Is_Symbolic_Link";
    log_line(kProgress, kFunction, __LINE__, L"Entering CRkALEEngineController::Is_Symbolic_Link");
    bool link = false;
    rk::sys::FileStatus status;
    if (!path.empty() && rk::sys::get_file_status(path, status) == 0 &&
        (status.attributes & rk::sys::kFileAttributeReparsePoint) != 0) {
        link = (status.reparse_tag & 0xA0000003u) == 0xA0000003u || (status.reparse_tag & 0xA000000Cu) == 0xA000000Cu;
    }
    log_line(kProgress, kFunction, __LINE__, L"Leaving CRkALEEngineController::Is_Symbolic_Link");
    return link;
}

void CRkALEEngineController::CheckDataFolder() {
    constexpr wchar_t kFunction[] = L"CRkALEEngineController::InitializeAndStartALEEngine";
    std::wstring program_data;
    if (const rk::DWORD error = rk::sys::KnownFolders().path(rk::sys::KnownFolder::ProgramData, program_data);
        error != 0) {
        log_line(kFailure, kFunction, __LINE__, L"Unable to get Program data path Error: %d",
                 rk::win::hresult_from_win32(error));
        return;
    }
    if (Is_Symbolic_Link(program_data + L"\\" + kEngineDataFolder)) {
        log_line(kProgress, kFunction, __LINE__, L"Removing directory as symbolic link has been found");
    } else {
        log_line(kProgress, kFunction, __LINE__, L"Symbolic Link Not found");
    }
    // Walked level by level below ProgramData without following links: a
    // link at any level (the data folder or a parent) is removed, not its
    // target, and a real folder takes its place.
    rk::sys::Folder folder;
    if (const rk::DWORD error = rk::sys::prepare_folder(program_data, kEngineDataFolder,
                                                        rk::sys::FolderCreation::kAll, folder);
        error != 0) {
        log_line(kFailure, kFunction, __LINE__, L"Unable to prepare the data folder %s: error %u",
                 program_data + L"\\" + kEngineDataFolder, error);
    }
}

void CRkALEEngineController::InitializeAndStartALEEngine() {
    constexpr wchar_t kFunction[] = L"CRkALEEngineController::InitializeAndStartALEEngine";
    const std::lock_guard engine(EngineLock());
    CheckDataFolder();
    for (int attempt = 0; attempt < kEngineStartAttempts; ++attempt) {
        if (!controller_) {
            controller_ = std::make_shared<CALEController>(kEngineBasePath, kEngineRegKey);
            log_line(kProgress, kFunction, __LINE__, L"Created instance for controller");
        } else {
            log_line(kProgress, kFunction, __LINE__, L"Controller is already created");
        }
        controller_->AddSetting(kSettingScriptHostType, kEngineScriptHostType);
        controller_->AddSetting(kSettingProductName, kProductName);
        controller_->AddSetting(kSettingContentUpdateUrl, options_.content_update_url);
        ALE_STATUS status = controller_->Initialize();
        if (status != ale_status::kSuccess) {
            log_line(kFailure, kFunction, __LINE__, L"ALE Engine Intialization got failed, status is: %s",
                     AleStatusText(status));
            continue;
        }
        log_line(kProgress, kFunction, __LINE__, L"ALE Engine Initialized successfully");
        status = controller_->Start();
        if (status == ale_status::kSuccess) {
            started_ = true;
            controller_->AddSetting(kSettingTerminateDelay, options_.terminate_delay);
            log_line(kProgress, kFunction, __LINE__, L"ALE Engine Started successfully");
            break;
        }
        log_line(kFailure, kFunction, __LINE__, L"ALE Engine Start got failed, status is: %s", AleStatusText(status));
    }
}

void CRkALEEngineController::StopAndUninitializeALEEngine() {
    constexpr wchar_t kFunction[] = L"CRkALEEngineController::StopAndUninitializeALEEngine";
    const std::lock_guard engine(EngineLock());
    if (!started_) {
        log_line(kProgress, kFunction, __LINE__, L"ALEEngine was not started");
        return;
    }
    if (!controller_) {
        log_line(kFailure, kFunction, __LINE__, L"m_pController is NULL");
        return;
    }
    ALE_STATUS status = ale_status::kUnknownException;
    try {
        status = controller_->Shutdown();
    } catch (const std::exception& e) {
        // A terminate delay that is no number; the controller's destructor
        // stops the engine without a delay.
        log_line(kFailure, kFunction, __LINE__, L"ALE Engine shutdown got failed, status is: %s",
                 AleStatusText(status));
        log_line(kFailure, kFunction, __LINE__, L"%hs", e.what());
        return;
    }
    if (status != ale_status::kSuccess) {
        log_line(kFailure, kFunction, __LINE__, L"ALE Engine shutdown got failed, status is: %s", AleStatusText(status));
        return;
    }
    log_line(kProgress, kFunction, __LINE__, L"ALE Engine stopped successfully");
    status = controller_->Uninitialize();
    if (status == ale_status::kSuccess) {
        log_line(kProgress, kFunction, __LINE__, L"ALE Engine Unitialization successfully");
    } else {
        log_line(kFailure, kFunction, __LINE__, L"ALE Engine Unitialization got failed, status is: %s",
                 AleStatusText(status));
    }
}

}  // namespace Halden::Analytics
