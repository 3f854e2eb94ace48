// validate_file on a signed 64 MiB PE file, cold (a new validator: no
// cache) and cached (identity unchanged), against a bare SHA-256 of the same
// file in the same run; the ratios are printed at the end. The file is made
// and signed at start-up (python3 and osslsigncode needed).
#include <benchmark/benchmark.h>

#include <openssl/evp.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/paths.h"
#include "trust/trust_validator.h"

namespace {

namespace fs = std::filesystem;
const fs::path kTestdata = fs::path(RK_SOURCE_DIR) / "testdata" / "codesign";
constexpr std::size_t kTextBytes = 64u << 20;

struct SignedImage {
    fs::path dir;
    fs::path file;
    std::string error;
    ~SignedImage() {
        std::error_code ec;
        if (!dir.empty()) fs::remove_all(dir, ec);
    }
};

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

const SignedImage& image() {
    static SignedImage img = [] {
        SignedImage s;
        s.dir = fs::temp_directory_path() / ("rk-trust-bench-" + std::to_string(::getpid()));
        fs::create_directories(s.dir / "content");
        const fs::path unsigned_pe = s.dir / "big-unsigned.exe";
        s.file = s.dir / "big-signed.exe";
        const auto pki = kTestdata / "pki";
        if (run("python3 '" + (kTestdata / "make_pe.py").string() + "' '" + unsigned_pe.string() + "' --size " +
                std::to_string(kTextBytes)) != 0) {
            s.error = "python3 could not write the PE file";
        } else if (run("osslsigncode sign -certs '" + (pki / "corvane-chain.pem").string() + "' -key '" +
                       (pki / "corvane.key.pem").string() + "' -h sha256 -in '" + unsigned_pe.string() + "' -out '" +
                       s.file.string() + "'") != 0) {
            s.error = "osslsigncode could not sign the PE file";
        }
        return s;
    }();
    return img;
}

rk::trust::ValidatorOptions options() {
    rk::trust::ValidatorOptions o;
    o.content_root = rk::sys::wide_path(image().dir / "content");
    return o;
}

constexpr std::uint32_t kRequest = 0x81;  // identity key, embedded signatures

void BM_ValidateFileCold(benchmark::State& state) {
    if (!image().error.empty()) return state.SkipWithError(image().error.c_str());
    const std::wstring path = rk::sys::wide_path(image().file);
    for (auto _ : state) {
        rk::trust::TrustValidator validator(options());
        rk::trust::ValidationResult result;
        if (validator.validate_file(path, kRequest, result) || result.flags != 13) {
            return state.SkipWithError("the signed file was not classified as the maker's");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(image().file)));
}

void BM_ValidateFileCached(benchmark::State& state) {
    if (!image().error.empty()) return state.SkipWithError(image().error.c_str());
    const std::wstring path = rk::sys::wide_path(image().file);
    rk::trust::TrustValidator validator(options());
    rk::trust::ValidationResult result;
    validator.validate_file(path, kRequest, result);
    for (auto _ : state) {
        if (validator.validate_file(path, kRequest, result) || result.flags != 13) {
            return state.SkipWithError("the cached result is wrong");
        }
    }
}

void BM_Sha256OfFile(benchmark::State& state) {
    if (!image().error.empty()) return state.SkipWithError(image().error.c_str());
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        std::ifstream in(image().file, std::ios::binary);
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
            EVP_DigestUpdate(ctx, buffer.data(), static_cast<std::size_t>(in.gcount()));
        }
        unsigned char digest[32];
        EVP_DigestFinal_ex(ctx, digest, nullptr);
        EVP_MD_CTX_free(ctx);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(image().file)));
}

BENCHMARK(BM_ValidateFileCold)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ValidateFileCached)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Sha256OfFile)->Unit(benchmark::kMillisecond)->UseRealTime();

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (!r.error_occurred && r.iterations > 0 && r.run_type == Run::RT_Iteration) {
                seconds_[r.run_name.function_name] = r.real_accumulated_time / static_cast<double>(r.iterations);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void print_ratios() const {
        const auto get = [&](const char* n) {
            const auto it = seconds_.find(n);
            return it == seconds_.end() ? 0.0 : it->second;
        };
        const double cold = get("BM_ValidateFileCold"), cached = get("BM_ValidateFileCached"),
                     sha = get("BM_Sha256OfFile");
        if (cold > 0 && sha > 0) std::printf("validate_file cold / bare SHA-256:   %.2f\n", cold / sha);
        if (cached > 0 && sha > 0) std::printf("validate_file cached / bare SHA-256: %.5f\n", cached / sha);
    }

private:
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
    // Progress lines go to a logger that keeps nothing: what is measured is
    // the validation, with its formatting, not a terminal.
    rk::logging::test::ScopedProcessLogger quiet(nullptr);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    return 0;
}
