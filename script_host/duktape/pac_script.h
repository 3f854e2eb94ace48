// Runs a proxy auto-configuration script: a fresh Duktape heap with its own
// byte and time limits, the standard helper functions (isPlainHostName,
// dnsDomainIs, localHostOrDomainIs, isResolvable, isInNet, dnsResolve,
// myIpAddress, dnsDomainLevels, shExpMatch, weekdayRange, dateRange,
// timeRange), then FindProxyForURL(url, host). Name lookups go to the
// caller's functions; their time counts against the script's limit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "script_host/script_limits.h"

namespace Corvane::Script::duktape {

struct PacHost {
    // First IPv4 address of a host in dotted-quad form, nullopt when the
    // name does not resolve.
    std::function<std::optional<std::string>(const std::string& host)> resolve;
    // The machine's own address.
    std::function<std::string()> local_address;
    // The time the date and time helpers see, in milliseconds since
    // 1970 UTC; nullopt: the current time.
    std::optional<std::int64_t> now_ms;
};

struct PacOutcome {
    bool ran = false;      // FindProxyForURL returned a string
    bool engine = false;   // the engine could not be started at all
    std::string result;    // its return value
    std::string error;     // why it did not run
};

// Never throws.
PacOutcome RunProxyScript(std::string_view script, std::string_view url, std::string_view host, const PacHost& pac_host,
                          const ScriptLimits& limits);

}  // namespace Corvane::Script::duktape
