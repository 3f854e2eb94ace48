// The real daemon binary in a temporary root against the demo server on
// 127.0.0.1:8443 (the development profile's manifest address): one pass
// downloads and runs the signed demo installer, and a second daemon in the
// same session exits 0 at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/test/temp_root.h"
#include "tools/demo_server/demo_server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path kSource = RK_SOURCE_DIR;
const fs::path kKeys = kSource / "profile/dev-keys";

// A child process with extra environment entries and standard error in a file.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env, const fs::path& stderr_file) {
        std::vector<std::string> env_text(extra_env);
        for (char** e = environ; *e != nullptr; ++e) {
            env_text.emplace_back(*e);
        }
        std::vector<char*> env;
        for (auto& e : env_text) {
            env.push_back(e.data());
        }
        env.push_back(nullptr);
        std::vector<std::string> args(argv);
        std::vector<char*> arg_pointers;
        for (auto& a : args) {
            arg_pointers.push_back(a.data());
        }
        arg_pointers.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid_, arg_pointers[0], &actions, nullptr, arg_pointers.data(), env.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid() const { return pid_; }
    // The exit status, or -1 when it still runs after `timeout`.
    int wait_for(std::chrono::milliseconds timeout) {
        const auto end = Clock::now() + timeout;
        do {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (Clock::now() < end);
        return -1;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

int run_tool(const std::vector<std::string>& argv, const fs::path& log) {
    Child child(argv, {}, log);
    return child.wait_for(std::chrono::seconds(60));
}

TEST(RkUpdaterModuleDaemon, InstallsFromTheDemoServerAndRefusesASecondInstance) {
    rk::sys::test::TempRoot root;  // RK_ROOT for every child
    const fs::path work = root.path() / "work";
    const fs::path serve = work / "serve";
    fs::create_directories(serve);
    fs::create_directories(root.path() / "var/lib");
    fs::copy_file(kSource / "testdata/demo/lmrupdate.xml", serve / "lmrupdate.xml");
    {
        std::ofstream chain(work / "chain.pem");
        chain << read_file(kKeys / "intermediate.crt") << read_file(kKeys / "root.crt");
    }
    ASSERT_EQ(run_tool({RKCTL_PATH, "sign-file", (kSource / "testdata/demo/installer.sh").string(), "--cert",
                        (kKeys / "codesign.crt").string(), "--key", (kKeys / "codesign.key.pem").string(), "--chain",
                        (work / "chain.pem").string(), "--out", (serve / "Brightscan_Setup.exe").string()},
                       work / "sign.log"),
              0)
        << read_file(work / "sign.log");
    for (const auto& [name, data] : {std::pair{"Version", "2.1"}, std::pair{"AffId", "TEST"}}) {
        ASSERT_EQ(run_tool({RKCTL_PATH, "reg", "add", "HKLM\\SOFTWARE\\Corvane\\Lumora", "-v", name, "-d", data},
                           work / "reg.log"),
                  0);
    }

    rk::demo::DemoServerOptions options;
    options.folder = serve;
    options.cert = kKeys / "tls.crt";
    options.key = kKeys / "tls.key.pem";
    rk::demo::DemoServer server(options);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error << " (is another demo server running on 127.0.0.1:8443?)";

    // A loader variable and an open descriptor handed to the daemon are gone
    // after its secure start.
    const std::vector<std::string> env = {"RK_LOG_STDERR=1", "RK_LOG_SEVERITY=1", "LD_LIBRARY_PATH=/nonexistent-rk"};
    const fs::path inherited = work / "inherited.txt";
    const int inherited_fd = ::open(inherited.c_str(), O_WRONLY | O_CREAT, 0644);  // no O_CLOEXEC
    Child daemon({RKUPDATERMODULE_PATH}, env, work / "daemon.log");
    ::close(inherited_fd);
    ASSERT_GT(daemon.pid(), 0);

    const fs::path marker = root.path() / "var/lib/CorvaneDemo/installer-ran.txt";
    const auto deadline = Clock::now() + std::chrono::seconds(90);
    while (Clock::now() < deadline && read_file(work / "daemon.log").find("event: 71s") == std::string::npos) {
        ASSERT_EQ(daemon.wait_for(std::chrono::milliseconds(100)), -1) << read_file(work / "daemon.log");
    }
    const std::string log = read_file(work / "daemon.log");
    ASSERT_TRUE(fs::exists(marker)) << log;
    EXPECT_NE(read_file(marker).find("with: /silent /source=rkupdater"), std::string::npos);
    EXPECT_NE(log.find("Data formed to track is: errcode=errcode:preconditionsuccess"), std::string::npos) << log;
    EXPECT_NE(log.find("Data formed to track is: errcode=errcode:executesuccesswithexitcode:3"), std::string::npos)
        << log;
    EXPECT_EQ(server.RequestCount(), 2u);
    const std::string environment = read_file("/proc/" + std::to_string(daemon.pid()) + "/environ");
    EXPECT_EQ(environment.find("LD_LIBRARY_PATH"), std::string::npos);
    EXPECT_NE(environment.find("RK_ROOT="), std::string::npos);
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(daemon.pid()) + "/fd", ec)) {
        EXPECT_NE(fs::read_symlink(fd.path(), ec), inherited) << fd.path();
    }

    // The first daemon now sleeps its polling interval; a second one refuses.
    Child second({RKUPDATERMODULE_PATH}, {"RK_LOG_STDERR=1", "RK_LOG_SEVERITY=1"}, work / "second.log");
    EXPECT_EQ(second.wait_for(std::chrono::seconds(10)), 0);
    const std::string second_log = read_file(work / "second.log");
    EXPECT_NE(second_log.find("Application is already running - exiting error is: 183"), std::string::npos)
        << second_log;
    EXPECT_NE(second_log.find("Application already running"), std::string::npos);
    EXPECT_EQ(server.RequestCount(), 2u);  // the second daemon fetched nothing

    ::kill(daemon.pid(), SIGTERM);
    EXPECT_EQ(daemon.wait_for(std::chrono::seconds(10)), 128 + SIGTERM);
}

}  // namespace
