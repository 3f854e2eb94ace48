#include "platform/system/process_info.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

TEST(ProcessInfo, IdentifiesProcessThreadAndImage) {
    EXPECT_EQ(current_process_id(), static_cast<DWORD>(::getpid()));
    // The main thread's id is the process id on Linux; other threads differ.
    DWORD other = 0;
    std::thread([&] { other = current_thread_id(); }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, current_thread_id());
    // A forked child's thread has an id of its own (its process id).
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(current_thread_id() == static_cast<DWORD>(::getpid()) ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const std::filesystem::path image(own_image_path());
    EXPECT_TRUE(image.is_absolute());
    EXPECT_TRUE(std::filesystem::equivalent(image, "/proc/self/exe"));
}

// Run by the next test in a copy of this program: says it runs, waits for a
// line on stdin, then prints its own image path.
constexpr const char* kReportImageVariable = "RK_TEST_REPORT_IMAGE";

TEST(ProcessInfo, ReportImagePathWhenAsked) {
    if (std::getenv(kReportImageVariable) == nullptr) {
        GTEST_SKIP() << "helper of ImagePathSurvivesDeletionOfTheFile";
    }
    std::cout << "READY\n" << std::flush;
    std::string line;
    std::getline(std::cin, line);
    std::cout << "IMAGE=" << text::wide_to_utf8(own_image_path()) << "\n" << std::flush;
}

// Reads lines from `fd` until one starts with `prefix`; returns its rest.
std::string read_marked_line(int fd, const std::string& prefix) {
    std::string buffer;
    char c;
    while (::read(fd, &c, 1) == 1) {
        if (c != '\n') {
            buffer += c;
            continue;
        }
        if (buffer.starts_with(prefix)) {
            return buffer.substr(prefix.size());
        }
        buffer.clear();
    }
    return "<no line " + prefix + ">";
}

TEST(ProcessInfo, ImagePathSurvivesDeletionOfTheFile) {
    const test::TempRoot root;
    const std::filesystem::path copy = root.path() / "updater copy";
    std::filesystem::copy_file(std::filesystem::path(own_image_path()), copy);
    int to_child[2];
    int from_child[2];
    ASSERT_EQ(::pipe(to_child), 0);
    ASSERT_EQ(::pipe(from_child), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(to_child[0], 0);
        ::dup2(from_child[1], 1);
        ::setenv(kReportImageVariable, "1", 1);
        ::execl(copy.c_str(), copy.c_str(), "--gtest_filter=ProcessInfo.ReportImagePathWhenAsked",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    EXPECT_EQ(read_marked_line(from_child[0], "READY"), "");
    std::filesystem::remove(copy);
    EXPECT_EQ(::write(to_child[1], "go\n", 3), 3);
    EXPECT_EQ(read_marked_line(from_child[0], "IMAGE="), copy.native());
    ::close(to_child[1]);
    ::close(from_child[0]);
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace rk::sys
