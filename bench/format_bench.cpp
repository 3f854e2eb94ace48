// rk::text::format against the C runtime's swprintf (wide) and snprintf
// (narrow) on ten of the system's log texts with the argument types their
// callers pass. The C runtime needs its own directive spellings on Linux
// (%ls for wide strings, %s for narrow ones, %u for a DWORD, no %p form of
// 16 digits), so each text has a C-runtime twin that prints the same line.
//
// Variants per text: "rk" returns a new string (what a caller does),
// "rk_to" appends into a reused string, "crt" prints into a stack buffer and
// "crt_string" also copies the result into a new string (the fair twin of
// "rk").
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>

#include "platform/text/format.h"

namespace {

using rk::text::format;
using rk::text::make_format_args;
using rk::text::vformat_to;

constexpr std::size_t kBuffer = 512;

// Arguments of realistic shapes, kept in globals so nothing is folded.
const std::wstring kDllPath = L"C:\\Program Files\\Corvane\\Brightscan\\rk-av-trust.dll";
const std::string kDllPathNarrow = "C:\\Program Files\\Corvane\\Brightscan\\rk-av-trust.dll";
const std::uint32_t kLoadError = 126;
const std::wstring kUrl = L"https://updates.example.com/rk/brightscan/manifest.xml";
const std::string kUrlNarrow = "https://updates.example.com/rk/brightscan/manifest.xml";
const int kStatus = 404;
const int kClientError = 0;
const std::wstring kContentFolder = L"C:\\ProgramData\\Corvane\\Content\\Trust\\1.0.42";
const std::string kContentFolderNarrow = "C:\\ProgramData\\Corvane\\Content\\Trust\\1.0.42";
const std::uint64_t kVersion = 20260131;
const std::uint64_t kCurrent = 20251224;
const std::size_t kIndex = 3;
const std::size_t kCount = 12;
const std::wstring kSetting = L"framework.settings.analytics.enabled";
const std::string kSettingNarrow = "framework.settings.analytics.enabled";
const std::string kWhat = "CreateFileW: The system cannot find the file specified.";
const std::wstring kFile = L"C:\\ProgramData\\Corvane\\Updater\\lbstate.ini";
const std::string kFileNarrow = "C:\\ProgramData\\Corvane\\Updater\\lbstate.ini";
const void* const kHandle = reinterpret_cast<const void*>(std::uintptr_t{0x7FF6A1B20000});
const std::uint16_t kMonth = 1, kDay = 31, kYear = 2026, kHour = 11, kMinute = 5, kSecond = 9;
const std::uint32_t kPid = 4242, kTid = 17;
const std::ptrdiff_t kLength = 1472, kSent = 1024, kLost = 448;
const std::string kComponent = "trust";
const int kDepth = 2;
const std::string kStep = "validate";
const std::int64_t kElapsed = 37;
const std::uint64_t kResult = 0x8000000000004005;
const std::string kOutcome = "not signed";

int len(const std::wstring& s) { return static_cast<int>(s.size()); }
int len(const std::string& s) { return static_cast<int>(s.size()); }
unsigned long long ull(std::uint64_t v) { return v; }
unsigned long long ptr_value(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// One struct per text: the same line four ways.
struct LoadLibrary {
    static constexpr const char* kName = "load_library";
    static std::wstring rk() { return format(L"Failed to load library %s. Error 0x%08X", kDllPath, kLoadError); }
    static void rk_to(std::wstring& out) {
        vformat_to(out, L"Failed to load library %s. Error 0x%08X", make_format_args(kDllPath, kLoadError));
    }
    static int crt(wchar_t* b) {
        return std::swprintf(b, kBuffer, L"Failed to load library %ls. Error 0x%08X", kDllPath.c_str(), kLoadError);
    }
    static std::string rk_narrow() { return format("Failed to load library %s. Error 0x%08X", kDllPathNarrow, kLoadError); }
    static int crt_narrow(char* b) {
        return std::snprintf(b, kBuffer, "Failed to load library %s. Error 0x%08X", kDllPathNarrow.c_str(), kLoadError);
    }
};

struct HttpStatus {
    static constexpr const char* kName = "http_status";
    static std::wstring rk() { return format(L"HTTP status (%d) error (%d), url: %s", kStatus, kClientError, kUrl); }
    static void rk_to(std::wstring& out) {
        vformat_to(out, L"HTTP status (%d) error (%d), url: %s", make_format_args(kStatus, kClientError, kUrl));
    }
    static int crt(wchar_t* b) {
        return std::swprintf(b, kBuffer, L"HTTP status (%d) error (%d), url: %ls", kStatus, kClientError, kUrl.c_str());
    }
    static std::string rk_narrow() { return format("HTTP status (%d) error (%d), url: %s", kStatus, kClientError, kUrlNarrow); }
    static int crt_narrow(char* b) {
        return std::snprintf(b, kBuffer, "HTTP status (%d) error (%d), url: %s", kStatus, kClientError, kUrlNarrow.c_str());
    }
};

struct TrustVersion {
    static constexpr const char* kName = "trust_version";
    static std::wstring rk() {
        return format(L"[trust] '%.*ls' = v %llu, current = v %llu -- continue", len(kContentFolder),
                      kContentFolder.c_str(), kVersion, kCurrent);
    }
    static void rk_to(std::wstring& out) {
        vformat_to(out, L"[trust] '%.*ls' = v %llu, current = v %llu -- continue",
                   make_format_args(len(kContentFolder), kContentFolder.c_str(), kVersion, kCurrent));
    }
    static int crt(wchar_t* b) {
        return std::swprintf(b, kBuffer, L"[trust] '%.*ls' = v %llu, current = v %llu -- continue", len(kContentFolder),
                             kContentFolder.c_str(), ull(kVersion), ull(kCurrent));
    }
    static std::string rk_narrow() {
        return format("[trust] '%.*hs' = v %llu, current = v %llu -- continue", len(kContentFolderNarrow),
                      kContentFolderNarrow.c_str(), kVersion, kCurrent);
    }
    static int crt_narrow(char* b) {
        return std::snprintf(b, kBuffer, "[trust] '%.*s' = v %llu, current = v %llu -- continue",
                             len(kContentFolderNarrow), kContentFolderNarrow.c_str(), ull(kVersion), ull(kCurrent));
    }
};

struct SettingChange {
    static constexpr const char* kName = "setting_change";
    static std::wstring rk() {
        return format(L"[framework] registering for setting change (%zu/%zu) to '%.*ls'", kIndex, kCount,
                      len(kSetting), kSetting.c_str());
    }
    static void rk_to(std::wstring& out) {
        vformat_to(out, L"[framework] registering for setting change (%zu/%zu) to '%.*ls'",
                   make_format_args(kIndex, kCount, len(kSetting), kSetting.c_str()));
    }
    static int crt(wchar_t* b) {
        return std::swprintf(b, kBuffer, L"[framework] registering for setting change (%zu/%zu) to '%.*ls'", kIndex,
                             kCount, len(kSetting), kSetting.c_str());
    }
    static std::string rk_narrow() {
        return format("[framework] registering for setting change (%zu/%zu) to '%.*hs'", kIndex, kCount,
                      len(kSettingNarrow), kSettingNarrow.c_str());
    }
    static int crt_narrow(char* b) {
        return std::snprintf(b, kBuffer, "[framework] registering for setting change (%zu/%zu) to '%.*s'", kIndex,
                             kCount, len(kSettingNarrow), kSettingNarrow.c_str());
    }
};

struct SystemError {
    static constexpr const char* kName = "system_error";
    static std::wstring rk() { return format(L"<<system_error>> %hs: '%ls'", kWhat, kFile); }
    static void rk_to(std::wstring& out) { vformat_to(out, L"<<system_error>> %hs: '%ls'", make_format_args(kWhat, kFile)); }
    static int crt(wchar_t* b) {
        return std::swprintf(b, kBuffer, L"<<system_error>> %s: '%ls'", kWhat.c_str(), kFile.c_str());
    }
    static std::string rk_narrow() { return format("<<system_error>> %s: '%s'", kWhat, kFileNarrow); }
    static int crt_narrow(char* b) {
        return std::snprintf(b, kBuffer, "<<system_error>> %s: '%s'", kWhat.c_str(), kFileNarrow.c_str());
    }
};

struct JournalInfo {
    static constexpr const char* kName = "journal_info";
    static std::wstring rk() {
        return format(L"failed to get journal info for '%.*ls' (0x%p)", len(kFile), kFile.c_str(), kHandle);
    }
    static void rk_to(std::wstring& out) {
        vformat_to(out, L"failed to get journal info for '%.*ls' (0x%p)", make_format_args(len(kFile), kFile.c_str(), kHandle));
    }
    static int crt(wchar_t* b) {
        return std::swprintf(b, kBuffer, L"failed to get journal info for '%.*ls' (0x%016llX)", len(kFile), kFile.c_str(),
                             ptr_value(kHandle));
    }
    static std::string rk_narrow() {
        return format("failed to get journal info for '%.*s' (0x%p)", len(kFileNarrow), kFileNarrow.c_str(), kHandle);
    }
    static int crt_narrow(char* b) {
        return std::snprintf(b, kBuffer, "failed to get journal info for '%.*s' (0x%016llX)", len(kFileNarrow),
                             kFileNarrow.c_str(), ptr_value(kHandle));
    }
};

struct FileLogTime {
    static constexpr const char* kName = "file_log_time";
    static std::wstring rk() {
        return format(L"%02hu/%02hu/%hu %02hu:%02hu:%02hu %s$", kMonth, kDay, kYear, kHour, kMinute, kSecond, L"PM");
    }
    static void rk_to(std::wstring& out) {
        vformat_to(out, L"%02hu/%02hu/%hu %02hu:%02hu:%02hu %s$",
                   make_format_args(kMonth, kDay, kYear, kHour, kMinute, kSecond, L"PM"));
    }
    static int crt(wchar_t* b) {
        return std::swprintf(b, kBuffer, L"%02hu/%02hu/%hu %02hu:%02hu:%02hu %ls$", kMonth, kDay, kYear, kHour, kMinute,
                             kSecond, L"PM");
    }
    static std::string rk_narrow() {
        return format("%02hu/%02hu/%hu %02hu:%02hu:%02hu %s$", kMonth, kDay, kYear, kHour, kMinute, kSecond, "PM");
    }
    static int crt_narrow(char* b) {
        return std::snprintf(b, kBuffer, "%02hu/%02hu/%hu %02hu:%02hu:%02hu %s$", kMonth, kDay, kYear, kHour, kMinute,
                             kSecond, "PM");
    }
};

struct ProcessThread {
    static constexpr const char* kName = "process_thread";
    static std::wstring rk() { return format(L"[PID:%5lu TID:%5lu]$", kPid, kTid); }
    static void rk_to(std::wstring& out) { vformat_to(out, L"[PID:%5lu TID:%5lu]$", make_format_args(kPid, kTid)); }
    static int crt(wchar_t* b) { return std::swprintf(b, kBuffer, L"[PID:%5u TID:%5u]$", kPid, kTid); }
    static std::string rk_narrow() { return format("[PID:%5lu TID:%5lu]$", kPid, kTid); }
    static int crt_narrow(char* b) { return std::snprintf(b, kBuffer, "[PID:%5u TID:%5u]$", kPid, kTid); }
};

struct Datagram {
    static constexpr const char* kName = "datagram";
    static std::wstring rk() {
        return format(L"Datagram was truncated. Buffer length was %zd, but only %zd bytes were sent (%zd bytes lost).",
                      kLength, kSent, kLost);
    }
    static void rk_to(std::wstring& out) {
        vformat_to(out, L"Datagram was truncated. Buffer length was %zd, but only %zd bytes were sent (%zd bytes lost).",
                   make_format_args(kLength, kSent, kLost));
    }
    static int crt(wchar_t* b) {
        return std::swprintf(b, kBuffer,
                             L"Datagram was truncated. Buffer length was %zd, but only %zd bytes were sent (%zd bytes lost).",
                             kLength, kSent, kLost);
    }
    static std::string rk_narrow() {
        return format("Datagram was truncated. Buffer length was %zd, but only %zd bytes were sent (%zd bytes lost).",
                      kLength, kSent, kLost);
    }
    static int crt_narrow(char* b) {
        return std::snprintf(b, kBuffer,
                             "Datagram was truncated. Buffer length was %zd, but only %zd bytes were sent (%zd bytes lost).",
                             kLength, kSent, kLost);
    }
};

struct Perf {
    static constexpr const char* kName = "perf";
    static std::wstring rk() {
        return format(L"[%hs] (- %d) %hs [perf] %lldms target: '%.*ls', content version: %llu, final_result: %#llx %hs",
                      kComponent, kDepth, kStep, kElapsed, len(kContentFolder), kContentFolder.c_str(), kVersion, kResult,
                      kOutcome);
    }
    static void rk_to(std::wstring& out) {
        vformat_to(out, L"[%hs] (- %d) %hs [perf] %lldms target: '%.*ls', content version: %llu, final_result: %#llx %hs",
                   make_format_args(kComponent, kDepth, kStep, kElapsed, len(kContentFolder), kContentFolder.c_str(),
                                    kVersion, kResult, kOutcome));
    }
    static int crt(wchar_t* b) {
        return std::swprintf(
            b, kBuffer, L"[%s] (- %d) %s [perf] %lldms target: '%.*ls', content version: %llu, final_result: %#llx %s",
            kComponent.c_str(), kDepth, kStep.c_str(), static_cast<long long>(kElapsed), len(kContentFolder),
            kContentFolder.c_str(), ull(kVersion), ull(kResult), kOutcome.c_str());
    }
    static std::string rk_narrow() {
        return format("[%s] (- %d) %s [perf] %lldms target: '%.*s', content version: %llu, final_result: %#llx %s",
                      kComponent, kDepth, kStep, kElapsed, len(kContentFolderNarrow), kContentFolderNarrow.c_str(),
                      kVersion, kResult, kOutcome);
    }
    static int crt_narrow(char* b) {
        return std::snprintf(b, kBuffer,
                             "[%s] (- %d) %s [perf] %lldms target: '%.*s', content version: %llu, final_result: %#llx %s",
                             kComponent.c_str(), kDepth, kStep.c_str(), static_cast<long long>(kElapsed),
                             len(kContentFolderNarrow), kContentFolderNarrow.c_str(), ull(kVersion), ull(kResult),
                             kOutcome.c_str());
    }
};

template <typename M>
void wide_rk(benchmark::State& state) {
    for (auto _ : state) {
        std::wstring line = M::rk();
        benchmark::DoNotOptimize(line);
    }
}

template <typename M>
void wide_rk_to(benchmark::State& state) {
    std::wstring line;
    line.reserve(kBuffer);
    for (auto _ : state) {
        line.clear();
        M::rk_to(line);
        benchmark::DoNotOptimize(line);
    }
}

template <typename M>
void wide_crt(benchmark::State& state) {
    wchar_t buffer[kBuffer];
    for (auto _ : state) {
        benchmark::DoNotOptimize(M::crt(buffer));
        benchmark::ClobberMemory();
    }
}

template <typename M>
void wide_crt_string(benchmark::State& state) {
    wchar_t buffer[kBuffer];
    for (auto _ : state) {
        const int n = M::crt(buffer);
        std::wstring line(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
        benchmark::DoNotOptimize(line);
    }
}

template <typename M>
void narrow_rk(benchmark::State& state) {
    for (auto _ : state) {
        std::string line = M::rk_narrow();
        benchmark::DoNotOptimize(line);
    }
}

template <typename M>
void narrow_crt_string(benchmark::State& state) {
    char buffer[kBuffer];
    for (auto _ : state) {
        const int n = M::crt_narrow(buffer);
        std::string line(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
        benchmark::DoNotOptimize(line);
    }
}

// Before timing: each pair must print the same line, or the comparison is
// meaningless.
template <typename M>
bool same_output() {
    wchar_t wide[kBuffer];
    char narrow[kBuffer];
    const int wn = M::crt(wide);
    const int nn = M::crt_narrow(narrow);
    return wn > 0 && nn > 0 && M::rk() == std::wstring_view(wide, static_cast<std::size_t>(wn)) &&
           M::rk_narrow() == std::string_view(narrow, static_cast<std::size_t>(nn));
}

template <typename M>
bool register_text() {
    const std::string name = M::kName;
    benchmark::RegisterBenchmark(("wide/rk/" + name).c_str(), wide_rk<M>);
    benchmark::RegisterBenchmark(("wide/rk_to/" + name).c_str(), wide_rk_to<M>);
    benchmark::RegisterBenchmark(("wide/crt/" + name).c_str(), wide_crt<M>);
    benchmark::RegisterBenchmark(("wide/crt_string/" + name).c_str(), wide_crt_string<M>);
    benchmark::RegisterBenchmark(("narrow/rk/" + name).c_str(), narrow_rk<M>);
    benchmark::RegisterBenchmark(("narrow/crt_string/" + name).c_str(), narrow_crt_string<M>);
    if (!same_output<M>()) {
        std::fprintf(stderr, "%s: rk::text::format and the C runtime print different lines\n", M::kName);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool same = register_text<LoadLibrary>() & register_text<HttpStatus>() & register_text<TrustVersion>() &
                      register_text<SettingChange>() & register_text<SystemError>() & register_text<JournalInfo>() &
                      register_text<FileLogTime>() & register_text<ProcessThread>() & register_text<Datagram>() &
                      register_text<Perf>();
    if (!same) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
