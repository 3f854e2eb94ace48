// CBSIPlugin ("xmlUpdate"): the analytics engine's content update through
// the XML update engine. "Initialize"(folder, update URL, self-update
// allowed) readies the engine (substitutions "TXTVER" and "HASH", the
// extract folder ".", "MAIN_XML", "SELF_UPDATE_ALLOWED", the user's proxy
// for the URL); "Update"() runs the document at "MAIN_XML" and gives the
// engine's result code (0 on success). Nothing throws into the script.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "script_host/plugin_object.h"
#include "xml_updater/update_wrapper.h"

namespace Halden::Analytics {

inline constexpr wchar_t kBsiPluginRegisteredName[] = L"xmlUpdate";
inline constexpr wchar_t kVarSdkVersion[] = L"SDKVER";
inline constexpr wchar_t kVarMainXml[] = L"MAIN_XML";
inline constexpr wchar_t kVarSelfUpdateAllowed[] = L"SELF_UPDATE_ALLOWED";
inline constexpr wchar_t kVarExtractFolder[] = L".";
inline constexpr wchar_t kUpdateLoggerName[] = L"BSIPlugin";

// "1,0,123,0" -> "1.0.123.0"; other texts are kept as they are.
std::wstring SdkVersionVariable(const std::wstring& sdk_version);

class CBSIPlugin : public Corvane::Script::PluginObject {
public:
    using Variables = std::vector<std::pair<std::wstring, std::wstring>>;
    using WrapperFactory = std::function<std::shared_ptr<internal::IUpdateWrapper>()>;

    // `variables`: the engine's settings and properties (and SDKVER), set
    // in the update engine before the script sees the plug-in. `make`
    // makes the update engine (default: CUpdateWrapper<CUpdater>).
    CBSIPlugin(Corvane::Script::IScriptEnvironmentFactory* environment, Variables variables,
               WrapperFactory make = {});

    std::wstring GetName() override { return L"BSI Plugin"; }
    std::wstring GetVersion() override { return L"1"; }

    // Null name or value, or an engine that cannot be made ready: false (logged).
    bool SetVariable(const wchar_t* name, const wchar_t* value);
    // `folder` null stands for a missing folder (scripts cannot pass one).
    bool InitializeUpdate(const std::wstring* folder, const std::wstring& url, bool self_update);
    int Update();

private:
    void ScriptInitialize(Corvane::Script::ScriptVariable& result, std::uint32_t count,
                          const Corvane::Script::ScriptVariable* args);
    void ScriptUpdate(Corvane::Script::ScriptVariable& result, std::uint32_t count,
                      const Corvane::Script::ScriptVariable* args);
    bool MakeReady();
    void SetUpProxy(const std::wstring& url);

    WrapperFactory make_;
    std::shared_ptr<internal::IUpdateWrapper> wrapper_;
    bool ready_ = false;
};

}  // namespace Halden::Analytics
