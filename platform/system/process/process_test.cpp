// Starting, waiting for and enumerating real child processes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/system/paths.h"
#include "platform/system/process/command_line.h"
#include "platform/system/process/process.h"
#include "platform/system/process/process_list.h"
#include "platform/system/process_info.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempRoot;

const fs::path kChild = RK_PROCESS_TEST_CHILD;

std::wstring wide(const fs::path& path) { return text::utf8_to_wide(path.native()); }

// What the child recorded: working folder, arguments, inherited descriptors.
struct Record {
    std::string cwd;
    std::vector<std::string> args;
    std::string fds;
};

Record read_record(const fs::path& file) {
    std::vector<std::string> items;
    std::string item;
    for (char c : test::read_file(file)) {
        if (c == '\0') {
            items.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    Record record;
    if (items.size() >= 2) {
        record.cwd = items.front();
        record.fds = items.back();
        record.args.assign(items.begin() + 1, items.end() - 1);
    }
    return record;
}

DWORD run(const StartOptions& options, DWORD& exit_code, int* signal = nullptr) {
    std::unique_ptr<Process> process;
    const DWORD error = start_process(options, process);
    if (error != 0) {
        return error;
    }
    EXPECT_EQ(process->wait(win::kInfinite), win::kWaitObject0);
    EXPECT_EQ(process->exit_code(exit_code), 0u);
    if (signal != nullptr) {
        *signal = process->terminating_signal();
    }
    return 0;
}

class ProcessTest : public testing::Test {
protected:
    fs::path install(const std::string& name, mode_t mode = 0755) {
        const fs::path target = root_.path() / name;
        fs::create_directories(target.parent_path());
        fs::copy_file(kChild, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, static_cast<fs::perms>(mode));
        return target;
    }
    fs::path write_file(const std::string& name, const std::string& content, mode_t mode) {
        const fs::path target = root_.path() / name;
        fs::create_directories(target.parent_path());
        std::ofstream(target, std::ios::binary) << content;
        fs::permissions(target, static_cast<fs::perms>(mode));
        return target;
    }

    TempRoot root_;
    fs::path record_ = root_.path() / "record.bin";
    ScopedEnv record_env_{"RK_CHILD_RECORD", record_.native()};
    ScopedEnv exit_env_{"RK_CHILD_EXIT", std::nullopt};
    ScopedEnv signal_env_{"RK_CHILD_SIGNAL", std::nullopt};
    ScopedEnv sleep_env_{"RK_CHILD_SLEEP_MS", std::nullopt};
};

// The splitting itself is checked by the command-line table; here, that the
// child gets what it gives, down to UTF-8, and that a program named by a
// Windows path starts from under the root prefix.
TEST_F(ProcessTest, ChildSeesTheArgumentsAWindowsProgramWouldSee) {
    const std::wstring program = L"\"" + wide(install("Corvane/Brightscan_Release.exe")) + L"\" ";
    install("bin/child.exe");
    struct Case {
        std::wstring application;
        std::wstring command_line;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {L"", program + L"/S /v\"/qn REBOOT=0\"", {"/S", "/v/qn REBOOT=0"}},
        {L"", program + L"a\\\\\\\"b \"\" \u00e9", {"a\\\"b", "", "\xC3\xA9"}},
        {L"", L"C:\\bin\\child.exe arg", {"arg"}},
        // lpApplicationName wins over the command line's first argument.
        {L"C:\\bin\\child.exe", L"ignored-name second", {"second"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(text::wide_to_utf8(c.command_line));
        StartOptions options;
        options.application = c.application;
        options.command_line = c.command_line;
        options.hidden = true;
        DWORD code = 99;
        ASSERT_EQ(run(options, code), 0u);
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(read_record(record_).args, c.args);
    }
}

TEST_F(ProcessTest, ExitStatusesAndSignals) {
    const fs::path program = install("bin/child");
    struct Case {
        const char* exit;
        const char* signal;
        DWORD code;
        int terminating_signal;
    };
    const Case cases[] = {
        {"0", nullptr, 0, 0},
        {"3", nullptr, 3, 0},
        {"255", nullptr, 255, 0},
        {"1603", nullptr, 1603 & 0xFF, 0},  // only 8 bits survive on Linux
        {nullptr, "15", kSignalExitBase + SIGTERM, SIGTERM},
        {nullptr, "9", kSignalExitBase + SIGKILL, SIGKILL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exit != nullptr ? c.exit : c.signal);
        ScopedEnv exit_env("RK_CHILD_EXIT", c.exit ? std::optional<std::string>(c.exit) : std::nullopt);
        ScopedEnv signal_env("RK_CHILD_SIGNAL", c.signal ? std::optional<std::string>(c.signal) : std::nullopt);
        StartOptions options;
        options.command_line = quote_argument(wide(program));
        DWORD code = 0;
        int signal = -1;
        ASSERT_EQ(run(options, code, &signal), 0u);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(signal, c.terminating_signal);
    }
}

TEST_F(ProcessTest, WaitWithTimeoutThenForEver) {
    const fs::path program = install("bin/child");
    ScopedEnv sleep_env("RK_CHILD_SLEEP_MS", "700");
    ScopedEnv exit_env("RK_CHILD_EXIT", "4");
    StartOptions options;
    options.command_line = quote_argument(wide(program));
    std::unique_ptr<Process> process;
    ASSERT_EQ(start_process(options, process), 0u);
    EXPECT_EQ(process->wait(0), win::kWaitTimeout);
    EXPECT_EQ(process->wait(50), win::kWaitTimeout);
    DWORD code = 0;
    ASSERT_EQ(process->exit_code(code), 0u);
    EXPECT_EQ(code, kStillActive);
    EXPECT_EQ(process->wait(win::kInfinite), win::kWaitObject0);
    EXPECT_EQ(process->wait(0), win::kWaitObject0);  // stays signalled
    ASSERT_EQ(process->exit_code(code), 0u);
    EXPECT_EQ(code, 4u);
}

// The working folder, STARTUPINFO's standard handles, lpEnvironment and
// bInheritHandles as the child sees them.
TEST_F(ProcessTest, WorkingFolderStandardHandlesEnvironmentAndInheritance) {
    const fs::path program = install("bin/child");
    const fs::path folder = root_.path() / "work dir";
    fs::create_directories(folder);
    const fs::path out = root_.path() / "out.txt";
    // A descriptor without close-on-exec reaches the child only when asked.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 3);
    const std::string env_lines = "RK_CHILD_OUTPUT=1\nRK_CHILD_RECORD=" + record_.native() + "\nV=\xC3\xA9\n";
    enum Target { kKeep, kDiscard, kFile };
    struct Case {
        const char* name;
        Target output;
        Target error;
        bool own_environment;
        bool inherit;
        std::string file;  // what out.txt holds afterwards
    };
    const Case cases[] = {
        {"the caller's handles, nothing inherited", kKeep, kKeep, false, false, ""},
        {"inheritable descriptors too", kKeep, kKeep, false, true, ""},
        {"output to a file, errors discarded, a whole environment", kFile, kDiscard, true, false, env_lines},
        {"output discarded, errors to a file", kDiscard, kFile, true, false, "error\n"},
        {"both to one file", kFile, kFile, true, false, env_lines + "error\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        File file;
        File null_device;
        ASSERT_EQ(File::open_host(out, {kGenericWrite, 0, kCreateAlways}, file), 0u);
        ASSERT_EQ(File::open_null_device(null_device), 0u);
        const auto handle = [&](Target t) { return t == kFile ? &file : (t == kDiscard ? &null_device : nullptr); };
        StartOptions options;
        options.command_line = quote_argument(wide(program)) + L" x";
        options.working_directory = wide(folder);
        options.standard_output = handle(c.output);
        options.standard_error = handle(c.error);
        if (c.own_environment) {
            options.environment = {L"RK_CHILD_OUTPUT=1", L"RK_CHILD_RECORD=" + wide(record_), L"V=\u00e9"};
        }
        options.inherit_handles = c.inherit;
        DWORD code = 99;
        ASSERT_EQ(run(options, code), 0u);
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(test::read_file(out), c.file);
        const Record record = read_record(record_);
        EXPECT_EQ(fs::path(record.cwd), fs::canonical(folder));
        if (c.inherit) {
            EXPECT_NE(record.fds.find(std::to_string(leaked) + ","), std::string::npos) << record.fds;
        } else {
            EXPECT_EQ(record.fds, "fds:");
        }
    }
    ::close(leaked);
}

TEST_F(ProcessTest, StartFailures) {
    const fs::path script = write_file("dl/Brightscan_Release.exe", "#!/bin/sh\nexit 7\n", 0644);
    const fs::path garbage = write_file("dl/garbage.exe", "MZ not a Linux program", 0755);
    const fs::path program = install("bin/child");
    const File closed;
    struct Case {
        const char* name;
        StartOptions options;
        DWORD error;
    };
    const Case cases[] = {
        {"nothing to start", {L"", L"", L"", false}, win::kErrorInvalidParameter},
        {"missing program", {L"", quote_argument(wide(root_.path() / "dl/missing.exe")), L"", false},
         win::kErrorFileNotFound},
        {"missing folder", {L"", quote_argument(wide(root_.path() / "nope/x.exe")), L"", false},
         win::kErrorPathNotFound},
        {"bare name not found", {L"", L"rk-no-such-program-anywhere", L"", false}, win::kErrorFileNotFound},
        {"not executable", {L"", quote_argument(wide(script)), L"", false}, win::kErrorAccessDenied},
        {"a folder", {L"", quote_argument(wide(root_.path() / "dl")), L"", false}, win::kErrorAccessDenied},
        {"not a program", {L"", quote_argument(wide(garbage)), L"", false}, win::kErrorBadExeFormat},
        {"bad working folder", {L"", quote_argument(wide(program)), wide(root_.path() / "nowhere"), false},
         win::kErrorDirectory},
        {"a standard handle not open", {L"", quote_argument(wide(program)), L"", false, nullptr, &closed},
         win::kErrorInvalidHandle},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Process> process;
        EXPECT_EQ(start_process(c.options, process), c.error);
        EXPECT_EQ(process, nullptr);
    }
}

TEST_F(ProcessTest, DownloadedScriptRunsOnceMadeExecutable) {
    const fs::path script = write_file("dl/Brightscan_Release.exe", "#!/bin/sh\nexit 7\n", 0640);
    EXPECT_EQ(make_executable(wide(script)), 0u);
    EXPECT_EQ(fs::status(script).permissions(), static_cast<fs::perms>(0750));
    StartOptions options;
    options.command_line = L"\"" + wide(script) + L"\" ";
    DWORD code = 0;
    ASSERT_EQ(run(options, code), 0u);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(make_executable(wide(root_.path() / "dl/missing")), win::kErrorFileNotFound);
}

TEST_F(ProcessTest, EnumerationAndOpeningByIdentifier) {
    const fs::path ui = install("opt/Corvane/rkuicnt.exe");
    ScopedEnv sleep_env("RK_CHILD_SLEEP_MS", "5000");
    StartOptions options;
    options.command_line = quote_argument(wide(ui));
    std::unique_ptr<Process> child;
    ASSERT_EQ(start_process(options, child), 0u);

    std::vector<ProcessEntry> entries;
    ASSERT_EQ(system_process_list()->snapshot(entries), 0u);
    bool found_child = false;
    bool found_self = false;
    for (const auto& entry : entries) {
        found_child |= entry.pid == child->id() && entry.image_path == wide(fs::canonical(ui));
        found_self |= entry.pid == current_process_id() && entry.image_path == own_image_path();
    }
    EXPECT_TRUE(found_child);
    EXPECT_TRUE(found_self);

    std::wstring path;
    EXPECT_EQ(process_image_path(child->id(), path), 0u);
    EXPECT_EQ(path, wide(fs::canonical(ui)));

    std::unique_ptr<Process> opened;
    ASSERT_EQ(open_process(child->id(), opened), 0u);
    EXPECT_EQ(opened->wait(20), win::kWaitTimeout);
    ::kill(static_cast<pid_t>(child->id()), SIGKILL);
    EXPECT_EQ(child->wait(win::kInfinite), win::kWaitObject0);
    EXPECT_EQ(opened->wait(win::kInfinite), win::kWaitObject0);
    DWORD code = 0;
    EXPECT_EQ(opened->exit_code(code), win::kErrorNotSupported);
    EXPECT_EQ(child->exit_code(code), 0u);
    EXPECT_EQ(code, kSignalExitBase + SIGKILL);

    EXPECT_EQ(open_process(0x7FFFFFF0, opened), win::kErrorInvalidParameter);
    EXPECT_EQ(process_image_path(0x7FFFFFF0, path), win::kErrorInvalidParameter);
}

// The program that starts is the file held open, even when its name has
// been given to another file since: a compiled program and a script.
TEST_F(ProcessTest, StartFromAnOpenFileRunsThatFileNotWhatTheNameNowNames) {
    const fs::path compiled = install("dest/compiled");
    const fs::path script = write_file("dest/script", "#!/bin/sh\necho checked > \"$1\"\nexit 5\n", 0755);
    const fs::path swapped = write_file("swapped", "#!/bin/sh\necho swapped > \"$1\"\nexit 6\n", 0755);
    struct Case {
        fs::path program;
        std::string ran;  // what the file we held wrote
        DWORD code;
    };
    const Case cases[] = {{compiled, "", 0}, {script, "checked\n", 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program.native());
        File file;
        ASSERT_EQ(File::open_host(c.program, {}, file), 0u);
        fs::copy_file(swapped, root_.path() / "next", fs::copy_options::overwrite_existing);
        fs::rename(root_.path() / "next", c.program);  // the swap after the check
        const fs::path out = root_.path() / "out.txt";
        fs::remove(out);
        fs::remove(record_);
        StartOptions options;
        options.command_line = L"\"" + wide(c.program) + L"\" \"" + wide(out) + L"\"";
        options.working_directory = wide(root_.path() / "dest");
        std::unique_ptr<Process> process;
        ASSERT_EQ(start_process_from_file(file, options, process), 0u);
        ASSERT_EQ(process->wait(win::kInfinite), win::kWaitObject0);
        DWORD code = 99;
        ASSERT_EQ(process->exit_code(code), 0u);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(test::read_file(out), c.ran);  // never "swapped"
        if (c.ran.empty()) {
            const Record record = read_record(record_);
            EXPECT_EQ(record.cwd, (root_.path() / "dest").native());
            EXPECT_EQ(record.args, std::vector<std::string>{out.native()});
            EXPECT_EQ(record.fds, "fds:3,");  // the program itself, nothing else
        }
    }
    // A file still open for writing cannot start (ETXTBSY): 32.
    File writer;
    ASSERT_EQ(File::open_host(compiled, {kGenericRead | kGenericWrite, 0, kOpenExisting}, writer), 0u);
    std::unique_ptr<Process> process;
    StartOptions options;
    options.command_line = L"x";
    EXPECT_EQ(start_process_from_file(writer, options, process), win::kErrorSharingViolation);
}

}  // namespace
}  // namespace rk::sys
