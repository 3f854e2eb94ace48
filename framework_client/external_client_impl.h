// The external client: builds requests, hands them to the communicator and
// dispatches incoming messages to the registered callbacks. It keeps what
// it registered so a new service instance is told again after a reconnect.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "framework_client/call_timeout.h"
#include "framework_client/com_client_communicator.h"
#include "framework_client/external_client.h"

namespace ctp::detail {

struct external_client_options {
    com_client_communicator::options communicator;
    // What kUseClientTimeout (a thread override of all bits) stands for.
    std::chrono::milliseconds configured_timeout = kDefaultCallTimeout;
};

class external_client_impl final : public external_client {
public:
    explicit external_client_impl(external_client_options options);
    ~external_client_impl() override;

    // Starts the communicator; logs "[framework] started external client = 0x%llx".
    void start();
    // Stops the communicator (queued work is processed once).
    void stop();

    std::uint64_t id() const override { return id_; }
    const com_client_communicator& communicator() const { return communicator_; }

    std::error_code get_setting(std::wstring_view name, std::wstring& value, timeout_arg timeout) override;
    std::error_code set_setting(std::wstring_view name, std::wstring_view value, timeout_arg timeout) override;
    std::error_code publish(std::wstring_view topic, std::wstring_view payload, timeout_arg timeout) override;
    std::error_code subscribe(std::wstring_view topic, signal_callback callback, timeout_arg timeout) override;
    std::error_code listen_event(std::wstring_view event, signal_callback callback, timeout_arg timeout) override;
    std::error_code register_for_setting_changes(const std::vector<std::wstring>& names,
                                                 setting_changed_callback callback, timeout_arg timeout) override;
    std::error_code register_for_system_events(system_event_callback callback, timeout_arg timeout) override;
    std::error_code unsubscribe(std::wstring_view topic, timeout_arg timeout) override;
    std::error_code signal_event(std::wstring_view event, std::wstring_view payload, timeout_arg timeout) override;
    std::error_code invoke_rpc(std::wstring_view name, std::wstring_view payload, std::int32_t& hr,
                               std::uint32_t& result, timeout_arg timeout) override;

    // An incoming message (the communicator object's callback).
    void on_message(std::uint16_t type, const std::string& name, const std::string& payload);

private:
    std::error_code request(const char* label, work_item item, timeout_arg timeout,
                            completion_slot::outcome* outcome = nullptr);
    std::vector<work_item> registrations() const;
    void on_setting_change(std::string_view payload);
    void on_system_event(std::string_view payload);
    void on_signal(std::string_view payload);

    const external_client_options options_;
    const std::uint64_t id_;

    mutable std::mutex mutex_;
    std::set<std::wstring> setting_names_;
    std::vector<setting_changed_callback> setting_callbacks_;
    std::vector<system_event_callback> system_event_callbacks_;
    std::map<std::wstring, std::vector<signal_callback>> topics_;  // subscribed topics
    std::map<std::wstring, std::vector<signal_callback>> events_;  // listened events

    com_client_communicator communicator_;  // last: its thread uses the members above
};

}  // namespace ctp::detail
