// Test helper: trust content folders made the way the maker makes them
// (gcab, osslsigncode with the repository's test PKI), appended signatures
// for libraries, and content files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace rk::trust::test {

enum class Signer { kNone, kCorvane, kForeign };

// SHA-1 thumbprints of testdata/codesign/pki/corvane.crt ("Corvane
// Development", the development code-signing certificate) and foreign.crt.
inline constexpr char kCorvaneSha1[] = "9b20757fe9e657973c0ce31cda8d521f3a12317d";
inline constexpr char kForeignSha1[] = "08353439dae175d9317f42429427b1fe0f64d9bf";

struct ContentCert {
    std::string hash;
    std::string name;
    int type = 0;
};

// {"version":N,"certs":[...]}
std::string content_json(std::uint64_t version, const std::vector<ContentCert>& certs);

// Writes `folder`/rk-av-trust.cab holding `files` (stored name, bytes),
// signed by `signer` (Authenticode, SHA-256). Returns what went wrong, or
// an empty text.
std::string make_cabinet(const std::filesystem::path& folder,
                         const std::vector<std::pair<std::string, std::string>>& files, Signer signer);

// Copies `in` to `out` with an appended PKCS #7 signature of `signer`.
std::string append_signature(const std::filesystem::path& in, const std::filesystem::path& out, Signer signer);

}  // namespace rk::trust::test
