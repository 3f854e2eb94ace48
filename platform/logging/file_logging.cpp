#include "platform/logging/file_logging.h"

#include <array>
#include <ctime>
#include <limits>

#include "platform/config/obfuscated_ini_reader.h"
#include "platform/logging/default_logging_handler.h"
#include "platform/logging/etw_util.h"
#include "platform/logging/log_file.h"
#include "platform/logging/logging_errors.h"
#include "platform/logging/message_buffer.h"
#include "platform/logging/process_facts.h"
#include "platform/system/files.h"
#include "platform/system/known_folders.h"
#include "platform/text/numeric.h"
#include "platform/text/utf.h"
#include "platform/system/ini/profile.h"

namespace ETWLogging {
namespace {

bool given_but_empty(const wchar_t* text) { return text != nullptr && text[0] == L'\0'; }

bool any_value(std::int64_t) { return true; }
bool valid_max_size(std::int64_t v) { return v >= kDefaultMaxSize && v <= kMaxMaxSize; }
bool valid_max_entries(std::int64_t v) { return v >= kMinMaxEntries && v <= kMaxMaxEntries; }
bool valid_severity(std::int64_t v) { return v >= 0 && v <= static_cast<std::int64_t>(rk::log_level::kMaxLevel); }

// A value as GetPrivateProfileInt reads it (wcstol); nullopt for text that
// does not start with a number.
std::optional<std::int64_t> read_number(DiraDoro::CObfuscatedIniReader& reader, const wchar_t* key) {
    std::wstring text;
    if (!reader.GetStringByPath(std::wstring(kSettingsSection) + L"\\" + key, text)) {
        return std::nullopt;
    }
    const auto parsed = rk::text::wcstol_like(text, 10);
    if (parsed.consumed == 0) {
        return std::optional<std::int64_t>(std::numeric_limits<std::int64_t>::min());  // present, invalid
    }
    return parsed.value;
}

}  // namespace

namespace internal {

// The log folder, the file the last line went to, and log.ini as it was
// read then.
struct CurrentFile {
    LogFolder folder;
    LogFile file;
    PathState settings;
    bool settings_read = false;
    std::optional<std::int64_t> last_index;
    std::vector<std::string> names;  // file names in the folder by index, made once
    // Line heads (time stamp and level) of the second they were made in.
    std::int64_t heads_second = -1;
    LineTime heads_time;
    std::array<std::optional<std::wstring>, 8> heads;
    // The line being written, reused from line to line.
    std::wstring text;
    std::vector<std::uint8_t> bytes;
};

}  // namespace internal

bool IsValidLogSetting(std::wstring_view key, std::int64_t value) {
    if (key == kSettingMaxSize) return valid_max_size(value);
    if (key == kSettingMaxEntries) return valid_max_entries(value);
    if (key == kSettingSeverity) return valid_severity(value);
    return true;
}

// Holds the named mutex for one scope when the wait got it; a wait that
// timed out proceeds without it.
class CLogging::MutexHold {
public:
    explicit MutexHold(rk::sys::NamedMutex* mutex) {
        if (mutex != nullptr) {
            const rk::DWORD result = mutex->wait(kLogMutexWaitMs);
            if (result == rk::win::kWaitObject0 || result == rk::win::kWaitAbandoned) {
                mutex_ = mutex;
            }
        }
    }
    MutexHold(const MutexHold&) = delete;
    MutexHold& operator=(const MutexHold&) = delete;
    ~MutexHold() {
        if (mutex_ != nullptr) {
            mutex_->release();
        }
    }

private:
    rk::sys::NamedMutex* mutex_ = nullptr;
};

CLogging::CLogging()
    : folder_check_([this] { return DefaultFolderCheck(); }), current_(std::make_unique<internal::CurrentFile>()) {}

CLogging::~CLogging() = default;

std::wstring CLogging::BaseFolder(const std::wstring& programData) {
    return programData + kCorvaneFolder + kLogsFolder;
}

std::wstring CLogging::LogFolder(const std::wstring& baseFolder, const std::wstring& group,
                                 const std::wstring& logName) {
    return group.empty() ? baseFolder + L"\\" + logName : baseFolder + L"\\" + group + L"\\" + logName;
}

std::wstring CLogging::LogFileName(rk::DWORD index) const {
    std::wstring name = log_name_;
    if (has_host_) {
        name += L"_" + host_;
    }
    name += rk::text::format(kLogFileIndexFormat, static_cast<unsigned long>(index));
    name += kLogFileExtension;
    return name;
}

std::wstring CLogging::LogFilePath(rk::DWORD index) const { return log_folder_ + L"\\" + LogFileName(index); }

void CLogging::Clear() {
    group_.clear();
    image_name_.clear();
    log_name_.clear();
    host_.clear();
    has_group_ = has_host_ = false;
    base_folder_.clear();
    log_folder_.clear();
    specific_settings_.clear();
    common_settings_.clear();
}

rk::DWORD CLogging::Initialize(const wchar_t* group, ModuleHandle module, const wchar_t* host,
                               rk::DWORD /*options*/) {
    std::unique_ptr<MutexHold> hold = std::make_unique<MutexHold>(mutex_.get());
    if (initialized_.load()) {
        return kErrorAlreadyInitialized;
    }
    if (given_but_empty(group) || given_but_empty(host)) {
        return rk::win::kErrorInvalidParameter;
    }
    try {
        has_group_ = group != nullptr;
        has_host_ = host != nullptr;
        group_ = has_group_ ? group : L"";
        host_ = has_host_ ? host : L"";
        const std::wstring image_path = rk::logging::process_image_path();
        image_name_ = rk::logging::file_name_of(image_path);
        log_name_ = rk::logging::strip_extension(
            rk::logging::file_name_of(module != nullptr ? rk::logging::module_path(module) : image_path));

        if (mutex_ == nullptr) {
            auto created = rk::sys::NamedMutex::create(log_name_ + kLogMutexSuffix);
            if (created.mutex == nullptr) {
                const rk::DWORD err = created.error;
                Clear();
                return err != rk::win::kErrorSuccess ? err : rk::win::kErrorInvalidHandle;
            }
            mutex_ = std::move(created.mutex);
            hold = std::make_unique<MutexHold>(mutex_.get());
        }

        std::wstring program_data;
        if (rk::sys::KnownFolders().path(rk::sys::KnownFolder::ProgramData, program_data, true) != 0 ||
            program_data.empty()) {
            Clear();
            return rk::win::kErrorInvalidParameter;
        }
        base_folder_ = BaseFolder(program_data);
        log_folder_ = LogFolder(base_folder_, group_, log_name_);
        specific_settings_ = log_folder_ + L"\\" + kSettingsFileName;
        common_settings_ = base_folder_ + L"\\" + kSettingsFileName;

        LoadSettings();
        process_id_ = rk::logging::current_process_id();
        initialized_.store(true);
        return rk::win::kErrorSuccess;
    } catch (const std::bad_alloc&) {
        Clear();
        return rk::win::kErrorOutOfMemory;
    }
}

bool CLogging::LoadSetting(const wchar_t* key, rk::DWORD fallback, bool (*valid)(std::int64_t),
                           std::int64_t& value) {
    bool found = false;
    DiraDoro::CObfuscatedIniReader specific(1);
    specific.Load(specific_settings_);
    if (const auto v = read_number(specific, key)) {
        if (valid(*v)) {
            value = *v;
            return true;
        }
        // SetInt answers a failed write with its last error: the error
        // number tells.
        if (!specific.SetInt(kSettingsSection, key, static_cast<int>(fallback)) ||
            rk::sys::ini::profile_last_error() != rk::win::kErrorSuccess) {
            return false;
        }
        value = fallback;
        found = true;
    }
    DiraDoro::CObfuscatedIniReader common(1);
    common.Load(common_settings_);
    if (const auto v = read_number(common, key)) {
        if (valid(*v)) {
            value = *v;
            return true;
        }
        common.SetInt(kSettingsSection, key, static_cast<int>(fallback));
        value = fallback;
        return true;
    }
    return found;
}

void CLogging::LoadSettings() {
    std::int64_t value = 0;
    if (LoadSetting(kSettingEnable, 1, any_value, value)) {
        SetEnabled(value != 0);
    }
    if (LoadSetting(kSettingMaxSize, kDefaultMaxSize, valid_max_size, value)) {
        SetMaxSize(static_cast<rk::DWORD>(value));
    }
    if (LoadSetting(kSettingMaxEntries, kDefaultMaxEntries, valid_max_entries, value)) {
        SetMaxEntries(static_cast<rk::DWORD>(value));
    }
    if (LoadSetting(kSettingSeverity, rk::log_level::kDefaultSeverity, valid_severity, value)) {
        SetSeverity(static_cast<LogLevel>(value));
    }
    if (LoadSetting(kSettingOptions, kDefaultOptions, any_value, value)) {
        options_.store(static_cast<rk::DWORD>(value));
    }
}

rk::DWORD CLogging::Start() { return rk::win::kErrorSuccess; }

rk::DWORD CLogging::GetModuleKey(std::wstring&) const { return rk::win::kErrorSuccess; }

rk::DWORD CLogging::GetGroup(std::wstring&) const { return rk::win::kErrorSuccess; }

rk::DWORD CLogging::Uninitialize() {
    MutexHold hold(mutex_.get());
    if (!initialized_.load()) {
        return kErrorNotInitialized;
    }
    std::lock_guard lock(file_mutex_);
    Clear();
    current_ = std::make_unique<internal::CurrentFile>();
    initialized_.store(false);
    return rk::win::kErrorSuccess;
}

void CLogging::SetEnabled(bool enabled) { enabled_.store(enabled); }

bool CLogging::IsEnabled() const { return enabled_.load(); }

rk::DWORD CLogging::Log(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                        const wchar_t* format, rk::text::FormatArgs args) {
    if (!IsEnabled() || !IsLevelEnabled(level) || format == nullptr || format[0] == L'\0') {
        return rk::win::kErrorSuccess;
    }
    rk::logging::MessageBuffer buffer;
    std::wstring& message = buffer.text();
    rk::text::vformat_to(message, format, args);
    if (message.size() > kShortcutBufferChars) {
        message.resize(kShortcutBufferChars);
    }
    return Write(file, function, line, level, message.c_str());
}

void CLogging::SetFolderCheck(FolderCheck check) {
    std::lock_guard lock(file_mutex_);
    folder_check_ = std::move(check);
    folder_check_settled_ = false;
}

rk::DWORD CLogging::DefaultFolderCheck() {
    if (!ETWUtil::IsBelowFolder(base_folder_, log_folder_)) {
        return rk::win::kErrorInvalidParameter;
    }
    if (const rk::DWORD err = ETWUtil::DeleteReparsePoint(base_folder_, log_folder_); err != 0) {
        return err;
    }
    return rk::sys::create_directories(log_folder_);
}

// Runs under file_mutex_. After the first outcome the check is replaced by
// its result, so a passed check costs nothing and a failed one silences the
// logger for good.
rk::DWORD CLogging::RunFolderCheck() {
    const rk::DWORD result = folder_check_ ? folder_check_() : rk::win::kErrorSuccess;
    if (folder_check_settled_) {
        return result;
    }
    folder_check_settled_ = true;
    if (result == rk::win::kErrorSuccess) {
        folder_check_ = [] { return rk::win::kErrorSuccess; };
    } else {
        SetEnabled(false);
        severity_.store(kSilencedSeverity);
        folder_check_ = [] { return rk::win::kErrorInvalidParameter; };
    }
    return result;
}

std::optional<std::int64_t> CLogging::LastLogIndex() {
    internal::CurrentFile& c = *current_;
    static const std::string kSettingsName = rk::text::wide_to_utf8(kSettingsFileName);
    internal::PathState now;
    c.folder.Probe(kSettingsName, now);
    if (c.settings_read && now.unchanged(c.settings)) {
        return c.last_index;
    }
    DiraDoro::CObfuscatedIniReader settings(1);
    settings.Load(specific_settings_);
    int stored = 0;
    c.last_index = settings.GetIntByPath(std::wstring(kSettingsSection) + L"\\" + kSettingLastLogIdx, stored)
                       ? std::optional<std::int64_t>(stored)
                       : std::nullopt;
    c.settings = now;
    // A file that changed while it was read is read again next time.
    internal::PathState after;
    c.folder.Probe(kSettingsName, after);
    c.settings_read = after.unchanged(now);
    return c.last_index;
}

void CLogging::StoreLastLogIndex(std::int64_t index) {
    DiraDoro::CObfuscatedIniReader settings(1);
    settings.Load(specific_settings_);
    settings.SetInt(kSettingsSection, kSettingLastLogIdx, static_cast<int>(index));
    current_->settings_read = false;
}

rk::DWORD CLogging::OpenCurrentFile(std::uint64_t& size_before) {
    if (log_folder_.empty() || log_name_.empty() || (has_host_ && host_.empty())) {
        return rk::win::kErrorInvalidParameter;
    }
    internal::LogFolder& folder = current_->folder;
    internal::LogFile& file = current_->file;
    // The file of the last line while it is still named and not full: the
    // current one. Loggers (of any process) only move LastLogIdx when the
    // current file is full, so it need not be read again before that.
    if (file.is_open()) {
        bool linked = false;
        if (file.Size(size_before, linked) == 0 && linked && size_before < GetMaxSize()) {
            return rk::win::kErrorSuccess;
        }
    }
    if (!folder.is_open()) {
        if (const rk::DWORD err = folder.Open(log_folder_); err != 0) {
            return err;
        }
    }
    const std::int64_t index = LastLogIndex().value_or(0);
    const auto entries = static_cast<std::int64_t>(GetMaxEntries());
    static constexpr std::uint8_t kBom[] = {0xFF, 0xFE};

    auto name_of = [&](std::int64_t i) -> const std::string& {
        auto& names = current_->names;
        if (names.size() <= static_cast<std::size_t>(i)) {
            names.resize(static_cast<std::size_t>(i) + 1);
        }
        std::string& name = names[static_cast<std::size_t>(i)];
        if (name.empty()) {
            name = rk::text::wide_to_utf8(LogFileName(static_cast<rk::DWORD>(i)));
        }
        return name;
    };
    auto create = [&](std::int64_t i, bool store) -> rk::DWORD {
        rk::DWORD err = file.Create(folder, name_of(i));
        if (err == rk::win::kErrorPathNotFound || err == rk::win::kErrorFileNotFound) {
            // The folder was removed and made again since it was opened.
            if (folder.Open(log_folder_) == 0) {
                err = file.Create(folder, name_of(i));
            }
        }
        if (err != 0) {
            return err;
        }
        if (store) {
            StoreLastLogIndex(i);
        }
        err = file.Append(kBom, 0);
        size_before = err == 0 ? sizeof kBom : 0;
        return err;
    };

    if (index >= 0 && index < entries) {
        const std::string& name = name_of(index);
        internal::PathState state;
        if (const rk::DWORD err = folder.Probe(name, state); err != 0) {
            return err;
        }
        if (!state.exists || state.is_link) {
            return create(index, false);  // a link is removed, not followed
        }
        if (state.size >= GetMaxSize()) {
            const std::int64_t next = index + 1 >= entries ? 0 : index + 1;
            return create(next, true);
        }
        size_before = state.size;
        if (file.Is(state)) {
            return rk::win::kErrorSuccess;
        }
        const rk::DWORD err = file.OpenForAppend(folder, name);
        return err == rk::win::kErrorFileNotFound ? create(index, false) : err;
    }
    return create(0, true);
}

rk::DWORD CLogging::Write(const wchar_t* file, const wchar_t* function, int line, LogLevel level,
                          const wchar_t* message) {
    if (!initialized_.load()) {
        return kErrorNotInitialized;
    }
    MutexHold hold(mutex_.get());
    std::lock_guard lock(file_mutex_);
    if (RunFolderCheck() != rk::win::kErrorSuccess || message == nullptr || message[0] == L'\0') {
        return rk::win::kErrorInvalidParameter;
    }
    try {
        internal::CurrentFile& c = *current_;
        // The file is opened (and the ring moved on) before the line is
        // built, so a refused line still rotates as any other write does.
        std::uint64_t size_before = 0;
        if (const rk::DWORD err = OpenCurrentFile(size_before); err != rk::win::kErrorSuccess) {
            c.file.Close();
            return err;
        }
        const auto now = static_cast<std::int64_t>(std::time(nullptr));
        if (now != c.heads_second) {
            c.heads_second = now;
            c.heads_time = LocalLineTime(now);
            c.heads.fill(std::nullopt);
        }
        if (level >= c.heads.size()) {
            return rk::win::kErrorInvalidParameter;
        }
        auto& head = c.heads[level];
        if (!head) {
            head = FormatLineHead(c.heads_time, level);
            if (!head) {
                return rk::win::kErrorInvalidParameter;
            }
        }
        FileLogLine fields;
        fields.time = c.heads_time;
        fields.level = level;
        fields.options = GetOptions();
        fields.image_name = image_name_;
        fields.process_id = process_id_;
        fields.thread_id = rk::logging::current_thread_id();
        fields.source_file = file != nullptr ? file : L"";
        fields.line = line;
        fields.function = function != nullptr ? function : L"";
        fields.message = message;
        c.text = *head;
        AppendLineBody(fields, c.text);
        c.bytes.clear();
        rk::text::append_wide_to_utf16le(c.bytes, c.text);
        const rk::DWORD err = c.file.Append(c.bytes, size_before);
        if (err == rk::win::kErrorSuccess && (fields.options & kOptionDebugOutput) != 0) {
            DiraDoro::OutputDebugText(c.text);
        }
        return err;
    } catch (const std::bad_alloc&) {
        return rk::win::kErrorOutOfMemory;
    }
}

bool CLogging::IsLevelEnabled(LogLevel level) const { return level >= severity_.load(std::memory_order_relaxed); }

void CLogging::SetMaxEntries(rk::DWORD entries) {
    max_entries_.store(entries > kMaxMaxEntries ? kMaxMaxEntries : entries < kMinMaxEntries ? kMinMaxEntries : entries);
}

rk::DWORD CLogging::GetMaxEntries() const { return max_entries_.load(); }

void CLogging::SetMaxSize(rk::DWORD bytes) {
    max_size_.store(bytes > kMaxMaxSize ? kMaxMaxSize : bytes < kDefaultMaxSize ? kDefaultMaxSize : bytes);
}

rk::DWORD CLogging::GetMaxSize() const { return max_size_.load(); }

void CLogging::SetSeverity(LogLevel severity) { severity_.store(rk::log_level::clamp_severity(severity)); }

LogLevel CLogging::GetSeverity() const { return severity_.load(); }

void CLogging::SetFlags(rk::DWORD) {}

rk::DWORD CLogging::AddRef() { return refs_.fetch_add(1) + 1; }

rk::DWORD CLogging::Release() {
    rk::DWORD current = refs_.load();
    while (current > 0 && !refs_.compare_exchange_weak(current, current - 1)) {
    }
    if (current == 1) {
        delete this;  // the last reference: the object owns itself from AddRef on
        return 0;
    }
    return current > 0 ? current - 1 : 0;
}

}  // namespace ETWLogging
