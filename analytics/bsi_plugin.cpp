#include "analytics/bsi_plugin.h"

#include "analytics/analytics_log.h"
#include "analytics/hash_substitution.h"
#include "analytics/txt_ver_substitution.h"
#include "script_host/argument_check.h"
#include "xml_updater/updater.h"

namespace Halden::Analytics {
namespace {

constexpr wchar_t kFile[] = L"BSIPlugin.cpp";
using Corvane::Script::ScriptVariable;
using log::kFailure;

// The update engine's lines go to the process logger under the name
// "BSIPlugin": its errors as failures, the rest as progress.
class ETWLoggerWrapper final : public XMLUpdater::v2::IXmlUpdaterLogger {
public:
    void Log(unsigned level, const wchar_t* file, int line, const wchar_t* message) override {
        const LogLevel mapped = level <= XMLUpdater::v2::kXmlLogError ? log::kFailure : log::kProgress;
        log::Write(mapped, file != nullptr ? file : L"", kUpdateLoggerName, line, L"%s", message);
    }
};

// The update engine's diagnostic events are not reported by the analytics engine.
class DiscardingEventSender final : public XMLUpdater::v2::NTelemetry::NAdHoc::IEventSender {
public:
    bool Initialize() override { return true; }
    bool SendEvent(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                   const wchar_t*, const wchar_t*) override {
        return true;
    }
    bool Flush() override { return true; }
    bool Shutdown() override { return true; }
    bool SetCustomDimension(const wchar_t*, const wchar_t*) override { return true; }
};

std::shared_ptr<internal::IUpdateWrapper> make_engine() {
    return std::make_shared<internal::CUpdateWrapper<XMLUpdater::v2::CUpdater>>();
}

}  // namespace

std::wstring SdkVersionVariable(const std::wstring& sdk_version) {
    unsigned parts[4] = {};
    wchar_t tail = 0;
    if (std::swscanf(sdk_version.c_str(), L"%u,%u,%u,%u%lc", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4) {
        return sdk_version;
    }
    return rk::text::format(L"%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
}

CBSIPlugin::CBSIPlugin(Corvane::Script::IScriptEnvironmentFactory* environment, Variables variables,
                       WrapperFactory make)
    : PluginObject(environment,
                   {
                       Method(L"Initialize", {Corvane::Script::kArgString, Corvane::Script::kArgString,
                                              Corvane::Script::kArgBoolean},
                              this, &CBSIPlugin::ScriptInitialize),
                       Method(L"Update", {}, this, &CBSIPlugin::ScriptUpdate),
                   }),
      make_(make ? std::move(make) : WrapperFactory(make_engine)) {
    for (const auto& [name, value] : variables) {
        SetVariable(name.c_str(), value.c_str());
    }
}

bool CBSIPlugin::MakeReady() {
    constexpr wchar_t kFunction[] = L"CBSIPlugin::MakeReady";
    if (ready_) {
        return true;
    }
    wrapper_ = make_();
    if (!wrapper_ || !wrapper_->Initialize(std::make_shared<DiscardingEventSender>(), true,
                                           std::make_shared<ETWLoggerWrapper>())) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"failed to initialize updater");
        return false;
    }
    if (!wrapper_->RegisterSubstitution(kSubstitutionTxtVer, &CTxtVerSubstitution::Create)) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"failed to add TXTVER substitution");
        return false;
    }
    if (!wrapper_->RegisterSubstitution(kSubstitutionHash, &CHashSubstitution::Create)) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"failed to add HASH substitution");
        return false;
    }
    ready_ = true;
    return true;
}

bool CBSIPlugin::SetVariable(const wchar_t* name, const wchar_t* value) {
    constexpr wchar_t kFunction[] = L"CBSIPlugin::SetVariable";
    if (name == nullptr || value == nullptr) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Invalid Input: variable name(%s) or value(%s) is null",
                   name != nullptr ? name : L"[null]", value != nullptr ? value : L"[null]");
        return false;
    }
    if (!MakeReady()) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Cannot set variable '%s'='%s' due to initialization failure",
                   name, value);
        return false;
    }
    return wrapper_->SetVariable(name, value);
}

void CBSIPlugin::SetUpProxy(const std::wstring& url) {
    constexpr wchar_t kFunction[] = L"CBSIPlugin::SetUpProxy";
    bool ok = false;
    if (!MakeReady()) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Cannot set proxy for '%s' due to initialization failure",
                   url);
    } else {
        XMLUpdater::v2::WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config;
        if (!wrapper_->fill_proxy_data_for_specific_url(url, config)) {
            log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to get data for specific url.");
        } else {
            log::Write(log::kProgress, kFile, kFunction, __LINE__,
                       L"proxy data for xmlUpdater, fAutoDetect: %ld, lpszAutoConfigUrl: %ls, lpszProxy: %ls, "
                       L"lpszProxyBypass: %ls",
                       config.fAutoDetect ? 1 : 0, config.lpszAutoConfigUrl, config.lpszProxy,
                       config.lpszProxyBypass);
            ok = wrapper_->SetProxySettings(&config);
            log::Write(ok ? log::kProgress : kFailure, kFile, kFunction, __LINE__,
                       ok ? L"setup_xmlUpdater_proxy Succeeded." : L"Failed to SetProxy by xml updater.");
        }
        XMLUpdater::v2::GlobalFreeString(config.lpszAutoConfigUrl);
        XMLUpdater::v2::GlobalFreeString(config.lpszProxy);
        XMLUpdater::v2::GlobalFreeString(config.lpszProxyBypass);
    }
    if (!ok) {
        log::Write(kFailure, kFile, kFunction, __LINE__,
                   L"Failed to check and setup proxy, trying to continue without proxy setup.");
    }
}

bool CBSIPlugin::InitializeUpdate(const std::wstring* folder, const std::wstring& url, bool self_update) {
    if (!MakeReady()) {
        return false;
    }
    if (folder == nullptr) {
        log::Write(kFailure, kFile, L"CBSIPlugin::Initialize", __LINE__,
                   L"Extract directory not set. Going to use current directory");
        return false;
    }
    if (!wrapper_->SetVariable(kVarExtractFolder, *folder) || !wrapper_->SetVariable(kVarMainXml, url) ||
        !wrapper_->SetVariable(kVarSelfUpdateAllowed, self_update ? L"TRUE" : L"FALSE")) {
        return false;
    }
    SetUpProxy(url);
    return true;
}

int CBSIPlugin::Update() {
    constexpr wchar_t kFunction[] = L"CBSIPlugin::Update";
    if (!wrapper_) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"XML updater does not exist");
        return 1;
    }
    std::wstring url;
    if (!wrapper_->GetVariable(kVarMainXml, url) || url.empty()) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"MAIN_XML URL is not set");
        return 1;
    }
    int exit_code = 0;
    const bool ok = wrapper_->Update(url, exit_code);
    const int code = ok ? 0 : (exit_code != 0 ? exit_code : 1);
    if (code != 0) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to Update. Error code: %d", code);
    }
    return code;
}

void CBSIPlugin::ScriptInitialize(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args) {
    Corvane::Script::RequireArguments(
        count, args, {Corvane::Script::kArgString, Corvane::Script::kArgString, Corvane::Script::kArgBoolean});
    const std::wstring folder = args[0].GetString();
    result = ScriptVariable(InitializeUpdate(&folder, args[1].GetString(), args[2].GetBool()));
}

void CBSIPlugin::ScriptUpdate(ScriptVariable& result, std::uint32_t /*count*/, const ScriptVariable* /*args*/) {
    result = ScriptVariable(static_cast<std::int32_t>(Update()));
}

}  // namespace Halden::Analytics
