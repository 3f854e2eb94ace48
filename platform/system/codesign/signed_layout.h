// Where a file keeps its signature and which of its bytes the signature covers.
// Produced by the format parsers (PE, CAB, appended) from the file's bytes;
// they never read files themselves.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace rk::sys::codesign {

enum class SignatureKind {
    kUnknown,   // no recognised signature container
    kPe,        // Authenticode in a PE32/PE32+ certificate table
    kCab,       // Authenticode in a cabinet's reserve area
    kAppended,  // PKCS #7 appended in the Linux module-signing layout
};

const char* to_string(SignatureKind kind);

struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

enum class LayoutStatus {
    kSigned,     // `signature` and `hashed` are filled in
    kUnsigned,   // a well-formed file of the kind, without a signature
    kMalformed,  // the container is broken or lies about its sizes
};

struct SignedLayout {
    SignatureKind kind = SignatureKind::kUnknown;
    LayoutStatus status = LayoutStatus::kUnsigned;
    std::string error;                         // why not kSigned, for reports
    std::vector<ByteRange> hashed;             // in order; what the signature's digest covers
    std::span<const std::uint8_t> signature;   // the DER PKCS #7 SignedData, inside the file
};

// Signatures and their tables larger than this are refused: real ones are a
// few kilobytes (tens with nested signatures).
inline constexpr std::size_t kMaxSignatureBytes = 4u << 20;

// Makes a layout that failed with `status` and `error`.
SignedLayout failed_layout(SignatureKind kind, LayoutStatus status, std::string error);

}  // namespace rk::sys::codesign
