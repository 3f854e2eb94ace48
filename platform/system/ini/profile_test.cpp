#include "platform/system/ini/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system/ini/ini_document.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys::ini {
namespace {

class ProfileTest : public ::testing::Test {
protected:
    test::TempRoot root_;
    std::filesystem::path file_ = root_.path() / "lbconfig.ini";
    std::wstring name_ = text::utf8_to_wide(file_.string());

    void write_bytes(const std::string& bytes) { std::ofstream(file_, std::ios::binary) << bytes; }
    std::string read_bytes() const { return rk::sys::test::read_file(file_); }
    std::wstring get(const wchar_t* app, const wchar_t* key, const wchar_t* def = L"<def>", DWORD size = 256) {
        std::vector<wchar_t> buf(size + 1, L'#');
        const DWORD n = GetPrivateProfileStringW(app, key, def, buf.data(), size, name_.c_str());
        return std::wstring(buf.data(), n);
    }
};

TEST_F(ProfileTest, ReadsWithWindowsRules) {
    EXPECT_EQ(L"<def>", get(L"a", L"b"));  // no file yet
    EXPECT_EQ(2u, profile_last_error());
    write_bytes(
        "; leading comment\r\n"
        "top=ignored\r\n"
        "[Settings]\r\n"
        "  Name  =  Value with spaces  \r\n"
        "Quoted=\"in quotes\"\r\n"
        "Single='x'\r\n"
        "Half=\"open\r\n"
        "Empty=\r\n"
        "Dup=first\r\n"
        "Dup=second\r\n"
        "a=b=c\r\n"
        ";Commented=yes\r\n"
        "[ settings ]\r\n"
        "Later=ignored\r\n"
        "[Other]\n"
        "k=v");
    struct Case {
        const wchar_t* app;
        const wchar_t* key;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"Settings", L"Name", L"Value with spaces"},
        {L"SETTINGS", L"name", L"Value with spaces"},
        {L"Settings", L"Quoted", L"in quotes"},
        {L"Settings", L"Single", L"x"},
        {L"Settings", L"Half", L"\"open"},
        {L"Settings", L"Empty", L""},
        {L"Settings", L"Dup", L"first"},
        {L"Settings", L"a", L"b=c"},
        {L"Settings", L"Commented", L"<def>"},
        {L"Settings", L"Later", L"<def>"},  // a repeated section is not searched
        {L"Settings", L"top", L"<def>"},
        {L"Other", L"k", L"v"},
        {L"Missing", L"k", L"<def>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, get(c.app, c.key)) << c.app << L"/" << c.key;
    }
    EXPECT_EQ(L"Val", get(L"Settings", L"Name", nullptr, 4));  // cut to size - 1
    EXPECT_EQ(L"", get(L"Settings", L"none", nullptr));
    EXPECT_EQ(L"  def", get(L"Settings", L"none", L"  def   "));  // trailing blanks only
    EXPECT_EQ(std::wstring(L"Settings\0settings\0Other\0", 24), get(nullptr, nullptr));
    EXPECT_EQ(std::wstring(L"k\0", 2), get(L"other", nullptr));
    EXPECT_EQ(L"Sett", get(nullptr, nullptr, nullptr, 6));  // cut lists return size - 2

    wchar_t section[64];
    const DWORD n = GetPrivateProfileSectionW(L"other", section, 64, name_.c_str());
    EXPECT_EQ(std::wstring(L"k=v\0", 4), std::wstring(section, n));
}

TEST_F(ProfileTest, WritesKeepOtherLinesAndEncoding) {
    const std::string original =
        "; keep me\r\n"
        "[A]\r\n"
        "x=1\r\n"
        "weird line\r\n"
        "\r\n"
        "[B]\r\n"
        "y = 2\r\n";
    write_bytes(original);
    ASSERT_TRUE(WritePrivateProfileStringW(L"a", L"X", L"10", name_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"A", L"new", L"n", name_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"C", L"z", L"3", name_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"B", L"y", nullptr, name_.c_str()));
    EXPECT_EQ(
        "; keep me\r\n"
        "[A]\r\n"
        "x=10\r\n"
        "weird line\r\n"
        "new=n\r\n"
        "\r\n"
        "[B]\r\n"
        "[C]\r\n"
        "z=3\r\n",
        read_bytes());
    ASSERT_TRUE(WritePrivateProfileStringW(L"A", nullptr, nullptr, name_.c_str()));
    EXPECT_EQ("; keep me\r\n[B]\r\n[C]\r\nz=3\r\n", read_bytes());
    // Deleting what is not there changes nothing.
    EXPECT_TRUE(WritePrivateProfileStringW(L"Q", L"q", nullptr, name_.c_str()));

    struct Encoding {
        const char* what;
        std::string prefix;
        bool utf16;
    };
    const Encoding encodings[] = {{"ANSI", "", false}, {"UTF-8 BOM", "\xEF\xBB\xBF", false}, {"UTF-16LE", "\xFF\xFE", true}};
    for (const auto& e : encodings) {
        const auto encoded = [&](const std::wstring& text) {
            if (!e.utf16) {
                return e.prefix + text::wide_to_utf8(text);
            }
            const auto bytes = text::wide_to_utf16le(text);
            return e.prefix + std::string(bytes.begin(), bytes.end());
        };
        write_bytes(encoded(L"[S]\nk=\u00e9t\u00e9\n"));
        EXPECT_EQ(L"\u00e9t\u00e9", get(L"s", L"K")) << e.what;
        ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"n", L"\u00fc", name_.c_str())) << e.what;
        EXPECT_EQ(encoded(L"[S]\nk=\u00e9t\u00e9\nn=\u00fc\n"), read_bytes()) << e.what;
    }
}

TEST_F(ProfileTest, NewFilesAndFailures) {
    ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"v", name_.c_str()));
    EXPECT_EQ("[S]\r\nk=v\r\n", read_bytes());
    struct stat st{};
    ASSERT_EQ(0, ::stat(file_.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777);

    const std::wstring in_missing_dir = name_ + L".d/sub/x.ini";
    EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"v", in_missing_dir.c_str()));
    EXPECT_EQ(3u, profile_last_error());
    EXPECT_FALSE(WritePrivateProfileStringW(nullptr, L"k", L"v", name_.c_str()));
    EXPECT_EQ(87u, profile_last_error());
    // No temporary files are left behind.
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(root_.path()), {}));
}

// What is not a small regular file is neither read (no blocking on a FIFO)
// nor replaced by a write.
TEST_F(ProfileTest, OversizedAndSpecialFilesAreLeftAlone) {
    struct Case {
        const char* name;
        void (*make)(const std::filesystem::path& file);
        DWORD error;
    };
    const Case cases[] = {
        {"one byte over 1 MiB",
         [](const std::filesystem::path& f) {
             std::ofstream(f, std::ios::binary) << "[S]\r\nk=v\r\n" << std::string(1024 * 1024, ';');
         },
         223},
        {"FIFO", [](const std::filesystem::path& f) { ASSERT_EQ(0, ::mkfifo(f.c_str(), 0600)); }, 13},
        {"folder", [](const std::filesystem::path& f) { std::filesystem::create_directory(f); }, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(file_);
        c.make(file_);
        const auto before = std::filesystem::symlink_status(file_).type();
        EXPECT_EQ(L"<def>", get(L"S", L"k"));
        EXPECT_EQ(c.error, profile_last_error());
        EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"new", name_.c_str()));
        EXPECT_EQ(c.error, profile_last_error());
        EXPECT_EQ(before, std::filesystem::symlink_status(file_).type());
    }
    std::filesystem::remove_all(file_);
    cases[0].make(file_);
    EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"new", name_.c_str()));
    EXPECT_EQ(1024u * 1024 + 10, std::filesystem::file_size(file_));
    std::filesystem::resize_file(file_, 1024 * 1024);  // exactly the limit is read
    EXPECT_EQ(L"v", get(L"S", L"k"));
}

TEST_F(ProfileTest, StructsCarryAChecksum) {
    const std::uint8_t data[] = {0x00, 0x7F, 0xFF, 0x10};
    ASSERT_TRUE(WritePrivateProfileStructW(L"S", L"blob", data, sizeof data, name_.c_str()));
    EXPECT_EQ(L"007FFF108E", get(L"S", L"blob"));  // 0x00+0x7F+0xFF+0x10 = 0x18E
    std::uint8_t back[4] = {};
    ASSERT_TRUE(GetPrivateProfileStructW(L"s", L"BLOB", back, sizeof back, name_.c_str()));
    EXPECT_EQ(0, std::memcmp(data, back, sizeof data));

    struct Case {
        const char* what;
        const wchar_t* stored;
        std::uint32_t size;
        DWORD error;
    };
    const Case cases[] = {
        {"wrong size", L"007FFF108E", 3, 13},
        {"bad checksum", L"007FFF108F", 4, 13},
        {"not hex", L"007FFG108E", 4, 13},
        {"lower case ok", L"007fff108e", 4, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"blob", c.stored, name_.c_str()));
        const bool ok = GetPrivateProfileStructW(L"S", L"blob", back, c.size, name_.c_str());
        EXPECT_EQ(c.error == 0, ok) << c.what;
        if (!ok) {
            EXPECT_EQ(c.error, profile_last_error()) << c.what;
        }
    }
    EXPECT_FALSE(GetPrivateProfileStructW(L"S", L"none", back, 4, name_.c_str()));
    EXPECT_EQ(2u, profile_last_error());
    ASSERT_TRUE(WritePrivateProfileStructW(L"S", L"blob", nullptr, 0, name_.c_str()));
    EXPECT_EQ(L"<def>", get(L"S", L"blob"));
}

TEST(IniDocumentTest, UntouchedBytesSurviveARoundTrip) {
    const std::vector<std::string> inputs = {
        "",
        "no newline at end",
        "[a]\nk=v\r\n\r\n;c\n",
        std::string("\xFF\xFE[\0a\0]\0\r\0\n\0", 12),
        std::string("bad utf8 \xC3\x28 kept\n[s]\nk=\xFF\n"),
        std::string("\xFF\xFEodd", 5),
    };
    for (const auto& in : inputs) {
        const auto doc = IniDocument::parse(std::span(reinterpret_cast<const std::uint8_t*>(in.data()), in.size()));
        const auto out = doc.serialize();
        if (in.size() % 2 == 1 && in.rfind("\xFF\xFE", 0) == 0) {
            continue;  // an odd trailing byte of UTF-16 is dropped
        }
        EXPECT_EQ(in, std::string(out.begin(), out.end()));
    }
}

TEST(IniDocumentTest, AddsToAFileWithoutFinalNewline) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"[a]\nk=v", "[a]\nk=v\nn=1\n[b]\nm=2\n"},
        // A lone CR at the end is no line end: what follows starts a new line.
        {"[a]\r\nk=v\r", "[a]\r\nk=v\r\r\nn=1\r\n[b]\r\nm=2\r\n"},
    };
    for (const auto& c : cases) {
        auto doc = IniDocument::parse(std::span(reinterpret_cast<const std::uint8_t*>(c.in.data()), c.in.size()));
        doc.set(L"a", L"n", L"1");
        doc.set(L"b", L"m", L"2");
        const auto out = doc.serialize();
        EXPECT_EQ(c.out, std::string(out.begin(), out.end()));
        const auto again = IniDocument::parse(out);
        EXPECT_EQ(L"2", again.get(L"b", L"m").value_or(L"?"));
    }
}

}  // namespace
}  // namespace rk::sys::ini
