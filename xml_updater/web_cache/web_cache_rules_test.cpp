// The web cache's protocol rules without a network: Content-Range parsing,
// the validation headers, the answer checks, the error categories and the
// retry policy (fake clock).
#include <gtest/gtest.h>

#include <deque>
#include <system_error>

#include "platform/errors/winhttp_error_category.h"
#include "xml_updater/web_cache/content_range.h"
#include "xml_updater/web_cache/http_fetcher_error.h"
#include "xml_updater/web_cache/http_fetcher_failure.h"
#include "xml_updater/web_cache/http_robo_fetch.h"
#include "xml_updater/web_cache/response_plan.h"
#include "xml_updater/web_cache/test/recording_retry_clock.h"
#include "xml_updater/web_cache/validation_headers.h"
#include "xml_updater/web_cache/winhttp_category.h"

namespace XMLUpdater::v2::web_cache {
namespace {

using namespace std::chrono_literals;

TEST(ContentRange, ParsesOnlyTheExactForm) {
    constexpr std::uint64_t kMax = 18446744073709551615ull;
    const struct {
        const wchar_t* value;
        bool parses;
        std::uint64_t first, last;
        std::optional<std::uint64_t> total;
        bool consistent;
    } cases[] = {
        {L"bytes 0-9/10", true, 0, 9, 10, true},
        {L"bytes 5-9/*", true, 5, 9, std::nullopt, true},
        {L"bytes 0-18446744073709551614/18446744073709551615", true, 0, kMax - 1, kMax, true},
        {L"bytes 9-0/10", true, 9, 0, 10, false},   // last before first
        {L"bytes 0-10/10", true, 0, 10, 10, false},  // last beyond the total
        {L"bytes 0-18446744073709551616/20", false, 0, 0, {}, false},
        {L"bytes 0-9", false, 0, 0, {}, false},
        {L"bytes=0-9/10", false, 0, 0, {}, false},
        {L"bytes  0-9/10", false, 0, 0, {}, false},
        {L"bytes -1-9/10", false, 0, 0, {}, false},
        {L"bytes +1-9/10", false, 0, 0, {}, false},
        {L"bytes 0-9/10 ", false, 0, 0, {}, false},
        {L"bytes 0-9/1x", false, 0, 0, {}, false},
        {L"bytes 0-9/**", false, 0, 0, {}, false},
        {L"Bytes 0-9/10", false, 0, 0, {}, false},
        {L"bytes */10", false, 0, 0, {}, false},
        {L"", false, 0, 0, {}, false},
    };
    for (const auto& c : cases) {
        const auto range = parse_content_range(c.value);
        ASSERT_EQ(range.has_value(), c.parses) << c.value;
        if (range) {
            EXPECT_EQ(range->first, c.first) << c.value;
            EXPECT_EQ(range->last, c.last) << c.value;
            EXPECT_EQ(range->total, c.total) << c.value;
            EXPECT_EQ(range->consistent(), c.consistent) << c.value;
        }
    }
}

KeyValueStore metadata(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> entries) {
    KeyValueStore store;
    for (const auto& [key, value] : entries) {
        store.set(key, value);
    }
    return store;
}

TEST(ValidationHeaders, ResumeOnlyAStrongPrefixOtherwiseRevalidate) {
    const wchar_t* kDate = L"Tue, 01 Dec 2026 10:00:00 GMT";
    const struct {
        const char* name;
        KeyValueStore store;
        std::uint64_t size;
        HeaderList expected;
    } cases[] = {
        {"nothing known", metadata({}), 0, {}},
        {"no validator", metadata({{L"X-Entity-Length", L"100"}}), 40, {}},
        {"no length", metadata({{L"ETag", L"\"a\""}}), 40, {}},
        {"length not a number", metadata({{L"X-Entity-Length", L"1e2"}, {L"ETag", L"\"a\""}}), 40, {}},
        {"strong ETag, partial",
         metadata({{L"X-Entity-Length", L"100"}, {L"ETag", L"\"a\""}, {L"Last-Modified", kDate}}), 40,
         {{L"If-Range", L"\"a\""}, {L"Range", L"bytes=40-"}}},
        {"empty file resumes from 0", metadata({{L"X-Entity-Length", L"100"}, {L"ETag", L"\"a\""}}), 0,
         {{L"If-Range", L"\"a\""}, {L"Range", L"bytes=0-"}}},
        {"Last-Modified only, partial", metadata({{L"X-Entity-Length", L"100"}, {L"Last-Modified", kDate}}), 40,
         {{L"If-Range", kDate}, {L"Range", L"bytes=40-"}}},
        {"weak ETag, partial",
         metadata({{L"X-Entity-Length", L"100"}, {L"ETag", L"W/\"a\""}, {L"Last-Modified", kDate}}), 40,
         {{L"If-None-Match", L"W/\"a\""}, {L"If-Modified-Since", kDate}}},
        {"ranges refused (any case)",
         metadata({{L"X-Entity-Length", L"100"}, {L"ETag", L"\"a\""}, {L"Accept-Ranges", L"NONE"}}), 40,
         {{L"If-None-Match", L"\"a\""}}},
        {"complete", metadata({{L"X-Entity-Length", L"100"}, {L"ETag", L"\"a\""}, {L"Last-Modified", kDate}}), 100,
         {{L"If-None-Match", L"\"a\""}, {L"If-Modified-Since", kDate}}},
        {"longer than the entity", metadata({{L"X-Entity-Length", L"100"}, {L"ETag", L"\"a\""}}), 101,
         {{L"If-None-Match", L"\"a\""}}},
        {"empty ETag value", metadata({{L"X-Entity-Length", L"100"}, {L"ETag", L""}, {L"Last-Modified", kDate}}),
         100, {{L"If-Modified-Since", kDate}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(validation_headers(c.store, c.size), c.expected) << c.name;
    }
}

TEST(ResponsePlan, AcceptsOnlyAnswersThatFitTheCachedData) {
    const struct {
        const char* name;
        ResponseFacts facts;
        int error;  // 0: accepted
        BodyAction action;
        std::uint64_t body, entity;
        const char* what;  // the text before the category's message, when it has one
    } cases[] = {
        {"200", {200, {}, 100, 40, 100}, 0, BodyAction::kRewrite, 100, 100, ""},
        {"200 of another size", {200, {}, 7, 40, 100}, 0, BodyAction::kRewrite, 7, 7, ""},
        {"200 without length", {200, {}, {}, 0, {}}, 1, {}, 0, 0, ""},
        {"304 complete", {304, {}, {}, 100, 100}, 0, BodyAction::kKeep, 0, 100, ""},
        {"304 for partial data", {304, {}, {}, 40, 100}, 10, {}, 0, 0, ""},
        {"304 without metadata", {304, {}, {}, 0, {}}, 10, {}, 0, 0, ""},
        {"206 rest", {206, L"bytes 40-99/100", 60, 40, 100}, 0, BodyAction::kAppend, 60, 100, ""},
        {"206 unknown total", {206, L"bytes 40-99/*", 60, 40, 100}, 0, BodyAction::kAppend, 60, 100, ""},
        {"206 without Content-Range", {206, {}, 60, 40, 100}, 30, {}, 0, 0, ""},
        {"206 garbage range", {206, L"bytes 40-99", 60, 40, 100}, 30, {}, 0, 0,
         "Unable to parse content range 'bytes 40-99' from server"},
        {"206 inverted range", {206, L"bytes 99-40/100", 60, 40, 100}, 30, {}, 0, 0,
         "Server returned invalid content range"},
        {"206 misaligned", {206, L"bytes 0-99/100", 100, 40, 100}, 10, {}, 0, 0, ""},
        {"206 short of the end", {206, L"bytes 40-89/100", 50, 40, 100}, 11, {}, 0, 0, ""},
        {"206 unknown total, unknown entity", {206, L"bytes 0-9/*", 10, 0, {}}, 11, {}, 0, 0, ""},
        {"206 length differs", {206, L"bytes 40-99/100", 61, 40, 100}, 12, {}, 0, 0, ""},
        {"206 without length", {206, L"bytes 40-99/100", {}, 40, 100}, 12, {}, 0, 0, ""},
        {"206 of a resized resource", {206, L"bytes 40-119/120", 80, 40, 100}, 10, {}, 0, 0, ""},
        {"416", {416, L"bytes */100", 0, 140, 100}, 20, {}, 0, 0, "WinHttp: Unexpected status code (416)"},
        {"500", {500, {}, 5, 40, 100}, 20, {}, 0, 0, "WinHttp: Unexpected status code (500)"},
    };
    for (const auto& c : cases) {
        try {
            const ResponsePlan plan = plan_response(c.facts);
            EXPECT_EQ(c.error, 0) << c.name;
            EXPECT_EQ(plan.action, c.action) << c.name;
            EXPECT_EQ(plan.body_length, c.body) << c.name;
            EXPECT_EQ(plan.entity_length, c.entity) << c.name;
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code(), std::error_code(c.error, http_fetcher_error_category())) << c.name;
            EXPECT_EQ(std::string(error.what()).rfind(c.what, 0), 0u) << c.name << ": " << error.what();
        }
    }
}

TEST(FetcherErrors, CategoriesNameAndGroupTheirValues) {
    // Documented names ("winhttp_category" is in the download tests' log lines).
    EXPECT_STREQ(http_fetcher_error_category().name(), "HttpFetcherErrorCategory");
    EXPECT_STREQ(http_fetcher_failure_category().name(), "HttpFetcherFailureCategory");
    const struct {
        int value;
        const char* message;
        int failure;
    } errors[] = {
        {1, "The number of bytes received does not match the Content-Length header value", 1},
        {10, "Returned byte range does not align with cached data", 2},
        {11, "Returned byte range does not extend to end of resource", 2},
        {12, "Returned byte range length does not match Content-Length", 2},
        {20, "Unexpected status code", 3},
        {30, "HTTP protocol voiolation: Server sent a 206 Partial Content status with no Content-Range header", 4},
        {13, "Unknown error (13)", 2},
        {45, "Unknown error (45)", 4},
        {0, "Unknown error (0)", 0},
    };
    for (const auto& e : errors) {
        const std::error_code code(e.value, http_fetcher_error_category());
        EXPECT_EQ(code.message(), e.message);
        for (int failure = 1; failure <= 4; ++failure) {
            EXPECT_EQ(code == static_cast<HttpFetcherFailure>(failure), failure == e.failure) << e.value;
        }
    }
    const struct {
        int value;
        bool interrupted;
    } transport[] = {{12002, true}, {12007, true}, {12029, true}, {12030, true}, {12175, false}, {12152, false}};
    for (const auto& t : transport) {
        EXPECT_EQ(make_winhttp_error(t.value) == HttpFetcherFailure::kConnectionInterrupted, t.interrupted);
        EXPECT_EQ(dira_doro::make_winhttp_error_code(t.value) == HttpFetcherFailure::kConnectionInterrupted,
                  t.interrupted);
    }
    EXPECT_FALSE(std::error_code(12002, std::generic_category()) == HttpFetcherFailure::kConnectionInterrupted);
    EXPECT_EQ(std::error_condition(HttpFetcherFailure::kConnectionInterrupted).message(),
              "The TCP connection to the server was interrupted");
    EXPECT_EQ(std::error_condition(HttpFetcherFailure::kIllogicalRangeResponse).message(),
              "The HTTP server returned an unexpected or illogical response to a range request");
    EXPECT_EQ(std::error_condition(HttpFetcherFailure::kUnexpectedResponseCode).message(),
              "The HTTP server returned an unexpected response code");
    EXPECT_EQ(make_winhttp_error(12002).message(), "The operation timed out");
    EXPECT_EQ(make_winhttp_error(12999).message(), "Failed to format WinHttp error message: 12999");
}

using FakeClock = test::RecordingRetryClock;

TEST(RoboFetch, RetriesInterruptedConnectionsAndRerunsIllogicalRanges) {
    const std::error_code kCut = make_winhttp_error(12030);
    const std::error_code kRefused = make_winhttp_error(12029);
    const std::error_code kMisaligned = make_error_code(HttpFetcherError::kRangeNotAligned);
    const std::error_code kStatus = make_error_code(HttpFetcherError::kUnexpectedStatusCode);
    const std::error_code kTls = make_winhttp_error(12175);
    const std::error_code kOk;
    const struct {
        const char* name;
        std::vector<std::error_code> outcomes;  // one per transaction run
        std::vector<std::chrono::milliseconds> sleeps;
        int discards;
        std::error_code error;  // empty: success
        const char* what;
    } cases[] = {
        {"first try", {kOk}, {}, 0, {}, ""},
        {"second try", {kCut, kOk}, {5000ms}, 0, {}, ""},
        {"third try", {kRefused, kCut, kOk}, {5000ms, 10000ms}, 0, {}, ""},
        {"three interruptions", {kRefused, kRefused, kRefused}, {5000ms, 10000ms}, 0, kRefused,
         "http_robo_fetch() tried 3 times to complete HTTP transaction"},
        {"misaligned, rerun at once", {kMisaligned, kOk}, {}, 1, {}, ""},
        {"misaligned twice", {kMisaligned, kMisaligned}, {}, 1, kMisaligned,
         "Unexpected error encountered by http_robo_fetch()"},
        {"misaligned, rerun cut, next try", {kMisaligned, kCut, kOk}, {5000ms}, 1, {}, ""},
        {"unexpected status", {kStatus}, {}, 0, kStatus, "Unexpected error encountered by http_robo_fetch()"},
        {"TLS failure", {kCut, kTls}, {5000ms}, 0, kTls, "Unexpected error encountered by http_robo_fetch()"},
    };
    for (const auto& c : cases) {
        std::deque<std::error_code> outcomes(c.outcomes.begin(), c.outcomes.end());
        FakeClock clock;
        int discards = 0;
        std::error_code error;
        std::string what;
        try {
            robo_fetch(
                [&] {
                    ASSERT_FALSE(outcomes.empty()) << c.name;
                    const auto outcome = outcomes.front();
                    outcomes.pop_front();
                    if (outcome) {
                        throw std::system_error(outcome);
                    }
                },
                [&] { ++discards; }, clock);
        } catch (const std::system_error& e) {
            error = e.code();
            what = e.what();
        }
        EXPECT_TRUE(outcomes.empty()) << c.name;
        EXPECT_EQ(clock.sleeps, c.sleeps) << c.name;
        EXPECT_EQ(discards, c.discards) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(what.rfind(c.what, 0), 0u) << c.name << ": " << what;
    }
}

}  // namespace
}  // namespace XMLUpdater::v2::web_cache
