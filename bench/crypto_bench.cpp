// Signature checks and hashing against the openssl command line measured in
// the same session: each benchmark reports its own time and, as counters,
// what openssl needs for the same work and the ratio (ours / openssl).
//   verify a signed 100 KB script, verify a signed 1 MB document:
//     openssl's figure = SHA-256 of the bytes at `openssl speed -evp sha256`
//     throughput + one `openssl speed ecdsap256` verification
//   SHA-256 of 64 MiB: `openssl speed` throughput, and a timed
//     `openssl dgst -sha256` run on the same bytes in a file
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/crypto/rk_crypto_hash.h"
#include "platform/crypto/rk_crypto_sign.h"
#include "script_host/script_signer.h"
#include "script_host/signature_check.h"
#include "xml_updater/document_signer.h"
#include "xml_updater/signature_check.h"

namespace {

using namespace RkCryptoLib;

struct OpensslSpeed {
    double sha256_bytes_per_second = 0;
    double verifies_per_second = 0;
};

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof(buf), p) != nullptr) out += buf;
        pclose(p);
    }
    return out;
}

// Machine-readable lines: "+F:n:sha256:BYTES_PER_S" and
// "+F4:n:256:SIGN_PER_S:VERIFY_PER_S".
const OpensslSpeed& openssl_speed() {
    static const OpensslSpeed speed = [] {
        OpensslSpeed s;
        const std::string sha = run("openssl speed -mr -seconds 2 -bytes 1048576 -evp sha256 2>/dev/null");
        if (auto at = sha.find("+F:"); at != std::string::npos) {
            s.sha256_bytes_per_second = std::atof(sha.c_str() + sha.find(":sha256:", at) + 8);
        }
        const std::string ec = run("openssl speed -mr -seconds 2 ecdsap256 2>/dev/null");
        if (auto at = ec.find("+F4:"); at != std::string::npos) {
            const auto line = ec.substr(at, ec.find('\n', at) - at);
            s.verifies_per_second = std::atof(line.c_str() + line.rfind(':') + 1);
        }
        return s;
    }();
    return speed;
}

void report(benchmark::State& state, double ours_seconds_per_iteration, double openssl_seconds) {
    if (openssl_seconds <= 0) {
        state.SetLabel("openssl speed unavailable");
        return;
    }
    state.counters["openssl_us"] = openssl_seconds * 1e6;
    state.counters["ratio_vs_openssl"] = ours_seconds_per_iteration / openssl_seconds;
}

struct Keys {
    std::vector<std::uint8_t> private_key;
    std::vector<std::uint8_t> public_key;
    Keys() {
        CRkCryptoSignWin gen;
        gen.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256);
        gen.GenerateKeyPair();
        private_key = gen.GetPrivateKey();
        public_key = gen.GetPublicKey();
    }
};

const Keys& keys() {
    static const Keys k;
    return k;
}

std::string text_of(std::size_t size, const std::string& line) {
    std::string text;
    while (text.size() + line.size() <= size) text += line;
    text.resize(size, ' ');
    return text;
}

double thread_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// CPU seconds per iteration: `openssl speed` reports CPU time too, so the
// ratio holds on a busy machine.
template <typename F>
double timed_loop(benchmark::State& state, F&& f) {
    const double start = thread_cpu_seconds();
    for (auto _ : state) {
        f();
    }
    const double spent = thread_cpu_seconds() - start;
    return state.iterations() ? spent / static_cast<double>(state.iterations()) : 0;
}

void BM_VerifySignedScript100KB(benchmark::State& state) {
    const std::string script = *rk::script::sign_script(
        text_of(100 * 1024, "var value = compute(\"item\", 42); // keep going\r\n"), keys().private_key);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(script.data());
    const double ours = timed_loop(state, [&] {
        if (!SignatureCheck::VerifySignatureWithKey(bytes, script.size(), keys().public_key)) {
            state.SkipWithError("not verified");
        }
    });
    const auto& s = openssl_speed();
    const double theirs = s.sha256_bytes_per_second > 0 && s.verifies_per_second > 0
                              ? static_cast<double>(script.size()) / s.sha256_bytes_per_second + 1 / s.verifies_per_second
                              : 0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * script.size()));
    report(state, ours, theirs);
}
BENCHMARK(BM_VerifySignedScript100KB)->Unit(benchmark::kMicrosecond);

void BM_VerifySignedDocument1MB(benchmark::State& state) {
    const std::string document = *rk::xmlsig::sign_document(
        "<?xml version=\"1.0\"?>\r\n" + text_of(1024 * 1024, "<Update name=\"x\"><Command type=\"LOG\"/></Update>\r\n"),
        keys().private_key);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(document.data());
    const double ours = timed_loop(state, [&] {
        std::size_t n = 0;
        if (!NSignatureCheck::VerifySignatureWithKey(bytes, document.size(), keys().public_key, n)) {
            state.SkipWithError("not verified");
        }
    });
    const auto& s = openssl_speed();
    const double theirs = s.sha256_bytes_per_second > 0 && s.verifies_per_second > 0
                              ? static_cast<double>(document.size()) / s.sha256_bytes_per_second +
                                    1 / s.verifies_per_second
                              : 0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document.size()));
    report(state, ours, theirs);
}
BENCHMARK(BM_VerifySignedDocument1MB)->Unit(benchmark::kMicrosecond);

constexpr std::size_t k64MiB = 64u << 20;

const std::vector<std::uint8_t>& data_64mib() {
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> d(k64MiB);
        for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
        return d;
    }();
    return data;
}

void BM_Sha256_64MiB(benchmark::State& state) {
    const auto& data = data_64mib();
    CRkCryptoHashWin hash;
    hash.Initialize(CRYPTO_HASH_ALG_ID::SHA256);
    std::vector<std::uint8_t> digest;
    const double ours = timed_loop(state, [&] {
        hash.AddToHash(data.data(), data.size());
        hash.GetFinalHash(digest);
        benchmark::DoNotOptimize(digest.data());
    });
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    const auto& s = openssl_speed();
    report(state, ours, s.sha256_bytes_per_second > 0 ? static_cast<double>(k64MiB) / s.sha256_bytes_per_second : 0);
}
BENCHMARK(BM_Sha256_64MiB)->Unit(benchmark::kMillisecond);

// The whole `openssl dgst -sha256` process on a 64 MiB file (page cache warm):
// process start, file reading and hashing, in wall-clock time.
void BM_OpensslDgstSha256_64MiB(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / "rk-crypto-bench-64mib.bin";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data_64mib().data()), static_cast<std::streamsize>(k64MiB));
    }
    const std::string command = "openssl dgst -sha256 '" + path.string() + "' >/dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("openssl dgst failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k64MiB));
    std::filesystem::remove(path);
}
BENCHMARK(BM_OpensslDgstSha256_64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
