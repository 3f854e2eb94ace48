#include "platform/system/registry/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/process/command_line.h"
#include "platform/system/process/process.h"
#include "platform/system/registry/registry_paths.h"
#include "platform/system/registry/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys::reg {
namespace {

using namespace std::chrono_literals;

std::vector<BYTE> sz(const std::wstring& s) { return text::wide_to_utf16le(s + L'\0'); }

class RegistryTest : public ::testing::Test {
protected:
    test::TempRoot root_;
    std::vector<HKEY> opened_;

    ~RegistryTest() override {
        for (HKEY k : opened_) {
            RegCloseKey(k);
        }
    }

    HKEY create(HKEY parent, const wchar_t* sub, REGSAM sam = KEY_ALL_ACCESS, DWORD options = 0,
                DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(0, RegCreateKeyExW(parent, sub, 0, nullptr, options, sam, nullptr, &key, disposition)) << sub;
        opened_.push_back(key);
        return key;
    }
    LONG open(HKEY parent, const wchar_t* sub, REGSAM sam, HKEY& key) {
        const LONG err = RegOpenKeyExW(parent, sub, 0, sam, &key);
        if (err == 0) {
            opened_.push_back(key);
        }
        return err;
    }
    static LONG set_sz(HKEY key, const wchar_t* name, const std::wstring& value) {
        const auto data = sz(value);
        return RegSetValueExW(key, name, 0, REG_SZ, data.data(), static_cast<DWORD>(data.size()));
    }
    // Subkeys and values of a key, as RegQueryInfoKeyW counts them.
    static std::pair<DWORD, DWORD> counts(HKEY key) {
        DWORD subkeys = 9999, values = 9999;
        EXPECT_EQ(0, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                      nullptr, nullptr, nullptr));
        return {subkeys, values};
    }
    static std::wstring get_sz(HKEY key, const wchar_t* name) {
        BYTE buf[512];
        DWORD cb = sizeof buf;
        DWORD type = 0;
        if (RegQueryValueExW(key, name, nullptr, &type, buf, &cb) != 0 || cb < 2) {
            return L"<missing>";
        }
        return text::utf16le_to_wide(std::span<const BYTE>(buf, cb - 2));
    }
    // The name of the subkey at `index`, as long as RegEnumKeyExW counts it;
    // empty when there is none.
    static std::wstring subkey_at(HKEY key, DWORD index) {
        wchar_t name[256];
        DWORD cch = 256;
        return RegEnumKeyExW(key, index, name, &cch, nullptr, nullptr, nullptr, nullptr) == 0
                   ? std::wstring(name, cch)
                   : std::wstring();
    }
};

std::unique_ptr<Process> start_child(const std::vector<std::string>& args) {
    StartOptions options;
    options.command_line = quote_argument(text::utf8_to_wide(RK_REGISTRY_TEST_CHILD));
    for (const auto& arg : args) {
        options.command_line += L" " + quote_argument(text::utf8_to_wide(arg));
    }
    std::unique_ptr<Process> process;
    EXPECT_EQ(start_process(options, process), 0u);
    return process;
}

// The exit code (128 + the signal that ended it).
int wait_child(const std::unique_ptr<Process>& process) {
    DWORD code = 0;
    return process && process->wait(win::kInfinite) == win::kWaitObject0 && process->exit_code(code) == 0
               ? static_cast<int>(code)
               : -1;
}

int run_child(const std::vector<std::string>& args) { return wait_child(start_child(args)); }

TEST_F(RegistryTest, CreateReportsDispositionAndKeepsCase) {
    DWORD disp = 0;
    create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\MixedCase", KEY_ALL_ACCESS, 0, &disp);
    EXPECT_EQ(REG_CREATED_NEW_KEY, disp);
    create(HKEY_LOCAL_MACHINE, L"software\\CORVANE\\mixedcase", KEY_ALL_ACCESS, 0, &disp);
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, disp);

    HKEY corvane = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"Software\\corvane", KEY_READ, corvane));
    EXPECT_EQ(L"MixedCase", subkey_at(corvane, 0));

    // Beyond ASCII too, also after an ASCII start.
    const HKEY accented = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Caf\u00e9 \u00e9t\u00e9");
    ASSERT_EQ(0, set_sz(accented, L"Ma\u00efs\U0001F600x", L"v"));
    HKEY folded = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"software\\corvane\\CAF\u00c9 \u00c9T\u00c9", KEY_READ, folded));
    EXPECT_EQ(L"v", get_sz(folded, L"MA\u00cfS\U0001F600X"));
    EXPECT_EQ(L"<missing>", get_sz(folded, L"MAIS\U0001F600X"));
}

TEST_F(RegistryTest, QueryValueBufferRules) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane");
    ASSERT_EQ(0, set_sz(key, L"Name", L"abc"));  // 8 bytes with the terminator
    struct Case {
        const char* what;
        bool with_data;
        DWORD buffer;
        LONG result;
        DWORD size_out;
    };
    const Case cases[] = {
        {"size only", false, 0, 0, 8},
        {"exact", true, 8, 0, 8},
        {"larger", true, 100, 0, 8},
        {"one short", true, 7, 234, 8},
        {"empty buffer", true, 0, 234, 8},
    };
    for (const auto& c : cases) {
        BYTE buf[100] = {};
        DWORD cb = c.buffer;
        DWORD type = 99;
        EXPECT_EQ(c.result, RegQueryValueExW(key, L"name", nullptr, &type, c.with_data ? buf : nullptr, &cb)) << c.what;
        EXPECT_EQ(c.size_out, cb) << c.what;
        EXPECT_EQ(REG_SZ, type) << c.what;
    }
    BYTE buf[8];
    EXPECT_EQ(87, RegQueryValueExW(key, L"Name", nullptr, nullptr, buf, nullptr));
    DWORD cb = 8;
    EXPECT_EQ(2, RegQueryValueExW(key, L"Missing", nullptr, nullptr, buf, &cb));
}

TEST_F(RegistryTest, ValuesKeepTypeAndExactBytes) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Corvane\\Types");
    const std::vector<std::pair<DWORD, std::vector<BYTE>>> values = {
        {REG_NONE, {}},
        {REG_SZ, sz(L"h\u00e9llo \U0001F600")},
        {REG_EXPAND_SZ, sz(L"%ProgramData%\\x")},
        {REG_BINARY, {0, 1, 2, 0xFF}},
        {REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {REG_MULTI_SZ, text::wide_to_utf16le(std::wstring(L"a\0bc\0\0", 6))},
        {REG_SZ, {'x', 0}},  // no terminator pair: stored as given
    };
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::wstring name = L"v" + std::to_wstring(i);
        const auto& [type, data] = values[i];
        ASSERT_EQ(0, RegSetValueExW(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())));
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::wstring name = L"v" + std::to_wstring(i);
        BYTE buf[256];
        DWORD cb = sizeof buf;
        DWORD type = 99;
        ASSERT_EQ(0, RegQueryValueExW(key, name.c_str(), nullptr, &type, buf, &cb));
        EXPECT_EQ(values[i].first, type) << i;
        EXPECT_EQ(values[i].second, std::vector<BYTE>(buf, buf + cb)) << i;
    }
    // Enumeration keeps the order in which the values were first set.
    const BYTE one = 1;
    ASSERT_EQ(0, RegSetValueExW(key, L"V0", 0, REG_BINARY, &one, 1));
    wchar_t name[32];
    DWORD cch = 32;
    DWORD type = 0;
    ASSERT_EQ(0, RegEnumValueW(key, 0, name, &cch, nullptr, &type, nullptr, nullptr));
    EXPECT_EQ(std::wstring(L"v0"), name);
    EXPECT_EQ(REG_BINARY, type);
    cch = 32;
    EXPECT_EQ(259, RegEnumValueW(key, static_cast<DWORD>(values.size()), name, &cch, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, ThirtyTwoBitViewIsRedirectedLikeWindows) {
    HKEY k32 = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Updater", KEY_ALL_ACCESS | KEY_WOW64_32KEY);
    ASSERT_EQ(0, set_sz(k32, L"Where", L"32"));
    HKEY k64 = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Updater", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    ASSERT_EQ(0, set_sz(k64, L"Where", L"64"));

    struct Case {
        const wchar_t* path;
        REGSAM view;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"SOFTWARE\\Corvane\\Updater", KEY_WOW64_32KEY, L"32"},
        {L"SOFTWARE\\Corvane\\Updater", KEY_WOW64_64KEY, L"64"},
        {L"SOFTWARE\\Corvane\\Updater", 0, L"64"},  // native is 64-bit
        {L"SOFTWARE\\WOW6432Node\\Corvane\\Updater", 0, L"32"},
        {L"SOFTWARE\\WOW6432Node\\Corvane\\Updater", KEY_WOW64_32KEY, L"32"},  // not redirected twice
    };
    for (const auto& c : cases) {
        HKEY key = nullptr;
        ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, c.path, KEY_READ | c.view, key)) << c.path;
        EXPECT_EQ(c.expected, get_sz(key, L"Where")) << c.path << " view " << c.view;
    }
    // Opening SOFTWARE itself in the 32-bit view lands in WOW6432Node.
    HKEY software32 = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE", KEY_READ | KEY_WOW64_32KEY, software32));
    HKEY via = nullptr;
    ASSERT_EQ(0, open(software32, L"Corvane\\Updater", KEY_READ, via));
    EXPECT_EQ(L"32", get_sz(via, L"Where"));

    // Which keys are shared between the views: the WOW64 table below.
    HKEY bad = nullptr;
    EXPECT_EQ(87, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ | KEY_WOW64_RES, &bad));

    // Deleting through the 32-bit view removes only the 32-bit key.
    EXPECT_EQ(0, RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Updater", KEY_WOW64_32KEY, 0));
    HKEY gone = nullptr;
    EXPECT_EQ(2, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\Corvane\\Updater", 0, KEY_READ, &gone));
    HKEY kept = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Updater", KEY_READ, kept));
    EXPECT_EQ(L"64", get_sz(kept, L"Where"));
}

// The 32-bit view of 64-bit Windows 7 and later ("Registry Keys Affected by
// WOW64"): SOFTWARE is redirected, its shared keys are not, and the
// redirected Classes subkeys move below Classes\Wow6432Node.
TEST(RegistryView, ThirtyTwoBitPathsFollowTheWow64KeyTable) {
    struct Case {
        const wchar_t* path;
        const wchar_t* physical;
    };
    const Case cases[] = {
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Logging", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Corvane\\Logging"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Corvane", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Corvane"},
        {L"HKEY_LOCAL_MACHINE\\software\\policies", L"HKEY_LOCAL_MACHINE\\software\\policies"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\PoliciesX", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\PoliciesX"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\RegisteredApplications", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\RegisteredApplications"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\UTC",
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\UTC"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography\\Calais\\Readers",
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography\\Calais\\Readers"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography\\RNG",
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Cryptography\\RNG"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.rk", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.rk"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\AppID\\{1}", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\AppID\\{1}"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1}",
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\WOW6432Node\\CLSID\\{1}"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Interface", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\WOW6432Node\\Interface"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Media Type", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\WOW6432Node\\Media Type"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Corvane", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Corvane"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWAREX", L"HKEY_LOCAL_MACHINE\\SOFTWAREX"},
        {L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet", L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet"},
        {L"HKEY_CURRENT_USER\\Software\\Corvane", L"HKEY_CURRENT_USER\\Software\\Corvane"},
        {L"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{1}", L"HKEY_CURRENT_USER\\Software\\Classes\\WOW6432Node\\CLSID\\{1}"},
        {L"HKEY_CURRENT_USER\\Software\\Classes\\.rk", L"HKEY_CURRENT_USER\\Software\\Classes\\.rk"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(redirect_for_view(c.path, KEY_WOW64_32KEY), c.physical) << text::wide_to_utf8(c.path);
        EXPECT_EQ(redirect_for_view(c.path, KEY_WOW64_64KEY), c.path) << text::wide_to_utf8(c.path);
    }
}

TEST_F(RegistryTest, PathAndNameLimits) {
    HKEY key = nullptr;
    const std::wstring c255(255, L'k');
    const std::wstring c256(256, L'k');
    struct Case {
        std::wstring sub;
        LONG result;
    };
    const Case cases[] = {
        {L"SOFTWARE\\" + c255, 0},
        {L"SOFTWARE\\" + c256, 87},
        {L"\\SOFTWARE\\x", 161},
        {L"SOFTWARE\\\\x", 161},
        {L"SOFTWARE\\trailing\\", 0},
    };
    for (const auto& c : cases) {
        const LONG err = RegCreateKeyExW(HKEY_LOCAL_MACHINE, c.sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                         &key, nullptr);
        EXPECT_EQ(c.result, err) << c.sub.size();
        if (err == 0) {
            RegCloseKey(key);
        }
    }
    HKEY k = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Limits");
    const BYTE b = 1;
    EXPECT_EQ(0, RegSetValueExW(k, std::wstring(16383, L'v').c_str(), 0, REG_BINARY, &b, 1));
    EXPECT_EQ(87, RegSetValueExW(k, std::wstring(16384, L'v').c_str(), 0, REG_BINARY, &b, 1));
    EXPECT_EQ(87, RegSetValueExW(k, L"x", 0, REG_BINARY, nullptr, 1));
    EXPECT_EQ(87, RegSetValueExW(k, L"x", 1, REG_BINARY, &b, 1));
}

TEST_F(RegistryTest, DeleteRulesAndDeletedHandles) {
    HKEY parent = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Del");
    HKEY child = create(parent, L"Child\\Grandchild");
    ASSERT_EQ(0, set_sz(child, L"v", L"x"));
    EXPECT_EQ(5, RegDeleteKeyW(parent, L"Child"));  // has a subkey
    EXPECT_EQ(2, RegDeleteKeyW(parent, L"Nope"));
    EXPECT_EQ(87, RegDeleteKeyW(parent, nullptr));
    EXPECT_EQ(5, RegDeleteKeyW(HKEY_LOCAL_MACHINE, L""));
    EXPECT_EQ(0, RegDeleteTreeW(parent, L"Child"));
    EXPECT_EQ(1018, set_sz(child, L"v", L"y"));
    BYTE buf[8];
    DWORD cb = sizeof buf;
    EXPECT_EQ(1018, RegQueryValueExW(child, L"v", nullptr, nullptr, buf, &cb));
    // Recreating the path does not revive the old handle.
    create(parent, L"Child\\Grandchild");
    EXPECT_EQ(1018, set_sz(child, L"v", L"y"));

    // A null subkey empties the key but keeps it.
    ASSERT_EQ(0, set_sz(parent, L"top", L"1"));
    EXPECT_EQ(0, RegDeleteTreeW(parent, nullptr));
    EXPECT_EQ(counts(parent), std::make_pair(DWORD{0}, DWORD{0}));
    EXPECT_EQ(2, RegDeleteValueW(parent, L"top"));
    EXPECT_EQ(6, RegCloseKey(reinterpret_cast<HKEY>(0x12345)));
}

TEST_F(RegistryTest, EnumerationOrderInfoAndBuffers) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Enum");
    // Windows orders subkeys by their upper-cased names: '_' sorts after 'B'.
    for (const wchar_t* name : {L"a_", L"Ab", L"zeta", L"Beta"}) {
        create(key, name);
    }
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < 5; ++i) {
        names.push_back(subkey_at(key, i));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Ab", L"a_", L"Beta", L"zeta", L""}), names);
    wchar_t small[4];
    DWORD cch = 4;  // "zeta" needs 5 with its terminator
    EXPECT_EQ(234, RegEnumKeyExW(key, 3, small, &cch, nullptr, nullptr, nullptr, nullptr));

    ASSERT_EQ(0, set_sz(key, L"LongerName", L"0123456789"));
    DWORD subkeys = 0, max_sub = 0, values = 0, max_name = 0, max_value = 0;
    FILETIME written{};
    ASSERT_EQ(0, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &max_sub, nullptr, &values, &max_name,
                                  &max_value, nullptr, &written));
    EXPECT_EQ(4u, subkeys);
    EXPECT_EQ(4u, max_sub);
    EXPECT_EQ(1u, values);
    EXPECT_EQ(10u, max_name);
    EXPECT_EQ(22u, max_value);
    // Last-write time is a FILETIME of about now (after 2020).
    EXPECT_GT(filetime_to_u64(written), 132223104000000000ULL);
}

// Enumeration reads windows of entries ahead and keeps them while nothing
// changes; every change, made through another handle or by another process,
// must show at the next index asked for, as a fresh enumeration would.
TEST_F(RegistryTest, EnumerationFollowsChangesMadeDuringIt) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Listing");
    const auto name_of = [](int i) {
        wchar_t name[8];
        std::swprintf(name, 8, L"v%03d", i);
        return std::wstring(name);
    };
    ASSERT_EQ(0, run_in_transaction(key, [&]() -> LONG {
        for (int i = 0; i < 600; ++i) {
            if (const LONG err = set_sz(key, name_of(i).c_str(), L"d" + std::to_wstring(i)); err != 0) {
                return err;
            }
        }
        return 0;
    }));
    HKEY other = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Listing", KEY_ALL_ACCESS, other));
    HKEY listed = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Listing", KEY_READ, listed));
    const auto entry = [&](DWORD index, LONG& err) {
        wchar_t name[32];
        DWORD cch = 32;
        BYTE data[64];
        DWORD cb = sizeof data;
        err = RegEnumValueW(listed, index, name, &cch, nullptr, nullptr, data, &cb);
        return err != 0 ? std::wstring()
                        : std::wstring(name, cch) + L"=" + text::utf16le_to_wide(std::span<const BYTE>(data, cb - 2));
    };
    for (DWORD i = 0; i < 300; ++i) {  // past the first window
        LONG err = 0;
        ASSERT_EQ(name_of(static_cast<int>(i)) + L"=d" + std::to_wstring(i), entry(i, err));
    }
    struct Step {
        const char* change;
        std::function<void()> make;
        DWORD index;
        std::wstring expected;  // empty: ERROR_NO_MORE_ITEMS
    };
    const Step steps[] = {
        {"value removed through another handle", [&] { ASSERT_EQ(0, RegDeleteValueW(other, L"v000")); }, 300,
         L"v301=d301"},
        {"value rewritten by another process",
         [&] { ASSERT_EQ(0, run_child({"set", "SOFTWARE\\Listing", "v450", "changed"})); }, 449, L"v450=changed"},
        {"value added by another process",
         [&] { ASSERT_EQ(0, run_child({"set", "SOFTWARE\\Listing", "zz", "last"})); }, 599, L"zz=last"},
        {"nothing: past the end", [] {}, 600, L""},
        {"nothing: back to the start", [] {}, 0, L"v001=d1"},
        {"value added through another handle", [&] { ASSERT_EQ(0, set_sz(other, L"new", L"n")); }, 600, L"new=n"},
    };
    for (const auto& step : steps) {
        step.make();
        LONG err = 0;
        const std::wstring got = entry(step.index, err);
        EXPECT_EQ(step.expected.empty() ? 259 : 0, err) << step.change;
        EXPECT_EQ(step.expected, got) << step.change;
    }
    // Removed by another process: the handle reports it, and the path is no
    // longer found (no lookup is answered from memory after the change).
    ASSERT_EQ(0, run_child({"delete", "SOFTWARE\\Listing"}));
    LONG err = 0;
    entry(1, err);
    EXPECT_EQ(1018, err);
    HKEY gone = nullptr;
    EXPECT_EQ(2, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Listing", 0, KEY_READ, &gone));

    // Subkeys: one created by another process in the middle of a listing
    // shifts the later indexes.
    HKEY parent = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tree");
    for (int i = 0; i < 300; ++i) {
        create(parent, (L"k" + name_of(i)).c_str());
    }
    for (DWORD i = 0; i < 280; ++i) {
        ASSERT_EQ(L"k" + name_of(static_cast<int>(i)), subkey_at(parent, i));
    }
    ASSERT_EQ(0, run_child({"set", "SOFTWARE\\Tree\\a", "v", "x"}));
    EXPECT_EQ(L"kv279", subkey_at(parent, 280));
    EXPECT_EQ(L"kv299", subkey_at(parent, 300));
    EXPECT_EQ(L"", subkey_at(parent, 301));
}

TEST_F(RegistryTest, AccessMaskIsEnforced) {
    create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Acl");
    HKEY ro = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Acl", KEY_READ, ro));
    EXPECT_EQ(5, set_sz(ro, L"v", L"x"));
    HKEY sub = nullptr;
    EXPECT_EQ(5, RegCreateKeyExW(ro, L"Sub", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr));
    HKEY wo = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Acl", KEY_SET_VALUE, wo));
    EXPECT_EQ(0, set_sz(wo, L"v", L"x"));
    BYTE buf[8];
    DWORD cb = sizeof buf;
    EXPECT_EQ(5, RegQueryValueExW(wo, L"v", nullptr, nullptr, buf, &cb));
    HKEY generic = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Acl", GENERIC_READ | GENERIC_WRITE, generic));
    EXPECT_EQ(0, set_sz(generic, L"w", L"x"));
}

TEST_F(RegistryTest, VolatileKeysLiveInTheRuntimeStore) {
    create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane");  // persistent parent
    HKEY vol = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Session", KEY_ALL_ACCESS, REG_OPTION_VOLATILE);
    ASSERT_EQ(0, set_sz(vol, L"pid", L"42"));
    HKEY child = nullptr;
    EXPECT_EQ(1021, RegCreateKeyExW(vol, L"Persistent", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr));
    create(vol, L"AlsoVolatile", KEY_ALL_ACCESS, REG_OPTION_VOLATILE);
    EXPECT_TRUE(std::filesystem::exists(machine_volatile_file()));

    HKEY again = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Session\\AlsoVolatile", KEY_READ, again));
    HKEY parent = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane", KEY_READ, parent));
    EXPECT_EQ(L"Session", subkey_at(parent, 0));
    EXPECT_EQ(5, RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane"));  // has a volatile subkey

    // A reboot empties the runtime folder.
    std::filesystem::remove_all(machine_volatile_file().parent_path());
    HKEY gone = nullptr;
    EXPECT_EQ(2, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Session", 0, KEY_READ, &gone));
    EXPECT_EQ(1018, set_sz(vol, L"pid", L"43"));
    EXPECT_EQ(counts(parent).first, 0u);

    // HKCU keeps its volatile keys in the session runtime folder.
    HKEY user = create(HKEY_CURRENT_USER, L"Software\\Volatile", KEY_ALL_ACCESS, REG_OPTION_VOLATILE);
    ASSERT_EQ(0, set_sz(user, L"v", L"1"));
    EXPECT_TRUE(std::filesystem::exists(user_volatile_file()));
    std::filesystem::remove_all(user_volatile_file().parent_path());
    HKEY user_gone = nullptr;
    EXPECT_EQ(2, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Volatile", 0, KEY_READ, &user_gone));
}

TEST_F(RegistryTest, SecurityDescriptorRoundTrips) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Sec");
    // Self-relative: owner S-1-5-18 at 20, DACL (empty, 8 bytes) at 32.
    std::vector<BYTE> sd = {1, 0, 0x04, 0x80, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0,
                            1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0, 2, 0, 8, 0, 0, 0, 0, 0};
    ASSERT_EQ(0, RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, sd.data()));
    DWORD cb = 4;
    std::vector<BYTE> out(64);
    EXPECT_EQ(122, RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, out.data(), &cb));
    EXPECT_EQ(sd.size(), cb);
    ASSERT_EQ(0, RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, out.data(), &cb));
    out.resize(cb);
    EXPECT_EQ(sd, out);

    std::vector<BYTE> absolute = sd;
    absolute[3] = 0;  // not self-relative
    EXPECT_EQ(1338, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, absolute.data()));
    EXPECT_EQ(87, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr));
}

TEST_F(RegistryTest, CorruptStoreGivesRegistryCorrupt) {
    std::filesystem::create_directories(machine_store_file().parent_path());
    std::ofstream(machine_store_file()) << std::string(4096, 'x');
    HKEY key = nullptr;
    EXPECT_EQ(1015, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, &key));
    EXPECT_EQ(1015, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                    nullptr));
}

TEST_F(RegistryTest, MachineStoreIsWritableOnlyByItsOwner) {
    create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Owner");
    struct stat st{};
    ASSERT_EQ(0, ::stat(machine_store_file().c_str(), &st));
    EXPECT_EQ(0u, st.st_mode & 022);
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the other-user child";
    }
    // Another user can read the store but gets access denied on writes.
    EXPECT_EQ(5, run_child({"drop-privileges-create", "SOFTWARE\\Owner\\Other"}));
}

TEST_F(RegistryTest, TwoProcessesWritingConcurrentlyLoseNothing) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Concurrent");
    const auto a = start_child({"write", "SOFTWARE\\Concurrent", "a", "2000"});
    const auto b = start_child({"write", "SOFTWARE\\Concurrent", "b", "2000"});
    EXPECT_EQ(0, wait_child(a));
    EXPECT_EQ(0, wait_child(b));
    EXPECT_EQ(counts(key).second, 4000u);
}

TEST_F(RegistryTest, KilledWriterLeavesOnlyWholeValues) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Crash");
    const auto child = start_child({"write-big", "SOFTWARE\\Crash", "100000"});
    ASSERT_NE(child, nullptr);
    // Let it commit some values, then kill it in the middle of others.
    for (int i = 0; i < 500 && counts(key).second < 20; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ::kill(static_cast<pid_t>(child->id()), SIGKILL);
    wait_child(child);
    const DWORD values = counts(key).second;
    ASSERT_GE(values, 20u);
    std::vector<BYTE> data(70000);
    for (DWORD i = 0; i < values; ++i) {
        wchar_t name[32];
        DWORD cch = 32;
        DWORD cb = static_cast<DWORD>(data.size());
        ASSERT_EQ(0, RegEnumValueW(key, i, name, &cch, nullptr, nullptr, data.data(), &cb));
        ASSERT_EQ(65536u, cb) << i;
        const BYTE expected = static_cast<BYTE>(std::stoi(std::wstring(name).substr(3)) & 0xFF);
        ASSERT_EQ(data.begin() + cb, std::find_if(data.begin(), data.begin() + cb, [&](BYTE b) { return b != expected; }))
            << i;
    }
    // The store stays writable after the crash.
    EXPECT_EQ(0, set_sz(key, L"after", L"crash"));
}

TEST_F(RegistryTest, SynchronousNotificationBlocksUntilTheChange) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Sync");
    std::atomic<LONG> result{-1};
    std::thread waiter([&] { result = RegNotifyChangeKeyValue(key, false, REG_NOTIFY_CHANGE_LAST_SET, nullptr, false); });
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(-1, result.load());
    // The watch may not be registered yet: keep writing until it returns.
    for (int i = 0; i < 100 && result.load() == -1; ++i) {
        ASSERT_EQ(0, set_sz(key, L"v", std::to_wstring(i)));
        std::this_thread::sleep_for(20ms);
    }
    waiter.join();
    EXPECT_EQ(0, result.load());
}

TEST_F(RegistryTest, NotificationFollowsFilterAndSubtree) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Watch");
    HKEY deep = create(key, L"A\\B");
    struct Case {
        const char* what;
        bool subtree;
        DWORD filter;
        bool change_deep;
        bool expect;
    };
    const Case cases[] = {
        {"value on the key", false, REG_NOTIFY_CHANGE_LAST_SET, false, true},
        {"value, names only", false, REG_NOTIFY_CHANGE_NAME, false, false},
        {"deep value, no subtree", false, REG_NOTIFY_CHANGE_LAST_SET, true, false},
        {"deep value, subtree", true, REG_NOTIFY_CHANGE_LAST_SET, true, true},
    };
    for (const auto& c : cases) {
        auto event = std::make_shared<ChangeEvent>();
        ASSERT_EQ(0, RegNotifyChangeKeyValue(key, c.subtree, c.filter, event, true)) << c.what;
        ASSERT_EQ(0, set_sz(c.change_deep ? deep : key, L"v", L"x")) << c.what;
        EXPECT_EQ(c.expect, event->wait_for(c.expect ? 5000ms : 200ms)) << c.what;
        RegCloseKey(key);  // drops a pending watch (and signals it)
        EXPECT_TRUE(event->is_set()) << c.what;
        key = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Watch");
    }
    auto event = std::make_shared<ChangeEvent>();
    EXPECT_EQ(87, RegNotifyChangeKeyValue(key, false, 0, event, true));
    EXPECT_EQ(87, RegNotifyChangeKeyValue(key, false, REG_NOTIFY_CHANGE_NAME, nullptr, true));
    ASSERT_EQ(0, RegNotifyChangeKeyValue(key, false, REG_NOTIFY_CHANGE_NAME, event, true));
    create(key, L"NewChild");
    EXPECT_TRUE(event->wait_for(5000ms));
}

TEST_F(RegistryTest, NotificationSeesOtherProcesses) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Remote");
    auto event = std::make_shared<ChangeEvent>();
    ASSERT_EQ(0, RegNotifyChangeKeyValue(key, true, REG_NOTIFY_CHANGE_LAST_SET, event, true));
    EXPECT_FALSE(event->wait_for(100ms));
    ASSERT_EQ(0, run_child({"set", "SOFTWARE\\Remote\\Sub", "v", "from child"}));
    EXPECT_TRUE(event->wait_for(5000ms));
    HKEY sub = nullptr;
    ASSERT_EQ(0, open(key, L"Sub", KEY_READ, sub));
    EXPECT_EQ(L"from child", get_sz(sub, L"v"));
}

TEST_F(RegistryTest, AliasedRootsShareMachineKeys) {
    HKEY cls = create(HKEY_CLASSES_ROOT, L".rkx");
    ASSERT_EQ(0, set_sz(cls, nullptr, L"RkFile"));
    HKEY same = nullptr;
    ASSERT_EQ(0, open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.rkx", KEY_READ, same));
    EXPECT_EQ(L"RkFile", get_sz(same, L""));
    // HKCU lives in its own store: nothing of HKLM shows there.
    HKEY user = nullptr;
    EXPECT_EQ(2, RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\.rkx", 0, KEY_READ, &user));
    EXPECT_TRUE(std::filesystem::exists(user_store_file()));
    EXPECT_EQ(0u, user_store_file().string().rfind(root_.path().string(), 0));
}

}  // namespace
}  // namespace rk::sys::reg
