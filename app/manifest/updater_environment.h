// What the manifest pass needs from the machine, in one place so tests and
// the operator tool can hand in their own: OS facts, the process list, the
// updater's own image path, known folders, the allowed download domain,
// download settings, the signature check, process start and "delete at next
// start". system_updater_environment() is the real machine.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/errors/win_error.h"
#include "platform/system/download/url_download.h"
#include "platform/system/file.h"
#include "platform/system/known_folders.h"
#include "platform/system/osinfo/os_info.h"
#include "platform/system/process/process.h"
#include "platform/system/process/process_list.h"

namespace rk::app {

struct UpdaterEnvironment {
    // Starts the program held open in the file (start_process_from_file).
    using ProcessStarter =
        std::function<DWORD(const sys::File&, const sys::StartOptions&, std::unique_ptr<sys::Process>&)>;

    std::shared_ptr<sys::OsInfo> os_info;
    std::shared_ptr<sys::ProcessList> processes;
    // GetModuleFileNameW of this process; empty when it cannot be read.
    std::function<std::wstring()> own_image_path;
    sys::KnownFolders known_folders;
    // The one domain a download URL must contain.
    std::wstring allowed_domain;
    sys::DownloadOptions download_options;
    // IsCorvaneSigned of the file held open (the one that will run); `path`
    // names it for the validation library and the logs.
    std::function<bool(const sys::File& file, const std::wstring& path)> is_signed;
    ProcessStarter start_process;
    // Asked with the start options just before the installer would start;
    // false stops the attempt there (dry runs). Unset: always start.
    std::function<bool(const sys::StartOptions&)> before_start;
    // MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT).
    std::function<DWORD(const std::wstring& path)> schedule_delete;
};

UpdaterEnvironment system_updater_environment();

}  // namespace rk::app
