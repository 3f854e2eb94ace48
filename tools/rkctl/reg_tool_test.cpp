// rkctl's registry commands against real stores in a temporary root: the
// tool runs as a child process; the store is checked through the registry
// seam directly.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system/registry/registry.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "tools/rkctl/reg_exporter.h"
#include "tools/rkctl/reg_key_handle.h"
#include "tools/rkctl/reg_key_name.h"
#include "tools/rkctl/reg_value_text.h"

namespace rk::ctl {
namespace {

using namespace sys::reg;
namespace fs = std::filesystem;
using rk::sys::test::read_file;

struct ChildRun {
    int exit = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (const char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

regfile::KeyName key(const std::wstring& text) {
    std::wstring error;
    auto name = parse_key_argument(text, &error);
    EXPECT_TRUE(name) << text::wide_to_utf8(error);
    return name.value_or(regfile::KeyName{});
}

class RegToolTest : public ::testing::Test {
protected:
    ChildRun rkctl(const std::vector<std::string>& args) {
        std::string command = quote(RKCTL_PATH);
        for (const auto& a : args) command += " " + quote(a);
        const fs::path out = root_ / "stdout.txt";
        const fs::path err = root_ / "stderr.txt";
        command += " >" + quote(out.string()) + " 2>" + quote(err.string()) + " </dev/null";
        const int status = std::system(command.c_str());
        ChildRun r;
        r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = read_file(out);
        r.err = read_file(err);
        return r;
    }

    std::string file(const std::string& name) const { return (root_ / name).string(); }

    void write_file(const std::string& name, const std::wstring& text) {
        std::ofstream s(file(name), std::ios::binary);
        s << text::wide_to_utf8(text);
    }

    static void set(const std::wstring& key_name, const std::wstring& value, DWORD type,
                    const std::vector<std::uint8_t>& data, REGSAM view = 0) {
        const auto name = key(key_name);
        RegKeyHandle h;
        ASSERT_EQ(RegCreateKeyExW(root_key(name.root), name.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                                  nullptr, h.put(), nullptr),
                  0);
        ASSERT_EQ(RegSetValueExW(h.get(), value.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                                 static_cast<DWORD>(data.size())),
                  0);
    }

    // The tree below a key as the seam reports it; empty when the key is missing.
    static regfile::RegFile tree(const std::wstring& key_name, REGSAM view = 0) {
        regfile::RegFile f;
        if (RegExporter(view).read_tree(key(key_name), f) != 0) f.keys.clear();
        return f;
    }

    sys::test::TempRoot temp_;
    const fs::path& root_ = temp_.path();
    sys::test::ScopedEnv home_{"HOME", "/home/tester"};
    sys::test::ScopedEnv config_home_{"XDG_CONFIG_HOME", std::nullopt};
    sys::test::ScopedEnv runtime_dir_{"XDG_RUNTIME_DIR", std::nullopt};
};

// Values whose bytes the store must keep as they are (every type's text form
// is the file writer's table).
std::vector<regfile::RegValue> stored_values() {
    const auto v = [](std::wstring name, DWORD type, std::vector<std::uint8_t> data) {
        regfile::RegValue r;
        r.name = std::move(name);
        r.type = type;
        r.data = std::move(data);
        return r;
    };
    std::vector<std::uint8_t> long_binary(300);
    for (std::size_t i = 0; i < long_binary.size(); ++i) long_binary[i] = static_cast<std::uint8_t>(i);
    return {
        v(L"", REG_SZ, regfile::string_data(L"défault 😀")),
        v(L"sz unterminated", REG_SZ, {0x41, 0x00}),
        v(L"binary", REG_BINARY, long_binary),
        v(L"dword odd size", REG_DWORD, {1, 2}),
        v(L"multi", REG_MULTI_SZ, regfile::multi_string_data({L"one", L"two"})),
        v(L"private type", 0x12345678, {9, 8, 7}),
    };
}

TEST_F(RegToolTest, ExportThenImportRestoresEveryTypeByteForByte) {
    for (const char* encoding : {"utf16", "utf8"}) {
        for (const std::wstring base : {L"HKLM\\SOFTWARE\\RkTest", L"HKCU\\Software\\RkTest"}) {
            const auto values = stored_values();
            for (const auto& v : values) set(base, v.name, v.type, v.data);
            set(base + L"\\Child\\Grandchild", L"deep", REG_DWORD, regfile::dword_data(7));
            set(base + L"\\Child", L"x", REG_SZ, regfile::string_data(L"y"));
            const auto before = tree(base);
            ASSERT_EQ(before.keys.size(), 3u);
            ASSERT_EQ(before.keys[0].values, values);  // what was set is what is read back

            std::vector<std::string> args = {"reg", "export", text::wide_to_utf8(base), file("out.reg"), "-y"};
            if (std::string(encoding) == "utf8") args.push_back("--utf8");
            const auto exported = rkctl(args);
            ASSERT_EQ(exported.exit, 0) << exported.err;
            const std::string bytes = read_file(file("out.reg"));
            EXPECT_EQ(bytes.substr(0, 2) == "\xFF\xFE", std::string(encoding) == "utf16");

            ASSERT_EQ(rkctl({"reg", "delete", text::wide_to_utf8(base), "-f"}).exit, 0);
            ASSERT_TRUE(tree(base).keys.empty());

            const auto imported = rkctl({"reg", "import", file("out.reg")});
            ASSERT_EQ(imported.exit, 0) << imported.err;
            EXPECT_EQ(tree(base), before) << encoding;
        }
    }
}

TEST_F(RegToolTest, ViewsRedirectTheSoftwareKey) {
    ASSERT_EQ(rkctl({"reg", "add", "HKLM\\SOFTWARE\\V", "-v", "n", "-t", "REG_DWORD", "-d", "5", "--32"}).exit, 0);
    // The 32-bit view's key is WOW6432Node in the 64-bit view.
    const auto native = tree(L"HKLM\\SOFTWARE\\WOW6432Node\\V");
    ASSERT_EQ(native.keys.size(), 1u);
    EXPECT_EQ(native.keys[0].values.at(0).data, regfile::dword_data(5));
    EXPECT_EQ(rkctl({"reg", "query", "HKLM\\SOFTWARE\\V", "-v", "n"}).exit, 1);
    const auto q = rkctl({"reg", "query", "HKLM\\SOFTWARE\\V", "-v", "n", "--32"});
    EXPECT_EQ(q.exit, 0);
    EXPECT_EQ(q.out, "HKEY_LOCAL_MACHINE\\SOFTWARE\\V\n    n    REG_DWORD    0x5\n");

    // A 32-bit export names the logical key; importing it natively lands in
    // the 64-bit key, importing it with --32 in WOW6432Node again.
    ASSERT_EQ(rkctl({"reg", "export", "HKLM\\SOFTWARE\\V", file("v.reg"), "--32", "--utf8"}).exit, 0);
    ASSERT_EQ(rkctl({"reg", "import", file("v.reg")}).exit, 0);
    EXPECT_EQ(tree(L"HKLM\\SOFTWARE\\V").keys.size(), 1u);
    ASSERT_EQ(rkctl({"reg", "delete", "HKLM\\SOFTWARE\\V", "-f", "--32"}).exit, 0);
    EXPECT_TRUE(tree(L"HKLM\\SOFTWARE\\WOW6432Node\\V").keys.empty());
    ASSERT_EQ(rkctl({"reg", "import", file("v.reg"), "--32"}).exit, 0);
    EXPECT_EQ(tree(L"HKLM\\SOFTWARE\\WOW6432Node\\V").keys.size(), 1u);
}

// Each file first makes valid changes, then breaks while parsing (the
// parser's own table holds every kind of fault) or while applying (a
// persistent key below a volatile one is refused with 1021): both stores
// are left as they were.
TEST_F(RegToolTest, FaultyFilesNameTheirLineAndChangeNothing) {
    set(L"HKLM\\SOFTWARE\\RkTest", L"keep", REG_SZ, regfile::string_data(L"me"));
    set(L"HKLM\\SOFTWARE\\RkTest\\Sub", L"keep", REG_DWORD, regfile::dword_data(1));
    {
        RegKeyHandle vol;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vol", 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, vol.put(), nullptr),
                  0);
    }
    const auto before = tree(L"HKLM\\SOFTWARE\\RkTest");
    const std::wstring h = L"Windows Registry Editor Version 5.00\r\n\r\n"
                           L"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\RkTest\\Sub]\r\n"
                           L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\RkTest]\r\n\"keep\"=\"changed\"\r\n\"new\"=dword:1\r\n"
                           L"[HKEY_CURRENT_USER\\Software\\New]\r\n";
    const std::vector<std::pair<std::wstring, std::string>> cases = {
        {h + L"\"bad\"=hex:00,01,\\\r\n  02,zz\r\n", "bad.reg:9: "},
        {h + L"\r\n\r\ngarbage\r\n", "bad.reg:10: "},
        {L"REGEDIT4\r\n" + h.substr(h.find(L"\r\n") + 2), "bad.reg:1: "},
        {h + L"\"v\"=\"x\"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vol\\Child]\r\n",
         "bad.reg:9: cannot create key HKEY_LOCAL_MACHINE\\SOFTWARE\\Vol\\Child: "},
    };
    for (const auto& [text, message] : cases) {
        write_file("bad.reg", text);
        const auto r = rkctl({"reg", "import", file("bad.reg")});
        EXPECT_EQ(r.exit, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(tree(L"HKLM\\SOFTWARE\\RkTest"), before);
        EXPECT_TRUE(tree(L"HKCU\\Software\\New").keys.empty());
    }
    EXPECT_NE(rkctl({"reg", "import", file("bad.reg")}).err.find("(1021)"), std::string::npos);
}

TEST_F(RegToolTest, AddStoresTypedDataAndQueryShowsIt) {
    struct Case {
        std::string type;
        std::string data;
        std::vector<std::uint8_t> stored;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"REG_SZ", "hello w\xC3\xB6rld", regfile::string_data(L"hello w\u00f6rld"), "hello w\xC3\xB6rld"},
        {"reg_expand_sz", "%TMP%\\x", regfile::string_data(L"%TMP%\\x"), "%TMP%\\x"},
        {"REG_MULTI_SZ", "a\\0b c\\0d", regfile::multi_string_data({L"a", L"b c", L"d"}), "a\\0b c\\0d"},
        {"REG_DWORD", "42", regfile::dword_data(42), "0x2a"},
        {"REG_DWORD", "0xFFFFFFFF", regfile::dword_data(0xffffffff), "0xffffffff"},
        {"REG_QWORD", "18446744073709551615", regfile::qword_data(~0ull), "0xffffffffffffffff"},
        {"REG_BINARY", "00aBff", {0x00, 0xab, 0xff}, "00ABFF"},
        {"REG_NONE", "", {}, ""},
        {"0x20", "0102", {1, 2}, "0102"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "v" + std::to_string(n++);
        const auto add = rkctl({"reg", "add", "HKCU\\Software\\Q", "-v", name, "-t", c.type, "-d", c.data});
        ASSERT_EQ(add.exit, 0) << add.err;
        RegKeyHandle h;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Q", 0, KEY_READ, h.put()), 0);
        std::vector<std::uint8_t> data(4096);
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        ASSERT_EQ(RegQueryValueExW(h.get(), text::utf8_to_wide(name).c_str(), nullptr, &type, data.data(), &size), 0);
        data.resize(size);
        EXPECT_EQ(data, c.stored) << c.type;
        const auto q = rkctl({"reg", "query", "HKCU\\Software\\Q", "-v", name});
        EXPECT_EQ(q.out, "HKEY_CURRENT_USER\\Software\\Q\n    " + name + "    " + text::wide_to_utf8(type_name(type)) +
                             "    " + c.shown + "\n");
    }
    // The whole key: values, a blank line, then the subkeys.
    ASSERT_EQ(rkctl({"reg", "add", "HKCU\\Software\\Q\\Sub"}).exit, 0);
    const auto all = rkctl({"reg", "query", "hkey_current_user\\Software\\Q"});
    EXPECT_EQ(all.exit, 0);
    EXPECT_NE(all.out.find("    v3    REG_DWORD    0x2a\n"), std::string::npos);
    EXPECT_TRUE(all.out.ends_with("\n\nHKEY_CURRENT_USER\\Software\\Q\\Sub\n")) << all.out;
}

TEST_F(RegToolTest, ExitCodesAndMessages) {
    ASSERT_EQ(rkctl({"reg", "add", "HKLM\\SOFTWARE\\E", "-v", "a", "-d", "x"}).exit, 0);
    write_file("exists.reg", L"");
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string fragment;  // of stderr, or of stdout on success
    };
    const std::vector<Case> cases = {
        {{"reg", "--help"}, 0, "usage: rkctl reg query"},
        {{"reg", "import", "--help"}, 0, "rkctl reg import FILE"},
        {{"reg"}, 2, "missing subcommand"},
        {{"reg", "frob"}, 2, "unknown subcommand frob"},
        {{"reg", "query"}, 2, "expects 1 argument"},
        {{"reg", "query", "HKLM\\SOFTWARE\\E", "--32", "--64"}, 2, "exclude each other"},
        {{"reg", "query", "HKLM\\SOFTWARE\\E", "--bogus"}, 2, "unknown option --bogus"},
        {{"reg", "query", "HKLM\\SOFTWARE\\E", "-v"}, 2, "-v needs a value"},
        {{"reg", "query", "HKXX\\a"}, 1, "unknown root key"},
        {{"reg", "query", "HKLM\\SOFTWARE\\Missing"}, 1, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing not found"},
        {{"reg", "query", "HKLM\\SOFTWARE\\E", "-v", "nope"}, 1, "value nope not found"},
        {{"reg", "add", "HKLM\\SOFTWARE\\E", "-v", "a", "-d", "y"}, 1, "exists"},
        {{"reg", "add", "HKLM\\SOFTWARE\\E", "-v", "a", "-d", "y", "-f"}, 0, ""},
        {{"reg", "add", "HKLM\\SOFTWARE\\E", "-v", "n", "-t", "REG_DWORD", "-d", "4294967296"}, 1, "REG_DWORD data"},
        {{"reg", "add", "HKLM\\SOFTWARE\\E", "-v", "n", "-t", "REG_BINARY", "-d", "abc"}, 1, "hex digits"},
        {{"reg", "add", "HKLM\\SOFTWARE\\E", "-v", "n", "-t", "REG_MULTI_SZ", "-d", "a\\0\\0b"}, 1, "must not be empty"},
        {{"reg", "add", "HKLM\\SOFTWARE\\E", "-v", "n", "-t", "REG_WHAT"}, 2, "unknown value type"},
        {{"reg", "add", "HKLM\\SOFTWARE\\E", "-d", "x"}, 2, "need -v NAME or --ve"},
        {{"reg", "add", "HKLM\\SOFTWARE\\E", "-v", "n", "--ve"}, 2, "exclude each other"},
        {{"reg", "add", "HKLM\\SOFTWARE\\" + std::string(256, 'k')}, 1, "255"},
        {{"reg", "delete", "HKLM\\SOFTWARE\\E"}, 2, "needs -f"},
        {{"reg", "delete", "HKLM\\SOFTWARE\\E", "--va"}, 2, "needs -f"},
        {{"reg", "delete", "HKLM", "-f"}, 1, "root key cannot be deleted"},
        {{"reg", "delete", "HKLM\\SOFTWARE\\E", "-v", "a"}, 2, "deleting a value needs -f"},
        {{"reg", "delete", "HKLM\\SOFTWARE\\E", "--ve"}, 2, "deleting a value needs -f"},
        {{"reg", "delete", "HKLM\\SOFTWARE\\E", "-v", "nope", "-f"}, 1, "value nope not found"},
        {{"reg", "add", "HKLM\\SOFTWARE\\E", "--scrambled"}, 2, "need -v NAME or --ve"},
        {{"reg", "query", "HKLM\\SOFTWARE\\E", "--scrambled"}, 2, "takes no --scrambled"},
        {{"reg", "export", "HKLM\\SOFTWARE\\E", file("exists.reg")}, 1, "exists (-y overwrites it)"},
        {{"reg", "export", "HKLM\\SOFTWARE\\Missing", file("m.reg")}, 1, "not found"},
        {{"reg", "import", file("missing.reg")}, 1, "cannot read"},
        {{"reg", "import", file("a.reg"), file("b.reg")}, 2, "expects 1 argument"},
    };
    for (const auto& c : cases) {
        const auto r = rkctl(c.args);
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        EXPECT_EQ(r.exit, c.exit) << shown << "\n" << r.err;
        const std::string& where = c.exit == 0 ? r.out : r.err;
        EXPECT_NE(where.find(c.fragment), std::string::npos) << shown << "\n" << where;
        if (c.exit != 0) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << shown << "\n" << r.err;
        }
    }
    // Deleting: one value, all values, the tree.
    ASSERT_EQ(rkctl({"reg", "add", "HKLM\\SOFTWARE\\E\\Sub", "--ve", "-d", "d"}).exit, 0);
    ASSERT_EQ(rkctl({"reg", "delete", "HKLM\\SOFTWARE\\E\\Sub", "--ve", "-f"}).exit, 0);
    EXPECT_TRUE(tree(L"HKLM\\SOFTWARE\\E\\Sub").keys.at(0).values.empty());
    ASSERT_EQ(rkctl({"reg", "delete", "HKLM\\SOFTWARE\\E", "--va", "-f"}).exit, 0);
    EXPECT_EQ(tree(L"HKLM\\SOFTWARE\\E").keys.size(), 2u);
    EXPECT_TRUE(tree(L"HKLM\\SOFTWARE\\E").keys.at(0).values.empty());
    ASSERT_EQ(rkctl({"reg", "delete", "HKLM\\SOFTWARE\\E", "-f"}).exit, 0);
    EXPECT_TRUE(tree(L"HKLM\\SOFTWARE\\E").keys.empty());
}

// The file logger is switched on through scrambled values only: a plain
// value is present but unreadable, and log show says so.
TEST_F(RegToolTest, LogEnableWritesTheScrambledValuesTheLoggerReads) {
    const std::string key = "HKLM\\SOFTWARE\\Corvane\\Logging";
    struct Step {
        std::vector<std::string> args;
        std::vector<std::string> shown;  // lines of rkctl log show afterwards
    };
    const Step steps[] = {
        {{"reg", "add", key, "-v", "Logging Mechanism", "-t", "REG_DWORD", "-d", "1"},
         {"mechanism:        ETW logger (LTTng) (Logging Mechanism present but unreadable"}},
        {{"log", "enable", "rkupdatermodule"},
         {"mechanism:        file logger (Logging Mechanism 1)\n", "    Enable        1\n"}},
        {{"log", "disable", "rkupdatermodule"},
         {"mechanism:        ETW logger (LTTng) (Logging Mechanism 0)\n", "    Enable        0\n"}},
        {{"reg", "add", key, "-v", "Logging Mechanism", "-t", "REG_DWORD", "-d", "1", "--scrambled", "-f"},
         {"mechanism:        file logger (Logging Mechanism 1)\n"}},
    };
    for (const Step& step : steps) {
        const ChildRun run = rkctl(step.args);
        ASSERT_EQ(run.exit, 0) << step.args[0] << " " << step.args[1] << "\n" << run.err;
        const ChildRun show = rkctl({"log", "show", "rkupdatermodule"});
        ASSERT_EQ(show.exit, 0) << show.err;
        for (const std::string& line : step.shown) {
            EXPECT_NE(show.out.find(line), std::string::npos) << line << "\n--- output:\n" << show.out;
        }
    }
    // A plain log.ini entry is shown as unreadable instead of vanishing.
    const fs::path ini = root_ / "var/lib/Corvane/RKLOGS/_no_group/rkupdatermodule/log.ini";
    std::ofstream(ini, std::ios::app) << "Severity=1\n";
    const ChildRun show = rkctl({"log", "show", "rkupdatermodule"});
    EXPECT_NE(show.out.find("    Severity      present but unreadable"), std::string::npos) << show.out;
}

// rkctl xml: an address runs as the engine runs one (the test hook is asked
// first, a failed fetch is tried again without proxy, Update's answer is
// printed); an empty file is a document the engine refuses.
TEST_F(RegToolTest, XmlRunsAddressesThroughUpdateAndEmptyFilesThroughTheEngine) {
    write_file("empty.xml", L"");
    const ChildRun empty = rkctl({"xml", file("empty.xml")});
    EXPECT_EQ(empty.exit, 4) << empty.err;
    EXPECT_NE(empty.out.find("status: 4\n"), std::string::npos) << empty.out;
    const ChildRun url = rkctl({"xml", "--events", "https://127.0.0.1:1/doc.xml"});
    EXPECT_EQ(url.exit, 1) << url.err;
    EXPECT_NE(url.err.find("[hook] OnInterestingUrl {url="), std::string::npos) << url.err;
    EXPECT_NE(url.out.find("update: failed\nexit code: 0\n"), std::string::npos) << url.out;
}

TEST(RegValueText, ParseDataEdges) {
    struct Case {
        DWORD type;
        std::wstring text;
        bool ok;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {REG_DWORD, L"0", true, regfile::dword_data(0)},
        {REG_DWORD, L"0x0", true, regfile::dword_data(0)},
        {REG_DWORD, L"0x", false, {}},
        {REG_DWORD, L"-1", false, {}},
        {REG_DWORD, L" 1", false, {}},
        {REG_DWORD, L"4294967295", true, regfile::dword_data(0xffffffff)},
        {REG_DWORD, L"0x100000000", false, {}},
        {REG_QWORD, L"0xffffffffffffffff", true, regfile::qword_data(~0ull)},
        {REG_QWORD, L"0x1ffffffffffffffff", false, {}},
        {REG_QWORD, L"18446744073709551616", false, {}},
        {REG_MULTI_SZ, L"", true, regfile::multi_string_data({})},
        {REG_MULTI_SZ, L"a\\0", false, {}},
        {REG_BINARY, L"", true, {}},
        {REG_BINARY, L"0", false, {}},
        {REG_BINARY, L"zz", false, {}},
    };
    for (const auto& c : cases) {
        std::wstring error;
        const auto r = parse_data(c.type, c.text, kMultiSzSeparator, error);
        EXPECT_EQ(r.has_value(), c.ok) << text::wide_to_utf8(c.text);
        if (r && c.ok) {
            EXPECT_EQ(*r, c.bytes) << text::wide_to_utf8(c.text);
        }
        if (!r) {
            EXPECT_FALSE(error.empty());
        }
    }
    // A separator of the caller's choice.
    std::wstring error;
    EXPECT_EQ(parse_data(REG_MULTI_SZ, L"a;b", L";", error), regfile::multi_string_data({L"a", L"b"}));
}

// Oversized inputs of the operator commands are refused from their size,
// before a byte is read (the files are sparse: nothing is written to disk).
TEST_F(RegToolTest, OperatorInputsAreBoundedBeforeReading) {
    struct Case {
        std::vector<std::string> args;  // "FILE" stands for the oversized file
        std::uintmax_t size;
        int exit;
        std::string message;
    };
    const Case cases[] = {
        {{"reg", "import", "FILE"}, (256u << 20) + 1, 1, "is larger than 256 MiB"},
        {{"xml", "FILE"}, (64u << 20) + 1, 5, "is larger than 64 MiB"},
        {{"verify-doc", "FILE"}, (64u << 20) + 1, 2, "is larger than 64 MiB"},
        {{"verify-script", "FILE"}, (64u << 20) + 1, 2, "is larger than 64 MiB"},
        {{"pass", "FILE", "--dry-run"}, (1u << 20) + 1, 1, "is larger than 1 MiB"},
    };
    for (const Case& c : cases) {
        const std::string big = file("big.input");
        fs::remove(big);
        std::ofstream(big).close();
        fs::resize_file(big, c.size);
        std::vector<std::string> args = c.args;
        for (auto& a : args) {
            if (a == "FILE") a = big;
        }
        const ChildRun run = rkctl(args);
        EXPECT_EQ(run.exit, c.exit) << c.args[0] << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args[0] << "\n" << run.err;
    }
}

}  // namespace
}  // namespace rk::ctl
