// The updater daemon's whole job against a local HTTPS server.
//
// BM_WholePass: one polling round (manifest fetch, parse, preconditions from
// the registry, 50 MB installer download, signature check, run, wait) with
// the real client, processor and executor; BM_CurlDownload: `curl -k -s -o`
// of the same installer from the same server in the same run (the ratio of
// the two is the pass's overhead over a plain download).
// BM_DaemonResidentWhileSleeping: the real rkupdatermodule after its pass,
// sleeping its polling interval; counters rss_mib = VmRSS (shared libraries
// included, goal <= 12), anon_mib = RssAnon (the process's own memory, goal
// <= 2), and from smaps_rollup private_mib (pages no other process shares)
// and pss_mib (shared pages divided among their users). RK_BENCH_SMAPS=FILE
// keeps the sleeping daemon's /proc/PID/smaps, RK_BENCH_HOLD=SECONDS keeps it
// sleeping that long before it is stopped.
// BM_SecondDaemonExits: a second rkupdatermodule started while the first
// runs, from start to exit (it finds the first and leaves); counter ms is the
// median wall time (goal <= 30), cpu_ms the median CPU time (user + system)
// of the second daemon, which the load of a shared machine changes less.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/daemon/test/fake_processor.h"
#include "app/daemon/updater_loop.h"
#include "app/manifest/rk_xml_processor.h"
#include "app/manifest/updater_environment.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/root_prefix.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "tools/demo_server/demo_server.h"

namespace {

namespace fs = std::filesystem;
const fs::path kSource = RK_SOURCE_DIR;
const fs::path kKeys = kSource / "profile/dev-keys";
constexpr std::size_t kInstallerSize = 50u * 1024 * 1024;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// A temporary root with the demo registry values, a server folder with the
// manifest (installer URL on `port`) and a signed installer padded to 50 MB.
struct Stage {
    rk::sys::test::TempRoot root;
    fs::path serve = root.path() / "serve";

    bool prepare(int installer_port, std::size_t padding) {
        fs::create_directories(serve);
        fs::create_directories(root.path() / "var/lib");
        std::string manifest = read_file(kSource / "testdata/demo/lmrupdate.xml");
        const std::string from = "127.0.0.1:8443";
        manifest.replace(manifest.find(from), from.size(), "127.0.0.1:" + std::to_string(installer_port));
        // Every pass attempts the update, not only the process's first.
        const std::string no_retry = "\"RETRY\" value=\"FALSE\"";
        manifest.replace(manifest.find(no_retry), no_retry.size(), "\"RETRY\" value=\"TRUE\"");
        std::ofstream(serve / "lmrupdate.xml") << manifest;
        {
            std::ofstream installer(root.path() / "installer.sh", std::ios::binary);
            installer << read_file(kSource / "testdata/demo/installer.sh") << std::string(padding, '#');
        }
        std::ofstream(root.path() / "chain.pem") << read_file(kKeys / "intermediate.crt") << read_file(kKeys / "root.crt");
        const std::string rkctl = RKCTL_PATH;
        return run(rkctl + " sign-file " + (root.path() / "installer.sh").string() + " --cert " +
                   (kKeys / "codesign.crt").string() + " --key " + (kKeys / "codesign.key.pem").string() +
                   " --chain " + (root.path() / "chain.pem").string() + " --out " +
                   (serve / "Brightscan_Setup.exe").string() + " >/dev/null") &&
               run(rkctl + " reg add 'HKLM\\SOFTWARE\\Corvane\\Lumora' -v Version -d 2.1") &&
               run(rkctl + " reg add 'HKLM\\SOFTWARE\\Corvane\\Lumora' -v AffId -d BENCH");
    }
};

rk::demo::DemoServerOptions server_options(const fs::path& folder, int port) {
    rk::demo::DemoServerOptions options;
    options.folder = folder;
    options.port = port;
    options.cert = kKeys / "tls.crt";
    options.key = kKeys / "tls.key.pem";
    return options;
}

void BM_WholePass(benchmark::State& state) {
    rk::logging::test::ScopedProcessLogger quiet(nullptr);
    Stage stage;
    rk::demo::DemoServer server(server_options(stage.serve, 0));
    std::string error;
    if (!server.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (!stage.prepare(server.Port(), kInstallerSize)) {
        state.SkipWithError("cannot prepare the stage");
        return;
    }
    auto environment = std::make_shared<rk::app::UpdaterEnvironment>(rk::app::system_updater_environment());
    environment->download_options.ca_file = kKeys / "root.crt";
    std::shared_ptr<const rk::app::UpdaterEnvironment> shared = environment;
    auto client = std::make_shared<rk::app::RkWinHttpClient>();
    client->SetServerPort(static_cast<unsigned>(server.Port()));
    rk::app::UpdaterLoopParts parts{client, rk::text::utf8_to_wide("https://127.0.0.1/xml/lmrupdate.xml"),
                                    [shared] { return MakeRkXMLProcessor(shared); },
                                    std::make_shared<rk::app::test::FakeLoopClock>(), {}};
    rk::app::UpdaterLoop loop(std::move(parts));
    const fs::path marker = stage.root.path() / "var/lib/CorvaneDemo/installer-ran.txt";
    for (auto _ : state) {
        fs::remove(marker);
        loop.RunOnce();
        if (!fs::exists(marker)) {
            state.SkipWithError("the installer did not run");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(stage.serve / "Brightscan_Setup.exe")));
}
BENCHMARK(BM_WholePass)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

void BM_CurlDownload(benchmark::State& state) {
    Stage stage;
    rk::demo::DemoServer server(server_options(stage.serve, 0));
    std::string error;
    if (!server.Start(error) || !stage.prepare(server.Port(), kInstallerSize)) {
        state.SkipWithError("cannot prepare the stage");
        return;
    }
    const std::string command = "curl -k -s -o " + (stage.root.path() / "download.bin").string() +
                                " https://127.0.0.1:" + std::to_string(server.Port()) +
                                "/dl/affiliates//BENCH/Brightscan_Setup.exe";
    for (auto _ : state) {
        if (!run(command)) {
            state.SkipWithError("curl failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(stage.serve / "Brightscan_Setup.exe")));
}
BENCHMARK(BM_CurlDownload)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

// A "Name:   123 kB" field of /proc/<pid>/<file>, -1 when absent.
long proc_kib(pid_t pid, const char* file, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::atol(line.c_str() + field.size() + 1);
        }
    }
    return -1;
}

long status_kib(pid_t pid, const std::string& field) { return proc_kib(pid, "status", field); }

// The system call the process's main thread is in, -1 when running.
long main_thread_syscall(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
    long number = -1;
    return in >> number ? number : -1;
}

// The daemon with its standard output (the content scripts' console) kept
// out of the benchmark's JSON.
pid_t start_daemon() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);
        }
        ::execl(RKUPDATERMODULE_PATH, "rkupdatermodule", nullptr);
        ::_exit(127);
    }
    return pid;
}

void BM_DaemonResidentWhileSleeping(benchmark::State& state) {
    Stage stage;
    rk::demo::DemoServer server(server_options(stage.serve, 8443));
    std::string error;
    if (!server.Start(error) || !stage.prepare(8443, 0)) {
        state.SkipWithError(("cannot prepare the stage: " + error).c_str());
        return;
    }
    const fs::path marker = stage.root.path() / "var/lib/CorvaneDemo/installer-ran.txt";
    long rss = -1;
    long anonymous = -1;
    long private_kib = -1;
    long pss = -1;
    for (auto _ : state) {
        const pid_t pid = start_daemon();
        for (int i = 0; i < 600 && !fs::exists(marker); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        // The installer ran; the round is over once the main thread sleeps
        // its polling interval (the only clock_nanosleep of this scenario:
        // while the pass runs it waits for the worker on a futex).
        for (int i = 0; i < 600 && main_thread_syscall(pid) != SYS_clock_nanosleep; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        rss = status_kib(pid, "VmRSS");
        anonymous = status_kib(pid, "RssAnon");
        private_kib = proc_kib(pid, "smaps_rollup", "Private_Clean") + proc_kib(pid, "smaps_rollup", "Private_Dirty");
        pss = proc_kib(pid, "smaps_rollup", "Pss");
        // RK_BENCH_SMAPS=FILE keeps the daemon's mappings for a closer look.
        if (const char* keep = std::getenv("RK_BENCH_SMAPS")) {
            std::ofstream(keep) << read_file("/proc/" + std::to_string(pid) + "/smaps");
        }
        // RK_BENCH_HOLD=SECONDS leaves it sleeping that long (to attach a tool).
        if (const char* hold = std::getenv("RK_BENCH_HOLD")) {
            std::fprintf(stderr, "daemon %d sleeping\n", static_cast<int>(pid));
            std::this_thread::sleep_for(std::chrono::seconds(std::atoi(hold)));
        }
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    state.counters["rss_mib"] = static_cast<double>(rss) / 1024;
    state.counters["anon_mib"] = static_cast<double>(anonymous) / 1024;
    state.counters["private_mib"] = static_cast<double>(private_kib) / 1024;
    state.counters["pss_mib"] = static_cast<double>(pss) / 1024;
}
BENCHMARK(BM_DaemonResidentWhileSleeping)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SecondDaemonExits(benchmark::State& state) {
    rk::sys::test::TempRoot root;
    fs::create_directories(root.path() / "var/lib");
    // The first one polls a server that is not there and waits to retry.
    const pid_t first = start_daemon();
    const fs::path presence = rk::sys::session_runtime_dir() / "mutex" / "RkUpdaterModuleMutex.exists";
    for (int i = 0; i < 200 && !fs::exists(presence); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::vector<double> runs;
    std::vector<double> cpu;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t second = start_daemon();
        int status = 0;
        rusage usage{};
        ::wait4(second, &status, 0, &usage);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the second daemon did not exit 0");
            break;
        }
        runs.push_back(ms);
        cpu.push_back((static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3) +
                      (static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3));
        state.SetIterationTime(ms / 1e3);
    }
    ::kill(first, SIGTERM);
    ::waitpid(first, nullptr, 0);
    if (!runs.empty()) {
        std::sort(runs.begin(), runs.end());
        std::sort(cpu.begin(), cpu.end());
        state.counters["ms"] = runs[runs.size() / 2];
        state.counters["cpu_ms"] = cpu[cpu.size() / 2];
    }
}
BENCHMARK(BM_SecondDaemonExits)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(std::getenv("RK_BENCH_SHORT") != nullptr ? 11 : 31);

}  // namespace

BENCHMARK_MAIN();
