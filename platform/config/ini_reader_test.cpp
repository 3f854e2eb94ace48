#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/config/base_ini_reader.h"
#include "platform/config/obfuscated_ini_reader.h"
#include "platform/system/ini/profile.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace DiraDoro {
namespace {

// Records what the base reader hands to Store.
class RecordingReader : public CBaseIniReader {
public:
    std::vector<std::tuple<std::wstring, std::wstring, std::wstring, bool>> stored;
    void Store(const std::wstring& section, const std::wstring& key, const std::wstring& value,
               bool fromFile) override {
        stored.emplace_back(section, key, value, fromFile);
    }
};

class IniReaderTest : public ::testing::Test {
protected:
    rk::sys::test::TempRoot root_;
    std::filesystem::path file_ = root_.path() / "lbstate.ini";
    std::wstring name_ = rk::text::utf8_to_wide(file_.string());

    void write_bytes(const std::string& bytes) { std::ofstream(file_, std::ios::binary) << bytes; }
    std::string read_bytes() const { return rk::sys::test::read_file(file_); }
};

TEST_F(IniReaderTest, ParseLineFeedsStore) {
    RecordingReader reader;
    const std::vector<std::string> lines = {
        "top = before any section\n", "; comment = no\n", "  [ Main ]  \r\n", "Key = Value \r\n",
        "novalue\n",                  "a=b=c\n",          "[broken\n",          "\xC3\xA9=\xE2\x82\xAC\n",
        "[Next]\n",                   "=empty key\n",
    };
    for (const auto& line : lines) {
        reader.ParseLine(line);
    }
    using T = std::tuple<std::wstring, std::wstring, std::wstring, bool>;
    // Comments, lines without '=' and "[broken" (no closing bracket) give nothing.
    const std::vector<T> expected = {
        T{L"", L"top", L"before any section", true},
        T{L"Main", L"Key", L"Value", true},
        T{L"Main", L"a", L"b=c", true},
        T{L"Main", L"\u00e9", L"\u20ac", true},
        T{L"Next", L"", L"empty key", true},
    };
    EXPECT_EQ(expected, reader.stored);
}

TEST_F(IniReaderTest, BaseReaderLoadsButKeepsNothing) {
    CBaseIniReader reader;
    EXPECT_FALSE(reader.Load(name_));
    EXPECT_EQ(name_, reader.path());  // missing file: path kept
    EXPECT_TRUE(reader.SetInt(L"S", L"n", -5));
    EXPECT_EQ("[S]\r\nn=-5\r\n", read_bytes());
    EXPECT_TRUE(reader.Load(name_));
    int n = 0;
    std::wstring s;
    std::map<std::wstring, std::wstring> section;
    EXPECT_FALSE(reader.GetInt(L"S", L"n", n));
    EXPECT_FALSE(reader.GetString(L"S", L"n", s));
    EXPECT_FALSE(reader.GetSection(L"S", section));

    const std::wstring under_file = name_ + L"/x.ini";  // ENOTDIR: not a missing file
    EXPECT_FALSE(reader.Load(under_file));
    EXPECT_EQ(L"", reader.path());
    EXPECT_FALSE(reader.SetString(L"S", L"k", L"v"));
}

TEST_F(IniReaderTest, LongLinesAreReadInPiecesAndUtf16IsDecoded) {
    RecordingReader reader;
    write_bytes("[S]\nk=" + std::string(1030, 'x') + "\nafter=1\n");
    ASSERT_TRUE(reader.Load(name_));
    ASSERT_EQ(2u, reader.stored.size());
    EXPECT_EQ(1024u - 2, std::get<2>(reader.stored[0]).size());  // "k=" + 1022 characters
    EXPECT_EQ(L"after", std::get<1>(reader.stored[1]));

    RecordingReader wide;
    const auto bytes = rk::text::wide_to_utf16le(L"[S]\r\nk=\u00e9\r\n");
    write_bytes("\xFF\xFE" + std::string(bytes.begin(), bytes.end()));
    ASSERT_TRUE(wide.Load(name_));
    ASSERT_EQ(1u, wide.stored.size());
    EXPECT_EQ(L"\u00e9", std::get<2>(wide.stored[0]));
}

// A failed write returns the last error (true for any error number) and
// stores nothing.
TEST_F(IniReaderTest, ObfuscatedWriteFailureReturnsTheLastError) {
    CObfuscatedIniReader reader(1);
    reader.Load(name_);  // missing file: path kept
    std::filesystem::create_directory(file_);  // the write cannot replace a folder
    EXPECT_TRUE(reader.SetString(L"S", L"k", L"v"));
    EXPECT_EQ(5u, rk::sys::ini::profile_last_error());
    std::wstring value;
    EXPECT_FALSE(reader.GetString(L"S", L"k", value));
    EXPECT_TRUE(reader.SetInt(L"S", L"n", 1));
    EXPECT_EQ(5u, rk::sys::ini::profile_last_error());
}

TEST_F(IniReaderTest, ObfuscatedReaderRoundTripsThroughTheFile) {
    {
        CObfuscatedIniReader writer(1);
        EXPECT_FALSE(writer.Load(name_));
        ASSERT_TRUE(writer.SetString(L"Tracking", L"UserId", L"user-\u00e9-42"));
        ASSERT_TRUE(writer.SetInt(L"Tracking", L"Count", -17));
        ASSERT_TRUE(writer.SetString(L"Other", L"Empty", L""));
        std::wstring now;
        ASSERT_TRUE(writer.GetString(L"tracking", L"userid", now));  // visible at once
        EXPECT_EQ(L"user-\u00e9-42", now);
    }
    const std::string file = read_bytes();
    EXPECT_EQ(std::string::npos, file.find("user-"));
    EXPECT_NE(std::string::npos, file.find("[Tracking]"));

    CObfuscatedIniReader reader(1);
    ASSERT_TRUE(reader.Load(name_));
    std::wstring id;
    int count = 0;
    ASSERT_TRUE(reader.GetString(L"Tracking", L"UserId", id));
    ASSERT_TRUE(reader.GetInt(L"Tracking", L"Count", count));
    EXPECT_EQ(L"user-\u00e9-42", id);
    EXPECT_EQ(-17, count);
    std::wstring empty = L"x";
    ASSERT_TRUE(reader.GetStringByPath(L"Other\\Empty", empty));
    EXPECT_EQ(L"", empty);
    std::map<std::wstring, std::wstring> section;
    ASSERT_TRUE(reader.GetSection(L"TRACKING", section));
    EXPECT_EQ(2u, section.size());
    EXPECT_FALSE(reader.GetSection(L"None", section));
    int not_number = 0;
    EXPECT_FALSE(reader.GetInt(L"Other", L"Empty", not_number));
}

TEST_F(IniReaderTest, ObfuscatedReaderRefusesPlainValuesWhenStrict) {
    const std::wstring scrambled = CObfuscatedIniReader::Scramble(L"ok");
    std::wstring tampered = scrambled;
    tampered[10] = tampered[10] == L'0' ? L'1' : L'0';
    write_bytes("[S]\nplain=hello\nscrambled=" + rk::text::wide_to_utf8(scrambled) +
                "\ntampered=" + rk::text::wide_to_utf8(tampered) + "\nhex=00FF\n");
    struct Case {
        int flag;
        const wchar_t* key;
        bool found;
        std::wstring value;
    };
    const Case cases[] = {
        {1, L"plain", false, L""},     {1, L"scrambled", true, L"ok"},  {1, L"tampered", false, L""},
        {1, L"hex", false, L""},       {0, L"plain", true, L"hello"},   {0, L"scrambled", true, L"ok"},
    };
    for (const auto& c : cases) {
        CObfuscatedIniReader reader(c.flag);
        ASSERT_TRUE(reader.Load(name_));
        std::wstring value;
        EXPECT_EQ(c.found, reader.GetString(L"S", c.key, value)) << c.flag << L" " << c.key;
        if (c.found) {
            EXPECT_EQ(c.value, value) << c.key;
        }
    }
}

}  // namespace
}  // namespace DiraDoro
