#include "tools/framework_service/framework_service.h"

#include <chrono>
#include <thread>

#include "framework_client/framework_error.h"
#include "framework_client/framework_words.h"
#include "framework_client/message_types.h"
#include "platform/text/json.h"

namespace rk::framework_service {

namespace ipc = sys::ipc;
namespace json = text::json;
namespace mt = ctp::message_type;
using ctp::framework_error;

namespace {

constexpr std::int32_t code(framework_error e) { return static_cast<std::int32_t>(e); }

// A string member as UTF-8.
bool string_field(const rapidjson::Value& doc, const char* name, std::string& out) {
    const auto* m = json::member(doc, name);
    if (m == nullptr || !m->IsString()) {
        return false;
    }
    out.assign(m->GetString(), m->GetStringLength());
    return true;
}

std::string object_text(std::initializer_list<std::pair<const char*, std::string>> fields) {
    std::string text = "{";
    for (const auto& [name, value] : fields) {
        if (text.size() > 1) {
            text += ',';
        }
        text += json::quoted(name) + ":" + json::quoted(value);
    }
    return text + "}";
}

ipc::MethodReply invalid_args() { return {{}, ipc::kErrorInvalidArgs, "unexpected arguments"}; }

}  // namespace

HRESULT FrameworkService::create(ServiceOptions options, std::unique_ptr<FrameworkService>& out) {
    std::unique_ptr<FrameworkService> service(new FrameworkService(std::move(options)));
    ipc::ServiceHostOptions host;
    host.object = {ctp::kServiceName, ctp::kControllerPath, ctp::kControllerInterface};
    host.extra_interfaces = {ctp::kAdminInterface};
    auto* self = service.get();
    host.on_call = [self](const std::string& interface, const ipc::IncomingCall& call) {
        return self->on_call(interface, call);
    };
    host.on_peer_gone = [self](const std::string& name) { self->on_peer_gone(name); };
    const HRESULT hr = ipc::create_service_host(service->options_.bus, std::move(host), service->host_);
    if (win::failed(hr)) {
        return hr;
    }
    out = std::move(service);
    return win::kSOk;
}

FrameworkService::FrameworkService(ServiceOptions options) : options_(std::move(options)) {}

FrameworkService::~FrameworkService() = default;

ipc::MethodReply FrameworkService::on_call(const std::string& interface, const ipc::IncomingCall& call) {
    return interface == ctp::kAdminInterface ? on_admin(call) : on_controller(call);
}

ipc::MethodReply FrameworkService::on_controller(const ipc::IncomingCall& call) {
    const auto& a = call.args;
    const auto is = [&](std::size_t i, std::size_t kind) { return a.size() > i && a[i].index() == kind; };
    if (call.member == ctp::kRegisterCommunicator || call.member == ctp::kUnregisterCommunicator) {
        if (a.size() != 2 || !is(0, 4) || !is(1, 4)) {
            return invalid_args();
        }
        const auto endpoint = std::make_pair(std::get<std::string>(a[0]), std::get<std::string>(a[1]));
        if (call.member == ctp::kRegisterCommunicator) {
            clients_[call.sender].communicators.insert(endpoint);
            return {{std::int32_t{0}}, {}, {}};
        }
        const auto it = clients_.find(call.sender);
        const bool found = it != clients_.end() && it->second.communicators.erase(endpoint) > 0;
        return {{found ? std::int32_t{0} : code(framework_error::not_found)}, {}, {}};
    }
    if (call.member == ctp::kSendMessage) {
        if (a.size() != 3 || !is(0, 0) || !is(1, 4) || !is(2, 4)) {
            return invalid_args();
        }
        auto [result, reply] = on_message(call.sender, std::get<std::uint16_t>(a[0]), std::get<std::string>(a[1]),
                                          std::get<std::string>(a[2]));
        return {{result, std::move(reply)}, {}, {}};
    }
    if (call.member == ctp::kInvokeRpc) {
        if (a.size() != 2 || !is(0, 4) || !is(1, 4)) {
            return invalid_args();
        }
        auto [hr, number] = on_rpc(std::get<std::string>(a[0]), std::get<std::string>(a[1]));
        return {{hr, number}, {}, {}};
    }
    return {{}, ipc::kErrorUnknownMethod, "no such method"};
}

ipc::MethodReply FrameworkService::on_admin(const ipc::IncomingCall& call) {
    const auto& a = call.args;
    if (call.member == ctp::kEmitSystemEvent && a.size() == 1 && a[0].index() == 4) {
        // Sent as given: a service may send events that lack fields.
        const auto n = deliver(mt::kResponseSystemEvent, std::get<std::string>(a[0]),
                               [](const Client& c) { return c.system_events; });
        return {{static_cast<std::int32_t>(n)}, {}, {}};
    }
    if (call.member == "Deliver" && a.size() == 4 && a[0].index() == 0 && a[1].index() == 4 && a[2].index() == 4 &&
        a[3].index() == 2) {
        // Any message, `count` times, to every communicator (tests: floods,
        // oversized and malformed payloads).
        const auto type = std::get<std::uint16_t>(a[0]);
        const auto& name = std::get<std::string>(a[1]);
        const auto& payload = std::get<std::string>(a[2]);
        std::uint32_t sent = 0;
        for (std::uint32_t i = 0; i < std::get<std::uint32_t>(a[3]); ++i) {
            for (const auto& [sender, client] : clients_) {
                for (const auto& [bus_name, path] : client.communicators) {
                    if (win::succeeded(host_->send_call(bus_name, path, ctp::kCommunicatorInterface, ctp::kReceive,
                                                        {type, name, payload}))) {
                        ++sent;
                    }
                }
            }
        }
        return {{static_cast<std::int32_t>(sent)}, {}, {}};
    }
    return invalid_args();
}

std::pair<std::int32_t, std::string> FrameworkService::on_message(const std::string& sender, std::uint16_t type,
                                                                  const std::string& name,
                                                                  const std::string& payload) {
    if (name != ctp::message_type_name(type)) {
        return {code(framework_error::invalid_argument), {}};
    }
    rapidjson::Document doc;
    if (!json::parse(payload, doc) || !doc.IsObject()) {
        return {code(framework_error::invalid_data), {}};
    }
    Client& client = clients_[sender];
    std::string a;
    std::string b;
    switch (type) {
        case mt::kGetSetting: {
            if (!string_field(doc, ctp::kFieldName, a)) {
                return {code(framework_error::invalid_argument), {}};
            }
            const auto it = options_.settings.find(a);
            if (it == options_.settings.end()) {
                return {code(framework_error::not_found), {}};
            }
            return {0, it->second};
        }
        case mt::kSetSetting: {
            if (!string_field(doc, ctp::kFieldName, a) || !string_field(doc, ctp::kFieldValue, b)) {
                return {code(framework_error::invalid_argument), {}};
            }
            options_.settings[a] = b;
            deliver(mt::kResponseSettingChange, object_text({{ctp::kFieldName, a}, {ctp::kFieldValue, b}}),
                    [&](const Client& c) { return c.settings.count(a) > 0; });
            return {0, {}};
        }
        case mt::kPublish:
        case mt::kSignal: {
            const bool publish = type == mt::kPublish;
            if (!string_field(doc, publish ? ctp::kFieldTopic : ctp::kFieldEvent, a) ||
                !string_field(doc, ctp::kFieldPayload, b)) {
                return {code(framework_error::invalid_argument), {}};
            }
            deliver(mt::kResponseSignal, object_text({{ctp::kFieldEvent, a}, {ctp::kFieldPayload, b}}),
                    [&](const Client& c) { return (publish ? c.topics : c.events).count(a) > 0; });
            return {0, {}};
        }
        case mt::kSubscribe:
        case mt::kUnsubscribe:
            if (!string_field(doc, ctp::kFieldTopic, a)) {
                return {code(framework_error::invalid_argument), {}};
            }
            if (type == mt::kSubscribe) {
                client.topics.insert(a);
            } else if (client.topics.erase(a) == 0) {
                return {code(framework_error::not_found), {}};
            }
            return {0, {}};
        case mt::kListen:
            if (!string_field(doc, ctp::kFieldEvent, a)) {
                return {code(framework_error::invalid_argument), {}};
            }
            client.events.insert(a);
            return {0, {}};
        case mt::kRegisterSettings: {
            const auto* names = json::member(doc, ctp::kFieldNames);
            if (names == nullptr || !names->IsArray()) {
                return {code(framework_error::invalid_argument), {}};
            }
            for (const auto& n : names->GetArray()) {
                if (!n.IsString()) {
                    return {code(framework_error::invalid_argument), {}};
                }
                client.settings.emplace(n.GetString(), n.GetStringLength());
            }
            return {0, {}};
        }
        case mt::kRegisterEvents:
            client.system_events = true;
            return {0, {}};
        default:
            return {code(framework_error::not_implemented), {}};
    }
}

std::pair<std::int32_t, std::uint32_t> FrameworkService::on_rpc(const std::string& name, const std::string& payload) {
    rapidjson::Document doc;
    const bool object = json::parse(payload, doc) && doc.IsObject();
    if (name == "av.cache.set") {
        std::string target;
        const auto* flags = object ? json::member(doc, "flags") : nullptr;
        if (!object || !string_field(doc, "target", target) || flags == nullptr || !flags->IsUint64()) {
            return {win::kEInvalidArg, 0};
        }
        cache_[target] = flags->GetUint64();
        if (options_.on_cache_entry) {
            options_.on_cache_entry(target, flags->GetUint64());
        }
        return {win::kSOk, static_cast<std::uint32_t>(cache_.size())};
    }
    if (name == "av.cache.get") {
        std::string target;
        if (!object || !string_field(doc, "target", target)) {
            return {win::kEInvalidArg, 0};
        }
        const auto it = cache_.find(target);
        if (it == cache_.end()) {
            return {code(framework_error::not_found), 0};
        }
        return {win::kSOk, static_cast<std::uint32_t>(it->second)};
    }
    if (name == "service.sleep") {
        // Holds the service busy (tests end it mid-call); at most 10 s.
        const auto* ms = object ? json::member(doc, "ms") : nullptr;
        if (ms == nullptr || !ms->IsUint() || ms->GetUint() > 10000) {
            return {win::kEInvalidArg, 0};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms->GetUint()));
        return {win::kSOk, ms->GetUint()};
    }
    return {win::kENotImpl, 0};
}

std::uint32_t FrameworkService::deliver(std::uint16_t type, const std::string& payload,
                                        const std::function<bool(const Client&)>& want) {
    const std::string name(ctp::message_type_name(type));
    std::uint32_t sent = 0;
    for (const auto& [sender, client] : clients_) {
        if (!want(client)) {
            continue;
        }
        for (const auto& [bus_name, path] : client.communicators) {
            if (win::succeeded(
                    host_->send_call(bus_name, path, ctp::kCommunicatorInterface, ctp::kReceive, {type, name, payload}))) {
                ++sent;
            }
        }
    }
    return sent;
}

void FrameworkService::on_peer_gone(const std::string& unique_name) {
    clients_.erase(unique_name);
    for (auto& [sender, client] : clients_) {
        std::erase_if(client.communicators, [&](const auto& c) { return c.first == unique_name; });
    }
}

}  // namespace rk::framework_service
