// CInProcAPITransport ("InProcess" v1): hands records to the sink the
// "inprocAPI" plug-in installs while an engine runs. One process-wide
// instance, registered with the transport registry when first used (and
// at start-up). Without a sink it does not connect, so records then go to
// the next transport (in the end the null transport).
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "analytics/transport.h"

namespace Halden::Analytics {

inline constexpr wchar_t kInProcTransportName[] = L"InProcess";

class CInProcAPITransport final : public internal::CBaseTransport {
public:
    using Sink = std::function<bool(const Record&)>;

    CInProcAPITransport() : CBaseTransport(kInProcTransportName, 1) {}

    bool Connect() override;
    bool Send(const Record& record) override;
    void Disconnect() override {}

    // Installs `owner`'s sink in place of any other.
    void SetSink(const void* owner, Sink sink);
    // Removes the sink if `owner` installed it. Waits for a send that is
    // running in the sink, so the owner may go away afterwards.
    void ClearSink(const void* owner);

    // The process-wide instance (registered).
    static const std::shared_ptr<CInProcAPITransport>& Instance();

private:
    std::mutex mutex_;
    const void* owner_ = nullptr;
    Sink sink_;
};

}  // namespace Halden::Analytics
