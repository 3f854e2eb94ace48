// Test helper: a private dbus-daemon of the test's own, on a socket in a
// temporary folder, and child processes that are stopped with the object.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/system/ipc/local_service.h"

namespace rk::sys::ipc::test {

// A child process started with posix_spawn and the caller's environment
// plus `env`; killed (SIGKILL) and reaped on destruction.
class ChildProcess {
public:
    ChildProcess() = default;
    // `quiet`: standard error goes to /dev/null.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}, bool quiet = false);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Sends `sig` and waits for the process; returns its wait status.
    int kill_and_wait(int sig);

private:
    pid_t pid_ = -1;
};

class PrivateBus {
public:
    PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    ~PrivateBus();

    // Whether dbus-daemon could be started; when not, why (for GTEST_SKIP).
    bool started() const { return started_; }
    const std::string& why_not() const { return why_not_; }

    const std::string& address() const { return address_; }
    BusLocation location() const { return {BusKind::kSession, address_}; }
    const std::filesystem::path& folder() const { return folder_; }

    // Waits (at most `timeout_ms`) until `name` has an owner on the bus.
    bool wait_for_name(const std::string& name, int timeout_ms = 5000) const;
    // Waits until nobody owns `name`.
    bool wait_for_name_gone(const std::string& name, int timeout_ms = 5000) const;

private:
    std::filesystem::path folder_;
    std::string address_;
    ChildProcess daemon_;
    bool started_ = false;
    std::string why_not_;
};

}  // namespace rk::sys::ipc::test
