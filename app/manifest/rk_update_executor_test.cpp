#include "app/manifest/rk_update_executor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/download/url_download.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/paths.h"
#include "platform/system/pending_deletes.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace {

using namespace rk::app;
namespace fs = std::filesystem;
namespace http_test = rk::sys::http::test;
// A command list as the tests write it (the list's own strings take
// std::wstring values only explicitly).
using Commands = std::map<std::wstring, std::wstring>;
using rk::sys::test::read_file;

TEST(CRkUpdateExecutor, FormDownloadUrl) {
    const struct {
        const wchar_t* url;
        const wchar_t* affiliate;
        const wchar_t* formed;
    } cases[] = {
        {L"https://dl.corvane.com/dl/affiliates/0/setup.exe", L"77",
         L"https://dl.corvane.com/dl/affiliates//77/setup.exe"},
        {L"https://dl.corvane.com/dl/affiliates/0/setup.exe", L"", L"https://dl.corvane.com/dl/affiliates///setup.exe"},
        // No slash after the marker: the tail stays, the slash still doubles.
        {L"https://dl.corvane.com/downloads/setup.exe", L"77", L"https://dl.corvane.com/downloads//setup.exe"},
        {L"https://dl.corvane.com/dl/x/setup.exe", L"77", L"/"},  // no "s/" at all
        {L"", L"77", L"/"},
        // The first "s/" counts, wherever it is.
        {L"https://a.com/bins/1/2/3", L"9", L"https://a.com/bins//9/2/3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CRkUpdateExecutor::FormDownloadUrl(c.url, c.affiliate), c.formed) << rk::text::wide_to_utf8(c.url);
    }
}

// The test root, its known folders, and an executor over them.
class ExecutorTest : public testing::Test {
protected:
    ExecutorTest() {
        env_->allowed_domain = L"127.0.0.1";
        env_->download_options.ca_file = http_test::dev_root_ca();
        env_->own_image_path = [this] { return rk::sys::wide_path(root_.path() / "bin" / "rkupdatermodule"); };
        env_->is_signed = [this](const rk::sys::File&, const std::wstring&) {
            ++signature_checks_;
            if (during_check_) {
                during_check_();
            }
            return signed_;
        };
        env_->start_process = [](const rk::sys::File& f, const rk::sys::StartOptions& o,
                                 std::unique_ptr<rk::sys::Process>& p) {
            return rk::sys::start_process_from_file(f, o, p);
        };
        env_->schedule_delete = [](const std::wstring& path) { return rk::sys::PendingDeletes().schedule(path); };
        fs::create_directories(root_.path() / "var" / "lib");
        fs::create_directories(root_.path() / "opt");
        fs::create_directories(root_.path() / "bin");
    }

    // An installer script that records its arguments and working folder in
    // that folder, then exits with `code`.
    static std::string script(int code, const std::string& name = "args.txt") {
        return "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + name + "\npwd > cwd.txt\nexit " + std::to_string(code) + "\n";
    }

    // Serves `body` where the formed URL of ".../affiliates/0/setup" points.
    std::wstring serve(const std::string& body) {
        server_.serve("/dl/affiliates//AFF/setup", body);
        return server_.wide_url("/dl/affiliates/0/setup");
    }

    CRkUpdateExecutor& executor(const Commands& commands) {
        executor_ = std::make_unique<CRkUpdateExecutor>(env_);
        StringMap list;
        for (const auto& [key, value] : commands) {
            list.emplace(key, value);
        }
        executor_->SetUpdateCommands(list);
        executor_->SetAffiliateId(L"AFF");
        return *executor_;
    }

    fs::path program_data(const std::string& rest = "") const {
        return rest.empty() ? root_.path() / "var" / "lib" : root_.path() / "var" / "lib" / rest;
    }

    rk::sys::test::TempRoot root_;
    std::shared_ptr<UpdaterEnvironment> env_ = std::make_shared<UpdaterEnvironment>();
    http_test::TestServer server_{http_test::TestServer::Mode::kTls};
    std::unique_ptr<CRkUpdateExecutor> executor_;
    bool signed_ = true;
    int signature_checks_ = 0;
    std::function<void()> during_check_;
};

TEST_F(ExecutorTest, InstallerRunsWithParametersInItsFolder) {
    const std::wstring url = serve(script(3));
    auto& ex = executor({{L"DOWNLOADURL", url},
                         {L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\Corvane"},
                         {L"PARAMS", L"/S --mode \"quiet run\""},
                         {L"VALIDATE", L"TRUE"}});
    rk::logging::test::ScopedLogCapture capture;
    std::wstring detail;
    EXPECT_TRUE(ex.DownloadAndExecuteInstaller(detail));
    EXPECT_EQ(detail, L"executesuccesswithexitcode:3");
    EXPECT_EQ(signature_checks_, 1);
    const fs::path folder = program_data("Corvane");
    EXPECT_TRUE(fs::is_regular_file(folder / "Brightscan_Release.exe"));
    EXPECT_EQ(read_file(folder / "args.txt"), "/S\n--mode\nquiet run\n");
    EXPECT_EQ(read_file(folder / "cwd.txt"), folder.native() + "\n");
    EXPECT_TRUE(capture.logger().Contains(L"Domain 127.0.0.1 is present in download URL"));
    EXPECT_TRUE(capture.logger().Contains(L"Successfully formed download url is: https://127.0.0.1:" +
                                          std::to_wstring(server_.port()) + L"/dl/affiliates//AFF/setup"));
    EXPECT_TRUE(capture.logger().Contains(L"Successfully download the file at: "));
}

// Every way an attempt ends, with its word and its log line.
TEST_F(ExecutorTest, ResultWords) {
    struct FakeProcess : rk::sys::Process {
        rk::DWORD wait_result;
        rk::DWORD code_result;
        rk::DWORD id() const override { return 1; }
        rk::DWORD wait(rk::DWORD) override { return wait_result; }
        rk::DWORD exit_code(rk::DWORD& code) override {
            code = 0;
            return code_result;
        }
        int terminating_signal() const override { return 0; }
    };
    auto fake_starter = [](rk::DWORD wait_result, rk::DWORD code_result) {
        return [=](const rk::sys::File&, const rk::sys::StartOptions&, std::unique_ptr<rk::sys::Process>& p) {
            auto fake = std::make_unique<FakeProcess>();
            fake->wait_result = wait_result;
            fake->code_result = code_result;
            p = std::move(fake);
            return rk::win::kErrorSuccess;
        };
    };
    const std::wstring dest = L"[DIR:CSIDL_COMMON_APPDATA]\\Corvane";
    const std::wstring good = serve(script(0));
    server_.serve("/dl/affiliates//AFF/notaprogram", std::string("\x01\x02garbage", 9));
    server_.serve("/dl/affiliates//AFF/suicide", "#!/bin/sh\nkill -9 $$\n");
    server_.serve("/dl/affiliates//AFF/nointerpreter", "#!/nonexistent/sh\nexit 0\n");
    server_.serve("/dl/affiliates//AFF/msi", script(1603));
    std::wstring refused;  // a port that was just closed
    {
        http_test::TestServer closed(http_test::TestServer::Mode::kTls);
        refused = closed.wide_url("/dl/affiliates/0/setup");
    }
    const auto not_found = rk::text::format(L"downloadfailederror:0x%x",
                                            static_cast<std::uint32_t>(rk::sys::inet_error_from_status(404)));

    const struct {
        const char* name;
        Commands commands;
        bool ok;
        std::wstring detail;
        const wchar_t* logged;  // a fragment, nullptr: no level 1 line
        bool is_signed = true;
        UpdaterEnvironment::ProcessStarter starter = nullptr;
        std::wstring domain = L"127.0.0.1";
    } cases[] = {
        {"exit 0", {{L"DOWNLOADURL", good}, {L"DESTDIR", dest}}, true, L"executesuccesswithexitcode:0", nullptr},
        // Linux keeps the low 8 bits of an exit status: 1603 & 255.
        {"exit 1603", {{L"DOWNLOADURL", server_.wide_url("/dl/affiliates/0/msi")}, {L"DESTDIR", dest}}, true,
         L"executesuccesswithexitcode:67", nullptr},
        {"killed", {{L"DOWNLOADURL", server_.wide_url("/dl/affiliates/0/suicide")}, {L"DESTDIR", dest}}, true,
         L"executesuccesswithexitcode:137", nullptr},
        {"no URL", {{L"DESTDIR", dest}}, false, L"downoadurlempty", nullptr},
        {"empty URL", {{L"DOWNLOADURL", L""}}, false, L"downoadurlempty", nullptr},
        {"other domain", {{L"DOWNLOADURL", good}, {L"DESTDIR", dest}}, false, L"invaliddownloadurl", nullptr, true,
         nullptr, L"dl.corvane.com"},
        {"no marker", {{L"DOWNLOADURL", server_.wide_url("/x/0/setup")}}, false, L"invaliddownloadurl", nullptr},
        {"two missing levels", {{L"DOWNLOADURL", good}, {L"DESTDIR", L"[DIR:CSIDL_PROGRAM_FILESX86]\\a\\b"}}, false,
         L"createdestdirfails:3", L"CreateDirectory failed"},
        {"not found", {{L"DOWNLOADURL", server_.wide_url("/dl/affiliates/0/missing")}, {L"DESTDIR", dest}}, false,
         not_found, L"Failed To Download File: downloadfailederror:0x800c"},
        {"refused", {{L"DOWNLOADURL", refused}, {L"DESTDIR", dest}}, false,
         rk::text::format(L"downloadfailederror:0x%x",
                          static_cast<std::uint32_t>(rk::sys::inet_error_from_winhttp(12029))),
         L"Failed To Download File: downloadfailederror:0x800c"},
        {"unsigned", {{L"DOWNLOADURL", good}, {L"DESTDIR", dest}, {L"VALIDATE", L"TRUE"}}, false,
         L"signaturevalidationfailed", L"IsCorvaneSigned failed for : ", false},
        {"lower-case true skips the check", {{L"DOWNLOADURL", good}, {L"DESTDIR", dest}, {L"VALIDATE", L"true"}},
         true, L"executesuccesswithexitcode:0", nullptr, false},
        {"not a program", {{L"DOWNLOADURL", server_.wide_url("/dl/affiliates/0/notaprogram")}, {L"DESTDIR", dest}},
         false, L"createprocessfailed:193", L"CreateProcess failed: createprocessfailed:193"},
        {"missing interpreter",
         {{L"DOWNLOADURL", server_.wide_url("/dl/affiliates/0/nointerpreter")}, {L"DESTDIR", dest}}, false,
         L"createprocessfailed:2", L"CreateProcess failed: createprocessfailed:2"},
        {"wait fails", {{L"DOWNLOADURL", good}, {L"DESTDIR", dest}}, false, L"waitonprocessfailed",
         L"WaitForSingleObject failed", true, fake_starter(rk::win::kWaitFailed, 0)},
        {"exit code fails", {{L"DOWNLOADURL", good}, {L"DESTDIR", dest}}, false, L"exitcodeprocessfailed:6",
         L"Exit Code process failed: exitcodeprocessfailed:6", true, fake_starter(rk::win::kWaitObject0, 6)},
    };
    const auto real_starter = env_->start_process;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        signed_ = c.is_signed;
        env_->allowed_domain = c.domain;
        env_->start_process = c.starter ? c.starter : real_starter;
        fs::remove_all(program_data("Corvane"));
        rk::logging::test::ScopedLogCapture capture;
        std::wstring detail;
        EXPECT_EQ(executor(c.commands).DownloadAndExecuteInstaller(detail), c.ok);
        EXPECT_EQ(detail, c.detail);
        bool level1 = false;
        for (const auto& e : capture.logger().Entries()) {
            EXPECT_EQ(e.function, L"CRkUpdateExecutor::DownloadAndExecuteInstaller");
            if (e.level == 1) {
                EXPECT_FALSE(level1) << "a second level 1 line";
                level1 = true;
                ASSERT_NE(c.logged, nullptr) << rk::text::wide_to_utf8(e.message);
                EXPECT_EQ(e.message.rfind(c.logged, 0), 0u) << rk::text::wide_to_utf8(e.message);
            }
        }
        EXPECT_EQ(level1, c.logged != nullptr);
        if (c.detail == L"invaliddownloadurl") {
            EXPECT_TRUE(capture.logger().Contains(L"Domain " + c.domain + L" is not present in download URL"));
        }
        if (c.detail == L"signaturevalidationfailed") {
            EXPECT_FALSE(fs::exists(program_data("Corvane/args.txt")));  // never ran
        }
    }
    env_->start_process = real_starter;
}

// Destinations a hostile or broken manifest may name: nothing is written
// outside the macro's folder, links are removed rather than followed, and a
// folder others may write is refused.
TEST_F(ExecutorTest, HostileDestinations) {
    const std::wstring url = serve(script(0));
    const fs::path outside = root_.path() / "outside";
    struct Case {
        const char* name;
        std::wstring rest;                  // after "[DIR:CSIDL_COMMON_APPDATA]\"
        std::function<void()> arrange;      // before the attempt
        std::wstring detail;
        std::string ran_in;                 // below var/lib, when the installer ran
    };
    const auto link = [&](const std::string& at) {
        return [&, at] {
            fs::create_directories(program_data(at).parent_path());
            fs::create_directory_symlink(outside, program_data(at));
        };
    };
    std::vector<Case> cases;
    // ".." at each position, with either separator ('|' stands for both).
    for (const wchar_t separator : {L'\\', L'/'}) {
        for (const std::wstring pattern : {L"..|escape", L"Corvane|..|..|escape", L"Corvane|x|..|..|..",
                                           L"..|..|..|escape1", L"Corvane|..|..", L"Corvane|..|..|"}) {
            std::wstring rest = pattern;
            std::replace(rest.begin(), rest.end(), L'|', separator);
            cases.push_back({"climbs", rest, nullptr, L"createdestdirfails:161", ""});
        }
    }
    const Case fixed[] = {
        {"stays inside", L"Corvane\\..\\Setup", nullptr, L"executesuccesswithexitcode:0", "Setup"},
        {"link at the folder", L"Corvane", link("Corvane"), L"executesuccesswithexitcode:0", "Corvane"},
        {"link above the folder", L"Corvane\\Setup", link("Corvane"), L"executesuccesswithexitcode:0",
         "Corvane/Setup"},
        {"link below a real folder", L"Corvane\\Setup", link("Corvane/Setup"), L"executesuccesswithexitcode:0",
         "Corvane/Setup"},
        {"folder others may write", L"Corvane",
         [&] {
             fs::create_directories(program_data("Corvane"));
             fs::permissions(program_data("Corvane"), fs::perms::all);
         },
         L"createdestdirfails:5", ""},
    };
    cases.insert(cases.end(), std::begin(fixed), std::end(fixed));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + rk::text::wide_to_utf8(c.rest));
        fs::remove_all(program_data("Corvane"));
        fs::remove_all(program_data("Setup"));
        fs::remove_all(outside);
        fs::remove_all(root_.path() / "escape");
        fs::remove_all(root_.path() / "escape1");
        fs::create_directories(outside);
        if (c.arrange) {
            c.arrange();
        }
        std::wstring detail;
        auto& ex = executor({{L"DOWNLOADURL", url}, {L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\" + c.rest}});
        EXPECT_EQ(ex.DownloadAndExecuteInstaller(detail), !c.ran_in.empty());
        EXPECT_EQ(detail, c.detail);
        EXPECT_TRUE(fs::is_empty(outside));
        EXPECT_FALSE(fs::exists(root_.path() / "escape"));
        EXPECT_FALSE(fs::exists(root_.path() / "escape1"));
        if (!c.ran_in.empty()) {
            EXPECT_FALSE(fs::is_symlink(program_data(c.ran_in)));
            EXPECT_EQ(read_file(program_data(c.ran_in) / "cwd.txt"), program_data(c.ran_in).native() + "\n");
        }
        // DELETE never reaches outside the macro's folder either.
        fs::create_directories(root_.path() / "escape");
        executor({{L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\" + c.rest}, {L"DELETE", L"TRUE"}}).DeleteIfNeeded();
        EXPECT_TRUE(fs::exists(root_.path() / "escape"));
        EXPECT_TRUE(fs::exists(root_.path() / "var" / "lib"));
    }
}

// The installer that runs is the file that was checked, in the folder that
// was checked: another file swapped in under its name, or a link to another
// folder swapped in for its folder, during the check changes nothing.
TEST_F(ExecutorTest, SwapsAfterTheCheckChangeNothing) {
    const std::wstring url = serve(script(4));
    const fs::path folder = program_data("Corvane");
    const fs::path moved = program_data("moved");
    const fs::path outside = root_.path() / "outside";
    struct Case {
        const char* name;
        std::function<void()> swap;
        fs::path ran_in;
    };
    const Case cases[] = {
        {"another file under the installer's name",
         [&] {
             std::ofstream(folder / "other", std::ios::binary) << script(9, "swapped.txt");
             fs::permissions(folder / "other", fs::perms::owner_all);
             fs::rename(folder / "other", folder / "Brightscan_Release.exe");
         },
         folder},
        {"a link to another folder in the folder's place",
         [&] {
             fs::rename(folder, moved);
             fs::create_directory_symlink(outside, folder);
         },
         moved},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::remove_all(moved);
        fs::remove_all(outside);
        fs::create_directories(outside);
        during_check_ = c.swap;
        std::wstring detail;
        auto& ex = executor({{L"DOWNLOADURL", url},
                             {L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\Corvane"},
                             {L"VALIDATE", L"TRUE"}});
        EXPECT_TRUE(ex.DownloadAndExecuteInstaller(detail));
        EXPECT_EQ(detail, L"executesuccesswithexitcode:4");
        EXPECT_TRUE(fs::exists(c.ran_in / "args.txt"));
        EXPECT_EQ(read_file(c.ran_in / "cwd.txt"), c.ran_in.native() + "\n");
        EXPECT_FALSE(fs::exists(c.ran_in / "swapped.txt"));
        EXPECT_TRUE(fs::is_empty(outside));
    }
}

TEST_F(ExecutorTest, MissingDestinationUsesInstallerFolderBesideTheUpdater) {
    const std::wstring url = serve(script(0));
    for (const wchar_t* dest : {L"", L"NoBackslash", L"[DIR:CSIDL_UNKNOWN]\\x"}) {
        Commands commands{{L"DOWNLOADURL", url}};
        if (*dest != 0) {
            commands[L"DESTDIR"] = dest;
        }
        std::wstring detail;
        EXPECT_TRUE(executor(commands).DownloadAndExecuteInstaller(detail)) << rk::text::wide_to_utf8(detail);
        EXPECT_TRUE(fs::is_regular_file(root_.path() / "bin" / "Installer" / "Brightscan_Release.exe"));
        fs::remove_all(root_.path() / "bin" / "Installer");
    }
    env_->own_image_path = [] { return std::wstring(); };
    std::wstring detail = L"before";
    EXPECT_FALSE(executor({{L"DOWNLOADURL", url}}).DownloadAndExecuteInstaller(detail));
    EXPECT_EQ(detail, L"before");  // the image path cannot be read: detail unchanged
}

TEST_F(ExecutorTest, CommandLineIsCutAt259Characters) {
    const std::wstring url = serve(script(0));
    std::wstring seen;
    env_->before_start = [&](const rk::sys::StartOptions& o) {
        seen = o.command_line;
        EXPECT_TRUE(o.hidden);
        return false;  // stop there
    };
    std::wstring detail;
    auto& ex = executor({{L"DOWNLOADURL", url}, {L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\C"},
                         {L"PARAMS", std::wstring(400, L'p')}});
    EXPECT_FALSE(ex.DownloadAndExecuteInstaller(detail));
    EXPECT_EQ(detail, L"downloadsuccess");
    EXPECT_EQ(seen.size(), 259u);
    const std::wstring file = rk::sys::wide_path(program_data()) + L"\\C\\Brightscan_Release.exe";
    EXPECT_EQ(seen.rfind(L"\"" + file + L"\" ppp", 0), 0u);

    // No parameters: a trailing blank.
    auto& bare = executor({{L"DOWNLOADURL", url}, {L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\C"}});
    EXPECT_FALSE(bare.DownloadAndExecuteInstaller(detail));
    EXPECT_EQ(seen, L"\"" + file + L"\" ");
}

TEST_F(ExecutorTest, ResolveDestDir) {
    const std::wstring var_lib = rk::sys::wide_path(program_data());
    const std::wstring opt = rk::sys::wide_path(root_.path() / "opt");
    const struct {
        const wchar_t* dest;
        std::wstring resolved;
    } cases[] = {
        {L"[DIR:CSIDL_COMMON_APPDATA]\\Corvane\\Setup", var_lib + L"\\Corvane\\Setup"},
        {L"[DIR:CSIDL_PROGRAM_FILESX86]\\Corvane", opt + L"\\Corvane"},
        {L"[DIR:CSIDL_PROGRAM_FILES_COMMON]\\x", opt + L"/common\\x"},
        {L"[DIR:CSIDL_WINDOWS]\\", rk::sys::wide_path(root_.path() / "usr") + L"\\"},
        {L"[DIR:CSIDL_COMMON_APPDATA]", L""},  // no backslash
        {L"[dir:CSIDL_COMMON_APPDATA]\\x", L""},  // macros are case-sensitive
        {L"C:\\Corvane", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(executor({{L"DESTDIR", c.dest}}).ResolveDestDir(), c.resolved) << rk::text::wide_to_utf8(c.dest);
    }
}

// Only when asked, the tree goes, a link in it removed rather than followed.
// A folder whose name begins with a dot is not entered, so its parent cannot
// go now: it is scheduled for the next start.
TEST_F(ExecutorTest, DeleteIfNeededRemovesTheTreeOnlyWhenAsked) {
    const fs::path dest = program_data("Corvane");
    fs::create_directories(dest / "sub" / "deeper");
    std::ofstream(dest / "a.txt") << "a";
    std::ofstream(dest / "sub" / "deeper" / "ro.txt") << "ro";
    ::chmod((dest / "sub" / "deeper" / "ro.txt").c_str(), 0444);
    ::chmod((dest / "sub" / "deeper").c_str(), 0555);
    const fs::path outside = root_.path() / "outside";
    fs::create_directories(outside);
    std::ofstream(outside / "keep.txt") << "keep";
    fs::create_directory_symlink(outside, dest / "link");

    const struct {
        const char* name;
        Commands commands;
    } not_asked[] = {
        {"no DELETE", {{L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\Corvane"}}},
        {"lower-case true",
         {{L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\Corvane"}, {L"DELETE", L"true"}}},
        {"unknown macro", {{L"DESTDIR", L"[DIR:CSIDL_NOPE]\\Corvane"}, {L"DELETE", L"TRUE"}}},
        {"no DESTDIR", {{L"DELETE", L"TRUE"}}},
        {"missing folder",
         {{L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\Gone"}, {L"DELETE", L"TRUE"}}},
    };
    for (const auto& c : not_asked) {
        EXPECT_FALSE(executor(c.commands).DeleteIfNeeded()) << c.name;
        EXPECT_TRUE(fs::exists(dest / "a.txt")) << c.name;
    }
    // A root-like path is refused even when asked directly.
    executor({}).DeleteDirectoryTree(L"C:\\");
    EXPECT_TRUE(fs::exists(dest / "a.txt"));

    rk::logging::test::ScopedLogCapture capture;
    auto& ex = executor({{L"DESTDIR", L"[DIR:CSIDL_COMMON_APPDATA]\\Corvane"}, {L"DELETE", L"TRUE"}});
    EXPECT_TRUE(ex.DeleteIfNeeded());
    EXPECT_FALSE(fs::exists(dest));
    EXPECT_TRUE(fs::exists(outside / "keep.txt"));
    ASSERT_EQ(capture.logger().Entries().size(), 1u);
    EXPECT_EQ(capture.logger().Entries()[0].level, 1u);
    EXPECT_EQ(capture.logger().Entries()[0].message,
              L"Deleted the destination directory: " + rk::sys::wide_path(program_data()) + L"\\Corvane");

    fs::create_directories(dest / ".cache");
    std::ofstream(dest / ".cache" / "x") << "x";
    std::ofstream(dest / "a.txt") << "a";
    EXPECT_TRUE(ex.DeleteIfNeeded());
    EXPECT_FALSE(fs::exists(dest / "a.txt"));
    EXPECT_TRUE(fs::exists(dest / ".cache" / "x"));
    const std::string list = read_file(rk::sys::PendingDeletes::default_list_file());
    EXPECT_NE(list.find(dest.native() + "\n"), std::string::npos) << list;
}

}  // namespace
