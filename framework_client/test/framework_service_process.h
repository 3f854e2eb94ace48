// Test helper: rk-framework-service as a real child process on a private
// bus, and calls to its administration interface.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework_client/external_client_impl.h"
#include "platform/system/ipc/test/private_bus.h"

namespace ctp::test {

class FrameworkServiceProcess {
public:
    FrameworkServiceProcess(const rk::sys::ipc::test::PrivateBus& bus, std::vector<std::string> args = {});

    // Starts the service and waits until it owns its name.
    bool start();
    // Kills it (SIGKILL) and waits until its name is gone.
    void kill();

private:
    const rk::sys::ipc::test::PrivateBus& bus_;
    std::vector<std::string> args_;
    rk::sys::ipc::test::ChildProcess process_;
};

// A call to the service's administration interface ("EmitSystemEvent",
// "Deliver"); returns its number, or -1 when the call failed.
std::int32_t admin_call(const rk::sys::ipc::test::PrivateBus& bus, const char* member,
                        const rk::sys::ipc::IpcValues& args);

// Client options for a private bus with a short retry interval.
detail::external_client_options client_options(const rk::sys::ipc::test::PrivateBus& bus,
                                               std::chrono::milliseconds retry = std::chrono::milliseconds(50));

}  // namespace ctp::test
