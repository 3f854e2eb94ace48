// Verifying a signed 64 MiB PE file, against its physical limit (one SHA-256
// pass over the file) and against `osslsigncode verify` on the same file.
// The file is generated and signed at start-up into a temporary folder
// (python3 and osslsigncode needed); the ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <openssl/evp.h>

#include "platform/system/codesign/code_signature.h"
#include "platform/system/file_view.h"
#include "profile/profile_data.h"

namespace {

namespace cs = rk::sys::codesign;
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
        s.dir = fs::temp_directory_path() / ("rk-codesign-bench-" + std::to_string(::getpid()));
        fs::create_directories(s.dir);
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

cs::TrustPolicy policy() {
    cs::TrustPolicy p;
    p.publisher_names.assign(rk::profile::kPublisherNames.begin(), rk::profile::kPublisherNames.end());
    p.pinned_roots.assign(rk::profile::kPinnedRootSha1.begin(), rk::profile::kPinnedRootSha1.end());
    return p;
}

void BM_VerifySignedPe(benchmark::State& state) {
    if (!image().error.empty()) return state.SkipWithError(image().error.c_str());
    const auto verifier = cs::make_code_signature_verifier();
    const auto p = policy();
    for (auto _ : state) {
        const auto report = verifier->verify_file(image().file, p);
        if (!report.accepted) return state.SkipWithError("the signed file was not accepted");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(image().file)));
}

void BM_Sha256OfFile(benchmark::State& state) {
    if (!image().error.empty()) return state.SkipWithError(image().error.c_str());
    for (auto _ : state) {
        rk::sys::FileView view;
        if (rk::sys::FileView::open_host(image().file, view) != 0) return state.SkipWithError("cannot view the file");
        unsigned char digest[32];
        EVP_Digest(view.bytes().data(), view.bytes().size(), digest, nullptr, EVP_sha256(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(image().file)));
}

void BM_OsslsigncodeVerify(benchmark::State& state) {
    if (!image().error.empty()) return state.SkipWithError(image().error.c_str());
    const auto root = (kTestdata / "pki" / "pinned-root.crt").string();
    const std::string command =
        "osslsigncode verify -CAfile '" + root + "' -TSA-CAfile '" + root + "' -in '" + image().file.string() + "'";
    for (auto _ : state) {
        if (run(command) != 0) return state.SkipWithError("osslsigncode verify failed");
    }
}

BENCHMARK(BM_VerifySignedPe)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sha256OfFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OsslsigncodeVerify)->Unit(benchmark::kMillisecond)->UseRealTime();

// Console output plus the mean real time of each benchmark, for the ratios.
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
        const auto get = [&](const char* n) { auto it = seconds_.find(n); return it == seconds_.end() ? 0.0 : it->second; };
        const double verify = get("BM_VerifySignedPe"), sha = get("BM_Sha256OfFile"), ossl = get("BM_OsslsigncodeVerify");
        if (verify > 0 && sha > 0) std::printf("verify / bare SHA-256:       %.2f\n", verify / sha);
        if (verify > 0 && ossl > 0) std::printf("osslsigncode verify / verify: %.2f\n", ossl / verify);
    }

private:
    std::map<std::string, double> seconds_;
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
