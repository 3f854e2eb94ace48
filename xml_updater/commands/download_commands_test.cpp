// DOWNLOAD and DOWNLOADEX end to end: documents run by the engine against a
// private nginx (conditional and range requests, a process killed
// mid-download and run again) and against the test server (the checks that
// delete a refused file, ".bak" on overwrite, every failure, progress reports,
// DestDirs that leave their known folder, a disk that fills mid-download).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "platform/system/http/test/test_server.h"
#include "platform/system/paths.h"
#include "platform/system/process/command_line.h"
#include "platform/system/process/process.h"
#include "platform/system/test/command.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "xml_updater/download_file.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/test/engine_test_support.h"
#include "xml_updater/updater.h"
#include "xml_updater/web_cache/test/fault_server.h"
#include "xml_updater/web_cache/test/nginx_server.h"
#include "xml_updater/web_cache/test/recording_retry_clock.h"

namespace XMLUpdater::v2 {
namespace {

namespace fs = std::filesystem;
using rk::sys::http::test::RawServer;
using rk::sys::http::test::TestServer;
using rk::sys::test::read_file;
using web_cache::test::NginxServer;

std::string random_bytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) {
        c = static_cast<char>(generator());
    }
    return bytes;
}


std::string fixture(const char* name) {
    return read_file(fs::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "fixtures" / name);
}

std::string document(const std::string& attributes, const std::string& command = "DOWNLOADEX") {
    return "<UPDATEARRAY><UPDATE><UPDATECOMMANDS><" + command + " " + attributes +
           "/></UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
}

std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
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

// Calls of a plain progress manager: "b", "p" once for a run of progress
// reports, "e" with the status.
class Ends : public progress_manager {
public:
    void begin(const std::wstring&, const std::wstring&) override { calls += "b"; }
    void progress(const std::wstring&, std::uint64_t, std::uint64_t, std::uint64_t) override {
        if (calls.empty() || calls.back() != 'p') {
            calls += "p";
        }
    }
    void end(const std::wstring&, int status, const std::wstring&) override { calls += "e" + std::to_string(status); }
    std::string calls;
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
    std::vector<int> statuses;
    for (const auto& entry : log) {
        statuses.push_back(entry.status);
    }
    ASSERT_EQ(statuses, (std::vector<int>{200, 304, 200, 206, 200, 200}));
    EXPECT_EQ(log[0].body_bytes, first.size());
    EXPECT_EQ(log[1].body_bytes, 0u);
    EXPECT_FALSE(log[1].if_none_match.empty());
    EXPECT_FALSE(log[1].if_modified_since.empty());
    EXPECT_EQ(log[2].if_none_match, log[1].if_none_match);
    EXPECT_EQ(log[3].range, "bytes=" + std::to_string(changed.size() / 2) + "-");
    EXPECT_FALSE(log[3].if_range.empty());
    EXPECT_EQ(log[3].body_bytes, changed.size() - changed.size() / 2);
    EXPECT_EQ(log[5].if_none_match, "W/\"weak-1\"");
    EXPECT_TRUE(log[5].range.empty());
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
    rk::sys::File null_device;
    ASSERT_EQ(rk::sys::File::open_null_device(null_device), 0u);
    rk::sys::StartOptions options;
    options.command_line = rk::sys::quote_argument(rk::text::utf8_to_wide(RKCTL_PATH)) + L" xml --quiet --ca-file " +
                           rk::sys::quote_argument(rk::text::utf8_to_wide(ca)) + L" " +
                           rk::sys::quote_argument(rk::text::utf8_to_wide(doc.string()));
    options.standard_output = &null_device;
    std::unique_ptr<rk::sys::Process> first;
    ASSERT_EQ(rk::sys::start_process(options, first), 0u);
    const fs::path data = dest() / "big.bin";
    std::error_code ec;
    const auto size_now = [&] { return fs::exists(data, ec) ? fs::file_size(data, ec) : 0; };
    for (int i = 0; i < 2000 && size_now() < 1024 * 1024; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(static_cast<pid_t>(first->id()), SIGKILL);
    first->wait(rk::win::kInfinite);
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

    std::unique_ptr<rk::sys::Process> second;
    ASSERT_EQ(rk::sys::start_process(options, second), 0u);
    second->wait(rk::win::kInfinite);
    rk::DWORD second_code = 1;
    EXPECT_EQ(second->exit_code(second_code), 0u);
    EXPECT_EQ(second_code, 0u);
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

    auto plain = std::make_shared<Ends>();
    fs::remove_all(dest());
    ASSERT_TRUE(run(document(location + " id=\"f\" ProgressPipeName=\"p\""), plain));
    EXPECT_EQ(plain->calls, "");
    EXPECT_TRUE(logged(L"No progress_manager_ex instance.Progress information on DownloadEx will not be reported."));
}

// What `command` writes to its standard error on a pseudo-terminal (given by
// script(1), which copies it out) or on a pipe, and its exit code.
std::pair<std::string, int> stderr_of(const std::string& command, bool terminal) {
    const auto [code, shown] = rk::sys::test::run_command(
        terminal ? "script -qec \"" + command + " >/dev/null\" /dev/null </dev/null" : "{ " + command + " 2>&1 >/dev/null; }");
    return {shown, code};
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
        const std::string command = std::string(RKCTL_PATH) + " xml " + (c.quiet ? "--quiet " : "") + "--ca-file '" + ca +
                                    "' '" + doc.string() + "'";
        const auto [shown, code] = stderr_of(command, c.terminal);
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


// DOWNLOAD against one test server serving every file the tests fetch.
class Download : public DownloadEx {
protected:
    void SetUp() override {
        DownloadEx::SetUp();
        const std::pair<const char*, std::string> files[] = {
            {"/notes.txt", "hello"},
            {"/dir/", "index"},
            {"/signed.exe", fixture("pe-signed.exe")},
            {"/unsigned.EXE", fixture("pe-unsigned.exe")},
            {"/tool", fixture("elf-unsigned")},
            {"/signed-tool", fixture("elf-signed")},
            {"/signed.cab", fixture("cab-signed.cab")},
            {"/big.bin", std::string(3 * 1024 * 1024 + 5, 'b')},
        };
        for (const auto& [path, body] : files) {
            rk::sys::http::test::Resource resource;
            resource.body = body;
            resource.etag = "\"" + std::string(path) + "\"";
            server_.serve(path, resource);
        }
    }
    bool run(const std::string& attributes, std::shared_ptr<progress_manager> progress = nullptr,
             const std::string& command = "DOWNLOAD") {
        return DownloadEx::run(document(attributes, command), std::move(progress));
    }
    std::string url(const std::string& path) const { return "Location=\"" + server_.url(path) + "\" "; }
    std::wstring wdest(const std::wstring& name) const { return rk::sys::wide_path(dest()) + L"\\" + name; }

    TestServer server_{TestServer::Mode::kTls};
};

// DOWNLOAD keeps a replaced file as ".bak" and reports to a plain progress
// manager; DOWNLOADEX keeps its metadata beside the file and reports only to
// an extended one.
TEST_F(Download, ChecksDecideWhatStays) {
    RawServer chunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
    const std::string md5 = "5D41402ABC4B2A76B9719D911017C592";  // MD5("hello") in capitals
    const std::string ex = "DOWNLOADEX";
    const struct {
        std::string command;
        const char* name;
        std::string attributes;
        bool old_file;  // dest/notes.txt exists before, with "old"
        bool ok;
        std::vector<std::string> left;
        std::wstring logged;
        std::string reports;
    } cases[] = {
        {"DOWNLOAD", "text, no check", url("/notes.txt"), false, true, {"notes.txt"}, L"", "bpe0"},
        {"DOWNLOAD", "old file kept as .bak", url("/notes.txt"), true, true, {"notes.txt", "notes.txt.bak"}, L"",
         "bpe0"},
        {"DOWNLOAD", "MD5 prefix in capitals", url("/notes.txt") + "MD5=\"" + md5.substr(0, 9) + "\"", false, true,
         {"notes.txt"}, L"", "bpe0"},
        {"DOWNLOAD", "MD5 mismatch", url("/notes.txt") + "MD5=\"5d41402abc4b2a76b9719d911017c593\"", true, false,
         {"notes.txt.bak"}, L"Unable to verify MD5, deleting file: " + wdest(L"notes.txt"), "bpe8"},
        {"DOWNLOAD", "unsigned program", url("/unsigned.EXE"), false, false, {},
         L"Unable to verify signature, deleting file: " + wdest(L"unsigned.EXE"), "bpe8"},
        {"DOWNLOAD", "signed cabinet", url("/signed.cab"), false, true, {"signed.cab"}, L"", "bpe0"},
        {"DOWNLOAD", "DestFile", url("/notes.txt") + "DestFile=\"renamed.txt\"", false, true, {"renamed.txt"}, L"",
         "bpe0"},
        {"DOWNLOAD", "404 leaves the old file", url("/missing.txt") + "DestFile=\"notes.txt\"", true, false,
         {"notes.txt"}, L"HTTP status (404) error (0), url: " + server_.wide_url("/missing.txt"), "be7"},
        {"DOWNLOAD", "no Content-Length", "Location=\"" + chunked.url("/c.txt") + "\" ", false, false, {},
         L"HTTP query content length (12150), url: " + rk::text::utf8_to_wide(chunked.url("/c.txt")), "be7"},
        {"DOWNLOAD", "no file name in the URL", url("/dir/"), false, false, {}, L"empty filename", "be3"},
        {"DOWNLOAD", "name leaves DestDir", url("/notes.txt") + "DestFile=\"..\\escape.txt\"", false, false, {},
         L"Invalid file name '..\\escape.txt'", "be3"},
        {"DOWNLOAD", "no Location", "", false, false, {},
         L"Unable to read Location and/or DestDir attribute of DOWNLOAD command", ""},
        {ex, "signed program", url("/signed.exe"), false, true, {"signed.exe", "signed.exe.skvs"}, L"", ""},
        {ex, "unsigned program, capital extension", url("/unsigned.EXE"), false, false, {},
         L"Failed to validate Corvane signature on '" + wdest(L"unsigned.EXE") + L"'; file was deleted", ""},
        {ex, "unsigned ELF without extension", url("/tool"), false, false, {},
         L"Failed to validate Corvane signature on '" + wdest(L"tool") + L"'; file was deleted", ""},
        {ex, "signed ELF", url("/signed-tool"), false, true, {"signed-tool", "signed-tool.skvs"}, L"", ""},
        {ex, "text, no check", url("/notes.txt"), false, true, {"notes.txt", "notes.txt.skvs"}, L"", ""},
        {ex, "renamed by DestFile", url("/notes.txt") + "DestFile=\"other.txt\"", false, true,
         {"other.txt", "other.txt.skvs"}, L"", ""},
        {ex, "MD5 prefix in capitals", url("/notes.txt") + "MD5=\"" + md5.substr(0, 12) + "\"", false, true,
         {"notes.txt", "notes.txt.skvs"}, L"", ""},
        {ex, "MD5 mismatch", url("/notes.txt") + "MD5=\"00\"", false, false, {},
         L"Unable to verify MD5, deleting file: " + wdest(L"notes.txt"), ""},
        {ex, "no Location", "", false, false, {}, L"Required parameter 'Location' is missing", ""},
        {ex, "not http", "Location=\"ftp://127.0.0.1/x\" ", false, false, {}, L"WinHttp: Failed to crack URL", ""},
        {ex, "name leaves DestDir", url("/notes.txt") + "DestFile=\"..\\escape.txt\"", false, false, {},
         L"Invalid file name '..\\escape.txt'", ""},
        {ex, "404", url("/missing.bin"), false, false, {},
         L"HTTP transaction failed: WinHttp: Unexpected status code (404): Unexpected status code", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " " + c.name);
        fs::remove_all(dest());
        fs::create_directories(dest());
        if (c.old_file) {
            std::ofstream(dest() / "notes.txt") << "old";
        }
        auto ends = std::make_shared<Ends>();
        EXPECT_EQ(run(c.attributes + dest_attr() + " id=\"d\"", ends, c.command), c.ok)
            << rk::text::wide_to_utf8(logger_->Dump());
        auto left = listing(dest());
        if (c.command == ex && !c.ok) {  // what a failed fetch leaves of its metadata is not checked
            std::erase_if(left, [](const std::string& name) { return name.ends_with(".skvs"); });
        }
        EXPECT_EQ(left, c.left);
        if (c.ok && c.old_file) {
            EXPECT_EQ(read_file(dest() / "notes.txt.bak"), "old");
        }
        // DOWNLOADEX names the failure inside its line about the fetch.
        if (!c.logged.empty()) {
            EXPECT_TRUE(c.command == ex ? logged(c.logged) : logger_->Contains(c.logged))
                << rk::text::wide_to_utf8(logger_->Dump());
        }
        EXPECT_EQ(ends->calls, c.reports);
        EXPECT_FALSE(fs::exists(root_.path() / "escape.txt"));
    }
    EXPECT_TRUE(clock_->sleeps.empty());
}

TEST_F(Download, LinkedDestDirIsReplacedAndItsTargetUntouched) {
    const fs::path target = root_.path() / "elsewhere";
    fs::create_directories(target);
    fs::create_directory_symlink(target, dest());
    ASSERT_TRUE(run(url("/notes.txt") + dest_attr())) << rk::text::wide_to_utf8(logger_->Dump());
    EXPECT_FALSE(fs::is_symlink(dest()));
    EXPECT_EQ(read_file(dest() / "notes.txt"), "hello");
    EXPECT_TRUE(fs::is_empty(target));
}

// Every command that writes into a DestDir reaches it from the known folder
// its text starts in: ".." may not climb out of it (with either separator),
// and a link at any level below it is removed, not followed.
TEST_F(Download, DestDirsStayInsideTheirKnownFolder) {
    const fs::path data = root_.path() / "var" / "lib";
    const fs::path outside = root_.path() / "outside";
    fs::create_directories(data);
    fs::create_directories(outside);
    const fs::path cabinet = root_.path() / "signed.cab";
    std::ofstream(cabinet, std::ios::binary) << fixture("cab-signed.cab");
    const std::pair<const char*, std::string> commands[] = {
        {"DOWNLOAD", url("/notes.txt")},
        {"DOWNLOADEX", url("/notes.txt")},
        {"EXTRACT_CAB_LOCAL", "Source=\"" + cabinet.string() + "\" "},
    };
    struct Case {
        const char* rest;  // after the macro; '|' stands for each separator in turn
        const char* link;  // a link to "outside" planted first, below var/lib
        const char* made;  // the folder written, below var/lib; null: refused
    };
    // The depth counting itself is FileCapability.AbsoluteFolderPathsStayInsideTheirKnownFolder's.
    const Case cases[] = {
        {"|Corvane|..|..|escape", nullptr, nullptr},
        {"|Corvane|..|Setup", nullptr, "Setup"},
        {"|Corvane|x", "Corvane", "Corvane/x"},
    };
    for (const auto& [command, attributes] : commands) {
        for (const char separator : {'\\', '/'}) {
            for (const Case& c : cases) {
                std::string rest = c.rest;
                std::replace(rest.begin(), rest.end(), '|', separator);
                SCOPED_TRACE(std::string(command) + " " + rest);
                fs::remove_all(data / "Corvane");
                fs::remove_all(data / "Setup");
                if (c.link != nullptr) {
                    fs::create_directories((data / c.link).parent_path());
                    fs::create_directory_symlink(outside, data / c.link);
                }
                const bool ok =
                    run(attributes + "DestDir=\"[DIR:CSIDL_COMMON_APPDATA]" + rest + "\" ", nullptr, command);
                EXPECT_EQ(ok, c.made != nullptr) << rk::text::wide_to_utf8(logger_->Dump());
                if (c.made != nullptr) {
                    EXPECT_FALSE(fs::is_symlink(data / c.made));
                    EXPECT_FALSE(listing(data / c.made).empty());
                }
                EXPECT_FALSE(fs::exists(root_.path() / "escape"));
                EXPECT_FALSE(fs::exists(root_.path() / "var" / "escape"));
                EXPECT_FALSE(fs::exists(root_.path() / "var" / "Setup"));
                EXPECT_TRUE(fs::is_empty(outside));
            }
        }
    }
}

TEST_F(Download, StoreOnDiskKeepsAnExistingFileUnlessToldToOverwrite) {
    fs::create_directories(dest());
    std::ofstream(dest() / "notes.txt") << "old";
    logger_ = std::make_shared<test::RecordingLogger>();
    SetXmlUpdaterLogger(logger_);
    auto ends = std::make_shared<Ends>();
    std::wstring md5;
    std::wstring path;
    const auto store = [&](const fs::path& dir, bool overwrite) {
        DownloadProgress progress(ends.get(), L"d", L"");
        return NHttp::NDownloadFile::StoreOnDisk(server_.wide_url("/notes.txt"),
                                                 rk::sys::wide_path(dir), L"", overwrite, nullptr,
                                                 progress, md5, path);
    };
    EXPECT_NE(store(dest(), false), 0);
    EXPECT_EQ(read_file(dest() / "notes.txt"), "old");
    EXPECT_TRUE(logger_->Contains(L"File already exists: " + wdest(L"notes.txt")));
    EXPECT_EQ(ends->calls, "be1");
    EXPECT_TRUE(md5.empty());
    EXPECT_EQ(store(root_.path() / "missing", true), 0);
    EXPECT_TRUE(logger_->Contains(L"Destination directory does not exist"));
    SetXmlUpdaterLogger(std::shared_ptr<IXmlUpdaterLogger>());
}

// A 1 MiB file system (tmpfs in a private mount namespace) fills up during
// a 3 MiB download run by rkctl: the command fails with the write error and
// leaves neither the partial file nor, for DOWNLOADEX, its metadata.
TEST_F(Download, DiskFullMidDownloadRemovesThePartialFile) {
    if (std::system("unshare -m true > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "unshare -m is not permitted here (needs a mount namespace for a small tmpfs)";
    }
    const fs::path dir = root_.path() / "small";
    fs::create_directories(dir);
    const std::string location = server_.url("/big.bin");
    for (const char* command : {"DOWNLOAD", "DOWNLOADEX"}) {
        SCOPED_TRACE(command);
        const fs::path doc = root_.path() / "doc.xml";
        std::ofstream(doc) << document("Location=\"" + location + "\" DestDir=\"" + dir.string() + "\"", command);
        const fs::path out = root_.path() / "out.txt";
        const std::string script =
            "unshare -m sh -c 'mount -t tmpfs -o size=1m none \"$1\" && \"$2\" xml --quiet --log --ca-file \"$3\" "
            "\"$4\"; rc=$?; echo left: $(ls -A \"$1\"); exit $rc' sh '" +
            dir.string() + "' '" + RKCTL_PATH + "' '" + rk::sys::http::test::dev_root_ca().string() + "' '" +
            doc.string() + "' > '" + out.string() + "' 2>&1";
        const int status = std::system(script.c_str());
        const std::string output = read_file(out);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << output;
        EXPECT_NE(output.find("status: 1"), std::string::npos) << output;
        EXPECT_NE(output.find("left:\n"), std::string::npos) << output;
        if (std::string(command) == "DOWNLOAD") {
            EXPECT_NE(output.find("WriteFile failed (112)"), std::string::npos) << output;
            EXPECT_NE(output.find("Unable to download " + location), std::string::npos) << output;
        } else {
            EXPECT_NE(output.find("Failed to write to file"), std::string::npos) << output;
            EXPECT_NE(output.find("[win32:0x70]"), std::string::npos) << output;
        }
    }
}

}  // namespace
}  // namespace XMLUpdater::v2
