#include "platform/system/codesign/pe_layout.h"

#include <algorithm>

#include "platform/system/codesign/der_reader.h"
#include "platform/text/le_bytes.h"

namespace rk::sys::codesign {

namespace pe {
namespace {

constexpr std::uint64_t kLfanewOffset = 0x3C;
constexpr std::uint64_t kCoffSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kChecksumInOptional = 64;
constexpr std::uint64_t kSizeOfHeadersInOptional = 60;

SignedLayout malformed(std::string why) {
    return failed_layout(SignatureKind::kPe, LayoutStatus::kMalformed, std::move(why));
}

}  // namespace

bool looks_like_pe(std::span<const std::uint8_t> file) {
    const text::LeBytes b(file);
    if (!b.has(0, 64) || file[0] != 'M' || file[1] != 'Z') {
        return false;
    }
    const std::uint64_t pe = b.u32(kLfanewOffset);
    return b.has(pe, 4) && file[pe] == 'P' && file[pe + 1] == 'E' && file[pe + 2] == 0 && file[pe + 3] == 0;
}

SignedLayout parse_layout(std::span<const std::uint8_t> file) {
    if (!looks_like_pe(file)) {
        return malformed("not a PE image");
    }
    const text::LeBytes b(file);
    const std::uint64_t size = file.size();
    const std::uint64_t coff = b.u32(kLfanewOffset) + 4;
    if (!b.has(coff, kCoffSize)) {
        return malformed("COFF header runs past the end of the file");
    }
    const std::uint64_t sections = b.u16(coff + 2);
    const std::uint64_t optional_size = b.u16(coff + 16);
    const std::uint64_t opt = coff + kCoffSize;
    if (!b.has(opt, optional_size) || optional_size < 2) {
        return malformed("optional header runs past the end of the file");
    }
    const std::uint16_t magic = b.u16(opt);
    std::uint64_t rva_count_at = 0;
    if (magic == kMagicPe32) {
        rva_count_at = opt + 92;
    } else if (magic == kMagicPe32Plus) {
        rva_count_at = opt + 108;
    } else {
        return malformed("unknown optional header magic");
    }
    const std::uint64_t directories = rva_count_at + 4;
    if (rva_count_at + 4 > opt + optional_size) {
        return malformed("optional header too short");
    }
    const std::uint64_t rva_count = b.u32(rva_count_at);
    if (rva_count <= kSecurityDirectoryIndex) {
        return failed_layout(SignatureKind::kPe, LayoutStatus::kUnsigned, "no certificate table directory");
    }
    HeaderOffsets offsets;
    offsets.checksum = opt + kChecksumInOptional;
    offsets.security_directory = directories + 8 * kSecurityDirectoryIndex;
    if (offsets.security_directory + 8 > opt + optional_size) {
        return malformed("certificate table directory outside the optional header");
    }
    const std::uint64_t size_of_headers = b.u32(opt + kSizeOfHeadersInOptional);
    const std::uint64_t table_offset = b.u32(offsets.security_directory);
    const std::uint64_t table_size = b.u32(offsets.security_directory + 4);
    if (table_offset == 0 && table_size == 0) {
        return failed_layout(SignatureKind::kPe, LayoutStatus::kUnsigned, "file is not signed");
    }
    if (table_offset == 0 || table_size < 8 || table_size > kMaxSignatureBytes) {
        return malformed("certificate table address or size out of range");
    }
    if (table_offset + table_size != size) {
        return malformed("certificate table is not at the end of the file");
    }
    if (table_offset % 8 != 0) {
        return malformed("certificate table is not 8-byte aligned");
    }

    // Headers and sections must all lie before the certificate table: the
    // table is excluded from the hash, so anything overlapping it would be
    // unprotected.
    const std::uint64_t section_table = opt + optional_size;
    if (sections > kMaxSections || !b.has(section_table, sections * kSectionHeaderSize)) {
        return malformed("section table runs past the end of the file");
    }
    const std::uint64_t headers_end = section_table + sections * kSectionHeaderSize;
    if (headers_end > table_offset || size_of_headers > table_offset) {
        return malformed("headers overlap the certificate table");
    }
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint64_t s = section_table + i * kSectionHeaderSize;
        const std::uint64_t raw_size = b.u32(s + 16);
        const std::uint64_t raw_ptr = b.u32(s + 20);
        if (raw_size != 0 && raw_ptr + raw_size > table_offset) {
            return malformed("a section overlaps the certificate table or runs past the end of the file");
        }
    }

    // WIN_CERTIFICATE entries, each 8-byte aligned, filling the table exactly.
    std::span<const std::uint8_t> blob;
    std::uint64_t pos = table_offset;
    std::uint32_t entries = 0;
    while (pos < size) {
        if (++entries > kMaxCertificateEntries || !b.has(pos, 8)) {
            return malformed("certificate table entries are malformed");
        }
        const std::uint64_t length = b.u32(pos);
        const std::uint16_t revision = b.u16(pos + 4);
        const std::uint16_t type = b.u16(pos + 6);
        if (length < 8 || length > size - pos) {
            return malformed("certificate table entry length out of range");
        }
        if (revision == kWinCertRevision2 && type == kWinCertTypePkcsSignedData && blob.empty()) {
            blob = file.subspan(pos + 8, length - 8);
        }
        const std::uint64_t next = pos + ((length + 7) & ~std::uint64_t{7});
        if (next > size) {
            return malformed("certificate table entry padding runs past the end of the file");
        }
        pos = next;
    }
    if (entries != 1 || blob.empty()) {
        return malformed("certificate table must hold exactly one PKCS #7 entry");
    }
    // The DER blob may be followed only by alignment padding of zeros: bytes
    // hidden there would ride along unsigned.
    const auto der = read_der(blob);
    if (!der || der->tag != der_tag::kSequence) {
        return malformed("certificate table entry is not a DER SignedData");
    }
    const auto padding = blob.subspan(der->whole.size());
    if (padding.size() >= 8 || std::any_of(padding.begin(), padding.end(), [](std::uint8_t c) { return c != 0; })) {
        return malformed("data after the signature in the certificate table");
    }

    SignedLayout l;
    l.kind = SignatureKind::kPe;
    l.status = LayoutStatus::kSigned;
    l.signature = der->whole;
    l.hashed = {{0, offsets.checksum},
                {offsets.checksum + 4, offsets.security_directory - offsets.checksum - 4},
                {offsets.security_directory + 8, table_offset - offsets.security_directory - 8}};
    return l;
}

}  // namespace pe
}  // namespace rk::sys::codesign
