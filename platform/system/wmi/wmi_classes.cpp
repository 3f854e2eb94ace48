#include "platform/system/wmi/wmi_classes.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "platform/system/calendar_time.h"
#include "platform/system/osinfo/machine_facts.h"
#include "platform/system/paths.h"
#include "platform/system/wmi/machine_files.h"
#include "platform/text/format.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::sys::wmi {
namespace {

using Values = std::map<std::wstring_view, WbemValue>;

constexpr const char* kOsRelease = "/etc/os-release";
constexpr const char* kOsReleaseFallback = "/usr/lib/os-release";
constexpr const char* kHostname = "/proc/sys/kernel/hostname";
constexpr const char* kKernelRelease = "/proc/sys/kernel/osrelease";
constexpr const char* kMeminfo = "/proc/meminfo";
constexpr const char* kCpuinfo = "/proc/cpuinfo";
constexpr const char* kStat = "/proc/stat";
constexpr const char* kMounts = "/proc/mounts";
constexpr const char* kDmi = "/sys/class/dmi/id/";

// CIM_OperatingSystem.OSType "LINUX"; Win32_OperatingSystem.ProductType "Work Station".
constexpr std::int32_t kOsTypeLinux = 36;
constexpr std::int32_t kProductTypeWorkstation = 1;
// Win32_LogicalDisk.DriveType.
constexpr std::int32_t kDriveLocalDisk = 3;
constexpr std::int32_t kDriveNetwork = 4;

WbemValue text_value(const std::optional<std::string>& utf8) {
    if (!utf8 || utf8->empty()) {
        return std::monostate{};
    }
    return text::utf8_to_wide(*utf8);
}

WbemValue number_value(std::optional<std::uint64_t> value) {
    if (!value || *value > INT32_MAX) {
        return std::monostate{};
    }
    return static_cast<std::int32_t>(*value);
}

// CIM uint64: decimal text.
WbemValue uint64_value(std::optional<std::uint64_t> value) {
    if (!value) {
        return std::monostate{};
    }
    return std::to_wstring(*value);
}

std::optional<std::string> line_of(const MachineSource& source, const std::string& path) {
    const auto content = source.read_file(path);
    if (!content) {
        return std::nullopt;
    }
    return first_line(*content);
}

std::optional<std::string> dmi(const MachineSource& source, const char* field) {
    return line_of(source, std::string(kDmi) + field);
}

// CIM datetime in UTC: yyyymmddHHMMSS.mmmmmm+000.
std::wstring cim_datetime(int year, int month, int day, int hour, int minute, int second) {
    return text::format(L"%04d%02d%02d%02d%02d%02d.000000+000", year, month, day, hour, minute, second);
}

WbemValue boot_datetime(std::optional<std::uint64_t> seconds) {
    if (!seconds) {
        return std::monostate{};
    }
    CalendarTime utc;
    if (*seconds > INT64_MAX || !utc_calendar_time(static_cast<std::int64_t>(*seconds), utc)) {
        return std::monostate{};
    }
    return cim_datetime(utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second);
}

// DMI dates are MM/DD/YYYY.
WbemValue dmi_datetime(const std::optional<std::string>& date) {
    if (!date || date->size() != 10 || (*date)[2] != '/' || (*date)[5] != '/') {
        return std::monostate{};
    }
    const auto month = leading_number(date->substr(0, 2));
    const auto day = leading_number(date->substr(3, 2));
    const auto year = leading_number(date->substr(6, 4));
    if (!month || !day || !year || *month < 1 || *month > 12 || *day < 1 || *day > 31) {
        return std::monostate{};
    }
    return cim_datetime(static_cast<int>(*year), static_cast<int>(*month), static_cast<int>(*day), 0, 0, 0);
}

bool is_64bit(const std::string& machine) { return machine == "x86_64" || machine == "aarch64"; }

// The kernel release's leading numbers: "6.1.0-18-amd64" -> "6.1.0".
std::optional<std::string> kernel_version(const std::optional<std::string>& release) {
    if (!release) {
        return std::nullopt;
    }
    const std::size_t end = release->find_first_not_of("0123456789.");
    std::string version = release->substr(0, end);
    while (!version.empty() && version.back() == '.') {
        version.pop_back();
    }
    return version.empty() ? std::nullopt : std::optional<std::string>(version);
}

struct MemoryKb {
    std::optional<std::uint64_t> total;
    std::optional<std::uint64_t> available;
};

MemoryKb memory(const MachineSource& source) {
    const auto text = source.read_file(kMeminfo);
    if (!text) {
        return {};
    }
    auto available = meminfo_value(*text, "MemAvailable");
    return {meminfo_value(*text, "MemTotal"), available ? available : meminfo_value(*text, "MemFree")};
}

// Logical processors grouped by their package ("physical id"); one package
// when the kernel reports none.
std::map<std::string, std::vector<std::map<std::string, std::string>>> packages(const MachineSource& source) {
    std::map<std::string, std::vector<std::map<std::string, std::string>>> by_package;
    const auto text = source.read_file(kCpuinfo);
    if (!text) {
        return by_package;
    }
    for (auto& processor : parse_cpuinfo(*text)) {
        if (processor.count("processor") == 0) {
            continue;
        }
        const auto id = processor.find("physical id");
        by_package[id == processor.end() ? std::string("0") : id->second].push_back(std::move(processor));
    }
    return by_package;
}

std::optional<std::string> field(const std::map<std::string, std::string>& fields, const char* key) {
    const auto it = fields.find(key);
    return it == fields.end() ? std::nullopt : std::optional<std::string>(it->second);
}

class TableClass final : public WmiClass {
public:
    using Builder = std::function<std::vector<Values>(const MachineSource&)>;

    TableClass(std::wstring_view name, std::vector<std::wstring_view> properties, Builder builder)
        : name_(name), properties_(std::move(properties)), builder_(std::move(builder)) {}

    std::wstring_view name() const override { return name_; }
    const std::vector<std::wstring_view>& properties() const override { return properties_; }

    std::vector<WbemClassObject> instances(const MachineSource& source) const override {
        std::vector<WbemClassObject> objects;
        for (auto& values : builder_(source)) {
            std::vector<WbemProperty> properties;
            for (const auto name : properties_) {
                const auto it = values.find(name);
                properties.push_back({std::wstring(name), it == values.end() ? WbemValue{} : std::move(it->second)});
            }
            objects.emplace_back(std::wstring(name_), std::move(properties));
        }
        return objects;
    }

private:
    std::wstring_view name_;
    std::vector<std::wstring_view> properties_;
    Builder builder_;
};

std::vector<Values> operating_system(const MachineSource& source) {
    auto os_release = source.read_file(kOsRelease);
    if (!os_release) {
        os_release = source.read_file(kOsReleaseFallback);
    }
    std::wstring caption = os_release_product_name(os_release.value_or(""));
    if (caption.empty()) {
        caption = L"Linux";  // os-release(5)'s default NAME
    }
    const auto release = line_of(source, kKernelRelease);
    const auto version = kernel_version(release);
    std::optional<std::string> build;
    if (version && std::count(version->begin(), version->end(), '.') >= 2) {
        build = version->substr(version->rfind('.') + 1);
    }
    const auto stat = source.read_file(kStat);
    const MemoryKb mem = memory(source);
    return {Values{
        {L"Caption", caption},
        {L"Name", caption},
        {L"Version", text_value(version)},
        {L"BuildNumber", text_value(build)},
        {L"OSArchitecture", is_64bit(source.machine()) ? WbemValue(std::wstring(L"64-bit")) : WbemValue(std::wstring(L"32-bit"))},
        {L"CSName", text_value(line_of(source, kHostname))},
        {L"OSType", kOsTypeLinux},
        {L"ProductType", kProductTypeWorkstation},
        {L"LastBootUpTime", boot_datetime(stat ? boot_time(*stat) : std::nullopt)},
        {L"TotalVisibleMemorySize", uint64_value(mem.total)},
        {L"FreePhysicalMemory", uint64_value(mem.available)},
    }};
}

std::wstring system_type(const std::string& machine) {
    if (machine == "x86_64") {
        return L"x64-based PC";
    }
    if (machine == "aarch64") {
        return L"ARM64-based PC";
    }
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") {
        return L"X86-based PC";
    }
    return text::utf8_to_wide(machine);
}

std::vector<Values> computer_system(const MachineSource& source) {
    const auto by_package = packages(source);
    std::size_t logical = 0;
    for (const auto& [id, processors] : by_package) {
        logical += processors.size();
    }
    const auto hostname = line_of(source, kHostname);
    const MemoryKb mem = memory(source);
    return {Values{
        {L"Name", text_value(hostname)},
        {L"DNSHostName", text_value(hostname)},
        {L"Manufacturer", text_value(dmi(source, "sys_vendor"))},
        {L"Model", text_value(dmi(source, "product_name"))},
        {L"SystemFamily", text_value(dmi(source, "product_family"))},
        {L"SystemType", system_type(source.machine())},
        {L"TotalPhysicalMemory", uint64_value(mem.total ? std::optional<std::uint64_t>(*mem.total * 1024) : std::nullopt)},
        {L"NumberOfProcessors", by_package.empty() ? WbemValue{} : number_value(by_package.size())},
        {L"NumberOfLogicalProcessors", logical == 0 ? WbemValue{} : number_value(logical)},
    }};
}

WbemValue architecture(const std::string& machine) {
    if (machine == "x86_64") {
        return std::int32_t{9};
    }
    if (machine == "aarch64") {
        return std::int32_t{12};
    }
    if (machine.rfind("arm", 0) == 0) {
        return std::int32_t{5};
    }
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") {
        return std::int32_t{0};
    }
    return std::monostate{};
}

std::optional<std::uint64_t> rounded_mhz(const std::optional<std::string>& text) {
    if (!text) {
        return std::nullopt;
    }
    const auto whole = leading_number(*text);
    const std::size_t dot = text->find('.');
    if (whole && dot != std::string::npos && dot + 1 < text->size() && (*text)[dot + 1] >= '5') {
        return *whole + 1;
    }
    return whole;
}

std::vector<Values> processors(const MachineSource& source) {
    std::vector<Values> instances;
    const std::string machine = source.machine();
    for (const auto& [id, logical] : packages(source)) {
        const auto& first = logical.front();
        const auto current = rounded_mhz(field(first, "cpu MHz"));
        std::optional<std::uint64_t> max;
        const auto cpu = field(first, "processor");
        if (cpu && !cpu->empty() && cpu->find_first_not_of("0123456789") == std::string::npos) {
            if (const auto khz = line_of(source, "/sys/devices/system/cpu/cpu" + *cpu + "/cpufreq/cpuinfo_max_freq")) {
                if (const auto value = leading_number(*khz)) {
                    max = *value / 1000;
                }
            }
        }
        const auto siblings = field(first, "siblings");
        const auto cores = field(first, "cpu cores");
        instances.push_back(Values{
            {L"DeviceID", text::format(L"CPU%zu", instances.size())},
            {L"Name", text_value(field(first, "model name"))},
            {L"Manufacturer", text_value(field(first, "vendor_id"))},
            {L"NumberOfCores", number_value(cores ? leading_number(*cores) : std::optional<std::uint64_t>(logical.size()))},
            {L"NumberOfLogicalProcessors",
             number_value(siblings ? leading_number(*siblings) : std::optional<std::uint64_t>(logical.size()))},
            {L"CurrentClockSpeed", number_value(current)},
            {L"MaxClockSpeed", number_value(max ? max : current)},
            {L"Architecture", architecture(machine)},
            {L"AddressWidth", is_64bit(machine) ? std::int32_t{64} : std::int32_t{32}},
        });
    }
    return instances;
}

std::vector<Values> bios(const MachineSource& source) {
    const auto version = dmi(source, "bios_version");
    return {Values{
        {L"Manufacturer", text_value(dmi(source, "bios_vendor"))},
        {L"Name", text_value(version)},
        {L"Version", text_value(version)},
        {L"SMBIOSBIOSVersion", text_value(version)},
        {L"ReleaseDate", dmi_datetime(dmi(source, "bios_date"))},
        {L"SerialNumber", text_value(dmi(source, "product_serial"))},
    }};
}

bool is_network_type(std::string_view type) {
    static const std::set<std::string_view> kTypes{"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "fuse.sshfs", "afs", "ceph"};
    return kTypes.count(type) != 0;
}

// Disks: mounts of block devices and network shares, and the root mount
// whatever it is (an overlay in containers).
bool is_disk(const MountEntry& mount) {
    return mount.mount_point == "/" || (!mount.device.empty() && mount.device.front() == '/') ||
           is_network_type(mount.type);
}

std::vector<Values> logical_disks(const MachineSource& source) {
    const auto text = source.read_file(kMounts);
    if (!text) {
        return {};
    }
    // A later mount on the same point hides the earlier one.
    std::map<std::string, MountEntry> disks;
    for (auto& mount : parse_mounts(*text)) {
        if (is_disk(mount)) {
            disks[mount.mount_point] = std::move(mount);
        } else {
            disks.erase(mount.mount_point);
        }
    }
    // "C:" is the disk holding the drive root of the path layer.
    std::string drive_root = "/";
    if (const auto host = to_host_path(L"C:\\")) {
        drive_root = text::wide_to_utf8(wide_path(*host));
    }
    std::string c_mount;
    for (const auto& [point, mount] : disks) {
        const bool contains = point == "/" || drive_root == point || drive_root.rfind(point + "/", 0) == 0;
        if (contains && point.size() > c_mount.size()) {
            c_mount = point;
        }
    }
    std::vector<Values> instances;
    for (const auto& [point, mount] : disks) {
        const std::wstring id = point == c_mount ? std::wstring(L"C:") : text::utf8_to_wide(point);
        const bool network = is_network_type(mount.type);
        const auto stats = source.volume_stats(point);
        instances.push_back(Values{
            {L"DeviceID", id},
            {L"Name", id},
            {L"Caption", id},
            {L"Description", network ? std::wstring(L"Network Connection") : std::wstring(L"Local Fixed Disk")},
            {L"DriveType", network ? kDriveNetwork : kDriveLocalDisk},
            {L"FileSystem", text::utf8_to_wide(mount.type)},
            {L"ProviderName", network ? text_value(mount.device) : WbemValue{}},
            {L"Size", uint64_value(stats ? std::optional<std::uint64_t>(stats->total_bytes) : std::nullopt)},
            {L"FreeSpace", uint64_value(stats ? std::optional<std::uint64_t>(stats->available_bytes) : std::nullopt)},
            {L"VolumeSerialNumber", stats ? WbemValue(text::format(L"%08X", stats->serial)) : WbemValue{}},
        });
    }
    return instances;
}

const std::array<TableClass, 5>& classes() {
    static const std::array<TableClass, 5> kClasses{
        TableClass(L"Win32_OperatingSystem",
                   {L"Caption", L"Name", L"Version", L"BuildNumber", L"OSArchitecture", L"CSName", L"OSType",
                    L"ProductType", L"LastBootUpTime", L"TotalVisibleMemorySize", L"FreePhysicalMemory"},
                   operating_system),
        TableClass(L"Win32_ComputerSystem",
                   {L"Name", L"DNSHostName", L"Manufacturer", L"Model", L"SystemFamily", L"SystemType",
                    L"TotalPhysicalMemory", L"NumberOfProcessors", L"NumberOfLogicalProcessors"},
                   computer_system),
        TableClass(L"Win32_Processor",
                   {L"DeviceID", L"Name", L"Manufacturer", L"NumberOfCores", L"NumberOfLogicalProcessors",
                    L"CurrentClockSpeed", L"MaxClockSpeed", L"Architecture", L"AddressWidth"},
                   processors),
        TableClass(L"Win32_BIOS",
                   {L"Manufacturer", L"Name", L"Version", L"SMBIOSBIOSVersion", L"ReleaseDate", L"SerialNumber"}, bios),
        TableClass(L"Win32_LogicalDisk",
                   {L"DeviceID", L"Name", L"Caption", L"Description", L"DriveType", L"FileSystem", L"ProviderName",
                    L"Size", L"FreeSpace", L"VolumeSerialNumber"},
                   logical_disks),
    };
    return kClasses;
}

}  // namespace

const WmiClass* find_wmi_class(std::wstring_view name) {
    for (const auto& wmi_class : classes()) {
        if (text::iequals(wmi_class.name(), name)) {
            return &wmi_class;
        }
    }
    return nullptr;
}

}  // namespace rk::sys::wmi
