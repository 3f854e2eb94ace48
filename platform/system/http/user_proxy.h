// The proxy configuration of the logged-on user, for a process that runs as
// a service (fill_proxy_data_for_specific_url).
//
// Linux: the service case is a process with effective uid 0 outside any
// login session (no XDG_SESSION_ID). The logged-on user is then the owner of
// the first process (lowest pid) that runs with a uid other than 0 inside a
// login session (XDG_SESSION_ID in its environment); reading that process's
// environment stands for impersonating its token, and the proxy
// configuration comes from its proxy variables.
#pragma once

#include <optional>
#include <string>

#include "platform/system/http/proxy_config.h"

namespace rk::sys::http {

inline constexpr char kImpersonationNoSession[] = "no active session found";
inline constexpr char kImpersonationNoProcess[] = "process not found";

// Whether the process runs as a service; nullopt (with `error`) when that
// cannot be determined.
std::optional<bool> RunsAsService(std::string& error);

// The environment of the logged-on user's session, or null with `error`
// set to one of the texts above (or a system error text).
EnvironmentReader LoggedOnUserEnvironment(std::string& error);

}  // namespace rk::sys::http
