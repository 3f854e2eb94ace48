#include "app/manifest/rk_update_executor.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/logging/process_logger.h"
#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "platform/system/process/process.h"
#include "platform/text/format.h"

using namespace rk::app;
namespace sys = rk::sys;
namespace win = rk::win;

namespace {

constexpr wchar_t kFile[] = L"RkUpdateExecutor.cpp";
constexpr wchar_t kDownloadFunction[] = L"CRkUpdateExecutor::DownloadAndExecuteInstaller";
constexpr wchar_t kDeleteFunction[] = L"CRkUpdateExecutor::DeleteIfNeeded";
// Folder next to the updater that takes the installer when "DESTDIR" is
// missing.
constexpr wchar_t kFallbackFolderName[] = L"Installer";
// Shortest path DeleteDirectoryTree accepts: "C:\x"; protects drive roots.
constexpr std::size_t kMinTreePath = 4;

// "DESTDIR" macros and their known folders.
constexpr std::array<std::pair<std::wstring_view, sys::KnownFolder>, 10> kDirMacros{{
    {L"[DIR:CSIDL_COMMON_APPDATA]", sys::KnownFolder::ProgramData},
    {L"[DIR:CSIDL_COMMON_DOCUMENTS]", sys::KnownFolder::PublicDocuments},
    {L"[DIR:CSIDL_COMMON_STARTUP]", sys::KnownFolder::CommonStartup},
    {L"[DIR:CSIDL_PROGRAM_FILES]", sys::KnownFolder::ProgramFiles},
    {L"[DIR:CSIDL_PROGRAM_FILESX86]", sys::KnownFolder::ProgramFilesX86},
    {L"[DIR:CSIDL_PROGRAM_FILESX64]", sys::KnownFolder::ProgramFilesX64},
    {L"[DIR:CSIDL_PROGRAM_FILES_COMMON]", sys::KnownFolder::ProgramFilesCommon},
    {L"[DIR:CSIDL_SYSTEM]", sys::KnownFolder::System},
    {L"[DIR:CSIDL_SYSTEMX86]", sys::KnownFolder::SystemX86},
    {L"[DIR:CSIDL_WINDOWS]", sys::KnownFolder::Windows},
}};

template <typename... A>
void log(LogLevel level, const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(level)) {
        LogMessage(level, kFile, function, line, format, args...);
    }
}

bool is_gone(rk::DWORD error) {
    return error == win::kErrorFileNotFound || error == win::kErrorPathNotFound || error == win::kErrorInvalidDrive;
}

}  // namespace

CRkUpdateExecutor::CRkUpdateExecutor(std::shared_ptr<const UpdaterEnvironment> env) : env_(std::move(env)) {}

void CRkUpdateExecutor::SetUpdateCommands(const StringMap& commands) { commands_ = commands; }

std::wstring CRkUpdateExecutor::Command(const wchar_t* key) const {
    const auto it = commands_.find(key);
    return it == commands_.end() ? std::wstring() : it->second;
}

std::wstring CRkUpdateExecutor::ResolveDestDir() const {
    const std::wstring dest = Command(command::kDestDir);
    const auto slash = dest.find(L'\\');
    if (slash == std::wstring::npos) {
        return {};
    }
    const std::wstring_view macro = std::wstring_view(dest).substr(0, slash);
    for (const auto& [name, folder] : kDirMacros) {
        if (name == macro) {
            std::wstring path;
            if (env_->known_folders.path(folder, path) != win::kErrorSuccess) {
                return {};
            }
            return path + L"\\" + dest.substr(slash + 1);
        }
    }
    return {};
}

std::wstring CRkUpdateExecutor::FormDownloadUrl(const std::wstring& url, const std::wstring& affiliateId) {
    std::wstring head;
    std::wstring tail;
    const auto marker = url.find(L"s/");
    if (marker != std::wstring::npos) {
        head = url.substr(0, marker + 2);
        tail = url.substr(marker + 2);
    }
    const auto slash = tail.find(L'/');
    if (slash != std::wstring::npos) {
        tail = affiliateId + L"/" + tail.substr(slash + 1);
    }
    // The slash doubles the one that ends the head; receivers expect it.
    return head + L"/" + tail;
}

bool CRkUpdateExecutor::DownloadAndExecuteInstaller(std::wstring& detail) {
    std::wstring url = Command(command::kDownloadUrl);
    if (url.empty()) {
        detail = word::kDownloadUrlEmpty;
        return false;
    }
    url = FormDownloadUrl(url, affiliateId_);
    const std::wstring& domain = env_->allowed_domain;
    if (url.find(domain) == std::wstring::npos) {
        log(6, kDownloadFunction, __LINE__, logtext::kDomainNotPresent, domain);
        detail = word::kInvalidDownloadUrl;
        return false;
    }
    log(6, kDownloadFunction, __LINE__, logtext::kDomainPresent, domain);
    log(6, kDownloadFunction, __LINE__, logtext::kFormedUrl, url);

    std::wstring folder = ResolveDestDir();
    if (folder.empty()) {
        const std::wstring image = env_->own_image_path ? env_->own_image_path() : std::wstring();
        if (image.empty()) {
            return false;
        }
        const auto sep = image.find_last_of(L"\\/");
        folder = (sep == std::wstring::npos ? std::wstring() : image.substr(0, sep + 1)) + kFallbackFolderName;
    }
    if (!sys::path_exists(folder)) {
        const rk::DWORD error = sys::create_directory(folder);
        if (error != win::kErrorSuccess) {
            detail = rk::text::format(L"%s%u", word::kCreateDestDirFails, error);
            log(1, kDownloadFunction, __LINE__, logtext::kCreateDirectoryFailed);
            return false;
        }
    }

    const std::wstring file = folder + L"\\" + kInstallerFileName;
    const rk::HRESULT hr = sys::download_url_to_file(url, file, env_->download_options);
    if (hr < 0) {
        detail = rk::text::format(L"%s0x%x", word::kDownloadFailedError, static_cast<std::uint32_t>(hr));
        log(1, kDownloadFunction, __LINE__, logtext::kFailedToDownload, detail);
        return false;
    }
    detail = word::kDownloadSuccess;
    log(6, kDownloadFunction, __LINE__, logtext::kDownloaded, file);

    if (sys::path_exists(file) && Command(command::kValidate) == manifest::kTrue) {
        if (!env_->is_signed || !env_->is_signed(file)) {
            detail = word::kSignatureValidationFailed;
            log(1, kDownloadFunction, __LINE__, logtext::kSignatureFailed, file);
            return false;
        }
    }

    std::wstring command_line = L"\"" + file + L"\" " + Command(command::kParams);
    if (command_line.size() >= kCommandLineBuffer) {
        command_line.resize(kCommandLineBuffer - 1);
    }
    sys::StartOptions options;
    options.command_line = command_line;
    options.working_directory = folder;
    options.hidden = true;
    if (env_->before_start && !env_->before_start(options)) {
        return false;
    }
    // The download arrives without execute permission (Windows needs none).
    sys::make_executable(file);
    std::unique_ptr<sys::Process> process;
    const rk::DWORD start_error = env_->start_process ? env_->start_process(options, process)
                                                      : win::kErrorInvalidFunction;
    if (start_error != win::kErrorSuccess || !process) {
        detail = rk::text::format(L"%s%u", word::kCreateProcessFailed, start_error);
        log(1, kDownloadFunction, __LINE__, logtext::kCreateProcessFailed, detail);
        return false;
    }
    if (process->wait(win::kInfinite) != win::kWaitObject0) {
        detail = word::kWaitOnProcessFailed;
        log(1, kDownloadFunction, __LINE__, logtext::kWaitFailed);
        return false;
    }
    rk::DWORD exit_code = 0;
    const rk::DWORD code_error = process->exit_code(exit_code);
    if (code_error != win::kErrorSuccess) {
        detail = rk::text::format(L"%s%u", word::kExitCodeProcessFailed, code_error);
        log(1, kDownloadFunction, __LINE__, logtext::kExitCodeFailed, detail);
        return false;
    }
    detail = rk::text::format(L"%s%u", word::kExecuteSuccessWithExitCode, exit_code);
    return true;
}

bool CRkUpdateExecutor::DeleteIfNeeded() {
    const std::wstring folder = ResolveDestDir();
    if (Command(command::kDelete) != manifest::kTrue || folder.empty() || !sys::is_directory(folder)) {
        return false;
    }
    DeleteDirectoryTree(folder);
    log(1, kDeleteFunction, __LINE__, logtext::kDeletedDestination, folder);
    return true;
}

void CRkUpdateExecutor::ScheduleDelete(const std::wstring& path, bool clear_read_only) const {
    if (clear_read_only) {
        sys::set_read_only(path, false);
    }
    if (env_->schedule_delete) {
        env_->schedule_delete(path);
    }
}

void CRkUpdateExecutor::DeleteDirectoryTree(const std::wstring& path) const {
    if (path.size() < kMinTreePath) {
        return;
    }
    // A link (junction) in the destination's place goes as a link: its
    // target is not ours to empty.
    if (sys::is_reparse_point(path)) {
        sys::remove_directory(path);
        return;
    }
    const auto host = sys::to_host_path(path);
    if (!host) {
        return;
    }
    std::vector<std::pair<std::wstring, bool>> children;  // name, is a real directory
    std::error_code ec;
    for (std::filesystem::directory_iterator it(*host, ec), end; !ec && it != end; it.increment(ec)) {
        const auto status = it->symlink_status(ec);
        if (ec) {
            break;
        }
        children.emplace_back(sys::wide_path(it->path().filename()), std::filesystem::is_directory(status));
    }
    for (const auto& [name, directory] : children) {
        // Names holding a backslash cannot be addressed through a system path.
        if (name.find(L'\\') != std::wstring::npos) {
            continue;
        }
        const std::wstring child = path + L"\\" + name;
        if (child.size() >= kMaxChildPath) {
            continue;
        }
        if (directory) {
            if (name.front() != L'.') {
                DeleteDirectoryTree(child);
            }
            continue;
        }
        if (!sys::is_reparse_point(child)) {
            sys::set_read_only(child, false);
        }
        const rk::DWORD error = sys::delete_file(child, true);
        if (error != win::kErrorSuccess && !is_gone(error)) {
            ScheduleDelete(child, !sys::is_reparse_point(child));
        }
    }
    sys::set_read_only(path, false);
    const rk::DWORD error = sys::remove_directory(path);
    if (error == win::kErrorAccessDenied || error == win::kErrorDirNotEmpty) {
        ScheduleDelete(path, false);
    }
}
