#include "script_host/plugins/system_plugin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/process/command_line.h"
#include "platform/system/process/process.h"
#include "platform/system/test/temp_root.h"
#include "platform/system/version/test/pe_fixtures.h"
#include "platform/text/guid.h"
#include "platform/text/format.h"
#include "script_host/plugins/test/plugin_calls.h"

namespace Corvane::Script {
namespace {

namespace fs = std::filesystem;
using namespace test;

rk::sys::EnvLookup env_of(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> std::optional<std::string> {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

class SystemPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_.path() / "w/d");
        std::ofstream(root_.path() / "w/a.txt") << "caf\xC3\xA9";
        std::ofstream(root_.path() / "w/b.txt") << "B";
    }
    std::wstring root() const { return root_.path().wstring(); }

    rk::sys::test::TempRoot root_;
    rk::logging::test::ScopedLogCapture log_;
    CSystemPlugin plugin_{nullptr, env_of({{"HOME", "/home/ann"}, {"LANG", "en_US.UTF-8"}})};
};

TEST_F(SystemPlugin, KnownFoldersByMacroAndByGuid) {
    const std::wstring home = root() + L"/home/ann";
    const struct {
        const wchar_t* argument;
        std::wstring expected;
    } cases[] = {
        {L"$(FOLDERID_ProgramData)\\Corvane\\ClientAnalytics", root() + L"/var/lib\\Corvane\\ClientAnalytics"},
        {L"$(FOLDERID_Profile)", home},
        {L"$(FOLDERID_Nope)\\x", L"$(FOLDERID_Nope)\\x"},  // a macro, though unknown
        {L"{62AB5D82-FDC1-4DC3-A9DD-070D1D495D97}", root() + L"/var/lib"},
        {L"{f1b32785-6fba-4fcf-9d55-7b8e7f157091}", home + L"/.local/share"},
        {L"{FDD39AD0-238F-46AF-ADB4-6C85480369C7}", home + L"/Documents"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(call(plugin_, L"GetKnownFolder", {S(c.argument)}), S(c.expected)) << c.argument;
    }
    for (const wchar_t* bad : {L"", L"C:\\plain\\path", L"62AB5D82-FDC1-4DC3-A9DD-070D1D495D97",
                               L"{374DE290-123F-4565-9164-39C4925E467B}", L"{not-a-guid}"}) {
        EXPECT_EQ(error_of(plugin_, L"GetKnownFolder", {S(bad)}), "GetKnownFolder failed") << bad;
    }
}

TEST_F(SystemPlugin, MachineFacts) {
    EXPECT_EQ(call(plugin_, L"GetPlatform"), S(L"x64"));
    EXPECT_EQ(call(plugin_, L"GetGeo"), S(L"US"));
    CSystemPlugin no_nation(nullptr, env_of({{"LANG", "C.UTF-8"}}));
    EXPECT_EQ(error_of(no_nation, L"GetGeo"), "GetGeo failed");
    EXPECT_EQ(call(plugin_, L"GetName"), S(L"System Plugin"));
    EXPECT_EQ(call(plugin_, L"GetVersion"), S(L"5"));

    const std::wstring a = call(plugin_, L"CreateGUID").GetString();
    const std::wstring b = call(plugin_, L"CreateGUID").GetString();
    EXPECT_TRUE(rk::win::guid_from_string(a)) << a;
    EXPECT_NE(a, b);
}

TEST_F(SystemPlugin, FilesAndVersions) {
    fs::copy_file(rk::sys::test::pe_fixtures() / "version-1.2.3.4.exe", root_.path() / "w/v.exe");
    EXPECT_EQ(call(plugin_, L"ReadFile", {S(L"C:\\w\\a.txt")}), S(L"caf\u00e9"));
    EXPECT_EQ(call(plugin_, L"ReadFile", {S(L"C:\\w\\missing.txt")}), S(L""));
    EXPECT_EQ(call(plugin_, L"GetFileVersion", {S(L"C:\\w\\v.exe")}), S(L"1.2.3.4"));

    const struct {
        const wchar_t* path;
        const wchar_t* logged;
    } failures[] = {
        {L"", L"Provided file path is empty or null"},
        {L"C:\\w\\a.txt", L"Could not find file version for file: C:\\w\\a.txt"},
        {L"C:\\w\\missing.exe", L"Could not find file version for file: C:\\w\\missing.exe"},
    };
    for (const auto& f : failures) {
        log_.logger().Clear();
        EXPECT_TRUE(call(plugin_, L"GetFileVersion", {S(f.path)}).IsEmpty()) << f.path;
        EXPECT_EQ(log_.logger().Messages(), std::vector<std::wstring>{f.logged}) << f.path;
    }

    EXPECT_EQ(call(plugin_, L"DeleteFile", {S(L"C:\\w\\b.txt")}), B(true));
    EXPECT_EQ(call(plugin_, L"DeleteFile", {S(L"C:\\w\\b.txt")}), B(false));
    EXPECT_EQ(call(plugin_, L"DeleteFile", {S(L"C:\\w\\d")}), B(false));
    EXPECT_EQ(call(plugin_, L"DeleteFolder", {S(L"C:\\w\\d")}), B(true));
    EXPECT_FALSE(fs::exists(root_.path() / "w/d"));
}

TEST_F(SystemPlugin, MoveFlagsAndFailures) {
    const struct {
        const char* what;
        std::vector<ScriptVariable> options;
        std::uint32_t flags;
        std::vector<std::wstring> logged;
    } cases[] = {
        {"no options", {}, 0, {}},
        {"null options", {ScriptVariable()}, 0, {}},
        {"words", {S(L"replaceexisting|writethrough")}, 0x9, {}},
        {"any case, blanks, an unknown word",
         {S(L"CopyAllowed | REPLACEEXISTING|bogus")},
         0x3,
         {L"Unknown Move flag 'bogus' was ignored"}},
        {"integer as it stands", {I(0x9)}, 0x9, {}},
        {"boolean", {B(true)}, 0, {L"Invalid type (2) for options: Move operation will use defaults (0)"}},
    };
    for (const auto& c : cases) {
        std::ofstream(root_.path() / "w/src") << "S";
        log_.logger().Clear();
        std::vector<ScriptVariable> args{S(L"C:\\w\\src"), S(L"C:\\w\\b.txt")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        // The replace flag decides whether the existing b.txt is replaced.
        const bool replaces = (c.flags & 1) != 0;
        EXPECT_EQ(call(plugin_, L"Move", args), B(replaces)) << c.what;
        std::vector<std::wstring> logged = c.logged;
        if (!replaces) {
            logged.push_back(rk::text::format(L"MoveFileEx(C:\\w\\src, C:\\w\\b.txt, %02x) failed with code 0x000000b7",
                                              c.flags));
        }
        EXPECT_EQ(log_.logger().Messages(), logged) << c.what;
        std::ofstream(root_.path() / "w/b.txt") << "B";
    }
    EXPECT_EQ(CSystemPlugin::MoveFlagsFromText(L"delayuntilreboot"), 0x4u);

    // An empty destination is the null new name: delete at reboot, or invalid.
    EXPECT_EQ(call(plugin_, L"Move", {S(L"C:\\w\\a.txt"), S(L""), S(L"delayuntilreboot")}), B(true));
    log_.logger().Clear();
    EXPECT_EQ(call(plugin_, L"Move", {S(L"C:\\w\\a.txt"), S(L"")}), B(false));
    EXPECT_EQ(log_.logger().Messages(),
              std::vector<std::wstring>{L"MoveFileEx(C:\\w\\a.txt, , 00) failed with code 0x00000057"});
}

TEST_F(SystemPlugin, LaunchProcess) {
    const fs::path marker = root_.path() / "w/launched";
    log_.logger().Clear();
    const ScriptVariable pid =
        call(plugin_, L"LaunchProcess", {S(L"/usr/bin/touch"), S(rk::sys::quote_argument(marker.wstring()))});
    ASSERT_EQ(pid.GetType(), ScriptVariableType::kInteger);
    std::unique_ptr<rk::sys::Process> child;
    if (rk::sys::open_process(pid.GetInt(), child) == 0) {
        child->wait(10000);
    }
    for (int i = 0; i < 1000 && !fs::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_EQ(log_.logger().Messages(), std::vector<std::wstring>{L"Deprecated method: LaunchProcess"});

    EXPECT_EQ(error_of(plugin_, L"LaunchProcess", {S(L"")}), "Invalid (empty) path");
    EXPECT_EQ(error_of(plugin_, L"LaunchProcess", {S(L"C:\\w\\no-such-program")}), "LaunchProcess failed");
    log_.logger().Clear();
    EXPECT_TRUE(call(plugin_, L"GetProcessStatus", {I(1)}).IsEmpty());
    EXPECT_TRUE(call(plugin_, L"WaitForProcess").IsEmpty());
    EXPECT_EQ(log_.logger().Messages(),
              (std::vector<std::wstring>{L"Deprecated method: GetProcessStatus", L"Deprecated method: WaitForProcess"}));
}

TEST_F(SystemPlugin, ArgumentChecks) {
    const struct {
        const wchar_t* method;
        std::vector<ScriptVariable> args;
        const char* error;
    } cases[] = {
        {L"GetKnownFolder", {}, "Incorrect number of parameters or invalid types. Number of parameters passed: 0"},
        {L"GetKnownFolder", {I(1)}, "Incorrect number of parameters or invalid types. Number of parameters passed: 1"},
        {L"ReadFile", {B(true)}, "Incorrect number of parameters or invalid types. Number of parameters passed: 1"},
        {L"Move", {S(L"a")}, "Incorrect number of parameters or invalid types. Number of parameters passed: 1"},
        {L"Move", {S(L"a"), I(2)}, "Incorrect number of parameters or invalid types. Number of parameters passed: 2"},
        {L"LaunchProcess", {S(L"a"), I(2)}, "Incorrect number of parameters or invalid types. Number of parameters passed: 2"},
        {L"DeleteFolder", {ScriptVariable()}, "Incorrect number of parameters or invalid types. Number of parameters passed: 1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(error_of(plugin_, c.method, c.args), c.error) << c.method;
    }
}

}  // namespace
}  // namespace Corvane::Script
