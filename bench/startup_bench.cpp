// Start-up of whole programs as an operator pays it: `rkctl --help` and
// `rkctl info` started, run and waited for (posix_spawn to exit), in a
// temporary root. Counter ms: the median wall time of one run (goal <= 20);
// cpu_ms: the median CPU time (user + system) of one run, which the load of
// a shared machine changes much less (on an idle machine the wall time is
// about the CPU time plus a millisecond).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/system/test/temp_root.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    double ms = -1;      // wall time, -1 when the program failed
    double cpu_ms = -1;  // user + system time of the process
};

double cpu_ms_of(const rusage& usage) {
    return (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3) +
           (static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
}

// One run of `argv` with its output thrown away.
Run run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (auto& a : copy) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return {};
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {};
    }
    return {ms, cpu_ms_of(usage)};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void time_runs(benchmark::State& state, const std::vector<std::string>& args) {
    rk::sys::test::TempRoot root;
    run(args);  // page cache warm, as an operator's second call finds it
    std::vector<double> wall;
    std::vector<double> cpu;
    for (auto _ : state) {
        const Run one = run(args);
        if (one.ms < 0) {
            state.SkipWithError("the program failed");
            return;
        }
        wall.push_back(one.ms);
        cpu.push_back(one.cpu_ms);
        state.SetIterationTime(one.ms / 1e3);
    }
    state.counters["ms"] = median(wall);
    state.counters["cpu_ms"] = median(cpu);
}

const int kRuns = std::getenv("RK_BENCH_SHORT") != nullptr ? 15 : 41;

void BM_RkctlHelp(benchmark::State& state) { time_runs(state, {RKCTL_PATH, "--help"}); }
BENCHMARK(BM_RkctlHelp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRuns);

void BM_RkctlInfo(benchmark::State& state) { time_runs(state, {RKCTL_PATH, "info"}); }
BENCHMARK(BM_RkctlInfo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRuns);

}  // namespace

BENCHMARK_MAIN();
