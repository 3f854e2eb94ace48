// Peak memory of the operator commands on large inputs, as whole processes
// (the peak resident size the kernel records for the child), against the
// size of the input they accept:
//   - rkctl reg import of 48 MB of 1 MB string values (goal: peak <= 3x the
//     input; the file is read in pieces, the model holds every value as
//     UTF-16, twice the file's bytes);
//   - rkctl reg import of one 64 MB line (refused by the line bound before
//     it is decoded: peak in MiB);
//   - rkctl verify-doc and rkctl xml of 16 MB documents (peak per input
//     byte; figures in docs/rkctl.md): a dense one of 600,000 short elements
//     (27 bytes each, the engine's worst case: its tree costs 208 bytes an
//     element) and one of 100-byte commands, as update documents are written.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Scratch {
    fs::path dir = fs::temp_directory_path() / ("rk-operator-bench-" + std::to_string(::getpid()));
    Scratch() { fs::create_directories(dir / "root"); }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

// The peak resident bytes of `rkctl args...` with the scratch root prefix;
// negative when it could not run. `status` receives the exit status.
double peak_bytes(const std::vector<std::string>& args, int& status) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        ::setenv("RK_ROOT", (scratch().dir / "root").c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(RKCTL_PATH)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(RKCTL_PATH, argv.data());
        ::_exit(127);
    }
    int raw = 0;
    rusage usage{};
    if (::wait4(pid, &raw, 0, &usage) != pid || !WIFEXITED(raw)) {
        return -1;
    }
    status = WEXITSTATUS(raw);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

const char kRegHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench]\r\n";

fs::path make_reg(const char* name, int values, std::size_t chars) {
    const fs::path file = scratch().dir / name;
    std::ofstream out(file, std::ios::binary);
    out << kRegHeader;
    const std::string data(chars, 'a');
    for (int i = 0; i < values; ++i) {
        out << "\"v" << i << "\"=\"" << data << "\"\r\n";
    }
    return file;
}

void BM_RegImportPeak(benchmark::State& state) {
    const fs::path file = make_reg("lines.reg", 48, 1000 * 1000);
    double peak = 0;
    for (auto _ : state) {
        fs::remove_all(scratch().dir / "root");
        int status = 0;
        peak = peak_bytes({"reg", "import", file.string()}, status);
        if (peak < 0 || status != 0) {
            state.SkipWithError("rkctl reg import failed");
            return;
        }
    }
    state.counters["peak_per_input"] = peak / static_cast<double>(fs::file_size(file));
    state.counters["peak_mib"] = peak / (1 << 20);
}
BENCHMARK(BM_RegImportPeak)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RegImportLongLineRefused(benchmark::State& state) {
    const fs::path file = make_reg("line.reg", 1, 64u << 20);
    double peak = 0;
    for (auto _ : state) {
        int status = 0;
        peak = peak_bytes({"reg", "import", file.string()}, status);
        if (peak < 0 || status != 1) {
            state.SkipWithError("rkctl reg import did not refuse the line");
            return;
        }
    }
    state.counters["peak_per_input"] = peak / static_cast<double>(fs::file_size(file));
    state.counters["peak_mib"] = peak / (1 << 20);
}
BENCHMARK(BM_RegImportLongLineRefused)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// 16 MB update documents of SETVAR commands: `value` makes each element
// longer than the bare 27 bytes.
fs::path make_document(const char* name, int elements, const std::string& value) {
    const fs::path f = scratch().dir / name;
    std::ofstream out(f, std::ios::binary);
    out << "<UPDATEARRAY><UPDATE><UPDATECOMMANDS>";
    for (int i = 0; i < elements; ++i) {
        out << "<SETVAR Key=\"k\" Value=\"" << value << "\"/>";
    }
    out << "</UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
    return f;
}

const fs::path& dense_document() {
    static const fs::path file = make_document("dense.xml", 600000, "v");
    return file;
}

const fs::path& typical_document() {
    static const fs::path file = make_document(
        "typical.xml", 160000, "https://updates.example.com/products/lumora/Win/x64/engine_1.2.3.4.cab");
    return file;
}

void document_peak(benchmark::State& state, const fs::path& document, const char* command) {
    double peak = 0;
    for (auto _ : state) {
        int status = 0;
        peak = peak_bytes({command, "--quiet", document.string()}, status);
        if (peak < 0) {
            state.SkipWithError("rkctl could not run");
            return;
        }
    }
    state.counters["peak_per_input"] = peak / static_cast<double>(fs::file_size(document));
    state.counters["peak_mib"] = peak / (1 << 20);
}

void BM_VerifyDocPeak(benchmark::State& state) { document_peak(state, dense_document(), "verify-doc"); }
BENCHMARK(BM_VerifyDocPeak)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_XmlPeakDense(benchmark::State& state) { document_peak(state, dense_document(), "xml"); }
BENCHMARK(BM_XmlPeakDense)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_XmlPeakTypical(benchmark::State& state) { document_peak(state, typical_document(), "xml"); }
BENCHMARK(BM_XmlPeakTypical)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
