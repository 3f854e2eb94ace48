// The XML update engine over a generated document of 10,000 updates, each
// with three preconditions (STR, NUM, VER on tokens) and three commands
// (two SETVAR and a LOG, all with tokens). Each iteration times the whole
// ExecuteUpdate and, in the same run, a bare rapidxml wide parse of the same
// text (the goal's reference); the counters report the CPU time per update
// and the ratio of the two (goal <= 3), and the ratio to a bare in-place
// parse of a copy of the UTF-8 text, which is how the engine parses.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <rapidxml/rapidxml.hpp>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "xml_updater/updater.h"

namespace {

namespace xu = XMLUpdater::v2;
constexpr int kUpdates = 10000;

class CountingLogger final : public xu::IXmlUpdaterLogger {
public:
    void Log(unsigned, const wchar_t*, int, const wchar_t*) override { ++lines; }
    long lines = 0;
};

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

std::string document() {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<UPDATEARRAY>\r\n";
    for (int i = 0; i < kUpdates; ++i) {
        const std::string n = std::to_string(i);
        text += " <UPDATE>\r\n  <PRECONDITIONARRAY>\r\n"
                "   <PRECONDITION Type=\"STR\" Name=\"[plat]\" Compare=\"NEQ\">x86</PRECONDITION>\r\n"
                "   <PRECONDITION Type=\"NUM\" Name=\"[count]\" Compare=\"GE\">3</PRECONDITION>\r\n"
                "   <PRECONDITION Type=\"VER\" Name=\"[UPDATER_VERSION]\" Compare=\"GE\">1.0</PRECONDITION>\r\n"
                "  </PRECONDITIONARRAY>\r\n  <UPDATECOMMANDS>\r\n"
                "   <SETVAR Key=\"v" + n + "\" Value=\"[count]-[plat]-" + n + "\"/>\r\n"
                "   <SETVAR Key=\"last\" Value=\"[v" + n + "]\"/>\r\n"
                "   <LOG Level=\"4\" Message=\"update " + n + ": [last]\"/>\r\n"
                "  </UPDATECOMMANDS>\r\n </UPDATE>\r\n";
    }
    return text + "</UPDATEARRAY>\r\n";
}

void BM_ExecuteUpdate10kUpdates(benchmark::State& state) {
    rk::sys::test::TempRoot root;
    const std::string text = document();
    const std::wstring wide = rk::text::utf8_to_wide(text);
    auto logger = std::make_shared<CountingLogger>();
    xu::CUpdater updater;
    if (!updater.Initialize(std::make_shared<NullSender>(), false, logger, nullptr, nullptr)) {
        state.SkipWithError("engine did not initialise");
        return;
    }
    updater.SetVariable(L"count", L"7");
    // CPU time of this thread: on a machine shared with other work, wall
    // time is mostly time spent waiting for a core.
    const auto cpu_now = [] {
        timespec t{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    double engine_seconds = 0;
    double parse_seconds = 0;
    double utf8_parse_seconds = 0;
    for (auto _ : state) {
        const double parse_start = cpu_now();
        {
            std::wstring copy = wide;
            rapidxml::xml_document<wchar_t> bare;
            bare.parse<0>(copy.data());
            benchmark::DoNotOptimize(bare.first_node());
        }
        const double utf8_start = cpu_now();
        {
            std::string copy = text;
            rapidxml::xml_document<char> bare;
            bare.parse<0>(copy.data());
            benchmark::DoNotOptimize(bare.first_node());
        }
        const double engine_start = cpu_now();
        int exit_code = 0;
        if (updater.ExecuteUpdate(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), exit_code) != 0) {
            state.SkipWithError("document failed");
            return;
        }
        const double engine = cpu_now() - engine_start;
        parse_seconds += utf8_start - parse_start;
        utf8_parse_seconds += engine_start - utf8_start;
        engine_seconds += engine;
        state.SetIterationTime(engine);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["us_per_update"] = engine_seconds / iterations / kUpdates * 1e6;
    state.counters["rapidxml_ms"] = parse_seconds / iterations * 1e3;
    state.counters["ratio"] = engine_seconds / parse_seconds;
    state.counters["ratio_to_utf8_parse"] = engine_seconds / utf8_parse_seconds;
    state.counters["log_lines_per_doc"] = static_cast<double>(logger->lines) / iterations;
}
BENCHMARK(BM_ExecuteUpdate10kUpdates)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(std::getenv("RK_BENCH_SHORT") != nullptr ? 5 : 15);

}  // namespace

// Freed memory stays in the process for the whole run: on this virtual
// machine a page fault costs tens of microseconds, so whichever side first
// touched memory that the other had given back would pay for both, and the
// ratio would measure the allocator's trimming instead of the work.
int main(int argc, char** argv) {
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 512 << 20);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
