#include "platform/system/wmi/machine_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rk::sys::wmi {
namespace {

// /proc and /sys files report size 0, so the bound is kept while reading.
std::optional<std::string> read_bounded(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st{};
    std::optional<std::string> content;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        std::string data;
        char buffer[8192];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0 || data.size() + static_cast<std::size_t>(n) > kMaxMachineFileBytes) {
                if (n == 0) {
                    content = std::move(data);
                }
                break;
            }
            data.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return content;
}

std::optional<VolumeStats> stats_of(const std::string& path) {
    struct statvfs st{};
    if (::statvfs(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    VolumeStats stats;
    stats.total_bytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
    stats.available_bytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    stats.serial = static_cast<std::uint32_t>(st.f_fsid);
    return stats;
}

class SystemMachineSource final : public MachineSource {
public:
    std::optional<std::string> read_file(std::string_view path) const override {
        return read_bounded(std::string(path));
    }
    std::optional<VolumeStats> volume_stats(std::string_view mount_point) const override {
        return stats_of(std::string(mount_point));
    }
    std::string machine() const override {
        struct utsname names{};
        return ::uname(&names) == 0 ? std::string(names.machine) : std::string();
    }
};

class FolderMachineSource final : public MachineSource {
public:
    FolderMachineSource(std::filesystem::path root, std::string machine)
        : root_(std::move(root)), machine_(std::move(machine)) {}

    std::optional<std::string> read_file(std::string_view path) const override {
        return read_bounded(below_root(path));
    }
    std::optional<VolumeStats> volume_stats(std::string_view mount_point) const override {
        return stats_of(below_root(mount_point));
    }
    std::string machine() const override { return machine_; }

private:
    std::string below_root(std::string_view path) const { return root_.native() + "/" + std::string(path); }

    std::filesystem::path root_;
    std::string machine_;
};

}  // namespace

std::shared_ptr<MachineSource> system_machine_source() { return std::make_shared<SystemMachineSource>(); }

std::shared_ptr<MachineSource> folder_machine_source(std::filesystem::path root, std::string machine) {
    return std::make_shared<FolderMachineSource>(std::move(root), std::move(machine));
}

}  // namespace rk::sys::wmi
