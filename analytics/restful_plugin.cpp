#include "analytics/restful_plugin.h"

#include <stdexcept>

#include "script_host/argument_check.h"

namespace Halden::Analytics {
namespace {
using Corvane::Script::kArgString;
using Corvane::Script::RequireArguments;
using Corvane::Script::ScriptVariable;
}  // namespace

CRESTfulPlugin::CRESTfulPlugin(Corvane::Script::IScriptEnvironmentFactory* environment)
    : PluginObject(environment,
                   {
                       Method(L"SetHttpMode", {kArgString}, this, &CRESTfulPlugin::SetHttpMode),
                       Method(L"SetCredentials", {kArgString, kArgString}, this, &CRESTfulPlugin::SetCredentials),
                       Method(L"Connect", {kArgString}, this, &CRESTfulPlugin::Connect),
                       Method(L"SendRequest", {kArgString}, this, &CRESTfulPlugin::SendRequest),
                       Method(L"Disconnect", {}, this, &CRESTfulPlugin::Disconnect),
                       Method(L"SetRequestHeaders", {kArgString}, this, &CRESTfulPlugin::SetRequestHeaders),
                       Method(L"SetAgentName", {kArgString}, this, &CRESTfulPlugin::SetAgentName),
                   }) {}

void CRESTfulPlugin::SetHttpMode(ScriptVariable& result, std::uint32_t count, Args args) {
    RequireArguments(count, args, {kArgString});
    sender_.SetHttpMode(args[0].GetString());
    result = ScriptVariable(true);
}

void CRESTfulPlugin::SetCredentials(ScriptVariable& result, std::uint32_t count, Args args) {
    RequireArguments(count, args, {kArgString, kArgString});
    sender_.SetCredentials(args[0].GetString(), args[1].GetString());
    result = ScriptVariable(true);
}

void CRESTfulPlugin::Connect(ScriptVariable& result, std::uint32_t count, Args args) {
    RequireArguments(count, args, {kArgString});
    if (!sender_.Connect(args[0].GetString())) {
        throw std::runtime_error(kMsgConnectFailed);
    }
    result = ScriptVariable(true);
}

void CRESTfulPlugin::SendRequest(ScriptVariable& result, std::uint32_t count, Args args) {
    RequireArguments(count, args, {kArgString});
    result = ScriptVariable(sender_.SendRequest(args[0].GetString()));
}

void CRESTfulPlugin::Disconnect(ScriptVariable& result, std::uint32_t /*count*/, Args /*args*/) {
    sender_.Disconnect();
    result = ScriptVariable(true);
}

void CRESTfulPlugin::SetRequestHeaders(ScriptVariable& result, std::uint32_t count, Args args) {
    RequireArguments(count, args, {kArgString});
    sender_.SetRequestHeaders(args[0].GetString());
    result = ScriptVariable(true);
}

void CRESTfulPlugin::SetAgentName(ScriptVariable& result, std::uint32_t count, Args args) {
    RequireArguments(count, args, {kArgString});
    sender_.SetAgentName(args[0].GetString());
    result = ScriptVariable(true);
}

}  // namespace Halden::Analytics
