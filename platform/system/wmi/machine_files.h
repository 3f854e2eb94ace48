// Parsers of the machine files the WMI classes are built from. They take the
// text as read and never fail: what they cannot read is left out.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::sys::wmi {

// /proc/cpuinfo: one map of "key: value" fields per logical processor
// (blocks separated by blank lines), keys and values trimmed.
std::vector<std::map<std::string, std::string>> parse_cpuinfo(std::string_view text);

// /proc/meminfo: the number of a "Key:  123 kB" line.
std::optional<std::uint64_t> meminfo_value(std::string_view text, std::string_view key);

// /proc/stat: "btime", the boot time in seconds since 1970 (UTC).
std::optional<std::uint64_t> boot_time(std::string_view text);

// /proc/mounts (fstab format): device, mount point and type, with the
// octal escapes (\040 for a blank) decoded.
struct MountEntry {
    std::string device;
    std::string mount_point;
    std::string type;
};
std::vector<MountEntry> parse_mounts(std::string_view text);

// The first line, trimmed (sysfs and sysctl files end with a line break).
std::string first_line(std::string_view text);

// A decimal number that starts the text (leading blanks skipped).
std::optional<std::uint64_t> leading_number(std::string_view text);

}  // namespace rk::sys::wmi
