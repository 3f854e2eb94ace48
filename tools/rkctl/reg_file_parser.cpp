#include "tools/rkctl/reg_file_parser.h"

#include <algorithm>
#include <deque>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text/numeric.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::regfile {
namespace {

constexpr std::wstring_view kHeaderV4 = L"REGEDIT4";
constexpr std::wstring_view kDwordPrefix = L"dword:";
constexpr std::wstring_view kHexPrefix = L"hex";
constexpr std::size_t kMaxDwordDigits = 8;

// Thrown inside the parser only; parse_reg_file turns it into a ParseError.
struct Failure {
    int line;
    std::wstring message;
};

[[noreturn]] void fail(int line, std::wstring message) { throw Failure{line, std::move(message)}; }

struct Line {
    int number;
    std::wstring text;
};

void strip_cr(std::wstring& s) {
    if (!s.empty() && s.back() == L'\r') s.pop_back();
}

void check_no_nul(const std::wstring& s, int number) {
    if (s.find(L'\0') != std::wstring::npos) fail(number, L"NUL character in line");
}

// The file's lines, read and decoded one at a time as the parser reaches
// them and forgotten once it has passed them: memory holds the lines in use
// and the bytes of the line being read, never the whole file.
class Lines {
public:
    explicit Lines(const ByteSource& source) : source_(source) {
        while (buffer_.size() < 3 && fill()) {
        }
        const auto starts_with = [this](std::initializer_list<std::uint8_t> prefix) {
            return buffer_.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), buffer_.begin());
        };
        if (starts_with({0xFF, 0xFE})) {
            utf16_ = true;
            pos_ = 2;
        } else if (starts_with({0xFE, 0xFF})) {
            fail(1, L"UTF-16 big-endian files are not supported");
        } else if (starts_with({0xEF, 0xBB, 0xBF})) {
            pos_ = 3;
        }
    }

    bool has(std::size_t index) {
        while (first_ + lines_.size() <= index && !done_) {
            decode_next();
        }
        return index >= first_ && index < first_ + lines_.size();
    }
    const Line& operator[](std::size_t index) {
        has(index);
        return lines_.at(index - first_);
    }
    // Lines before `index` are not needed again.
    void forget_before(std::size_t index) {
        while (first_ < index && !lines_.empty()) {
            lines_.pop_front();
            ++first_;
        }
    }

private:
    // Reads start small and double up to the largest: a small file costs a
    // small buffer, a large one is read in large pieces.
    static constexpr std::size_t kFirstReadSize = 4u << 10;
    static constexpr std::size_t kLargestReadSize = 1u << 20;

    // Appends the next bytes of the file; false at its end.
    bool fill() {
        if (end_of_file_) return false;
        piece_.resize(piece_.empty() ? kFirstReadSize : std::min(piece_.size() * 2, kLargestReadSize));
        const std::ptrdiff_t got = source_(piece_.data(), piece_.size());
        if (got < 0) fail(std::max(number_, 1), L"cannot read the file");
        buffer_.insert(buffer_.end(), piece_.begin(), piece_.begin() + got);
        end_of_file_ = got == 0;
        return !end_of_file_;
    }

    // The end of the line that starts at pos_ (its '\n' unit, or the end of
    // the file), reading more of the file as needed.
    std::size_t line_end(int number) {
        const std::size_t unit = utf16_ ? 2 : 1;
        std::size_t end = pos_;
        for (;;) {
            while (end + unit <= buffer_.size()) {
                if (buffer_[end] == '\n' && (!utf16_ || buffer_[end + 1] == 0)) return end;
                end += unit;
            }
            check_length(end - pos_, number);
            // Only the line being read is kept.
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos_));
            end -= pos_;
            pos_ = 0;
            if (!fill()) {
                if (buffer_.size() % unit != 0) fail(number, L"UTF-16LE text with an odd number of bytes");
                return buffer_.size();
            }
        }
    }

    void decode_next() {
        const int number = ++number_;
        const std::size_t end = line_end(number);
        check_length(end - pos_, number);
        std::optional<std::wstring> wide;
        if (utf16_) {
            std::u16string units((end - pos_) / 2, u'\0');
            for (std::size_t i = 0; i < units.size(); ++i) {
                units[i] = static_cast<char16_t>(buffer_[pos_ + 2 * i] | (buffer_[pos_ + 2 * i + 1] << 8));
            }
            wide = text::utf16_to_wide_strict(units);
            if (!wide) fail(number, L"invalid UTF-16LE text");
            pos_ = end + 2;
        } else {
            wide = text::utf8_to_wide_strict(
                std::string_view(reinterpret_cast<const char*>(buffer_.data()) + pos_, end - pos_));
            if (!wide) fail(number, L"invalid UTF-8 text");
            pos_ = end + 1;
        }
        done_ = end >= buffer_.size();
        strip_cr(*wide);
        check_no_nul(*wide, number);
        lines_.push_back({number, std::move(*wide)});
    }

    static void check_length(std::size_t bytes, int number) {
        if (bytes > kMaxLineBytes) fail(number, L"line longer than 4 MiB");
    }

    const ByteSource& source_;
    std::vector<std::uint8_t> piece_;   // what one read returns
    std::vector<std::uint8_t> buffer_;  // the line being read and what follows it
    bool end_of_file_ = false;
    bool utf16_ = false;
    std::size_t pos_ = 0;  // start of the next line in buffer_
    int number_ = 0;
    bool done_ = false;
    std::deque<Line> lines_;
    std::size_t first_ = 0;  // index of lines_.front()
};

std::wstring quoted(std::wstring_view text) {
    constexpr std::size_t kMaxQuoted = 80;
    return text.size() <= kMaxQuoted ? std::wstring(text) : std::wstring(text.substr(0, kMaxQuoted)) + L"...";
}

// A character of a value's data with the line it came from (hex lists span
// several lines).
struct Cursor {
    std::wstring_view text;
    std::size_t pos = 0;
    int line = 0;

    bool at_end() const { return pos >= text.size(); }
    wchar_t peek() const { return text[pos]; }
    void skip_blanks() {
        while (!at_end() && (peek() == L' ' || peek() == L'\t')) ++pos;
    }
    std::wstring_view rest() const { return text.substr(pos); }
};

// Reads "..." with the escapes \\ and \" starting at the opening quote.
std::wstring read_quoted(Cursor& c) {
    ++c.pos;  // opening quote
    std::wstring out;
    out.reserve(c.text.size() - c.pos);  // one allocation, bounded by the line
    while (!c.at_end()) {
        const wchar_t ch = c.text[c.pos++];
        if (ch == L'"') return out;
        if (ch == L'\\') {
            if (c.at_end()) break;
            const wchar_t next = c.text[c.pos++];
            if (next != L'\\' && next != L'"') {
                fail(c.line, L"unknown escape \"\\" + std::wstring(1, next) + L"\" in a quoted string");
            }
            out.push_back(next);
        } else {
            out.push_back(ch);
        }
    }
    fail(c.line, L"quoted string without its closing '\"'");
}

// Nothing but blanks or a comment may follow a complete value.
void expect_line_end(Cursor& c) {
    c.skip_blanks();
    if (!c.at_end() && c.peek() != L';') {
        fail(c.line, L"unexpected text after the value: \"" + quoted(c.rest()) + L"\"");
    }
}

int hex_digit(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9') return ch - L'0';
    if (ch >= L'a' && ch <= L'f') return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F') return ch - L'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(const ByteSource& source) : lines_(source) {}

    RegFile run() {
        std::size_t i = 0;
        while (lines_.has(i) && text::trim(lines_[i].text).empty()) ++i;
        if (!lines_.has(i)) fail(1, L"empty file: the first line must be \"" + std::wstring(kHeaderV5) + L"\"");
        const std::wstring_view header = text::trim(lines_[i].text);
        if (header == kHeaderV4) {
            fail(lines_[i].number, L"REGEDIT4 files are not supported; the first line must be \"" +
                                       std::wstring(kHeaderV5) + L"\"");
        }
        if (header != kHeaderV5) {
            fail(lines_[i].number, L"the first line must be \"" + std::wstring(kHeaderV5) + L"\"");
        }
        for (++i; lines_.has(i); ++i) {
            lines_.forget_before(i);
            const Line& line = lines_[i];
            const std::wstring_view t = text::trim(line.text);
            if (t.empty() || t.front() == L';') continue;
            if (t.front() == L'[') {
                parse_key(t, line.number);
            } else if (t.front() == L'"' || t.front() == L'@') {
                i = parse_value(i);
            } else {
                fail(line.number, L"not a key, a value or a comment: \"" + quoted(t) + L"\"");
            }
        }
        return std::move(file_);
    }

private:
    void parse_key(std::wstring_view t, int number) {
        if (t.back() != L']') fail(number, L"key line without its closing ']'");
        std::wstring_view inner = t.substr(1, t.size() - 2);
        RegKey key;
        key.line = number;
        if (!inner.empty() && inner.front() == L'-') {
            key.remove = true;
            inner.remove_prefix(1);
        }
        std::wstring error;
        auto name = split_key_name(inner, &error);
        if (!name) fail(number, error);
        if (key.remove && name->path.empty()) fail(number, L"a root key cannot be deleted");
        key.root = std::move(name->root);
        key.path = std::move(name->path);
        file_.keys.push_back(std::move(key));
    }

    // Returns the index of the last line the value used.
    std::size_t parse_value(std::size_t index) {
        const Line& line = lines_[index];
        if (file_.keys.empty()) fail(line.number, L"value before the first key");
        RegKey& key = file_.keys.back();
        if (key.remove) fail(line.number, L"value in a section that deletes its key");

        const std::wstring_view t = text::trim(line.text);
        Cursor c{t, 0, line.number};
        RegValue value;
        value.line = line.number;
        if (c.peek() == L'@') {
            ++c.pos;
        } else {
            value.name = read_quoted(c);
            if (text::utf16_length(value.name) > kMaxValueName) {
                fail(line.number, L"value name longer than 16383 characters");
            }
        }
        c.skip_blanks();
        if (c.at_end() || c.peek() != L'=') fail(line.number, L"expected '=' after the value name");
        ++c.pos;
        c.skip_blanks();
        if (c.at_end()) fail(line.number, L"missing value data after '='");

        std::size_t last = index;
        const std::wstring_view data = c.rest();
        if (c.peek() == L'-') {
            ++c.pos;
            expect_line_end(c);
            value.remove = true;
        } else if (c.peek() == L'"') {
            const std::wstring s = read_quoted(c);
            expect_line_end(c);
            value.type = kRegSz;
            value.data = string_data(s);
        } else if (text::istarts_with(data, kDwordPrefix)) {
            c.pos += kDwordPrefix.size();
            value.type = kRegDword;
            value.data = dword_data(read_dword(c));
        } else if (text::istarts_with(data, kHexPrefix)) {
            c.pos += kHexPrefix.size();
            value.type = read_hex_type(c);
            value.data = read_bytes(c, last);
        } else {
            fail(line.number, L"unknown value data \"" + quoted(data) + L"\"");
        }
        key.values.push_back(std::move(value));
        return last;
    }

    static std::uint32_t read_dword(Cursor& c) {
        const std::size_t start = c.pos;
        std::uint32_t v = 0;
        while (!c.at_end() && hex_digit(c.peek()) >= 0) {
            if (c.pos - start == kMaxDwordDigits) fail(c.line, L"dword: takes at most 8 hex digits");
            v = (v << 4) | static_cast<std::uint32_t>(hex_digit(c.peek()));
            ++c.pos;
        }
        if (c.pos == start) fail(c.line, L"dword: needs 1 to 8 hex digits");
        expect_line_end(c);
        return v;
    }

    // After "hex": either ':' (REG_BINARY) or "(N):" with N in hex.
    static std::uint32_t read_hex_type(Cursor& c) {
        if (!c.at_end() && c.peek() == L':') {
            ++c.pos;
            return kRegBinary;
        }
        if (c.at_end() || c.peek() != L'(') fail(c.line, L"expected \"hex:\" or \"hex(N):\"");
        ++c.pos;
        const std::size_t start = c.pos;
        std::uint64_t type = 0;
        while (!c.at_end() && hex_digit(c.peek()) >= 0) {
            type = (type << 4) | static_cast<std::uint64_t>(hex_digit(c.peek()));
            if (type > 0xFFFFFFFFu) fail(c.line, L"hex(N): type number out of range");
            ++c.pos;
        }
        if (c.pos == start || c.at_end() || c.peek() != L')') fail(c.line, L"bad type in \"hex(N):\"");
        ++c.pos;
        if (c.at_end() || c.peek() != L':') fail(c.line, L"expected ':' after \"hex(N)\"");
        ++c.pos;
        return static_cast<std::uint32_t>(type);
    }

    // The comma-separated byte list from the cursor on, following "\"
    // continuations onto the next lines; `last` is set to the last line used.
    std::vector<std::uint8_t> read_bytes(Cursor& c, std::size_t& last) {
        std::vector<std::uint8_t> bytes;
        std::wstring_view segment = text::trim(c.rest());
        int number = c.line;
        bool expect_byte = false;  // a ',' was read and a byte must follow
        for (;;) {
            // A comment ends the list, continuation included.
            if (const std::size_t semi = segment.find(L';'); semi != std::wstring_view::npos) {
                segment = text::trim(segment.substr(0, semi));
            }
            const bool continues = !segment.empty() && segment.back() == L'\\';
            if (continues) segment = text::trim_right(segment.substr(0, segment.size() - 1));
            std::size_t pos = 0;
            while (pos < segment.size()) {
                std::size_t end = segment.find(L',', pos);
                const bool has_comma = end != std::wstring_view::npos;
                if (!has_comma) end = segment.size();
                const std::wstring_view token = text::trim(segment.substr(pos, end - pos));
                if (token.empty()) {
                    fail(number, expect_byte || has_comma ? L"missing byte between commas" : L"missing byte");
                }
                if (token.size() > 2 || hex_digit(token[0]) < 0 ||
                    (token.size() == 2 && hex_digit(token[1]) < 0)) {
                    fail(number, L"bad byte \"" + quoted(token) + L"\" in a hex list");
                }
                int v = hex_digit(token[0]);
                if (token.size() == 2) v = v * 16 + hex_digit(token[1]);
                bytes.push_back(static_cast<std::uint8_t>(v));
                expect_byte = has_comma;
                pos = has_comma ? end + 1 : end;
                if (!has_comma) {
                    if (continues) fail(number, L"missing ',' before the line continuation");
                }
            }
            if (!continues) break;
            if (!expect_byte && !bytes.empty()) fail(number, L"missing ',' before the line continuation");
            if (!lines_.has(last + 1) || text::trim(lines_[last + 1].text).empty()) {
                fail(number, L"hex list ends with '\\' but no data follows");
            }
            ++last;
            lines_.forget_before(last);  // the value's earlier lines are read
            number = lines_[last].number;
            segment = text::trim(lines_[last].text);
        }
        if (expect_byte) fail(number, L"missing byte after ','");
        return bytes;
    }

    Lines lines_;
    RegFile file_;
};

}  // namespace

ParseResult parse_reg_file(std::span<const std::uint8_t> bytes) {
    return parse_reg_file([&bytes](std::uint8_t* data, std::size_t size) {
        const std::size_t n = std::min(size, bytes.size());
        std::copy_n(bytes.begin(), n, data);
        bytes = bytes.subspan(n);
        return static_cast<std::ptrdiff_t>(n);
    });
}

ParseResult parse_reg_file(const ByteSource& source) {
    ParseResult result;
    try {
        result.file = Parser(source).run();
    } catch (const Failure& f) {
        result.error = {f.line, f.message};
    } catch (const std::exception&) {
        result.error = {0, L"out of memory while reading the file"};
    }
    return result;
}

}  // namespace rk::regfile
