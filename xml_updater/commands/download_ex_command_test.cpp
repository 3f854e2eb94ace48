// DOWNLOADEX end to end: documents run by the engine against a private nginx
// (conditional and range requests, a process killed mid-download and run
// again) and against the test server (every failure of the command).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "platform/system/http/test/test_server.h"
#include "platform/system/paths.h"
#include "platform/system/test/command.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/test/engine_test_support.h"
#include "xml_updater/updater.h"
#include "xml_updater/web_cache/test/fault_server.h"
#include "xml_updater/web_cache/test/nginx_server.h"
#include "xml_updater/web_cache/test/recording_retry_clock.h"

extern char** environ;

namespace XMLUpdater::v2 {
namespace {

namespace fs = std::filesystem;
using rk::sys::http::test::TestServer;
using web_cache::test::NginxServer;

std::string random_bytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) {
        c = static_cast<char>(generator());
    }
    return bytes;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string fixture(const char* name) {
    return read_file(fs::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "fixtures" / name);
}

std::string document(const std::string& attributes) {
    return "<UPDATEARRAY><UPDATE><UPDATECOMMANDS><DOWNLOADEX " + attributes +
           "/></UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
}

struct Report {
    std::string call;  // "begin", "progress", "end", "pipe"
    std::wstring id;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    int status = 0;
};

class RecordingProgress : public progress_manager_ex {
public:
    void begin(const std::wstring& id, const std::wstring&) override { reports.push_back({"begin", id}); }
    void progress(const std::wstring& id, std::uint64_t done, std::uint64_t total, std::uint64_t) override {
        reports.push_back({"progress", id, done, total});
    }
    void end(const std::wstring& id, int status, const std::wstring&) override {
        reports.push_back({"end", id, 0, 0, status});
    }
    void set_pipe_name(const std::wstring& name) override { reports.push_back({"pipe", name}); }
    std::vector<Report> reports;
};

class PlainProgress : public progress_manager {
public:
    void begin(const std::wstring&, const std::wstring&) override { ++calls; }
    void progress(const std::wstring&, std::uint64_t, std::uint64_t, std::uint64_t) override { ++calls; }
    void end(const std::wstring&, int, const std::wstring&) override { ++calls; }
    int calls = 0;
};

using FakeClock = web_cache::test::RecordingRetryClock;

class DownloadEx : public testing::Test {
protected:
    void SetUp() override { NHttp::SetTrustAnchors(rk::sys::http::test::dev_root_ca()); }
    void TearDown() override { NHttp::SetTrustAnchors({}); }

    // A fresh engine with `progress` runs one document.
    bool run(const std::string& doc, std::shared_ptr<progress_manager> progress = nullptr) {
        logger_ = std::make_shared<test::RecordingLogger>();
        CUpdater updater;
        if (!updater.Initialize(std::make_shared<test::FakeSender>(), false, logger_, std::move(progress), nullptr)) {
            return false;
        }
        updater.SetRetryClock(clock_);
        int exit_code = 0;
        return updater.ExecuteUpdate(test::bytes(doc), doc.size(), exit_code) == kUpdateOk;
    }
    bool logged(const std::wstring& text) const { return logger_->Dump().find(text) != std::wstring::npos; }
    fs::path dest() const { return root_.path() / "dest"; }
    std::string dest_attr() const { return "DestDir=\"" + dest().string() + "\""; }

    rk::sys::test::TempRoot root_;
    std::shared_ptr<test::RecordingLogger> logger_;
    std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>();
};

TEST_F(DownloadEx, ConditionalAndRangeRequestsAgainstNginx) {
    NginxServer nginx;
    if (!nginx.available()) {
        GTEST_SKIP() << nginx.why();
    }
    const std::string first = random_bytes(300000, 1);
    nginx.put("/data/a.bin", first, 120);
    const std::string doc = document("Location=\"" + nginx.url("/data/a.bin") + "\" " + dest_attr() + " id=\"a\"");
    auto progress = std::make_shared<RecordingProgress>();

    ASSERT_TRUE(run(doc, progress)) << rk::text::wide_to_utf8(logger_->Dump());
    EXPECT_TRUE(read_file(dest() / "a.bin") == first);
    EXPECT_TRUE(fs::exists(dest() / "a.bin.skvs"));
    ASSERT_GE(progress->reports.size(), 3u);
    EXPECT_EQ(progress->reports.front().call, "begin");
    EXPECT_EQ(progress->reports.front().id, L"a");
    EXPECT_EQ(progress->reports[progress->reports.size() - 2].done, first.size());
    EXPECT_EQ(progress->reports[progress->reports.size() - 2].total, first.size());
    EXPECT_EQ(progress->reports.back().call, "end");
    EXPECT_EQ(progress->reports.back().status, 0);

    ASSERT_TRUE(run(doc));  // unchanged: revalidated, no body
    const std::string changed = random_bytes(250000, 2);
    nginx.put("/data/a.bin", changed, 30);
    ASSERT_TRUE(run(doc));  // changed on the server: fetched again
    EXPECT_TRUE(read_file(dest() / "a.bin") == changed);

    // A download cut at half with a strong validator resumes; with a weak
    // one it is revalidated (and nginx sends it whole).
    fs::resize_file(dest() / "a.bin", changed.size() / 2);
    ASSERT_TRUE(run(doc));
    EXPECT_TRUE(read_file(dest() / "a.bin") == changed);
    nginx.put("/weak/w.bin", first);
    const std::string weak = document("Location=\"" + nginx.url("/weak/w.bin") + "\" " + dest_attr());
    ASSERT_TRUE(run(weak));
    fs::resize_file(dest() / "w.bin", first.size() / 2);
    ASSERT_TRUE(run(weak));
    EXPECT_TRUE(read_file(dest() / "w.bin") == first);

    const auto log = nginx.access_log();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0].status, 200);
    EXPECT_EQ(log[0].body_bytes, first.size());
    EXPECT_EQ(log[1].status, 304);
    EXPECT_EQ(log[1].body_bytes, 0u);
    EXPECT_FALSE(log[1].if_none_match.empty());
    EXPECT_FALSE(log[1].if_modified_since.empty());
    EXPECT_EQ(log[2].status, 200);
    EXPECT_EQ(log[2].if_none_match, log[1].if_none_match);
    EXPECT_EQ(log[3].status, 206);
    EXPECT_EQ(log[3].range, "bytes=" + std::to_string(changed.size() / 2) + "-");
    EXPECT_FALSE(log[3].if_range.empty());
    EXPECT_EQ(log[3].body_bytes, changed.size() - changed.size() / 2);
    EXPECT_EQ(log[5].if_none_match, "W/\"weak-1\"");
    EXPECT_TRUE(log[5].range.empty());
    EXPECT_EQ(log[5].status, 200);
}

// rkctl runs the document in a child process that is killed (SIGKILL) in
// the middle of the transfer; a second run resumes and the file is the
// server's, byte for byte.
TEST_F(DownloadEx, KilledMidTransferResumesByteIdentical) {
    NginxServer nginx(4 * 1024 * 1024);
    if (!nginx.available()) {
        GTEST_SKIP() << nginx.why();
    }
    const std::string content = random_bytes(6 * 1024 * 1024, 3);
    nginx.put("/slow/big.bin", content);
    const fs::path doc = root_.path() / "doc.xml";
    std::ofstream(doc) << document("Location=\"" + nginx.url("/slow/big.bin") + "\" " + dest_attr());
    const std::string ca = rk::sys::http::test::dev_root_ca().string();
    auto start = [&] {
        std::vector<std::string> args = {RKCTL_PATH, "xml", "--quiet", "--ca-file", ca, doc.string()};
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        EXPECT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    };
    const pid_t first = start();
    const fs::path data = dest() / "big.bin";
    std::error_code ec;
    const auto size_now = [&] { return fs::exists(data, ec) ? fs::file_size(data, ec) : 0; };
    for (int i = 0; i < 2000 && size_now() < 1024 * 1024; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(first, SIGKILL);
    int status = 0;
    ::waitpid(first, &status, 0);
    const auto cut = fs::file_size(data);
    ASSERT_GT(cut, 0u);
    ASSERT_LT(cut, content.size());

    // What an operator sees before the rerun, and for a damaged store.
    const std::string show = std::string(RKCTL_PATH) + " cache show '" + data.string() + "'";
    const auto [code, shown] = rk::sys::test::run_command(show);
    EXPECT_EQ(code, 0);
    EXPECT_NE(shown.find("next fetch: resumes at byte " + std::to_string(cut) + " of " +
                         std::to_string(content.size())),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("  Range: bytes=" + std::to_string(cut) + "-"), std::string::npos) << shown;

    const pid_t second = start();
    ::waitpid(second, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(read_file(data) == content);
    const auto log = nginx.access_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].status, 206);
    EXPECT_EQ(log[1].range, "bytes=" + std::to_string(cut) + "-");
    EXPECT_EQ(log[1].body_bytes, content.size() - cut);

    fs::resize_file(data.string() + ".skvs", 40);
    const auto [damaged_code, damaged] = rk::sys::test::run_command(show);
    EXPECT_EQ(damaged_code, 1);
    EXPECT_NE(damaged.find("Serialization version number incorrect (possible i/o error or corrupt file)"),
              std::string::npos)
        << damaged;
}

TEST_F(DownloadEx, FailuresDeleteRejectedFilesAndSayWhy) {
    TestServer server(TestServer::Mode::kTls);
    const auto serve = [&](const std::string& path, const std::string& body) {
        rk::sys::http::test::Resource resource;
        resource.body = body;
        resource.etag = "\"" + path + "\"";
        server.serve(path, resource);
    };
    serve("/signed.exe", fixture("pe-signed.exe"));
    serve("/unsigned.EXE", fixture("pe-unsigned.exe"));
    serve("/tool", fixture("elf-unsigned"));
    serve("/signed-tool", fixture("elf-signed"));
    serve("/notes.txt", "hello");
    const std::string url = server.url("");
    const std::string md5_hello = "5D41402ABC4B2A76B9719D911017C592";  // MD5("hello"), in capitals
    const struct {
        const char* name;
        std::string attributes;
        bool ok;
        const char* kept;  // file left in DestDir, or null
        std::wstring logged;
    } cases[] = {
        {"signed program", "Location=\"" + url + "/signed.exe\"", true, "signed.exe", L""},
        {"unsigned program, capital extension", "Location=\"" + url + "/unsigned.EXE\"", false, nullptr,
         L"Failed to validate Corvane signature on '" + rk::text::utf8_to_wide(dest().string()) +
             L"\\unsigned.EXE'; file was deleted"},
        {"unsigned ELF without extension", "Location=\"" + url + "/tool\"", false, nullptr,
         L"Failed to validate Corvane signature on"},
        {"signed ELF", "Location=\"" + url + "/signed-tool\"", true, "signed-tool", L""},
        {"text, no check", "Location=\"" + url + "/notes.txt\"", true, "notes.txt", L""},
        {"renamed by DestFile", "Location=\"" + url + "/notes.txt\" DestFile=\"other.txt\"", true, "other.txt", L""},
        {"MD5 prefix in capitals", "Location=\"" + url + "/notes.txt\" MD5=\"" + md5_hello.substr(0, 12) + "\"", true,
         "notes.txt", L""},
        {"MD5 mismatch", "Location=\"" + url + "/notes.txt\" MD5=\"00\"", false, nullptr,
         L"Unable to verify MD5, deleting file:"},
        {"no Location", "", false, nullptr, L"Required parameter 'Location' is missing"},
        {"not http", "Location=\"ftp://127.0.0.1/x\"", false, nullptr, L"WinHttp: Failed to crack URL"},
        {"name leaves DestDir", "Location=\"" + url + "/notes.txt\" DestFile=\"..\\escape.txt\"", false, nullptr,
         L"Invalid file name '..\\escape.txt'"},
        {"404", "Location=\"" + url + "/missing.bin\"", false, nullptr,
         L"HTTP transaction failed: WinHttp: Unexpected status code (404): Unexpected status code"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dest());
        EXPECT_EQ(run(document(c.attributes + " " + dest_attr())), c.ok) << rk::text::wide_to_utf8(logger_->Dump());
        std::vector<std::string> left;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dest(), ec)) {
            left.push_back(entry.path().filename().string());
        }
        std::sort(left.begin(), left.end());
        const std::vector<std::string> expected =
            c.kept ? std::vector<std::string>{c.kept, std::string(c.kept) + ".skvs"} : std::vector<std::string>{};
        if (c.ok || c.logged.find(L"deleted") != std::wstring::npos || c.logged.find(L"deleting") != std::wstring::npos) {
            EXPECT_EQ(left, expected);
        }
        EXPECT_FALSE(fs::exists(root_.path() / "escape.txt"));
        if (!c.logged.empty()) {
            EXPECT_TRUE(logged(c.logged)) << rk::text::wide_to_utf8(logger_->Dump());
        }
    }
    EXPECT_TRUE(clock_->sleeps.empty());
}

TEST_F(DownloadEx, ProgressGoesToExtendedManagersOnlyAndNeedsAnId) {
    TestServer server(TestServer::Mode::kTls);
    server.serve("/f.txt", std::string(200000, 'x'));
    const std::string location = "Location=\"" + server.url("/f.txt") + "\" " + dest_attr();

    auto ex = std::make_shared<RecordingProgress>();
    ASSERT_TRUE(run(document(location + " ProgressPipeName=\"\\\\.\\pipe\\rk\""), ex));
    ASSERT_EQ(ex->reports.size(), 1u);  // no id: only the pipe name
    EXPECT_EQ(ex->reports[0].call, "pipe");
    fs::remove_all(dest());
    ASSERT_TRUE(run(document(location + " id=\"f\" ProgressPipeName=\"\\\\.\\pipe\\rk\""), ex));
    ASSERT_GE(ex->reports.size(), 4u);
    EXPECT_EQ(ex->reports[0].call, "pipe");
    EXPECT_EQ(ex->reports[0].id, L"\\\\.\\pipe\\rk");
    EXPECT_EQ(ex->reports[1].call, "pipe");
    EXPECT_EQ(ex->reports[2].call, "begin");
    EXPECT_EQ(ex->reports.back().call, "end");

    auto plain = std::make_shared<PlainProgress>();
    fs::remove_all(dest());
    ASSERT_TRUE(run(document(location + " id=\"f\" ProgressPipeName=\"p\""), plain));
    EXPECT_EQ(plain->calls, 0);
    EXPECT_TRUE(logged(L"No progress_manager_ex instance.Progress information on DownloadEx will not be reported."));
}

// rkctl xml with its standard error on a pseudo-terminal or a pipe: what it
// writes there, and its exit code.
std::pair<std::string, int> rkctl_stderr(std::vector<std::string> args, bool terminal) {
    int reader = -1;
    int child_end = -1;
    if (terminal) {
        reader = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (reader < 0 || ::grantpt(reader) != 0 || ::unlockpt(reader) != 0) {
            return {"no pseudo-terminal", -1};
        }
        child_end = ::open(::ptsname(reader), O_RDWR | O_NOCTTY);  // held, so reads never see a hang-up
    } else {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return {"no pipe", -1};
        }
        reader = fds[0];
        child_end = fds[1];
    }
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, child_end, 2);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const bool spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!terminal) {
        ::close(child_end);
    }
    std::string text;
    int status = -1;
    bool exited = !spawned;
    for (int waited = 0; !exited && waited < 600; ++waited) {  // 60 s at most
        pollfd ready{reader, POLLIN, 0};
        if (::poll(&ready, 1, 100) > 0 && (ready.revents & POLLIN) != 0) {
            char buffer[4096];
            const ssize_t got = ::read(reader, buffer, sizeof buffer);
            text.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
        }
        exited = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    if (!exited) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::fcntl(reader, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t got; (got = ::read(reader, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(reader);
    if (terminal) {
        ::close(child_end);
    }
    return {text, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST_F(DownloadEx, RkctlDrawsProgressOnlyOnATerminalAndNotWhenQuiet) {
    TestServer server(TestServer::Mode::kTls);
    server.serve("/p.bin", std::string(3 * 1024 * 1024, 'p'));
    const fs::path doc = root_.path() / "doc.xml";
    std::ofstream(doc) << document("Location=\"" + server.url("/p.bin") + "\" id=\"p\" " + dest_attr());
    const std::string ca = rk::sys::http::test::dev_root_ca().string();
    const struct {
        const char* name;
        bool terminal;
        bool quiet;
    } cases[] = {{"terminal", true, false}, {"terminal, --quiet", true, true}, {"pipe", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dest());
        std::vector<std::string> args = {RKCTL_PATH, "xml", "--ca-file", ca, doc.string()};
        if (c.quiet) {
            args.insert(args.begin() + 2, "--quiet");
        }
        const auto [shown, code] = rkctl_stderr(args, c.terminal);
        EXPECT_EQ(code, 0) << shown;
        EXPECT_EQ(fs::file_size(dest() / "p.bin"), 3u * 1024 * 1024);
        if (c.terminal && !c.quiet) {
            EXPECT_NE(shown.find("\rp 100% [##############################] 3.0 MiB / 3.0 MiB"), std::string::npos)
                << shown;
            EXPECT_EQ(shown.rfind("\rp 0.0 MiB", 0), 0u) << shown;  // begin: the length is not known yet
            EXPECT_NE(shown.find("p done"), std::string::npos) << shown;
        } else {
            EXPECT_EQ(shown, "");
        }
    }
}

TEST_F(DownloadEx, RefusedConnectionsRunTheRetryScheduleThenFail) {
    const std::string location =
        "https://127.0.0.1:" + std::to_string(rk::sys::http::test::closed_port()) + "/file.bin";
    auto progress = std::make_shared<RecordingProgress>();
    EXPECT_FALSE(run(document("Location=\"" + location + "\" id=\"r\" " + dest_attr()), progress));
    EXPECT_EQ(clock_->sleeps, (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(5000),
                                                                      std::chrono::milliseconds(10000)}));
    EXPECT_TRUE(logged(L"'http_robo_fetch() tried 3 times to complete HTTP transaction: "
                       L"A connection with the server could not be established' [winhttp_category:0x2efd]"))
        << rk::text::wide_to_utf8(logger_->Dump());
    ASSERT_FALSE(progress->reports.empty());
    EXPECT_EQ(progress->reports.back().call, "end");
    EXPECT_EQ(progress->reports.back().status, 7);
}

}  // namespace
}  // namespace XMLUpdater::v2
