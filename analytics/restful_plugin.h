// CRESTfulPlugin ("RESTclient"): scripts' HTTP(S) requests through one
// CRESTfulSender. Methods: "SetHttpMode", "SetCredentials", "Connect",
// "SendRequest", "Disconnect", "SetRequestHeaders", "SetAgentName".
#pragma once

#include <string>

#include "analytics/restful_sender.h"
#include "script_host/plugin_object.h"

namespace Halden::Analytics {

inline constexpr wchar_t kRestPluginRegisteredName[] = L"RESTclient";
inline constexpr char kMsgConnectFailed[] = "Failed to connect to url";

class CRESTfulPlugin : public Corvane::Script::PluginObject {
public:
    explicit CRESTfulPlugin(Corvane::Script::IScriptEnvironmentFactory* environment);

    std::wstring GetName() override { return L"RESTful Plugin"; }
    std::wstring GetVersion() override { return L"1"; }

private:
    using Args = const Corvane::Script::ScriptVariable*;
    void SetHttpMode(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);
    void SetCredentials(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);
    void Connect(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);
    void SendRequest(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);
    void Disconnect(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);
    void SetRequestHeaders(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);
    void SetAgentName(Corvane::Script::ScriptVariable& result, std::uint32_t count, Args args);

    CRESTfulSender sender_;
};

}  // namespace Halden::Analytics
