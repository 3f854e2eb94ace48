#include "analytics/ale_controller.h"

#include <exception>

#include "analytics/ale_script_host_impl.h"
#include "analytics/analytics_log.h"
#include "analytics/inproc_api_transport.h"
#include "analytics/transport_registry.h"

namespace Halden::Analytics {
namespace {
constexpr wchar_t kFile[] = L"ALEController.cpp";
}

CALEController::CALEController(const std::wstring& base_path, const std::wstring& reg_key)
    : impl_(std::make_unique<CALEScriptHostImpl>()) {
    RegisterTransport(CInProcAPITransport::Instance());
    auto& settings = impl_->Settings();
    settings.AddSetting(kSettingBasePath, base_path);
    settings.AddSetting(kSettingBaseRegKey, reg_key);
    settings.AddSetting(kSettingTerminateDelay, L"5");
    settings.AddSetting(kSettingIntegrationType, L"static");
}

CALEController::~CALEController() {
    const std::lock_guard lock(mutex_);
    if (impl_->HasHost()) {
        try {
            impl_->Shutdown();
        } catch (const std::exception& e) {
            // A terminate delay that is not a number: stop without waiting.
            log::Write(log::kFailure, kFile, L"CALEController::~CALEController", __LINE__,
                       L"Stopping without delay: %hs", e.what());
            impl_->Settings().AddSetting(kSettingTerminateDelay, L"0");
            impl_->Shutdown();
        }
    }
    impl_->Uninitialize();
}

ALE_STATUS CALEController::Initialize() {
    const std::lock_guard lock(mutex_);
    if (initialize_status_ != ale_status::kSuccess) {
        initialize_status_.exchange(impl_->Initialize());
    }
    return initialize_status_;
}

ALE_STATUS CALEController::Start() {
    const std::lock_guard lock(mutex_);
    if (start_status_ != ale_status::kSuccess) {
        start_status_.exchange(impl_->Start());
    }
    return start_status_;
}

ALE_STATUS CALEController::Shutdown() {
    const std::lock_guard lock(mutex_);
    const ALE_STATUS status = impl_->Shutdown();
    if (status == ale_status::kSuccess) {
        initialize_status_.exchange(ale_status::kInvalidState);
        start_status_.exchange(ale_status::kInvalidState);
    }
    return status;
}

ALE_STATUS CALEController::Uninitialize() {
    const std::lock_guard lock(mutex_);
    const ALE_STATUS status = impl_->Uninitialize();
    if (status == ale_status::kSuccess) {
        initialize_status_.exchange(ale_status::kInvalidState);
        start_status_.exchange(ale_status::kInvalidState);
    }
    return status;
}

void CALEController::AddSetting(const std::wstring& name, const std::wstring& value) {
    const std::lock_guard lock(mutex_);
    impl_->Settings().AddSetting(name, value);
}

void CALEController::RemoveSetting(const std::wstring& name) {
    const std::lock_guard lock(mutex_);
    impl_->Settings().RemoveSetting(name);
}

std::wstring CALEController::GetSetting(const std::wstring& name) {
    const std::lock_guard lock(mutex_);
    return impl_->Settings().GetSetting(name);
}

void CALEController::SetVariable(const std::wstring& name, const std::wstring& value) {
    const std::lock_guard lock(mutex_);
    impl_->SetVariable(name, Corvane::Script::ScriptVariable(value));
}

void CALEController::SetVariable(const std::wstring& name, std::uint32_t value) {
    const std::lock_guard lock(mutex_);
    impl_->SetVariable(name, Corvane::Script::ScriptVariable(value));
}

}  // namespace Halden::Analytics
