#include "platform/system/move_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/errors/errno_map.h"
#include "platform/system/file.h"
#include "platform/system/pending_deletes.h"
#include "platform/system/paths.h"

namespace rk::sys {
namespace {

namespace fs = std::filesystem;

DWORD errno_error() { return win::from_errno(errno); }

// Win32 tells a missing name (2) from a missing folder on the way (3).
DWORD missing_error(const fs::path& host) {
    struct stat st{};
    const fs::path parent = host.parent_path();
    if (parent.empty() || (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        return win::kErrorFileNotFound;
    }
    return win::kErrorPathNotFound;
}

DWORD sync_folder_of(const fs::path& host) {
    const fs::path parent = host.parent_path().empty() ? fs::path(".") : host.parent_path();
    const int dir = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        return errno_error();
    }
    const DWORD error = ::fsync(dir) == 0 ? win::kErrorSuccess : errno_error();
    ::close(dir);
    return error;
}

// rename(2) that never replaces: renameat2(RENAME_NOREPLACE), or a check
// before the rename on file systems without it.
int rename_no_replace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    struct stat st{};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

DWORD copy_contents(const fs::path& from, const fs::path& to, unsigned mode, bool write_through) {
    File in;
    if (const DWORD error = File::open_host(from, {}, in); error != win::kErrorSuccess) {
        return error;
    }
    File out;
    FileOpenOptions create;
    create.access = kGenericWrite;
    create.disposition = kCreateNew;
    create.mode = mode;
    if (const DWORD error = File::open_host(to, create, out); error != win::kErrorSuccess) {
        return error;
    }
    std::vector<char> buffer(1 << 16);
    for (;;) {
        std::size_t done = 0;
        if (const DWORD error = in.read(buffer.data(), buffer.size(), done); error != win::kErrorSuccess) {
            return error;
        }
        if (done == 0) {
            break;
        }
        if (const DWORD error = out.write_all(buffer.data(), done); error != win::kErrorSuccess) {
            return error;
        }
    }
    return write_through ? out.flush() : win::kErrorSuccess;
}

// The copy half of a move across file systems: the file (never through a
// link) or the link itself goes to a temporary name beside the destination,
// which then takes the final name under the same replace rule.
DWORD copy_across(const fs::path& from, const struct stat& st, const fs::path& to, bool replace, bool write_through) {
    const fs::path temporary = to.parent_path() / (".rk-move-" + std::to_string(::getpid()) + "-" + to.filename().native());
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(static_cast<std::size_t>(st.st_size) + 1);
        const ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
            return n < 0 ? errno_error() : win::kErrorInvalidData;
        }
        if (::symlink(std::string(target.data(), static_cast<std::size_t>(n)).c_str(), temporary.c_str()) != 0) {
            return errno_error();
        }
    } else if (const DWORD error = copy_contents(from, temporary, st.st_mode & 07777, write_through);
               error != win::kErrorSuccess) {
        ::unlink(temporary.c_str());
        return error;
    }
    const int rc = replace ? ::rename(temporary.c_str(), to.c_str()) : rename_no_replace(temporary, to);
    if (rc != 0) {
        const DWORD error = errno_error();
        ::unlink(temporary.c_str());
        return error;
    }
    return ::unlink(from.c_str()) == 0 ? win::kErrorSuccess : errno_error();
}

}  // namespace

DWORD move_file_ex(std::wstring_view source, std::wstring_view destination, DWORD flags) {
    const bool delay = (flags & kMoveFileDelayUntilReboot) != 0;
    if ((flags & ~kMoveFileAcceptedFlags) != 0 || (delay && (flags & kMoveFileCopyAllowed) != 0) ||
        (destination.empty() && !delay)) {
        return win::kErrorInvalidParameter;
    }
    if (delay) {
        return destination.empty() ? PendingDeletes().schedule(source) : win::kErrorNotSupported;
    }
    const auto from = to_host_path(source);
    const auto to = to_host_path(destination);
    if (!from || !to) {
        return win::kErrorBadPathname;
    }
    struct stat from_st{};
    if (::lstat(from->c_str(), &from_st) != 0) {
        return errno == ENOENT ? missing_error(*from) : errno_error();
    }
    const bool replace = (flags & kMoveFileReplaceExisting) != 0;
    struct stat to_st{};
    if (::lstat(to->c_str(), &to_st) == 0) {
        if (!replace) {
            return win::kErrorAlreadyExists;
        }
        if (S_ISDIR(to_st.st_mode) || S_ISDIR(from_st.st_mode) ||
            (!S_ISLNK(to_st.st_mode) && (to_st.st_mode & S_IWUSR) == 0)) {
            return win::kErrorAccessDenied;
        }
    }
    const int rc = replace ? ::rename(from->c_str(), to->c_str()) : rename_no_replace(*from, *to);
    if (rc != 0) {
        if (errno == ENOENT) {
            return missing_error(*to);
        }
        if (errno != EXDEV) {
            return errno_error();
        }
        if ((flags & kMoveFileCopyAllowed) == 0 || S_ISDIR(from_st.st_mode)) {
            return win::kErrorNotSameDevice;
        }
        if (const DWORD error = copy_across(*from, from_st, *to, replace, (flags & kMoveFileWriteThrough) != 0);
            error != win::kErrorSuccess) {
            return error;
        }
    }
    return (flags & kMoveFileWriteThrough) != 0 ? sync_folder_of(*to) : win::kErrorSuccess;
}

}  // namespace rk::sys
