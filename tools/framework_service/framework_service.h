// rk-framework-service: a small framework service on the local bus for
// tests, the demo and operators. It serves the controller interface the
// client relies on (communicator registration, messages, invoke_rpc) with a
// settings store and change notifications, publish/subscribe, signals,
// system events it can be told to emit, and the trust cache "av.cache.set".
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/system/ipc/local_service.h"

namespace rk::framework_service {

struct ServiceOptions {
    sys::ipc::BusLocation bus;
    std::map<std::string, std::string> settings;  // initial values (UTF-8)
    // Called for each "av.cache.set" entry received (target, flags).
    std::function<void(const std::string& target, std::uint64_t flags)> on_cache_entry;
};

class FrameworkService {
public:
    // Takes the service name on the bus; kHrRpcSServerUnavailable without a
    // bus, HRESULT_FROM_WIN32(183) when another instance runs.
    static HRESULT create(ServiceOptions options, std::unique_ptr<FrameworkService>& out);

    FrameworkService(const FrameworkService&) = delete;
    FrameworkService& operator=(const FrameworkService&) = delete;
    ~FrameworkService();

    HRESULT run() { return host_->run(); }
    void stop() { host_->stop(); }

private:
    struct Client {
        std::set<std::pair<std::string, std::string>> communicators;  // (bus name, path)
        std::set<std::string> settings;
        std::set<std::string> topics;
        std::set<std::string> events;
        bool system_events = false;
    };

    explicit FrameworkService(ServiceOptions options);
    sys::ipc::MethodReply on_call(const std::string& interface, const sys::ipc::IncomingCall& call);
    sys::ipc::MethodReply on_controller(const sys::ipc::IncomingCall& call);
    sys::ipc::MethodReply on_admin(const sys::ipc::IncomingCall& call);
    std::pair<std::int32_t, std::string> on_message(const std::string& sender, std::uint16_t type,
                                                    const std::string& name, const std::string& payload);
    std::pair<std::int32_t, std::uint32_t> on_rpc(const std::string& name, const std::string& payload);
    void on_peer_gone(const std::string& unique_name);
    // Sends one message to every communicator of the clients `want` selects.
    std::uint32_t deliver(std::uint16_t type, const std::string& payload,
                          const std::function<bool(const Client&)>& want);

    ServiceOptions options_;
    std::unique_ptr<sys::ipc::ServiceHost> host_;
    std::map<std::string, Client> clients_;  // by the caller's unique name
    std::map<std::string, std::uint64_t> cache_;
};

}  // namespace rk::framework_service
