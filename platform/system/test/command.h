// Test helper: runs a shell command and keeps what it printed (standard
// output and error together) and its exit status.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace rk::sys::test {

struct CommandResult {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string output;
};

inline CommandResult run_command(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        result.output.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace rk::sys::test
