// Request header modifiers, response header parsing, URL cracking and the
// TLS version range.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/system/http/curl_support.h"
#include "platform/system/http/http_types.h"
#include "platform/system/http/request_headers.h"
#include "platform/system/http/response_headers.h"
#include "platform/system/http/url_parts.h"

namespace rk::sys::http {
namespace {

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

TEST(RequestHeaders, ModifiersTable) {
    struct Case {
        const char* name;
        std::wstring first;
        DWORD first_flags;
        std::wstring second;
        DWORD second_flags;
        DWORD expected;
        Entries entries;
    };
    const Case cases[] = {
        {"plain add keeps duplicates", L"X-A: 1", 0, L"x-a: 2", kAddReqFlagAdd, 0, {{L"X-A", L"1"}, {L"x-a", L"2"}}},
        {"coalesce with semicolon", L"Cookie: a=1", 0, L"cookie: b=2", kAddReqFlagCoalesceWithSemicolon, 0,
         {{L"Cookie", L"a=1; b=2"}}},
        {"coalesce with comma", L"Accept: a", 0, L"Accept: b", kAddReqFlagCoalesceWithComma, 0,
         {{L"Accept", L"a, b"}}},
        {"coalesce adds when absent", L"X-A: 1", 0, L"X-B: 2", kAddReqFlagCoalesceWithSemicolon, 0,
         {{L"X-A", L"1"}, {L"X-B", L"2"}}},
        {"add if new refuses", L"X-A: 1", 0, L"X-A: 2", kAddReqFlagAddIfNew, kWinHttpErrorHeaderAlreadyExists,
         {{L"X-A", L"1"}}},
        {"replace", L"X-A: 1", 0, L"X-A: 2", kAddReqFlagReplace, 0, {{L"X-A", L"2"}}},
        {"replace with empty removes", L"X-A: 1", 0, L"X-A:", kAddReqFlagReplace, 0, {}},
        {"replace absent fails", L"X-A: 1", 0, L"X-B: 2", kAddReqFlagReplace, win::kWinHttpErrorHeaderNotFound,
         {{L"X-A", L"1"}}},
        {"replace or add", L"X-A: 1", 0, L"X-B: 2", kAddReqFlagReplace | kAddReqFlagAdd, 0,
         {{L"X-A", L"1"}, {L"X-B", L"2"}}},
        {"several lines, trailing CR LF, values trimmed", L"A:  1 \r\nB:2\r\n", 0, L"C: 3", 0, 0,
         {{L"A", L"1"}, {L"B", L"2"}, {L"C", L"3"}}},
        {"no colon is refused, nothing added", L"A: 1", 0, L"B: 2\r\nbroken", 0, win::kErrorInvalidParameter,
         {{L"A", L"1"}}},
        {"bare LF cannot smuggle a line", L"A: 1", 0, L"B: 2\nEvil: 1", 0, win::kErrorInvalidParameter,
         {{L"A", L"1"}}},
        {"name with blank is refused", L"A: 1", 0, L"Bad Name: 2", 0, win::kErrorInvalidParameter, {{L"A", L"1"}}},
        {"empty text is refused", L"A: 1", 0, L"\r\n", 0, win::kErrorInvalidParameter, {{L"A", L"1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RequestHeaders headers;
        ASSERT_EQ(headers.add(c.first, c.first_flags), 0u);
        EXPECT_EQ(headers.add(c.second, c.second_flags), c.expected);
        EXPECT_EQ(headers.entries(), c.entries);
    }
}

TEST(ResponseHeaders, ParsesStatusLineAndFields) {
    const auto parsed = ResponseHeaders::parse(
        "HTTP/1.1 206 Partial Content\r\n"
        "Content-Length: 10\r\n"
        "Set-Cookie: a=1\r\n"
        "X-Folded: one\r\n"
        "  two\r\n"
        "set-cookie:b=2  \r\n"
        "junk line without colon\r\n"
        "\r\n"
        "ignored: after the end\r\n");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->status_code(), 206u);
    EXPECT_EQ(parsed->reason(), L"Partial Content");
    EXPECT_EQ(parsed->content_length(), 10u);
    EXPECT_EQ(parsed->get(L"SET-COOKIE", 0), L"a=1");
    EXPECT_EQ(parsed->get(L"Set-Cookie", 1), L"b=2");
    EXPECT_EQ(parsed->get(L"Set-Cookie", 2), std::nullopt);
    EXPECT_EQ(parsed->get(L"X-Folded"), L"one two");
    EXPECT_EQ(parsed->get(L"ignored"), std::nullopt);
    EXPECT_EQ(parsed->raw(),
              L"HTTP/1.1 206 Partial Content\r\nContent-Length: 10\r\nSet-Cookie: a=1\r\nX-Folded: one\r\n  two\r\n"
              L"set-cookie:b=2  \r\njunk line without colon\r\n\r\n");
}

TEST(ResponseHeaders, StatusLinesAndLengthsTable) {
    struct Case {
        std::string block;
        bool valid;
        unsigned status;
        std::wstring reason;
        std::optional<std::uint64_t> length;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\n\n", true, 200, L"OK", std::nullopt},
        {"HTTP/2 204\r\n\r\n", true, 204, L"", std::nullopt},
        {"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n", true, 404, L"Not Found", 0},
        {"HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551615\r\n\r\n", true, 200, L"OK", 18446744073709551615u},
        {"HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551616\r\n\r\n", true, 200, L"OK", std::nullopt},
        {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", true, 200, L"OK", std::nullopt},
        {"HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\n", true, 200, L"OK", std::nullopt},
        {"HTTP/1.1 2000 OK\r\n\r\n", false, 0, L"", std::nullopt},
        {"HTTP/1.1 20 OK\r\n\r\n", false, 0, L"", std::nullopt},
        {"ICY 200 OK\r\n\r\n", false, 0, L"", std::nullopt},
        {"", false, 0, L"", std::nullopt},
        {"HTTP/1.1\r\n\r\n", false, 0, L"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        const auto parsed = ResponseHeaders::parse(c.block);
        ASSERT_EQ(parsed.has_value(), c.valid);
        if (parsed) {
            EXPECT_EQ(std::tuple(parsed->status_code(), parsed->reason(), parsed->content_length()),
                      std::tie(c.status, c.reason, c.length));
        }
    }
}

TEST(CrackUrl, Table) {
    struct Case {
        std::wstring url;
        DWORD error = 0;
        std::wstring scheme = {}, host = {};
        unsigned port = 0;
        std::wstring path = {}, extra = {}, target = {};
    };
    const Case cases[] = {
        {L"https://127.0.0.1:8443/xml/lmrupdate.xml", 0, L"https", L"127.0.0.1", 8443, L"/xml/lmrupdate.xml", L"",
         L"/xml/lmrupdate.xml"},
        {L"HTTP://Example.com", 0, L"http", L"Example.com", 80, L"", L"", L"/"},
        {L"https://example.com?q=1#frag", 0, L"https", L"example.com", 443, L"", L"?q=1#frag", L"/?q=1"},
        {L"https://u:p@[::1]:99/a/b?c", 0, L"https", L"::1", 99, L"/a/b", L"?c", L"/a/b?c"},
        {L"ftp://example.com/", win::kWinHttpErrorUnrecognizedScheme},
        {L"example.com/path", win::kWinHttpErrorInvalidUrl},
        {L"https:///path", win::kWinHttpErrorInvalidUrl},
        {L"https://host:0/", win::kWinHttpErrorInvalidUrl},
        {L"https://host:65536/", win::kWinHttpErrorInvalidUrl},
        {L"https://host:/", win::kWinHttpErrorInvalidUrl},
        {L"https://host:8x/", win::kWinHttpErrorInvalidUrl},
        {L"https://ho st/", win::kWinHttpErrorInvalidUrl},
        {L"https://[::1/", win::kWinHttpErrorInvalidUrl},
        {L"", win::kWinHttpErrorInvalidUrl},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.url.begin(), c.url.end()));
        UrlParts parts;
        ASSERT_EQ(crack_url(c.url, parts), c.error);
        if (c.error == 0) {
            EXPECT_EQ(std::tuple(parts.scheme, parts.host, parts.port, parts.path, parts.extra, parts.request_target()),
                      std::tie(c.scheme, c.host, c.port, c.path, c.extra, c.target));
        }
    }
}

TEST(TlsRange, ProtocolBitsBecomeOneRange) {
    EXPECT_EQ(curl_tls_range(kSecureProtocolsSsl3ToTls1_2), long{CURL_SSLVERSION_TLSv1_0} | CURL_SSLVERSION_MAX_TLSv1_2);
    EXPECT_EQ(curl_tls_range(kSecureProtocolsDefault), long{CURL_SSLVERSION_TLSv1_2} | CURL_SSLVERSION_MAX_TLSv1_3);
    EXPECT_EQ(curl_tls_range(kSecureProtocolTls1 | kSecureProtocolTls1_3),
              long{CURL_SSLVERSION_TLSv1_0} | CURL_SSLVERSION_MAX_TLSv1_3);
    EXPECT_EQ(curl_tls_range(kSecureProtocolSsl3 | kSecureProtocolSsl2), std::nullopt);
    EXPECT_EQ(curl_tls_range(0), std::nullopt);
}

}  // namespace
}  // namespace rk::sys::http
