// rkctl's progress manager: one line per download on standard error,
// redrawn in place, with the percentage, a bar and the byte counts (and how
// much came over the network when a download resumed).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "xml_updater/progress_manager.h"

namespace rk::ctl {

class ProgressBar final : public XMLUpdater::v2::progress_manager_ex {
public:
    explicit ProgressBar(std::FILE* out = stderr) : out_(out) {}

    void begin(const std::wstring& id, const std::wstring& detail) override;
    void progress(const std::wstring& id, std::uint64_t done, std::uint64_t total, std::uint64_t received) override;
    void end(const std::wstring& id, int status, const std::wstring& error) override;
    void set_pipe_name(const std::wstring& name) override;

    // The line for one state, without the carriage return (tests).
    static std::string line(const std::wstring& id, std::uint64_t done, std::uint64_t total, std::uint64_t received);

private:
    std::FILE* out_;
    std::chrono::steady_clock::time_point last_draw_{};
    int last_percent_ = -1;
};

}  // namespace rk::ctl
