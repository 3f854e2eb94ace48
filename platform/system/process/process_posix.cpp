#include "platform/system/process/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "platform/errors/errno_map.h"
#include "platform/system/file_native.h"
#include "platform/system/paths.h"
#include "platform/system/process/command_line.h"
#include "platform/system/process_info.h"
#include "platform/text/utf.h"

extern char** environ;

namespace rk::sys {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDeletedSuffix = " (deleted)";

int open_pidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

bool process_exists(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// Waits for `fd` to become readable (the process ended) for up to
// `timeout_ms`, kInfinite for ever; poll() takes int milliseconds.
DWORD wait_readable(int fd, DWORD timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (true) {
        int slice = -1;
        if (timeout_ms != win::kInfinite) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                    .count();
            slice = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        }
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, slice);
        if (ready > 0) {
            return win::kWaitObject0;
        }
        if (ready < 0 && errno != EINTR) {
            return win::kWaitFailed;
        }
        if (ready == 0 && slice != INT_MAX && timeout_ms != win::kInfinite) {
            return win::kWaitTimeout;
        }
    }
}

class PosixProcess final : public Process {
public:
    PosixProcess(pid_t pid, bool child) : pid_(pid), child_(child), pidfd_(open_pidfd(pid)) {}

    ~PosixProcess() override {
        if (pidfd_ >= 0) {
            ::close(pidfd_);
        }
        if (child_ && !reaped_) {
            // Nobody waits any more; reap it when it ends so no zombie stays.
            std::thread([pid = pid_] {
                int status = 0;
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        }
    }

    DWORD id() const override { return static_cast<DWORD>(pid_); }

    DWORD wait(DWORD timeout_ms) override {
        if (ended()) {
            return win::kWaitObject0;
        }
        if (pidfd_ < 0) {
            return wait_by_polling(timeout_ms);
        }
        const DWORD result = wait_readable(pidfd_, timeout_ms);
        if (result == win::kWaitObject0) {
            collect(true);
        }
        return result;
    }

    DWORD exit_code(DWORD& code) override {
        if (!ended()) {
            code = kStillActive;
            return win::kErrorSuccess;
        }
        if (!child_) {
            return win::kErrorNotSupported;
        }
        code = code_;
        return win::kErrorSuccess;
    }

    int terminating_signal() const override { return signal_; }

private:
    // Reaps a child that has ended (blocking only when `block`), or notes
    // that another process is gone. True once it has ended.
    bool collect(bool block) {
        if (ended_) {
            return true;
        }
        if (!child_) {
            if (pidfd_ >= 0) {
                pollfd entry{pidfd_, POLLIN, 0};
                ended_ = ::poll(&entry, 1, 0) > 0;
            } else {
                ended_ = !process_exists(pid_);
            }
            return ended_;
        }
        int status = 0;
        pid_t result = 0;
        do {
            result = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
        } while (result < 0 && errno == EINTR);
        if (result != pid_) {
            return false;
        }
        reaped_ = true;
        ended_ = true;
        if (WIFEXITED(status)) {
            code_ = static_cast<DWORD>(WEXITSTATUS(status));
        } else if (WIFSIGNALED(status)) {
            signal_ = WTERMSIG(status);
            code_ = kSignalExitBase + static_cast<DWORD>(signal_);
        }
        return true;
    }

    bool ended() { return collect(false); }

    DWORD wait_by_polling(DWORD timeout_ms) {
        const auto start = std::chrono::steady_clock::now();
        while (!ended()) {
            if (timeout_ms != win::kInfinite &&
                std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(timeout_ms)) {
                return win::kWaitTimeout;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return win::kWaitObject0;
    }

    pid_t pid_;
    bool child_;
    int pidfd_;
    bool ended_ = false;
    bool reaped_ = false;
    DWORD code_ = 0;
    int signal_ = 0;
};

bool has_separator(std::wstring_view name) { return name.find_first_of(L"\\/:") != std::wstring_view::npos; }

bool is_file(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec) && !fs::is_directory(path, ec);
}

// CreateProcess's search for a bare name: our own folder, the current
// folder, then PATH.
std::optional<fs::path> find_program(std::wstring_view name) {
    const fs::path file = text::wide_to_utf8(name);
    std::vector<fs::path> folders;
    if (const auto own = to_host_path(own_image_path())) {
        folders.push_back(own->parent_path());
    }
    std::error_code ec;
    folders.push_back(fs::current_path(ec));
    if (const char* path = std::getenv("PATH")) {
        std::string_view list(path);
        while (!list.empty()) {
            const auto colon = list.find(':');
            const std::string_view entry = list.substr(0, colon);
            if (!entry.empty()) {
                folders.emplace_back(std::string(entry));
            }
            list = colon == std::string_view::npos ? std::string_view{} : list.substr(colon + 1);
        }
    }
    for (const auto& folder : folders) {
        if (!folder.empty() && is_file(folder / file)) {
            return folder / file;
        }
    }
    return std::nullopt;
}

DWORD spawn_error(int error) {
    switch (error) {
        case ENOENT:
            return win::kErrorFileNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
            return win::kErrorAccessDenied;
        case ENOEXEC:
            return win::kErrorBadExeFormat;
        case E2BIG:
            return win::kErrorInvalidParameter;
        default:
            return win::from_errno(error);
    }
}

// posix_spawn's set-up objects, released on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// Strings as execve takes them: UTF-8, in a null-terminated array.
class StringList {
public:
    explicit StringList(const std::vector<std::wstring>& items) {
        text_.reserve(items.size());
        for (const auto& item : items) {
            text_.push_back(text::wide_to_utf8(item));
        }
        for (auto& item : text_) {
            pointers_.push_back(item.data());
        }
        pointers_.push_back(nullptr);
    }
    StringList(const StringList&) = delete;
    StringList& operator=(const StringList&) = delete;
    char** data() { return pointers_.data(); }

private:
    std::vector<std::string> text_;
    std::vector<char*> pointers_;
};

// The descriptor a program started from an open file has in the child.
constexpr int kProgramDescriptor = 3;

std::vector<std::wstring> program_arguments(const StartOptions& options, std::wstring& program_name) {
    std::vector<std::wstring> arguments = split_command_line(options.command_line);
    program_name = options.application.empty() ? (arguments.empty() ? std::wstring() : arguments.front())
                                               : options.application;
    if (arguments.empty() && !program_name.empty()) {
        arguments.push_back(program_name);
    }
    return arguments;
}

// posix_spawn of `program` with the Windows defaults: working folder, no
// inherited descriptors but 0-2 (and `program_fd` as descriptor 3 when
// given) unless asked, default signal dispositions, the given standard
// handles and environment.
DWORD spawn(const fs::path& program, const std::vector<std::wstring>& arguments, const StartOptions& options,
            int program_fd, std::unique_ptr<Process>& process) {
    SpawnSetup setup;
    if (options.working_folder != nullptr) {
        if (!options.working_folder->is_open() ||
            ::posix_spawn_file_actions_addfchdir_np(&setup.actions, native_descriptor(*options.working_folder)) != 0) {
            return win::kErrorDirectory;
        }
    } else if (!options.working_directory.empty()) {
        std::error_code ec;
        const auto folder = to_host_path(options.working_directory);
        if (!folder || !fs::is_directory(*folder, ec)) {
            return win::kErrorDirectory;
        }
        if (::posix_spawn_file_actions_addchdir_np(&setup.actions, folder->c_str()) != 0) {
            return win::kErrorNotEnoughMemory;
        }
    }
    // Standard handles first: the program's descriptor may take 3 below.
    const File* standard[] = {options.standard_output, options.standard_error};
    for (int target = 1; target <= 2; ++target) {
        const File* file = standard[target - 1];
        if (file == nullptr) {
            continue;
        }
        if (!file->is_open()) {
            return win::kErrorInvalidHandle;
        }
        if (::posix_spawn_file_actions_adddup2(&setup.actions, native_descriptor(*file), target) != 0) {
            return win::kErrorNotEnoughMemory;
        }
    }
    int first_closed = 3;
    if (program_fd >= 0) {
        // dup2 onto itself clears close-on-exec, as posix_spawn specifies.
        if (::posix_spawn_file_actions_adddup2(&setup.actions, program_fd, kProgramDescriptor) != 0) {
            return win::kErrorNotEnoughMemory;
        }
        first_closed = kProgramDescriptor + 1;
    }
    // Windows children inherit no handles unless asked; ours get 0, 1, 2.
    if (!options.inherit_handles) {
        ::posix_spawn_file_actions_addclosefrom_np(&setup.actions, first_closed);
    }
    sigset_t no_signals;
    sigemptyset(&no_signals);
    sigset_t all_signals;
    sigfillset(&all_signals);
    ::posix_spawnattr_setsigmask(&setup.attributes, &no_signals);
    ::posix_spawnattr_setsigdefault(&setup.attributes, &all_signals);
    ::posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    StringList argv(arguments);
    std::optional<StringList> environment;
    if (options.environment) {
        environment.emplace(*options.environment);
    }
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(),
                                    environment ? environment->data() : environ);
    if (error != 0) {
        return spawn_error(error);
    }
    process = std::make_unique<PosixProcess>(pid, true);
    return win::kErrorSuccess;
}

}  // namespace

DWORD start_process(const StartOptions& options, std::unique_ptr<Process>& process) {
    process.reset();
    std::wstring program_name;
    const std::vector<std::wstring> arguments = program_arguments(options, program_name);
    if (program_name.empty()) {
        return win::kErrorInvalidParameter;
    }

    fs::path program;
    if (has_separator(program_name)) {
        const auto host = to_host_path(program_name);
        if (!host) {
            return win::kErrorBadPathname;
        }
        program = *host;
        std::error_code ec;
        if (!fs::exists(program.parent_path(), ec)) {
            return win::kErrorPathNotFound;
        }
    } else {
        const auto found = find_program(program_name);
        if (!found) {
            return win::kErrorFileNotFound;
        }
        program = *found;
    }
    // A relative program name is relative to our folder, not the child's.
    std::error_code ec;
    program = fs::absolute(program, ec);
    return spawn(program, arguments, options, -1, process);
}

DWORD start_process_from_file(const File& program, const StartOptions& options, std::unique_ptr<Process>& process) {
    process.reset();
    if (!program.is_open()) {
        return win::kErrorInvalidHandle;
    }
    StartOptions from_file = options;
    from_file.application.clear();
    std::wstring program_name;
    std::vector<std::wstring> arguments = program_arguments(from_file, program_name);
    if (arguments.empty()) {
        arguments.emplace_back(L"program");
    }
    return spawn("/proc/self/fd/" + std::to_string(kProgramDescriptor), arguments, options,
                 native_descriptor(program), process);
}

DWORD open_process(DWORD pid, std::unique_ptr<Process>& process) {
    process.reset();
    if (pid == 0 || pid > static_cast<DWORD>(INT_MAX) || !process_exists(static_cast<pid_t>(pid))) {
        return win::kErrorInvalidParameter;
    }
    process = std::make_unique<PosixProcess>(static_cast<pid_t>(pid), false);
    return win::kErrorSuccess;
}

DWORD process_image_path(DWORD pid, std::wstring& path) {
    path.clear();
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    std::error_code ec;
    std::string image = fs::read_symlink(link, ec).native();
    if (ec) {
        if (ec == std::errc::no_such_file_or_directory && !fs::exists("/proc/" + std::to_string(pid))) {
            return win::kErrorInvalidParameter;
        }
        return win::kErrorAccessDenied;
    }
    if (image.ends_with(kDeletedSuffix) && ::access(image.c_str(), F_OK) != 0) {
        image.resize(image.size() - kDeletedSuffix.size());
    }
    path = wide_path(image);
    return win::kErrorSuccess;
}

DWORD make_executable(std::wstring_view path) {
    const auto host = to_host_path(path);
    if (!host) {
        return win::kErrorBadPathname;
    }
    struct stat info {};
    if (::stat(host->c_str(), &info) != 0) {
        return win::from_errno(errno);
    }
    const mode_t mode = info.st_mode & 07777;
    const mode_t wanted = mode | ((mode & (S_IRUSR | S_IRGRP | S_IROTH)) >> 2);
    if (wanted != mode && ::chmod(host->c_str(), wanted) != 0) {
        return win::from_errno(errno);
    }
    return win::kErrorSuccess;
}

}  // namespace rk::sys
