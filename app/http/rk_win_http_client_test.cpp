// RkWinHttpClient against real servers on 127.0.0.1 (TLS with the development
// certificate, plain HTTP, raw byte servers, a listener that never accepts).
#include "app/http/rk_win_http_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/http/test/test_server.h"
#include "platform/text/utf.h"

namespace rk::app {
namespace {

using sys::http::test::closed_port;
using sys::http::test::RawServer;
using sys::http::test::TestServer;

std::wstring wide(const std::string& text) { return text::utf8_to_wide(text); }

// A client aimed at `port` (the test servers listen on ephemeral ports, so
// they play the manifest server's fixed port).
std::unique_ptr<RkWinHttpClient> client_for(int port, const std::string& url) {
    auto client = std::make_unique<RkWinHttpClient>();
    client->SetServerPort(static_cast<unsigned>(port));
    client->SetUrl(wide(url));
    return client;
}

TEST(RkWinHttpClient, StatusesEndWithErrorZeroAndTheServersAnswer) {
    TestServer server(TestServer::Mode::kTls);
    ASSERT_TRUE(server.running());
    struct Case {
        int status;
        std::string body;
    };
    const Case cases[] = {
        {200, "<UPDATER/>"}, {204, ""}, {304, ""}, {404, "not here"}, {500, "broken"}, {299, "edge"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        server.handle("GET", "/m", [&](const httplib::Request&, httplib::Response& response) {
            response.status = c.status;
            if (!c.body.empty()) {
                response.set_content(c.body, "text/plain");
            }
        });
        auto client = client_for(server.port(), server.url("/m"));
        EXPECT_TRUE(client->SendHttpRequest(L"GET"));
        EXPECT_EQ(client->GetErrorCode(), 0u);
        EXPECT_EQ(client->GetStatusText(), std::to_wstring(c.status));
        EXPECT_EQ(client->GetBody(), wide(c.body));
        EXPECT_EQ(client->GetResponseHeaders().rfind(L"HTTP/1.1 " + std::to_wstring(c.status), 0), 0u);
        EXPECT_TRUE(client->GetResponseHeaders().ends_with(L"\r\n\r\n"));
    }
}

TEST(RkWinHttpClient, MethodsAreMatchedWithoutCaseAndSentCanonical) {
    TestServer server(TestServer::Mode::kTls);
    ASSERT_TRUE(server.running());
    for (const char* method : {"GET", "POST", "PATCH"}) {
        server.handle(method, "/m", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("ok", "text/plain");
        });
    }
    struct Case {
        std::wstring method;
        std::string on_wire;  // empty: refused before any network activity
        DWORD error;
    };
    const Case cases[] = {
        {L"get", "GET", 0},    {L"GET", "GET", 0},   {L"Post", "POST", 0}, {L"pAtCh", "PATCH", 0},
        {L"PUT", "", 87},      {L"", "", 87},        {L"GET ", "", 87},    {L"DELETE", "", 87},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(text::wide_to_utf8(c.method));
        server.clear_log();
        auto client = client_for(server.port(), server.url("/m"));
        EXPECT_EQ(client->SendHttpRequest(c.method), c.error == 0);
        EXPECT_EQ(client->GetErrorCode(), c.error);
        const auto log = server.requests();
        if (c.on_wire.empty()) {
            EXPECT_TRUE(log.empty());
        } else {
            ASSERT_EQ(log.size(), 1u);
            EXPECT_EQ(log[0].method, c.on_wire);
            EXPECT_EQ(log[0].body, "");
            EXPECT_EQ(log[0].header("User-Agent"), "RkWinHttp");
        }
    }
}

TEST(RkWinHttpClient, ConnectsToTheFixedPortWhateverTheUrlNames) {
    TestServer tls(TestServer::Mode::kTls);
    TestServer plain(TestServer::Mode::kPlain);
    ASSERT_TRUE(tls.running() && plain.running());
    tls.serve("/xml/lmrupdate.xml", "tls");
    plain.serve("/xml/lmrupdate.xml", "plain");

    // The URL's port (9) and scheme default are ignored: the fixed port wins.
    auto secure = client_for(tls.port(), "https://127.0.0.1:9/xml/lmrupdate.xml");
    EXPECT_TRUE(secure->SendHttpRequest(L"GET"));
    EXPECT_EQ(secure->GetBody(), L"tls");
    ASSERT_EQ(tls.requests().size(), 1u);
    EXPECT_EQ(tls.requests()[0].tls_version, "TLSv1.2");  // 0xAA0 stops at TLS 1.2

    // "http://" goes to the same fixed port, without TLS.
    auto insecure = client_for(plain.port(), "http://127.0.0.1/xml/lmrupdate.xml");
    EXPECT_TRUE(insecure->SendHttpRequest(L"GET"));
    EXPECT_EQ(insecure->GetBody(), L"plain");

    // The deployment switch follows the URL's port instead.
    auto from_url = client_for(tls.port(), tls.url("/xml/lmrupdate.xml"));
    from_url->SetServerPort(kPortFromUrl);
    EXPECT_TRUE(from_url->SendHttpRequest(L"GET"));
    EXPECT_EQ(from_url->GetBody(), L"tls");

    // Without the override the default port is 443: a URL naming the
    // server's real port does not reach it.
    RkWinHttpClient fixed;
    fixed.SetTimeouts({0, 2000, 2000, 2000});
    fixed.SetUrl(wide(tls.url("/xml/lmrupdate.xml")));
    tls.clear_log();
    fixed.SendHttpRequest(L"GET");
    EXPECT_EQ(tls.request_count(), 0u);
}

TEST(RkWinHttpClient, BodiesAcrossBufferSizes) {
    struct Case {
        std::string name;
        std::string response;
        std::string body;
    };
    const std::string exact(kInitialBodyBufferSize, 'x');
    const std::string big(3 * kInitialBodyBufferSize + 17, 'y');
    const Case cases[] = {
        // Framing (no length, chunks) is the platform client's (BrokenAndUnframedBodies).
        {"empty", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
        {"exactly the first buffer", "HTTP/1.1 200 OK\r\nContent-Length: 10240\r\n\r\n" + exact, exact},
        {"several doublings", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(big.size()) + "\r\n\r\n" + big,
         big},
        {"cut short: what arrived, error 0", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this", "only this"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(c.response);
        auto client = client_for(server.port(), server.url("/m"));
        EXPECT_TRUE(client->SendHttpRequest(L"GET"));
        EXPECT_EQ(client->GetErrorCode(), 0u);
        EXPECT_EQ(client->GetStatusText(), L"200");
        EXPECT_EQ(client->GetBody(), wide(c.body));
        const auto raw = client->GetRawBody();
        EXPECT_EQ(std::string(raw.begin(), raw.end()), c.body);
        // The buffer keeps the terminating zero byte after the data.
        EXPECT_EQ(raw.data()[raw.size()], 0);
    }
}

// The body is bounded: an endless or over-long body fails the request with
// 12184 (the usual failed attempt for the loop) and keeps nothing.
TEST(RkWinHttpClient, BodiesBeyondTheBoundFailAndKeepNothing) {
    TestServer server(TestServer::Mode::kTls);
    ASSERT_TRUE(server.running());
    server.handle("GET", "/endless", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("text/xml", [](std::size_t, httplib::DataSink& sink) {
            static const std::string block(64 * 1024, '<');
            return sink.write(block.data(), block.size());
        });
    });
    const std::size_t bound = 64 * 1024;
    server.serve("/exact", std::string(bound, 'x'));
    server.serve("/over", std::string(bound + 1, 'x'));
    struct Case {
        const char* path;
        std::uint64_t bound;  // 0: the default (1 MiB)
        DWORD error;
        std::size_t kept;
    };
    const Case cases[] = {
        {"/exact", bound, 0, bound},
        {"/over", bound, 12184, 0},
        {"/endless", 0, 12184, 0},
        {"/exact", 1ull << 40, 0, bound},  // a bound beyond 32 bits is clamped, not wrapped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.bound));
        auto client = client_for(server.port(), server.url(c.path));
        if (c.bound != 0) {
            client->SetMaxBodyBytes(c.bound);
        }
        EXPECT_EQ(client->SendHttpRequest(L"GET"), c.error == 0);
        EXPECT_EQ(client->GetErrorCode(), c.error);
        EXPECT_EQ(client->GetRawBody().size(), c.kept);
        EXPECT_EQ(client->GetBody().size(), c.kept);
    }
}

TEST(RkWinHttpClient, BodyDecodingFollowsTheCharacterSet) {
    // "é€" in UTF-8, then a NUL and more text.
    const std::string bytes = "caf\xC3\xA9 \xE2\x82\xAC";
    RawServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bytes.size() + 4) + "\r\n\r\n" + bytes +
                     std::string("\0end", 4));
    struct Case {
        std::wstring charset;
        std::wstring body;
    };
    const Case cases[] = {
        {L"", L"caf\xC3\xA9 \xE2\x201A\xAC"},  // Windows-1252, byte by byte
        {L"iso-8859-1", L"caf\xC3\xA9 \xE2\x201A\xAC"},
        {L"utf-8", L"caf\xE9 \x20AC"},
        {L"UTF-8; q=1", L"caf\xE9 \x20AC"},
        {L"utf8", L"caf\xC3\xA9 \xE2\x201A\xAC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(text::wide_to_utf8(c.charset));
        auto client = client_for(server.port(), server.url("/m"));
        client->SetBodyCharset(c.charset);
        EXPECT_TRUE(client->SendHttpRequest(L"GET"));
        EXPECT_EQ(client->GetBody(), c.body);  // up to the first NUL
        EXPECT_EQ(client->GetRawBody().size(), bytes.size() + 4);
    }
}

TEST(RkWinHttpClient, UnusableUrlsAndTransportFailures) {
    TestServer stalling(TestServer::Mode::kPlain);
    stalling.handle("GET", "/m", [&](const httplib::Request&, httplib::Response& response) {
        stalling.stall(std::chrono::seconds(10));
        response.set_content("late", "text/plain");
    });
    RawServer garbage("this is not HTTP\r\n\r\n");
    struct Case {
        std::string name;
        int port;
        std::string url;
        DWORD error;
        std::wstring line;  // empty: the URL is refused before any line
    };
    const Case cases[] = {
        {"refused", closed_port(), "https://127.0.0.1/m", 50,
         L"Failed in WinHttpSendRequest with error 50"},
        {"response never comes", stalling.port(), "http://127.0.0.1/m", 12002,
         L"Failed in WinHttpReceiveResponse with error 12002"},
        {"not HTTP", garbage.port(), "http://127.0.0.1/m", 12152,
         L"Failed in WinHttpReceiveResponse with error 12152"},
        {"no URL", garbage.port(), "", 3, L""},
        {"not http", garbage.port(), "ftp://127.0.0.1/x", 12006, L""},
        {"no host", garbage.port(), "https://", 12005, L""},
        {"no scheme", garbage.port(), "no scheme at all", 12005, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logging::test::ScopedLogCapture capture;
        auto client = client_for(c.port, c.url);
        client->SetTimeouts({0, 500, 500, 500});
        EXPECT_FALSE(client->SendHttpRequest(L"GET"));
        EXPECT_EQ(client->GetErrorCode(), c.error);
        EXPECT_EQ(client->GetStatusText(), L"");
        if (!c.line.empty()) {
            EXPECT_TRUE(capture.logger().Contains(c.line));
            EXPECT_TRUE(capture.logger().Contains(L"WinHttpSetOption Succeeded"));
        }
    }
}

// One client across requests: extra headers go with the next request only (a
// rejected header line is reported but the request still goes out), a
// released session opens again, strict certificates refuse the development
// certificate.
TEST(RkWinHttpClient, OneClientAcrossRequests) {
    TestServer server(TestServer::Mode::kTls);
    int served = 0;
    server.handle("GET", "/m", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content("<UPDATER n=\"" + std::to_string(++served) + "\"/>", "text/xml");
    });
    auto client = client_for(server.port(), server.url("/m"));
    client->SetRequestHeaders(L"X-Rk-Test: one\r\nX-Rk-Test: two");
    EXPECT_TRUE(client->SendHttpRequest(L"GET"));
    EXPECT_TRUE(client->SendHttpRequest(L"GET"));
    const auto log = server.requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].header("X-Rk-Test"), "one; two");
    EXPECT_EQ(log[1].header("X-Rk-Test"), "");
    client->SetRequestHeaders(L"no colon here");
    EXPECT_TRUE(client->SendHttpRequest(L"GET"));
    EXPECT_EQ(client->GetErrorCode(), 0u);

    client->ReleaseSession();
    EXPECT_EQ(client->GetBody(), L"");
    ASSERT_TRUE(client->SendHttpRequest(L"GET"));
    EXPECT_EQ(client->GetBody(), L"<UPDATER n=\"4\"/>");

    client->SetStrictCertificates(true);
    EXPECT_FALSE(client->SendHttpRequest(L"GET"));
    EXPECT_EQ(client->GetErrorCode(), kSendFailedError);
    client->SetStrictCertificates(false);
    EXPECT_TRUE(client->SendHttpRequest(L"GET"));
    EXPECT_EQ(served, 5);
}

}  // namespace
}  // namespace rk::app
