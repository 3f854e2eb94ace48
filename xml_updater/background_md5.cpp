#include "xml_updater/background_md5.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace XMLUpdater::v2 {

BackgroundMd5::BackgroundMd5() {
    for (std::size_t i = 0; i < kBuffers; ++i) {
        free_.emplace_back().reserve(kBufferBytes);
    }
    try {
        worker_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread: Update digests in place.
    }
}

BackgroundMd5::~BackgroundMd5() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

void BackgroundMd5::Update(std::span<const std::uint8_t> bytes) {
    if (!worker_.joinable()) {
        digest_.Update(bytes.data(), bytes.size());
        return;
    }
    std::unique_lock lock(mutex_);
    while (!bytes.empty()) {
        if (filling_.capacity() == 0) {
            changed_.wait(lock, [this] { return !free_.empty(); });
            filling_ = std::move(free_.back());
            free_.pop_back();
            filling_.clear();
        }
        const std::size_t take = std::min(bytes.size(), kBufferBytes - filling_.size());
        // The copy is made under the lock; it costs a fraction of the
        // digest of the same bytes and the worker only waits on it when it
        // has nothing else to do.
        filling_.insert(filling_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        if (filling_.size() == kBufferBytes) {
            hand_over_filling();
        }
    }
}

void BackgroundMd5::hand_over_filling() {
    ready_.push_back(std::move(filling_));
    filling_ = {};
    changed_.notify_all();
}

void BackgroundMd5::wait_until_digested(std::unique_lock<std::mutex>& lock) {
    if (!filling_.empty()) {
        hand_over_filling();
    }
    changed_.wait(lock, [this] { return ready_.empty() && !busy_; });
    if (filling_.capacity() != 0) {
        free_.push_back(std::move(filling_));
        filling_ = {};
    }
}

std::wstring BackgroundMd5::Final() {
    if (worker_.joinable()) {
        std::unique_lock lock(mutex_);
        wait_until_digested(lock);
    }
    return digest_.Final();
}

void BackgroundMd5::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !ready_.empty(); });
        if (ready_.empty()) {
            return;
        }
        std::vector<std::uint8_t> buffer = std::move(ready_.front());
        ready_.pop_front();
        busy_ = true;
        lock.unlock();
        digest_.Update(buffer.data(), buffer.size());
        lock.lock();
        busy_ = false;
        free_.push_back(std::move(buffer));
        changed_.notify_all();
    }
}

}  // namespace XMLUpdater::v2
