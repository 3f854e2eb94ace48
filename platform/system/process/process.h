// Processes: start a program from a Windows command line, wait for it, read
// its exit code, open a running process by identifier.
//
// Exit codes: a program that exits normally reports its exit status (0 to
// 255 on Linux: a Windows installer's 1603 arrives as 1603 & 255 = 67); a
// program ended by a signal reports kSignalExitBase + the signal number
// (137 for SIGKILL, 143 for SIGTERM), as POSIX shells do.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors/win_error.h"
#include "platform/system/file.h"
#include "platform/system/folder.h"

namespace rk::sys {

// GetExitCodeProcess's value while the process runs (STILL_ACTIVE).
inline constexpr DWORD kStillActive = 259;
inline constexpr DWORD kSignalExitBase = 128;

class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // Closing the object neither stops nor waits for the process.
    virtual ~Process() = default;

    virtual DWORD id() const = 0;
    // WaitForSingleObject: kWaitObject0 once the process has ended,
    // kWaitTimeout, or kWaitFailed. `timeout_ms` kInfinite waits for ever.
    virtual DWORD wait(DWORD timeout_ms) = 0;
    // GetExitCodeProcess: kStillActive while it runs. The code of a process
    // this process did not start cannot be read once it ended:
    // kErrorNotSupported.
    virtual DWORD exit_code(DWORD& code) = 0;
    // The signal that ended it, 0 when it exited or still runs.
    virtual int terminating_signal() const = 0;
};

struct StartOptions {
    // lpApplicationName: the program; empty takes the command line's first
    // argument. Either is a system path (paths.h); a name without any
    // separator is looked for in this program's own folder, the current
    // folder and PATH.
    std::wstring application;
    // The Windows command line; split_command_line() gives the program's
    // argument vector (its first argument becomes argv[0]).
    std::wstring command_line;
    // lpCurrentDirectory: empty keeps the caller's.
    std::wstring working_directory;
    // STARTF_USESHOWWINDOW + SW_HIDE. Linux programs have no window to hide.
    bool hidden = false;
    // The working folder as a folder held open (folder.h), which wins over
    // `working_directory`: the child starts in that very folder, whatever
    // its path has come to name since it was checked. (A Windows backend
    // passes the path the handle resolves to.)
    const Folder* working_folder = nullptr;
    // STARTF_USESTDHANDLES: hStdOutput and hStdError, files open for writing
    // (File::open_null_device() discards); null keeps the caller's.
    const File* standard_output = nullptr;
    const File* standard_error = nullptr;
    // lpEnvironment: the child's whole environment, "NAME=value" strings
    // (environment_block() gives the caller's, to start from); nullopt
    // passes the caller's.
    std::optional<std::vector<std::wstring>> environment = std::nullopt;
    // bInheritHandles: descriptors this process opened without close-on-exec
    // (inheritable handles) reach the child too.
    bool inherit_handles = false;
};

// CreateProcessW with handles not inherited unless `inherit_handles`
// (descriptors above 2 are closed in the child) and default signal
// dispositions. Errors: kErrorInvalidParameter (nothing to start),
// kErrorFileNotFound / kErrorPathNotFound (no such program),
// kErrorAccessDenied (not executable, or a folder), kErrorBadExeFormat (not
// a program the kernel can run), kErrorDirectory (bad working folder),
// kErrorInvalidHandle (a standard handle that is not open).
DWORD start_process(const StartOptions& options, std::unique_ptr<Process>& process);

// start_process for the program that `program` holds open (read access, a
// regular file: what the caller verified), so the program that starts is
// exactly the checked file, whatever its name has come to point to since.
// `options.application` is ignored; the command line's first argument stays
// argv[0]. The kernel starts the file through /proc/self/fd/3: the child
// keeps it open read-only as descriptor 3, which an interpreted program (a
// "#!" script, run as "interpreter /proc/self/fd/3 ...") needs and a compiled
// one ignores. The file must be executable (File::make_executable) and have
// no writer (32 otherwise, ETXTBSY). Errors as start_process.
DWORD start_process_from_file(const File& program, const StartOptions& options, std::unique_ptr<Process>& process);

// OpenProcess for waiting and querying: kErrorInvalidParameter when no such
// process exists.
DWORD open_process(DWORD pid, std::unique_ptr<Process>& process);

// The image path of a running process (host form), as
// K32GetModuleFileNameExW gives it; kErrorInvalidParameter for no such
// process, kErrorAccessDenied when it belongs to someone we may not inspect.
DWORD process_image_path(DWORD pid, std::wstring& path);

// Adds execute permission wherever read permission is set, so a downloaded
// file can be started (nothing to do on Windows).
DWORD make_executable(std::wstring_view path);

}  // namespace rk::sys
