#include "analytics/inproc_api_plugin.h"

#include "analytics/analytics_log.h"
#include "analytics/record_json.h"
#include "script_host/argument_check.h"
#include "script_host/script_operation_invoker.h"

namespace Halden::Analytics {
namespace {
constexpr wchar_t kFile[] = L"InProcAPIPlugin.cpp";
using Corvane::Script::ScriptVariable;
}  // namespace

CInProcAPIPlugin::CInProcAPIPlugin(Corvane::Script::IScriptEnvironmentFactory* environment,
                                   std::shared_ptr<CInProcAPITransport> transport)
    : PluginObject(environment, {Method(L"Initialize", {Corvane::Script::kArgObject}, this,
                                        &CInProcAPIPlugin::Initialize)}),
      transport_(std::move(transport)) {
    transport_->SetSink(this, [this](const Record& record) { return ProcessTrackAttributes(record); });
}

CInProcAPIPlugin::~CInProcAPIPlugin() { transport_->ClearSink(this); }

std::wstring CInProcAPIPlugin::GetName() { return kInProcPluginName; }
std::wstring CInProcAPIPlugin::GetVersion() { return kInProcPluginVersion; }

void CInProcAPIPlugin::Initialize(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args) {
    Corvane::Script::RequireArguments(count, args, {Corvane::Script::kArgObject});
    {
        const std::lock_guard lock(mutex_);
        queue_ = args[0];
        queue_.GetInvoker();  // made here, on the script thread
    }
    result = ScriptVariable(true);
}

bool CInProcAPIPlugin::ProcessTrackAttributes(const Record& record) {
    constexpr wchar_t kFunction[] = L"CInProcAPIPlugin::ProcessTrackAttributes";
    {
        const std::lock_guard lock(mutex_);
        if (queue_.IsEmpty()) {
            log::Write(log::kFailure, kFile, kFunction, __LINE__, L"Not Initialized!");
            return false;
        }
    }
    if (record.empty()) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"Nothing to send! (no attributes)");
        return false;
    }
    const std::wstring json = RecordToJson(record);
    if (json.empty()) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__,
                   L"Failed to convert dictionary of %zd items into a JSON payload", record.size());
        return false;
    }
    bool found = false;
    const std::wstring id = UniqueIdOf(record, found);
    if (!found) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"Unable to retrieve the unique id");
    }
    return Enqueue(kAddRecordMessage, InProcPayload(id, json));
}

bool CInProcAPIPlugin::Enqueue(const std::wstring& name, const std::wstring& payload) {
    const std::wstring message = InProcMessage(name, payload);
    std::shared_ptr<Corvane::Script::CScriptOperationInvoker> invoker;
    {
        const std::lock_guard lock(mutex_);
        if (!queue_.IsEmpty()) {
            invoker = queue_.GetInvoker();
        }
    }
    if (!invoker) {
        log::Write(log::kFailure, kFile, L"CInProcAPIPlugin::Enqueue", __LINE__,
                   L"Queuehandler is not initialized. Message '%s' will not be enqueued.", message);
        return false;
    }
    const ScriptVariable argument(message);
    return invoker->Post(L"Push", 1, &argument);
}

}  // namespace Halden::Analytics
