// Whole-process comparisons of the installer path against the tools an
// operator would use instead, each pair interleaved in the same run:
//   - rkctl download of a 200 MB body over loopback HTTPS against
//     `curl -k -s -o` from the same in-process server (throughput ratio,
//     goal >= 0.95 in every run: counter worst_ratio);
//   - rkctl verify-file of a signed 64 MiB PE against `osslsigncode verify`
//     of the same file (time ratio, goal <= 0.8: counter ratio).
// RK_BENCH_SHORT=1 (bench/run.sh) runs fewer rounds.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/system/http/test/test_server.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using rk::sys::http::test::TestServer;

const fs::path kTestdata = fs::path(RK_SOURCE_DIR) / "testdata" / "codesign";
constexpr std::size_t kDownloadBytes = 200u * 1000u * 1000u;
constexpr std::size_t kPeTextBytes = 64u << 20;

bool short_run() { return std::getenv("RK_BENCH_SHORT") != nullptr; }

// User and system CPU seconds of the children that ended so far.
double children_cpu() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Timing {
    double wall = -1;  // negative when the command failed
    double cpu = 0;
};

// Runs a shell command with its output discarded.
Timing timed(const std::string& command) {
    const double cpu = children_cpu();
    const auto start = Clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    Timing t;
    t.wall = std::chrono::duration<double>(Clock::now() - start).count();
    t.cpu = children_cpu() - cpu;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        t.wall = -1;
    }
    return t;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

struct Scratch {
    fs::path dir = fs::temp_directory_path() / ("rk-installer-bench-" + std::to_string(::getpid()));
    Scratch() { fs::create_directories(dir); }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

TestServer& server() {
    static TestServer* instance = [] {
        auto* s = new TestServer(TestServer::Mode::kTls);
        s->handle("GET", "/installer.exe", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(kDownloadBytes, "application/octet-stream",
                                          [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                              static const std::string block(1 << 20, 'x');
                                              (void)offset;
                                              return sink.write(block.data(), std::min(length, block.size()));
                                          });
        });
        return s;
    }();
    return *instance;
}

// Runs `first` and `second` `rounds` times, alternating which goes first so
// neither always meets the colder cache; `after` runs after each pair.
// False when a command failed.
template <typename After>
bool interleaved(const std::string& first, const std::string& second, int rounds, std::vector<Timing>& a,
                 std::vector<Timing>& b, After after) {
    for (int i = 0; i < rounds; ++i) {
        Timing ta;
        Timing tb;
        if (i % 2 == 0) {
            ta = timed(first);
            tb = timed(second);
        } else {
            tb = timed(second);
            ta = timed(first);
        }
        if (ta.wall < 0 || tb.wall < 0 || !after()) {
            return false;
        }
        a.push_back(ta);
        b.push_back(tb);
    }
    return true;
}

double median_of(const std::vector<Timing>& v, double Timing::*field) {
    std::vector<double> values;
    for (const Timing& t : v) {
        values.push_back(t.*field);
    }
    return median(values);
}

void BM_DownloadVsCurl(benchmark::State& state) {
    const std::string url = server().url("/installer.exe");
    const fs::path ours = scratch().dir / "ours.exe";
    const fs::path theirs = scratch().dir / "theirs.exe";
    const std::string ours_cmd = std::string(RKCTL_PATH) + " download --insecure '" + url + "' " + quoted(ours);
    const std::string curl_cmd = "curl -k -s --noproxy '*' -o " + quoted(theirs) + " '" + url + "'";
    std::vector<Timing> our_times;
    std::vector<Timing> curl_times;
    for (auto _ : state) {
        const bool ok = interleaved(ours_cmd, curl_cmd, short_run() ? 3 : 7, our_times, curl_times, [&] {
            std::error_code ec;
            const bool complete = fs::file_size(ours, ec) == kDownloadBytes && fs::file_size(theirs, ec) == kDownloadBytes;
            fs::remove(ours, ec);
            fs::remove(theirs, ec);
            return complete;
        });
        if (!ok) {
            state.SkipWithError("a download failed");
            return;
        }
    }
    std::vector<double> ratios;  // our throughput / curl's, per pair
    for (std::size_t i = 0; i < our_times.size(); ++i) {
        ratios.push_back(curl_times[i].wall / our_times[i].wall);
    }
    state.counters["worst_ratio"] = *std::min_element(ratios.begin(), ratios.end());
    state.counters["ratio"] = median(ratios);
    state.counters["ours_MBps"] = kDownloadBytes / 1e6 / median_of(our_times, &Timing::wall);
    state.counters["curl_MBps"] = kDownloadBytes / 1e6 / median_of(curl_times, &Timing::wall);
    state.counters["ours_cpu_s"] = median_of(our_times, &Timing::cpu);
    state.counters["curl_cpu_s"] = median_of(curl_times, &Timing::cpu);
}
BENCHMARK(BM_DownloadVsCurl)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 64 MiB PE signed with the test PKI, made once per run.
const fs::path& signed_pe() {
    static const fs::path file = [] {
        const fs::path unsigned_pe = scratch().dir / "big-unsigned.exe";
        const fs::path out = scratch().dir / "big-signed.exe";
        const auto pki = kTestdata / "pki";
        if (timed("python3 " + quoted(kTestdata / "make_pe.py") + " " + quoted(unsigned_pe) + " --size " +
                  std::to_string(kPeTextBytes)).wall < 0 ||
            timed("osslsigncode sign -certs " + quoted(pki / "corvane-chain.pem") + " -key " +
                  quoted(pki / "corvane.key.pem") + " -h sha256 -in " + quoted(unsigned_pe) + " -out " + quoted(out))
                    .wall < 0) {
            return fs::path();
        }
        return out;
    }();
    return file;
}

void BM_VerifyFileVsOsslsigncode(benchmark::State& state) {
    const fs::path& file = signed_pe();
    if (file.empty()) {
        state.SkipWithError("python3 or osslsigncode could not make the signed PE");
        return;
    }
    const fs::path root = kTestdata / "pki" / "pinned-root.crt";
    const std::string ours_cmd = std::string(RKCTL_PATH) + " verify-file --pinned-root " + quoted(root) + " " +
                                 quoted(file);
    const std::string theirs_cmd =
        "osslsigncode verify -CAfile " + quoted(root) + " -TSA-CAfile " + quoted(root) + " -in " + quoted(file);
    std::vector<Timing> ours;
    std::vector<Timing> theirs;
    for (auto _ : state) {
        if (!interleaved(ours_cmd, theirs_cmd, short_run() ? 5 : 15, ours, theirs, [] { return true; })) {
            state.SkipWithError("a verification failed");
            return;
        }
    }
    state.counters["ratio"] = median_of(ours, &Timing::wall) / median_of(theirs, &Timing::wall);
    state.counters["ours_ms"] = median_of(ours, &Timing::wall) * 1e3;
    state.counters["osslsigncode_ms"] = median_of(theirs, &Timing::wall) * 1e3;
    state.counters["ours_cpu_ms"] = median_of(ours, &Timing::cpu) * 1e3;
    state.counters["osslsigncode_cpu_ms"] = median_of(theirs, &Timing::cpu) * 1e3;
}
BENCHMARK(BM_VerifyFileVsOsslsigncode)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
