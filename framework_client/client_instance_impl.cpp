#include "framework_client/client_instance_impl.h"

#include "framework_client/component_logger.h"
#include "framework_client/framework_words.h"
#include "platform/logging/etw_logging.h"
#include "platform/logging/process_facts.h"
#include "platform/system/process_info.h"
#include "profile/profile_data.h"

namespace ctp::detail {

namespace {
constexpr LogLevel kProgress = rk::log_level::kProgress;
}

external_client_options default_client_options() {
    external_client_options options;
    options.communicator.connection.bus.kind =
        rk::profile::kFrameworkBus == L"session" ? rk::sys::ipc::BusKind::kSession : rk::sys::ipc::BusKind::kSystem;
    return options;
}

client_instance_impl::client_instance_impl(external_client_options options) {
    const std::wstring image = rk::sys::own_image_path();
    module_name_ = image.empty() ? kNoName : rk::logging::file_name_of(image);
    const wchar_t* version = ETWLogging::ModuleFileVersion();
    module_version_ = version != nullptr && *version != L'\0' ? version : kNoVersion;

    // D-Bus authenticates every peer by the credentials of its socket; there
    // is no per-process security setting to make.
    CTP_LOG(kProgress, kLogInitializingCom);

    client_ = std::make_unique<external_client_impl>(std::move(options));
    client_->start();
}

client_instance_impl::~client_instance_impl() {
    CTP_LOG(kProgress, kLogTearingDown);
    CTP_LOG(kProgress, kLogStoppingExternalClient);
    client_->stop();
}

}  // namespace ctp::detail

namespace ctp {

client_instance& get_client_instance() {
    static detail::client_instance_impl instance(detail::default_client_options());
    return instance;
}

}  // namespace ctp
