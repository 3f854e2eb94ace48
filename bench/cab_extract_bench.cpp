// Extracting a cabinet of about 100 MB holding 1,200 files in 12 folders
// (MSZIP, made by gcab at start-up) into an empty folder: the seam's
// extractor alone, the whole EXTRACT_CAB_LOCAL command (signature check of
// the signed cabinet included), and `cabextract` on the same cabinet timed
// as a process. The ratios to cabextract are printed at the end, of the
// elapsed times and of the CPU times (ours: the process's; cabextract's: its
// own, from the children's usage), which a loaded machine disturbs less.
// Files go to /dev/shm when it exists, so the figures compare the
// extractors rather than the disk's write-back (RK_BENCH_DIR chooses
// another folder).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/system/cabinet/cabinet_extractor.h"
#include "platform/system/paths.h"
#include "xml_updater/commands/extract_cab_local_command.h"
#include "xml_updater/xml_updater_log.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 12;
constexpr int kFilesPerFolder = 100;
constexpr std::size_t kFileBytes = 240 << 10;

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

struct Cabinet {
    fs::path dir;
    fs::path plain;
    fs::path signed_cab;
    std::vector<std::uint8_t> bytes;
    std::string error;
    ~Cabinet() {
        std::error_code ec;
        if (!dir.empty()) fs::remove_all(dir, ec);
    }
};

// Text-like content: words from a small vocabulary with random bytes mixed
// in, which deflate packs to about 40%.
std::string content(std::mt19937& rng) {
    static const char* const kWords[] = {"update ", "engine ", "cabinet ", "folder ", "signed ", "content ",
                                         "trust ",  "value ",  "0x3f7a ",  "\n",      "file ",    "<tag> "};
    std::string out;
    out.reserve(kFileBytes);
    while (out.size() < kFileBytes) {
        if (rng() % 4 == 0) {
            for (int i = 0; i < 6; ++i) out.push_back(static_cast<char>(rng()));
        } else {
            out += kWords[rng() % std::size(kWords)];
        }
    }
    out.resize(kFileBytes);
    return out;
}

const Cabinet& cabinet() {
    static Cabinet c = [] {
        Cabinet s;
        const char* base = std::getenv("RK_BENCH_DIR");
        const fs::path root = base != nullptr ? fs::path(base)
                              : fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                             : fs::temp_directory_path();
        s.dir = root / ("rk-cab-bench-" + std::to_string(::getpid()));
        const fs::path src = s.dir / "src";
        std::mt19937 rng(7);
        std::string names;
        for (int f = 0; f < kFolders; ++f) {
            fs::create_directories(src / ("folder" + std::to_string(f)));
            for (int i = 0; i < kFilesPerFolder; ++i) {
                const std::string name = "folder" + std::to_string(f) + "/file" + std::to_string(i) + ".dat";
                std::ofstream(src / name, std::ios::binary) << content(rng);
                names += " " + name;
            }
        }
        s.plain = s.dir / "big.cab";
        s.signed_cab = s.dir / "big-signed.cab";
        const fs::path pki = fs::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "pki";
        if (run("cd '" + src.string() + "' && gcab -c -z '" + s.plain.string() + "'" + names) != 0) {
            s.error = "gcab could not make the cabinet";
        } else if (run("osslsigncode sign -certs '" + (pki / "corvane-chain.pem").string() + "' -key '" +
                       (pki / "corvane.key.pem").string() + "' -h sha256 -in '" + s.plain.string() + "' -out '" +
                       s.signed_cab.string() + "'") != 0) {
            s.error = "osslsigncode could not sign the cabinet";
        }
        fs::remove_all(src);
        std::ifstream in(s.plain, std::ios::binary);
        s.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        std::printf("cabinet: %zu bytes, %d files, %zu bytes unpacked\n", s.bytes.size(), kFolders * kFilesPerFolder,
                    kFolders * kFilesPerFolder * kFileBytes);
        return s;
    }();
    return c;
}

double process_cpu_seconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double children_cpu_seconds() {
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    const auto seconds = [](const timeval& v) {
        return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) * 1e-6;
    };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// CPU milliseconds per iteration, measured by `clock` around each one.
class CpuCounter {
public:
    explicit CpuCounter(double (*clock)()) : clock_(clock) {}
    void start() { started_ = clock_(); }
    void stop() { total_ += clock_() - started_; }
    void report(benchmark::State& state) const {
        state.counters["cpu_ms"] = benchmark::Counter(total_ * 1000.0, benchmark::Counter::kAvgIterations);
    }

private:
    double (*clock_)();
    double started_ = 0;
    double total_ = 0;
};

fs::path fresh_destination(benchmark::State& state) {
    state.PauseTiming();
    const fs::path dest = cabinet().dir / "out";
    fs::remove_all(dest);
    state.ResumeTiming();
    return dest;
}

void BM_ExtractCabinet(benchmark::State& state) {
    if (!cabinet().error.empty()) return state.SkipWithError(cabinet().error.c_str());
    CpuCounter cpu(process_cpu_seconds);
    for (auto _ : state) {
        const fs::path dest = fresh_destination(state);
        cpu.start();
        const auto r = rk::sys::cabinet::extract_cabinet(cabinet().bytes, rk::sys::wide_path(dest));
        cpu.stop();
        if (!r.ok()) return state.SkipWithError("extraction failed");
    }
    cpu.report(state);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * cabinet().bytes.size()));
}

void BM_ExtractCabLocalCommand(benchmark::State& state) {
    if (!cabinet().error.empty()) return state.SkipWithError(cabinet().error.c_str());
    CpuCounter cpu(process_cpu_seconds);
    for (auto _ : state) {
        const fs::path dest = fresh_destination(state);
        cpu.start();
        const bool ok = XMLUpdater::v2::CExtractCabLocalCommand::ExecuteExtractCabLocalCommand(
            rk::sys::wide_path(cabinet().signed_cab), rk::sys::wide_path(dest), false);
        cpu.stop();
        if (!ok) return state.SkipWithError("EXTRACT_CAB_LOCAL failed");
    }
    cpu.report(state);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * cabinet().bytes.size()));
}

void BM_Cabextract(benchmark::State& state) {
    if (!cabinet().error.empty()) return state.SkipWithError(cabinet().error.c_str());
    CpuCounter cpu(children_cpu_seconds);
    for (auto _ : state) {
        const fs::path dest = fresh_destination(state);
        cpu.start();
        const int status = run("cabextract -q -d '" + dest.string() + "' '" + cabinet().plain.string() + "'");
        cpu.stop();
        if (status != 0) return state.SkipWithError("cabextract failed");
    }
    cpu.report(state);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * cabinet().bytes.size()));
}

BENCHMARK(BM_Cabextract)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ExtractCabinet)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ExtractCabLocalCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (!r.error_occurred && r.iterations > 0 && r.run_type == Run::RT_Iteration) {
                seconds_[r.run_name.function_name] = r.real_accumulated_time / static_cast<double>(r.iterations);
                if (const auto it = r.counters.find("cpu_ms"); it != r.counters.end()) {
                    cpu_ms_[r.run_name.function_name] = it->second.value;
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void print_ratios() const {
        print("time", seconds_);
        print("CPU", cpu_ms_);
    }

private:
    static void print(const char* what, const std::map<std::string, double>& values) {
        const auto get = [&](const char* n) { auto it = values.find(n); return it == values.end() ? 0.0 : it->second; };
        const double ours = get("BM_ExtractCabinet"), command = get("BM_ExtractCabLocalCommand"),
                     reference = get("BM_Cabextract");
        if (ours > 0 && reference > 0) std::printf("%s extract_cabinet / cabextract:   %.2f\n", what, ours / reference);
        if (command > 0 && reference > 0) {
            std::printf("%s EXTRACT_CAB_LOCAL / cabextract: %.2f\n", what, command / reference);
        }
    }

    std::map<std::string, double> seconds_;
    std::map<std::string, double> cpu_ms_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    return 0;
}
