// rkctl log: the logging configuration a process would use, and the file
// log followed like tail -f.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <thread>

#include "platform/config/obfuscated_ini_reader.h"
#include "platform/config/obfuscated_reg_key.h"
#include "platform/config/reg_key.h"
#include "platform/logging/default_log_builder.h"
#include "platform/logging/etw_app_properties.h"
#include "platform/logging/etw_configuration_listener.h"
#include "platform/logging/file_logging.h"
#include "platform/system/files.h"
#include "platform/system/ini/profile.h"
#include "platform/system/known_folders.h"
#include "platform/system/paths.h"
#include "platform/text/numeric.h"
#include "platform/text/utf.h"
#include "tools/rkctl/command.h"

namespace rk::ctl {
namespace {

namespace fs = std::filesystem;
using text::utf8_to_wide;
using text::wide_to_utf8;

constexpr const char* kUsage =
    "usage: rkctl log show NAME [--group GROUP] [--app APPLICATION]\n"
    "       rkctl log tail NAME [--group GROUP] [--lines N] [--once]\n"
    "       rkctl log enable NAME [--group GROUP]\n"
    "       rkctl log disable NAME [--group GROUP]\n"
    "\n"
    "NAME is the program's log name (its file name without extension, e.g.\n"
    "rkupdatermodule). GROUP defaults to the process logger's \"_no_group\".\n"
    "\n"
    "show   prints the mechanism (\"Logging Mechanism\" under HKLM\\SOFTWARE\\Corvane\\Logging),\n"
    "       the ETW logger's enable, severity and flags after the registry overrides\n"
    "       (before any trace session changes them), and the file logger's folders,\n"
    "       settings files with their Config values and the current file.\n"
    "tail   prints the last N lines (default 10) of the newest file log and follows it,\n"
    "       also across rotation; --once stops after printing.\n"
    "enable switches the machine to the file logger (\"Logging Mechanism\" 1) and sets\n"
    "       Enable=1 in NAME's log.ini; both are stored scrambled, as the logger reads them.\n"
    "disable switches the machine back to the ETW logger (\"Logging Mechanism\" 0) and\n"
    "       sets Enable=0 in NAME's log.ini.\n";

struct Options {
    std::string sub;
    std::wstring name;
    std::wstring group = L"_no_group";
    std::wstring app;
    long lines = 10;
    bool once = false;
};

std::optional<Options> parse(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        return std::nullopt;
    }
    Options o;
    o.sub = args[0];
    o.name = utf8_to_wide(args[1]);
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--group" && has_value) {
            o.group = utf8_to_wide(args[++i]);
        } else if (a == "--app" && has_value) {
            o.app = utf8_to_wide(args[++i]);
        } else if (a == "--lines" && has_value) {
            o.lines = std::strtol(args[++i].c_str(), nullptr, 10);
        } else if (a == "--once") {
            o.once = true;
        } else {
            return std::nullopt;
        }
    }
    if ((o.sub != "show" && o.sub != "tail" && o.sub != "enable" && o.sub != "disable") || o.name.empty()) {
        return std::nullopt;
    }
    return o;
}

std::wstring program_data() {
    std::wstring folder;
    sys::KnownFolders().path(sys::KnownFolder::ProgramData, folder, false);
    return folder;
}

std::wstring log_folder(const Options& o) {
    return ETWLogging::CLogging::LogFolder(ETWLogging::CLogging::BaseFolder(program_data()), o.group, o.name);
}

std::string display(const std::wstring& path) {
    const auto host = sys::to_host_path(path);
    return wide_to_utf8(host ? sys::wide_path(*host) : path);
}

void show_etw(const Options& o) {
    ETWLogging::internal::ETWAppProperties properties;
    if (properties.Load(o.app.empty() ? nullptr : o.app.c_str()) != 0) {
        std::printf("ETW logger:       application \"%s\" has no properties: the process gets no logger\n",
                    wide_to_utf8(o.app).c_str());
        return;
    }
    bool enabled = true;
    DWORD severity = rk::log_level::kDefaultSeverity, flags = 0;
    std::printf("ETW logger:       application %s, provider key HKLM\\%s\n",
                wide_to_utf8(properties.application_name).c_str(),
                wide_to_utf8(properties.provider_key_path).c_str());
    for (const auto& path : ETWLogging::CETWConfigurationListener::OverrideKeys(
             properties.provider_key_path, o.group, o.group + L"\\" + o.name)) {
        DiraDoro::CRegKey key;
        if (key.Open(sys::reg::HKEY_LOCAL_MACHINE, path.c_str(), sys::reg::KEY_READ) != 0) {
            continue;
        }
        DWORD value = 0;
        if (key.QueryDWORDValue(ETWLogging::kOverrideEnableValue, value) == 0) {
            enabled = value != 0;
            std::printf("  override        HKLM\\%s Enable = %u\n", wide_to_utf8(path).c_str(), value);
        }
        if (key.QueryDWORDValue(ETWLogging::kOverrideSeverityValue, value) == 0) {
            severity = rk::log_level::clamp_severity(value);
            std::printf("  override        HKLM\\%s Severity = %u\n", wide_to_utf8(path).c_str(), value);
        }
        if (key.QueryDWORDValue(ETWLogging::kOverrideFlagsValue, value) == 0) {
            flags = value;
            std::printf("  override        HKLM\\%s Flags = %u\n", wide_to_utf8(path).c_str(), value);
        }
    }
    std::printf("  enable          %s\n  severity        %u\n  flags           0x%x%s\n", enabled ? "yes" : "no",
                severity, flags, (flags & 1) != 0 ? " (structured event VKT:RKLOGS registered)" : "");
    std::printf("  (a recording session replaces these with its own level, then the overrides apply again)\n");
}

void show_settings_file(const char* label, const std::wstring& path) {
    std::printf("  %-15s %s%s\n", label, display(path).c_str(), sys::path_exists(path) ? "" : " (missing)");
    DiraDoro::CObfuscatedIniReader ini(1);
    ini.Load(path);
    std::map<std::wstring, std::wstring> values;
    ini.GetSection(ETWLogging::kSettingsSection, values);
    for (const auto& [key, value] : values) {
        const auto parsed = text::wcstol_like(value, 10);
        const bool valid = parsed.consumed != 0 && ETWLogging::IsValidLogSetting(key, parsed.value);
        std::printf("    %-13s %s%s\n", wide_to_utf8(key).c_str(), wide_to_utf8(value).c_str(),
                    valid ? "" : " (invalid: the default is written back)");
    }
    // Entries the logger cannot read: present, but not in the scrambled form.
    DiraDoro::CObfuscatedIniReader lenient(0);
    lenient.Load(path);
    std::map<std::wstring, std::wstring> all;
    lenient.GetSection(ETWLogging::kSettingsSection, all);
    for (const auto& [key, value] : all) {
        if (values.count(key) == 0) {
            std::printf("    %-13s present but unreadable (not scrambled; the logger ignores it)\n",
                        wide_to_utf8(key).c_str());
        }
    }
}

void show_file(const Options& o) {
    const std::wstring base = ETWLogging::CLogging::BaseFolder(program_data());
    const std::wstring folder = log_folder(o);
    std::printf("file logger:\n  base folder     %s\n  log folder      %s\n", display(base).c_str(),
                display(folder).c_str());
    show_settings_file("specific", folder + L"\\" + ETWLogging::kSettingsFileName);
    show_settings_file("common", base + L"\\" + ETWLogging::kSettingsFileName);
    std::printf("  mutex           %s%s\n", wide_to_utf8(o.name).c_str(),
                wide_to_utf8(ETWLogging::kLogMutexSuffix).c_str());
}

// Why the scrambled "Logging Mechanism" could not be read: absent, or
// present in a form the logger cannot read (a plain reg add, another type).
std::string mechanism_text(const std::optional<DWORD>& mechanism) {
    if (mechanism) {
        return std::to_string(*mechanism);
    }
    DiraDoro::CRegKey key;
    DWORD type = 0;
    DiraDoro::ULONG size = 0;
    if (key.Open(sys::reg::HKEY_LOCAL_MACHINE, ETWLogging::kLoggingKeyPath, sys::reg::KEY_READ) == 0 &&
        key.QueryValue(ETWLogging::kLoggingMechanismValue, &type, nullptr, &size) == 0) {
        return "present but unreadable: not a scrambled DWORD, use rkctl log enable or reg add --scrambled";
    }
    return "not set";
}

int run_show(const Options& o) {
    const auto mechanism = ETWLogging::CDefaultLogBuilder::ReadLoggingMechanism(nullptr);
    const bool file = mechanism == ETWLogging::kMechanismFile;
    std::printf("mechanism:        %s (Logging Mechanism %s)\n", file ? "file logger" : "ETW logger (LTTng)",
                mechanism_text(mechanism).c_str());
    show_etw(o);
    show_file(o);
    return kExitOk;
}

// The newest "*.log" file of the log folder, by modification time.
std::optional<fs::path> newest_log(const fs::path& folder) {
    std::optional<fs::path> best;
    fs::file_time_type best_time{};
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().extension() != ".log" || !entry.is_regular_file(ec)) {
            continue;
        }
        const auto t = entry.last_write_time(ec);
        if (!best || t > best_time) {
            best = entry.path();
            best_time = t;
        }
    }
    return best;
}

// UTF-16LE bytes to UTF-8 text, skipping a byte-order mark at offset 0.
std::string decode(const std::string& bytes, bool at_start) {
    std::size_t from = (at_start && bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                        static_cast<unsigned char>(bytes[1]) == 0xFE)
                           ? 2
                           : 0;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::string out = wide_to_utf8(text::utf16le_to_wide(std::span(data + from, bytes.size() - from)));
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    return out;
}

int run_tail(const Options& o) {
    const auto folder = sys::to_host_path(log_folder(o));
    if (!folder) {
        std::fprintf(stderr, "rkctl log tail: bad log folder\n");
        return kExitFailure;
    }
    std::optional<fs::path> current = newest_log(*folder);
    if (!current && o.once) {
        std::fprintf(stderr, "rkctl log tail: no log file in %s\n", wide_to_utf8(sys::wide_path(*folder)).c_str());
        return kExitFailure;
    }
    std::uintmax_t offset = 0;
    if (current) {
        std::ifstream in(*current, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        offset = bytes.size() & ~std::uintmax_t{1};
        const std::string text = decode(bytes.substr(0, offset), true);
        std::size_t start = text.size();
        for (long n = 0; n <= o.lines && start > 0;) {
            start = text.rfind('\n', start - 1);
            if (start == std::string::npos) {
                start = 0;
                break;
            }
            if (++n > o.lines) {
                ++start;
                break;
            }
        }
        std::fwrite(text.data() + start, 1, text.size() - start, stdout);
        std::fflush(stdout);
    }
    while (!o.once) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto newest = newest_log(*folder);
        if (newest && newest != current) {  // rotation: the next file of the ring
            current = newest;
            offset = 0;
        }
        if (!current) {
            continue;
        }
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(*current, ec);
        if (ec) {
            continue;
        }
        if (size < offset) {  // truncated in place
            offset = 0;
        }
        const std::uintmax_t end = size & ~std::uintmax_t{1};
        if (end <= offset) {
            continue;
        }
        std::ifstream in(*current, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset));
        std::string bytes(static_cast<std::size_t>(end - offset), '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(in.gcount()) & ~std::size_t{1});
        const std::string text = decode(bytes, offset == 0);
        offset += bytes.size();
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    return kExitOk;
}

// enable / disable: the scrambled values a process's logger reads.
int run_switch(const Options& o, bool enable) {
    const char* sub = enable ? "enable" : "disable";
    // The mechanism decides: the file logger's Write has no enabled test, so
    // Enable=0 alone would not stop the lines LogMessage writes.
    {
        DiraDoro::CObfuscatedRegKey key;
        LONG err = key.Create(sys::reg::HKEY_LOCAL_MACHINE, ETWLogging::kLoggingKeyPath, nullptr,
                              sys::reg::REG_OPTION_NON_VOLATILE, sys::reg::KEY_ALL_ACCESS);
        if (err == 0) {
            err = key.SetDWORDValue(ETWLogging::kLoggingMechanismValue,
                                    enable ? ETWLogging::kMechanismFile : ETWLogging::kMechanismDefault);
        }
        if (err != 0) {
            std::fprintf(stderr, "rkctl log %s: cannot set HKLM\\%s \"%s\": error %ld\n", sub,
                         wide_to_utf8(ETWLogging::kLoggingKeyPath).c_str(),
                         wide_to_utf8(ETWLogging::kLoggingMechanismValue).c_str(), static_cast<long>(err));
            return kExitFailure;
        }
    }
    const std::wstring folder = log_folder(o);
    const std::wstring settings = folder + L"\\" + ETWLogging::kSettingsFileName;
    DiraDoro::CObfuscatedIniReader ini(1);
    bool written = sys::create_directories(folder) == 0;
    if (written) {
        ini.Load(settings);  // a missing file keeps the path: the write creates it
        written = ini.SetInt(ETWLogging::kSettingsSection, ETWLogging::kSettingEnable, enable ? 1 : 0) &&
                  sys::ini::profile_last_error() == 0;
    }
    if (!written) {
        std::fprintf(stderr, "rkctl log %s: cannot write %s\n", sub, display(settings).c_str());
        return kExitFailure;
    }
    return kExitOk;
}

int run_log(const std::vector<std::string>& args) {
    const auto options = parse(args);
    if (!options) {
        std::fprintf(stderr, "%s", kUsage);
        return kExitUsage;
    }
    if (options->sub == "enable" || options->sub == "disable") {
        return run_switch(*options, options->sub == "enable");
    }
    return options->sub == "show" ? run_show(*options) : run_tail(*options);
}

const CommandRegistrar kLog({"log", "show, switch on or off a program's logging, follow its file log", kUsage,
                             run_log});

}  // namespace
}  // namespace rk::ctl
