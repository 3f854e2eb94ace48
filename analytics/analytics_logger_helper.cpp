#include "analytics/analytics_logger_helper.h"

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

#include "analytics/analytics_log.h"
#include "analytics/record_json.h"
#include "analytics/tracker.h"
#include "platform/config/reg_key.h"
#include "platform/macros/common_replacements.h"
#include "platform/system/files.h"
#include "platform/system/folder.h"
#include "platform/system/paths.h"

namespace Halden::Analytics {
namespace {

constexpr wchar_t kFile[] = L"AnalyticsLoggerHelper.cpp";
using log::kFailure;

struct OpenLog {
    std::ofstream file;
    LogStream stream;
};

// The process's log streams by kind, and the mutex every writer takes.
struct Streams {
    std::mutex mutex;
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

// The log folder, created when missing; a link in its place is removed
// first so nothing is written through it. Empty when it cannot be had.
std::wstring prepare_folder() {
    constexpr wchar_t kFunction[] = L"CAnalyticsLoggerHelper::GetLogFolder";
    std::wstring folder = kLoggerFolder;
    DiraDoro::CommonReplacements().Replace(folder);
    if (folder.find(L"$(") != std::wstring::npos) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Couldn't resolve place holder for: %s", kLoggerFolder);
        return {};
    }
    // Links on the way below its known folder and at it are removed too,
    // and ".." may not leave that folder (folder.h).
    const bool existed = rk::sys::is_directory(folder) && !rk::sys::is_reparse_point(folder);
    rk::sys::Folder prepared;
    const rk::DWORD result = rk::sys::prepare_folder_at(folder, rk::sys::FolderCreation::kAll, prepared);
    if (!existed) {
        log::Write(log::kProgress, kFile, kFunction, __LINE__, L"CreateDirectory for %s, result: %d", folder, result);
    }
    return result == 0 ? folder : std::wstring();
}

// The stream of a kind, opened on first use; null when it cannot be.
LogStream* stream_of(int type, const wchar_t* name) {
    auto& slot = streams().open[type];
    if (!slot) {
        const std::wstring folder = prepare_folder();
        if (folder.empty()) {
            return nullptr;
        }
        const std::wstring path = folder + L"\\" + name;
        if (rk::sys::is_reparse_point(path)) {
            rk::sys::delete_file(path);
        }
        const auto host = rk::sys::to_host_path(path);
        if (!host) {
            return nullptr;
        }
        slot = std::make_unique<OpenLog>();
        slot->file.open(*host, std::ios::binary | std::ios::app);
        slot->stream = LogStream{slot->file.is_open(), &slot->file};
    }
    return &slot->stream;
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
}

}  // namespace Halden::Analytics
