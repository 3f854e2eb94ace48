#include "platform/system/codesign/cab_layout.h"

#include <algorithm>

#include "platform/system/codesign/der_reader.h"
#include "platform/text/le_bytes.h"

namespace rk::sys::codesign::cab {
namespace {

constexpr std::uint64_t kFixedHeader = 36;
constexpr std::uint64_t kReserveStart = 40;
constexpr std::uint64_t kSignedHeaderEnd = kReserveStart + kSignedReserveSize;  // 60
constexpr std::uint64_t kFolderSize = 8;

SignedLayout malformed(std::string why) {
    return failed_layout(SignatureKind::kCab, LayoutStatus::kMalformed, std::move(why));
}

// Skips one NUL-terminated set name at `pos` (before `end`); 0 when missing.
std::uint64_t skip_name(std::span<const std::uint8_t> file, std::uint64_t pos, std::uint64_t end) {
    for (std::uint64_t i = 0; i <= kMaxNameLength && pos + i < end; ++i) {
        if (file[pos + i] == 0) {
            return pos + i + 1;
        }
    }
    return 0;
}

}  // namespace

bool looks_like_cab(std::span<const std::uint8_t> file) {
    return file.size() >= 4 && file[0] == 'M' && file[1] == 'S' && file[2] == 'C' && file[3] == 'F';
}

SignedLayout parse_layout(std::span<const std::uint8_t> file) {
    const text::LeBytes b(file);
    if (!looks_like_cab(file) || !b.has(0, kFixedHeader)) {
        return malformed("not a cabinet");
    }
    const std::uint16_t flags = b.u16(30);
    if (!(flags & kFlagReservePresent)) {
        return failed_layout(SignatureKind::kCab, LayoutStatus::kUnsigned, "file is not signed");
    }
    if (!b.has(kReserveStart, 0)) {
        return malformed("reserve sizes run past the end of the file");
    }
    const std::uint16_t reserve = b.u16(36);
    if (reserve != kSignedReserveSize) {
        return failed_layout(SignatureKind::kCab, LayoutStatus::kUnsigned, "no signature reserve in the header");
    }
    if (!b.has(kReserveStart, kSignedReserveSize)) {
        return malformed("header reserve runs past the end of the file");
    }
    if (b.u32(kReserveStart) != kSignedReserveMarker) {
        return malformed("header reserve does not describe a signature");
    }
    const std::uint64_t sig_offset = b.u32(kReserveStart + 4);
    const std::uint64_t sig_length = b.u32(kReserveStart + 8);
    if (sig_offset == 0 && sig_length == 0) {
        return failed_layout(SignatureKind::kCab, LayoutStatus::kUnsigned, "file is not signed");
    }
    if (sig_length == 0 || sig_length > kMaxSignatureBytes || sig_offset < kSignedHeaderEnd ||
        sig_offset + sig_length != file.size()) {
        return malformed("signature offset or length in the header reserve is wrong");
    }

    // Set names, then the folder entries; they must end at coffFiles.
    std::uint64_t pos = kSignedHeaderEnd;
    for (const std::uint16_t flag : {kFlagPrevCabinet, kFlagNextCabinet}) {
        if (flags & flag) {
            for (int name = 0; name < 2; ++name) {
                pos = skip_name(file, pos, sig_offset);
                if (pos == 0) {
                    return malformed("cabinet set name is not terminated");
                }
            }
        }
    }
    const std::uint64_t folders = b.u16(26);
    const std::uint64_t files_offset = b.u32(16);
    if (pos + folders * kFolderSize != files_offset || files_offset > sig_offset) {
        return malformed("folder entries do not end where the file entries start");
    }

    // One DER blob, then at most 7 zero bytes that align it to 8.
    const auto der = read_der(file.subspan(sig_offset));
    if (!der || der->tag != der_tag::kSequence) {
        return malformed("signature is not one DER SignedData");
    }
    const auto padding = file.subspan(sig_offset + der->whole.size());
    if (padding.size() >= 8 || std::any_of(padding.begin(), padding.end(), [](std::uint8_t c) { return c != 0; })) {
        return malformed("data after the signature");
    }
    SignedLayout l;
    l.kind = SignatureKind::kCab;
    l.status = LayoutStatus::kSigned;
    l.signature = der->whole;
    // [4,8) reserved1 and [34,56) iCabinet, reserve sizes, marker, offset,
    // length and 4 more reserve bytes are left out.
    l.hashed = {{0, 4}, {8, 26}, {56, sig_offset - 56}};
    return l;
}

}  // namespace rk::sys::codesign::cab
