// ETWLogging::CLogging: the file logger. Writes UTF-16LE lines into a small
// ring of numbered files under ProgramData\Corvane\RKLOGS, configured by two
// log.ini files (read through the obfuscated INI reader), shared between
// processes through a named mutex per log name.
//
//   base folder      <ProgramData>\Corvane\RKLOGS
//   log folder       <base>\<group>\<log name>   (or <base>\<log name>)
//   settings         <log folder>\log.ini (specific), <base>\log.ini (common)
//   files            <log folder>\<log name>[_<host>]000.log ...
//
// Ownership: held through std::unique_ptr like every logger; AddRef and
// Release keep the use count but never delete the object.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/logging/file_log_line.h"
#include "platform/logging/logging_if.h"
#include "platform/system/named_mutex.h"

namespace ETWLogging {

namespace internal {
struct CurrentFile;
}

inline constexpr const wchar_t* kCorvaneFolder = L"\\Corvane\\";
inline constexpr const wchar_t* kLogsFolder = L"RKLOGS";
inline constexpr const wchar_t* kSettingsFileName = L"log.ini";
inline constexpr const wchar_t* kSettingsSection = L"Config";
inline constexpr const wchar_t* kSettingEnable = L"Enable";
inline constexpr const wchar_t* kSettingMaxSize = L"MaxSize";
inline constexpr const wchar_t* kSettingMaxEntries = L"MaxEntries";
inline constexpr const wchar_t* kSettingSeverity = L"Severity";
inline constexpr const wchar_t* kSettingOptions = L"Options";
inline constexpr const wchar_t* kSettingLastLogIdx = L"LastLogIdx";
inline constexpr const wchar_t* kLogFileIndexFormat = L"%0.3lu";
inline constexpr const wchar_t* kLogFileExtension = L".log";
inline constexpr const wchar_t* kLogMutexSuffix = L"_CAD0E02E86CD4436B6318C111B9092AC";

inline constexpr rk::DWORD kDefaultMaxSize = 0x40000;  // 262144
inline constexpr rk::DWORD kMaxMaxSize = 10485760;
inline constexpr rk::DWORD kDefaultMaxEntries = 3;
inline constexpr rk::DWORD kMinMaxEntries = 2;
inline constexpr rk::DWORD kMaxMaxEntries = 100;
inline constexpr rk::DWORD kDefaultOptions = kOptionImageName;
// Longest wait for the log mutex; a wait that times out proceeds without it.
inline constexpr rk::DWORD kLogMutexWaitMs = 7000;
// Severity after a failed folder check: no level passes.
inline constexpr LogLevel kSilencedSeverity = 10000;

// Whether a "Config" value of log.ini is valid for its key (unknown keys
// and "Enable"/"Options" accept any number; "LastLogIdx" is checked against
// the ring when used).
bool IsValidLogSetting(std::wstring_view key, std::int64_t value);

class CLogging final : public CLoggingIf {
public:
    using CLoggingIf::Log;
    // Returns 0 when the log folder is safe to write into.
    using FolderCheck = std::function<rk::DWORD()>;

    CLogging();
    ~CLogging() override;

    rk::DWORD Initialize(const wchar_t* group, ModuleHandle module, const wchar_t* host, rk::DWORD options) override;
    rk::DWORD Start() override;
    rk::DWORD GetModuleKey(std::wstring& out) const override;
    rk::DWORD GetGroup(std::wstring& out) const override;
    rk::DWORD Uninitialize() override;
    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override;
    rk::DWORD Log(LogLevel level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                  rk::text::FormatArgs args) override;
    rk::DWORD Write(const wchar_t* file, const wchar_t* function, int line, LogLevel level,
                    const wchar_t* message) override;
    bool IsLevelEnabled(LogLevel level) const override;
    void SetMaxEntries(rk::DWORD entries) override;
    rk::DWORD GetMaxEntries() const override;
    void SetMaxSize(rk::DWORD bytes) override;
    rk::DWORD GetMaxSize() const override;
    void SetSeverity(LogLevel severity) override;
    LogLevel GetSeverity() const override;
    void SetFlags(rk::DWORD flags) override;
    rk::DWORD AddRef() override;
    rk::DWORD Release() override;

    // Replaces the folder check (tests; the logger replaces it itself after
    // the first outcome).
    void SetFolderCheck(FolderCheck check);

    rk::DWORD GetOptions() const { return options_.load(); }
    const std::wstring& base_folder() const { return base_folder_; }
    const std::wstring& log_folder() const { return log_folder_; }
    const std::wstring& log_name() const { return log_name_; }
    const std::wstring& specific_settings_file() const { return specific_settings_; }
    const std::wstring& common_settings_file() const { return common_settings_; }
    // The path of the file with this index, and its name in the log folder.
    std::wstring LogFilePath(rk::DWORD index) const;
    std::wstring LogFileName(rk::DWORD index) const;

    // Paths a logger of this group, log name and ProgramData folder uses
    // (rkctl shows them without creating a logger).
    static std::wstring BaseFolder(const std::wstring& programData);
    static std::wstring LogFolder(const std::wstring& baseFolder, const std::wstring& group,
                                  const std::wstring& logName);

private:
    class MutexHold;
    rk::DWORD RunFolderCheck();
    rk::DWORD DefaultFolderCheck();
    void LoadSettings();
    bool LoadSetting(const wchar_t* key, rk::DWORD fallback, bool (*valid)(std::int64_t), std::int64_t& value);
    // Makes the current file of the ring open; `size_before` is its size.
    rk::DWORD OpenCurrentFile(std::uint64_t& size_before);
    // "LastLogIdx" of the specific settings, read again only when the file
    // changed since the last line.
    std::optional<std::int64_t> LastLogIndex();
    void StoreLastLogIndex(std::int64_t index);
    void Clear();

    std::atomic<bool> initialized_{false};
    std::wstring group_;
    std::wstring image_name_;
    std::wstring log_name_;
    std::wstring host_;
    bool has_group_ = false;
    bool has_host_ = false;
    std::wstring base_folder_;
    std::wstring log_folder_;
    std::wstring specific_settings_;
    std::wstring common_settings_;
    std::uint32_t process_id_ = 0;
    std::atomic<rk::DWORD> refs_{0};
    std::unique_ptr<rk::sys::NamedMutex> mutex_;
    std::atomic<rk::DWORD> max_size_{kDefaultMaxSize};
    std::atomic<rk::DWORD> max_entries_{kDefaultMaxEntries};
    std::atomic<LogLevel> severity_{rk::log_level::kDefaultSeverity};
    std::atomic<rk::DWORD> options_{kDefaultOptions};
    std::atomic<bool> enabled_{true};
    // Threads of this process take turns on the file even when a mutex wait
    // timed out; guards the folder check too.
    std::mutex file_mutex_;
    FolderCheck folder_check_;
    bool folder_check_settled_ = false;  // folder_check_ is the outcome's replacement
    // Guarded by file_mutex_: the open file and the settings last seen.
    std::unique_ptr<internal::CurrentFile> current_;
};

}  // namespace ETWLogging
