#include "xml_updater/xml_updater_log.h"

#include <time.h>

#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>

#include "platform/system/files.h"
#include "platform/system/known_folders.h"
#include "platform/system/paths.h"
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
std::uint32_t tick_count() {
    timespec now{};
    if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0) {
        return 0;
    }
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::wstring file_name_of(const std::wstring& path) {
    const auto pos = path.find_last_of(L"\\/");
    return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

// A link at a folder's path is removed rather than followed, then the folder
// is created when missing.
bool prepare_folder(const std::wstring& folder) {
    if (rk::sys::is_reparse_point(folder) && rk::sys::remove_directory(folder) != 0) {
        return false;
    }
    return rk::sys::create_directories(folder) == 0;
}

void append_to_file(const wchar_t* file, const wchar_t* function, int line, const std::wstring& message) {
    const std::wstring path = XmlUpdaterLogFilePath();
    if (path.empty()) {
        return;
    }
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    const std::wstring corvane = folder.substr(0, folder.find_last_of(L'\\'));
    if (!prepare_folder(corvane) || !prepare_folder(folder)) {
        return;
    }
    std::wstring entry = rk::text::format(kXmlLogLineHeader, tick_count(), file != nullptr ? file : L"",
                                          function != nullptr ? function : L"", line);
    entry += message;
    const auto host = rk::sys::to_host_path(path);
    if (!host) {
        return;
    }
    std::ofstream out(*host, std::ios::binary | std::ios::app);
    out << rk::text::wide_to_utf8(entry);
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
    if (rk::sys::KnownFolders().path(rk::sys::KnownFolder::ProgramData, program_data, true) != 0) {
        return {};
    }
    const std::wstring executable = file_name_of(rk::sys::own_image_path());
    if (executable.empty()) {
        return {};
    }
    return program_data + L"\\" + kXmlLogFolder + L"\\" + executable + L"\\" + kXmlLogFileName;
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
