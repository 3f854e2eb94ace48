#include "platform/system/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/errors/errno_map.h"
#include "platform/system/fd_posix.h"
#include "platform/system/paths.h"
#include "platform/system/root_prefix.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

DWORD host_of(std::wstring_view path, std::filesystem::path& host) {
    auto mapped = to_host_path(path);
    if (!mapped) {
        return win::kErrorBadPathname;
    }
    host = std::move(*mapped);
    return win::kErrorSuccess;
}

DWORD last_error() { return win::from_errno(errno); }

// Win32 tells a missing name (2) from a missing folder on the way (3).
DWORD missing_error(const std::filesystem::path& host) {
    struct stat st{};
    const std::filesystem::path parent = host.parent_path();
    if (parent.empty() || (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        return win::kErrorFileNotFound;
    }
    return win::kErrorPathNotFound;
}

DWORD path_error(const std::filesystem::path& host) {
    return errno == ENOENT ? missing_error(host) : last_error();
}

// lstat of a system path.
DWORD link_status(std::wstring_view path, std::filesystem::path& host, struct stat& st) {
    if (const DWORD error = host_of(path, host); error != win::kErrorSuccess) {
        return error;
    }
    return ::lstat(host.c_str(), &st) == 0 ? win::kErrorSuccess : path_error(host);
}

std::vector<std::string> entry_names(int dir_fd, DWORD& error) {
    std::vector<std::string> names;
    const int listing_fd = ::dup(dir_fd);
    if (listing_fd < 0) {
        error = last_error();
        return names;
    }
    DIR* dir = ::fdopendir(listing_fd);
    if (dir == nullptr) {
        error = last_error();
        ::close(listing_fd);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

// Removes `name` inside the open directory `parent_fd` without following
// links: a link or file is unlinked, a directory emptied first. Owner
// permissions are added where a directory lacks them (Windows lets an owner
// delete below a read-only folder). Returns the first failure.
DWORD remove_entry(int parent_fd, const char* name) {
    struct stat st{};
    if (::fstatat(parent_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return last_error();
    }
    if (!S_ISDIR(st.st_mode)) {
        return ::unlinkat(parent_fd, name, 0) == 0 ? win::kErrorSuccess : last_error();
    }
    constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int raw_fd = ::openat(parent_fd, name, kOpenFlags);
    if (raw_fd < 0 && errno == EACCES &&
        ::fchmodat(parent_fd, name, (st.st_mode & 07777) | S_IRWXU, 0) == 0) {
        raw_fd = ::openat(parent_fd, name, kOpenFlags);
    }
    if (raw_fd < 0) {
        return last_error();
    }
    const Fd dir(raw_fd);
    DWORD first_error = win::kErrorSuccess;
    struct stat opened{};
    if (::fstat(dir.get(), &opened) == 0 && (opened.st_mode & S_IRWXU) != S_IRWXU) {
        ::fchmod(dir.get(), (opened.st_mode & 07777) | S_IRWXU);
    }
    for (const std::string& child : entry_names(dir.get(), first_error)) {
        const DWORD error = remove_entry(dir.get(), child.c_str());
        if (first_error == win::kErrorSuccess) {
            first_error = error;
        }
    }
    if (::unlinkat(parent_fd, name, AT_REMOVEDIR) != 0 && first_error == win::kErrorSuccess) {
        first_error = last_error();
    }
    return first_error;
}

// "C:\" maps to the root prefix; deleting it would delete every drive.
bool is_root_prefix(const std::filesystem::path& host) {
    std::string root = root_prefix().lexically_normal().native();
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    return !root.empty() && host.lexically_normal().native() == root;
}

}  // namespace

DWORD get_file_status(std::wstring_view path, FileStatus& status) {
    std::filesystem::path host;
    struct stat st{};
    if (const DWORD error = link_status(path, host, st); error != win::kErrorSuccess) {
        return error;
    }
    status = FileStatus{};
    if (S_ISLNK(st.st_mode)) {
        status.attributes = kFileAttributeReparsePoint;
        status.reparse_tag = kIoReparseTagSymlink;
        struct stat target{};
        if (::stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
            status.attributes |= kFileAttributeDirectory;
        }
        return win::kErrorSuccess;
    }
    if (S_ISDIR(st.st_mode)) {
        status.attributes |= kFileAttributeDirectory;
    }
    if ((st.st_mode & S_IWUSR) == 0) {
        status.attributes |= kFileAttributeReadonly;
    }
    if (status.attributes == 0) {
        status.attributes = kFileAttributeNormal;
    }
    return win::kErrorSuccess;
}

bool path_exists(std::wstring_view path) {
    FileStatus status;
    return get_file_status(path, status) == win::kErrorSuccess;
}

bool is_directory(std::wstring_view path) {
    FileStatus status;
    return get_file_status(path, status) == win::kErrorSuccess &&
           (status.attributes & kFileAttributeDirectory) != 0;
}

bool is_reparse_point(std::wstring_view path) {
    FileStatus status;
    return get_file_status(path, status) == win::kErrorSuccess &&
           (status.attributes & kFileAttributeReparsePoint) != 0;
}

bool is_read_only(std::wstring_view path) {
    FileStatus status;
    return get_file_status(path, status) == win::kErrorSuccess &&
           (status.attributes & kFileAttributeReadonly) != 0;
}

DWORD set_read_only(std::wstring_view path, bool read_only) {
    std::filesystem::path host;
    if (const DWORD error = host_of(path, host); error != win::kErrorSuccess) {
        return error;
    }
    struct stat st{};
    if (::stat(host.c_str(), &st) != 0) {
        return path_error(host);
    }
    mode_t mode = st.st_mode & 07777;
    mode = read_only ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return ::chmod(host.c_str(), mode) == 0 ? win::kErrorSuccess : last_error();
}

DWORD get_file_id(std::wstring_view path, FileId& id) {
    std::filesystem::path host;
    if (const DWORD error = host_of(path, host); error != win::kErrorSuccess) {
        return error;
    }
    struct stat st{};
    if (::stat(host.c_str(), &st) != 0) {
        return path_error(host);
    }
    id.volume = static_cast<std::uint64_t>(st.st_dev);
    id.index = static_cast<std::uint64_t>(st.st_ino);
    return win::kErrorSuccess;
}

DWORD delete_file(std::wstring_view path, bool clear_read_only) {
    std::filesystem::path host;
    struct stat st{};
    if (const DWORD error = link_status(path, host, st); error != win::kErrorSuccess) {
        return error;
    }
    if (S_ISDIR(st.st_mode)) {
        return win::kErrorAccessDenied;
    }
    if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
        if (!clear_read_only) {
            return win::kErrorAccessDenied;
        }
        if (::chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) {
            return last_error();
        }
    }
    return ::unlink(host.c_str()) == 0 ? win::kErrorSuccess : last_error();
}

DWORD remove_directory(std::wstring_view path) {
    std::filesystem::path host;
    struct stat st{};
    if (const DWORD error = link_status(path, host, st); error != win::kErrorSuccess) {
        return error;
    }
    if (S_ISLNK(st.st_mode)) {
        return ::unlink(host.c_str()) == 0 ? win::kErrorSuccess : last_error();
    }
    if (!S_ISDIR(st.st_mode)) {
        return win::kErrorDirectory;
    }
    if (::rmdir(host.c_str()) == 0) {
        return win::kErrorSuccess;
    }
    // Some file systems report a non-empty directory as EEXIST.
    return errno == EEXIST ? win::kErrorDirNotEmpty : last_error();
}

DWORD delete_tree(std::wstring_view path) {
    std::filesystem::path host;
    if (const DWORD error = host_of(path, host); error != win::kErrorSuccess) {
        return error;
    }
    const std::filesystem::path name = host.filename();
    if (name.empty() || name == "." || name == ".." || is_root_prefix(host)) {
        return win::kErrorAccessDenied;  // a drive root, or a path that names no entry
    }
    std::filesystem::path parent = host.parent_path();
    if (parent.empty()) {
        parent = ".";
    }
    Fd parent_fd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent_fd.get() < 0) {
        return errno == ENOENT ? win::kErrorPathNotFound : last_error();
    }
    const DWORD error = remove_entry(parent_fd.get(), name.c_str());
    return error == win::kErrorFileNotFound ? missing_error(host) : error;
}

DWORD create_directory(std::wstring_view path) {
    std::filesystem::path host;
    if (const DWORD error = host_of(path, host); error != win::kErrorSuccess) {
        return error;
    }
    if (::mkdir(host.c_str(), 0777) == 0) {
        return win::kErrorSuccess;
    }
    return errno == ENOENT ? win::kErrorPathNotFound : last_error();
}

DWORD create_directories(std::wstring_view path) {
    std::filesystem::path host;
    if (const DWORD error = host_of(path, host); error != win::kErrorSuccess) {
        return error;
    }
    return make_directories(host, 0777);
}

DWORD make_directories(const std::filesystem::path& host_path, unsigned mode) {
    std::filesystem::path built;
    for (const auto& part : host_path) {
        built /= part;
        if (part.empty() || part == "/" || part == "." || part == "..") {
            continue;
        }
        if (::mkdir(built.c_str(), static_cast<mode_t>(mode)) == 0 || errno == EEXIST) {
            continue;
        }
        return last_error();
    }
    struct stat st{};
    if (::stat(host_path.c_str(), &st) != 0) {
        return last_error();
    }
    return S_ISDIR(st.st_mode) ? win::kErrorSuccess : win::kErrorAlreadyExists;
}

}  // namespace rk::sys

namespace rk::sys {

DWORD create_temp_file(std::wstring_view folder, std::wstring_view prefix, std::wstring& path) {
    const auto host = to_host_path(folder);
    const auto name = text::wide_to_utf8_strict(prefix);
    if (!host || !name || name->find('/') != std::string::npos) {
        return win::kErrorBadPathname;
    }
    std::string pattern = (*host / (*name + "XXXXXX")).native();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return win::from_errno(errno);
    }
    ::close(fd);
    path = wide_path(pattern);
    return win::kErrorSuccess;
}

}  // namespace rk::sys
