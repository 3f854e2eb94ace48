#include "xml_updater/xml_updater_log.h"

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/system/calendar_time.h"
#include "platform/system/file.h"
#include "platform/system/folder.h"
#include "platform/system/known_folders.h"
#include "platform/system/process_info.h"
#include "platform/text/utf.h"

namespace XMLUpdater::v2 {
namespace {

struct Installed {
    std::mutex mutex;
    std::shared_ptr<IXmlUpdaterLogger> owned;
    IXmlUpdaterLogger* logger = nullptr;
};

Installed& installed() {
    static Installed state;
    return state;
}

// GetTickCount: milliseconds since system start, wrapping at 2^32.
std::uint32_t tick_count() { return static_cast<std::uint32_t>(rk::sys::milliseconds_since_boot()); }

std::wstring file_name_of(const std::wstring& path) {
    const auto pos = path.find_last_of(L"\\/");
    return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

// The log's known folder and the folders below it; false when unknown.
bool log_folder(std::wstring& program_data, std::wstring& below) {
    if (rk::sys::KnownFolders().path(rk::sys::KnownFolder::ProgramData, program_data, true) != 0) {
        return false;
    }
    const std::wstring executable = file_name_of(rk::sys::own_image_path());
    below = std::wstring(kXmlLogFolder) + L"\\" + executable;
    return !executable.empty();
}

// The folders are reached without following a link (links there are
// removed) and the file is opened without following one at its name.
void append_to_file(const wchar_t* file, const wchar_t* function, int line, const std::wstring& message) {
    std::wstring program_data;
    std::wstring below;
    rk::sys::Folder folder;
    if (!log_folder(program_data, below) ||
        rk::sys::prepare_folder(program_data, below, rk::sys::FolderCreation::kAll, folder) != 0) {
        return;
    }
    rk::sys::FileOpenOptions options;
    options.access = rk::sys::kFileAppendData;  // several processes append to one log
    options.share = rk::sys::kFileShareRead | rk::sys::kFileShareWrite;
    options.disposition = rk::sys::kOpenAlways;
    rk::sys::File out;
    if (folder.open_own_file(kXmlLogFileName, options, out) != 0) {
        return;
    }
    std::wstring entry = rk::text::format(kXmlLogLineHeader, tick_count(), file != nullptr ? file : L"",
                                          function != nullptr ? function : L"", line);
    entry += message;
    const std::string bytes = rk::text::wide_to_utf8(entry);
    out.write_all(bytes.data(), bytes.size());
}

}  // namespace

void SetXmlUpdaterLogger(std::shared_ptr<IXmlUpdaterLogger> logger) {
    Installed& state = installed();
    const std::lock_guard lock(state.mutex);
    state.logger = logger.get();
    state.owned = std::move(logger);
}

void SetXmlUpdaterLogger(IXmlUpdaterLogger* logger) {
    Installed& state = installed();
    const std::lock_guard lock(state.mutex);
    state.owned.reset();
    state.logger = logger;
}

IXmlUpdaterLogger* GetXmlUpdaterLogger() {
    Installed& state = installed();
    const std::lock_guard lock(state.mutex);
    return state.logger;
}

std::wstring XmlUpdaterLogFilePath() {
    std::wstring program_data;
    std::wstring below;
    if (!log_folder(program_data, below)) {
        return {};
    }
    return program_data + L"\\" + below + L"\\" + kXmlLogFileName;
}

void XmlUpdaterLogV(unsigned level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                    rk::text::FormatArgs args) {
    if (format == nullptr) {
        return;
    }
    try {
        IXmlUpdaterLogger* logger = GetXmlUpdaterLogger();
        std::wstring text = rk::text::vformat(format, args);
        const bool cut = text.size() >= kXmlLogMessageChars;
        if (cut) {
            text.resize(kXmlLogMessageChars - 1);
        }
        if (logger != nullptr) {
            if (cut) {
                logger->Log(kXmlLogError, file, line, kXmlLogFormatFailed);
            }
            logger->Log(level, file, line, text.c_str());
            return;
        }
        if (level <= kXmlLogFileThreshold) {
            static std::mutex file_mutex;
            const std::lock_guard lock(file_mutex);
            if (cut) {
                append_to_file(file, function, line, kXmlLogFormatFailed);
            }
            append_to_file(file, function, line, text);
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): log failures are swallowed
    }
}

}  // namespace XMLUpdater::v2
