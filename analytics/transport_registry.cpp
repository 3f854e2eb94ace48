#include "analytics/transport_registry.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace Halden::Analytics {
namespace {

using TransportList = std::vector<std::shared_ptr<internal::ITransport>>;

std::mutex& registry_mutex() {
    static std::mutex mutex;
    return mutex;
}

TransportList& registered() {
    static TransportList list;
    return list;
}

TransportList& defaults() {
    static TransportList list{std::make_shared<CNullTransport>()};
    return list;
}

std::shared_ptr<internal::ITransport> first_connected(const TransportList& list) {
    for (const auto& transport : list) {
        if (transport->Connect()) {
            return transport;
        }
        transport->Disconnect();
    }
    return nullptr;
}

}  // namespace

bool RegisterTransport(std::shared_ptr<internal::ITransport> transport) {
    const std::lock_guard lock(registry_mutex());
    auto& list = registered();
    if (transport && std::find(list.begin(), list.end(), transport) == list.end()) {
        list.push_back(std::move(transport));
    }
    return true;
}

bool UnregisterTransport(const std::shared_ptr<internal::ITransport>& transport) {
    const std::lock_guard lock(registry_mutex());
    auto& list = registered();
    const auto it = std::find(list.begin(), list.end(), transport);
    if (it == list.end()) {
        return false;
    }
    list.erase(it);
    return true;
}

namespace internal {

std::shared_ptr<ITransport> ChooseTransport() {
    const std::lock_guard lock(registry_mutex());
    if (auto transport = first_connected(registered())) {
        return transport;
    }
    if (auto transport = first_connected(defaults())) {
        return transport;
    }
    return std::make_shared<CNullTransport>();
}

}  // namespace internal
}  // namespace Halden::Analytics
