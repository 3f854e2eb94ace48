#include "platform/system/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include "platform/errors/errno_map.h"
#include "platform/system/file_native.h"
#include "platform/system/known_folders.h"
#include "platform/system/paths.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
// Rounds of remove-link / create / open when someone keeps swapping a level.
constexpr int kLevelAttempts = 8;

DWORD last_error() { return win::from_errno(errno); }

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// One file name: no separator, not "." or "..", valid UTF-8 without NUL.
std::optional<std::string> component_name(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L".." ||
        name.find_first_of(std::wstring_view(L"\\/\0", 3)) != std::wstring_view::npos) {
        return std::nullopt;
    }
    return text::wide_to_utf8_strict(name);
}

}  // namespace

DWORD split_relative_path(std::wstring_view relative, std::vector<std::string>& components) {
    components.clear();
    if (!relative.empty() && is_separator(relative.front())) {
        return win::kErrorBadPathname;
    }
    if (relative.size() >= 2 && relative[1] == L':' &&
        ((relative[0] >= L'A' && relative[0] <= L'Z') || (relative[0] >= L'a' && relative[0] <= L'z'))) {
        return win::kErrorBadPathname;
    }
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = start;
        while (end < relative.size() && !is_separator(relative[end])) {
            ++end;
        }
        const std::wstring_view part = relative.substr(start, end - start);
        if (part == L"..") {
            if (components.empty()) {
                components.clear();
                return win::kErrorBadPathname;  // climbs above the base
            }
            components.pop_back();
        } else if (!part.empty() && part != L".") {
            auto name = component_name(part);
            if (!name) {
                components.clear();
                return win::kErrorBadPathname;
            }
            components.push_back(std::move(*name));
        }
        start = end + 1;
    }
    return win::kErrorSuccess;
}

Folder::Folder(Folder&& other) noexcept : fd_(other.fd_), host_path_(std::move(other.host_path_)) { other.fd_ = -1; }

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        host_path_ = std::move(other.host_path_);
        other.fd_ = -1;
    }
    return *this;
}

Folder::~Folder() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

DWORD Folder::open(std::wstring_view system_path, Folder& out) {
    const auto host = to_host_path(system_path);
    if (!host) {
        return win::kErrorBadPathname;
    }
    return open_host(*host, out);
}

DWORD Folder::open_host(const std::filesystem::path& host_path, Folder& out) {
    const int fd = ::open(host_path.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat st{};
        if (error == ENOTDIR && ::stat(host_path.c_str(), &st) == 0) {
            return win::kErrorDirectory;
        }
        if (error == ENOENT || error == ENOTDIR) {
            const std::filesystem::path parent = host_path.parent_path();
            return parent.empty() || (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                       ? win::kErrorFileNotFound
                       : win::kErrorPathNotFound;
        }
        return win::from_errno(error);
    }
    out = Folder();
    out.fd_ = fd;
    out.host_path_ = host_path;
    return win::kErrorSuccess;
}

std::wstring Folder::path() const { return wide_path(host_path_); }

DWORD Folder::descend(std::wstring_view relative, FolderCreation creation, Folder& out, unsigned mode) const {
    std::vector<std::string> parts;
    if (const DWORD error = split_relative_path(relative, parts); error != win::kErrorSuccess) {
        return error;
    }
    Folder current;
    current.fd_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (current.fd_ < 0) {
        return last_error();
    }
    current.host_path_ = host_path_;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const char* name = parts[i].c_str();
        const bool last = i + 1 == parts.size();
        int next = -1;
        bool replaced = false;  // a link stood here: a real folder takes its place
        for (int attempt = 0; next < 0 && attempt < kLevelAttempts; ++attempt) {
            next = ::openat(current.fd_, name, kFolderFlags);
            if (next >= 0) {
                break;
            }
            if (errno == ENOENT) {
                if (creation == FolderCreation::kNone) {
                    return last ? win::kErrorFileNotFound : win::kErrorPathNotFound;
                }
                if (creation == FolderCreation::kLastOnly && !last && !replaced) {
                    return win::kErrorPathNotFound;
                }
                if (::mkdirat(current.fd_, name, static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
                    return last_error();
                }
                continue;
            }
            if (errno != ELOOP && errno != ENOTDIR) {
                return last_error();
            }
            struct stat st{};
            if (::fstatat(current.fd_, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;  // gone in between
            }
            if (!S_ISLNK(st.st_mode)) {
                return last ? win::kErrorAlreadyExists : win::kErrorPathNotFound;
            }
            if (creation == FolderCreation::kNone) {
                return last ? win::kErrorFileNotFound : win::kErrorPathNotFound;
            }
            // A junction in the folder's place: remove the link, never its target.
            if (::unlinkat(current.fd_, name, 0) != 0 && errno != ENOENT) {
                return win::kErrorAccessDenied;
            }
            replaced = true;
        }
        if (next < 0) {
            return win::kErrorAccessDenied;
        }
        ::close(current.fd_);
        current.fd_ = next;
        current.host_path_ /= parts[i];
    }
    out = std::move(current);
    return win::kErrorSuccess;
}

DWORD Folder::open_file(std::wstring_view name, const FileOpenOptions& options, File& out) const {
    out.close();
    const auto entry = component_name(name);
    if (!entry) {
        return win::kErrorBadPathname;
    }
    return File::open_at(fd_, entry->c_str(), options, out);
}

DWORD Folder::open_own_file(std::wstring_view name, const FileOpenOptions& options, File& out) const {
    DWORD error = open_file(name, options, out);
    if (error == win::kErrorCantResolveFilename) {
        error = delete_file(name);
        if (error == win::kErrorSuccess || error == win::kErrorFileNotFound) {
            error = open_file(name, options, out);
        }
    }
    return error;
}

DWORD Folder::entry(std::wstring_view name, FolderEntry& out) const {
    out = FolderEntry{};
    const auto entry = component_name(name);
    if (!entry) {
        return win::kErrorBadPathname;
    }
    struct stat st{};
    if (::fstatat(fd_, entry->c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOTDIR ? win::kErrorFileNotFound : last_error();
    }
    const auto nanoseconds = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    out.is_link = S_ISLNK(st.st_mode);
    out.is_folder = S_ISDIR(st.st_mode);
    out.device = static_cast<std::uint64_t>(st.st_dev);
    out.inode = static_cast<std::uint64_t>(st.st_ino);
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.last_write_ns = nanoseconds(st.st_mtim);
    out.change_ns = nanoseconds(st.st_ctim);
    return win::kErrorSuccess;
}

DWORD Folder::delete_file(std::wstring_view name) const {
    const auto entry = component_name(name);
    if (!entry) {
        return win::kErrorBadPathname;
    }
    struct stat st{};
    if (::fstatat(fd_, entry->c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return last_error();
    }
    if (S_ISDIR(st.st_mode)) {
        return win::kErrorAccessDenied;
    }
    return ::unlinkat(fd_, entry->c_str(), 0) == 0 ? win::kErrorSuccess : last_error();
}

DWORD Folder::rename(std::wstring_view from, std::wstring_view to) const {
    const auto source = component_name(from);
    const auto target = component_name(to);
    if (!source || !target) {
        return win::kErrorBadPathname;
    }
    return ::renameat(fd_, source->c_str(), fd_, target->c_str()) == 0 ? win::kErrorSuccess : last_error();
}

DWORD Folder::list(std::vector<std::wstring>& names) const {
    names.clear();
    const int listing = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return last_error();
    }
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        const DWORD error = last_error();
        ::close(listing);
        return error;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(text::utf8_to_wide(name));
        }
    }
    ::closedir(dir);
    return win::kErrorSuccess;
}

DWORD Folder::check_private() const {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) {
        return last_error();
    }
    const bool owner_ok = st.st_uid == ::geteuid() || st.st_uid == 0;
    return owner_ok && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 ? win::kErrorSuccess : win::kErrorAccessDenied;
}

DWORD Folder::free_space(std::uint64_t& bytes) const {
    struct statvfs st{};
    if (::fstatvfs(fd_, &st) != 0) {
        return last_error();
    }
    bytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    return win::kErrorSuccess;
}

DWORD prepare_folder(std::wstring_view base, std::wstring_view relative, FolderCreation creation, Folder& out,
                     unsigned mode) {
    Folder root;
    if (const DWORD error = Folder::open(base, root); error != win::kErrorSuccess) {
        return error;
    }
    return root.descend(relative, creation, out, mode);
}

DWORD prepare_folder_at(std::wstring_view system_path, FolderCreation creation, Folder& out, unsigned mode) {
    std::wstring base;
    const KnownFolders known;
    for (int i = 0; i <= static_cast<int>(KnownFolder::Temp); ++i) {
        std::wstring folder;
        if (known.path(static_cast<KnownFolder>(i), folder) != win::kErrorSuccess || folder.size() <= base.size() ||
            !system_path.starts_with(folder)) {
            continue;
        }
        if (system_path.size() == folder.size() || is_separator(system_path[folder.size()])) {
            base = std::move(folder);
        }
    }
    if (!base.empty()) {
        return prepare_folder(base, system_path.substr(std::min(base.size() + 1, system_path.size())), creation,
                              out, mode);
    }
    // Outside the known folders there is no base for ".." to be measured
    // against: it is refused wherever it stands.
    for (std::size_t start = 0; start <= system_path.size();) {
        std::size_t end = start;
        while (end < system_path.size() && !is_separator(system_path[end])) {
            ++end;
        }
        if (system_path.substr(start, end - start) == L"..") {
            return win::kErrorBadPathname;
        }
        start = end + 1;
    }
    const auto host = to_host_path(system_path);
    if (!host || !host->is_absolute()) {
        return win::kErrorBadPathname;
    }
    std::filesystem::path existing = host->parent_path();
    std::error_code ec;
    while (existing.has_relative_path() && !std::filesystem::is_directory(existing, ec)) {
        existing = existing.parent_path();
    }
    Folder root;
    if (const DWORD error = Folder::open_host(existing, root); error != win::kErrorSuccess) {
        return error;
    }
    return root.descend(wide_path(host->lexically_relative(existing)), creation, out, mode);
}

int native_descriptor(const Folder& folder) { return folder.fd_; }

}  // namespace rk::sys
