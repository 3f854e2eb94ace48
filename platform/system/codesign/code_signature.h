// The code-signature capability of the platform seam: is a file (PE or CAB
// with embedded Authenticode, anything else with an appended PKCS #7
// signature) signed by an accepted publisher under a pinned root?
#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "platform/system/codesign/signature_report.h"

namespace rk::sys::codesign {

class CodeSignatureVerifier {
public:
    CodeSignatureVerifier() = default;
    CodeSignatureVerifier(const CodeSignatureVerifier&) = delete;
    CodeSignatureVerifier& operator=(const CodeSignatureVerifier&) = delete;
    virtual ~CodeSignatureVerifier() = default;

    // One pass of the signed-file check with `policy`. Never throws; a file
    // that cannot be read gives a report with `error` set and not accepted.
    virtual SignatureReport verify_file(const std::filesystem::path& path, const TrustPolicy& policy) const = 0;
};

// The OpenSSL implementation.
std::unique_ptr<CodeSignatureVerifier> make_code_signature_verifier();

// One pass over bytes already in memory (fuzzing, tests).
SignatureReport verify_signature_bytes(std::span<const std::uint8_t> file, const TrustPolicy& policy);

// The signed-file check with explicit publisher names and pinned roots: one
// pass with the current user's chain engine and, when it accepts the file
// but saw an ECDSA-signed certificate in a chain, a second pass with the
// machine's engine whose result counts.
bool verify_publisher_signature(const std::filesystem::path& path, std::span<const std::wstring> publisher_names,
                                std::span<const Sha1Thumbprint> pinned_roots);

// Which container a file is, decided from its first and last bytes.
SignatureKind detect_kind(std::span<const std::uint8_t> file);

}  // namespace rk::sys::codesign
