#include "platform/text/format.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/text/utf.h"

namespace rk::text {
namespace {

const void* ptr(std::uintptr_t value) { return reinterpret_cast<const void*>(value); }

struct WideCase {
    const char* name;
    std::wstring_view format;
    std::vector<FormatArg> args;
    std::wstring expected;
};

struct NarrowCase {
    const char* name;
    std::string_view format;
    std::vector<FormatArg> args;
    std::string expected;
};

void check(const std::vector<WideCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(vformat(c.format, c.args), c.expected);
    }
}

void check(const std::vector<NarrowCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(vformat(c.format, c.args), c.expected);
    }
}

enum class Small : std::uint8_t { kHigh = 200 };

TEST(Format, WindowsMeaningsOfIntegerDirectives) {
    check({
        {"%d of -1", L"%d", {-1}, L"-1"},
        {"%u of -1 is 32 bits", L"%u", {-1}, L"4294967295"},
        {"%ld is 32 bits", L"%ld", {std::int64_t{0x100000001}}, L"1"},
        {"%lu is 32 bits", L"%lu", {std::uint64_t{0x100000001}}, L"1"},
        {"%lx of a 64-bit value", L"%lx", {std::uint64_t{0xFFFFFFFFFFFFFFFF}}, L"ffffffff"},
        {"%llu", L"%llu", {std::uint64_t{0x100000001}}, L"4294967297"},
        {"%lld of an unsigned maximum", L"%lld", {std::uint64_t{0xFFFFFFFFFFFFFFFF}}, L"-1"},
        {"%llx of a negative int widens with its sign", L"%llx", {-1}, L"ffffffffffffffff"},
        {"%I64d", L"%I64d", {std::int64_t{-5000000000}}, L"-5000000000"},
        {"%I32u", L"%I32u", {std::uint64_t{0x100000002}}, L"2"},
        {"%Iu is pointer-sized", L"%Iu", {std::uint64_t{0x100000002}}, L"4294967298"},
        {"%zd", L"%zd", {std::int64_t{-5000000000}}, L"-5000000000"},
        {"%zd of SIZE_MAX", L"%zd", {SIZE_MAX}, L"-1"},
        {"%zu", L"%zu", {std::size_t{4294967296}}, L"4294967296"},
        {"%hu cuts to 16 bits", L"%hu", {70000}, L"4464"},
        {"%hd is signed 16 bits", L"%hd", {40000}, L"-25536"},
        {"%hhu cuts to 8 bits", L"%hhu", {300}, L"44"},
        {"%o", L"%o", {8}, L"10"},
        {"%#o", L"%#o", {8}, L"010"},
        {"%#o of zero", L"%#o", {0}, L"0"},
        {"%#x of zero has no prefix", L"%#x", {0}, L"0"},
        {"%#X", L"%#X", {255}, L"0XFF"},
        {"%#010x pads after the prefix", L"%#010x", {255}, L"0x000000ff"},
        {"%#lx of an HRESULT", L"%#lx", {static_cast<std::int32_t>(0x80070005u)}, L"0x80070005"},
        {"%#llx", L"%#llx", {std::uint64_t{0x8000000000004005}}, L"0x8000000000004005"},
        {"%08X", L"%08X", {0xBEEFu}, L"0000BEEF"},
        {"%0lX", L"%0lX", {0xBEEFu}, L"BEEF"},
        {"%0.3lu", L"%0.3lu", {7u}, L"007"},
        {"%0.3lu of a wide number", L"%0.3lu", {12345u}, L"12345"},
        {"%5d", L"%5d|", {42}, L"   42|"},
        {"%-5d", L"%-5d|", {42}, L"42   |"},
        {"%05d of a negative", L"%05d", {-42}, L"-0042"},
        {"%-05d ignores the zero", L"%-05d|", {-42}, L"-42  |"},
        {"%5.3d", L"%5.3d", {7}, L"  007"},
        {"%05.3d ignores the zero", L"%05.3d", {7}, L"  007"},
        {"%.0d of zero prints nothing", L"[%.0d]", {0}, L"[]"},
        {"%+d", L"%+d %+d", {5, -5}, L"+5 -5"},
        {"% d", L"% d", {5}, L" 5"},
        {"%+u has no sign", L"%+u", {5u}, L"5"},
        {"%i", L"%i", {-7}, L"-7"},
        {"%5lu", L"[PID:%5lu]", {42u}, L"[PID:   42]"},
        {"INT32_MIN", L"%d", {INT32_MIN}, L"-2147483648"},
        {"INT64_MIN", L"%lld", {INT64_MIN}, L"-9223372036854775808"},
        {"bool", L"%d %d", {true, false}, L"1 0"},
        {"enum", L"%d", {Small::kHigh}, L"200"},
        {"char as a number", L"%d", {'A'}, L"65"},
        {"%%%lus builds a directive", L"%%%lus", {15u}, L"%15s"},
    });
}

TEST(Format, PointersAreSixteenUpperCaseDigits) {
    int object = 0;
    const auto address = reinterpret_cast<std::uintptr_t>(&object);
    wchar_t digits[17];
    for (int i = 0; i < 16; ++i) {
        digits[i] = L"0123456789ABCDEF"[(address >> (60 - 4 * i)) & 0xF];
    }
    digits[16] = 0;
    check({
        {"%p", L"(0x%p)", {ptr(0x7FF6A1B20000)}, L"(0x00007FF6A1B20000)"},
        {"%p of null", L"%p", {nullptr}, L"0000000000000000"},
        {"%p of a real object", L"%p", {&object}, digits},
        {"%p of an integer", L"%p", {std::uint64_t{0xABC}}, L"0000000000000ABC"},
        {"%20p", L"%20p|", {ptr(1)}, L"    0000000000000001|"},
        {"%-20p", L"%-20p|", {ptr(1)}, L"0000000000000001    |"},
    });
}

TEST(Format, StringDirectivesTakeAnyStringType) {
    const std::string narrow = "n";
    const std::wstring wide = L"w";
    check({
        {"own widths", L"%s|%hs|%ls|%S|%ws", {wide, narrow, wide, narrow, wide}, L"w|n|w|n|w"},
        {"crossed widths", L"%hs %s %S", {wide, narrow, wide}, L"w n w"},
        {"UTF-8 to wide", L"%hs", {"caf\xc3\xa9"}, L"caf\u00e9"},
        {"UTF-16 to wide", L"%s", {u"\u4e2d\U0001F600"}, L"\u4e2d\U0001F600"},
        {"char8_t", L"%hs", {u8"\u00e9"}, L"\u00e9"},
        {"std::u16string", L"%s", {std::u16string(u"x")}, L"x"},
        {"width", L"[%5s][%-5s]", {L"ab", "ab"}, L"[   ab][ab   ]"},
        {"width counts characters after conversion", L"[%4hs]", {"\xc3\xa9"}, L"[   \u00e9]"},
        {"precision", L"[%.2s][%.0s][%.9s]", {L"abcd", L"abcd", L"abcd"}, L"[ab][][abcd]"},
        {"%.*ls", L"'%.*ls'", {3, std::wstring_view(L"abcdef")}, L"'abc'"},
        {"%.*hs", L"'%.*hs'", {2, "abc"}, L"'ab'"},
        {"%*.*ls", L"[%*.*ls]", {5, 2, L"abcdef"}, L"[   ab]"},
        {"arguments are not reinterpreted", L"%s %d", {L"100% %d", 1}, L"100% %d 1"},
        {"%c", L"%c%c", {'o', L'k'}, L"ok"},
        {"%c of a string prints its first unit", L"%c", {L"xyz"}, L"x"},
        {"%Z", L"%Z", {L"counted"}, L"counted"},
    });
    check({
        {"narrow own width", "%s|%S|%hs|%ls", {narrow, wide, narrow, wide}, "n|w|n|w"},
        {"wide to UTF-8", "%ls", {L"\u00e9\U0001F600"}, "\xc3\xa9\xf0\x9f\x98\x80"},
        {"UTF-16 to UTF-8", "%s", {u"\u00e9"}, "\xc3\xa9"},
        {"width counts bytes", "[%3s]", {"\xc3\xa9"}, "[ \xc3\xa9]"},
        {"%c", "%c", {'z'}, "z"},
    });
}

TEST(Format, MismatchedArgumentsPrintSomethingSensible) {
    check({
        {"string to %d", L"%d", {L"text"}, L"text"},
        {"string to %x", L"%08x", {"text"}, L"text"},
        {"string to %p", L"%p", {L"text"}, L"text"},
        {"string to %f", L"%f", {L"text"}, L"text"},
        {"number to %s", L"%s", {12}, L"12"},
        {"unsigned to %s", L"%s", {std::uint64_t{18446744073709551615u}}, L"18446744073709551615"},
        {"width kept for numbers in %s", L"[%4s]", {12}, L"[  12]"},
        {"double to %s", L"%s", {2.5}, L"2.5"},
        {"pointer to %s", L"%s", {ptr(0x10)}, L"0000000000000010"},
        {"double to %d is truncated", L"%d", {3.9}, L"3"},
        {"NaN to %d", L"%d", {std::numeric_limits<double>::quiet_NaN()}, L"0"},
        {"huge double to %lld saturates", L"%lld", {1e300}, L"9223372036854775807"},
        {"-inf to %lld saturates", L"%lld", {-std::numeric_limits<double>::infinity()},
         L"-9223372036854775808"},
        {"int to %f", L"%.1f", {3}, L"3.0"},
        {"extra arguments are ignored", L"%d", {1, 2, L"x"}, L"1"},
    });
}

TEST(Format, FloatingDirectivesFollowTheCRuntime) {
    check({
        {"%f", L"%f", {1.5}, L"1.500000"},
        {"%.2f", L"%.2f", {2.345f}, L"2.35"},
        {"%08.3f", L"%08.3f", {-1.5}, L"-001.500"},
        {"%-8.1f", L"%-8.1f|", {1.25}, L"1.2     |"},
        {"%e", L"%e", {12345.678}, L"1.234568e+04"},
        {"%g", L"%g", {0.0001}, L"0.0001"},
        {"%G", L"%G", {1e-10}, L"1E-10"},
        {"%+.0f", L"%+.0f", {2.0}, L"+2"},
        {"%Lf takes a double", L"%.1Lf", {static_cast<long double>(0.5)}, L"0.5"},
    });
    // Longer than any fixed conversion buffer.
    EXPECT_EQ(format(L"%.0f", 1e300).size(), 301u);
    EXPECT_EQ(format(L"%.0f", 1e300).substr(0, 17), L"10000000000000000");
}

TEST(Format, MissingArgumentsLeaveTheDirectiveAsWritten) {
    check({
        {"no arguments", L"a %s b %d c", {}, L"a %s b %d c"},
        {"fewer arguments", L"%d %d", {1}, L"1 %d"},
        {"width only", L"%*d", {5}, L"%*d"},
        {"no width", L"%*d", {}, L"%*d"},
        {"precision only", L"%.*ls", {2}, L"%.*ls"},
        {"no precision", L"%.*ls", {}, L"%.*ls"},
        {"%n writes nothing and takes nothing", L"%n %d", {5}, L"%n 5"},
        {"unknown directive", L"%k %y %d", {5}, L"%k %y 5"},
        {"%%", L"100%% %d", {1}, L"100% 1"},
        {"flags before %", L"%5%", {1}, L"%5%"},
        {"strftime pattern", L"%Y-%m-%d %TZ", {}, L"%Y-%m-%d %TZ"},
    });
}

TEST(Format, TruncatedDirectivesAtTheEndAreCopied) {
    check({
        {"lone %", L"100%", {1}, L"100%"},
        {"flag", L"a %-", {1}, L"a %-"},
        {"width", L"%05", {1}, L"%05"},
        {"precision", L"%.3", {1}, L"%.3"},
        {"star", L"%.*", {3}, L"%.*"},
        {"length", L"%ll", {1}, L"%ll"},
        {"I64", L"%I64", {1}, L"%I64"},
        {"I6", L"%I6", {1}, L"%I6"},
    });
    check({
        {"narrow lone %", "x %", {1}, "x %"},
        {"narrow length", "%h", {1}, "%h"},
    });
}

TEST(Format, StarWidthAndPrecisionFromArguments) {
    check({
        {"width", L"[%*d]", {4, 7}, L"[   7]"},
        {"negative width aligns left", L"[%*d]", {-4, 7}, L"[7   ]"},
        {"negative precision is none", L"[%.*ls]", {-1, L"abc"}, L"[abc]"},
        {"negative precision on integers", L"[%.*d]", {-1, 5}, L"[5]"},
        {"precision on integers", L"[%.*d]", {3, 5}, L"[005]"},
        {"width read as an int", L"[%*d]", {std::int64_t{0x100000003}, 7}, L"[  7]"},
        {"precision longer than the text", L"[%.*ls]", {INT32_MAX, L"abc"}, L"[abc]"},
        {"string width", L"[%-*s]", {4, L"a"}, L"[a   ]"},
    });
}

TEST(Format, HugeWidthsAreCapped) {
    const auto width = static_cast<std::size_t>(kMaxFormatWidth);
    struct Case {
        const char* name;
        std::wstring_view format;
        std::vector<FormatArg> args;
    };
    const std::vector<Case> cases = {
        {"written width", L"%99999999999999999999d", {1}},
        {"star width", L"%*s", {INT32_MAX, L"x"}},
        {"negative star width", L"%*s", {INT32_MIN, L"x"}},
        {"integer precision", L"%.99999d", {1}},
        {"star integer precision", L"%.*u", {INT32_MAX, 1u}},
        {"float width", L"%99999.3f", {1.5}},
        {"float precision", L"%.*f", {INT32_MAX, 0.0}},
        {"char width", L"%99999c", {'x'}},
        {"pointer width", L"%99999p", {ptr(1)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring out = vformat(c.format, c.args);
        // Floating precision adds "0." before the capped digits.
        EXPECT_GE(out.size(), width);
        EXPECT_LE(out.size(), width + 2);
    }
    EXPECT_EQ(format("%*d", 100000, 1).size(), width);
}

TEST(Format, MalformedTextBecomesReplacementCharacters) {
    std::wstring lone_low = L"x";
    lone_low.push_back(static_cast<wchar_t>(0xDC00));
    std::wstring beyond = L"y";
    beyond.push_back(static_cast<wchar_t>(0x110000));
    const std::u16string lone_high = {u'a', static_cast<char16_t>(0xD800)};
    const std::u16string swapped = {static_cast<char16_t>(0xDC00), static_cast<char16_t>(0xD800)};
    check({
        {"cut sequence", L"%S", {"\xe4\xb8"}, L"\uFFFD"},
        {"precision cuts a sequence", L"%.*hs", {1, "\xc3\xa9x"}, L"\uFFFD"},
        {"unpaired high UTF-16", L"%s", {lone_high}, L"a\uFFFD"},
        {"swapped UTF-16 pair", L"%s", {swapped}, L"\uFFFD\uFFFD"},
        {"%c of a surrogate", L"%c", {0xD800}, L"\uFFFD"},
        {"%c beyond Unicode", L"%c", {0x110000}, L"\uFFFD"},
        {"%c of a negative", L"%c", {-1}, L"\uFFFD"},
        {"%lc", L"%lc", {0xE9}, L"\u00e9"},
        {"%C is narrow in a wide format", L"%C%C", {'A', 0xE9}, L"A\uFFFD"},
        {"%hc", L"%hc", {0x141}, L"A"},
    });
    check({
        {"narrow output keeps the bytes", "%hs", {"a\xffz"}, "a\xffz"},
        {"unpaired low wide", "%ls", {lone_low}, "x\xef\xbf\xbd"},
        {"beyond Unicode", "%ls", {beyond}, "y\xef\xbf\xbd"},
        {"unpaired high UTF-16", "%s", {lone_high}, "a\xef\xbf\xbd"},
        {"%c of a non-ASCII byte", "%c", {0xE9}, "\xef\xbf\xbd"},
        {"%C is wide in a narrow format", "%C", {0x1F600}, "\xf0\x9f\x98\x80"},
        {"%lc", "%lc", {0xE9}, "\xc3\xa9"},
    });
}

TEST(Format, NullAndEmptyStrings) {
    check({
        {"null wide", L"%ls", {static_cast<const wchar_t*>(nullptr)}, L"(null)"},
        {"null narrow", L"%hs", {static_cast<const char*>(nullptr)}, L"(null)"},
        {"null UTF-16", L"%s", {static_cast<const char16_t*>(nullptr)}, L"(null)"},
        {"nullptr", L"%s", {nullptr}, L"(null)"},
        {"null with precision", L"%.3s", {static_cast<const wchar_t*>(nullptr)}, L"(nu"},
        {"null with width", L"[%8s]", {static_cast<const char*>(nullptr)}, L"[  (null)]"},
        {"null with %.*ls", L"%.*ls", {0, static_cast<const wchar_t*>(nullptr)}, L""},
        {"empty view is not null", L"'%ls'", {std::wstring_view{}}, L"''"},
        {"empty narrow view", L"'%hs'", {std::string_view{}}, L"''"},
        {"empty UTF-16 view", L"'%s'", {std::u16string_view{}}, L"''"},
    });
    check({
        {"narrow null", "%s", {static_cast<const char*>(nullptr)}, "(null)"},
        {"narrow null wide", "%ls", {static_cast<const wchar_t*>(nullptr)}, "(null)"},
    });
}

// "%.*ls" is given a length and a pointer into a buffer that need not end in
// a terminator; nothing past the precision may be read (ASan checks this).
TEST(Format, PrecisionBoundsReadsOfUnterminatedBuffers) {
    const std::vector<wchar_t> wide = {L'a', L'b', L'c'};
    const std::vector<char> narrow = {'x', 'y'};
    const std::vector<char16_t> utf16 = {u'u', u'v'};
    EXPECT_EQ(format(L"%.*ls", 2, wide.data()), L"ab");
    EXPECT_EQ(format(L"%.*ls", 3, wide.data()), L"abc");
    EXPECT_EQ(format(L"%.*hs", 2, narrow.data()), L"xy");
    EXPECT_EQ(format(L"%.2s", utf16.data()), L"uv");
    EXPECT_EQ(format("%.*ls", 1, wide.data()), "a");
}

TEST(Format, AppendsAndBuildsArgumentLists) {
    std::wstring out = L"head ";
    const auto args = make_format_args(7, L"x");
    vformat_to(out, L"%d %s", args);
    EXPECT_EQ(out, L"head 7 x");
    std::string narrow = "n:";
    vformat_to(narrow, "%05.1f", FormatArgs(make_format_args(2.25)));
    EXPECT_EQ(narrow, "n:002.2");
    EXPECT_EQ(format(L"plain text"), L"plain text");
    EXPECT_EQ(format(L""), L"");
}

}  // namespace
}  // namespace rk::text
