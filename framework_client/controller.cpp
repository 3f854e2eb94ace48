#include "framework_client/controller.h"

#include <atomic>

#include "framework_client/framework_error.h"
#include "framework_client/framework_words.h"
#include "platform/errors/windows_error_category.h"
#include "platform/text/utf.h"

namespace ctp::detail {

namespace ipc = rk::sys::ipc;

namespace {

std::error_code hresult_code(rk::HRESULT hr) {
    return {hr, dira_doro::win32_category()};
}

// The service answers with framework codes; 0 is success.
std::error_code remote_code(std::int32_t code) {
    return code == 0 ? std::error_code() : make_error_code(static_cast<framework_error>(code));
}

std::string next_communicator_path() {
    static std::atomic<unsigned> counter{0};
    return std::string(kCommunicatorPathPrefix) + "c" + std::to_string(++counter);
}

}  // namespace

bool is_connection_lost(const std::error_code& code) {
    return code.category() == dira_doro::win32_category() && code.value() == rk::win::kHrRpcSServerUnavailable;
}

std::error_code controller::create(const connection_options& options, std::unique_ptr<controller>& out) {
    std::unique_ptr<ipc::ServiceProxy> proxy;
    const rk::HRESULT hr =
        ipc::create_service_proxy(options.bus, {kServiceName, kControllerPath, kControllerInterface}, proxy);
    if (rk::win::failed(hr)) {
        return hresult_code(hr);
    }
    out.reset(new controller(options, std::move(proxy)));
    return {};
}

controller::controller(connection_options options, std::unique_ptr<ipc::ServiceProxy> proxy)
    : options_(std::move(options)), proxy_(std::move(proxy)) {}

controller::~controller() = default;

std::error_code controller::call(const char* member, const ipc::IpcValues& in, const char* out_signature,
                                 ipc::IpcValues& out) {
    const rk::HRESULT hr = proxy_->call(member, in, out_signature, out, options_.call_timeout);
    return rk::win::failed(hr) ? hresult_code(hr) : std::error_code();
}

std::error_code controller::register_communicator(incoming_handler on_message, std::function<void()> on_lost) {
    ipc::CallbackOptions options;
    options.path = next_communicator_path();
    options.interface = kCommunicatorInterface;
    options.accepted_sender = proxy_->peer();
    options.on_call = [handler = std::move(on_message)](const ipc::IncomingCall& call) {
        if (call.member != kReceive || call.args.size() != 3 || call.args[0].index() != 0 ||
            call.args[1].index() != 4 || call.args[2].index() != 4) {
            return;  // not a message: nothing to deliver
        }
        handler(std::get<std::uint16_t>(call.args[0]), std::get<std::string>(call.args[1]),
                std::get<std::string>(call.args[2]));
    };
    options.on_peer_gone = std::move(on_lost);
    std::unique_ptr<ipc::CallbackEndpoint> endpoint;
    const rk::HRESULT hr = ipc::create_callback_endpoint(options_.bus, std::move(options), endpoint);
    if (rk::win::failed(hr)) {
        return hresult_code(hr);
    }
    ipc::IpcValues out;
    if (auto ec = call(kRegisterCommunicator, {endpoint->bus_name(), endpoint->path()}, "i", out)) {
        return ec;
    }
    if (auto ec = remote_code(std::get<std::int32_t>(out[0]))) {
        return ec;
    }
    communicator_ = std::move(endpoint);
    return {};
}

std::error_code controller::unregister_communicator() {
    if (!communicator_) {
        return {};
    }
    ipc::IpcValues out;
    auto ec = call(kUnregisterCommunicator, {communicator_->bus_name(), communicator_->path()}, "i", out);
    if (!ec) {
        ec = remote_code(std::get<std::int32_t>(out[0]));
    }
    communicator_.reset();
    return ec;
}

std::error_code controller::send_message(std::uint16_t type, std::string_view name, const std::string& payload,
                                         std::string& reply) {
    ipc::IpcValues out;
    if (auto ec = call(kSendMessage, {type, std::string(name), payload}, "is", out)) {
        return ec;
    }
    reply = std::get<std::string>(out[1]);
    return remote_code(std::get<std::int32_t>(out[0]));
}

std::error_code controller::invoke_rpc(std::wstring_view name, std::wstring_view payload, std::int32_t& hr,
                                       std::uint32_t& result) {
    ipc::IpcValues out;
    if (auto ec = call(kInvokeRpc, {rk::text::wide_to_utf8(name), rk::text::wide_to_utf8(payload)}, "iu", out)) {
        return ec;
    }
    hr = std::get<std::int32_t>(out[0]);
    result = std::get<std::uint32_t>(out[1]);
    return {};
}

}  // namespace ctp::detail
