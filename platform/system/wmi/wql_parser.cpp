#include "platform/system/wmi/wql_parser.h"

#include "platform/text/strings.h"

namespace rk::sys::wmi {
namespace {

bool is_space(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
bool is_ascii_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool is_name_start(wchar_t c) { return is_ascii_letter(c) || c == L'_'; }
bool is_name_char(wchar_t c) { return is_name_start(c) || is_digit(c); }

class Cursor {
public:
    explicit Cursor(std::wstring_view text) : text_(text) {}

    void skip_space() {
        while (pos_ < text_.size() && is_space(text_[pos_])) {
            ++pos_;
        }
    }
    bool at_end() {
        skip_space();
        return pos_ == text_.size();
    }
    bool take(wchar_t c) {
        skip_space();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    std::optional<std::wstring> name() {
        skip_space();
        if (pos_ == text_.size() || !is_name_start(text_[pos_])) {
            return std::nullopt;
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && is_name_char(text_[pos_])) {
            ++pos_;
        }
        return std::wstring(text_.substr(start, pos_ - start));
    }
    // A keyword is a whole name.
    bool keyword(std::wstring_view word) {
        const std::size_t saved = pos_;
        const auto word_read = name();
        if (word_read && text::iequals(*word_read, word)) {
            return true;
        }
        pos_ = saved;
        return false;
    }
    std::optional<WqlLiteral> literal() {
        skip_space();
        if (pos_ == text_.size()) {
            return std::nullopt;
        }
        const wchar_t c = text_[pos_];
        if (c == L'\'' || c == L'"') {
            return string_literal(c);
        }
        if (c == L'-' || is_digit(c)) {
            return number();
        }
        if (keyword(L"TRUE")) {
            return WqlLiteral(true);
        }
        if (keyword(L"FALSE")) {
            return WqlLiteral(false);
        }
        return std::nullopt;
    }

private:
    std::optional<WqlLiteral> string_literal(wchar_t quote) {
        ++pos_;
        std::wstring value;
        while (pos_ < text_.size()) {
            wchar_t c = text_[pos_++];
            if (c == quote) {
                return WqlLiteral(std::move(value));
            }
            if (c == L'\\') {
                if (pos_ == text_.size()) {
                    break;
                }
                c = text_[pos_++];
            }
            value += c;
        }
        return std::nullopt;  // not closed
    }
    std::optional<WqlLiteral> number() {
        const bool negative = text_[pos_] == L'-';
        if (negative) {
            ++pos_;
        }
        if (pos_ == text_.size() || !is_digit(text_[pos_])) {
            return std::nullopt;
        }
        std::uint64_t magnitude = 0;
        constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;  // |INT64_MIN|
        while (pos_ < text_.size() && is_digit(text_[pos_])) {
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(text_[pos_++] - L'0');
            if (magnitude > kLimit) {
                return std::nullopt;
            }
        }
        if (pos_ < text_.size() && is_name_char(text_[pos_])) {
            return std::nullopt;  // "12abc"
        }
        if (!negative && magnitude == kLimit) {
            return std::nullopt;
        }
        const auto value = negative ? static_cast<std::int64_t>(~magnitude + 1) : static_cast<std::int64_t>(magnitude);
        return WqlLiteral(value);
    }

    std::wstring_view text_;
    std::size_t pos_ = 0;
};

bool parse(std::wstring_view text, WqlQuery& query) {
    Cursor in(text);
    if (!in.keyword(L"SELECT")) {
        return false;
    }
    if (!in.take(L'*')) {
        do {
            auto property = in.name();
            if (!property) {
                return false;
            }
            query.properties.push_back(std::move(*property));
        } while (in.take(L','));
    }
    if (!in.keyword(L"FROM")) {
        return false;
    }
    auto class_name = in.name();
    if (!class_name) {
        return false;
    }
    query.class_name = std::move(*class_name);
    if (in.at_end()) {
        return true;
    }
    if (!in.keyword(L"WHERE")) {
        return false;
    }
    auto property = in.name();
    if (!property || !in.take(L'=')) {
        return false;
    }
    auto value = in.literal();
    if (!value) {
        return false;
    }
    query.where = WqlCondition{std::move(*property), std::move(*value)};
    return in.at_end();
}

}  // namespace

HRESULT parse_wql(std::wstring_view text, WqlQuery& query) {
    query = WqlQuery{};
    if (text.size() > kMaxQueryLength || !parse(text, query)) {
        query = WqlQuery{};
        return win::kWbemEInvalidQuery;
    }
    return win::kSOk;
}

}  // namespace rk::sys::wmi
