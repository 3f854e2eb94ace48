#include "platform/logging/file_log_line.h"

#include <ctime>

#include "platform/system/calendar_time.h"
#include "platform/text/format.h"

namespace ETWLogging {
namespace {

// Cut to `width` characters and right-aligned in a field that wide, as the
// format kWidthFormat builds ("%15s" for 15) prints it. The view is valid
// until the next call on this thread (the buffer is reused).
std::wstring_view fixed_width(std::wstring_view text, unsigned long width) {
    thread_local std::wstring field;
    const std::wstring_view cut = text.substr(0, width);
    field.assign(width - cut.size(), L' ');
    field.append(cut);
    return field;
}

// Formats straight onto the end of the line (no string per field).
template <typename... A>
void append_formatted(std::wstring& out, const wchar_t* format, const A&... args) {
    rk::text::vformat_to(out, format, rk::text::make_format_args(args...));
}

// The image-name field, formatted again only when the name differs from the
// last one this thread formatted (a process has one image name).
void append_image_field(std::wstring& out, std::wstring_view image_name) {
    thread_local std::wstring name;
    thread_local std::wstring field;
    if (field.empty() || image_name != name) {
        name = image_name;
        field.clear();
        append_formatted(field, kImageNameFormat, fixed_width(image_name, kImageNameWidth));
    }
    out += field;
}

}  // namespace

std::optional<std::wstring> FormatLineHead(const LineTime& t, LogLevel level) {
    const wchar_t* level_name = rk::log_level::name(level);
    if (level_name == nullptr) {
        return std::nullopt;
    }
    // 12-hour clock: 0 is 12 AM, 12 is 12 PM, 13 to 23 are 1 to 11 PM.
    const unsigned short hour12 = t.hour % 12 == 0 ? 12 : static_cast<unsigned short>(t.hour % 12);
    const std::wstring stamp = rk::text::format(kTimeStampFormat, t.month, t.day, t.year, hour12, t.minute,
                                                t.second, t.hour < 12 ? L"AM" : L"PM");
    return rk::text::format(kLevelFormat, stamp, level_name);
}

void AppendLineBody(const FileLogLine& line, std::wstring& out) {
    if ((line.options & kOptionImageName) != 0) {
        out += L' ';
        append_image_field(out, line.image_name);
    }
    if ((line.options & kOptionProcessThread) != 0) {
        out += L' ';
        append_formatted(out, kProcessThreadFormat, static_cast<unsigned long>(line.process_id),
                         static_cast<unsigned long>(line.thread_id));
    }
    if ((line.options & kOptionSourceLine) != 0) {
        const auto slash = line.source_file.find_last_of(L"\\/");
        const std::wstring_view file =
            slash == std::wstring_view::npos ? line.source_file : line.source_file.substr(slash + 1);
        out += L' ';
        append_formatted(out, kSourceLineFormat, fixed_width(file, kSourceFileWidth), line.line);
    }
    if ((line.options & kOptionFunction) != 0) {
        out += L' ';
        append_formatted(out, kFunctionFormat, fixed_width(line.function, kFunctionWidth));
    }
    out += L' ';
    out += line.message;
    if (line.message.empty() || line.message.back() != L'\n') {
        out += L"\r\n";
    }
}

std::optional<std::wstring> FormatFileLogLine(const FileLogLine& line) {
    auto text = FormatLineHead(line.time, line.level);
    if (text) {
        AppendLineBody(line, *text);
    }
    return text;
}

LineTime LocalLineTime() { return LocalLineTime(static_cast<std::int64_t>(std::time(nullptr))); }

LineTime LocalLineTime(std::int64_t seconds_since_1970) {
    rk::sys::CalendarTime local;
    rk::sys::local_calendar_time(seconds_since_1970, local);
    LineTime t;
    t.year = static_cast<unsigned short>(local.year);
    t.month = static_cast<unsigned short>(local.month);
    t.day = static_cast<unsigned short>(local.day);
    t.hour = static_cast<unsigned short>(local.hour);
    t.minute = static_cast<unsigned short>(local.minute);
    t.second = static_cast<unsigned short>(local.second);
    return t;
}

}  // namespace ETWLogging
