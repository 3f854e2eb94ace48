// Type-safe printf-style formatting for the system's message texts.
//
// Format texts are used exactly as written, with the Windows wide-printf
// meanings of their directives: in a wide format "%s" expects a wide string,
// "%hs" a narrow one, "%ls" a wide one and "%S" the other width; "%ld" is 32
// bits wide as on Windows, "%lld"/"%I64d" 64, "%zd" pointer-sized. Because the
// arguments carry their own types, any string type is accepted by any string
// directive (narrow text is UTF-8) and integers are cut to the width that the
// directive names, as the C runtime would do.
//
// "%p" prints 16 upper-case hexadecimal digits (the 64-bit Windows form).
//
// The formatter never reads past its arguments and never fails:
//  - a directive without an argument is copied to the output as written;
//  - a string given to a numeric directive is printed as a string, a number
//    given to a string directive is printed in decimal, a null pointer as
//    "(null)";
//  - "%n" and unknown directives are copied as written;
//  - a precision bounds how much of a C string is read;
//  - malformed text (invalid UTF-8, unpaired surrogates) converted between
//    widths becomes U+FFFD;
//  - widths and numeric precisions are capped at kMaxFormatWidth.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace rk::text {

// Field widths and numeric precisions above this are cut to it: the system's
// texts use two-digit widths at most, and a width taken from an argument
// ("%*s") must not turn into a gigabyte allocation.
inline constexpr int kMaxFormatWidth = 4096;

class FormatArg {
public:
    enum class Kind : std::uint8_t { kSigned, kUnsigned, kDouble, kPointer, kNarrow, kWide, kUtf16 };

    template <typename T>
        requires(std::is_integral_v<T> || std::is_enum_v<T>)
    FormatArg(T value) {  // NOLINT(google-explicit-constructor)
        using U = std::conditional_t<std::is_enum_v<T>, std::underlying_type<T>, std::type_identity<T>>;
        using V = typename U::type;
        if constexpr (std::is_signed_v<V>) {
            kind_ = Kind::kSigned;
            int_ = static_cast<std::int64_t>(static_cast<V>(value));
        } else {
            kind_ = Kind::kUnsigned;
            uint_ = static_cast<std::uint64_t>(static_cast<V>(value));
        }
    }
    FormatArg(double value) : kind_(Kind::kDouble), double_(value) {}  // NOLINT
    FormatArg(float value) : kind_(Kind::kDouble), double_(value) {}   // NOLINT
    FormatArg(long double value) : kind_(Kind::kDouble), double_(static_cast<double>(value)) {}  // NOLINT
    FormatArg(const char* s) : kind_(Kind::kNarrow), ptr_(s), size_(kUnknownLength) {}  // NOLINT
    FormatArg(char* s) : FormatArg(static_cast<const char*>(s)) {}                          // NOLINT
    FormatArg(std::string_view s) : kind_(Kind::kNarrow), ptr_(s.empty() ? "" : s.data()), size_(s.size()) {}  // NOLINT
    FormatArg(const std::string& s) : FormatArg(std::string_view(s)) {}                     // NOLINT
    FormatArg(const wchar_t* s) : kind_(Kind::kWide), ptr_(s), size_(kUnknownLength) {}  // NOLINT
    FormatArg(wchar_t* s) : FormatArg(static_cast<const wchar_t*>(s)) {}                      // NOLINT
    FormatArg(std::wstring_view s) : kind_(Kind::kWide), ptr_(s.empty() ? L"" : s.data()), size_(s.size()) {}  // NOLINT
    FormatArg(const std::wstring& s) : FormatArg(std::wstring_view(s)) {}                       // NOLINT
    FormatArg(const char16_t* s) : kind_(Kind::kUtf16), ptr_(s), size_(kUnknownLength) {}  // NOLINT
    FormatArg(std::u16string_view s) : kind_(Kind::kUtf16), ptr_(s.empty() ? u"" : s.data()), size_(s.size()) {}  // NOLINT
    FormatArg(const std::u16string& s) : FormatArg(std::u16string_view(s)) {}                      // NOLINT
    FormatArg(const char8_t* s) : kind_(Kind::kNarrow), ptr_(s), size_(kUnknownLength) {}  // NOLINT
    FormatArg(std::u8string_view s) : kind_(Kind::kNarrow), ptr_(s.empty() ? u8"" : s.data()), size_(s.size()) {}  // NOLINT
    FormatArg(const std::u8string& s) : FormatArg(std::u8string_view(s)) {}                       // NOLINT
    FormatArg(std::nullptr_t) : kind_(Kind::kPointer), uint_(0) {}                                 // NOLINT
    template <typename T>
        requires(!std::is_same_v<std::remove_cv_t<T>, char> && !std::is_same_v<std::remove_cv_t<T>, wchar_t> &&
                 !std::is_same_v<std::remove_cv_t<T>, char16_t> && !std::is_same_v<std::remove_cv_t<T>, char8_t>)
    FormatArg(T* p) : kind_(Kind::kPointer), uint_(reinterpret_cast<std::uintptr_t>(p)) {}  // NOLINT

    Kind kind() const { return kind_; }
    std::int64_t as_signed() const;
    std::uint64_t as_unsigned() const;
    double as_double() const;
    // String kinds: the text and its length in code units; a null C string
    // has data() == nullptr and length 0 (an empty view is not null).
    const void* data() const { return ptr_; }
    std::size_t size() const { return length_up_to(SIZE_MAX); }
    // The length, reading at most `limit` units of a C string: "%.*ls" may
    // be given a pointer into a buffer that has no terminator.
    std::size_t length_up_to(std::size_t limit) const;
    bool is_string() const { return kind_ == Kind::kNarrow || kind_ == Kind::kWide || kind_ == Kind::kUtf16; }

private:
    // C strings are measured when formatted, bounded by the precision.
    static constexpr std::size_t kUnknownLength = SIZE_MAX;

    Kind kind_;
    union {
        std::int64_t int_;
        std::uint64_t uint_;
        double double_;
        const void* ptr_;
    };
    std::size_t size_ = 0;
};

using FormatArgs = std::span<const FormatArg>;

std::wstring vformat(std::wstring_view format, FormatArgs args);
std::string vformat(std::string_view format, FormatArgs args);

// Appends to `out` instead of returning a new string.
void vformat_to(std::wstring& out, std::wstring_view format, FormatArgs args);
void vformat_to(std::string& out, std::string_view format, FormatArgs args);

template <typename... A>
std::wstring format(std::wstring_view fmt, const A&... args) {
    const std::array<FormatArg, sizeof...(A)> list{FormatArg(args)...};
    return vformat(fmt, FormatArgs(list.data(), list.size()));
}

template <typename... A>
std::string format(std::string_view fmt, const A&... args) {
    const std::array<FormatArg, sizeof...(A)> list{FormatArg(args)...};
    return vformat(fmt, FormatArgs(list.data(), list.size()));
}

// Builds an argument list that outlives the call, for APIs that take
// FormatArgs (the counterpart of a va_list).
template <typename... A>
std::array<FormatArg, sizeof...(A)> make_format_args(const A&... args) {
    return {FormatArg(args)...};
}

}  // namespace rk::text
