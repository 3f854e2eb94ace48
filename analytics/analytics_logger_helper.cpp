#include "analytics/analytics_logger_helper.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <utility>

#include "analytics/analytics_log.h"
#include "analytics/record_json.h"
#include "analytics/tracker.h"
#include "platform/config/reg_key.h"
#include "platform/macros/common_replacements.h"
#include "platform/system/files.h"
#include "platform/system/folder.h"

namespace Halden::Analytics {
namespace {

constexpr wchar_t kFile[] = L"AnalyticsLoggerHelper.cpp";
using log::kFailure;

// An open log file as an output stream: unbuffered, so each line the logger
// writes is one append.
class FileOutput final : public std::streambuf {
public:
    explicit FileOutput(rk::sys::File file) : file_(std::move(file)) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return file_.write_all(&byte, 1) == 0 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        return file_.write_all(data, static_cast<std::size_t>(size)) == 0 ? size : 0;
    }

private:
    rk::sys::File file_;
};

// A file that could not be opened stays a stream that is not open.
struct OpenLog {
    explicit OpenLog(rk::sys::File file) : open(file.is_open()), output(std::move(file)), stream(&output) {}
    bool open;
    FileOutput output;
    std::ostream stream;
    LogStream log_stream{open, &stream};
};

// The process's log streams by kind, the log folder they are opened in
// (checked once, then held open: a link swapped in for it later is never
// followed) and the mutex every writer takes.
struct Streams {
    std::mutex mutex;
    rk::sys::Folder folder;
    std::map<int, std::unique_ptr<OpenLog>> open;
};

Streams& streams() {
    static Streams value;
    return value;
}

const wchar_t* file_name_of(int type) {
    switch (static_cast<LogType>(type)) {
        case LogType::kRawTrack: return kRawTrackLogFile;
        case LogType::kTransports: return kTransportsLogFile;
        case LogType::kAutomationError: return kErrorLogFile;
    }
    return nullptr;
}

// The log folder, created when missing and held open; a link in its place,
// or on the way below its known folder, is removed first so nothing is
// written through it, and ".." may not leave that folder (folder.h). Not
// open when it cannot be had.
const rk::sys::Folder& log_folder() {
    constexpr wchar_t kFunction[] = L"CAnalyticsLoggerHelper::GetLogFolder";
    rk::sys::Folder& prepared = streams().folder;
    if (prepared.is_open()) {
        return prepared;
    }
    std::wstring folder = kLoggerFolder;
    DiraDoro::CommonReplacements().Replace(folder);
    if (folder.find(L"$(") != std::wstring::npos) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Couldn't resolve place holder for: %s", kLoggerFolder);
        return prepared;
    }
    const bool existed = rk::sys::is_directory(folder) && !rk::sys::is_reparse_point(folder);
    const rk::DWORD result = rk::sys::prepare_folder_at(folder, rk::sys::FolderCreation::kAll, prepared);
    if (!existed) {
        log::Write(log::kProgress, kFile, kFunction, __LINE__, L"CreateDirectory for %s, result: %d", folder, result);
    }
    return prepared;
}

// The stream of a kind, opened on first use relative to the held folder,
// never through a link at its name; null without a folder.
LogStream* stream_of(int type, const wchar_t* name) {
    auto& slot = streams().open[type];
    if (!slot) {
        const rk::sys::Folder& folder = log_folder();
        if (!folder.is_open()) {
            return nullptr;
        }
        rk::sys::FileOpenOptions options;
        options.access = rk::sys::kFileAppendData;
        options.share = rk::sys::kFileShareRead | rk::sys::kFileShareWrite;
        options.disposition = rk::sys::kOpenAlways;
        rk::sys::File file;
        folder.open_own_file(name, options, file);
        slot = std::make_unique<OpenLog>(std::move(file));
    }
    return &slot->log_stream;
}

}  // namespace

CAnalyticsLoggerHelper::CAnalyticsLoggerHelper() {
    DiraDoro::CRegKey key;
    const rk::LONG opened = key.Open(rk::sys::reg::HKEY_LOCAL_MACHINE, kLoggerSwitchKey, kLoggerSwitchAccess);
    if (opened != 0) {
        log::Write(kFailure, kFile, L"CAnalyticsLoggerHelper::IsLegacyAutomationLoggingEnabled", __LINE__,
                   L"Unable to open regKey %s", kLoggerSwitchKey);
        return;
    }
    rk::DWORD value = 0;
    enabled_ = key.QueryDWORDValue(kLoggerSwitchValue, value) == 0 && value != 0;
    if (enabled_) {
        log::Write(log::kProgress, kFile, L"CAnalyticsLoggerHelper::IsLegacyAutomationLoggingEnabled", __LINE__,
                   L"LegacyAutomationLogging is enabled");
    }
}

std::wstring CAnalyticsLoggerHelper::TimeStamp() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return internal::FormatRecordCreated(std::chrono::duration_cast<std::chrono::seconds>(now).count())
        .value_or(L"");
}

std::wstring CAnalyticsLoggerHelper::StatusText(int status) {
    switch (status) {
        case kRecordFail: return L"Fail";
        case kRecordSuccess: return L"Success";
        case kRecordUnprocessed: return L"Unprocessed";
        default:
            log::Write(kFailure, kFile, L"CAnalyticsLoggerHelper::GetRecordStatus", __LINE__,
                       L"Unknown record status: %d", status);
            return L"Error";
    }
}

std::wstring CAnalyticsLoggerHelper::BuildEntry(const Record& entry) {
    std::wstring json = RecordToJson(entry);
    return json.empty() ? std::wstring(kUnspecifiedLogEntry) : json;
}

void CAnalyticsLoggerHelper::Write(int type, const Record& entry) {
    if (!enabled_) {
        return;
    }
    const wchar_t* name = file_name_of(type);
    if (name == nullptr) {
        log::Write(kFailure, kFile, L"CAnalyticsLoggerHelper::Write", __LINE__, L"Unknown LogType: %d", type);
        return;
    }
    const std::lock_guard lock(streams().mutex);
    CAnalyticsLogger::Log(stream_of(type, name), BuildEntry(entry));
}

void CAnalyticsLoggerHelper::WriteRawTrack(const std::wstring& unique_id, const std::wstring& data) {
    Write(static_cast<int>(LogType::kRawTrack), {{L"uniqueId", unique_id}, {L"timeStamp", TimeStamp()}, {L"data", data}});
}

void CAnalyticsLoggerHelper::WriteTransports(const std::wstring& unique_id, const std::wstring& transport,
                                             bool success, const std::wstring& data) {
    Write(static_cast<int>(LogType::kTransports), {{L"uniqueId", unique_id},
                                                   {L"transports", transport},
                                                   {L"status", StatusText(success ? kRecordSuccess : kRecordFail)},
                                                   {L"timeStamp", TimeStamp()},
                                                   {L"data", data}});
}

void CAnalyticsLoggerHelper::WriteAutomationError(const std::wstring& unique_id, const std::wstring& data,
                                                  const std::wstring& error) {
    Write(static_cast<int>(LogType::kAutomationError),
          {{L"uniqueId", unique_id}, {L"error", error}, {L"timeStamp", TimeStamp()}, {L"data", data}});
}

void CAnalyticsLoggerHelper::CloseStreams() {
    const std::lock_guard lock(streams().mutex);
    streams().open.clear();
    streams().folder = rk::sys::Folder();
}

}  // namespace Halden::Analytics
