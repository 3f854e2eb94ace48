#include "framework_client/test/framework_service_process.h"

#include <signal.h>

#include "framework_client/framework_words.h"

namespace ctp::test {

FrameworkServiceProcess::FrameworkServiceProcess(const rk::sys::ipc::test::PrivateBus& bus,
                                                 std::vector<std::string> args)
    : bus_(bus), args_(std::move(args)) {}

bool FrameworkServiceProcess::start() {
    std::vector<std::string> argv = {RK_FRAMEWORK_SERVICE_PATH, "--bus", "session", "--address", bus_.address()};
    argv.insert(argv.end(), args_.begin(), args_.end());
    process_ = rk::sys::ipc::test::ChildProcess(argv);
    return process_.running() && bus_.wait_for_name(kServiceName);
}

void FrameworkServiceProcess::kill() {
    process_.kill_and_wait(SIGKILL);
    bus_.wait_for_name_gone(kServiceName);
}

std::int32_t admin_call(const rk::sys::ipc::test::PrivateBus& bus, const char* member,
                        const rk::sys::ipc::IpcValues& args) {
    std::unique_ptr<rk::sys::ipc::ServiceProxy> proxy;
    if (rk::sys::ipc::create_service_proxy(bus.location(), {kServiceName, kControllerPath, kAdminInterface}, proxy) !=
        0) {
        return -1;
    }
    rk::sys::ipc::IpcValues out;
    if (proxy->call(member, args, "i", out, std::chrono::seconds(5)) != 0) {
        return -1;
    }
    return std::get<std::int32_t>(out[0]);
}

detail::external_client_options client_options(const rk::sys::ipc::test::PrivateBus& bus,
                                               std::chrono::milliseconds retry) {
    detail::external_client_options options;
    options.communicator.connection.bus = bus.location();
    options.communicator.retry_interval = retry;
    return options;
}

}  // namespace ctp::test
