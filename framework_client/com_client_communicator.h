// The communicator: owns the connection to the framework service on a
// thread of its own ("framework: com") and delivers queued calls in order.
// Disconnected, it tries to connect at most once per retry interval; a call
// that finds the service gone drops the controller, and the calls not yet
// answered go back to the front of the queue for the next connection.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "framework_client/controller.h"
#include "framework_client/work_item.h"

namespace ctp::detail {

class com_client_communicator {
public:
    struct options {
        connection_options connection;
        std::chrono::milliseconds retry_interval{1000};
        bool reconnect = true;
    };
    // Calls to send first after every (re)connection: the registrations the
    // service has to be told again.
    using connected_hook = std::function<std::vector<work_item>()>;

    com_client_communicator(options opts, incoming_handler on_message, connected_hook on_connected);
    com_client_communicator(const com_client_communicator&) = delete;
    com_client_communicator& operator=(const com_client_communicator&) = delete;
    ~com_client_communicator();

    void start();
    // Processes what is queued once (when connected), then ends the thread.
    void stop();
    bool stopping() const;

    void enqueue(work_item item);

    // Connection attempts so far (for tests and the operator tool).
    std::size_t connect_attempts() const;

private:
    void run();
    void connect();
    void reset_controller();
    // Processes `batch` in order; returns the calls left unanswered because
    // the service went away.
    std::deque<work_item> process(std::deque<work_item> batch);
    void fail_all(std::deque<work_item>& items, const std::error_code& code);

    const options options_;
    const incoming_handler on_message_;
    const connected_hook on_connected_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<work_item> queue_;
    bool stop_ = false;
    bool connection_lost_ = false;  // the service instance left (callback thread)
    std::size_t attempts_ = 0;
    std::thread thread_;

    std::unique_ptr<controller> controller_;  // communicator thread only
};

}  // namespace ctp::detail
