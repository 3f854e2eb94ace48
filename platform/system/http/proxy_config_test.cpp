// The user's proxy configuration from the environment, bypass patterns and
// the choice of proxy per request.
#include <gtest/gtest.h>

#include <map>

#include "platform/system/http/proxy_config.h"

namespace rk::sys::http {
namespace {

EnvironmentReader reader(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const std::string& name) -> std::optional<std::string> {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

TEST(ProxyConfigFromEnvironment, Table) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> env;
        std::wstring proxy;
        std::wstring bypass;
    };
    const Case cases[] = {
        {"nothing set", {}, L"", L""},
        {"both schemes, path dropped",
         {{"http_proxy", "http://p1:3128/"}, {"https_proxy", "p2:8080"}},
         L"http=http://p1:3128;https=p2:8080",
         L""},
        {"lower case wins over upper case",
         {{"http_proxy", "lower:1"}, {"HTTP_PROXY", "upper:2"}, {"HTTPS_PROXY", "upper:3"}},
         L"http=lower:1;https=upper:3",
         L""},
        {"empty lower case falls back to upper case", {{"https_proxy", ""}, {"HTTPS_PROXY", "u:1"}}, L"https=u:1", L""},
        {"all_proxy serves schemes without their own",
         {{"ALL_PROXY", "socks5://s:1080"}, {"https_proxy", "h:1"}},
         L"http=socks5://s:1080;https=h:1",
         L""},
        {"no_proxy entries",
         {{"no_proxy", "localhost, .example.com,*.corp.net 10.0.0.0/8,192.168.1.5,host:8080,[::1]"}},
         L"",
         L"localhost;*.localhost;example.com;*.example.com;corp.net;*.corp.net;10.0.0.0/8;192.168.1.5;host;*.host;::1"},
        {"no_proxy star", {{"NO_PROXY", "*"}}, L"", L"*"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProxyConfig config = proxy_config_from_environment(reader(c.env));
        EXPECT_FALSE(config.auto_detect);
        EXPECT_TRUE(config.auto_config_url.empty());
        EXPECT_EQ(config.proxy, c.proxy);
        EXPECT_EQ(config.bypass, c.bypass);
    }
}

TEST(BypassesProxy, Table) {
    struct Case {
        std::wstring list;
        std::wstring host;
        bool bypass;
    };
    const Case cases[] = {
        {L"example.com;*.example.com", L"example.com", true},
        {L"example.com;*.example.com", L"DL.Example.COM", true},
        {L"example.com;*.example.com", L"badexample.com", false},
        {L"*.example.com", L"example.com", false},
        {L"<local>", L"intranet", true},
        {L"<local>", L"intranet.corp", false},
        {L"<local>", L"::1", false},
        {L"10.*", L"10.1.2.3", true},
        {L"10.0.0.0/8", L"10.200.0.1", true},
        {L"10.0.0.0/8", L"11.0.0.1", false},
        {L"10.0.0.0/33", L"10.0.0.1", false},
        {L"0.0.0.0/0", L"8.8.8.8", true},
        {L"192.168.1.0/24", L"192.168.1.255", true},
        // Only dotted decimal with four numbers of 0-255, no leading zeros.
        {L"0.0.0.0/0", L"256.1.1.1", false},
        {L"0.0.0.0/0", L"10.0.0", false},
        {L"0.0.0.0/0", L"10.0.0.1.5", false},
        {L"0.0.0.0/0", L"10.00.0.1", false},
        {L"0.0.0.0/0", L"10.0.0.1 ", false},
        {L"0.0.0.0/0", L"1000.0.0.1", false},
        {L"http://*.corp", L"a.corp", true},
        {L"*", L"anything", true},
        {L"a b\tc", L"c", true},
        {L"::1", L"[::1]", true},
        {L"", L"host", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.list.begin(), c.list.end()) << " / "
                                        << std::string(c.host.begin(), c.host.end()));
        EXPECT_EQ(bypasses_proxy(c.list, c.host), c.bypass);
    }
}

TEST(SelectProxy, Table) {
    struct Case {
        std::wstring list;
        std::wstring bypass;
        std::wstring scheme;
        std::wstring host;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"proxy:8080", L"", L"https", L"h", L"http://proxy:8080"},
        {L"http=a:1;https=b:2", L"", L"https", L"h", L"http://b:2"},
        {L"http=a:1;https=b:2", L"", L"http", L"h", L"http://a:1"},
        {L"generic:1 https=specific:2", L"", L"https", L"h", L"http://specific:2"},
        {L"https=specific:2;generic:1", L"", L"http", L"h", L"http://generic:1"},
        {L"http=only:1", L"", L"https", L"h", L""},
        {L"https=https://tls-proxy:443", L"", L"https", L"h", L"https://tls-proxy:443"},
        {L"proxy:8080", L"h;*.h", L"https", L"h", L""},
        {L"", L"", L"https", L"h", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.list.begin(), c.list.end()));
        EXPECT_EQ(select_proxy(c.list, c.bypass, c.scheme, c.host), c.expected);
    }
}

}  // namespace
}  // namespace rk::sys::http
