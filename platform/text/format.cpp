#include "platform/text/format.h"

#include <cstdio>

#include "platform/text/utf.h"

namespace rk::text {

std::int64_t FormatArg::as_signed() const {
    switch (kind_) {
        case Kind::kSigned: return int_;
        case Kind::kUnsigned:
        case Kind::kPointer: return static_cast<std::int64_t>(uint_);
        case Kind::kDouble: return static_cast<std::int64_t>(double_);
        default: return 0;
    }
}

std::uint64_t FormatArg::as_unsigned() const {
    switch (kind_) {
        case Kind::kSigned: return static_cast<std::uint64_t>(int_);
        case Kind::kUnsigned:
        case Kind::kPointer: return uint_;
        case Kind::kDouble: return static_cast<std::uint64_t>(static_cast<std::int64_t>(double_));
        default: return 0;
    }
}

double FormatArg::as_double() const {
    switch (kind_) {
        case Kind::kSigned: return static_cast<double>(int_);
        case Kind::kUnsigned:
        case Kind::kPointer: return static_cast<double>(uint_);
        case Kind::kDouble: return double_;
        default: return 0.0;
    }
}

namespace {

enum class Length { kNone, kChar, kShort, kLong, kLongLong, kSize, kLongDouble, kWide };

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alt = false;
    bool zero = false;
    int width = 0;
    int precision = -1;  // -1: none
    Length length = Length::kNone;
    char conv = 0;
};

// Number of bits an integer directive reads, with Windows sizes (long is 32).
int integer_bits(Length length) {
    switch (length) {
        case Length::kChar: return 8;
        case Length::kShort: return 16;
        case Length::kLongLong:
        case Length::kSize: return 64;
        default: return 32;
    }
}

template <typename Ch>
class Writer {
public:
    Writer(std::basic_string<Ch>& out, FormatArgs args) : out_(out), args_(args) {}

    void run(std::basic_string_view<Ch> fmt) {
        std::size_t i = 0;
        const std::size_t n = fmt.size();
        while (i < n) {
            const std::size_t pct = fmt.find(Ch('%'), i);
            if (pct == std::basic_string_view<Ch>::npos) {
                out_.append(fmt.substr(i));
                return;
            }
            out_.append(fmt.substr(i, pct - i));
            i = directive(fmt, pct);
        }
    }

private:
    // Parses and writes the directive at fmt[start] == '%'; returns the
    // index after it.
    std::size_t directive(std::basic_string_view<Ch> fmt, std::size_t start) {
        const std::size_t n = fmt.size();
        std::size_t i = start + 1;
        if (i < n && fmt[i] == Ch('%')) {
            out_.push_back(Ch('%'));
            return i + 1;
        }
        Spec spec;
        for (; i < n; ++i) {
            const Ch c = fmt[i];
            if (c == Ch('-')) spec.left = true;
            else if (c == Ch('+')) spec.plus = true;
            else if (c == Ch(' ')) spec.space = true;
            else if (c == Ch('#')) spec.alt = true;
            else if (c == Ch('0')) spec.zero = true;
            else break;
        }
        bool missing = false;
        // Width and precision are read first so '*' consumes arguments in
        // the order printf does.
        if (i < n && fmt[i] == Ch('*')) {
            ++i;
            if (const FormatArg* a = next()) {
                const auto w = static_cast<int>(a->as_signed());
                if (w < 0) {
                    spec.left = true;
                    spec.width = w == INT32_MIN ? 0 : -w;
                } else {
                    spec.width = w;
                }
            } else {
                missing = true;
            }
        } else {
            spec.width = read_number(fmt, i);
        }
        if (i < n && fmt[i] == Ch('.')) {
            ++i;
            if (i < n && fmt[i] == Ch('*')) {
                ++i;
                if (const FormatArg* a = next()) {
                    const auto p = static_cast<int>(a->as_signed());
                    spec.precision = p < 0 ? -1 : p;
                } else {
                    missing = true;
                }
            } else {
                spec.precision = read_number(fmt, i);
            }
        }
        i = read_length(fmt, i, spec);
        if (i >= n) {
            out_.append(fmt.substr(start));
            return n;
        }
        spec.conv = static_cast<char>(fmt[i] < 0x80 ? fmt[i] : '?');
        ++i;
        if (!is_conversion(spec.conv)) {
            out_.append(fmt.substr(start, i - start));
            return i;
        }
        const FormatArg* arg = missing ? nullptr : next();
        if (arg == nullptr) {
            out_.append(fmt.substr(start, i - start));
            return i;
        }
        write(spec, *arg);
        return i;
    }

    static bool is_conversion(char c) {
        switch (c) {
            case 'd': case 'i': case 'u': case 'o': case 'x': case 'X': case 'c': case 'C':
            case 's': case 'S': case 'p': case 'e': case 'E': case 'f': case 'F': case 'g':
            case 'G': case 'a': case 'A': case 'Z':
                return true;
            default:
                return false;
        }
    }

    static int read_number(std::basic_string_view<Ch> fmt, std::size_t& i) {
        int v = 0;
        while (i < fmt.size() && fmt[i] >= Ch('0') && fmt[i] <= Ch('9')) {
            if (v < 100000) {  // absurd widths are capped, not overflowed
                v = v * 10 + static_cast<int>(fmt[i] - Ch('0'));
            }
            ++i;
        }
        return v;
    }

    static std::size_t read_length(std::basic_string_view<Ch> fmt, std::size_t i, Spec& spec) {
        const std::size_t n = fmt.size();
        auto at = [&](std::size_t k) { return k < n ? fmt[k] : Ch(0); };
        const Ch c = at(i);
        if (c == Ch('h')) {
            if (at(i + 1) == Ch('h')) {
                spec.length = Length::kChar;
                return i + 2;
            }
            spec.length = Length::kShort;
            return i + 1;
        }
        if (c == Ch('l')) {
            if (at(i + 1) == Ch('l')) {
                spec.length = Length::kLongLong;
                return i + 2;
            }
            spec.length = Length::kLong;
            return i + 1;
        }
        if (c == Ch('w')) {
            spec.length = Length::kWide;
            return i + 1;
        }
        if (c == Ch('L')) {
            spec.length = Length::kLongDouble;
            return i + 1;
        }
        if (c == Ch('z') || c == Ch('t') || c == Ch('j')) {
            spec.length = Length::kSize;
            return i + 1;
        }
        if (c == Ch('I')) {
            if (at(i + 1) == Ch('6') && at(i + 2) == Ch('4')) {
                spec.length = Length::kLongLong;
                return i + 3;
            }
            if (at(i + 1) == Ch('3') && at(i + 2) == Ch('2')) {
                spec.length = Length::kLong;
                return i + 3;
            }
            spec.length = Length::kSize;
            return i + 1;
        }
        return i;
    }

    const FormatArg* next() {
        if (index_ >= args_.size()) {
            return nullptr;
        }
        return &args_[index_++];
    }

    void write(const Spec& spec, const FormatArg& arg) {
        switch (spec.conv) {
            case 's': case 'S': case 'Z':
                if (arg.is_string()) {
                    write_string(spec, arg);
                } else {
                    Spec as_int = spec;
                    as_int.conv = arg.kind() == FormatArg::Kind::kUnsigned ? 'u' : 'd';
                    as_int.length = Length::kLongLong;
                    as_int.precision = -1;
                    if (arg.kind() == FormatArg::Kind::kDouble) {
                        as_int.conv = 'g';
                        write_float(as_int, arg.as_double());
                    } else {
                        write_integer(as_int, arg);
                    }
                }
                return;
            case 'c': case 'C':
                if (arg.is_string()) {
                    Spec first = spec;
                    first.precision = 1;
                    write_string(first, arg);
                } else {
                    write_char(spec, static_cast<char32_t>(arg.as_unsigned() & 0x1FFFFF));
                }
                return;
            case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
                if (arg.is_string()) {
                    write_string(Spec{}, arg);
                } else {
                    write_float(spec, arg.as_double());
                }
                return;
            case 'p':
                if (arg.is_string()) {
                    write_string(Spec{}, arg);
                } else {
                    Spec hex;
                    hex.conv = 'X';
                    hex.length = Length::kLongLong;
                    hex.precision = 16;
                    hex.width = spec.width;
                    hex.left = spec.left;
                    write_integer(hex, arg);
                }
                return;
            default:  // integers
                if (arg.is_string()) {
                    write_string(Spec{}, arg);
                } else {
                    write_integer(spec, arg);
                }
                return;
        }
    }

    void pad(std::size_t len, int width, bool left, const auto& body) {
        const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
        if (!left && len < w) {
            out_.append(w - len, Ch(' '));
        }
        body();
        if (left && len < w) {
            out_.append(w - len, Ch(' '));
        }
    }

    void write_string(const Spec& spec, const FormatArg& arg) {
        std::basic_string<Ch> converted;
        std::basic_string_view<Ch> text;
        const std::size_t limit = spec.precision >= 0 ? static_cast<std::size_t>(spec.precision) : SIZE_MAX;
        const std::size_t count = std::min(arg.size(), limit);
        if (arg.data() == nullptr) {
            static constexpr Ch kNull[] = {Ch('('), Ch('n'), Ch('u'), Ch('l'), Ch('l'), Ch(')')};
            text = std::basic_string_view<Ch>(kNull, std::min<std::size_t>(6, limit));
        } else if (arg.kind() == FormatArg::Kind::kNarrow) {
            std::string_view src(static_cast<const char*>(arg.data()), count);
            if constexpr (std::is_same_v<Ch, char>) {
                text = src;
            } else {
                converted = utf8_to_wide(src);
                text = converted;
            }
        } else if (arg.kind() == FormatArg::Kind::kWide) {
            std::wstring_view src(static_cast<const wchar_t*>(arg.data()), count);
            if constexpr (std::is_same_v<Ch, wchar_t>) {
                text = src;
            } else {
                converted = wide_to_utf8(src);
                text = converted;
            }
        } else {
            std::u16string_view src(static_cast<const char16_t*>(arg.data()), count);
            if constexpr (std::is_same_v<Ch, wchar_t>) {
                converted = utf16_to_wide(src);
            } else {
                converted = wide_to_utf8(utf16_to_wide(src));
            }
            text = converted;
        }
        pad(text.size(), spec.width, spec.left, [&] { out_.append(text); });
    }

    void write_char(const Spec& spec, char32_t cp) {
        std::basic_string<Ch> text;
        if constexpr (std::is_same_v<Ch, char>) {
            text = wide_to_utf8(std::wstring(1, static_cast<wchar_t>(cp)));
        } else {
            text = utf16_to_wide(std::u16string(1, static_cast<char16_t>(cp)));
            if (cp > 0xFFFF) {
                text.assign(1, static_cast<wchar_t>(cp));
            }
        }
        pad(text.size(), spec.width, spec.left, [&] { out_.append(text); });
    }

    void write_integer(const Spec& spec, const FormatArg& arg) {
        const int bits = integer_bits(spec.length);
        const bool is_signed_conv = spec.conv == 'd' || spec.conv == 'i';
        bool negative = false;
        std::uint64_t magnitude;
        if (is_signed_conv) {
            std::int64_t v = arg.as_signed();
            if (bits < 64) {
                const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
                std::uint64_t u = static_cast<std::uint64_t>(v) & mask;
                if (u & (std::uint64_t{1} << (bits - 1))) {
                    u |= ~mask;
                }
                v = static_cast<std::int64_t>(u);
            }
            negative = v < 0;
            magnitude = negative ? (~static_cast<std::uint64_t>(v) + 1) : static_cast<std::uint64_t>(v);
        } else {
            magnitude = arg.as_unsigned();
            if (bits < 64) {
                magnitude &= (std::uint64_t{1} << bits) - 1;
            }
        }
        unsigned base = 10;
        const char* digits_set = "0123456789abcdef";
        if (spec.conv == 'x') {
            base = 16;
        } else if (spec.conv == 'X') {
            base = 16;
            digits_set = "0123456789ABCDEF";
        } else if (spec.conv == 'o') {
            base = 8;
        }
        char buf[32];
        int len = 0;
        for (std::uint64_t m = magnitude; m != 0; m /= base) {
            buf[len++] = digits_set[m % base];
        }
        // Precision is the minimum number of digits; "%.0d" of 0 prints nothing.
        const int min_digits = spec.precision >= 0 ? spec.precision : 1;
        int zeros = min_digits > len ? min_digits - len : 0;
        char prefix[3] = {0, 0, 0};
        int prefix_len = 0;
        if (negative) {
            prefix[prefix_len++] = '-';
        } else if (is_signed_conv && spec.plus) {
            prefix[prefix_len++] = '+';
        } else if (is_signed_conv && spec.space) {
            prefix[prefix_len++] = ' ';
        }
        if (spec.alt && magnitude != 0 && base == 16) {
            prefix[prefix_len++] = '0';
            prefix[prefix_len++] = spec.conv;
        } else if (spec.alt && base == 8 && zeros == 0) {
            zeros = 1;
        }
        int total = prefix_len + zeros + len;
        if (spec.zero && !spec.left && spec.precision < 0 && spec.width > total) {
            zeros += spec.width - total;
            total = spec.width;
        }
        pad(static_cast<std::size_t>(total), spec.width, spec.left, [&] {
            for (int k = 0; k < prefix_len; ++k) out_.push_back(Ch(prefix[k]));
            out_.append(static_cast<std::size_t>(zeros), Ch('0'));
            for (int k = len - 1; k >= 0; --k) out_.push_back(Ch(buf[k]));
        });
    }

    void write_float(const Spec& spec, double value) {
        char f[32];
        int k = 0;
        f[k++] = '%';
        if (spec.left) f[k++] = '-';
        if (spec.plus) f[k++] = '+';
        if (spec.space) f[k++] = ' ';
        if (spec.alt) f[k++] = '#';
        if (spec.zero) f[k++] = '0';
        f[k++] = '*';
        f[k++] = '.';
        f[k++] = '*';
        f[k++] = spec.conv;
        f[k] = 0;
        char buf[512];
        const int precision = spec.precision < 0 ? 6 : std::min(spec.precision, 100);
        const int width = std::min(spec.width, 400);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        // The directive is rebuilt from parsed parts only: flags, "*.*" and
        // one floating conversion letter.
        const int n = std::snprintf(buf, sizeof buf, f, width, precision, value);
#pragma GCC diagnostic pop
        if (n > 0) {
            const auto len = std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1);
            for (std::size_t j = 0; j < len; ++j) out_.push_back(Ch(buf[j]));
        }
    }

    std::basic_string<Ch>& out_;
    FormatArgs args_;
    std::size_t index_ = 0;
};

}  // namespace

void vformat_to(std::wstring& out, std::wstring_view format, FormatArgs args) {
    Writer<wchar_t>(out, args).run(format);
}

void vformat_to(std::string& out, std::string_view format, FormatArgs args) {
    Writer<char>(out, args).run(format);
}

std::wstring vformat(std::wstring_view format, FormatArgs args) {
    std::wstring out;
    out.reserve(format.size() + 16 * args.size());
    vformat_to(out, format, args);
    return out;
}

std::string vformat(std::string_view format, FormatArgs args) {
    std::string out;
    out.reserve(format.size() + 16 * args.size());
    vformat_to(out, format, args);
    return out;
}

}  // namespace rk::text
