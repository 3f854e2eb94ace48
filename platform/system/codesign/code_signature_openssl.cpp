#include "platform/system/codesign/appended_layout.h"
#include "platform/system/codesign/cab_layout.h"
#include "platform/system/codesign/code_signature.h"
#include "platform/system/codesign/pe_layout.h"
#include "platform/system/codesign/signature_verifier.h"

#include <string>

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

SignatureReport failed_report(std::string error) {
    SignatureReport report;
    report.error = std::move(error);
    return report;
}

// One pass; `source`, when given, is the open file `file` views.
SignatureReport verify_layout(std::span<const std::uint8_t> file, const TrustPolicy& policy, const File* source) {
    try {
        const SignedLayout layout = layout_of(file);
        return SignatureVerifier(file, layout, policy, source).run();
    } catch (const std::exception& e) {  // allocation failures
        SignatureReport report;
        report.error = e.what();
        return report;
    }
}

std::string open_error(DWORD error) {
    switch (error) {
        case win::kErrorFileNotFound:
        case win::kErrorPathNotFound: return "cannot open: no such file";
        case win::kErrorCantResolveFilename: return "cannot open: the name is a symbolic link";
        case win::kErrorAccessDenied: return "not a regular file, or access denied";
        default: return "cannot open: error " + std::to_string(error);
    }
}

class OpensslCodeSignatureVerifier final : public CodeSignatureVerifier {
public:
    SignatureReport verify_file(const std::filesystem::path& path, const TrustPolicy& policy) const override {
        File file;
        if (const DWORD error = File::open_host(path, {}, file); error != win::kErrorSuccess) {
            return failed_report(open_error(error));
        }
        return verify_file(file, policy);
    }

    SignatureReport verify_file(const File& file, const TrustPolicy& policy) const override {
        std::uint64_t size = 0;
        if (const DWORD error = file.size(size); error != win::kErrorSuccess) {
            return failed_report(open_error(error));
        }
        if (size > kMaxSignedFileBytes) {
            return failed_report("file too large");
        }
        FileView view;
        if (const DWORD error = FileView::open(file, view); error != win::kErrorSuccess) {
            return failed_report("cannot map: error " + std::to_string(error));
        }
        return verify_view(view, policy);
    }

    SignatureReport verify_view(const FileView& view, const TrustPolicy& policy) const override {
        if (view.bytes().size() > kMaxSignedFileBytes) {
            return failed_report("file too large");
        }
        SignatureReport report = verify_layout(view.bytes(), policy, &view.file());
        if (!view.intact()) {
            return failed_report("file changed while it was read");
        }
        return report;
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
    return verify_layout(file, policy, nullptr);
}

bool verify_publisher_signature(const std::filesystem::path& path, std::span<const std::wstring> publisher_names,
                                std::span<const Sha1Thumbprint> pinned_roots) {
    File file;
    return File::open_host(path, {}, file) == win::kErrorSuccess &&
           verify_publisher_signature(file, publisher_names, pinned_roots);
}

bool verify_publisher_signature(const File& file, std::span<const std::wstring> publisher_names,
                                std::span<const Sha1Thumbprint> pinned_roots) {
    FileView view;
    return FileView::open(file, view) == win::kErrorSuccess &&
           verify_publisher_signature(view, publisher_names, pinned_roots);
}

bool verify_publisher_signature(const FileView& view, std::span<const std::wstring> publisher_names,
                                std::span<const Sha1Thumbprint> pinned_roots) {
    try {
        if (view.bytes().size() > kMaxSignedFileBytes) {
            return false;
        }
        TrustPolicy policy;
        policy.publisher_names.assign(publisher_names.begin(), publisher_names.end());
        policy.pinned_roots.assign(pinned_roots.begin(), pinned_roots.end());
        const auto verifier = make_code_signature_verifier();
        const SignatureReport first = verifier->verify_view(view, policy);
        if (!first.accepted || !first.ecdsa_in_chain) {
            return first.accepted;
        }
        policy.engine = ChainEngine::kMachine;
        return verifier->verify_view(view, policy).accepted;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace rk::sys::codesign
