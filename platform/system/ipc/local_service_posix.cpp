#include <cerrno>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/system/ipc/local_service.h"
#include "platform/system/ipc/sd_bus_support.h"

namespace rk::sys::ipc {

using detail::BusLoop;
using detail::BusPtr;
using detail::MessagePtr;
using detail::ScopedBusError;
using detail::SlotPtr;

namespace {

bool valid_object(const ServiceObject& o) {
    return sd_bus_service_name_is_valid(o.service.c_str()) > 0 && sd_bus_object_path_is_valid(o.path.c_str()) > 0 &&
           sd_bus_interface_name_is_valid(o.interface.c_str()) > 0;
}

class SdBusServiceProxy final : public ServiceProxy {
public:
    SdBusServiceProxy(BusPtr bus, ServiceObject object, std::string peer)
        : bus_(std::move(bus)), object_(std::move(object)), peer_(std::move(peer)) {}

    HRESULT call(std::string_view member, const IpcValues& in, std::string_view out_signature, IpcValues& out,
                 std::chrono::milliseconds timeout) override {
        out.clear();
        const std::string name(member);
        sd_bus_message* raw = nullptr;
        int r = sd_bus_message_new_method_call(bus_.get(), &raw, peer_.c_str(), object_.path.c_str(),
                                               object_.interface.c_str(), name.c_str());
        MessagePtr m(raw);
        if (r < 0) {
            return detail::hresult_of_errno(r);
        }
        if ((r = detail::append_values(m.get(), in)) < 0) {
            return detail::hresult_of_errno(r);
        }
        ScopedBusError error;
        sd_bus_message* reply_raw = nullptr;
        const auto usec = static_cast<std::uint64_t>(std::max<std::int64_t>(timeout.count(), 1)) * 1000u;
        r = sd_bus_call(bus_.get(), m.get(), usec, error.get(), &reply_raw);
        MessagePtr reply(reply_raw);
        if (r < 0) {
            return detail::hresult_of_call(r, error.get());
        }
        const std::string signature(out_signature);
        if (sd_bus_message_has_signature(reply.get(), signature.c_str()) <= 0 ||
            detail::read_values(reply.get(), out) < 0) {
            out.clear();
            return win::kEUnexpected;
        }
        return win::kSOk;
    }

    const std::string& peer() const override { return peer_; }

private:
    BusPtr bus_;
    ServiceObject object_;
    std::string peer_;
};

class SdBusCallbackEndpoint final : public CallbackEndpoint {
public:
    SdBusCallbackEndpoint(BusPtr bus, CallbackOptions options) : bus_(std::move(bus)), options_(std::move(options)) {}

    ~SdBusCallbackEndpoint() override {
        loop_.request_stop();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    HRESULT start() {
        if (!loop_.valid()) {
            return detail::hresult_of_errno(-EMFILE);
        }
        const char* unique = nullptr;
        int r = sd_bus_get_unique_name(bus_.get(), &unique);
        if (r < 0) {
            return detail::hresult_of_errno(r);
        }
        bus_name_ = unique;
        sd_bus_slot* raw = nullptr;
        if ((r = sd_bus_add_object(bus_.get(), &raw, options_.path.c_str(), &SdBusCallbackEndpoint::on_message,
                                   this)) < 0) {
            return detail::hresult_of_errno(r);
        }
        object_slot_.reset(raw);
        if ((r = detail::watch_name_owners(bus_.get(), owner_slot_, &SdBusCallbackEndpoint::on_owner_changed,
                                           this)) < 0) {
            return detail::hresult_of_errno(r);
        }
        // The peer may have left before the watch existed.
        std::string owner;
        const bool present = detail::name_owner(bus_.get(), options_.accepted_sender, owner) >= 0;
        thread_ = std::thread([this, present] {
            if (!present) {
                peer_gone();
            }
            if (loop_.run(bus_.get(), nullptr) < 0) {
                peer_gone();
            }
        });
        return win::kSOk;
    }

    const std::string& bus_name() const override { return bus_name_; }
    const std::string& path() const override { return options_.path; }

private:
    static int on_message(sd_bus_message* m, void* userdata, sd_bus_error* /*error*/) {
        auto* self = static_cast<SdBusCallbackEndpoint*>(userdata);
        const char* sender = sd_bus_message_get_sender(m);
        const char* interface = sd_bus_message_get_interface(m);
        const char* member = sd_bus_message_get_member(m);
        if (sd_bus_message_is_method_call(m, nullptr, nullptr) <= 0 || sender == nullptr || interface == nullptr ||
            member == nullptr || self->options_.accepted_sender != sender || self->options_.interface != interface) {
            return 0;  // not ours: sd-bus answers "unknown" where a reply is expected
        }
        IncomingCall call;
        call.member = member;
        call.sender = sender;
        if (detail::read_values(m, call.args) < 0) {
            return sd_bus_reply_method_errorf(m, kErrorInvalidArgs, "unsupported arguments");
        }
        if (self->options_.on_call) {
            self->options_.on_call(call);
        }
        if (sd_bus_message_get_expect_reply(m) > 0) {
            return sd_bus_reply_method_return(m, nullptr);
        }
        return 1;
    }

    static int on_owner_changed(sd_bus_message* m, void* userdata, sd_bus_error* /*error*/) {
        auto* self = static_cast<SdBusCallbackEndpoint*>(userdata);
        if (detail::vanished_name(m) == self->options_.accepted_sender) {
            self->peer_gone();
        }
        return 0;
    }

    void peer_gone() {
        if (!gone_reported_ && options_.on_peer_gone) {
            gone_reported_ = true;
            options_.on_peer_gone();
        }
    }

    BusPtr bus_;
    CallbackOptions options_;
    std::string bus_name_;
    SlotPtr object_slot_;
    SlotPtr owner_slot_;
    BusLoop loop_;
    bool gone_reported_ = false;  // endpoint thread only
    std::thread thread_;
};

class SdBusServiceHost final : public ServiceHost {
public:
    SdBusServiceHost(BusPtr bus, ServiceHostOptions options) : bus_(std::move(bus)), options_(std::move(options)) {}

    HRESULT start() {
        if (!loop_.valid()) {
            return detail::hresult_of_errno(-EMFILE);
        }
        int r = sd_bus_request_name(bus_.get(), options_.object.service.c_str(), 0);
        if (r < 0) {
            return r == -EEXIST ? win::hresult_from_win32(win::kErrorAlreadyExists) : detail::hresult_of_errno(r);
        }
        sd_bus_slot* raw = nullptr;
        if ((r = sd_bus_add_object(bus_.get(), &raw, options_.object.path.c_str(), &SdBusServiceHost::on_message,
                                   this)) < 0) {
            return detail::hresult_of_errno(r);
        }
        object_slot_.reset(raw);
        if ((r = detail::watch_name_owners(bus_.get(), owner_slot_, &SdBusServiceHost::on_owner_changed, this)) < 0) {
            return detail::hresult_of_errno(r);
        }
        return win::kSOk;
    }

    HRESULT run() override {
        const int r = loop_.run(bus_.get(), [this] { run_posted(); });
        return r < 0 ? detail::hresult_of_errno(r) : win::kSOk;
    }

    void stop() override { loop_.request_stop(); }

    void post(std::function<void()> work) override {
        {
            std::lock_guard lock(mutex_);
            posted_.push_back(std::move(work));
        }
        loop_.wake();
    }

    HRESULT send_call(const std::string& destination, const std::string& path, const std::string& interface,
                      std::string_view member, const IpcValues& args) override {
        const std::string name(member);
        sd_bus_message* raw = nullptr;
        int r = sd_bus_message_new_method_call(bus_.get(), &raw, destination.c_str(), path.c_str(), interface.c_str(),
                                               name.c_str());
        MessagePtr m(raw);
        if (r < 0 || (r = detail::append_values(m.get(), args)) < 0 ||
            (r = sd_bus_message_set_expect_reply(m.get(), 0)) < 0 || (r = sd_bus_send(bus_.get(), m.get(), nullptr)) < 0) {
            return detail::hresult_of_errno(r);
        }
        return win::kSOk;
    }

    HRESULT emit_signal(std::string_view member, const IpcValues& args) override {
        const std::string name(member);
        sd_bus_message* raw = nullptr;
        int r = sd_bus_message_new_signal(bus_.get(), &raw, options_.object.path.c_str(),
                                          options_.object.interface.c_str(), name.c_str());
        MessagePtr m(raw);
        if (r < 0 || (r = detail::append_values(m.get(), args)) < 0 || (r = sd_bus_send(bus_.get(), m.get(), nullptr)) < 0) {
            return detail::hresult_of_errno(r);
        }
        return win::kSOk;
    }

private:
    bool serves(const char* interface) const {
        if (interface == nullptr) {
            return false;
        }
        if (options_.object.interface == interface) {
            return true;
        }
        return std::find(options_.extra_interfaces.begin(), options_.extra_interfaces.end(), interface) !=
               options_.extra_interfaces.end();
    }

    static int on_message(sd_bus_message* m, void* userdata, sd_bus_error* /*error*/) {
        auto* self = static_cast<SdBusServiceHost*>(userdata);
        const char* interface = sd_bus_message_get_interface(m);
        const char* member = sd_bus_message_get_member(m);
        if (sd_bus_message_is_method_call(m, nullptr, nullptr) <= 0 || member == nullptr || !self->serves(interface)) {
            return 0;
        }
        IncomingCall call;
        call.member = member;
        const char* sender = sd_bus_message_get_sender(m);
        call.sender = sender != nullptr ? sender : "";
        if (detail::read_values(m, call.args) < 0) {
            return sd_bus_reply_method_errorf(m, kErrorInvalidArgs, "unsupported arguments");
        }
        MethodReply reply;
        if (self->options_.on_call) {
            reply = self->options_.on_call(interface, call);
        } else {
            reply.error_name = kErrorUnknownMethod;
        }
        if (sd_bus_message_get_expect_reply(m) <= 0) {
            return 1;
        }
        if (!reply.error_name.empty()) {
            return sd_bus_reply_method_errorf(m, reply.error_name.c_str(), "%s", reply.error_message.c_str());
        }
        sd_bus_message* raw = nullptr;
        int r = sd_bus_message_new_method_return(m, &raw);
        MessagePtr out(raw);
        if (r < 0 || (r = detail::append_values(out.get(), reply.values)) < 0) {
            return sd_bus_reply_method_errorf(m, SD_BUS_ERROR_FAILED, "reply could not be built");
        }
        return sd_bus_send(nullptr, out.get(), nullptr);
    }

    static int on_owner_changed(sd_bus_message* m, void* userdata, sd_bus_error* /*error*/) {
        auto* self = static_cast<SdBusServiceHost*>(userdata);
        const std::string name = detail::vanished_name(m);
        if (!name.empty() && name[0] == ':' && self->options_.on_peer_gone) {
            self->options_.on_peer_gone(name);
        }
        return 0;
    }

    void run_posted() {
        std::deque<std::function<void()>> work;
        {
            std::lock_guard lock(mutex_);
            work.swap(posted_);
        }
        for (auto& w : work) {
            w();
        }
    }

    BusPtr bus_;
    ServiceHostOptions options_;
    SlotPtr object_slot_;
    SlotPtr owner_slot_;
    BusLoop loop_;
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace

HRESULT create_service_proxy(const BusLocation& bus, const ServiceObject& object, std::unique_ptr<ServiceProxy>& out) {
    if (!valid_object(object)) {
        return win::kEInvalidArg;
    }
    BusPtr connection;
    int r = detail::open_bus(bus, connection);
    if (r < 0) {
        return win::kHrRpcSServerUnavailable;
    }
    std::string owner;
    if ((r = detail::name_owner(connection.get(), object.service, owner)) < 0) {
        return r == -ENXIO ? win::kHrRpcSServerUnavailable : detail::hresult_of_errno(r);
    }
    out = std::make_unique<SdBusServiceProxy>(std::move(connection), object, std::move(owner));
    return win::kSOk;
}

HRESULT create_callback_endpoint(const BusLocation& bus, CallbackOptions options,
                                 std::unique_ptr<CallbackEndpoint>& out) {
    if (sd_bus_object_path_is_valid(options.path.c_str()) <= 0 ||
        sd_bus_interface_name_is_valid(options.interface.c_str()) <= 0 ||
        sd_bus_service_name_is_valid(options.accepted_sender.c_str()) <= 0) {
        return win::kEInvalidArg;
    }
    BusPtr connection;
    if (detail::open_bus(bus, connection) < 0) {
        return win::kHrRpcSServerUnavailable;
    }
    auto endpoint = std::make_unique<SdBusCallbackEndpoint>(std::move(connection), std::move(options));
    const HRESULT hr = endpoint->start();
    if (win::failed(hr)) {
        return hr;
    }
    out = std::move(endpoint);
    return win::kSOk;
}

HRESULT create_service_host(const BusLocation& bus, ServiceHostOptions options, std::unique_ptr<ServiceHost>& out) {
    if (!valid_object(options.object)) {
        return win::kEInvalidArg;
    }
    BusPtr connection;
    if (detail::open_bus(bus, connection) < 0) {
        return win::kHrRpcSServerUnavailable;
    }
    auto host = std::make_unique<SdBusServiceHost>(std::move(connection), std::move(options));
    const HRESULT hr = host->start();
    if (win::failed(hr)) {
        return hr;
    }
    out = std::move(host);
    return win::kSOk;
}

}  // namespace rk::sys::ipc
