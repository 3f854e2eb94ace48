#include "app/manifest/updater_environment.h"

#include "platform/system/pending_deletes.h"
#include "platform/system/process_info.h"
#include "profile/profile_data.h"
#include "trust/is_corvane_signed.h"

namespace rk::app {

UpdaterEnvironment system_updater_environment() {
    UpdaterEnvironment env;
    env.os_info = sys::system_os_info();
    env.processes = sys::system_process_list();
    env.own_image_path = [] { return sys::own_image_path(); };
    env.allowed_domain = std::wstring(profile::kAllowedDomain);
    env.download_options.max_bytes = profile::kInstallerMaxBytes;
    env.is_signed = [](const sys::File& file, const std::wstring& path) { return IsCorvaneSigned(file, path); };
    env.start_process = [](const sys::File& program, const sys::StartOptions& options,
                           std::unique_ptr<sys::Process>& process) {
        return sys::start_process_from_file(program, options, process);
    };
    env.schedule_delete = [](const std::wstring& path) { return sys::PendingDeletes().schedule(path); };
    return env;
}

}  // namespace rk::app
