// Local service IPC: calls between processes of the product on one machine,
// with the meaning of COM calls to an out-of-process server at the surface.
// A proxy is bound to one running instance of a service (as a COM interface
// pointer is): once that instance is gone every call fails with
// kHrRpcSServerUnavailable (0x800706BA), also when a new instance has taken
// its name, so the caller knows it must connect and register again.
//
// On Linux the transport is D-Bus through sd-bus: a service is a bus name
// with one object and interface; a proxy calls the unique name that owned
// the well-known name when the proxy was created.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/ipc/ipc_value.h"

namespace rk::sys::ipc {

enum class BusKind { kSystem, kSession };

// Where the bus is. An empty address means the bus's default, which honours
// DBUS_SYSTEM_BUS_ADDRESS and DBUS_SESSION_BUS_ADDRESS.
struct BusLocation {
    BusKind kind = BusKind::kSystem;
    std::string address;
};

// One object of a service: its well-known name, object path and interface.
struct ServiceObject {
    std::string service;
    std::string path;
    std::string interface;
};

// A call that arrived at an object of ours.
struct IncomingCall {
    std::string member;
    IpcValues args;
    std::string sender;  // unique bus name of the caller
};

// What a served method answers: values (their kinds give the reply's
// signature), or an error name and text.
struct MethodReply {
    IpcValues values;
    std::string error_name;  // empty: success
    std::string error_message;
};

inline constexpr char kErrorInvalidArgs[] = "org.freedesktop.DBus.Error.InvalidArgs";
inline constexpr char kErrorUnknownMethod[] = "org.freedesktop.DBus.Error.UnknownMethod";

// HRESULTs of the capability besides the remote side's own answers.
// A reply that did not arrive in time.
inline constexpr HRESULT kHrCallTimeout = win::hresult_from_win32(win::kErrorTimeout);

class ServiceProxy {
public:
    ServiceProxy() = default;
    ServiceProxy(const ServiceProxy&) = delete;
    ServiceProxy& operator=(const ServiceProxy&) = delete;
    virtual ~ServiceProxy() = default;

    // Calls `member` with `in` and waits at most `timeout` for the reply,
    // whose values must have `out_signature`. Results: S_OK;
    // kHrRpcSServerUnavailable when the service instance is gone (or the bus
    // connection dropped); kHrCallTimeout; E_INVALIDARG when the service
    // refused the arguments, E_NOTIMPL for an unknown method, E_UNEXPECTED
    // for a reply of another signature, E_FAIL for any other error reply.
    // Not thread-safe: one thread uses a proxy.
    virtual HRESULT call(std::string_view member, const IpcValues& in, std::string_view out_signature,
                         IpcValues& out, std::chrono::milliseconds timeout) = 0;

    // The service instance this proxy is bound to (the unique bus name).
    virtual const std::string& peer() const = 0;
};

// CoCreateInstance: connects to the bus and binds to the instance that owns
// `object.service` now. kHrRpcSServerUnavailable when the bus cannot be
// reached or nobody owns the name; E_INVALIDARG for malformed names.
HRESULT create_service_proxy(const BusLocation& bus, const ServiceObject& object, std::unique_ptr<ServiceProxy>& out);

// An object of ours that one service instance calls one-way (the callback
// interface a COM client hands to its server). Calls are delivered on a
// thread of the endpoint, in order; calls from any other sender are dropped.
class CallbackEndpoint {
public:
    CallbackEndpoint() = default;
    CallbackEndpoint(const CallbackEndpoint&) = delete;
    CallbackEndpoint& operator=(const CallbackEndpoint&) = delete;
    // Stops the delivery thread; no handler runs after it returns.
    virtual ~CallbackEndpoint() = default;

    // The bus name and object path the service calls.
    virtual const std::string& bus_name() const = 0;
    virtual const std::string& path() const = 0;
};

struct CallbackOptions {
    std::string path;       // object path to serve
    std::string interface;  // interface the calls must name
    std::string accepted_sender;  // the only unique name whose calls are delivered
    // Incoming one-way calls.
    std::function<void(const IncomingCall&)> on_call;
    // The accepted sender left the bus (the service instance ended); called
    // once, on the endpoint's thread.
    std::function<void()> on_peer_gone;
};

HRESULT create_callback_endpoint(const BusLocation& bus, CallbackOptions options,
                                 std::unique_ptr<CallbackEndpoint>& out);

// The serving side: owns a well-known name and serves one object. Everything
// runs on the thread that calls run(): method handlers, peer notifications
// and posted work.
class ServiceHost {
public:
    ServiceHost() = default;
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;
    virtual ~ServiceHost() = default;

    // Serves until stop(); S_OK, or the HRESULT of a failing bus operation.
    virtual HRESULT run() = 0;
    // Thread-safe; run() returns soon after.
    virtual void stop() = 0;
    // Thread-safe: runs `work` on the serving thread.
    virtual void post(std::function<void()> work) = 0;

    // Serving thread only: a one-way call to a client's callback object
    // (no reply is awaited, so a stuck client cannot stall the service).
    virtual HRESULT send_call(const std::string& destination, const std::string& path, const std::string& interface,
                              std::string_view member, const IpcValues& args) = 0;
    // Serving thread only: a signal from the served object.
    virtual HRESULT emit_signal(std::string_view member, const IpcValues& args) = 0;
};

struct ServiceHostOptions {
    ServiceObject object;
    // Further interfaces served on the same object (administration).
    std::vector<std::string> extra_interfaces;
    // A method call to the object on one of its interfaces; `interface` is
    // the one the caller named.
    std::function<MethodReply(const std::string& interface, const IncomingCall& call)> on_call;
    // A unique name left the bus (a client ended).
    std::function<void(const std::string& unique_name)> on_peer_gone;
};

// Requests the name (failing with HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)
// when another process owns it) and registers the object.
HRESULT create_service_host(const BusLocation& bus, ServiceHostOptions options, std::unique_ptr<ServiceHost>& out);

}  // namespace rk::sys::ipc
