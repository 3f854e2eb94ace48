// CInProcAPIPlugin ("inprocAPI"): while it lives, records sent by trackers
// through the in-process transport become messages pushed into the
// script's event queue (the object given to "Initialize"), on the script
// thread. The bootstrap creates one and keeps it in the variable store.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "analytics/inproc_api_transport.h"
#include "analytics/record.h"
#include "script_host/plugin_object.h"

namespace Halden::Analytics {

inline constexpr wchar_t kInProcPluginRegisteredName[] = L"inprocAPI";

class CInProcAPIPlugin : public Corvane::Script::PluginObject {
public:
    CInProcAPIPlugin(Corvane::Script::IScriptEnvironmentFactory* environment,
                     std::shared_ptr<CInProcAPITransport> transport);
    ~CInProcAPIPlugin() override;

    std::wstring GetName() override;
    std::wstring GetVersion() override;

    // The record handler, on the sending thread.
    bool ProcessTrackAttributes(const Record& record);
    // Posts "Push"(message) to the queue object; whether it was queued.
    bool Enqueue(const std::wstring& name, const std::wstring& payload);

private:
    void Initialize(Corvane::Script::ScriptVariable& result, std::uint32_t count,
                    const Corvane::Script::ScriptVariable* args);

    std::shared_ptr<CInProcAPITransport> transport_;
    std::mutex mutex_;
    Corvane::Script::ScriptVariable queue_;
};

}  // namespace Halden::Analytics
