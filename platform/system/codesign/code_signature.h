// The code-signature capability of the platform seam: is a file (PE or CAB
// with embedded Authenticode, anything else with an appended PKCS #7
// signature) signed by an accepted publisher under a pinned root?
#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "platform/system/codesign/signature_report.h"
#include "platform/system/file.h"
#include "platform/system/file_view.h"

namespace rk::sys::codesign {

class CodeSignatureVerifier {
public:
    CodeSignatureVerifier() = default;
    CodeSignatureVerifier(const CodeSignatureVerifier&) = delete;
    CodeSignatureVerifier& operator=(const CodeSignatureVerifier&) = delete;
    virtual ~CodeSignatureVerifier() = default;

    // One pass of the signed-file check with `policy`. Never throws; a file
    // that cannot be read (missing, a link, not a regular file, larger than
    // kMaxSignedFileBytes, changed while it was read) gives a report with
    // `error` set and not accepted.
    virtual SignatureReport verify_file(const std::filesystem::path& path, const TrustPolicy& policy) const = 0;
    // The same over a file the caller holds open (with read access), so
    // that what was checked is what the caller goes on to use.
    virtual SignatureReport verify_file(const File& file, const TrustPolicy& policy) const = 0;
    virtual SignatureReport verify_view(const FileView& view, const TrustPolicy& policy) const = 0;
};

// Every format we verify addresses its signature with 32-bit offsets.
inline constexpr std::uint64_t kMaxSignedFileBytes = 0xFFFFFFFFull;

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
bool verify_publisher_signature(const File& file, std::span<const std::wstring> publisher_names,
                                std::span<const Sha1Thumbprint> pinned_roots);
// Over a view the caller already holds (one mapping for the check and for
// whatever the caller then parses); false when the view is not intact().
bool verify_publisher_signature(const FileView& view, std::span<const std::wstring> publisher_names,
                                std::span<const Sha1Thumbprint> pinned_roots);

// Which container a file is, decided from its first and last bytes.
SignatureKind detect_kind(std::span<const std::uint8_t> file);

}  // namespace rk::sys::codesign
