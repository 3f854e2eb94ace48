#include "platform/system/named_mutex.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/errors/errno_map.h"
#include "platform/system/fd_posix.h"
#include "platform/system/files.h"
#include "platform/system/root_prefix.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

constexpr std::wstring_view kGlobalPrefix = L"Global\\";
constexpr std::wstring_view kLocalPrefix = L"Local\\";
constexpr const char* kPresenceSuffix = ".exists";
constexpr const char* kLockSuffix = ".lock";
// Serialises the "is anyone holding it" test of create() for all names of a
// folder; held only for a few flock calls.
constexpr const char* kGuardName = ".guard";
constexpr std::size_t kMaxFileName = 255;  // NAME_MAX
constexpr char kOwnedMarker = '1';
constexpr char kReleasedMarker = '0';
constexpr auto kFirstPoll = std::chrono::milliseconds(1);
constexpr auto kLongestPoll = std::chrono::milliseconds(10);

int flock_retrying(int fd, int operation) {
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// Opens (creating) a lock file without following links; machine-wide files
// are opened up to every user, as the folder is.
int open_lock_file(const std::filesystem::path& path, bool machine) {
    const mode_t mode = machine ? 0666 : 0600;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, mode);
    struct stat st{};
    if (fd >= 0 && machine && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() &&
        (st.st_mode & 0777) != mode) {
        ::fchmod(fd, mode);
    }
    return fd;
}

DWORD prepare_folder(const std::filesystem::path& folder, bool machine) {
    if (const DWORD error = make_directories(folder, machine ? 0755 : 0700);
        error != win::kErrorSuccess) {
        return error;
    }
    // Processes of every user share the machine scope, as /tmp is shared.
    struct stat st{};
    if (machine && ::stat(folder.c_str(), &st) == 0 && st.st_uid == ::geteuid() &&
        (st.st_mode & 07777) != 01777) {
        ::chmod(folder.c_str(), 01777);
    }
    return win::kErrorSuccess;
}

}  // namespace

// The content of a session mutex's lock file.
struct NamedMutex::SharedLock {
    std::uint32_t magic;
    std::uint32_t abandoned;  // set by a handle closed while it owned the mutex
    pthread_mutex_t mutex;
};

namespace {

constexpr std::uint32_t kSharedLockMagic = 0x524B4D31;  // "RKM1"

// Maps a session lock file, setting the mutex up when the file is new (or
// from an older layout). Runs under the folder's guard lock.
NamedMutex::SharedLock* map_shared_lock(int fd) {
    using SharedLock = NamedMutex::SharedLock;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    const bool fresh = static_cast<std::size_t>(st.st_size) < sizeof(SharedLock);
    if (fresh && ::ftruncate(fd, sizeof(SharedLock)) != 0) {
        return nullptr;
    }
    void* map = ::mmap(nullptr, sizeof(SharedLock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) {
        return nullptr;
    }
    auto* shared = static_cast<SharedLock*>(map);
    if (fresh || shared->magic != kSharedLockMagic) {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
        // A holder that dies (thread or process) leaves EOWNERDEAD to the next.
        pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
        const int rc = pthread_mutex_init(&shared->mutex, &attributes);
        pthread_mutexattr_destroy(&attributes);
        if (rc != 0) {
            ::munmap(map, sizeof(SharedLock));
            return nullptr;
        }
        shared->abandoned = 0;
        __atomic_store_n(&shared->magic, kSharedLockMagic, __ATOMIC_RELEASE);
    }
    return shared;
}

}  // namespace

std::string mutex_file_stem(std::wstring_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string stem;
    for (const unsigned char c : text::wide_to_utf8(name)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (plain) {
            stem += static_cast<char>(c);
        } else {
            stem += '%';
            stem += kHex[c >> 4];
            stem += kHex[c & 0xF];
        }
    }
    return stem;
}

NamedMutex::Created NamedMutex::create(std::wstring_view name) {
    bool machine = false;
    if (text::istarts_with(name, kGlobalPrefix)) {
        machine = true;
        name.remove_prefix(kGlobalPrefix.size());
    } else if (text::istarts_with(name, kLocalPrefix)) {
        name.remove_prefix(kLocalPrefix.size());
    }
    if (name.empty()) {
        return {nullptr, win::kErrorInvalidName};
    }
    const std::string stem = mutex_file_stem(name);
    if (stem.size() + std::max(std::strlen(kPresenceSuffix), std::strlen(kLockSuffix)) >
        kMaxFileName) {
        return {nullptr, win::kErrorFilenameExcedRange};
    }
    const std::filesystem::path folder =
        (machine ? machine_runtime_dir() : session_runtime_dir()) / "mutex";
    if (const DWORD error = prepare_folder(folder, machine); error != win::kErrorSuccess) {
        return {nullptr, error};
    }

    Fd presence(open_lock_file(folder / (stem + kPresenceSuffix), machine));
    Fd lock(presence.get() >= 0 ? open_lock_file(folder / (stem + kLockSuffix), machine) : -1);
    const Fd guard(lock.get() >= 0 ? open_lock_file(folder / kGuardName, machine) : -1);
    if (guard.get() < 0 || flock_retrying(guard.get(), LOCK_EX) != 0) {
        return {nullptr, win::from_errno(errno)};
    }
    // Every handle holds a shared lock on the presence file. An exclusive try
    // tells whether another one exists; the guard keeps the switch back to
    // shared (not atomic for flock) from racing another create().
    DWORD result = win::kErrorSuccess;
    if (::flock(presence.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            return {nullptr, win::from_errno(errno)};
        }
        result = win::kErrorAlreadyExists;
    }
    if (flock_retrying(presence.get(), LOCK_SH) != 0) {
        return {nullptr, win::from_errno(errno)};
    }
    // Machine-wide lock files are writable by every user, who could cut one
    // short under a mapping: those stay with flock.
    SharedLock* shared = nullptr;
    if (!machine) {
        shared = map_shared_lock(lock.get());
        if (shared == nullptr) {
            return {nullptr, win::from_errno(errno)};
        }
    }
    std::unique_ptr<NamedMutex> mutex(new NamedMutex(presence.release(), lock.release(), shared));
    return {std::move(mutex), result};
}

NamedMutex::NamedMutex(int presence_fd, int lock_fd, SharedLock* shared)
    : presence_fd_(presence_fd), lock_fd_(lock_fd), shared_(shared) {}

NamedMutex::~NamedMutex() {
    if (shared_ != nullptr) {
        // Closing an owning handle abandons the mutex. Only the owning thread
        // can unlock it; from another thread it stays held until that thread
        // ends (the next owner is then told so by EOWNERDEAD).
        if (owner_ != std::thread::id()) {
            shared_->abandoned = 1;
            pthread_mutex_unlock(&shared_->mutex);
        }
        ::munmap(shared_, sizeof(SharedLock));
    }
    ::close(lock_fd_);
    ::close(presence_fd_);
}

DWORD NamedMutex::wait(DWORD timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const bool infinite = timeout_ms == win::kInfinite;
    const auto deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeout_ms);
    const std::thread::id me = std::this_thread::get_id();

    std::unique_lock state(state_mutex_);
    if (owner_ == me) {
        ++recursion_;
        return win::kWaitObject0;
    }
    // Threads sharing this handle queue here: flock would let them all in.
    const auto unowned = [this] { return owner_ == std::thread::id(); };
    if (infinite) {
        released_.wait(state, unowned);
    } else if (!released_.wait_until(state, deadline, unowned)) {
        return win::kWaitTimeout;
    }
    owner_ = me;
    state.unlock();

    const DWORD result = shared_ != nullptr ? lock_shared(timeout_ms, deadline) : lock_file(timeout_ms, deadline);
    state.lock();
    if (result != win::kWaitObject0 && result != win::kWaitAbandoned) {
        owner_ = std::thread::id();
        released_.notify_one();
        return result;
    }
    recursion_ = 1;
    return result;
}

DWORD NamedMutex::lock_shared(DWORD timeout_ms, Deadline deadline) {
    int rc = 0;
    if (timeout_ms == win::kInfinite) {
        rc = pthread_mutex_lock(&shared_->mutex);
    } else if (timeout_ms == 0) {
        rc = pthread_mutex_trylock(&shared_->mutex);
    } else {
        // steady_clock is CLOCK_MONOTONIC.
        const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
        const timespec until{static_cast<time_t>(since / 1000000000), static_cast<long>(since % 1000000000)};
        rc = pthread_mutex_clocklock(&shared_->mutex, CLOCK_MONOTONIC, &until);
    }
    DWORD result = win::kWaitObject0;
    if (rc == EOWNERDEAD) {
        pthread_mutex_consistent(&shared_->mutex);
        result = win::kWaitAbandoned;
    } else if (rc == EBUSY || rc == ETIMEDOUT) {
        return win::kWaitTimeout;
    } else if (rc != 0) {
        return win::kWaitFailed;
    }
    if (shared_->abandoned != 0) {
        shared_->abandoned = 0;
        result = win::kWaitAbandoned;
    }
    return result;
}

DWORD NamedMutex::lock_file(DWORD timeout_ms, Deadline deadline) {
    using Clock = std::chrono::steady_clock;
    const bool infinite = timeout_ms == win::kInfinite;
    DWORD result = win::kWaitObject0;
    if (infinite) {
        if (flock_retrying(lock_fd_, LOCK_EX) != 0) {
            result = win::kWaitFailed;
        }
    } else {
        auto pause = kFirstPoll;
        while (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                result = win::kWaitFailed;
                break;
            }
            const auto now = Clock::now();
            if (now >= deadline) {
                result = win::kWaitTimeout;
                break;
            }
            std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
            pause = std::min(pause * 2, kLongestPoll);
        }
    }
    if (result != win::kWaitObject0) {
        return result;
    }
    char marker = 0;
    if (::pread(lock_fd_, &marker, 1, 0) == 1 && marker == kOwnedMarker) {
        result = win::kWaitAbandoned;
    }
    if (::pwrite(lock_fd_, &kOwnedMarker, 1, 0) != 1) {
        // Without the marker a later abandonment goes unnoticed; the lock
        // itself still holds.
    }
    return result;
}

DWORD NamedMutex::release() {
    const std::lock_guard state(state_mutex_);
    if (owner_ != std::this_thread::get_id()) {
        return win::kErrorNotOwner;
    }
    if (--recursion_ > 0) {
        return win::kErrorSuccess;
    }
    if (shared_ != nullptr) {
        pthread_mutex_unlock(&shared_->mutex);
    } else {
        if (::pwrite(lock_fd_, &kReleasedMarker, 1, 0) != 1) {
            // Unwritable marker: the next owner is told "abandoned" by mistake
            // at worst; the unlock below matters more.
        }
        flock_retrying(lock_fd_, LOCK_UN);
    }
    owner_ = std::thread::id();
    released_.notify_one();
    return win::kErrorSuccess;
}

}  // namespace rk::sys
