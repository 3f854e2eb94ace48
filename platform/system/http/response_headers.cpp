#include "platform/system/http/response_headers.h"

#include "platform/system/http/http_types.h"
#include "platform/text/numeric.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::sys::http {
namespace {

constexpr std::string_view kHttpPrefix = "HTTP/";

std::string_view strip_eol(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    return line;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<ResponseHeaders> ResponseHeaders::parse(std::string_view block) {
    ResponseHeaders result;
    bool first = true;
    while (!block.empty()) {
        const auto end = block.find('\n');
        std::string_view line = strip_eol(block.substr(0, end));
        block = end == std::string_view::npos ? std::string_view{} : block.substr(end + 1);
        if (first) {
            first = false;
            // "HTTP/1.1 200 OK", "HTTP/2 204"
            if (!line.starts_with(kHttpPrefix)) {
                return std::nullopt;
            }
            const auto space = line.find(' ');
            if (space == std::string_view::npos || line.size() < space + 4 || !is_digit(line[space + 1]) ||
                !is_digit(line[space + 2]) || !is_digit(line[space + 3]) ||
                (line.size() > space + 4 && line[space + 4] != ' ')) {
                return std::nullopt;
            }
            result.status_code_ = static_cast<unsigned>((line[space + 1] - '0') * 100 + (line[space + 2] - '0') * 10 +
                                                        (line[space + 3] - '0'));
            if (line.size() > space + 5) {
                result.reason_ = text::utf8_to_wide(line.substr(space + 5));
            }
            result.raw_ = text::utf8_to_wide(line);
            result.raw_ += L"\r\n";
            continue;
        }
        if (line.empty()) {
            break;
        }
        const std::wstring wide = text::utf8_to_wide(line);
        result.raw_ += wide;
        result.raw_ += L"\r\n";
        if ((line.front() == ' ' || line.front() == '\t') && !result.fields_.empty()) {
            auto& value = result.fields_.back().second;
            const std::wstring_view more = text::trim(std::wstring_view(wide));
            if (!more.empty()) {
                if (!value.empty()) {
                    value += L' ';
                }
                value += more;
            }
            continue;
        }
        const auto colon = wide.find(L':');
        if (colon == std::wstring::npos || colon == 0) {
            continue;
        }
        result.fields_.emplace_back(std::wstring(text::trim(std::wstring_view(wide).substr(0, colon))),
                                    std::wstring(text::trim(std::wstring_view(wide).substr(colon + 1))));
    }
    if (first) {
        return std::nullopt;
    }
    result.raw_ += L"\r\n";
    return result;
}

std::optional<std::wstring> ResponseHeaders::get(std::wstring_view name, std::size_t index) const {
    for (const auto& [field, value] : fields_) {
        if (text::iequals(field, name)) {
            if (index == 0) {
                return value;
            }
            --index;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> ResponseHeaders::content_length() const {
    const auto value = get(kHeaderContentLength);
    if (!value || !text::is_decimal_digits(*value)) {
        return std::nullopt;
    }
    return text::parse_uint64_exact(*value);
}

}  // namespace rk::sys::http
