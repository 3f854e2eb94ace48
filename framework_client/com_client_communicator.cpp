#include "framework_client/com_client_communicator.h"

#include <cstdlib>

#include "framework_client/component_logger.h"
#include "framework_client/framework_error.h"
#include "framework_client/framework_words.h"
#include "platform/errors/error_report.h"
#include "platform/system/current_thread.h"
#include "platform/text/utf.h"

namespace ctp::detail {

namespace {

using clock = std::chrono::steady_clock;
constexpr LogLevel kProgress = rk::log_level::kProgress;

void report(const std::error_code& code, const wchar_t* message) {
    component_logger::instance().report(RK_ERROR_REPORT(code, message, kComponent));
}

}  // namespace

com_client_communicator::com_client_communicator(options opts, incoming_handler on_message,
                                                 connected_hook on_connected)
    : options_(std::move(opts)), on_message_(std::move(on_message)), on_connected_(std::move(on_connected)) {}

com_client_communicator::~com_client_communicator() { stop(); }

void com_client_communicator::start() {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) {
        thread_ = std::thread([this] {
            try {
                run();
            } catch (...) {
                CTP_LOG(kProgress, kExceptionInMain);
                std::abort();
            }
        });
    }
}

void com_client_communicator::stop() {
    if (!thread_.joinable()) {
        return;
    }
    CTP_LOG(kProgress, kLogStoppingConnection);
    CTP_LOG(kProgress, kLogRequestingTermination);
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    CTP_LOG(kProgress, kLogWaitingForThread);
    thread_.join();
}

bool com_client_communicator::stopping() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

std::size_t com_client_communicator::connect_attempts() const {
    std::lock_guard lock(mutex_);
    return attempts_;
}

void com_client_communicator::enqueue(work_item item) {
    {
        std::lock_guard lock(mutex_);
        if (item.priority) {
            queue_.push_front(std::move(item));
        } else {
            queue_.push_back(std::move(item));
        }
    }
    cv_.notify_all();
}

void com_client_communicator::connect() {
    CTP_LOG(kProgress, kLogTryingToConnect);
    {
        std::lock_guard lock(mutex_);
        ++attempts_;
        connection_lost_ = false;
    }
    std::unique_ptr<controller> candidate;
    if (auto ec = controller::create(options_.connection, candidate)) {
        report(ec, kCreateInstanceFailed);
        return;
    }
    auto on_lost = [this] {
        {
            std::lock_guard lock(mutex_);
            connection_lost_ = true;
        }
        cv_.notify_all();
    };
    if (auto ec = candidate->register_communicator(on_message_, on_lost)) {
        report(ec, kRegisterCommunicatorFailed);
        return;
    }
    controller_ = std::move(candidate);
    CTP_LOG(kProgress, kLogConnected);
    if (on_connected_) {
        auto again = on_connected_();
        std::lock_guard lock(mutex_);
        for (auto it = again.rbegin(); it != again.rend(); ++it) {
            queue_.push_front(std::move(*it));
        }
    }
}

void com_client_communicator::reset_controller() {
    CTP_LOG(kProgress, kLogResettingController);
    // Destroying the controller joins its callback thread, which takes the
    // mutex: never hold it here.
    controller_.reset();
    std::lock_guard lock(mutex_);
    connection_lost_ = false;
}

void com_client_communicator::fail_all(std::deque<work_item>& items, const std::error_code& code) {
    for (auto& item : items) {
        if (item.slot) {
            item.slot->complete({code, {}, 0, 0});
        }
    }
    items.clear();
}

std::deque<work_item> com_client_communicator::process(std::deque<work_item> batch) {
    while (!batch.empty()) {
        work_item& item = batch.front();
        if (item.slot && item.slot->abandoned()) {
            batch.pop_front();  // its caller has given up
            continue;
        }
        completion_slot::outcome outcome;
        if ((item.flags & work_item::kFlagInvokeRpc) != 0) {
            outcome.result = controller_->invoke_rpc(rk::text::utf8_to_wide(item.name),
                                                     rk::text::utf8_to_wide(item.payload), outcome.hr, outcome.number);
        } else {
            outcome.result = controller_->send_message(item.type, item.name, item.payload, outcome.reply);
        }
        if (is_connection_lost(outcome.result)) {
            reset_controller();
            return batch;  // this call and the rest were not answered
        }
        if (item.slot) {
            item.slot->complete(std::move(outcome));
        }
        batch.pop_front();
    }
    return batch;
}

void com_client_communicator::run() {
    rk::sys::set_current_thread_name(kThreadName);
    rk::sys::raise_current_thread_priority();  // refused without the privilege; normal priority then
    CTP_LOG(kProgress, kLogThreadStarted);

    auto last_attempt = clock::now() - options_.retry_interval;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (controller_ && connection_lost_) {
            lock.unlock();
            reset_controller();
            lock.lock();
        }
        if (!controller_ && clock::now() - last_attempt >= options_.retry_interval) {
            last_attempt = clock::now();
            lock.unlock();
            connect();
            lock.lock();
        }
        if (!controller_) {
            if (!options_.reconnect) {
                CTP_LOG(kProgress, kLogReconnectDisabled);
                break;
            }
            if (stop_) {
                break;
            }
            CTP_LOG(kProgress, kLogWaitingBeforeRetry);
            std::erase_if(queue_, [](const work_item& i) { return i.slot && i.slot->abandoned(); });
            const std::size_t queued = queue_.size();
            cv_.wait_until(lock, last_attempt + options_.retry_interval,
                           [&] { return stop_ || queue_.size() != queued; });
            continue;
        }
        if (queue_.empty()) {
            if (stop_) {
                break;
            }
            cv_.wait(lock, [&] { return stop_ || !queue_.empty() || connection_lost_; });
            continue;
        }
        std::deque<work_item> batch;
        batch.swap(queue_);
        const bool stopping = stop_;
        lock.unlock();
        if (stopping) {
            CTP_LOG(kProgress, kLogProcessingRemaining, batch.size());
        }
        auto left = process(std::move(batch));
        lock.lock();
        if (!left.empty()) {
            if (stopping) {
                CTP_LOG(kProgress, kLogNotReenqueing);
                lock.unlock();
                fail_all(left, make_error_code(framework_error::not_available));
                lock.lock();
            } else {
                CTP_LOG(kProgress, kLogReenqueing, left.size());
                for (auto it = left.rbegin(); it != left.rend(); ++it) {
                    queue_.push_front(std::move(*it));
                }
            }
        }
        if (stopping) {
            break;
        }
    }
    // Whatever is still queued cannot be delivered any more.
    std::deque<work_item> rest;
    rest.swap(queue_);
    lock.unlock();
    fail_all(rest, make_error_code(framework_error::not_available));

    CTP_LOG(kProgress, kLogUnregistering);
    if (controller_) {
        controller_->unregister_communicator();
        controller_.reset();
    }
}

}  // namespace ctp::detail
