// The framework service's controller as this process sees it: a proxy bound
// to one running service instance, plus our communicator object that the
// instance calls with incoming messages. Results are HRESULTs of the
// Windows categories (transport) or framework codes (the service's answer).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/system/ipc/local_service.h"

namespace ctp::detail {

struct connection_options {
    rk::sys::ipc::BusLocation bus;
    // Longest wait for one reply of the service.
    std::chrono::milliseconds call_timeout{120000};
};

using incoming_handler = std::function<void(std::uint16_t type, const std::string& name, const std::string& payload)>;

// True for the HRESULT that means the service instance is gone (0x800706BA).
bool is_connection_lost(const std::error_code& code);

class controller {
public:
    // CoCreateInstance of the controller: binds to the running service.
    static std::error_code create(const connection_options& options, std::unique_ptr<controller>& out);

    controller(const controller&) = delete;
    controller& operator=(const controller&) = delete;
    ~controller();

    // Exposes our communicator object and registers it with the service.
    // `on_message` and `on_lost` run on a thread of the communicator object.
    std::error_code register_communicator(incoming_handler on_message, std::function<void()> on_lost);
    std::error_code unregister_communicator();

    std::error_code send_message(std::uint16_t type, std::string_view name, const std::string& payload,
                                 std::string& reply);
    // `hr` and `result` are the procedure's own answer; the returned code is
    // the call's (transport) result.
    std::error_code invoke_rpc(std::wstring_view name, std::wstring_view payload, std::int32_t& hr,
                               std::uint32_t& result);

private:
    controller(connection_options options, std::unique_ptr<rk::sys::ipc::ServiceProxy> proxy);
    std::error_code call(const char* member, const rk::sys::ipc::IpcValues& in, const char* out_signature,
                         rk::sys::ipc::IpcValues& out);

    connection_options options_;
    std::unique_ptr<rk::sys::ipc::ServiceProxy> proxy_;
    std::unique_ptr<rk::sys::ipc::CallbackEndpoint> communicator_;
};

}  // namespace ctp::detail
