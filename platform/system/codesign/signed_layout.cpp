#include "platform/system/codesign/signed_layout.h"

namespace rk::sys::codesign {

const char* to_string(SignatureKind kind) {
    switch (kind) {
        case SignatureKind::kPe: return "PE Authenticode";
        case SignatureKind::kCab: return "CAB Authenticode";
        case SignatureKind::kAppended: return "appended PKCS #7";
        case SignatureKind::kUnknown: break;
    }
    return "unknown";
}

SignedLayout failed_layout(SignatureKind kind, LayoutStatus status, std::string error) {
    SignedLayout l;
    l.kind = kind;
    l.status = status;
    l.error = std::move(error);
    return l;
}

}  // namespace rk::sys::codesign
