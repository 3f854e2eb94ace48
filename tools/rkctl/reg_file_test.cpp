#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/text/strings.h"
#include "platform/text/utf.h"
#include "tools/rkctl/reg_file_parser.h"
#include "tools/rkctl/reg_file_writer.h"

namespace rk::regfile {
namespace {

std::vector<std::uint8_t> utf8_bytes(std::wstring_view text) {
    const std::string s = text::wide_to_utf8(text);
    return {s.begin(), s.end()};
}

std::vector<std::uint8_t> utf16_bytes(std::wstring_view text) {
    std::vector<std::uint8_t> bytes{0xFF, 0xFE};
    const auto body = text::wide_to_utf16le(text);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

RegValue val(std::wstring name, std::uint32_t type, std::vector<std::uint8_t> data) {
    RegValue v;
    v.name = std::move(name);
    v.type = type;
    v.data = std::move(data);
    return v;
}

std::vector<std::uint8_t> seq(std::size_t n) {
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return out;
}

TEST(RegFileParser, AcceptsTheLooserFormsRegeditAccepts) {
    struct Case {
        const char* what;
        std::wstring body;  // after the header line
        RegValue expected;
    };
    const std::vector<Case> cases = {
        {"LF line ends", L"[HKEY_USERS\\k]\n\"a\"=dword:1\n", val(L"a", kRegDword, dword_data(1))},
        {"lower-case root, spaces around =", L"[hkey_users\\k]\r\n\"a\" = \"x\"\r\n",
         val(L"a", kRegSz, string_data(L"x"))},
        {"comments and indentation", L"; c\r\n  [HKEY_USERS\\k]\r\n ;c\r\n  \"a\"=hex:01 ; tail\r\n",
         val(L"a", kRegBinary, {1})},
        {"upper-case hex and one-digit bytes", L"[HKEY_USERS\\k]\r\n\"a\"=HEX(B):A,0B\r\n",
         val(L"a", kRegQword, {0x0a, 0x0b})},
        {"continued list with blanks", L"[HKEY_USERS\\k]\r\n\"a\"=hex:01,02,\\\r\n     03 , 04\r\n",
         val(L"a", kRegBinary, {1, 2, 3, 4})},
        {"continuation right after hex:", L"[HKEY_USERS\\k]\r\n\"a\"=hex:\\\r\n  05\r\n",
         val(L"a", kRegBinary, {5})},
        {"empty quoted name is the default", L"[HKEY_USERS\\k]\r\n\"\"=\"\"\r\n",
         val(L"", kRegSz, string_data(L""))},
        {"value named @", L"[HKEY_USERS\\k]\r\n\"@\"=-\r\n", [] {
             RegValue v;
             v.name = L"@";
             v.remove = true;
             return v;
         }()},
        {"large type number", L"[HKEY_USERS\\k]\r\n\"a\"=hex(ffffffff):00\r\n", val(L"a", 0xffffffffu, {0})},
        {"quote and semicolon inside a string", L"[HKEY_USERS\\k]\r\n\"a;b\"=\"x;\\\"y\"\r\n",
         val(L"a;b", kRegSz, string_data(L"x;\"y"))},
        {"non-ASCII text", L"[HKEY_USERS\\k\\\u00e9t\u00e9]\r\n\"\u00fc\"=\"\U0001F600\"\r\n",
         val(L"\u00fc", kRegSz, string_data(L"\U0001F600"))},
    };
    for (const auto& c : cases) {
        const std::wstring file = std::wstring(L"Windows Registry Editor Version 5.00") + L"\r\n" + c.body;
        const auto r = parse_reg_file(utf8_bytes(file));
        ASSERT_TRUE(r.ok()) << c.what << ": " << r.error.line << ": " << text::wide_to_utf8(r.error.message);
        ASSERT_EQ(r.file->keys.size(), 1u) << c.what;
        ASSERT_EQ(r.file->keys[0].values.size(), 1u) << c.what;
        EXPECT_EQ(r.file->keys[0].values[0], c.expected) << c.what;
    }
}

TEST(RegFileParser, MalformedFilesNameTheirLine) {
    struct Case {
        std::wstring text;
        int line;
        std::string fragment;  // part of the message
    };
    const std::wstring h = std::wstring(L"Windows Registry Editor Version 5.00") + L"\r\n";
    const std::wstring k = L"[HKEY_USERS\\k]\r\n";
    const std::vector<Case> cases = {
        {L"", 1, "empty file"},
        {L"\r\n\r\nREGEDIT4\r\n", 3, "REGEDIT4"},
        {L"Windows Registry Editor Version 4.00\r\n", 1, "first line"},
        {h + L"\"a\"=\"x\"\r\n", 2, "before the first key"},
        {h + L"[HKEY_USERS\\k\r\n", 2, "closing ']'"},
        {h + L"[HKEY_NOWHERE\\k]\r\n", 2, "unknown root key"},
        {h + L"[HKEY_USERS\\a\\\\b]\r\n", 2, "empty key name component"},
        {h + L"[HKEY_USERS\\" + std::wstring(256, L'k') + L"]\r\n", 2, "255"},
        {h + L"[-HKEY_USERS]\r\n", 2, "root key cannot be deleted"},
        {h + L"[-HKEY_USERS\\k]\r\n\"a\"=\"x\"\r\n", 3, "deletes its key"},
        {h + k + L"\r\nfoo\r\n", 4, "not a key"},
        {h + k + L"\"a\"\"x\"\r\n", 3, "expected '='"},
        {h + k + L"\"a=\"x\"\r\n", 3, "expected '='"},
        {h + k + L"\"a\"=\"x\r\n", 3, "closing"},
        {h + k + L"\"a\"=\"x\\n\"\r\n", 3, "unknown escape"},
        {h + k + L"\"a\"=\r\n", 3, "missing value data"},
        {h + k + L"\"a\"=word:1\r\n", 3, "unknown value data"},
        {h + k + L"\"a\"=dword:\r\n", 3, "1 to 8 hex digits"},
        {h + k + L"\"a\"=dword:123456789\r\n", 3, "at most 8"},
        {h + k + L"\"a\"=dword:12g\r\n", 3, "unexpected text"},
        {h + k + L"\"a\"=hex(b:00\r\n", 3, "bad type"},
        {h + k + L"\"a\"=hex(100000000):00\r\n", 3, "out of range"},
        {h + k + L"\"a\"=hex(2)00\r\n", 3, "expected ':'"},
        {h + k + L"\"a\"=hex:0g\r\n", 3, "bad byte"},
        {h + k + L"\"a\"=hex:123\r\n", 3, "bad byte"},
        {h + k + L"\"a\"=hex:01,,02\r\n", 3, "between commas"},
        {h + k + L"\"a\"=hex:01,02,\r\n", 3, "after ','"},
        {h + k + L"\"a\"=hex:01,\\\r\n  02,\\\r\n  zz\r\n", 5, "bad byte"},
        {h + k + L"\"a\"=hex:01,\\\r\n  02\\\r\n  03\r\n", 4, "missing ','"},
        {h + k + L"\"a\"=hex:01,\\\r\n", 3, "no data follows"},
        {h + k + L"\"a\"=hex:01,\\\r\n\r\n  02\r\n", 3, "no data follows"},
        {h + k + L"\"" + std::wstring(16384, L'n') + L"\"=-\r\n", 3, "16383"},
        {h + k + L"\"a\"=-x\r\n", 3, "unexpected text"},
        {h + k + L"\"a\"=\"" + std::wstring(4u << 20, L'x') + L"\"\r\n", 3, "line longer than 4 MiB"},
    };
    for (const auto& c : cases) {
        for (const auto& bytes : {utf8_bytes(c.text), utf16_bytes(c.text)}) {
            const auto r = parse_reg_file(bytes);
            ASSERT_FALSE(r.ok()) << text::wide_to_utf8(c.text.substr(0, 120));
            EXPECT_EQ(r.error.line, c.line) << text::wide_to_utf8(c.text.substr(0, 120));
            EXPECT_NE(text::wide_to_utf8(r.error.message).find(c.fragment), std::string::npos)
                << text::wide_to_utf8(r.error.message);
        }
    }
}

TEST(RegFileParser, EncodingFaultsNameTheirLine) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        int line;
    };
    const auto h8 = utf8_bytes(std::wstring(L"Windows Registry Editor Version 5.00") + L"\r\n[HKEY_USERS\\k]\r\n");
    auto bad_utf8 = h8;
    bad_utf8.insert(bad_utf8.end(), {'"', 'a', '"', '=', '"', 0xC3, 0x28, '"'});
    auto nul_utf8 = h8;
    nul_utf8.insert(nul_utf8.end(), {'\r', '\n', '"', 'a', 0, '"', '=', '-'});
    auto odd = utf16_bytes(std::wstring(L"Windows Registry Editor Version 5.00") + L"\r\n\r\n");
    odd.push_back('x');
    auto lone_surrogate = utf16_bytes(std::wstring(L"Windows Registry Editor Version 5.00") + L"\r\n");
    lone_surrogate.insert(lone_surrogate.end(), {0x00, 0xD8, '\n', 0});
    const std::vector<Case> cases = {
        {"invalid UTF-8", bad_utf8, 3},
        {"NUL in a line", nul_utf8, 4},
        {"odd UTF-16 byte count", odd, 3},
        {"unpaired surrogate", lone_surrogate, 2},
        {"big-endian BOM", {0xFE, 0xFF, 0, 'W'}, 1},
    };
    for (const auto& c : cases) {
        const auto r = parse_reg_file(c.bytes);
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.error.line, c.line) << c.what;
    }
}

RegFile every_kind_of_value() {
    RegFile f;
    RegKey k;
    k.root = std::wstring(L"HKEY_LOCAL_MACHINE");
    k.path = L"SOFTWARE\\Round \"Trip\"\\\u00e9";
    k.values = {
        val(L"", kRegSz, string_data(L"default")),
        val(L"quote\"back\\slash", kRegSz, string_data(L"a\\b\"c")),
        val(L"empty string", kRegSz, string_data(L"")),
        val(L"sz without terminator", kRegSz, {0x61, 0x00}),
        val(L"sz with newline", kRegSz, string_data(L"line1\r\nline2")),
        val(L"sz odd bytes", kRegSz, {0x61, 0x00, 0x00}),
        val(L"sz embedded nul", kRegSz, {0x61, 0, 0, 0, 0x62, 0, 0, 0}),
        val(L"sz no data", kRegSz, {}),
        val(L"expand", kRegExpandSz, string_data(L"%ProgramData%\\x")),
        val(L"binary", kRegBinary, {0x00, 0xff}),
        val(L"binary empty", kRegBinary, {}),
        val(L"binary long", kRegBinary, seq(300)),
        val(L"dword", kRegDword, dword_data(0xdeadbeef)),
        val(L"dword short", kRegDword, {1, 2, 3}),
        val(L"qword", kRegQword, qword_data(0x0123456789abcdefull)),
        val(L"multi", kRegMultiSz, multi_string_data({L"one", L"two", L"\U0001F600"})),
        val(L"multi empty", kRegMultiSz, multi_string_data({})),
        val(L"sz unicode \u00e9", kRegSz, string_data(L"\u65e5\u672c \U0001F600")),
        val(L"big endian", 5, {0, 0, 0, 1}),
        val(L"none", kRegNone, {1}),
        val(L"odd type", 0x12345, seq(5)),
        val(std::wstring(200, L'n'), kRegBinary, seq(40)),
    };
    f.keys.push_back(k);
    RegKey gone;
    gone.root = std::wstring(L"HKEY_CURRENT_USER");
    gone.path = L"Software\\Gone";
    gone.remove = true;
    f.keys.push_back(gone);
    RegKey empty;
    empty.root = std::wstring(L"HKEY_CURRENT_USER");
    empty.path = L"Software\\Empty";
    f.keys.push_back(empty);
    RegKey root_only;
    root_only.root = std::wstring(L"HKEY_USERS");
    RegValue removed;
    removed.remove = true;
    root_only.values.push_back(removed);  // "@=-"
    removed.name = L"old";
    root_only.values.push_back(removed);
    f.keys.push_back(root_only);
    return f;
}

// The writer's output (its readable forms are checked literally below) reads
// back byte for byte, in both encodings, also when the file arrives in
// pieces that split characters, UTF-16 units and line ends; a read error
// names the line being read.
TEST(RegFileWriter, EveryValueRoundTripsByteForByte) {
    const RegFile f = every_kind_of_value();
    for (const auto encoding : {Encoding::kUtf16Le, Encoding::kUtf8}) {
        const auto bytes = write_reg_file(f, encoding);
        const auto r = parse_reg_file(bytes);
        ASSERT_TRUE(r.ok()) << r.error.line << ": " << text::wide_to_utf8(r.error.message);
        EXPECT_EQ(*r.file, f);
        EXPECT_EQ(r.file->keys[0].line, 3);  // the lines the importer's messages name
        EXPECT_EQ(r.file->keys[0].values[2].line, 6);
        for (const std::size_t piece : {1u, 3u}) {
            std::size_t at = 0;
            const auto pieces = parse_reg_file([&](std::uint8_t* data, std::size_t size) -> std::ptrdiff_t {
                const std::size_t n = std::min({size, piece, bytes.size() - at});
                std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, data);
                at += n;
                return static_cast<std::ptrdiff_t>(n);
            });
            ASSERT_TRUE(pieces.ok()) << piece << ": " << pieces.error.line << ": "
                                     << text::wide_to_utf8(pieces.error.message);
            EXPECT_EQ(*pieces.file, f);
        }
        // The file cannot be read past the first line's end.
        const auto first_end = std::find(bytes.begin(), bytes.end(), '\n') - bytes.begin();
        const std::size_t readable = static_cast<std::size_t>(first_end) + (encoding == Encoding::kUtf8 ? 1 : 2);
        std::size_t at = 0;
        const auto cut = parse_reg_file([&](std::uint8_t* data, std::size_t) -> std::ptrdiff_t {
            if (at == readable) return -1;
            data[0] = bytes[at++];
            return 1;
        });
        ASSERT_FALSE(cut.ok());
        EXPECT_EQ(cut.error.message, L"cannot read the file");
        EXPECT_EQ(cut.error.line, 2);
    }
}

TEST(RegFileWriter, UsesTheReadableFormsOnlyWhenExactAndWrapsAtRegeditsColumns) {
    const std::wstring text = write_reg_text(every_kind_of_value());
    for (const wchar_t* expected : {
             L"@=\"default\"\r\n",
             L"\"quote\\\"back\\\\slash\"=\"a\\\\b\\\"c\"\r\n",
             L"\"empty string\"=\"\"\r\n",
             L"\"sz without terminator\"=hex(1):61,00\r\n",
             L"\"sz no data\"=hex(1):\r\n",
             L"\"dword\"=dword:deadbeef\r\n",
             L"\"dword short\"=hex(4):01,02,03\r\n",
             L"\"qword\"=hex(b):ef,cd,ab,89,67,45,23,01\r\n",
             L"\"binary empty\"=hex:\r\n",
             L"\"none\"=hex(0):01\r\n",
             L"\"odd type\"=hex(12345):01,08,0f,16,1d\r\n",
             L"[-HKEY_CURRENT_USER\\Software\\Gone]\r\n",
             L"[HKEY_USERS]\r\n@=-\r\n\"old\"=-\r\n",
         }) {
        EXPECT_NE(text.find(expected), std::wstring::npos) << text::wide_to_utf8(expected);
    }
    EXPECT_TRUE(text.starts_with(L"Windows Registry Editor Version 5.00\r\n\r\n["));

    // Hex lists wrap at regedit's columns.
    RegFile f;
    RegKey k;
    k.root = std::wstring(L"HKEY_CURRENT_USER");
    k.path = L"k";
    k.values = {val(L"Settings", kRegBinary, seq(48))};
    f.keys.push_back(k);
    // 21 bytes after the 15-character prefix, then 25 per continuation line.
    const auto lines = text::split(write_reg_text(f), L'\n');
    ASSERT_GE(lines.size(), 6u);
    EXPECT_TRUE(lines[3].starts_with(L"\"Settings\"=hex:01,08,"));
    EXPECT_EQ(lines[3].size(), 15 + 21 * 3 + 2u);  // + "\" + "\r"
    EXPECT_TRUE(lines[4].starts_with(L"  "));
    EXPECT_EQ(lines[4].size(), 2 + 25 * 3 + 2u);
    EXPECT_EQ(lines[5], L"  " + text::to_hex_wide(std::vector<std::uint8_t>{seq(48)[46]}) + L"," +
                            text::to_hex_wide(std::vector<std::uint8_t>{seq(48)[47]}) + L"\r");
    for (const auto& line : text::split(write_reg_text(every_kind_of_value()), L'\n')) {
        if (!line.starts_with(L"\"nnn")) {  // a name longer than a line cannot wrap
            EXPECT_LE(line.size(), 81u) << text::wide_to_utf8(line);  // 80 + "\r"
        }
    }
}

}  // namespace
}  // namespace rk::regfile
