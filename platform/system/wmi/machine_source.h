// Where the machine-query provider reads its facts: machine files (os-release,
// DMI, /proc), the kernel's architecture and file-system statistics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace rk::sys::wmi {

// Machine files are small; anything larger is not read.
inline constexpr std::size_t kMaxMachineFileBytes = 4u << 20;

struct VolumeStats {
    std::uint64_t total_bytes = 0;
    std::uint64_t available_bytes = 0;  // free space an unprivileged user may take
    std::uint32_t serial = 0;           // the low 32 bits of the file-system id
};

class MachineSource {
public:
    MachineSource() = default;
    MachineSource(const MachineSource&) = delete;
    MachineSource& operator=(const MachineSource&) = delete;
    virtual ~MachineSource() = default;

    // The content of a machine file ("/etc/os-release"); nullopt when it is
    // missing, unreadable, not a regular file or larger than the bound.
    virtual std::optional<std::string> read_file(std::string_view path) const = 0;
    // statvfs of a mount point; nullopt on failure.
    virtual std::optional<VolumeStats> volume_stats(std::string_view mount_point) const = 0;
    // uname's machine field ("x86_64").
    virtual std::string machine() const = 0;
};

// The running machine.
std::shared_ptr<MachineSource> system_machine_source();

// Machine files and mount points below `root` (a copy of a machine's files),
// with a fixed architecture; for tests.
std::shared_ptr<MachineSource> folder_machine_source(std::filesystem::path root, std::string machine);

}  // namespace rk::sys::wmi
