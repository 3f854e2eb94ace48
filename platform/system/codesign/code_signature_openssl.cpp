#include "platform/system/codesign/appended_layout.h"
#include "platform/system/codesign/cab_layout.h"
#include "platform/system/codesign/code_signature.h"
#include "platform/system/codesign/mapped_file.h"
#include "platform/system/codesign/pe_layout.h"
#include "platform/system/codesign/signature_verifier.h"

namespace rk::sys::codesign {
namespace {

SignedLayout layout_of(std::span<const std::uint8_t> file) {
    switch (detect_kind(file)) {
        case SignatureKind::kPe: return pe::parse_layout(file);
        case SignatureKind::kCab: return cab::parse_layout(file);
        case SignatureKind::kAppended: return appended::parse_layout(file);
        case SignatureKind::kUnknown: break;
    }
    return failed_layout(SignatureKind::kUnknown, LayoutStatus::kUnsigned, "file is not signed");
}

class OpensslCodeSignatureVerifier final : public CodeSignatureVerifier {
public:
    SignatureReport verify_file(const std::filesystem::path& path, const TrustPolicy& policy) const override {
        std::string error;
        auto mapped = MappedFile::open(path, error);
        if (!mapped) {
            SignatureReport report;
            report.error = error;
            return report;
        }
        return verify_signature_bytes(mapped->bytes(), policy);
    }
};

}  // namespace

SignatureKind detect_kind(std::span<const std::uint8_t> file) {
    if (pe::looks_like_pe(file)) {
        return SignatureKind::kPe;
    }
    if (cab::looks_like_cab(file)) {
        return SignatureKind::kCab;
    }
    if (appended::has_marker(file)) {
        return SignatureKind::kAppended;
    }
    return SignatureKind::kUnknown;
}

std::unique_ptr<CodeSignatureVerifier> make_code_signature_verifier() {
    return std::make_unique<OpensslCodeSignatureVerifier>();
}

SignatureReport verify_signature_bytes(std::span<const std::uint8_t> file, const TrustPolicy& policy) {
    try {
        const SignedLayout layout = layout_of(file);
        return SignatureVerifier(file, layout, policy).run();
    } catch (const std::exception& e) {  // allocation failures
        SignatureReport report;
        report.error = e.what();
        return report;
    }
}

bool verify_publisher_signature(const std::filesystem::path& path, std::span<const std::wstring> publisher_names,
                                std::span<const Sha1Thumbprint> pinned_roots) {
    try {
        TrustPolicy policy;
        policy.publisher_names.assign(publisher_names.begin(), publisher_names.end());
        policy.pinned_roots.assign(pinned_roots.begin(), pinned_roots.end());
        const auto verifier = make_code_signature_verifier();
        const SignatureReport first = verifier->verify_file(path, policy);
        if (!first.accepted || !first.ecdsa_in_chain) {
            return first.accepted;
        }
        policy.engine = ChainEngine::kMachine;
        return verifier->verify_file(path, policy).accepted;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace rk::sys::codesign
