// One download's reports to the host's progress manager.
#pragma once

#include <cstdint>
#include <string>

#include "xml_updater/progress_manager.h"

namespace XMLUpdater::v2 {

// One download's reports: begin once, progress, and one end with the last
// status given (sent by finish() or the destructor). Inert without a manager
// or an id.
class DownloadProgress {
public:
    DownloadProgress(progress_manager* manager, std::wstring id, std::wstring detail);
    DownloadProgress(const DownloadProgress&) = delete;
    DownloadProgress& operator=(const DownloadProgress&) = delete;
    ~DownloadProgress();

    void begin();
    void progress(std::uint64_t done, std::uint64_t total, std::uint64_t received);
    // The outcome so far; the last one given is what end() reports.
    void status(int status, std::wstring error = {});
    void finish();
    void finish(int status, std::wstring error = {});

private:
    progress_manager* manager_;
    std::wstring id_;
    std::wstring detail_;
    int status_ = kProgressSuccess;
    std::wstring error_;
    bool begun_ = false;
    bool ended_ = false;
};

}  // namespace XMLUpdater::v2
