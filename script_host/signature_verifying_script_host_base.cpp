#include "script_host/signature_verifying_script_host_base.h"

#include <stdexcept>
#include <string>

#include "platform/text/utf.h"
#include "script_host/signature_check.h"
#include "script_host/thrown_from.h"

namespace Corvane::Script {

void SignatureVerifyingScriptHostBase::AddScript(const std::wstring& text, const std::wstring& source_name) {
    if (verify_) {
        // The thread's ANSI code page is UTF-8 here.
        const std::string bytes = rk::text::wide_to_utf8(text);
        if (!SignatureCheck::VerifySignature(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) {
            throw std::runtime_error(kMsgSignatureCheckFailed + ThrownFrom(__FILE__, __LINE__));
        }
    }
    AddVerifiedScript(text, source_name);
}

}  // namespace Corvane::Script
