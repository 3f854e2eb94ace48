#include "platform/logging/file_log_line.h"

#include <ctime>

#include "platform/logging/process_facts.h"
#include "platform/text/format.h"

namespace ETWLogging {
namespace {

std::wstring fixed_width(const std::wstring& text, unsigned long width) {
    const std::wstring field_format = rk::text::format(kWidthFormat, width);
    return rk::text::format(field_format, text.substr(0, width));
}

}  // namespace

std::optional<std::wstring> FormatFileLogLine(const FileLogLine& line) {
    const wchar_t* level_name = rk::log_level::name(line.level);
    if (level_name == nullptr) {
        return std::nullopt;
    }
    const LineTime& t = line.time;
    // 12-hour clock: 0 is 12 AM, 12 is 12 PM, 13 to 23 are 1 to 11 PM.
    const unsigned short hour12 = t.hour % 12 == 0 ? 12 : static_cast<unsigned short>(t.hour % 12);
    const std::wstring stamp = rk::text::format(kTimeStampFormat, t.month, t.day, t.year, hour12, t.minute,
                                                t.second, t.hour < 12 ? L"AM" : L"PM");
    std::wstring text = rk::text::format(kLevelFormat, stamp, level_name);
    if ((line.options & kOptionImageName) != 0) {
        text += L' ';
        text += rk::text::format(kImageNameFormat, fixed_width(line.image_name, kImageNameWidth));
    }
    if ((line.options & kOptionProcessThread) != 0) {
        text += L' ';
        text += rk::text::format(kProcessThreadFormat, static_cast<unsigned long>(line.process_id),
                                 static_cast<unsigned long>(line.thread_id));
    }
    if ((line.options & kOptionSourceLine) != 0) {
        text += L' ';
        text += rk::text::format(kSourceLineFormat,
                                 fixed_width(rk::logging::file_name_of(line.source_file), kSourceFileWidth),
                                 line.line);
    }
    if ((line.options & kOptionFunction) != 0) {
        text += L' ';
        text += rk::text::format(kFunctionFormat, fixed_width(line.function, kFunctionWidth));
    }
    text += L' ';
    text += line.message;
    if (line.message.empty() || line.message.back() != L'\n') {
        text += L"\r\n";
    }
    return text;
}

LineTime LocalLineTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    LineTime t;
    t.year = static_cast<unsigned short>(local.tm_year + 1900);
    t.month = static_cast<unsigned short>(local.tm_mon + 1);
    t.day = static_cast<unsigned short>(local.tm_mday);
    t.hour = static_cast<unsigned short>(local.tm_hour);
    t.minute = static_cast<unsigned short>(local.tm_min);
    t.second = static_cast<unsigned short>(local.tm_sec);
    return t;
}

}  // namespace ETWLogging
