// A write counter shared by every process that uses one registry store.
// Writers make it odd when their transaction starts (they hold the store's
// write lock then) and even, and larger than before, when it has ended, so
// a reader that saw the same even value before and after reading from the
// store knows that what it read is still the store's content for as long as
// the counter keeps that value. The counter lives in a small file beside the
// store (`<store>-gen`), mapped into memory: checking it is one load.
//
// Only writers that go through this code move it; a writer that crashed in
// the middle leaves it odd, which only turns the readers' caches off until
// the next write.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>

namespace rk::sys::reg {

class StoreGeneration {
public:
    StoreGeneration() = default;
    StoreGeneration(const StoreGeneration&) = delete;
    StoreGeneration& operator=(const StoreGeneration&) = delete;
    ~StoreGeneration();

    // Maps the counter of `store`, creating it when `writable`. Without it
    // (no file and no right to make one) stable() is always 0.
    void open(const std::filesystem::path& store, bool writable);

    // The counter when no write is under way, else 0 (never a stable value).
    std::uint64_t stable() const;

    // Around a write transaction, while the store's write lock is held.
    void begin_write();
    void end_write();

private:
    std::atomic<std::uint64_t>* counter_ = nullptr;
    bool writable_ = false;
    int depth_ = 0;
};

}  // namespace rk::sys::reg
