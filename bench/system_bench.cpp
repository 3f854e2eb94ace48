// The seam calls other components make per log line or per file: mapping a
// Windows path, a file status, and the named mutex that guards each write of
// the file logger (uncontended take and release, and opening a handle).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/system/files.h"
#include "platform/system/named_mutex.h"
#include "platform/system/paths.h"
#include "platform/system/root_prefix.h"

namespace {

// A temporary root for the run, removed at exit.
class BenchRoot {
public:
    BenchRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "rk-bench-XXXXXX").native();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            ::setenv("RK_ROOT", pattern.c_str(), 1);
        }
    }
    ~BenchRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

BenchRoot& root() {
    static BenchRoot instance;
    return instance;
}

void BM_ToHostPath(benchmark::State& state) {
    root();
    const std::wstring path = L"C:\\ProgramData\\Corvane\\ClientAnalytics\\RKLOGS\\log.txt";
    for (auto _ : state) {
        benchmark::DoNotOptimize(rk::sys::to_host_path(path));
    }
}
BENCHMARK(BM_ToHostPath);

void BM_FileStatus(benchmark::State& state) {
    std::filesystem::create_directories(root().path() / "data");
    std::ofstream(root().path() / "data/file.txt") << "x";
    rk::sys::FileStatus status;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rk::sys::get_file_status(L"C:\\data\\file.txt", status));
    }
}
BENCHMARK(BM_FileStatus);

void BM_MutexWaitRelease(benchmark::State& state) {
    root();
    auto created = rk::sys::NamedMutex::create(L"Global\\bench-log");
    for (auto _ : state) {
        benchmark::DoNotOptimize(created.mutex->wait(7000));
        created.mutex->release();
    }
}
BENCHMARK(BM_MutexWaitRelease);

void BM_MutexCreateClose(benchmark::State& state) {
    root();
    for (auto _ : state) {
        benchmark::DoNotOptimize(rk::sys::NamedMutex::create(L"bench-open").error);
    }
}
BENCHMARK(BM_MutexCreateClose);

}  // namespace

BENCHMARK_MAIN();
