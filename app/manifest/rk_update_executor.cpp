#include "app/manifest/rk_update_executor.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/logging/process_logger.h"
#include "platform/system/file.h"
#include "platform/system/files.h"
#include "platform/system/folder.h"
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
// New destination folders: nobody but the owner may write them (a folder
// others can write lets them replace the installer).
constexpr unsigned kDestinationMode = 0755;

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
    return it == commands_.end() ? std::wstring() : std::wstring(it->second);
}

bool CRkUpdateExecutor::DestinationParts(std::wstring& base, std::wstring& relative) const {
    const std::wstring dest = Command(command::kDestDir);
    const auto slash = dest.find(L'\\');
    if (slash != std::wstring::npos) {
        const std::wstring_view macro = std::wstring_view(dest).substr(0, slash);
        for (const auto& [name, folder] : kDirMacros) {
            if (name == macro) {
                relative = dest.substr(slash + 1);
                return env_->known_folders.path(folder, base) == win::kErrorSuccess;
            }
        }
    }
    const std::wstring image = env_->own_image_path ? env_->own_image_path() : std::wstring();
    if (image.empty()) {
        return false;
    }
    const auto sep = image.find_last_of(L"\\/");
    base = sep == std::wstring::npos ? std::wstring(L".") : image.substr(0, sep);
    relative = kFallbackFolderName;
    return true;
}

rk::DWORD CRkUpdateExecutor::PrepareDestination(const std::wstring& base, const std::wstring& relative,
                                                sys::Folder& folder) const {
    if (const rk::DWORD error =
            sys::prepare_folder(base, relative, sys::FolderCreation::kLastOnly, folder, kDestinationMode);
        error != win::kErrorSuccess) {
        return error;
    }
    return folder.check_private();
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

    // The destination is reached from its trusted base one level at a time:
    // ".." may not leave the base, links are removed, and nothing but this
    // user may write it.
    std::wstring base;
    std::wstring relative;
    if (!DestinationParts(base, relative)) {
        return false;
    }
    sys::Folder destination;
    if (const rk::DWORD error = PrepareDestination(base, relative, destination); error != win::kErrorSuccess) {
        detail = rk::text::format(L"%s%u", word::kCreateDestDirFails, error);
        log(1, kDownloadFunction, __LINE__, logtext::kCreateDirectoryFailed);
        return false;
    }
    const std::wstring folder = base + L"\\" + relative;

    const std::wstring file = folder + L"\\" + kInstallerFileName;
    sys::FileIdentity written;
    const rk::HRESULT hr =
        sys::download_url_to_folder(url, destination, kInstallerFileName, env_->download_options, &written);
    if (hr < 0) {
        detail = rk::text::format(L"%s0x%x", word::kDownloadFailedError, static_cast<std::uint32_t>(hr));
        log(1, kDownloadFunction, __LINE__, logtext::kFailedToDownload, detail);
        return false;
    }
    detail = word::kDownloadSuccess;
    log(6, kDownloadFunction, __LINE__, logtext::kDownloaded, file);

    // One handle from here to the start: the file that is checked is the
    // file that runs, whatever its name comes to point to meanwhile.
    sys::File installer;
    sys::FileIdentity opened;
    rk::DWORD open_error = destination.open_file(kInstallerFileName, {}, installer);
    if (open_error == win::kErrorSuccess && installer.identity(opened) == win::kErrorSuccess &&
        !opened.same_file(written)) {
        open_error = win::kErrorInvalidData;  // not the file that was downloaded
    }
    if (open_error != win::kErrorSuccess) {
        detail = rk::text::format(L"%s0x%x", word::kDownloadFailedError,
                                  static_cast<std::uint32_t>(win::hresult_from_win32(open_error)));
        log(1, kDownloadFunction, __LINE__, logtext::kFailedToDownload, detail);
        return false;
    }
    // The download arrives without execute permission (Windows needs none).
    installer.make_executable();
    if (Command(command::kValidate) == manifest::kTrue) {
        if (!env_->is_signed || !env_->is_signed(installer, file)) {
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
    options.working_directory = destination.path();
    options.working_folder = &destination;  // the folder checked above, even if its name is swapped meanwhile
    options.hidden = true;
    if (env_->before_start && !env_->before_start(options)) {
        return false;
    }
    std::unique_ptr<sys::Process> process;
    const rk::DWORD start_error = env_->start_process ? env_->start_process(installer, options, process)
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
    // Only a destination below its macro's folder, reached without a link on
    // the way, is ours to delete; a link in the destination's own place goes
    // as a link (DeleteDirectoryTree).
    std::wstring base;
    std::wstring relative;
    std::vector<std::string> below;
    if (!DestinationParts(base, relative) || sys::split_relative_path(relative, below) != win::kErrorSuccess ||
        below.empty()) {
        return false;
    }
    const auto cut = relative.find_last_of(L"\\/");
    sys::Folder parent;
    if (sys::prepare_folder(base, cut == std::wstring::npos ? std::wstring() : relative.substr(0, cut),
                            sys::FolderCreation::kNone, parent) != win::kErrorSuccess) {
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
