// Cost of the process logger front end as components use it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/logging/development_logging.h"
#include "platform/logging/dira_doro_logger.h"
#include "platform/logging/process_logger.h"
#include "platform/logging/test/scoped_process_logger.h"

namespace {

std::unique_ptr<ETWLogging::CDevelopmentLogging> make_logger(int fd) {
    auto logger = std::make_unique<ETWLogging::CDevelopmentLogging>(fd);
    logger->Initialize(L"_no_group", nullptr, L"_no_host", 0);
    return logger;
}

// The guard every call site runs first; level 1 is below the default severity.
void BM_IsLogLevelEnabledFiltered(benchmark::State& state) {
    rk::logging::test::ScopedProcessLogger scope(make_logger(-1));
    for (auto _ : state) {
        benchmark::DoNotOptimize(IsLogLevelEnabled(rk::log_level::kNormal));
    }
}
BENCHMARK(BM_IsLogLevelEnabledFiltered);

// A passing line that the logger drops (no output, like ETW without a session).
void BM_LogMessageDropped(benchmark::State& state) {
    rk::logging::test::ScopedProcessLogger scope(make_logger(-1));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            LogMessage(6, L"bench.cpp", L"Bench::Run", 1, L"read %ls: %d", L"lbconfig.ini", 42));
    }
}
BENCHMARK(BM_LogMessageDropped);

// A passing line formatted and written (to /dev/null).
void BM_LogMessageWritten(benchmark::State& state) {
    const int fd = ::open("/dev/null", O_WRONLY);
    {
        rk::logging::test::ScopedProcessLogger scope(make_logger(fd));
        for (auto _ : state) {
            benchmark::DoNotOptimize(
                LogMessage(6, L"bench.cpp", L"Bench::Run", 1, L"read %ls: %d", L"lbconfig.ini", 42));
        }
    }
    ::close(fd);
}
BENCHMARK(BM_LogMessageWritten);

// A DiraDoro message routed into the process logger and dropped there.
void BM_DiraDoroRouted(benchmark::State& state) {
    rk::logging::test::ScopedProcessLogger scope(make_logger(-1));
    for (auto _ : state) {
        DiraDoro::CLogger::Log(DiraDoro::kLevelError, L"bench.cpp", L"Bench::Run", 1, L"open %d", 2);
    }
}
BENCHMARK(BM_DiraDoroRouted);

}  // namespace

BENCHMARK_MAIN();
