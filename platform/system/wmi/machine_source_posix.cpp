#include "platform/system/wmi/machine_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/system/fd_posix.h"

namespace rk::sys::wmi {
namespace {

// A regular file within the bound; nothing for anything else.
std::optional<std::string> read_machine_file(const std::string& path) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st{};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    std::string data;
    if (read_bounded(fd.get(), data, kMaxMachineFileBytes) != 0) {
        return std::nullopt;
    }
    return data;
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
        return read_machine_file(std::string(path));
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
        return read_machine_file(below_root(path));
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
