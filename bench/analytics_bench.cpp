// One updater event report through the analytics engine, in process, in a
// temporary root (RK_ROOT), with the terminate delay 0:
//
// BM_EventReportNoNetwork: SendRkUpdaterModuleEvents(66): engine start
//   (script thread, plug-ins, signed bootstrap), the content update to a
//   port where nothing listens, the record through the tracker into the
//   event queue, stop. Goal: <= 10 ms.
// BM_EventReport304: the same with the content update document answered 304
//   by a local HTTPS server; the terminate delay is 5 here, so the stop waits
//   for the content update and the record's handling (every report makes
//   one request, see the counter).
// BM_DuktapeReference: the reference in the same run: a bare Duktape heap
//   that evaluates the bootstrap's text (no thread, no host, no plug-ins,
//   no signature check) and is destroyed. The ratios report / reference are
//   printed at the end.
// BM_ReportResidentGrowth: 1,000 reports after 50 warm-up reports; counter
//   growth_bytes = RssAnon after - RssAnon before (goal: 0).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "analytics/ale_settings.h"
#include "analytics/http_transaction.h"
#include "analytics/rk_ale_engine_controller.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "duktape.h"
#include "telemetry/rk_updater_module_events.h"
#include "xml_updater/http_transaction.h"

namespace {

using Halden::Analytics::CRkALEEngineController;
using Halden::Analytics::EngineOptions;

constexpr char kContentPath[] = "/products/lumora/Win/update_product.xml";

long rss_anon_bytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("RssAnon:", 0) == 0) {
            return std::stol(line.substr(8)) * 1024;
        }
    }
    return -1;
}

std::wstring closed_port_url() {
    return L"https://127.0.0.1:" + std::to_wstring(rk::sys::http::test::closed_port()) +
           rk::text::utf8_to_wide(kContentPath);
}

void use_content_url(const std::wstring& url, const wchar_t* delay = L"0") {
    EngineOptions options;
    options.content_update_url = url;
    options.terminate_delay = delay;
    CRkALEEngineController::SetEngineOptions(options);
}

// Mean seconds per iteration of each benchmark, for the ratios.
double g_reference = 0;
double g_no_network = 0;
double g_304 = 0;

double seconds_per_iteration(const benchmark::State& state, double total) {
    return state.iterations() > 0 ? total / static_cast<double>(state.iterations()) : 0;
}

void BM_DuktapeReference(benchmark::State& state) {
    const std::string bootstrap =
        rk::text::wide_to_utf8(Halden::Analytics::CALESettings().GetSetting(Halden::Analytics::kSettingScriptContent));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        duk_context* context = duk_create_heap_default();
        duk_peval_lstring_noresult(context, bootstrap.data(), bootstrap.size());
        duk_destroy_heap(context);
    }
    g_reference = seconds_per_iteration(
        state, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

double report(benchmark::State& state, rk::DWORD id) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        SendRkUpdaterModuleEvents(id, L"");
    }
    return seconds_per_iteration(state,
                                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

void BM_EventReportNoNetwork(benchmark::State& state) {
    rk::sys::test::TempRoot root;
    use_content_url(closed_port_url());
    g_no_network = report(state, 66);
}

void BM_EventReport304(benchmark::State& state) {
    rk::sys::test::TempRoot root;
    rk::sys::http::test::TestServer server(rk::sys::http::test::TestServer::Mode::kTls);
    server.handle("GET", kContentPath,
                  [](const httplib::Request&, httplib::Response& response) { response.status = 304; });
    Halden::HttpTransaction::SetTrustAnchors(rk::sys::http::test::dev_root_ca());
    XMLUpdater::v2::NHttp::SetTrustAnchors(rk::sys::http::test::dev_root_ca());
    use_content_url(server.wide_url(kContentPath), L"5");
    g_304 = report(state, 66);
    state.counters["requests_per_report"] =
        static_cast<double>(server.request_count()) / static_cast<double>(state.iterations());
    Halden::HttpTransaction::SetTrustAnchors({});
    XMLUpdater::v2::NHttp::SetTrustAnchors({});
}

void BM_ReportResidentGrowth(benchmark::State& state) {
    rk::sys::test::TempRoot root;
    use_content_url(closed_port_url());
    long growth = 0;
    for (auto _ : state) {
        for (int i = 0; i < 50; ++i) {
            SendRkUpdaterModuleEvents(67, L"preconditionsuccess");
        }
        const long before = rss_anon_bytes();
        for (int i = 0; i < 1000; ++i) {
            SendRkUpdaterModuleEvents(67, L"preconditionsuccess");
        }
        growth = rss_anon_bytes() - before;
    }
    state.counters["growth_bytes"] = static_cast<double>(growth);
    state.counters["rss_anon_kib"] = static_cast<double>(rss_anon_bytes() / 1024);
}

}  // namespace

BENCHMARK(BM_DuktapeReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EventReportNoNetwork)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EventReport304)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReportResidentGrowth)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_reference > 0) {
        std::printf("event report / bare Duktape bootstrap: %.1fx without network, %.1fx with a 304 content update\n",
                    g_no_network / g_reference, g_304 / g_reference);
    }
    return 0;
}
