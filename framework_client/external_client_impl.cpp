#include "framework_client/external_client_impl.h"

#include "framework_client/component_logger.h"
#include "framework_client/framework_error.h"
#include "framework_client/framework_words.h"
#include "framework_client/message_types.h"
#include "framework_client/scoped_trace.h"
#include "platform/errors/error_report.h"
#include "platform/system/random.h"
#include "platform/text/utf.h"

namespace ctp::detail {

namespace {

constexpr LogLevel kProgress = rk::log_level::kProgress;

std::uint64_t new_client_id() {
    std::uint64_t id = 0;
    rk::sys::random_bytes(std::span(reinterpret_cast<std::uint8_t*>(&id), sizeof id));
    return id;
}

void report(const std::error_code& code, std::wstring message) {
    component_logger::instance().report(RK_ERROR_REPORT(code, std::move(message), kComponent));
}

work_item message(std::uint16_t type, std::string payload, bool priority = false) {
    work_item item;
    item.type = type;
    item.name = std::string(message_type_name(type));
    item.payload = std::move(payload);
    item.priority = priority;
    return item;
}

}  // namespace

external_client_impl::external_client_impl(external_client_options options)
    : options_(std::move(options)),
      id_(new_client_id()),
      communicator_(
          options_.communicator,
          [this](std::uint16_t type, const std::string& name, const std::string& payload) {
              on_message(type, name, payload);
          },
          [this] { return registrations(); }) {}

external_client_impl::~external_client_impl() { stop(); }

void external_client_impl::start() {
    communicator_.start();
    CTP_LOG(kProgress, kLogStartedExternalClient, id_);
}

void external_client_impl::stop() { communicator_.stop(); }

std::error_code external_client_impl::request(const char* label, work_item item, timeout_arg timeout,
                                              completion_slot::outcome* outcome) {
    try {
        scoped_trace trace(kTraceComponent, label);
        item.slot = std::make_shared<completion_slot>();
        auto slot = item.slot;
        communicator_.enqueue(std::move(item));
        if (!slot->wait_for(effective_call_timeout(timeout, options_.configured_timeout))) {
            const auto ec = make_error_code(framework_error::timed_out);
            report(ec, rk::text::format(kRemoteTimedOut, label));
            return ec;
        }
        if (const auto& result = slot->result().result) {
            report(result, rk::text::format(kRemoteFailed, label));
            return result;
        }
        if (outcome != nullptr) {
            *outcome = slot->result();
        }
        return {};
    } catch (...) {
        report(make_error_code(framework_error::exception), rk::text::format(kExceptionIn, label));
        return make_error_code(framework_error::exception);
    }
}

std::error_code external_client_impl::get_setting(std::wstring_view name, std::wstring& value, timeout_arg timeout) {
    completion_slot::outcome outcome;
    auto ec = request(kLabelGetSetting, message(message_type::kGetSetting, name_payload(name)), timeout, &outcome);
    if (!ec) {
        value = rk::text::utf8_to_wide(outcome.reply);
    }
    return ec;
}

std::error_code external_client_impl::set_setting(std::wstring_view name, std::wstring_view value,
                                                  timeout_arg timeout) {
    return request(kLabelSetSetting, message(message_type::kSetSetting, setting_payload(name, value)), timeout);
}

std::error_code external_client_impl::publish(std::wstring_view topic, std::wstring_view payload,
                                              timeout_arg timeout) {
    return request(kLabelPublish, message(message_type::kPublish, publish_payload(topic, payload)), timeout);
}

std::error_code external_client_impl::subscribe(std::wstring_view topic, signal_callback callback,
                                                timeout_arg timeout) {
    {
        std::lock_guard lock(mutex_);
        topics_[std::wstring(topic)].push_back(std::move(callback));
    }
    return request(kLabelSubscribe, message(message_type::kSubscribe, topic_payload(topic)), timeout);
}

std::error_code external_client_impl::listen_event(std::wstring_view event, signal_callback callback,
                                                   timeout_arg timeout) {
    {
        std::lock_guard lock(mutex_);
        events_[std::wstring(event)].push_back(std::move(callback));
    }
    return request(kLabelListenEvent, message(message_type::kListen, event_payload(event)), timeout);
}

std::error_code external_client_impl::register_for_setting_changes(const std::vector<std::wstring>& names,
                                                                   setting_changed_callback callback,
                                                                   timeout_arg timeout) {
    CTP_LOG(kProgress, kLogRegisteringSettings, names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        CTP_LOG(kProgress, kLogRegisteringSetting, i + 1, names.size(), static_cast<int>(names[i].size()), names[i]);
    }
    {
        std::lock_guard lock(mutex_);
        setting_names_.insert(names.begin(), names.end());
        setting_callbacks_.push_back(std::move(callback));
    }
    return request(kLabelRegisterSettingChanges, message(message_type::kRegisterSettings, names_payload(names)),
                   timeout);
}

std::error_code external_client_impl::register_for_system_events(system_event_callback callback,
                                                                 timeout_arg timeout) {
    {
        std::lock_guard lock(mutex_);
        system_event_callbacks_.push_back(std::move(callback));
    }
    return request(kLabelRegisterSystemEvents, message(message_type::kRegisterEvents, "{}"), timeout);
}

std::error_code external_client_impl::unsubscribe(std::wstring_view topic, timeout_arg timeout) {
    {
        std::lock_guard lock(mutex_);
        topics_.erase(std::wstring(topic));
    }
    return request(kLabelUnsubscribe, message(message_type::kUnsubscribe, topic_payload(topic)), timeout);
}

std::error_code external_client_impl::signal_event(std::wstring_view event, std::wstring_view payload,
                                                   timeout_arg timeout) {
    return request(kLabelSignalEvent, message(message_type::kSignal, signal_payload(event, payload)), timeout);
}

std::error_code external_client_impl::invoke_rpc(std::wstring_view name, std::wstring_view payload, std::int32_t& hr,
                                                 std::uint32_t& result, timeout_arg timeout) {
    work_item item;
    item.name = rk::text::wide_to_utf8(name);
    item.payload = rk::text::wide_to_utf8(payload);
    item.flags = work_item::kFlagInvokeRpc;
    completion_slot::outcome outcome;
    auto ec = request(kLabelInvokeRpc, std::move(item), timeout, &outcome);
    if (ec) {
        report(ec, rk::text::format(kInvokeRpcFailed, static_cast<int>(name.size()), name));
        return ec;
    }
    hr = outcome.hr;
    result = outcome.number;
    return {};
}

std::vector<work_item> external_client_impl::registrations() const {
    std::lock_guard lock(mutex_);
    std::vector<work_item> items;
    if (!setting_names_.empty()) {
        items.push_back(message(message_type::kRegisterSettings,
                                names_payload({setting_names_.begin(), setting_names_.end()}), true));
    }
    if (!system_event_callbacks_.empty()) {
        items.push_back(message(message_type::kRegisterEvents, "{}", true));
    }
    for (const auto& [topic, callbacks] : topics_) {
        items.push_back(message(message_type::kSubscribe, topic_payload(topic), true));
    }
    for (const auto& [event, callbacks] : events_) {
        items.push_back(message(message_type::kListen, event_payload(event), true));
    }
    return items;
}

void external_client_impl::on_message(std::uint16_t type, const std::string& name, const std::string& payload) {
    if (communicator_.stopping()) {
        CTP_LOG(kProgress, kLogNotProcessing);
        return;
    }
    if (payload.size() > kMaxIncomingPayload || name != message_type_name(type)) {
        report(make_error_code(framework_error::invalid_data), L"a data value is invalid");
        return;
    }
    const std::wstring wide_name = rk::text::utf8_to_wide(name);
    const std::wstring wide_payload = rk::text::utf8_to_wide(payload);
    CTP_LOG(kProgress, kLogReceived, static_cast<int>(wide_name.size()), wide_name,
            static_cast<int>(wide_payload.size()), wide_payload);
    switch (type) {
        case message_type::kResponseSettingChange: on_setting_change(payload); break;
        case message_type::kResponseSystemEvent: on_system_event(payload); break;
        case message_type::kResponseSignal: on_signal(payload); break;
        default: break;  // logged above; nothing in this process handles it
    }
}

void external_client_impl::on_setting_change(std::string_view payload) {
    payload_error error;
    const auto change = parse_setting_change(payload, error);
    if (!change) {
        report(make_error_code(error.too_large ? framework_error::out_of_range : framework_error::invalid_data),
               error.message);
        return;
    }
    std::vector<setting_changed_callback> callbacks;
    {
        std::lock_guard lock(mutex_);
        callbacks = setting_callbacks_;
    }
    for (const auto& callback : callbacks) {
        CTP_LOG(kProgress, kLogNotifyingSetting, static_cast<int>(change->name.size()), change->name,
                static_cast<int>(change->value.size()), change->value);
        callback(change->name, change->value);
    }
}

void external_client_impl::on_system_event(std::string_view payload) {
    payload_error error;
    const auto event = parse_system_event(payload, error);
    if (!event) {
        report(make_error_code(framework_error::invalid_data), error.message);
        return;
    }
    std::vector<system_event_callback> callbacks;
    {
        std::lock_guard lock(mutex_);
        callbacks = system_event_callbacks_;
    }
    for (const auto& callback : callbacks) {
        CTP_LOG(kProgress, kLogNotifyingSystemEvent, event->domain, event->ctrl_code);
        callback(*event);
    }
}

void external_client_impl::on_signal(std::string_view payload) {
    payload_error error;
    const auto signal = parse_signal(payload, error);
    if (!signal) {
        report(make_error_code(error.too_large ? framework_error::out_of_range : framework_error::invalid_data),
               error.message);
        return;
    }
    std::vector<signal_callback> callbacks;
    {
        std::lock_guard lock(mutex_);
        for (const auto* listeners : {&topics_, &events_}) {
            if (const auto it = listeners->find(signal->event); it != listeners->end()) {
                callbacks.insert(callbacks.end(), it->second.begin(), it->second.end());
            }
        }
    }
    for (const auto& callback : callbacks) {
        callback(signal->event, signal->payload);
    }
}

}  // namespace ctp::detail
