// Automatic proxy resolution against real servers on 127.0.0.1: scripts
// named by URL or found by WPAD, the proxy they name carrying a real request,
// and scripts that must be refused.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/system/http/auto_proxy.h"
#include "platform/system/http/http_session.h"
#include "platform/system/http/proxy_result.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys::http {
namespace {

using test::TestServer;
using Kind = ProxyResultEntry::Kind;

// Answers from a table; records the names asked for.
class TableResolver final : public NameResolver {
public:
    TableResolver(std::map<std::string, std::string> names, std::vector<std::string> domains)
        : names_(std::move(names)), domains_(std::move(domains)) {}
    std::vector<std::string> resolve_ipv4(std::string_view host) const override {
        asked.emplace_back(host);
        const auto it = names_.find(std::string(host));
        return it == names_.end() ? std::vector<std::string>{} : std::vector<std::string>{it->second};
    }
    std::string local_ipv4() const override { return "192.168.7.20"; }
    std::vector<std::string> search_domains() const override { return domains_; }

    mutable std::vector<std::string> asked;

private:
    std::map<std::string, std::string> names_;
    std::vector<std::string> domains_;
};

AutoProxyContext small_limits(const NameResolver& resolver) {
    AutoProxyContext context;
    context.resolver = &resolver;
    context.limits.script_time = std::chrono::milliseconds(300);
    context.limits.script_heap = 8u * 1024 * 1024;
    context.limits.download = Timeouts{0, 5000, 5000, 5000};
    return context;
}

AutoProxyOptions config_url(const TestServer& server, std::string_view path) {
    return AutoProxyOptions{kAutoProxyConfigUrl, 0, server.wide_url(path)};
}

TEST(ProxyResult, Table) {
    struct Case {
        const char* result;
        std::vector<ProxyResultEntry> entries;
        std::optional<std::string> proxy;
    };
    const Case cases[] = {
        {"PROXY p1:3128; SOCKS s:1080; DIRECT",
         {{Kind::kProxy, "p1:3128"}, {Kind::kSocks, "s:1080"}, {Kind::kDirect, ""}},
         "p1:3128"},
        {"DIRECT; PROXY p1:3128", {{Kind::kDirect, ""}, {Kind::kProxy, "p1:3128"}}, std::nullopt},
        {"SOCKS5 s:1080; proxy p2", {{Kind::kSocks, "s:1080"}, {Kind::kProxy, "p2:80"}}, "p2:80"},
        {" \tHTTP 10.0.0.1:8080 ;", {{Kind::kProxy, "10.0.0.1:8080"}}, "10.0.0.1:8080"},
        {"SOCKS s:1080", {{Kind::kSocks, "s:1080"}}, std::nullopt},
        {"", {}, std::nullopt},
        {"PROXY; PROXY a:0; PROXY a:65536; PROXY a:8x; PROXY a b:1; PROXY :80; DIRECT x; HTTPS h:443", {}, std::nullopt},
        {"PROXY [::1]:80; PROXY a/b:80; PROXY ok:65535", {{Kind::kProxy, "ok:65535"}}, "ok:65535"},
    };
    for (const auto& c : cases) {
        const auto entries = parse_proxy_result(c.result);
        EXPECT_EQ(entries, c.entries) << c.result;
        EXPECT_EQ(first_proxy(entries), c.proxy) << c.result;
    }
}

TEST(WpadSearch, NamesFromResolvConf) {
    struct Case {
        const char* resolv_conf;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"nameserver 10.0.0.1\nsearch A.Corp.Example.com. lab.example.com\n",
         {"wpad.a.corp.example.com", "wpad.corp.example.com", "wpad.example.com", "wpad.lab.example.com"}},
        {"domain corp.example\n", {"wpad.corp.example"}},
        {"search one.example\ndomain ignored.example\nsearch two.example # comment\n", {"wpad.two.example"}},
        {"search lan\n", {"wpad.lan"}},
        {"search a.b.c.d.e.f.g.h.i.j.example\n",
         {"wpad.a.b.c.d.e.f.g.h.i.j.example", "wpad.b.c.d.e.f.g.h.i.j.example", "wpad.c.d.e.f.g.h.i.j.example",
          "wpad.d.e.f.g.h.i.j.example", "wpad.e.f.g.h.i.j.example", "wpad.f.g.h.i.j.example",
          "wpad.g.h.i.j.example", "wpad.h.i.j.example"}},
        {"nameserver 10.0.0.1\n", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(wpad_names(search_domains_from_resolv_conf(c.resolv_conf), 8), c.names) << c.resolv_conf;
    }
}

// The machine's resolver: search domains from <root>/etc/resolv.conf read
// through a link (as systemd-resolved installs it), literal addresses,
// names that do not resolve, and an own address.
TEST(WpadSearch, SystemResolver) {
    rk::sys::test::TempRoot root;
    std::filesystem::create_directories(root.path() / "etc");
    std::ofstream(root.path() / "etc" / "stub-resolv.conf") << "nameserver 127.0.0.53\nsearch Corp.Example\n";
    std::filesystem::create_symlink("stub-resolv.conf", root.path() / "etc" / "resolv.conf");
    const NameResolver& resolver = system_name_resolver();
    EXPECT_EQ(resolver.search_domains(), std::vector<std::string>{"corp.example"});
    EXPECT_EQ(resolver.resolve_ipv4("127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
    EXPECT_TRUE(resolver.resolve_ipv4("wpad.nowhere.invalid").empty());
    EXPECT_TRUE(resolver.resolve_ipv4(std::string_view("a\0b", 3)).empty());
    const std::string own = resolver.local_ipv4();
    EXPECT_EQ(resolver.resolve_ipv4(own), std::vector<std::string>{own});
}

// The script's proxy carries the request: the proxy server sees the
// absolute URL of the origin, which is never contacted.
TEST(AutoProxy, ScriptNamesTheProxyThatCarriesTheRequest) {
    TestServer scripts(TestServer::Mode::kPlain);
    TestServer proxy(TestServer::Mode::kPlain);
    ASSERT_TRUE(scripts.running() && proxy.running());
    scripts.serve("/proxy.pac",
                  "function FindProxyForURL(url, host) {\n"
                  "  if (dnsDomainIs(host, '.example.test') && isInNet(myIpAddress(), '192.168.0.0', '255.255.0.0'))\n"
                  "    return 'SOCKS 127.0.0.1:1; PROXY 127.0.0.1:" + std::to_string(proxy.port()) + "; DIRECT';\n"
                  "  return 'DIRECT';\n"
                  "}\n",
                  "application/x-ns-proxy-autoconfig");
    proxy.handle("GET", "http://app.example.test/data",
                 [](const httplib::Request&, httplib::Response& response) { response.set_content("via proxy", "text/plain"); });
    TableResolver resolver({}, {});
    const AutoProxyContext context = small_limits(resolver);

    ProxyInfo direct;
    ASSERT_EQ(get_proxy_for_url(L"http://other.test/x", config_url(scripts, "/proxy.pac"), context, direct), 0u);
    EXPECT_EQ(direct.access, AccessType::kNoProxy);

    ProxyInfo info;
    ASSERT_EQ(get_proxy_for_url(L"http://app.example.test/data", config_url(scripts, "/proxy.pac"), context, info), 0u);
    ASSERT_EQ(info.access, AccessType::kNamedProxy);
    EXPECT_EQ(info.proxy, L"127.0.0.1:" + std::to_wstring(proxy.port()));
    EXPECT_EQ(scripts.requests().at(0).header("Host"), "127.0.0.1:" + std::to_string(scripts.port()));

    SessionOptions options;
    options.user_agent = L"RkTest";
    options.proxy = ProxySettings{info.access, info.proxy, info.bypass};
    DWORD error = 0;
    auto session = open_http_session(options, error);
    ASSERT_TRUE(session);
    auto connection = session->connect(L"app.example.test", 80, error);
    ASSERT_TRUE(connection);
    auto request = connection->open_request(kVerbGet, L"/data", false, error);
    ASSERT_TRUE(request);
    ASSERT_EQ(request->send(), 0u);
    ASSERT_EQ(request->receive_response(), 0u);
    EXPECT_EQ(request->status_code(), 200u);
    std::string body;
    EXPECT_EQ(request->read_body([&](std::span<const std::uint8_t> piece) {
        body.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        return true;
    }), 0u);
    EXPECT_EQ(body, "via proxy");
    ASSERT_EQ(proxy.request_count(), 1u);
    EXPECT_EQ(proxy.requests()[0].target, "http://app.example.test/data");
}

// Each script or download that must not give a proxy, and the error it gives.
TEST(AutoProxy, RefusedScripts) {
    struct Case {
        const char* name;
        std::string script;
        DWORD error;
    };
    const auto sized = [](std::size_t size) {
        std::string script = "function FindProxyForURL(u, h) { return 'PROXY p:1'; }";
        script.resize(size, ' ');
        return script;
    };
    const Case cases[] = {
        {"syntax error", "function FindProxyForURL(url, host) { return 'DIRECT' ", 12166},
        {"endless loop", "function FindProxyForURL(url, host) { for (;;) {} }", 12166},
        {"endless loop at load", "while (true) {}", 12166},
        {"huge allocation", "function FindProxyForURL(url, host) { var s = 'x'; for (;;) { s = s + s; } }", 12166},
        {"catastrophic regexp", "function FindProxyForURL(url, host) { return String(/^(a+)+b$/.test('aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac')); }", 12166},
        {"no FindProxyForURL", "function findProxy(url, host) { return 'DIRECT'; }", 12166},
        {"not a string", "function FindProxyForURL(url, host) { return 42; }", 12166},
        {"throws", "function FindProxyForURL(url, host) { throw new Error('no'); }", 12166},
        {"exactly 1 MiB", sized(1024 * 1024), 0},
        {"one byte over 1 MiB", sized(1024 * 1024 + 1), 12167},
    };
    TestServer scripts(TestServer::Mode::kPlain);
    ASSERT_TRUE(scripts.running());
    TableResolver resolver({}, {});
    const AutoProxyContext context = small_limits(resolver);
    for (const auto& c : cases) {
        scripts.serve("/proxy.pac", c.script);
        const auto started = std::chrono::steady_clock::now();
        ProxyInfo info;
        EXPECT_EQ(get_proxy_for_url(L"http://app.example.test/", config_url(scripts, "/proxy.pac"), context, info), c.error)
            << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << c.name;
    }
    ProxyInfo info;
    EXPECT_EQ(get_proxy_for_url(L"http://app.example.test/", config_url(scripts, "/missing.pac"), context, info), 12167u);
    EXPECT_EQ(get_proxy_for_url(L"http://app.example.test/", AutoProxyOptions{kAutoProxyConfigUrl, 0, L"ftp://x/p.pac"},
                                context, info),
              12167u);
    EXPECT_EQ(get_proxy_for_url(L"http://app.example.test/", AutoProxyOptions{}, context, info), 87u);
}

// DNS detection walks the search domain up to the first wpad.<domain> that
// answers; the script is asked for by that name. DHCP alone finds nothing.
TEST(AutoProxy, WpadByDns) {
    TestServer wpad(TestServer::Mode::kPlain);
    ASSERT_TRUE(wpad.running());
    wpad.serve("/wpad.dat", "function FindProxyForURL(url, host) { return 'PROXY corp-proxy:3128'; }");
    TableResolver resolver({{"wpad.corp.example", "127.0.0.1"}}, {"a.corp.example"});
    AutoProxyContext context = small_limits(resolver);
    context.wpad_port = static_cast<unsigned>(wpad.port());

    ProxyInfo info;
    ASSERT_EQ(get_proxy_for_url(L"https://app.example.test/x", {kAutoProxyAutoDetect, kAutoDetectTypeDhcp | kAutoDetectTypeDnsA, {}},
                                context, info),
              0u);
    EXPECT_EQ(info.access, AccessType::kNamedProxy);
    EXPECT_EQ(info.proxy, L"corp-proxy:3128");
    EXPECT_EQ(resolver.asked, (std::vector<std::string>{"wpad.a.corp.example", "wpad.corp.example"}));
    ASSERT_EQ(wpad.request_count(), 1u);
    EXPECT_EQ(wpad.requests()[0].header("Host"), "wpad.corp.example:" + std::to_string(wpad.port()));

    EXPECT_EQ(get_proxy_for_url(L"http://app.example.test/", {kAutoProxyAutoDetect, kAutoDetectTypeDhcp, {}}, context, info),
              12180u);
    TableResolver nothing({}, {"corp.example"});
    context.resolver = &nothing;
    EXPECT_EQ(get_proxy_for_url(L"http://app.example.test/", {kAutoProxyAutoDetect, kAutoDetectTypeDnsA, {}}, context, info),
              12180u);
    // Detection first, then the configuration URL.
    const AutoProxyOptions both{kAutoProxyAutoDetect | kAutoProxyConfigUrl, kAutoDetectTypeDnsA, wpad.wide_url("/wpad.dat")};
    ASSERT_EQ(get_proxy_for_url(L"http://app.example.test/", both, context, info), 0u);
    EXPECT_EQ(info.proxy, L"corp-proxy:3128");
}

}  // namespace
}  // namespace rk::sys::http
