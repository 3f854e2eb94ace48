// Downloads of a 200 MB file from a private nginx over loopback HTTPS, in
// the same run: `curl -k -o` of the file (the reference, a whole process),
// DOWNLOADEX through the web cache, and NDownloadFile::StoreOnDisk (with
// its MD5 digest). The counters give each throughput and its ratio to
// curl's, in wall time and in CPU time. A second benchmark cuts the cached
// file at half and runs DOWNLOADEX again: the bytes nginx sent are the
// counter (the goal is the remainder only).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "platform/system/http/test/test_server.h"
#include "platform/system/paths.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "xml_updater/download_file.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/updater.h"
#include "xml_updater/web_cache/test/nginx_server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace xu = XMLUpdater::v2;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kSize = 200u * 1000u * 1000u;

class NullSender final : public xu::NTelemetry::NAdHoc::IEventSender {
public:
    bool Initialize() override { return true; }
    bool SendEvent(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                   const wchar_t*, const wchar_t*) override {
        return true;
    }
    bool Flush() override { return true; }
    bool Shutdown() override { return true; }
    bool SetCustomDimension(const wchar_t*, const wchar_t*) override { return true; }
};

struct Setup {
    rk::sys::test::TempRoot root;
    XMLUpdater::v2::web_cache::test::NginxServer nginx;
    std::string url;

    Setup() {
        if (!nginx.available()) {
            return;
        }
        std::mt19937 generator(7);
        std::string block(1024 * 1024, '\0');
        for (auto& c : block) {
            c = static_cast<char>(generator());
        }
        std::string body;
        body.reserve(kSize);
        while (body.size() < kSize) {
            body.append(block, 0, std::min(block.size(), kSize - body.size()));
        }
        nginx.put("/big.bin", body);
        url = nginx.url("/big.bin");
        xu::NHttp::SetTrustAnchors(rk::sys::http::test::dev_root_ca());
    }
};

// Destroyed at exit, which stops nginx and removes the files.
Setup& setup() {
    static Setup instance;
    return instance;
}

double cpu_seconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool run_curl(const std::string& url, const fs::path& out) {
    std::vector<std::string> args = {"curl", "-k", "-s", "-o", out.string(), url};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    return ::posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) == 0 &&
           ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool run_downloadex(const std::string& url, const fs::path& dir) {
    xu::CUpdater updater;
    if (!updater.Initialize(std::make_shared<NullSender>(), false, nullptr, nullptr, nullptr)) {
        return false;
    }
    const std::string doc = "<UPDATEARRAY><UPDATE><UPDATECOMMANDS><DOWNLOADEX Location=\"" + url + "\" DestDir=\"" +
                            dir.string() + "\"/></UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
    int exit_code = 0;
    return updater.ExecuteUpdate(reinterpret_cast<const std::uint8_t*>(doc.data()), doc.size(), exit_code) == 0;
}

bool run_store_on_disk(const std::string& url, const fs::path& dir) {
    xu::DownloadProgress progress(nullptr, L"", L"");
    std::wstring md5;
    std::wstring path;
    return xu::NHttp::NDownloadFile::StoreOnDisk(rk::text::utf8_to_wide(url), rk::sys::wide_path(dir), L"", true,
                                                 nullptr, progress, md5, path) != 0 &&
           !md5.empty();
}

void BM_Download200MB(benchmark::State& state) {
    Setup& s = setup();
    if (!s.nginx.available()) {
        state.SkipWithError(s.nginx.why().c_str());
        return;
    }
    const fs::path dir = s.root.path() / "out";
    // The three downloads, each into its own empty folder; every iteration
    // starts with the next one, so none always follows the others' writes.
    // Wall time, and CPU time (this process's threads, or the waited-for
    // curl process), which a machine shared with other work disturbs less.
    struct Contender {
        std::function<bool(const fs::path&)> run;
        int who;
        double seconds = 0;
        double cpu = 0;
    };
    Contender contenders[] = {
        {[&](const fs::path& d) { return run_curl(s.url, d / "big.bin"); }, RUSAGE_CHILDREN},
        {[&](const fs::path& d) { return run_downloadex(s.url, d); }, RUSAGE_SELF},
        {[&](const fs::path& d) { return run_store_on_disk(s.url, d); }, RUSAGE_SELF},
    };
    std::size_t first = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < std::size(contenders); ++i) {
            Contender& c = contenders[(first + i) % std::size(contenders)];
            fs::remove_all(dir);
            fs::create_directories(dir);
            const double cpu_start = cpu_seconds(c.who);
            const auto start = Clock::now();
            const bool ok = c.run(dir);
            c.seconds += seconds_since(start);
            c.cpu += cpu_seconds(c.who) - cpu_start;
            std::error_code ec;
            if (!ok || fs::file_size(dir / "big.bin", ec) != kSize) {
                state.SkipWithError("a download failed");
                return;
            }
        }
        ++first;
    }
    const double curl = contenders[0].seconds;
    const double downloadex = contenders[1].seconds;
    const double store = contenders[2].seconds;
    const double n = static_cast<double>(state.iterations());
    const double mb = static_cast<double>(kSize) / 1e6;
    state.counters["curl_MBps"] = mb * n / curl;
    state.counters["downloadex_MBps"] = mb * n / downloadex;
    state.counters["storeondisk_MBps"] = mb * n / store;
    state.counters["downloadex_vs_curl"] = curl / downloadex;
    state.counters["storeondisk_vs_curl"] = curl / store;
    state.counters["curl_cpu_s"] = contenders[0].cpu / n;
    state.counters["downloadex_cpu_s"] = contenders[1].cpu / n;
    state.counters["storeondisk_cpu_s"] = contenders[2].cpu / n;
    state.counters["downloadex_cpu_vs_curl"] = contenders[0].cpu / contenders[1].cpu;
    state.counters["storeondisk_cpu_vs_curl"] = contenders[0].cpu / contenders[2].cpu;
}
BENCHMARK(BM_Download200MB)->Unit(benchmark::kMillisecond)->Iterations(6)->UseRealTime();

void BM_ResumeAfterCutAtHalf(benchmark::State& state) {
    Setup& s = setup();
    if (!s.nginx.available()) {
        state.SkipWithError(s.nginx.why().c_str());
        return;
    }
    const fs::path dir = s.root.path() / "resume";
    fs::remove_all(dir);
    if (!run_downloadex(s.url, dir)) {
        state.SkipWithError("first download failed");
        return;
    }
    std::uint64_t sent = 0;
    for (auto _ : state) {
        fs::resize_file(dir / "big.bin", kSize / 2);
        const bool ok = run_downloadex(s.url, dir);
        const auto log = s.nginx.access_log();
        if (!ok || log.empty() || log.back().status != 206 || fs::file_size(dir / "big.bin") != kSize) {
            state.SkipWithError("resume failed");
            break;
        }
        sent = log.back().body_bytes;
    }
    state.counters["bytes_second_run"] = static_cast<double>(sent);
    state.counters["fraction_of_file"] = static_cast<double>(sent) / static_cast<double>(kSize);
}
BENCHMARK(BM_ResumeAfterCutAtHalf)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
