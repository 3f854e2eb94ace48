// Parse and distribute an update manifest: a typical 1 KB manifest and one
// whose PREREQ holds 10,000 SETVAR entries, each through a fresh processor
// (one per pass, as the polling loop does). rapidxml's bare wide parse of the
// same text is the floor to compare with; BM_ManifestVsRapidXml times both
// in alternation and reports their ratio (goal <= 3).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "app/manifest/rk_xml_processor.h"

namespace {

std::wstring manifest(int extra_entries) {
    std::wstring prereq =
        L"<SETVAR name=\"ISENABLED\" value=\"TRUE\"/><SETVAR name=\"HEARTBEAT\" value=\"TRUE\"/>"
        L"<SETVAR name=\"RETRY\" value=\"TRUE\"/><SETVAR name=\"OS\" value=\"10.0\"/>"
        L"<SETVAR name=\"REGHIVE\" value=\"HKLM\"/><SETVAR name=\"COMPARE\" value=\"GE\"/>";
    for (int i = 0; i < extra_entries; ++i) {
        prereq += L"<SETVAR name=\"VAR" + std::to_wstring(i) + L"\" value=\"value number " + std::to_wstring(i) +
                  L"\"/>";
    }
    return L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<UPDATER>\r\n <UPDATE>\r\n"
           L"  <POLLINGTIMEINMINS value=\"1440\"/>\r\n  <PRECONDITION>\r\n   <PREREQ>" +
           prereq +
           L"</PREREQ>\r\n   <REGINFO>\r\n"
           L"    <SETVAR name=\"VER\" value=\"SOFTWARE\\Corvane\\Brightscan@Version\"/>\r\n"
           L"    <SETVAR name=\"LMRA_AFFID\" value=\"SOFTWARE\\Corvane\\Brightscan@AffId\"/>\r\n   </REGINFO>\r\n"
           L"   <COMPAREVALS>\r\n    <SETVAR name=\"VER\" value=\"5.2.0.100\" type=\"VER\"/>\r\n"
           L"   </COMPAREVALS>\r\n  </PRECONDITION>\r\n  <UPDATECOMMANDS>\r\n"
           L"   <SETVAR name=\"DOWNLOADURL\" value=\"https://download.corvane.com/dl/affiliates/0/"
           L"Brightscan_Release.exe\"/>\r\n"
           L"   <SETVAR name=\"DESTDIR\" value=\"[DIR:CSIDL_COMMON_APPDATA]\\Corvane\\Brightscan\\Setup\"/>\r\n"
           L"   <SETVAR name=\"PARAMS\" value=\"/S /norestart /source=updater\"/>\r\n"
           L"   <SETVAR name=\"VALIDATE\" value=\"TRUE\"/>\r\n   <SETVAR name=\"DELETE\" value=\"TRUE\"/>\r\n"
           L"  </UPDATECOMMANDS>\r\n </UPDATE>\r\n</UPDATER>\r\n";
}

void BM_ParseAndDistribute(benchmark::State& state) {
    const std::wstring text = manifest(static_cast<int>(state.range(0)));
    const auto env = std::make_shared<const rk::app::UpdaterEnvironment>();
    for (auto _ : state) {
        CRkXMLProcessor processor(env);
        processor.SetXMLContent(text);
        std::wstring detail;
        if (!processor.ParseXMLContent(detail)) {
            state.SkipWithError("manifest did not parse");
            break;
        }
        benchmark::DoNotOptimize(processor.IsUpdaterEnabled());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["chars"] = static_cast<double>(text.size());
}
// 0 extra entries: the 1 KB manifest.
BENCHMARK(BM_ParseAndDistribute)->Arg(0)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_RapidXmlParseOnly(benchmark::State& state) {
    const std::wstring text = manifest(static_cast<int>(state.range(0)));
    std::vector<wchar_t> buffer;
    for (auto _ : state) {
        buffer.assign(text.begin(), text.end());
        buffer.push_back(L'\0');
        auto document = std::make_unique<rapidxml::xml_document<wchar_t>>();
        document->parse<0>(buffer.data());
        benchmark::DoNotOptimize(document->first_node());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_RapidXmlParseOnly)->Arg(0)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_ManifestVsRapidXml(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const std::wstring text = manifest(static_cast<int>(state.range(0)));
    const auto env = std::make_shared<const rk::app::UpdaterEnvironment>();
    // Enough rounds per iteration that a round of the small manifest is not
    // lost in the clock's resolution.
    const int rounds = state.range(0) == 0 ? 200 : 2;
    std::vector<wchar_t> buffer;
    double processor = 0;
    double bare = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (int i = 0; i < rounds; ++i) {
            CRkXMLProcessor p(env);
            p.SetXMLContent(text);
            std::wstring detail;
            if (!p.ParseXMLContent(detail)) {
                state.SkipWithError("manifest did not parse");
                return;
            }
            benchmark::DoNotOptimize(p.IsUpdaterEnabled());
        }
        processor += std::chrono::duration<double>(Clock::now() - start).count();
        start = Clock::now();
        for (int i = 0; i < rounds; ++i) {
            buffer.assign(text.begin(), text.end());
            buffer.push_back(L'\0');
            auto document = std::make_unique<rapidxml::xml_document<wchar_t>>();
            document->parse<0>(buffer.data());
            benchmark::DoNotOptimize(document->first_node());
        }
        bare += std::chrono::duration<double>(Clock::now() - start).count();
    }
    const double passes = static_cast<double>(state.iterations()) * rounds;
    state.counters["processor_us"] = processor / passes * 1e6;
    state.counters["rapidxml_us"] = bare / passes * 1e6;
    state.counters["ratio"] = processor / bare;
}
BENCHMARK(BM_ManifestVsRapidXml)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
