#include "xml_updater/download_progress.h"

namespace XMLUpdater::v2 {

DownloadProgress::DownloadProgress(progress_manager* manager, std::wstring id, std::wstring detail)
    : manager_(id.empty() ? nullptr : manager), id_(std::move(id)), detail_(std::move(detail)) {}

DownloadProgress::~DownloadProgress() { finish(); }

void DownloadProgress::begin() {
    if (manager_ != nullptr && !begun_) {
        begun_ = true;
        manager_->begin(id_, detail_);
    }
}

void DownloadProgress::progress(std::uint64_t done, std::uint64_t total, std::uint64_t received) {
    if (manager_ != nullptr && begun_ && !ended_) {
        manager_->progress(id_, done, total, received);
    }
}

void DownloadProgress::status(int status, std::wstring error) {
    status_ = status;
    error_ = std::move(error);
}

void DownloadProgress::finish() {
    if (manager_ != nullptr && begun_ && !ended_) {
        ended_ = true;
        manager_->end(id_, status_, error_);
    }
}

void DownloadProgress::finish(int status, std::wstring error) {
    this->status(status, std::move(error));
    finish();
}

}  // namespace XMLUpdater::v2
