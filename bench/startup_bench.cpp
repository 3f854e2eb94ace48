// Start-up of whole programs as an operator pays it: `rkctl --help` and
// `rkctl info` started, run and waited for (start to exit), in a
// temporary root. Counter ms: the median wall time of one run (goal <= 20);
// cpu_ms: the median CPU time (user + system) of one run, which the load of
// a shared machine changes much less (on an idle machine the wall time is
// about the CPU time plus a millisecond).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/file.h"
#include "platform/system/process/command_line.h"
#include "platform/system/process/process.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

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

// One run of `command_line` with its output thrown away. The CPU time is
// what the children this process waited for gained meanwhile.
Run run(const std::wstring& command_line) {
    rk::sys::StartOptions options;
    options.command_line = command_line;
    rk::sys::File null_device;
    if (rk::sys::File::open_null_device(null_device) != 0) {
        return {};
    }
    options.standard_output = &null_device;
    rusage before{};
    ::getrusage(RUSAGE_CHILDREN, &before);
    const auto start = Clock::now();
    std::unique_ptr<rk::sys::Process> process;
    if (rk::sys::start_process(options, process) != 0 || process->wait(rk::win::kInfinite) != rk::win::kWaitObject0) {
        return {};
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    rk::DWORD code = 1;
    if (process->exit_code(code) != 0 || code != 0) {
        return {};
    }
    rusage after{};
    ::getrusage(RUSAGE_CHILDREN, &after);
    return {ms, cpu_ms_of(after) - cpu_ms_of(before)};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void time_runs(benchmark::State& state, const std::wstring& arguments) {
    const std::wstring command_line = rk::sys::quote_argument(rk::text::utf8_to_wide(RKCTL_PATH)) + L" " + arguments;
    rk::sys::test::TempRoot root;
    run(command_line);  // page cache warm, as an operator's second call finds it
    std::vector<double> wall;
    std::vector<double> cpu;
    for (auto _ : state) {
        const Run one = run(command_line);
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

void BM_RkctlHelp(benchmark::State& state) { time_runs(state, L"--help"); }
BENCHMARK(BM_RkctlHelp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRuns);

void BM_RkctlInfo(benchmark::State& state) { time_runs(state, L"info"); }
BENCHMARK(BM_RkctlInfo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRuns);

}  // namespace

BENCHMARK_MAIN();
