#include "analytics/inproc_api_transport.h"

#include "analytics/transport_registry.h"

namespace Halden::Analytics {
namespace {

// Created and registered at start-up, as a global of the process.
[[maybe_unused]] const bool kRegisteredAtStart = CInProcAPITransport::Instance() != nullptr;

}  // namespace

bool CInProcAPITransport::Connect() {
    const std::lock_guard lock(mutex_);
    return static_cast<bool>(sink_);
}

bool CInProcAPITransport::Send(const Record& record) {
    const std::lock_guard lock(mutex_);
    return sink_ ? sink_(record) : false;
}

void CInProcAPITransport::SetSink(const void* owner, Sink sink) {
    const std::lock_guard lock(mutex_);
    owner_ = owner;
    sink_ = std::move(sink);
}

void CInProcAPITransport::ClearSink(const void* owner) {
    const std::lock_guard lock(mutex_);
    if (owner_ == owner) {
        owner_ = nullptr;
        sink_ = nullptr;
    }
}

const std::shared_ptr<CInProcAPITransport>& CInProcAPITransport::Instance() {
    static const std::shared_ptr<CInProcAPITransport> instance = [] {
        auto transport = std::make_shared<CInProcAPITransport>();
        RegisterTransport(transport);
        return transport;
    }();
    return instance;
}

}  // namespace Halden::Analytics
