// Child program of the process tests. Driven by environment variables so
// its arguments stay untouched:
//   RK_CHILD_RECORD   file to write: the working folder, the arguments after
//                     argv[0], then "fds:" and the descriptors above 2 it
//                     inherited; every item ends with a NUL byte
//   RK_CHILD_OUTPUT   write the environment to standard output, one
//                     "NAME=value" a line, and "error" to standard error
//   RK_CHILD_SLEEP_MS sleep that long first
//   RK_CHILD_SIGNAL   end by raising this signal
//   RK_CHILD_EXIT     exit with this status (default 0)
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

int main(int argc, char** argv) {
    std::vector<int> inherited;
    for (int fd = 3; fd < 1024; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) {
            inherited.push_back(fd);
        }
    }
    if (const char* record = std::getenv("RK_CHILD_RECORD")) {
        std::string text;
        char cwd[4096] = {};
        if (::getcwd(cwd, sizeof(cwd)) != nullptr) {
            text += cwd;
        }
        text += '\0';
        for (int i = 1; i < argc; ++i) {
            text += argv[i];
            text += '\0';
        }
        text += "fds:";
        for (int fd : inherited) {
            text += std::to_string(fd) + ",";
        }
        text += '\0';
        if (FILE* out = std::fopen(record, "wb")) {
            std::fwrite(text.data(), 1, text.size(), out);
            std::fclose(out);
        }
    }
    if (std::getenv("RK_CHILD_OUTPUT") != nullptr) {
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::printf("%s\n", *entry);
        }
        std::fflush(stdout);
        std::fputs("error\n", stderr);
    }
    if (const char* sleep_ms = std::getenv("RK_CHILD_SLEEP_MS")) {
        ::usleep(static_cast<useconds_t>(std::atoi(sleep_ms)) * 1000);
    }
    if (const char* signal_number = std::getenv("RK_CHILD_SIGNAL")) {
        ::signal(std::atoi(signal_number), SIG_DFL);
        ::raise(std::atoi(signal_number));
    }
    const char* code = std::getenv("RK_CHILD_EXIT");
    return code != nullptr ? std::atoi(code) : 0;
}
