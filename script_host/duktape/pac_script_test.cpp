// The helper functions of proxy scripts, each row an expression evaluated
// inside FindProxyForURL with fixed name lookups and a fixed clock.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "script_host/duktape/pac_script.h"

namespace Corvane::Script::duktape {
namespace {

// Friday 2026-03-06 14:30:15 UTC.
constexpr std::int64_t kNow = 1772807415000;

PacHost fixed_host() {
    static const std::map<std::string, std::string> names = {
        {"intranet.corp.example", "10.1.2.3"},
        {"www.example.com", "93.184.216.34"},
    };
    PacHost host;
    host.resolve = [](const std::string& name) -> std::optional<std::string> {
        const auto it = names.find(name);
        return it == names.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    host.local_address = [] { return std::string("192.168.7.20"); };
    host.now_ms = kNow;
    return host;
}

TEST(PacHelpers, Table) {
    struct Case {
        const char* expression;
        const char* expected;
    };
    const Case cases[] = {
        {R"(isPlainHostName("intranet"))", "true"},
        {R"(isPlainHostName("www.example.com"))", "false"},
        {R"(dnsDomainIs("www.Example.com", ".example.com"))", "true"},
        {R"(dnsDomainIs("www.example.community", ".example.com"))", "false"},
        {R"(dnsDomainIs("example.com", ".example.com"))", "false"},
        {R"(localHostOrDomainIs("www", "www.example.com"))", "true"},
        {R"(localHostOrDomainIs("www.example.com", "www.example.com"))", "true"},
        {R"(localHostOrDomainIs("www.other.com", "www.example.com"))", "false"},
        {R"(localHostOrDomainIs("home", "www.example.com"))", "false"},
        {R"(isResolvable("intranet.corp.example"))", "true"},
        {R"(isResolvable("nowhere.invalid"))", "false"},
        {R"(dnsResolve("intranet.corp.example"))", "10.1.2.3"},
        {R"(dnsResolve("nowhere.invalid"))", "null"},
        {R"(myIpAddress())", "192.168.7.20"},
        {R"(isInNet("intranet.corp.example", "10.0.0.0", "255.0.0.0"))", "true"},
        {R"(isInNet("10.1.2.3", "10.1.3.0", "255.255.255.0"))", "false"},
        {R"(isInNet(myIpAddress(), "192.168.0.0", "255.255.0.0"))", "true"},
        {R"(isInNet("255.255.255.255", "255.255.255.0", "255.255.255.0"))", "true"},
        {R"(isInNet("nowhere.invalid", "0.0.0.0", "0.0.0.0"))", "false"},
        {R"(isInNet("10.1.2.300", "10.0.0.0", "255.0.0.0"))", "false"},
        {R"(dnsDomainLevels("www"))", "0"},
        {R"(dnsDomainLevels("www.example.com"))", "2"},
        {R"(shExpMatch("http://home.example.com/people/ari/index.html", "*/ari/*"))", "true"},
        {R"(shExpMatch("http://home.example.com/people/montulli/index.html", "*/ari/*"))", "false"},
        {R"(shExpMatch("a.b", "?.?"))", "true"},
        {R"(shExpMatch("axb", "a.b"))", "false"},
        {R"(shExpMatch("abc", "a*c*"))", "true"},
        {R"(shExpMatch("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*a*c"))", "false"},
        {R"(weekdayRange("FRI", "GMT"))", "true"},
        {R"(weekdayRange("SAT", "GMT"))", "false"},
        {R"(weekdayRange("MON", "FRI", "GMT"))", "true"},
        {R"(weekdayRange("SAT", "SUN", "GMT"))", "false"},
        {R"(weekdayRange("THU", "MON", "GMT"))", "true"},
        {R"(weekdayRange("XYZ", "GMT"))", "false"},
        {R"(dateRange(6, "GMT"))", "true"},
        {R"(dateRange("MAR", "GMT"))", "true"},
        {R"(dateRange(2026, "GMT"))", "true"},
        {R"(dateRange(1, 5, "GMT"))", "false"},
        {R"(dateRange("DEC", "MAR", "GMT"))", "true"},
        {R"(dateRange(1, "MAR", 5, "MAR", "GMT"))", "false"},
        {R"(dateRange(6, "MAR", 2026, 6, "MAR", 2026, "GMT"))", "true"},
        {R"(dateRange("FEB", 2026, "APR", 2026, "GMT"))", "true"},
        {R"(dateRange(2027, 2030, "GMT"))", "false"},
        {R"(dateRange("MAR", 1, "GMT"))", "false"},
        {R"(timeRange(14, "GMT"))", "true"},
        {R"(timeRange(9, 17, "GMT"))", "true"},
        {R"(timeRange(22, 6, "GMT"))", "false"},
        {R"(timeRange(14, 30, 14, 30, "GMT"))", "true"},
        {R"(timeRange(14, 30, 16, 14, 30, 17, "GMT"))", "false"},
        {R"(timeRange(14, 30, 0, 14, 30, 15, "GMT"))", "true"},
    };
    const PacHost host = fixed_host();
    for (const auto& c : cases) {
        const std::string script = std::string("function FindProxyForURL(url, host) { return String(") + c.expression +
                                   "); }";
        const PacOutcome outcome = RunProxyScript(script, "http://www.example.com/", "www.example.com", host, {});
        EXPECT_TRUE(outcome.ran) << c.expression << ": " << outcome.error;
        EXPECT_EQ(outcome.result, c.expected) << c.expression;
    }
}

}  // namespace
}  // namespace Corvane::Script::duktape
