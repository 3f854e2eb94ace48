#include "platform/system/registry/store_generation.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::sys::reg {
namespace {

constexpr std::size_t kCounterSize = sizeof(std::uint64_t);
static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "the counter is shared between processes");

}  // namespace

StoreGeneration::~StoreGeneration() {
    if (counter_ != nullptr) {
        ::munmap(counter_, kCounterSize);
    }
}

void StoreGeneration::open(const std::filesystem::path& store, bool writable) {
    if (counter_ != nullptr) {
        return;
    }
    const std::string file = store.string() + "-gen";
    int fd = -1;
    if (writable) {
        fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    }
    if (fd < 0) {
        writable = false;
        fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0) {
        return;
    }
    struct stat st{};
    bool usable = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (usable && static_cast<std::size_t>(st.st_size) < kCounterSize) {
        usable = writable && ::ftruncate(fd, kCounterSize) == 0;
    }
    if (usable) {
        void* map = ::mmap(nullptr, kCounterSize, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
        if (map != MAP_FAILED) {
            counter_ = static_cast<std::atomic<std::uint64_t>*>(map);
            writable_ = writable;
        }
    }
    ::close(fd);
}

std::uint64_t StoreGeneration::stable() const {
    if (counter_ == nullptr) {
        return 0;
    }
    const std::uint64_t value = counter_->load(std::memory_order_acquire);
    // A fresh file holds 0; shifted so that 0 keeps meaning "unknown".
    return (value & 1) != 0 ? 0 : value + 2;
}

void StoreGeneration::begin_write() {
    if (depth_++ > 0 || counter_ == nullptr || !writable_) {
        return;
    }
    counter_->fetch_or(1, std::memory_order_seq_cst);
}

void StoreGeneration::end_write() {
    if (--depth_ > 0 || counter_ == nullptr || !writable_) {
        return;
    }
    // Odd now (set by begin_write, or left by a writer that died): the next
    // even value.
    counter_->fetch_add(1, std::memory_order_seq_cst);
}

}  // namespace rk::sys::reg
