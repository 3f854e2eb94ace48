#include "platform/system/ipc/test/private_bus.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/system/ipc/sd_bus_support.h"

extern char** environ;

namespace rk::sys::ipc::test {

namespace {

std::filesystem::path find_program(const std::string& name) {
    for (const char* dir : {"/usr/bin", "/bin", "/usr/local/bin"}) {
        const auto p = std::filesystem::path(dir) / name;
        if (::access(p.c_str(), X_OK) == 0) {
            return p;
        }
    }
    return {};
}

bool has_owner(const std::string& address, const std::string& name) {
    detail::BusPtr bus;
    if (detail::open_bus({BusKind::kSession, address}, bus) < 0) {
        return false;
    }
    std::string owner;
    return detail::name_owner(bus.get(), name, owner) >= 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env, bool quiet) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        environment.emplace_back(*e);
    }
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : environment) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (quiet) {
        ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) == 0) {
        pid_ = pid;
    }
    ::posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        if (pid_ > 0) {
            kill_and_wait(SIGKILL);
        }
        pid_ = other.pid_;
        other.pid_ = -1;
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill_and_wait(SIGKILL);
    }
}

int ChildProcess::kill_and_wait(int sig) {
    if (pid_ <= 0) {
        return -1;
    }
    ::kill(pid_, sig);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

PrivateBus::PrivateBus() {
    const auto daemon = find_program("dbus-daemon");
    if (daemon.empty()) {
        why_not_ = "dbus-daemon is not installed (scripts/setup.sh installs it)";
        return;
    }
    char pattern[] = "/tmp/rk-bus-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        why_not_ = "cannot create a temporary folder";
        return;
    }
    folder_ = pattern;
    address_ = "unix:path=" + (folder_ / "bus.sock").string();
    daemon_ = ChildProcess({daemon.string(), "--session", "--nofork", "--nopidfile", "--address=" + address_}, {}, true);
    if (!daemon_.running()) {
        why_not_ = "dbus-daemon could not be started";
        return;
    }
    // Ready once it answers on its socket.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        detail::BusPtr bus;
        if (detail::open_bus(location(), bus) >= 0) {
            started_ = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    why_not_ = "dbus-daemon did not answer on " + address_;
}

PrivateBus::~PrivateBus() {
    if (daemon_.running()) {
        daemon_.kill_and_wait(SIGTERM);
    }
    if (!folder_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
}

bool PrivateBus::wait_for_name(const std::string& name, int timeout_ms) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!has_owner(address_, name)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool PrivateBus::wait_for_name_gone(const std::string& name, int timeout_ms) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (has_owner(address_, name)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace rk::sys::ipc::test
