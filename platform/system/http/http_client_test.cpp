// The libcurl client against real servers on 127.0.0.1 (TLS and plain).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/system/http/cancellation.h"
#include "platform/system/http/http_session.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/http/url_parts.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys::http {
namespace {

using test::closed_port;
using test::RawServer;
using test::SilentListener;
using test::TestServer;
using Clock = std::chrono::steady_clock;

std::unique_ptr<HttpSession> make_session(SessionOptions options = {}) {
    if (options.user_agent.empty()) {
        options.user_agent = L"RkTest";
    }
    DWORD error = 0;
    auto session = open_http_session(options, error);
    EXPECT_EQ(error, 0u);
    return session;
}

SessionOptions direct() {
    SessionOptions options;
    options.proxy.access = AccessType::kNoProxy;
    return options;
}

// One request: open, options, send, receive; the stages' results are kept.
struct Exchange {
    std::unique_ptr<HttpConnection> connection;
    std::unique_ptr<HttpRequest> request;
    DWORD send_error = 0;
    DWORD receive_error = 0;

    std::string read_all(DWORD& error) const {
        std::string body;
        std::uint8_t chunk[700];
        while (true) {
            std::size_t read = 0;
            error = request->read_data(chunk, read);
            if (error != 0 || read == 0) {
                return body;
            }
            body.append(reinterpret_cast<const char*>(chunk), read);
        }
    }
    std::string body() const {
        DWORD error = 0;
        std::string text = read_all(error);
        EXPECT_EQ(error, 0u);
        return text;
    }
};

struct RequestSpec {
    std::wstring verb = L"GET";
    DWORD security_flags = kSecurityFlagsIgnoreCertErrors;
    std::wstring headers;
    std::string body;
    std::optional<Timeouts> timeouts;
    bool secure_from_scheme = true;
};

Exchange perform(HttpSession& session, const std::string& url, const RequestSpec& spec = {}) {
    Exchange result;
    UrlParts parts;
    EXPECT_EQ(crack_url(text::utf8_to_wide(url), parts), 0u);
    DWORD error = 0;
    result.connection = session.connect(parts.host, parts.port, error);
    EXPECT_EQ(error, 0u);
    result.request = result.connection->open_request(spec.verb, parts.request_target(), parts.secure(), error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(result.request->set_security_flags(spec.security_flags), 0u);
    if (spec.timeouts) {
        result.request->set_timeouts(*spec.timeouts);
    }
    if (!spec.headers.empty()) {
        EXPECT_EQ(result.request->add_headers(spec.headers, kAddReqFlagAdd), 0u);
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(spec.body.data());
    result.send_error = result.request->send({bytes, spec.body.size()});
    if (result.send_error == 0) {
        result.receive_error = result.request->receive_response();
    }
    return result;
}

std::string pattern_body(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    }
    return body;
}

long long elapsed_ms(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(HttpClient, TlsGetReportsStatusHeadersAndBody) {
    TestServer server(TestServer::Mode::kTls);
    ASSERT_TRUE(server.running());
    server.serve("/xml/lmrupdate.xml", "<UPDATER/>", "text/xml");
    auto session = make_session(direct());
    const auto ex = perform(*session, server.url("/xml/lmrupdate.xml?x=1"));
    ASSERT_EQ(ex.send_error, 0u);
    ASSERT_EQ(ex.receive_error, 0u);
    EXPECT_EQ(ex.request->status_code(), 200u);
    EXPECT_EQ(ex.request->status_text(), L"OK");
    EXPECT_EQ(ex.request->content_length(), 10u);
    EXPECT_EQ(ex.request->header(L"content-type"), L"text/xml");
    const std::wstring raw = ex.request->raw_headers();
    EXPECT_TRUE(raw.starts_with(L"HTTP/1.1 200 OK\r\n")) << text::wide_to_utf8(raw);
    EXPECT_TRUE(raw.ends_with(L"\r\n\r\n"));
    EXPECT_NE(raw.find(L"Content-Length: 10\r\n"), std::wstring::npos);
    EXPECT_EQ(ex.body(), "<UPDATER/>");

    const auto log = server.requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].target, "/xml/lmrupdate.xml?x=1");
    EXPECT_EQ(log[0].header("User-Agent"), "RkTest");
    // WinHTTP sends neither unless asked.
    EXPECT_FALSE(log[0].headers.count("Accept"));
    EXPECT_FALSE(log[0].headers.count("Expect"));
}

TEST(HttpClient, CertificateChecks) {
    TestServer server(TestServer::Mode::kTls);
    server.serve("/a", "ok");
    struct Case {
        const char* name;
        std::filesystem::path ca_file;
        DWORD flags;
        DWORD send_error;
    };
    const Case cases[] = {
        {"errors ignored", {}, kSecurityFlagsIgnoreCertErrors, 0},
        {"strict with the development root", test::dev_root_ca(), 0, 0},
        {"strict with the system store", {}, 0, win::kWinHttpErrorSecureFailure},
        {"ignoring only a name mismatch", {}, kSecurityFlagIgnoreCertCnInvalid, win::kWinHttpErrorSecureFailure},
        {"ignoring only an unknown authority", {}, kSecurityFlagIgnoreUnknownCa, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SessionOptions options = direct();
        options.ca_file = c.ca_file;
        auto session = make_session(options);
        RequestSpec spec;
        spec.security_flags = c.flags;
        const auto ex = perform(*session, server.url("/a"), spec);
        EXPECT_EQ(ex.send_error, c.send_error);
        if (c.send_error == 0) {
            EXPECT_EQ(ex.request->status_code(), 200u);
        }
    }
}

TEST(HttpClient, SecureProtocolBitsLimitTheNegotiatedVersion) {
    TestServer server(TestServer::Mode::kTls);
    server.serve("/v", "v");
    struct Case {
        DWORD protocols;
        DWORD send_error;
        const char* version;
    };
    const Case cases[] = {
        {kSecureProtocolsSsl3ToTls1_2, 0, "TLSv1.2"},
        {kSecureProtocolsDefault, 0, "TLSv1.3"},
        {kSecureProtocolTls1_3, 0, "TLSv1.3"},
        {kSecureProtocolSsl3, win::kWinHttpErrorSecureFailure, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.protocols);
        server.clear_log();
        auto session = make_session(direct());
        ASSERT_EQ(session->set_secure_protocols(c.protocols), 0u);
        const auto ex = perform(*session, server.url("/v"));
        EXPECT_EQ(ex.send_error, c.send_error);
        const auto log = server.requests();
        if (c.version == nullptr) {
            EXPECT_TRUE(log.empty());
        } else {
            ASSERT_EQ(log.size(), 1u);
            EXPECT_EQ(log[0].tls_version, c.version);
        }
    }
    auto session = make_session(direct());
    EXPECT_EQ(session->set_secure_protocols(0x40000), win::kErrorInvalidParameter);
}

TEST(HttpClient, TransportFailuresAsWinHttpErrors) {
    TestServer tls(TestServer::Mode::kTls);
    TestServer plain(TestServer::Mode::kPlain);
    RawServer garbage("SSH-2.0-OpenSSH_9.2\r\n\r\n");
    const std::string tls_port = std::to_string(tls.port());
    const std::string plain_port = std::to_string(plain.port());
    struct Case {
        const char* name;
        std::string url;
        DWORD error;  // from send or receive
    };
    const Case cases[] = {
        {"nothing listens", "http://127.0.0.1:" + std::to_string(closed_port()) + "/", win::kWinHttpErrorCannotConnect},
        {"name does not resolve", "https://no-such-host.invalid/", win::kWinHttpErrorNameNotResolved},
        {"https to a plain port", "https://127.0.0.1:" + plain_port + "/", win::kWinHttpErrorSecureFailure},
        {"plain http to a TLS port", "http://127.0.0.1:" + tls_port + "/",
         win::kWinHttpErrorInvalidServerResponse},
        {"not HTTP at all", garbage.url("/"), win::kWinHttpErrorInvalidServerResponse},
    };
    auto session = make_session(direct());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto ex = perform(*session, c.url);
        EXPECT_EQ(ex.send_error != 0 ? ex.send_error : ex.receive_error, c.error);
        EXPECT_EQ(ex.request->status_code(), 0u);
        // A failed request keeps reporting its error.
        std::size_t available = 0;
        EXPECT_EQ(ex.request->query_data_available(available), c.error);
    }
}

TEST(HttpClient, ConnectAndSendTimeouts) {
    struct Case {
        const char* name;
        const char* scheme;
        bool fill_backlog;  // the kernel no longer accepts for the listener
        Timeouts timeouts;
        std::size_t body;
    };
    const Case cases[] = {
        {"the server never answers", "http", true, {0, 300, 30000, 30000}, 0},
        {"a TLS handshake that never completes", "https", false, {0, 300, 30000, 30000}, 0},
        // Accepted in the kernel, never read: more than the socket buffers hold.
        {"the server stops reading", "http", false, {0, 2000, 300, 60000}, 64 * 1024 * 1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SilentListener listener;
        if (c.fill_backlog) {
            ASSERT_TRUE(listener.fill_backlog());
        }
        SessionOptions options = direct();
        options.timeouts = c.timeouts;
        auto session = make_session(options);
        RequestSpec spec;
        spec.verb = c.body == 0 ? L"GET" : L"POST";
        spec.body.assign(c.body, 'u');
        const auto start = Clock::now();
        const auto ex = perform(*session, listener.url(c.scheme, "/upload"), spec);
        EXPECT_EQ(ex.send_error, win::kWinHttpErrorTimeout);
        EXPECT_LT(elapsed_ms(start), 5000);
    }
}

TEST(HttpClient, ReceiveTimeoutBeforeHeadersAndInsideTheBody) {
    TestServer server(TestServer::Mode::kPlain);
    server.handle("GET", "/late-headers", [&](const httplib::Request&, httplib::Response& response) {
        server.stall(std::chrono::seconds(10));
        response.set_content("late", "text/plain");
    });
    const std::string half(1000, 'h');
    server.handle("GET", "/stalls-midway", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(2000, "application/octet-stream",
                                      [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          if (offset == 0) {
                                              return sink.write(half.data(), half.size());
                                          }
                                          server.stall(std::chrono::seconds(10));
                                          return false;
                                      });
    });
    auto session = make_session(direct());
    RequestSpec spec;
    spec.timeouts = Timeouts{0, 2000, 2000, 300};

    auto start = Clock::now();
    const auto late = perform(*session, server.url("/late-headers"), spec);
    EXPECT_EQ(late.send_error, 0u);
    EXPECT_EQ(late.receive_error, win::kWinHttpErrorTimeout);
    EXPECT_LT(elapsed_ms(start), 3000);

    start = Clock::now();
    const auto midway = perform(*session, server.url("/stalls-midway"), spec);
    ASSERT_EQ(midway.receive_error, 0u);
    DWORD error = 0;
    const std::string got = midway.read_all(error);
    EXPECT_EQ(got, half);
    EXPECT_EQ(error, win::kWinHttpErrorTimeout);
    EXPECT_LT(elapsed_ms(start), 3000);
}

TEST(HttpClient, ACancelledThreadTokenEndsPendingAndLaterRequests) {
    TestServer server(TestServer::Mode::kPlain);
    server.handle("GET", "/never", [&](const httplib::Request&, httplib::Response& response) {
        server.stall(std::chrono::seconds(10));
        response.set_content("late", "text/plain");
    });
    server.serve("/fast", "fast");
    auto session = make_session(direct());
    auto token = std::make_shared<CancelToken>();
    const auto previous = set_thread_cancel_token(token);
    EXPECT_EQ(perform(*session, server.url("/fast")).body(), "fast");
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        token->cancel();
    });
    const auto start = Clock::now();
    const auto pending = perform(*session, server.url("/never"));
    canceller.join();
    EXPECT_EQ(pending.receive_error, win::kWinHttpErrorOperationCancelled);
    EXPECT_LT(elapsed_ms(start), 2000);
    EXPECT_EQ(perform(*session, server.url("/fast")).send_error, win::kWinHttpErrorOperationCancelled);
    EXPECT_EQ(set_thread_cancel_token(previous), token);
    EXPECT_EQ(perform(*session, server.url("/fast")).body(), "fast");  // opened without the token
}

TEST(HttpClient, BrokenAndUnframedBodies) {
    struct Case {
        const char* name;
        std::string response;
        std::optional<std::uint64_t> length;
        std::string body;
        DWORD read_error;
    };
    const Case cases[] = {
        {"connection closes before the announced length",
         "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789", 100, "0123456789",
         win::kWinHttpErrorConnectionError},
        {"no length, body ends with the connection", "HTTP/1.0 200 OK\r\n\r\nuntil close", std::nullopt,
         "until close", 0},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n",
         std::nullopt, "abcde", 0},
        {"empty 204", "HTTP/1.1 204 No Content\r\n\r\n", std::nullopt, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(c.response);
        auto session = make_session(direct());
        const auto ex = perform(*session, server.url("/"));
        ASSERT_EQ(ex.receive_error, 0u);
        EXPECT_EQ(ex.request->content_length(), c.length);
        DWORD error = 0;
        EXPECT_EQ(ex.read_all(error), c.body);
        EXPECT_EQ(error, c.read_error);
    }
}

TEST(HttpClient, ConnectionsAreReusedWithinASessionOnly) {
    TestServer server(TestServer::Mode::kTls);
    server.serve("/r", "reuse");
    auto first = make_session(direct());
    auto second = make_session(direct());
    for (auto* session : {first.get(), first.get(), second.get()}) {
        const auto ex = perform(*session, server.url("/r"));
        EXPECT_EQ(ex.body(), "reuse");
    }
    const auto log = server.requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].remote_port, log[1].remote_port);
    EXPECT_NE(log[0].remote_port, log[2].remote_port);
}

// Whether libcurl is mapped into this process.
bool curl_mapped() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libcurl.so") != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(HttpClient, TheStackUnloadsOnlyWhenNothingUsesItAndLoadsAgain) {
    TestServer server(TestServer::Mode::kTls);
    server.serve("/u", "unload");
    {
        auto session = make_session(direct());
        const auto ex = perform(*session, server.url("/u"));
        session.reset();
        // The open request keeps it, and keeps working.
        EXPECT_FALSE(unload_http_stack());
        EXPECT_EQ(ex.body(), "unload");
    }
    EXPECT_TRUE(unload_http_stack());
    EXPECT_FALSE(curl_mapped());
    auto session = make_session(direct());
    EXPECT_EQ(perform(*session, server.url("/u")).body(), "unload");
    EXPECT_TRUE(curl_mapped());
}

TEST(HttpClient, HeadersMethodsAndRequestBodies) {
    TestServer server(TestServer::Mode::kPlain);
    auto echo = [](const httplib::Request& request, httplib::Response& response) {
        response.set_header("X-Twice", "1");
        response.headers.emplace("X-Twice", "2");
        response.set_content(request.method + ":" + request.body, "text/plain");
    };
    server.handle("POST", "/echo", echo);
    server.handle("PATCH", "/echo", echo);
    server.handle("GET", "/echo", echo);
    auto session = make_session(direct());

    RequestSpec post;
    post.verb = L"POST";
    post.body = "{\"a\":1}";
    post.headers = L"Content-Type: application/json\r\nCache-Control: no-cache";
    const auto posted = perform(*session, server.url("/echo"), post);
    EXPECT_EQ(posted.body(), "POST:{\"a\":1}");
    EXPECT_EQ(posted.request->header(L"X-Twice", 0), L"1");
    EXPECT_EQ(posted.request->header(L"X-Twice", 1), L"2");

    RequestSpec patch;
    patch.verb = L"PATCH";
    EXPECT_EQ(perform(*session, server.url("/echo"), patch).body(), "PATCH:");

    RequestSpec head;
    head.verb = L"HEAD";
    const auto headed = perform(*session, server.url("/echo"), head);
    EXPECT_EQ(headed.request->status_code(), 200u);
    EXPECT_EQ(headed.body(), "");

    const auto log = server.requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].header("Content-Type"), "application/json");
    EXPECT_EQ(log[0].header("Cache-Control"), "no-cache");
    EXPECT_EQ(log[0].header("Content-Length"), "7");
    EXPECT_EQ(log[1].header("Content-Length"), "0");

    DWORD error = 0;
    auto connection = session->connect(L"127.0.0.1", static_cast<unsigned>(server.port()), error);
    EXPECT_EQ(connection->open_request(L"GE T", L"/", false, error), nullptr);
    EXPECT_EQ(error, win::kErrorInvalidParameter);
    auto get = connection->open_request(L"GET", L"/", false, error);
    EXPECT_EQ(get->send(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("x"), 1)),
              win::kErrorInvalidParameter);
    EXPECT_EQ(session->connect(L"", 80, error), nullptr);
    EXPECT_EQ(error, win::kErrorInvalidParameter);
}

TEST(HttpClient, BasicCredentialsAndEncodedPathsOnTheWire) {
    TestServer server(TestServer::Mode::kPlain);
    server.serve("/auth", "ok");
    auto session = make_session(direct());
    DWORD error = 0;
    auto connection = session->connect(L"127.0.0.1", static_cast<unsigned>(server.port()), error);
    auto request = connection->open_request(L"GET", L"/auth", false, error);
    EXPECT_EQ(request->set_credentials(kAuthSchemePassport, L"u", L"p"), win::kErrorInvalidParameter);
    ASSERT_EQ(request->set_credentials(kAuthSchemeBasic, L"user", L"p\u00e4ss"), 0u);
    ASSERT_EQ(request->send(), 0u);
    EXPECT_EQ(request->set_credentials(kAuthSchemeBasic, L"x", L"y"), win::kWinHttpErrorIncorrectHandleState);
    ASSERT_EQ(request->receive_response(), 0u);

    auto encoded = connection->open_request(L"GET", L"/a b/\u00e9#x?q=1", false, error);
    ASSERT_EQ(encoded->send(), 0u);
    ASSERT_EQ(encoded->receive_response(), 0u);
    EXPECT_EQ(encoded->status_code(), 404u);
    const auto log = server.requests();
    ASSERT_EQ(log.size(), 2u);
    // base64("user:p" U+00E4 "ss" in UTF-8)
    EXPECT_EQ(log[0].header("Authorization"), "Basic dXNlcjpww6Rzcw==");
    EXPECT_EQ(log[1].target, "/a%20b/%C3%A9%23x?q=1");
}

TEST(HttpClient, RangesAndValidators) {
    TestServer server(TestServer::Mode::kTls);
    const std::string body = pattern_body(5000);
    server.serve("/cab", test::Resource{body, "application/octet-stream", "\"v1\"", "", true});
    auto session = make_session(direct());
    struct Case {
        std::wstring headers;
        unsigned status;
        std::string body;
        std::optional<std::wstring> content_range;
    };
    const Case cases[] = {
        {L"Range: bytes=4000-", 206, body.substr(4000), L"bytes 4000-4999/5000"},
        {L"Range: bytes=10-19", 206, body.substr(10, 10), L"bytes 10-19/5000"},
        {L"Range: bytes=4000-\r\nIf-Range: \"v1\"", 206, body.substr(4000), L"bytes 4000-4999/5000"},
        {L"Range: bytes=4000-\r\nIf-Range: \"v0\"", 200, body, std::nullopt},
        {L"Range: bytes=6000-", 416, "", L"bytes */5000"},
        {L"If-None-Match: \"v1\"", 304, "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(text::wide_to_utf8(c.headers));
        RequestSpec spec;
        spec.headers = c.headers;
        const auto ex = perform(*session, server.url("/cab"), spec);
        ASSERT_EQ(ex.receive_error, 0u);
        EXPECT_EQ(ex.request->status_code(), c.status);
        EXPECT_EQ(ex.request->header(kHeaderContentRange), c.content_range);
        EXPECT_EQ(ex.body(), c.body);
    }
}

TEST(HttpClient, LargeBodiesPauseAndStream) {
    TestServer server(TestServer::Mode::kTls);
    const std::string body = pattern_body(5 * 1024 * 1024 + 17);
    server.serve("/big", body);
    SessionOptions options = direct();
    options.body_buffer_limit = 1;  // every read leaves the transfer paused
    auto session = make_session(options);

    // Small reads: the transfer pauses at the buffer bound and resumes.
    EXPECT_TRUE(perform(*session, server.url("/big")).body() == body);  // too large to print

    // Streaming into a sink while paused with bytes still buffered.
    const auto ex = perform(*session, server.url("/big"));
    std::uint8_t first[10];
    std::size_t read = 0;
    ASSERT_EQ(ex.request->read_data(first, read), 0u);
    std::string streamed(reinterpret_cast<const char*>(first), read);
    EXPECT_EQ(ex.request->read_body([&](std::span<const std::uint8_t> piece) {
        streamed.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        return true;
    }),
              0u);
    EXPECT_EQ(streamed.size(), body.size());
    EXPECT_TRUE(streamed == body);

    // A sink that refuses stops the transfer.
    const auto refused = perform(*session, server.url("/big"));
    EXPECT_EQ(refused.request->read_body([](std::span<const std::uint8_t>) { return false; }),
              win::kWinHttpErrorOperationCancelled);
}

TEST(HttpClient, RedirectsAreFollowedButNeverFromHttpsToHttp) {
    TestServer tls(TestServer::Mode::kTls);
    TestServer plain(TestServer::Mode::kPlain);
    tls.serve("/final", "final");
    plain.serve("/final", "plain final");
    tls.handle("GET", "/moved", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(tls.url("/final"), 302);
    });
    tls.handle("GET", "/downgrade", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(plain.url("/final"), 301);
    });
    plain.handle("GET", "/upgrade", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(tls.url("/final"), 307);
    });
    auto session = make_session(direct());

    const auto moved = perform(*session, tls.url("/moved"));
    ASSERT_EQ(moved.receive_error, 0u);
    EXPECT_EQ(moved.request->status_code(), 200u);
    EXPECT_TRUE(moved.request->raw_headers().starts_with(L"HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(moved.body(), "final");

    const auto upgrade = perform(*session, plain.url("/upgrade"));
    EXPECT_EQ(upgrade.body(), "final");

    const auto downgrade = perform(*session, tls.url("/downgrade"));
    EXPECT_EQ(downgrade.send_error != 0 ? downgrade.send_error : downgrade.receive_error,
              win::kWinHttpErrorRedirectFailed);
    EXPECT_TRUE(plain.requests().size() == 0 || plain.requests()[0].path != "/final");
}

TEST(HttpClient, ProxySettings) {
    TestServer target(TestServer::Mode::kPlain);
    target.serve("/p", "direct");
    RawServer proxy("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nproxied");
    const std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.port());
    const std::wstring wide_proxy = text::utf8_to_wide(proxy_address);

    struct Case {
        const char* name;
        ProxySettings settings;
        std::optional<std::string> env_http_proxy;
        std::optional<std::string> env_no_proxy;
        std::string body;
    };
    const Case cases[] = {
        {"named proxy", {AccessType::kNamedProxy, wide_proxy, L""}, std::nullopt, std::nullopt, "proxied"},
        {"named proxy for https only", {AccessType::kNamedProxy, L"https=" + wide_proxy, L""}, std::nullopt,
         std::nullopt, "direct"},
        {"named proxy, host bypassed", {AccessType::kNamedProxy, wide_proxy, L"127.0.0.*"}, std::nullopt,
         std::nullopt, "direct"},
        {"no proxy ignores the environment", {AccessType::kNoProxy, L"", L""}, "http://" + proxy_address,
         std::nullopt, "direct"},
        {"environment", {AccessType::kDefaultProxy, L"", L""}, "http://" + proxy_address + "/", std::nullopt,
         "proxied"},
        {"environment with no_proxy", {AccessType::kDefaultProxy, L"", L""}, "http://" + proxy_address,
         "localhost,127.0.0.1", "direct"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sys::test::ScopedEnv http_proxy("http_proxy", c.env_http_proxy);
        sys::test::ScopedEnv upper("HTTP_PROXY", std::nullopt);
        sys::test::ScopedEnv all("all_proxy", std::nullopt);
        sys::test::ScopedEnv no_proxy("no_proxy", c.env_no_proxy);
        SessionOptions options;
        options.proxy = c.settings;
        auto session = make_session(options);
        const auto ex = perform(*session, target.url("/p"));
        ASSERT_EQ(ex.receive_error, 0u);
        EXPECT_EQ(ex.body(), c.body);
    }
}

}  // namespace
}  // namespace rk::sys::http
