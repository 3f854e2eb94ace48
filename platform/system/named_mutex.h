// Named mutexes shared between processes (CreateMutexW, WaitForSingleObject,
// ReleaseMutex), as lock files: a session's mutex is a robust process-shared
// mutex mapped from its lock file (taking and releasing it free costs no
// system call); a machine-wide one, whose files every user can write, is an
// flock on its lock file.
//
// "Global\name" is one mutex per machine (files under machine_runtime_dir()),
// "Local\name" and a plain "name" one per login session (under
// session_runtime_dir()). The prefixes match without regard to case; the rest
// of the name is case-sensitive. Every handle opens its own files, so two
// handles exclude each other even inside one process, and the kernel drops a
// handle's locks when its process dies. See docs/system.md.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/errors/win_error.h"

namespace rk::sys {

class NamedMutex {
public:
    struct Created {
        std::unique_ptr<NamedMutex> mutex;  // null on failure
        DWORD error = win::kErrorSuccess;   // GetLastError() after CreateMutexW
    };

    // CreateMutexW(nullptr, FALSE, name): opens or creates the mutex without
    // owning it. `error` is kErrorAlreadyExists (with a usable handle) when a
    // handle to it is open in any live process, this one included; files left
    // by dead processes do not count. Failures: kErrorInvalidName for an empty
    // name, kErrorFilenameExcedRange for one too long for a file name, or the
    // error of creating the lock folder or files.
    static Created create(std::wstring_view name);

    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    // Closing a handle that still owns the mutex abandons it.
    ~NamedMutex();

    // WaitForSingleObject: kWaitObject0 when the calling thread now owns it
    // (ownership is recursive: an owner's wait succeeds at once and needs one
    // more release), kWaitAbandoned when it does but the previous owner's
    // handle was closed or its process died without releasing, kWaitTimeout
    // after `timeout_ms` (0 only tries, kInfinite never times out), kWaitFailed
    // when the lock call fails. Waits for a machine-wide mutex held by another
    // process poll the lock, so a release is seen within about 10 ms.
    DWORD wait(DWORD timeout_ms);

    // ReleaseMutex: kErrorNotOwner unless the calling thread owns it.
    DWORD release();

    struct SharedLock;

private:
    NamedMutex(int presence_fd, int lock_fd, SharedLock* shared);
    using Deadline = std::chrono::steady_clock::time_point;
    // `deadline` is ignored for an infinite wait; timeout 0 only tries.
    DWORD lock_shared(DWORD timeout_ms, Deadline deadline);
    DWORD lock_file(DWORD timeout_ms, Deadline deadline);

    const int presence_fd_;  // shared lock held for the handle's life
    const int lock_fd_;      // machine-wide: exclusive lock held while owned; byte 0 is the owned marker
    SharedLock* const shared_;  // a session's mutex: the lock file mapped, else null
    std::mutex state_mutex_;
    std::condition_variable released_;
    std::thread::id owner_;
    unsigned recursion_ = 0;
};

// The file name a mutex name is stored under: letters, digits, '_', '-' and
// '.' kept, every other byte of its UTF-8 form as %XX. Exposed for tests.
std::string mutex_file_stem(std::wstring_view name);

}  // namespace rk::sys
