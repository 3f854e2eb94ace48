// BackgroundMd5: the MD5 digest of a byte stream computed on a thread of its
// own, so that a download's digest overlaps its network reads and writes
// instead of adding to them. Bytes are copied into a few fixed buffers; a
// caller that gets ahead of the digest waits for a free buffer, so memory
// stays bounded. Without a thread (creation failed) it digests in place.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "xml_updater/md5_checksum.h"

namespace XMLUpdater::v2 {

class BackgroundMd5 {
public:
    static constexpr std::size_t kBufferBytes = 256 * 1024;
    static constexpr std::size_t kBuffers = 4;

    BackgroundMd5();
    ~BackgroundMd5();
    BackgroundMd5(const BackgroundMd5&) = delete;
    BackgroundMd5& operator=(const BackgroundMd5&) = delete;

    void Update(std::span<const std::uint8_t> bytes);
    // Lower-case hexadecimal digest of everything given (empty when the
    // cryptography library failed); the object starts over afterwards.
    std::wstring Final();

private:
    void run();
    void hand_over_filling();  // with mutex_ held
    void wait_until_digested(std::unique_lock<std::mutex>& lock);

    CMD5Checksum digest_;  // used by the worker only while it runs
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::vector<std::uint8_t>> free_;
    std::deque<std::vector<std::uint8_t>> ready_;
    std::vector<std::uint8_t> filling_;
    bool busy_ = false;  // the worker holds a buffer
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace XMLUpdater::v2
