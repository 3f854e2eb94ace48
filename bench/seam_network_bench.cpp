// HTTP client and download throughput against a local TLS server (with a
// bare libcurl transfer of the same resource as the baseline, in the same
// run), process start-up cost and command-line splitting.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <filesystem>
#include <memory>

#include "platform/system/download/url_download.h"
#include "platform/system/http/http_session.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/http/url_parts.h"
#include "platform/system/process/command_line.h"
#include "platform/system/process/process.h"
#include "platform/text/utf.h"

namespace {

using rk::sys::http::test::TestServer;

constexpr std::size_t kBodySize = 32 * 1024 * 1024;

TestServer& server() {
    static TestServer* instance = [] {
        auto* s = new TestServer(TestServer::Mode::kTls);
        s->serve("/big", std::string(kBodySize, 'x'));
        return s;
    }();
    return *instance;
}

void BM_SeamHttpsReadBody(benchmark::State& state) {
    rk::sys::http::SessionOptions options;
    options.proxy.access = rk::sys::http::AccessType::kNoProxy;
    rk::DWORD error = 0;
    auto session = rk::sys::http::open_http_session(options, error);
    auto connection = session->connect(L"127.0.0.1", static_cast<unsigned>(server().port()), error);
    for (auto _ : state) {
        auto request = connection->open_request(L"GET", L"/big", true, error);
        request->set_security_flags(rk::sys::http::kSecurityFlagsIgnoreCertErrors);
        std::size_t total = 0;
        if (request->send() != 0 || request->receive_response() != 0 ||
            request->read_body([&](std::span<const std::uint8_t> piece) {
                total += piece.size();
                return true;
            }) != 0 ||
            total != kBodySize) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_SeamHttpsReadBody)->Unit(benchmark::kMillisecond)->UseRealTime();

std::size_t discard(char*, std::size_t size, std::size_t count, void* total) {
    *static_cast<std::size_t*>(total) += size * count;
    return size * count;
}

void BM_BareLibcurlBaseline(benchmark::State& state) {
    CURL* easy = curl_easy_init();
    const std::string url = server().url("/big");
    std::size_t total = 0;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &total);
    for (auto _ : state) {
        total = 0;
        if (curl_easy_perform(easy) != CURLE_OK || total != kBodySize) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    curl_easy_cleanup(easy);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_BareLibcurlBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DownloadToFile(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "rk-seam-bench";
    std::filesystem::create_directories(folder);
    rk::sys::DownloadOptions options;
    options.proxy.access = rk::sys::http::AccessType::kNoProxy;
    options.security_flags = rk::sys::http::kSecurityFlagsIgnoreCertErrors;
    const std::wstring url = server().wide_url("/big");
    const std::wstring file = rk::text::utf8_to_wide((folder / "Brightscan_Release.exe").native());
    for (auto _ : state) {
        if (rk::sys::download_url_to_file(url, file, options) != 0) {
            state.SkipWithError("download failed");
            break;
        }
    }
    std::filesystem::remove_all(folder);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_DownloadToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StartAndWaitForProcess(benchmark::State& state) {
    rk::sys::StartOptions options;
    options.command_line = L"\"/bin/true\" /S";
    for (auto _ : state) {
        std::unique_ptr<rk::sys::Process> process;
        if (rk::sys::start_process(options, process) != 0 || process->wait(rk::win::kInfinite) != 0) {
            state.SkipWithError("start failed");
            break;
        }
    }
}
BENCHMARK(BM_StartAndWaitForProcess)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_SplitCommandLine(benchmark::State& state) {
    const std::wstring line =
        LR"("C:\ProgramData\Corvane\Installer\Brightscan_Release.exe" /S /v"/qn REBOOT=ReallySuppress" a\\\"b "c d")";
    for (auto _ : state) {
        benchmark::DoNotOptimize(rk::sys::split_command_line(line));
    }
}
BENCHMARK(BM_SplitCommandLine);

}  // namespace
BENCHMARK_MAIN();
