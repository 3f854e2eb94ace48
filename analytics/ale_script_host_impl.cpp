#include "analytics/ale_script_host_impl.h"

#include <string>
#include <utility>

#include "analytics/analytics_log.h"
#include "analytics/analytics_logging_plugin.h"
#include "analytics/bsi_plugin.h"
#include "analytics/cancellable_environment.h"
#include "analytics/inproc_api_plugin.h"
#include "analytics/restful_plugin.h"
#include "analytics/script_host_type.h"
#include "platform/config/obfuscated_reg_key.h"
#include "platform/macros/common_replacements.h"
#include "platform/system/waitable_event.h"
#include "platform/text/format.h"
#include "script_host/async_script_host.h"
#include "script_host/plugin_factory.h"
#include "script_host/plugins/builtin_plugins.h"
#include "script_host/plugins/context_item_store_slot.h"
#include "script_host/plugins/script_variable_store.h"
#include "script_host/script_operation_if.h"
#include "script_host/script_operation_invoker_if.h"

namespace Halden::Analytics {
namespace {

constexpr wchar_t kFile[] = L"ALEScriptHostImpl.cpp";
using Corvane::Script::ScriptVariable;
using Corvane::Script::WaitStatus;
using log::kFailure;

constexpr wchar_t kFunctionAddScript[] = L"AddScript";
constexpr wchar_t kFunctionAddScriptFromFile[] = L"AddScriptFromFile";
constexpr wchar_t kFunctionSet[] = L"set";
constexpr wchar_t kFunctionLogInformation[] = L"logInformation";
constexpr wchar_t kStopSignal[] = L"stop_signal_received";

bool script_debug_enabled(const std::wstring& key_path) {
    bool machine = true;
    std::wstring subkey;
    if (!SplitRegistryPath(key_path, machine, subkey)) {
        return false;
    }
    DiraDoro::CObfuscatedRegKey key;
    if (key.Open(machine ? rk::sys::reg::HKEY_LOCAL_MACHINE : rk::sys::reg::HKEY_CURRENT_USER, subkey.c_str(),
                 rk::sys::reg::KEY_READ) != 0) {
        return false;
    }
    rk::DWORD value = 0;
    return key.QueryDWORDValue(kRegValueEnableScriptDebug, value) == 0 && value != 0;
}

// Waits for a queued call; 0 when it succeeded, else the wait status.
std::uint32_t wait_for(const std::shared_ptr<Corvane::Script::IScriptOperation>& operation, std::uint32_t ms) {
    ScriptVariable result;
    return static_cast<std::uint32_t>(operation->Wait(ms, result));
}

}  // namespace

CALEScriptHostImpl::CALEScriptHostImpl() : context_items_(std::make_shared<Corvane::Script::ContextItemStoreSlot>()) {}

CALEScriptHostImpl::~CALEScriptHostImpl() = default;

std::wstring CALEScriptHostImpl::Expanded(const std::wstring& text) const {
    std::wstring value = text;
    DiraDoro::CommonReplacements().Replace(value);
    return value;
}

void CALEScriptHostImpl::ReleaseEngine() {
    // The host and the factory refer to the environment: they go first.
    store_.reset();
    factory_.reset();
    host_.reset();
    stop_event_.reset();
    environment_.reset();
    // Variables set before a script made the store wait for the next one.
    if (context_items_->Store()) {
        context_items_ = std::make_shared<Corvane::Script::ContextItemStoreSlot>();
    }
}

ALE_STATUS CALEScriptHostImpl::Initialize() {
    ReleaseEngine();  // a host stopped earlier, with everything made for it
    Corvane::Script::ScriptLimits limits;
    limits.time_limit = kAnalyticsScriptTimeLimit;
    environment_ = std::make_unique<internal::CancellableEnvironment>(internal::MakeEnvironmentFactory(
        internal::ScriptHostTypeForName(settings_.GetSetting(kSettingScriptHostType)), limits));
    stop_event_ = std::make_shared<rk::sys::WaitableEvent>(true, false);
    auto host = std::make_shared<Corvane::Script::CAsyncScriptHost>(*environment_, stop_event_);
    if (host->Initialize()) {
        host_ = std::move(host);
    }
    factory_ = std::make_shared<Corvane::Script::CPluginFactory>(environment_.get());
    return host_ ? ale_status::kSuccess : ale_status::kUnsuccessful;
}

ALE_STATUS CALEScriptHostImpl::Start() {
    factory_->Register(kInProcPluginRegisteredName, [](Corvane::Script::IScriptEnvironmentFactory* environment) {
        return std::make_shared<CInProcAPIPlugin>(environment, CInProcAPITransport::Instance());
    });
    if (!host_) {
        return ale_status::kInvalidState;
    }
    std::wstring folder = settings_.GetSetting(kSettingScriptFolder);
    if (folder.empty()) {
        folder = settings_.GetSetting(kSettingBasePath) + L"\\" + settings_.GetSetting(kSettingScriptFolderName);
    }
    settings_.AddSetting(kSettingScriptFolder, Expanded(folder));
    const std::wstring from = settings_.GetSetting(kSettingInitializeFrom);
    if (from == L"file") {
        return InitializeHostFromFile();
    }
    if (from == L"content") {
        return InitializeHostFromContent();
    }
    return ale_status::kInvalidState;
}

bool CALEScriptHostImpl::RegisterPlugins(Corvane::Script::IScriptOperationInvoker& invoker) {
    auto* environment = environment_.get();
    store_ = std::make_shared<Corvane::Script::CScriptVariableStore>(environment);
    CBSIPlugin::Variables update_variables;
    for (const auto& [name, value] : settings_.EffectiveSettings()) {
        store_->Set(L"Setting." + name, ScriptVariable(value));
        update_variables.emplace_back(name, value);
    }
    for (const auto& [name, value] : CALESettings::Properties()) {
        store_->Set(L"Property." + name, ScriptVariable(value));
        update_variables.emplace_back(name, value);
    }
    update_variables.emplace_back(kVarSdkVersion, SdkVersionVariable(kSdkVersion));
    store_->Set(kStopSignal, ScriptVariable(false));
    store_->Set(std::wstring(L"Property.") + kPropertyScriptDebug,
                ScriptVariable(script_debug_enabled(settings_.GetSetting(kSettingBaseRegKey))));
    if (!invoker.Post(kFunctionSet, ScriptVariable(L"ScriptVariableStore"),
                      ScriptVariable(std::shared_ptr<Corvane::Script::IScriptableObject>(store_)))) {
        return false;
    }
    Corvane::Script::RegisterBuiltinPlugins(*factory_, context_items_);
    factory_->Register(kRestPluginRegisteredName, [](Corvane::Script::IScriptEnvironmentFactory* env) {
        return std::make_shared<CRESTfulPlugin>(env);
    });
    factory_->Register(kLoggerPluginRegisteredName, [](Corvane::Script::IScriptEnvironmentFactory* env) {
        return std::make_shared<CAnalyticsLoggingPlugin>(env);
    });
    factory_->Register(kBsiPluginRegisteredName, [update_variables](Corvane::Script::IScriptEnvironmentFactory* env) {
        return std::make_shared<CBSIPlugin>(env, update_variables);
    });
    return invoker.Post(kFunctionSet, ScriptVariable(L"PluginFactory"),
                        ScriptVariable(std::shared_ptr<Corvane::Script::IScriptableObject>(factory_)));
}

ALE_STATUS CALEScriptHostImpl::InitializeHostFromFile() {
    constexpr wchar_t kFunction[] = L"CALEScriptHostImpl::InitializeHostFromFile";
    if (!host_->Initialize()) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"failed to initialize the scripthost");
        return ale_status::kUnsuccessful;
    }
    const auto invoker = host_->GetInvoker();
    if (!invoker) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"failed to retrieve invoker from scripthost");
        return ale_status::kUnsuccessful;
    }
    if (!RegisterPlugins(*invoker)) {
        return ale_status::kUnsuccessful;
    }
    std::wstring path = settings_.GetSetting(kSettingBootstrap);
    if (path.empty()) {
        path = settings_.GetSetting(kSettingBasePath) + L"\\" + settings_.GetSetting(kSettingBootstrapName);
    }
    path = Expanded(path);
    settings_.AddSetting(kSettingBootstrap, path);
    std::shared_ptr<Corvane::Script::IScriptOperation> operation;
    if (!invoker->Execute(kFunctionAddScriptFromFile, ScriptVariable(path), operation)) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to load bootstrap script file '%s'", path);
        return ale_status::kUnsuccessful;
    }
    if (!operation) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to load the bootstrap script file (null operation) '%s'",
                   path);
        return ale_status::kUnsuccessful;
    }
    if (const auto status = wait_for(operation, Corvane::Script::kWaitInfinite); status != 0) {
        log::Write(kFailure, kFile, kFunction, __LINE__,
                   L"Failed to asynchronously load the bootstrap file '%s': Wait status is %d", path, status);
        return ale_status::kUnsuccessful;
    }
    return InvokeInitialEntryPoint(*invoker);
}

ALE_STATUS CALEScriptHostImpl::InitializeHostFromContent() {
    constexpr wchar_t kFunction[] = L"CALEScriptHostImpl::InitializeHostFromContent";
    const std::wstring text = settings_.GetSetting(kSettingScriptContent);
    if (text.empty()) {
        log::Write(kFailure, kFile, kFunction, __LINE__,
                   L"Empty Boot-Script content; loading from file instead (default behaviour)");
        return InitializeHostFromFile();
    }
    if (!host_->Initialize()) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"failed to initialize from script content");
        return ale_status::kUnsuccessful;
    }
    const auto invoker = host_->GetInvoker();
    if (!invoker) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"failed to retrieve invoker from scripthost");
        return ale_status::kUnsuccessful;
    }
    if (!RegisterPlugins(*invoker)) {
        return ale_status::kUnsuccessful;
    }
    std::shared_ptr<Corvane::Script::IScriptOperation> operation;
    if (!invoker->Execute(kFunctionAddScript, ScriptVariable(text), operation)) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to load the bootstrap script");
        return ale_status::kUnsuccessful;
    }
    if (!operation) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to load the bootstrap script (null operation)");
        return ale_status::kUnsuccessful;
    }
    if (const auto status = wait_for(operation, Corvane::Script::kWaitInfinite); status != 0) {
        log::Write(kFailure, kFile, kFunction, __LINE__,
                   L"Failed to asynchronously load the bootstrap script: Wait status is %d", status);
        return ale_status::kUnsuccessful;
    }
    return InvokeInitialEntryPoint(*invoker);
}

ALE_STATUS CALEScriptHostImpl::InvokeInitialEntryPoint(Corvane::Script::IScriptOperationInvoker& invoker) {
    const std::wstring entry = settings_.GetSetting(kSettingEntryStart);
    if (!invoker.Post(entry)) {
        log::Write(kFailure, kFile, L"CALEScriptHostImpl::InvokeInitialEntryPoint", __LINE__,
                   L"Failed to execute main entry point '%s'", entry);
        return ale_status::kUnsuccessful;
    }
    invoker.Post(kFunctionLogInformation, ScriptVariable(L"ALEScriptHostImpl has started"));
    return ale_status::kSuccess;
}

ALE_STATUS CALEScriptHostImpl::Shutdown() {
    constexpr wchar_t kFunction[] = L"CALEScriptHostImpl::Shutdown";
    if (!host_) {
        return ale_status::kInvalidState;
    }
    const long long delay = static_cast<long long>(std::stoul(settings_.GetSetting(kSettingTerminateDelay)));
    if (delay > 0) {
        const auto invoker = host_->GetInvoker();
        std::shared_ptr<Corvane::Script::IScriptOperation> operation;
        if (!invoker) {
            log::Write(kFailure, kFile, kFunction, __LINE__,
                       L"Delay of %lld seconds was aborted due to failure to retrieve an invoker", delay);
        } else if (!invoker->Execute(kFunctionLogInformation,
                                     ScriptVariable(rk::text::format(
                                         L"ALEScriptHostImpl is stopping with %lld second delay", delay)),
                                     operation)) {
            log::Write(kFailure, kFile, kFunction, __LINE__,
                       L"Delay of %lld seconds was aborted due to an Execute failure on the no-op", delay);
        } else if (!operation) {
            log::Write(kFailure, kFile, kFunction, __LINE__,
                       L"Delay of %lld seconds was aborted due to failure to allocate an operation", delay);
        } else if (const auto status = wait_for(operation, static_cast<std::uint32_t>(delay * 1000)); status != 0) {
            log::Write(kFailure, kFile, kFunction, __LINE__, L"Shutdown Delay (%lld ms) wait status is (%d)",
                       delay * 1000, status);
        }
    }
    if (store_) {
        store_->Set(kStopSignal, ScriptVariable(true));
        store_.reset();
    }
    environment_->CancelRequests();
    host_->Shutdown();
    return ale_status::kSuccess;
}

ALE_STATUS CALEScriptHostImpl::Uninitialize() {
    if (!host_) {
        return ale_status::kInvalidState;
    }
    settings_.ClearInstanceSettings();
    ReleaseEngine();
    return ale_status::kSuccess;
}

void CALEScriptHostImpl::SetVariable(const std::wstring& name, const ScriptVariable& value) {
    context_items_->SetVariable(name, value);
}

}  // namespace Halden::Analytics
