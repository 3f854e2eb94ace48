#include "platform/text/format.h"

#include <algorithm>
#include <cstdio>

#include "platform/text/utf.h"

namespace rk::text {

namespace {

// Saturating double -> integer conversions; the plain casts are undefined
// for NaN and out-of-range values.
std::int64_t saturate_signed(double v) {
    if (!(v == v)) return 0;
    if (v >= 9223372036854775807.0) return INT64_MAX;
    if (v <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<std::int64_t>(v);
}

}  // namespace

std::int64_t FormatArg::as_signed() const {
    switch (kind_) {
        case Kind::kSigned: return int_;
        case Kind::kUnsigned:
        case Kind::kPointer: return static_cast<std::int64_t>(uint_);
        case Kind::kDouble: return saturate_signed(double_);
        default: return 0;
    }
}

std::uint64_t FormatArg::as_unsigned() const {
    switch (kind_) {
        case Kind::kSigned: return static_cast<std::uint64_t>(int_);
        case Kind::kUnsigned:
        case Kind::kPointer: return uint_;
        case Kind::kDouble: return static_cast<std::uint64_t>(saturate_signed(double_));
        default: return 0;
    }
}

std::size_t FormatArg::length_up_to(std::size_t limit) const {
    if (size_ != kUnknownLength) {
        return std::min(size_, limit);
    }
    if (ptr_ == nullptr || !is_string()) {
        return 0;
    }
    std::size_t n = 0;
    switch (kind_) {
        case Kind::kNarrow:
            for (const auto* p = static_cast<const char*>(ptr_); n < limit && p[n] != 0;) ++n;
            break;
        case Kind::kWide:
            for (const auto* p = static_cast<const wchar_t*>(ptr_); n < limit && p[n] != 0;) ++n;
            break;
        default:
            for (const auto* p = static_cast<const char16_t*>(ptr_); n < limit && p[n] != 0;) ++n;
            break;
    }
    return n;
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

bool is_conversion(char c) {
    switch (c) {
        case 'd': case 'i': case 'u': case 'o': case 'x': case 'X': case 'c': case 'C':
        case 's': case 'S': case 'p': case 'e': case 'E': case 'f': case 'F': case 'g':
        case 'G': case 'a': case 'A': case 'Z':
            return true;
        default:
            return false;
    }
}

bool is_scalar_value(std::uint64_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

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
    static constexpr bool kWideOut = std::is_same_v<Ch, wchar_t>;

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
        // the order printf does. A '*' reads an int, as the C runtime does.
        if (i < n && fmt[i] == Ch('*')) {
            ++i;
            if (const FormatArg* a = next()) {
                const std::int64_t w = static_cast<std::int32_t>(a->as_signed());
                if (w < 0) {
                    spec.left = true;
                }
                spec.width = static_cast<int>(std::min<std::int64_t>(w < 0 ? -w : w, kMaxFormatWidth));
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
                    const std::int32_t p = static_cast<std::int32_t>(a->as_signed());
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
        const Ch raw = fmt[i];
        spec.conv = raw > 0 && raw < 0x80 ? static_cast<char>(raw) : '\0';
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

    static int read_number(std::basic_string_view<Ch> fmt, std::size_t& i) {
        int v = 0;
        while (i < fmt.size() && fmt[i] >= Ch('0') && fmt[i] <= Ch('9')) {
            if (v <= kMaxFormatWidth) {  // absurd widths are capped, not overflowed
                v = v * 10 + static_cast<int>(fmt[i] - Ch('0'));
            }
            ++i;
        }
        return std::min(v, kMaxFormatWidth);
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
                } else if (arg.kind() == FormatArg::Kind::kPointer) {
                    if (arg.as_unsigned() == 0) {
                        write_string(spec, FormatArg(static_cast<const char*>(nullptr)));
                    } else {
                        write_pointer(spec, arg);
                    }
                } else if (arg.kind() == FormatArg::Kind::kDouble) {
                    Spec as_float = spec;
                    as_float.conv = 'g';
                    as_float.precision = -1;
                    write_float(as_float, arg.as_double());
                } else {
                    Spec as_int = spec;
                    as_int.conv = arg.kind() == FormatArg::Kind::kUnsigned ? 'u' : 'd';
                    as_int.length = Length::kLongLong;
                    as_int.precision = -1;
                    write_integer(as_int, arg);
                }
                return;
            case 'c': case 'C':
                if (arg.is_string()) {
                    Spec first = spec;
                    first.precision = 1;
                    write_string(first, arg);
                } else {
                    write_char(spec, arg.as_unsigned());
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
                    write_pointer(spec, arg);
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

    // Pads what was written since `start` to the field width. Text is
    // appended first and padded afterwards so converted strings need no
    // temporary copy; the insert only happens for right-aligned fields.
    void finish_field(std::size_t start, int width, bool left) {
        const std::size_t len = out_.size() - start;
        const auto w = static_cast<std::size_t>(width > 0 ? width : 0);
        if (len >= w) {
            return;
        }
        if (left) {
            out_.append(w - len, Ch(' '));
        } else {
            out_.insert(start, w - len, Ch(' '));
        }
    }

    void write_string(const Spec& spec, const FormatArg& arg) {
        const std::size_t start = out_.size();
        const std::size_t limit = spec.precision >= 0 ? static_cast<std::size_t>(spec.precision) : SIZE_MAX;
        const std::size_t count = arg.length_up_to(limit);
        if (arg.data() == nullptr) {
            static constexpr Ch kNull[] = {Ch('('), Ch('n'), Ch('u'), Ch('l'), Ch('l'), Ch(')')};
            out_.append(kNull, std::min<std::size_t>(6, limit));
        } else if (arg.kind() == FormatArg::Kind::kNarrow) {
            const std::string_view src(static_cast<const char*>(arg.data()), count);
            if constexpr (kWideOut) {
                append_utf8_to_wide(out_, src);
            } else {
                out_.append(src);
            }
        } else if (arg.kind() == FormatArg::Kind::kWide) {
            const std::wstring_view src(static_cast<const wchar_t*>(arg.data()), count);
            if constexpr (kWideOut) {
                out_.append(src);
            } else {
                append_wide_to_utf8(out_, src);
            }
        } else {
            const std::u16string_view src(static_cast<const char16_t*>(arg.data()), count);
            if constexpr (kWideOut) {
                append_utf16_to_wide(out_, src);
            } else {
                append_utf16_to_utf8(out_, src);
            }
        }
        finish_field(start, spec.width, spec.left);
    }

    // "%c" is a character of the format's own width, "%C" of the other
    // width, "%hc" narrow and "%lc"/"%wc" wide. A narrow character is one
    // byte (non-ASCII bytes are not text on their own); a wide one is a
    // wchar_t. Anything that is not a Unicode scalar value prints U+FFFD.
    void write_char(const Spec& spec, std::uint64_t value) {
        bool narrow = kWideOut ? spec.conv == 'C' : spec.conv == 'c';
        if (spec.length == Length::kShort || spec.length == Length::kChar) {
            narrow = true;
        } else if (spec.length == Length::kLong || spec.length == Length::kWide) {
            narrow = false;
        }
        std::uint64_t cp;
        if (narrow) {
            cp = value & 0xFF;
            if (cp >= 0x80) cp = kReplacementChar;
        } else {
            cp = value & (sizeof(wchar_t) == 2 ? 0xFFFFu : 0xFFFFFFFFu);
            if (!is_scalar_value(cp)) cp = kReplacementChar;
        }
        const std::size_t start = out_.size();
        const auto wc = static_cast<wchar_t>(cp);
        if constexpr (kWideOut) {
            out_.push_back(wc);
        } else {
            append_wide_to_utf8(out_, std::wstring_view(&wc, 1));
        }
        finish_field(start, spec.width, spec.left);
    }

    // "%p": the pointer-sized value as 16 upper-case hexadecimal digits.
    void write_pointer(const Spec& spec, const FormatArg& arg) {
        Spec hex;
        hex.conv = 'X';
        hex.length = Length::kLongLong;
        hex.precision = 2 * static_cast<int>(sizeof(void*));
        hex.width = spec.width;
        hex.left = spec.left;
        write_integer(hex, arg);
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
        char buf[24];  // 22 octal digits hold 64 bits; written backwards
        int len = 0;
        if (spec.conv == 'x' || spec.conv == 'X') {
            base = 16;
            const char* digits_set = spec.conv == 'x' ? "0123456789abcdef" : "0123456789ABCDEF";
            for (std::uint64_t m = magnitude; m != 0; m >>= 4) buf[len++] = digits_set[m & 0xF];
        } else if (spec.conv == 'o') {
            base = 8;
            for (std::uint64_t m = magnitude; m != 0; m >>= 3) buf[len++] = static_cast<char>('0' + (m & 7));
        } else {
            for (std::uint64_t m = magnitude; m != 0; m /= 10) buf[len++] = static_cast<char>('0' + m % 10);
        }
        // Precision is the minimum number of digits; "%.0d" of 0 prints nothing.
        const int min_digits = spec.precision >= 0 ? std::min(spec.precision, kMaxFormatWidth) : 1;
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
        const std::size_t start = out_.size();
        const std::size_t pad = spec.width > total ? static_cast<std::size_t>(spec.width - total) : 0;
        // One resize, then plain stores: the hot path of every numeric field.
        out_.resize(start + pad + static_cast<std::size_t>(total));
        Ch* p = out_.data() + start;
        if (!spec.left) {
            std::fill_n(p, pad, Ch(' '));
            p += pad;
        }
        for (int k = 0; k < prefix_len; ++k) *p++ = Ch(prefix[k]);
        p = std::fill_n(p, zeros, Ch('0'));
        for (int k = len - 1; k >= 0; --k) *p++ = Ch(buf[k]);
        if (spec.left) {
            std::fill_n(p, pad, Ch(' '));
        }
    }

    void write_float(const Spec& spec, double value) {
        char f[16];
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
        const int precision = spec.precision < 0 ? 6 : std::min(spec.precision, kMaxFormatWidth);
        char small[128];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        // The directive is rebuilt from parsed parts only: flags, "*.*" and
        // one floating conversion letter; width and precision are capped, so
        // the text is at most a few kilobytes.
        const int n = std::snprintf(small, sizeof small, f, spec.width, precision, value);
        if (n < 0) {
            return;
        }
        std::string big;
        const char* text = small;
        if (static_cast<std::size_t>(n) >= sizeof small) {
            big.resize(static_cast<std::size_t>(n) + 1);
            std::snprintf(big.data(), big.size(), f, spec.width, precision, value);
            text = big.data();
        }
#pragma GCC diagnostic pop
        for (int j = 0; j < n; ++j) out_.push_back(Ch(text[j]));
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
