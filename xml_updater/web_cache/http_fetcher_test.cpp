// The fetcher and the retry policy against a fault-injecting HTTPS server:
// every answer a server should not give, cut connections and refused ones,
// with a fake clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/system/http/test/test_server.h"
#include "platform/system/paths.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "xml_updater/web_cache/cached_object.h"
#include "xml_updater/web_cache/http_fetcher.h"
#include "xml_updater/web_cache/http_fetcher_error.h"
#include "xml_updater/web_cache/http_robo_fetch.h"
#include "xml_updater/web_cache/test/fault_server.h"
#include "xml_updater/web_cache/test/recording_retry_clock.h"
#include "xml_updater/web_cache/winhttp_category.h"

namespace XMLUpdater::v2::web_cache {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FaultReply;
using test::FaultRequest;
using test::make_reply;

constexpr std::size_t kSize = 100000;
const std::string kETag = "\"v1\"";

std::string body() {
    std::string text(kSize, '\0');
    for (std::size_t i = 0; i < kSize; ++i) {
        text[i] = static_cast<char>((i * 7919) >> 3);
    }
    return text;
}

FaultReply partial(std::size_t from, std::size_t to, std::size_t length) {
    return make_reply(206,
                      {{"ETag", kETag},
                       {"Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(to) + "/" +
                                             std::to_string(kSize)},
                       {"Content-Length", std::to_string(length)}},
                      body().substr(from, to - from + 1));
}

// What a correct server answers: the rest when the validator matches,
// else everything.
FaultReply correct(const FaultRequest& request) {
    const std::string range = request.header("Range");
    if (!range.empty() && request.header("If-Range") == kETag) {
        const std::size_t from = std::stoul(range.substr(6));
        return partial(from, kSize - 1, kSize - from);
    }
    return make_reply(200, {{"ETag", kETag}, {"Accept-Ranges", "bytes"}}, body());
}

using FakeClock = test::RecordingRetryClock;

class FetcherTest : public ::testing::Test {
protected:
    std::wstring dir() const { return rk::sys::wide_path(root_.path() / "cache"); }
    fs::path data() const { return root_.path() / "cache" / "file.bin"; }
    // The first `size` bytes on disk with metadata of a strong or weak ETag.
    void seed_partial(const std::string& host, std::size_t size, const std::wstring& etag) {
        Cached_object object(dir(), L"file.bin", rk::text::utf8_to_wide(host), L"/file.bin");
        object.metadata().set(L"ETag", etag);
        object.metadata().set(L"Accept-Ranges", L"bytes");
        object.metadata().set(L"X-Entity-Length", std::to_wstring(kSize));
        object.save_metadata();
        std::ofstream(data(), std::ios::binary | std::ios::trunc) << body().substr(0, size);
    }
    // Runs http_robo_fetch; returns the final error (empty on success).
    std::error_code fetch(const std::string& host, FakeClock& clock, std::string* what = nullptr) {
        Cached_object object(dir(), L"file.bin", rk::text::utf8_to_wide(host), L"/file.bin");
        FetcherOptions options;
        options.ca_file = rk::sys::http::test::dev_root_ca();
        HttpFetcher fetcher(options);
        try {
            http_robo_fetch(object, fetcher, clock);
        } catch (const std::system_error& error) {
            if (what != nullptr) {
                *what = error.what();
            }
            return error.code();
        }
        return {};
    }

    rk::sys::test::TempRoot root_;
};

TEST_F(FetcherTest, FaultyAnswersEndInTheWholeFileOrAClearError) {
    const std::size_t kHead = 200;  // enough for the status line and headers
    const std::wstring kStrong = L"\"v1\"";
    const std::error_code kOk;
    const struct {
        const char* name;
        std::size_t cached;  // bytes on disk before, with metadata
        std::wstring etag;
        std::function<FaultReply(const FaultRequest&, std::size_t)> server;
        std::vector<std::chrono::milliseconds> sleeps;
        std::error_code error;
        std::size_t requests;
        std::size_t left;  // bytes of the body on disk afterwards
    } cases[] = {
        {"fresh download", 0, L"", [](const FaultRequest& r, std::size_t) { return correct(r); }, {}, kOk, 1, kSize},
        {"resume", 40000, kStrong, [](const FaultRequest& r, std::size_t) { return correct(r); }, {}, kOk, 1, kSize},
        {"dropped mid-body, next try resumes", 0, L"",
         [](const FaultRequest& r, std::size_t i) {
             FaultReply reply = correct(r);
             if (i == 0) {
                 reply.cut_after = kHead + 50000;
             }
             return reply;
         },
         {5000ms}, kOk, 2, kSize},
        {"fewer bytes than announced", 0, L"",
         [](const FaultRequest& r, std::size_t i) {
             return i == 0 ? make_reply(200, {{"ETag", kETag}, {"Content-Length", std::to_string(kSize)}},
                                        body().substr(0, 60000))
                           : correct(r);
         },
         {5000ms}, kOk, 2, kSize},
        {"more bytes than announced", 0, L"",
         [](const FaultRequest&, std::size_t) {
             return make_reply(200, {{"ETag", kETag}, {"Content-Length", std::to_string(kSize)}},
                               body() + std::string(5000, 'X'));
         },
         {}, kOk, 1, kSize},
        {"206 without Content-Range", 40000, kStrong,
         [](const FaultRequest&, std::size_t) { return make_reply(206, {{"ETag", kETag}}, body().substr(40000)); },
         {}, std::error_code(30, http_fetcher_error_category()), 1, 40000},
        {"misaligned range, refetched whole", 40000, kStrong,
         [](const FaultRequest& r, std::size_t i) { return i == 0 ? partial(0, kSize - 1, kSize) : correct(r); }, {},
         kOk, 2, kSize},
        {"range short of the end, refetched whole", 40000, kStrong,
         [](const FaultRequest& r, std::size_t i) { return i == 0 ? partial(40000, 89999, 50000) : correct(r); }, {},
         kOk, 2, kSize},
        {"range length differs, refetched whole", 40000, kStrong,
         [](const FaultRequest& r, std::size_t i) { return i == 0 ? partial(40000, kSize - 1, 59999) : correct(r); },
         {}, kOk, 2, kSize},
        {"misaligned twice", 40000, kStrong,
         [](const FaultRequest&, std::size_t) { return partial(10, kSize - 1, kSize - 10); }, {},
         std::error_code(10, http_fetcher_error_category()), 2, 0},
        {"304 for partial data, refetched whole", 40000, L"W/\"v1\"",
         [](const FaultRequest& r, std::size_t i) { return i == 0 ? make_reply(304, {}, "") : correct(r); }, {}, kOk,
         2, kSize},
        {"500", 40000, kStrong, [](const FaultRequest&, std::size_t) { return make_reply(500, {}, "oops"); }, {},
         std::error_code(20, http_fetcher_error_category()), 1, 40000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root_.path() / "cache");
        test::FaultServer server(c.server);
        ASSERT_GT(server.port(), 0);
        if (c.cached > 0) {
            seed_partial(server.host(), c.cached, c.etag);
        }
        FakeClock clock;
        std::string what;
        EXPECT_EQ(fetch(server.host(), clock, &what), c.error) << what;
        EXPECT_EQ(clock.sleeps, c.sleeps);
        const auto requests = server.requests();
        EXPECT_EQ(requests.size(), c.requests);
        const std::string left = rk::sys::test::read_file(data());
        EXPECT_TRUE(left == body().substr(0, c.left)) << "size " << left.size();
        if (c.error) {
            EXPECT_EQ(what.rfind("Unexpected error encountered by http_robo_fetch()", 0), 0u) << what;
        }
        // A resumed request names the cached size and the validator.
        for (std::size_t i = 0; i < requests.size(); ++i) {
            const std::string range = requests[i].header("Range");
            if (!range.empty()) {
                EXPECT_EQ(requests[i].header("If-Range"), kETag);
                EXPECT_EQ(range.rfind("bytes=", 0), 0u);
                EXPECT_NE(range, "bytes=0-");
            }
            EXPECT_EQ(requests[i].header("User-Agent"), "Simple HttpFetcher/1.1");
            EXPECT_EQ(requests[i].target(), "/file.bin");
        }
    }
}

}  // namespace
}  // namespace XMLUpdater::v2::web_cache
