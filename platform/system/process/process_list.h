// The running processes with their image paths (K32EnumProcesses, then
// OpenProcess and K32GetModuleFileNameExW per process), behind an interface
// so tests can hand in a list of their own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/errors/win_error.h"

namespace rk::sys {

struct ProcessEntry {
    DWORD pid = 0;
    // Host form; empty when the process cannot be inspected (another user's,
    // a kernel thread), as OpenProcess would have failed for it.
    std::wstring image_path;
};

class ProcessList {
public:
    ProcessList() = default;
    ProcessList(const ProcessList&) = delete;
    ProcessList& operator=(const ProcessList&) = delete;
    virtual ~ProcessList() = default;

    // Fills `entries` with the processes running now.
    virtual DWORD snapshot(std::vector<ProcessEntry>& entries) = 0;
};

// The machine's processes (/proc on Linux).
std::shared_ptr<ProcessList> system_process_list();

// A fixed list, for tests of callers.
class FixedProcessList final : public ProcessList {
public:
    explicit FixedProcessList(std::vector<ProcessEntry> entries) : entries_(std::move(entries)) {}
    DWORD snapshot(std::vector<ProcessEntry>& entries) override {
        entries = entries_;
        return win::kErrorSuccess;
    }

private:
    std::vector<ProcessEntry> entries_;
};

}  // namespace rk::sys
