// The process's framework client instance, created on first use: it
// prepares the process for calls to the framework service and starts the
// external client with its communicator. It lives until process end.
#pragma once

#include <string>

#include "framework_client/external_client.h"

namespace ctp {

class client_instance {
public:
    client_instance() = default;
    client_instance(const client_instance&) = delete;
    client_instance& operator=(const client_instance&) = delete;
    virtual ~client_instance() = default;

    virtual const std::wstring& module_name() const = 0;     // "{no name}" when unknown
    virtual const std::wstring& module_version() const = 0;  // "%u.%u.%u.%u" or "{no version}"
    virtual external_client& client() = 0;
};

// The process-wide instance (one-time initialization), connected to the
// bus of the deployment profile.
client_instance& get_client_instance();

}  // namespace ctp
