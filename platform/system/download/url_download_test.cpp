// Downloads into files from real servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <signal.h>

#include <thread>

#include "platform/system/download/url_download.h"
#include "platform/system/process/process.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

namespace fs = std::filesystem;
using rk::sys::test::read_file;
using http::test::RawServer;
using http::test::SilentListener;
using http::test::TestServer;

std::wstring wide(const fs::path& path) { return text::utf8_to_wide(path.native()); }

std::vector<std::string> folder_names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().native());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class UrlDownloadTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.running());
        options_.proxy.access = http::AccessType::kNoProxy;
        options_.ca_file = http::test::dev_root_ca();
        fs::create_directories(folder_);
    }

    // An endless body of 64 KiB blocks, `pause` between them.
    void serve_endless(const std::string& path, std::chrono::milliseconds pause) {
        server_.handle("GET", path, [this, pause](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/octet-stream",
                                                  [this, pause](std::size_t, httplib::DataSink& sink) {
                                                      static const std::string block(64 * 1024, 'x');
                                                      if (pause.count() > 0 && !server_.stall(pause)) {
                                                          return false;
                                                      }
                                                      return sink.write(block.data(), block.size());
                                                  });
        });
    }

    test::TempRoot root_;
    fs::path folder_ = root_.path() / "Installer";
    fs::path target_ = folder_ / "Brightscan_Release.exe";
    TestServer server_{TestServer::Mode::kTls};
    DownloadOptions options_;
};

TEST_F(UrlDownloadTest, WholeFileReplacesAnEarlierOne) {
    std::string body(3 * 1024 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(i * 31 + i / 4096);
    }
    server_.serve("/dl/affiliates/77/setup.exe", body);
    std::ofstream(target_) << "old installer";
    EXPECT_EQ(download_url_to_file(server_.wide_url("/dl/affiliates/77/setup.exe"), wide(target_), options_), 0);
    EXPECT_TRUE(read_file(target_) == body);  // too large to print
    EXPECT_EQ(fs::status(target_).permissions(), static_cast<fs::perms>(0644));
    EXPECT_EQ(folder_names(folder_), std::vector<std::string>{"Brightscan_Release.exe"});
    EXPECT_EQ(server_.requests().at(0).header("User-Agent"), "RkDownload");
}

TEST_F(UrlDownloadTest, EmptyBodyAndIgnoredCertificateErrors) {
    server_.serve("/empty", "");
    EXPECT_EQ(download_url_to_file(server_.wide_url("/empty"), wide(target_), options_), 0);
    EXPECT_TRUE(fs::exists(target_));
    EXPECT_EQ(fs::file_size(target_), 0u);

    server_.serve("/setup.exe", "payload");
    options_.ca_file.clear();
    options_.security_flags = http::kSecurityFlagsIgnoreCertErrors;
    EXPECT_EQ(download_url_to_file(server_.wide_url("/setup.exe"), wide(target_), options_), 0);
    EXPECT_EQ(read_file(target_), "payload");
}

TEST_F(UrlDownloadTest, FailuresLeaveNoFileBehind) {
    TestServer plain(TestServer::Mode::kPlain);
    RawServer truncated("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nshort");
    RawServer huge("HTTP/1.1 200 OK\r\nContent-Length: 1000000000000000000\r\n\r\nstart");
    server_.serve("/two-mib", std::string(2 << 20, 'x'));
    serve_endless("/endless", std::chrono::milliseconds(0));
    // Closed at once, so nothing listens there any more.
    const std::string refused_url = [&] {
        SilentListener gone;
        return "http://127.0.0.1:" + std::to_string(gone.port()) + "/x";
    }();
    server_.handle("GET", "/status/500", [](const httplib::Request&, httplib::Response& r) { r.status = 500; });
    server_.handle("GET", "/status/401", [](const httplib::Request&, httplib::Response& r) { r.status = 401; });
    server_.handle("GET", "/status/403", [](const httplib::Request&, httplib::Response& r) { r.status = 403; });
    server_.handle("GET", "/slow", [&](const httplib::Request&, httplib::Response& r) {
        server_.stall(std::chrono::seconds(10));
        r.set_content("late", "text/plain");
    });

    struct Case {
        const char* name;
        std::wstring url;
        HRESULT expected;
        std::function<void(DownloadOptions&)> adjust = {};
        fs::path target = {};
    };
    const Case cases[] = {
        {"not found", server_.wide_url("/missing"), win::kInetEObjectNotFound},
        {"server error", server_.wide_url("/status/500"), win::kInetEDownloadFailure},
        {"authentication", server_.wide_url("/status/401"), win::kInetEAuthenticationRequired},
        {"forbidden", server_.wide_url("/status/403"), win::kEAccessDenied},
        {"refused", text::utf8_to_wide(refused_url), win::kInetECannotConnect},
        {"unknown host", L"https://no-such-host.invalid/setup.exe", win::kInetEResourceNotFound},
        {"untrusted certificate", server_.wide_url("/missing"), win::kInetESecurityProblem,
         [](DownloadOptions& o) { o.ca_file.clear(); }},
        {"cut short", text::utf8_to_wide(truncated.url("/x")), win::kInetEDownloadFailure},
        {"too slow", server_.wide_url("/slow"), win::kInetEConnectionTimeout,
         [](DownloadOptions& o) { o.timeouts.receive_ms = 200; }},
        {"unknown scheme", L"ftp://127.0.0.1/setup.exe", win::kInetEUnknownProtocol},
        {"not a URL", L"Brightscan_Release.exe", win::kInetEInvalidUrl},
        {"destination folder missing", server_.wide_url("/missing"),
         win::hresult_from_win32(win::kErrorPathNotFound), {}, root_.path() / "nowhere" / "x.exe"},
        // Bounds: refused on the announced length, stopped while growing.
        {"announced beyond the bound", server_.wide_url("/two-mib"), win::hresult_from_win32(223),
         [](DownloadOptions& o) { o.max_bytes = 1 << 20; }},
        {"endless body", server_.wide_url("/endless"), win::hresult_from_win32(223),
         [](DownloadOptions& o) { o.max_bytes = 1 << 20; }},
        {"announced beyond the free space", text::utf8_to_wide(huge.url("/x")), win::hresult_from_win32(112),
         [](DownloadOptions& o) { o.max_bytes = UINT64_MAX; }},
    };
    std::ofstream(target_) << "old installer";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadOptions options = options_;
        if (c.adjust) {
            c.adjust(options);
        }
        const fs::path target = c.target.empty() ? target_ : c.target;
        EXPECT_EQ(download_url_to_file(c.url, wide(target), options), c.expected);
        EXPECT_EQ(read_file(target_), "old installer");
        EXPECT_EQ(folder_names(folder_), std::vector<std::string>{"Brightscan_Release.exe"});
        EXPECT_EQ(folder_names(interrupted_downloads_folder()), std::vector<std::string>{".guard"});
    }
}

// A download killed in the middle leaves its temporary file; the next
// start-up's cleaning removes it, and never touches a download still running.
TEST_F(UrlDownloadTest, KilledDownloadsAreCleanedAtTheNextStart) {
    serve_endless("/endless", std::chrono::milliseconds(5));
    const auto start = [&](std::unique_ptr<Process>& process) {
        StartOptions options;
        options.command_line = L"\"" + wide(RK_DOWNLOAD_TEST_CHILD) + L"\" \"" + server_.wide_url("/endless") +
                               L"\" \"" + wide(target_) + L"\" \"" + wide(options_.ca_file) + L"\"";
        ASSERT_EQ(start_process(options, process), 0u);
    };
    // Waits for a child's temporary file other than `except` (with data, when asked).
    const auto partial = [&](const fs::path& except, bool with_data) {
        for (int i = 0; i < 1000; ++i) {
            for (const auto& entry : fs::directory_iterator(folder_)) {
                if (entry.path() != except && entry.path().filename().native().find(".rkdownload-") != std::string::npos &&
                    (!with_data || entry.file_size() > 0)) {
                    return entry.path();
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return fs::path();
    };
    std::unique_ptr<Process> killed;
    start(killed);
    const fs::path left = partial({}, true);
    ASSERT_FALSE(left.empty());
    ::kill(static_cast<pid_t>(killed->id()), SIGKILL);
    killed->wait(win::kInfinite);

    std::unique_ptr<Process> running;
    start(running);
    const fs::path running_partial = partial(left, false);
    ASSERT_FALSE(running_partial.empty());
    EXPECT_TRUE(fs::exists(left));
    clean_interrupted_downloads();
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::exists(running_partial));
    ::kill(static_cast<pid_t>(running->id()), SIGKILL);
    running->wait(win::kInfinite);
    clean_interrupted_downloads();
    EXPECT_TRUE(folder_names(folder_).empty());
    EXPECT_EQ(folder_names(interrupted_downloads_folder()), std::vector<std::string>{".guard"});
}

}  // namespace
}  // namespace rk::sys
