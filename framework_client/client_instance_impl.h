// ctp::detail::client_instance_impl: the module's facts and the started
// external client.
#pragma once

#include <memory>

#include "framework_client/client_instance.h"
#include "framework_client/external_client_impl.h"

namespace ctp::detail {

class client_instance_impl final : public client_instance {
public:
    explicit client_instance_impl(external_client_options options);
    ~client_instance_impl() override;

    const std::wstring& module_name() const override { return module_name_; }
    const std::wstring& module_version() const override { return module_version_; }
    external_client& client() override { return *client_; }

private:
    std::wstring module_name_;
    std::wstring module_version_;
    std::unique_ptr<external_client_impl> client_;
};

// The client options of this deployment: the profile's bus, one connection
// attempt per second.
external_client_options default_client_options();

}  // namespace ctp::detail
