#include "platform/system/pending_deletes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <vector>

#include "platform/errors/errno_map.h"
#include "platform/system/fd_posix.h"
#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "platform/system/root_prefix.h"

namespace rk::sys {
namespace {

// One entry per line: the boot id, a tab, the host path with '%', CR and LF
// percent-encoded (the only bytes that would break the line format).
constexpr char kFieldSeparator = '\t';
constexpr const char* kBootIdFile = "/proc/sys/kernel/random/boot_id";
// A list larger than this is not one the system wrote (entries are paths, a
// few hundred bytes each); run() leaves it untouched.
constexpr std::uint64_t kMaxListBytes = 16u * 1024 * 1024;

std::string escape(const std::string& path) {
    std::string out;
    for (const char c : path) {
        switch (c) {
            case '%': out += "%25"; break;
            case '\n': out += "%0A"; break;
            case '\r': out += "%0D"; break;
            default: out += c;
        }
    }
    return out;
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const std::string_view code = text.substr(i + 1, 2);
            if (code == "25" || code == "0A" || code == "0D") {
                out += code == "25" ? '%' : (code == "0A" ? '\n' : '\r');
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The list, opened and locked without following a link planted at it: a link
// is removed (the name is the list's alone) and anything but a regular file
// refused, so a FIFO never blocks the start-up.
class LockedFile {
public:
    LockedFile(const std::filesystem::path& path, int flags) : fd_(open_list(path, flags)) {
        if (fd_.get() < 0) {
            // ENXIO: a FIFO without a reader; EISDIR: a folder.
            error_ = errno == ENOENT                    ? win::kErrorFileNotFound
                     : errno == ENXIO || errno == EISDIR ? win::kErrorInvalidData
                                                         : win::from_errno(errno);
            return;
        }
        struct stat st{};
        if (::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            error_ = win::kErrorInvalidData;
        } else if (::flock(fd_.get(), LOCK_EX) != 0) {  // dropped when fd_ closes
            error_ = win::from_errno(errno);
        } else {
            error_ = win::kErrorSuccess;
            size_ = static_cast<std::uint64_t>(st.st_size);
        }
    }
    // kErrorSuccess once the file is open and locked.
    DWORD error() const { return error_; }
    int fd() const { return fd_.get(); }
    std::uint64_t size() const { return size_; }

private:
    static int open_list(const std::filesystem::path& path, int flags) {
        constexpr int kSafe = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        const int fd = ::open(path.c_str(), flags | kSafe, 0644);
        if (fd < 0 && errno == ELOOP && ::unlink(path.c_str()) == 0) {
            return ::open(path.c_str(), flags | kSafe, 0644);
        }
        return fd;
    }

    Fd fd_;
    DWORD error_ = win::kErrorInvalidFunction;
    std::uint64_t size_ = 0;
};

DWORD remove_one(const std::string& host) {
    struct stat st{};
    if (::lstat(host.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? win::kErrorSuccess : win::from_errno(errno);
    }
    const int rc = S_ISDIR(st.st_mode) ? ::rmdir(host.c_str()) : ::unlink(host.c_str());
    return rc == 0 || errno == ENOENT ? win::kErrorSuccess : win::from_errno(errno);
}

}  // namespace

PendingDeletes::PendingDeletes() : PendingDeletes(default_list_file(), current_boot_id()) {}

PendingDeletes::PendingDeletes(std::filesystem::path list_file, std::string boot_id)
    : list_file_(std::move(list_file)), boot_id_(std::move(boot_id)) {}

std::filesystem::path PendingDeletes::default_list_file() {
    return under_root("/var/lib/rkupdater/pending-deletes");
}

std::string PendingDeletes::current_boot_id() {
    std::ifstream in(kBootIdFile);
    std::string id;
    std::getline(in, id);
    return id;
}

DWORD PendingDeletes::schedule(std::wstring_view path) const {
    const auto host = to_host_path(path);
    if (!host) {
        return win::kErrorBadPathname;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(*host, ec);
    if (ec) {
        return win::from_errno(ec.value());
    }
    if (const DWORD error = make_directories(list_file_.parent_path(), 0755);
        error != win::kErrorSuccess) {
        return error;
    }
    const LockedFile list(list_file_, O_WRONLY | O_APPEND | O_CREAT);
    if (list.error() != win::kErrorSuccess) {
        return list.error();
    }
    const std::string line = boot_id_ + kFieldSeparator + escape(absolute.native()) + '\n';
    return write_all(list.fd(), line.data(), line.size()) ? win::kErrorSuccess : win::from_errno(errno);
}

DWORD PendingDeletes::run() const {
    const LockedFile list(list_file_, O_RDWR);
    if (list.error() != win::kErrorSuccess) {
        return list.error() == win::kErrorFileNotFound ? win::kErrorSuccess : list.error();
    }
    if (list.size() > kMaxListBytes) {
        return win::kErrorFileTooLarge;
    }
    std::string content;
    if (const int error = read_bounded(list.fd(), content, kMaxListBytes); error != 0) {
        return win::from_errno(error);  // EFBIG: 223
    }
    DWORD first_error = win::kErrorSuccess;
    std::string kept;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            break;  // cut short by a crash: a prefix may name another file
        }
        const std::string_view line(content.data() + start, end - start);
        start = end + 1;
        const std::size_t tab = line.find(kFieldSeparator);
        if (tab == std::string_view::npos || tab + 1 == line.size()) {
            continue;
        }
        if (!boot_id_.empty() && line.substr(0, tab) == boot_id_) {
            kept.append(line).append(1, '\n');
            continue;
        }
        const DWORD error = remove_one(unescape(line.substr(tab + 1)));
        if (first_error == win::kErrorSuccess) {
            first_error = error;
        }
    }
    if (::ftruncate(list.fd(), 0) != 0 || ::lseek(list.fd(), 0, SEEK_SET) != 0 ||
        !write_all(list.fd(), kept.data(), kept.size())) {
        return win::from_errno(errno);
    }
    return first_error;
}

}  // namespace rk::sys
