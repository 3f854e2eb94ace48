#include "platform/system/codesign/appended_layout.h"

#include <algorithm>

#include "platform/system/codesign/der_reader.h"

namespace rk::sys::codesign::appended {
namespace {

constexpr std::size_t kTrailer = kInfoSize + kMarker.size();

SignedLayout malformed(std::string why) {
    return failed_layout(SignatureKind::kAppended, LayoutStatus::kMalformed, std::move(why));
}

}  // namespace

bool has_marker(std::span<const std::uint8_t> file) {
    return file.size() >= kMarker.size() &&
           std::equal(kMarker.begin(), kMarker.end(), file.end() - static_cast<std::ptrdiff_t>(kMarker.size()));
}

std::array<std::uint8_t, kInfoSize> make_info(std::uint32_t sig_len) {
    return {0, 0, kIdTypePkcs7, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(sig_len >> 24),
            static_cast<std::uint8_t>(sig_len >> 16), static_cast<std::uint8_t>(sig_len >> 8),
            static_cast<std::uint8_t>(sig_len)};
}

SignedLayout parse_layout(std::span<const std::uint8_t> file) {
    if (!has_marker(file)) {
        return failed_layout(SignatureKind::kAppended, LayoutStatus::kUnsigned, "file is not signed");
    }
    if (file.size() < kTrailer) {
        return malformed("signature info block is cut short");
    }
    const auto info = file.subspan(file.size() - kTrailer, kInfoSize);
    if (info[2] != kIdTypePkcs7) {
        return malformed("signature is not PKCS #7");
    }
    if (info[0] != 0 || info[1] != 0 || info[3] != 0 || info[4] != 0 || info[5] != 0 || info[6] != 0 ||
        info[7] != 0) {
        return malformed("signature info block has fields set that PKCS #7 leaves zero");
    }
    const std::uint64_t sig_len = (std::uint64_t{info[8]} << 24) | (std::uint64_t{info[9]} << 16) |
                                  (std::uint64_t{info[10]} << 8) | std::uint64_t{info[11]};
    const std::uint64_t before = file.size() - kTrailer;
    if (sig_len == 0 || sig_len > kMaxSignatureBytes || sig_len > before) {
        return malformed("signature length in the info block is out of range");
    }
    const std::uint64_t content = before - sig_len;
    const auto der = read_der(file.subspan(content, sig_len));
    if (!der || der->tag != der_tag::kSequence || der->whole.size() != sig_len) {
        return malformed("signature is not one DER SignedData");
    }
    SignedLayout l;
    l.kind = SignatureKind::kAppended;
    l.status = LayoutStatus::kSigned;
    l.signature = der->whole;
    l.hashed = {{0, content}};
    return l;
}

}  // namespace rk::sys::codesign::appended
