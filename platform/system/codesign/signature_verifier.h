// One pass of the signed-file check over a file's bytes: decodes the
// signature its layout points at and examines every signer in order (with
// their nested signatures), then decides.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include <openssl/pkcs7.h>

#include "platform/system/codesign/signature_report.h"
#include "platform/system/file.h"
#include "platform/system/codesign/signed_layout.h"

namespace rk::sys::codesign {

class SignatureVerifier {
public:
    // `source`, when given, is the open file that `file` views: the image
    // hash then reads it in pieces instead of walking the mapping (cold
    // mapped pages cost a fault and a cache miss each; a 64 MiB hash takes
    // about a third less CPU). A short read fails the hash.
    SignatureVerifier(std::span<const std::uint8_t> file, const SignedLayout& layout, const TrustPolicy& policy,
                      const File* source = nullptr);

    SignatureReport run();

private:
    SignatureInfo examine(PKCS7* p7, std::size_t depth);
    SignerReport examine_signer(PKCS7_SIGNER_INFO* si, STACK_OF(X509) * certs, std::span<const std::uint8_t> content,
                                std::string_view content_type, std::size_t depth);
    bool decide(SignatureInfo& info, bool file_integrity, bool& ecdsa);
    const std::vector<std::uint8_t>* file_hash(const EVP_MD* md);
    bool hash_range(EVP_MD_CTX* ctx, std::uint64_t offset, std::uint64_t length);

    std::span<const std::uint8_t> file_;
    const File* source_;
    const SignedLayout& layout_;
    const TrustPolicy& policy_;
    std::time_t now_;
    std::size_t examined_ = 0;  // SignedData examined so far in this pass
    std::map<int, std::vector<std::uint8_t>> hashes_;  // image hash by digest NID
};

}  // namespace rk::sys::codesign
