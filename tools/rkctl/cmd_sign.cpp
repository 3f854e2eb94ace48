// rkctl keygen / sign-script / sign-doc / verify-script / verify-doc: the
// operator side of signed scripts and signed update documents. Keys are PEM
// files in the usual OpenSSL forms; verification defaults to the public keys
// compiled in from the deployment profile.
//
// Exit codes: 0 signed or verified, 1 the signature does not verify, 2 usage
// or file error.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/crypto/ec_key_codec.h"
#include "platform/crypto/rk_crypto_sign.h"
#include "platform/text/strings.h"
#include "script_host/script_signer.h"
#include "script_host/signature_check.h"
#include "tools/rkctl/bounded_file.h"
#include "tools/rkctl/command.h"
#include "xml_updater/document_signer.h"
#include "xml_updater/signature_check.h"

namespace rk::ctl {
namespace {

struct Options {
    std::string key;
    std::string out;
    std::string form;
    bool force = false;
    bool quiet = false;
    std::vector<std::string> positional;
};

// Parses --key/--out/--form VALUE, --force and --quiet; nullopt (with a
// message) for anything else that starts with "--".
std::optional<Options> parse(const char* command, const std::vector<std::string>& args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "rkctl %s: %s needs a value\n", command, a.c_str());
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "--key") {
            if (!value(o.key)) return std::nullopt;
        } else if (a == "--out") {
            if (!value(o.out)) return std::nullopt;
        } else if (a == "--form") {
            if (!value(o.form)) return std::nullopt;
        } else if (a == "--force") {
            o.force = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a.starts_with("--")) {
            std::fprintf(stderr, "rkctl %s: unknown option %s\n", command, a.c_str());
            return std::nullopt;
        } else {
            o.positional.push_back(a);
        }
    }
    return o;
}

// The file, refused before reading when it is larger than `limit`.
std::optional<std::string> read_file(const std::string& path, const char* command,
                                     std::uintmax_t limit = kMaxDocumentInputBytes) {
    std::string data;
    switch (read_bounded_file(path, limit, data)) {
        case BoundedRead::kOk:
            return data;
        case BoundedRead::kTooLarge:
            std::fprintf(stderr, "rkctl %s: %s is larger than %s\n", command, path.c_str(), size_text(limit).c_str());
            return std::nullopt;
        case BoundedRead::kCannotRead:
            break;
    }
    std::fprintf(stderr, "rkctl %s: cannot read %s\n", command, path.c_str());
    return std::nullopt;
}

bool write_file(const std::string& path, const std::string& data, const char* command) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "rkctl %s: cannot write %s\n", command, path.c_str());
        return false;
    }
    return true;
}

// Writes to --out, or to standard output without it.
int emit(const Options& o, const std::string& data, const char* command) {
    if (o.out.empty()) {
        std::fwrite(data.data(), 1, data.size(), stdout);
        return kExitOk;
    }
    return write_file(o.out, data, command) ? kExitOk : kExitUsage;
}

std::optional<std::vector<std::uint8_t>> load_private_key(const Options& o, const char* command) {
    if (o.key.empty()) {
        std::fprintf(stderr, "rkctl %s: --key PRIVATE.pem is required\n", command);
        return std::nullopt;
    }
    const auto pem = read_file(o.key, command, kMaxKeyFileBytes);
    if (!pem) return std::nullopt;
    auto key = crypto::private_key_from_pem(*pem);
    if (!key) {
        std::fprintf(stderr, "rkctl %s: %s is not an unencrypted P-256 private key\n", command, o.key.c_str());
    }
    return key;
}

int run_keygen(const std::vector<std::string>& args) {
    constexpr const char* kCmd = "keygen";
    const auto o = parse(kCmd, args);
    if (!o || o->positional.size() != 2) {
        if (o) std::fprintf(stderr, "usage: rkctl keygen [--force] PRIVATE.pem PUBLIC.pem\n");
        return kExitUsage;
    }
    const std::string& private_path = o->positional[0];
    const std::string& public_path = o->positional[1];
    for (const auto& p : {private_path, public_path}) {
        if (!o->force && std::filesystem::exists(p)) {
            std::fprintf(stderr, "rkctl keygen: %s exists (--force overwrites)\n", p.c_str());
            return kExitUsage;
        }
    }
    RkCryptoLib::CRkCryptoSignWin generator;
    if (!RkCryptoLib::RK_SUCCESS(generator.Initialize(RkCryptoLib::CRYPTO_SIGN_ALG_ID::ECDSA_P256)) ||
        !RkCryptoLib::RK_SUCCESS(generator.GenerateKeyPair())) {
        std::fprintf(stderr, "rkctl keygen: key generation failed\n");
        return kExitFailure;
    }
    const std::string private_pem = crypto::private_key_to_pem(generator.GetPrivateKey());
    const std::string public_pem = crypto::public_key_to_pem(generator.GetPublicKey());
    if (private_pem.empty() || public_pem.empty()) {
        std::fprintf(stderr, "rkctl keygen: cannot encode the key pair\n");
        return kExitFailure;
    }
    std::error_code ec;
    std::filesystem::remove(private_path, ec);
    {
        // Private keys are for their owner only.
        std::ofstream create(private_path, std::ios::binary);
    }
    std::filesystem::permissions(private_path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 ec);
    if (!write_file(private_path, private_pem, kCmd) || !write_file(public_path, public_pem, kCmd)) {
        return kExitUsage;
    }
    // The form the deployment profile takes.
    std::printf("%s\n", text::to_hex(generator.GetPublicKey()).c_str());
    return kExitOk;
}

int run_sign_script(const std::vector<std::string>& args) {
    constexpr const char* kCmd = "sign-script";
    const auto o = parse(kCmd, args);
    if (!o || o->positional.size() != 1) {
        if (o) std::fprintf(stderr, "usage: rkctl sign-script --key PRIVATE.pem [--form auto|script|markup] [--out FILE] SCRIPT\n");
        return kExitUsage;
    }
    script::SignatureLineForm form = script::SignatureLineForm::kAuto;
    if (o->form == "script") {
        form = script::SignatureLineForm::kScript;
    } else if (o->form == "markup") {
        form = script::SignatureLineForm::kMarkup;
    } else if (!o->form.empty() && o->form != "auto") {
        std::fprintf(stderr, "rkctl sign-script: --form is auto, script or markup\n");
        return kExitUsage;
    }
    const auto key = load_private_key(*o, kCmd);
    const auto text = key ? read_file(o->positional[0], kCmd) : std::nullopt;
    if (!text) return kExitUsage;
    const auto signed_text = script::sign_script(*text, *key, form);
    if (!signed_text) {
        std::fprintf(stderr, "rkctl sign-script: signing failed\n");
        return kExitFailure;
    }
    return emit(*o, *signed_text, kCmd);
}

int run_sign_doc(const std::vector<std::string>& args) {
    constexpr const char* kCmd = "sign-doc";
    const auto o = parse(kCmd, args);
    if (!o || o->positional.size() != 1) {
        if (o) std::fprintf(stderr, "usage: rkctl sign-doc --key PRIVATE.pem [--form xml|plain] [--out FILE] DOCUMENT\n");
        return kExitUsage;
    }
    xmlsig::TrailerForm form = xmlsig::TrailerForm::kXmlComment;
    if (o->form == "plain") {
        form = xmlsig::TrailerForm::kPlain;
    } else if (!o->form.empty() && o->form != "xml") {
        std::fprintf(stderr, "rkctl sign-doc: --form is xml or plain\n");
        return kExitUsage;
    }
    const auto key = load_private_key(*o, kCmd);
    const auto document = key ? read_file(o->positional[0], kCmd) : std::nullopt;
    if (!document) return kExitUsage;
    const auto signed_document = xmlsig::sign_document(*document, *key, form);
    if (!signed_document) {
        std::fprintf(stderr, "rkctl sign-doc: signing failed\n");
        return kExitFailure;
    }
    return emit(*o, *signed_document, kCmd);
}

// Both verify commands: the file, and an optional --key (public or private
// PEM) in place of the profile's key.
int run_verify(const std::vector<std::string>& args, bool document) {
    const char* cmd = document ? "verify-doc" : "verify-script";
    const auto o = parse(cmd, args);
    if (!o || o->positional.size() != 1) {
        if (o) std::fprintf(stderr, "usage: rkctl %s [--key PUBLIC.pem] [--quiet] FILE\n", cmd);
        return kExitUsage;
    }
    std::optional<std::vector<std::uint8_t>> key;
    if (!o->key.empty()) {
        const auto pem = read_file(o->key, cmd, kMaxKeyFileBytes);
        if (!pem) return kExitUsage;
        key = crypto::public_key_from_pem(*pem);
        if (!key) {
            std::fprintf(stderr, "rkctl %s: %s holds no P-256 key\n", cmd, o->key.c_str());
            return kExitUsage;
        }
    }
    const auto data = read_file(o->positional[0], cmd);
    if (!data) return kExitUsage;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data->data());
    bool ok = false;
    std::size_t signed_length = 0;
    if (document) {
        ok = key ? NSignatureCheck::VerifySignatureWithKey(bytes, data->size(), *key, signed_length)
                 : NSignatureCheck::ForceVerifySignature(bytes, data->size(), signed_length);
    } else {
        ok = key ? SignatureCheck::VerifySignatureWithKey(bytes, data->size(), *key)
                 : SignatureCheck::VerifySignature(bytes, data->size());
    }
    if (!ok) {
        std::fprintf(stderr, "rkctl %s: %s is not verified\n", cmd, o->positional[0].c_str());
    } else if (!o->quiet) {
        if (document) {
            std::printf("verified: %s (%zu signed bytes)\n", o->positional[0].c_str(), signed_length);
        } else {
            std::printf("verified: %s\n", o->positional[0].c_str());
        }
    }
    return ok ? kExitOk : kExitFailure;
}

constexpr char kExitText[] = "\nExit code: 0 verified, 1 not verified, 2 usage or file error.\n";

const CommandRegistrar kKeygen({"keygen", "generate a P-256 key pair (PEM) for signing",
                                "usage: rkctl keygen [--force] PRIVATE.pem PUBLIC.pem\n\n"
                                "Writes a new P-256 key pair: PKCS#8 private key (mode 0600) and\n"
                                "SubjectPublicKeyInfo public key. Prints the raw public key (X || Y) in\n"
                                "hex, the form the profile's document_public_key / script_public_key take.\n"
                                "Existing files are kept unless --force is given.\n",
                                run_keygen});

const CommandRegistrar kSignScript(
    {"sign-script", "append the signature line to a script",
     "usage: rkctl sign-script --key PRIVATE.pem [--form auto|script|markup] [--out FILE] SCRIPT\n\n"
     "Signs the whole file and appends CR LF \"//\" HEX \"++\" (script form) or\n"
     "CR LF \"<!--\" HEX \"-->\" (markup form). auto (default) picks markup when the\n"
     "text ends with \"-->\". Output goes to FILE or standard output.\n"
     "The key is a PEM P-256 private key (PKCS#8 or \"EC PRIVATE KEY\").\n",
     run_sign_script});

const CommandRegistrar kSignDoc(
    {"sign-doc", "append the signature trailer to an update document",
     "usage: rkctl sign-doc --key PRIVATE.pem [--form xml|plain] [--out FILE] DOCUMENT\n\n"
     "Signs the SHA-256 of the whole file and appends the trailer CR LF \"<!--\"\n"
     "HEX \"-->\" (xml, default: the document stays well-formed) or CR LF \"//\" HEX\n"
     "\"++\" (plain). Output goes to FILE or standard output.\n",
     run_sign_doc});

const std::string kVerifyScriptUsage = std::string(
                                           "usage: rkctl verify-script [--key PUBLIC.pem] [--quiet] FILE\n\n"
                                           "Checks a signed script as the script host does, with the profile's\n"
                                           "script key or the key in PUBLIC.pem (a private key PEM works too).\n") +
                                       kExitText;
const std::string kVerifyDocUsage = std::string(
                                        "usage: rkctl verify-doc [--key PUBLIC.pem] [--quiet] FILE\n\n"
                                        "Checks an update document's signature trailer as the update engine\n"
                                        "does, with the profile's document key or the key in PUBLIC.pem.\n") +
                                    kExitText;

const CommandRegistrar kVerifyScript({"verify-script", "check a signed script (exit 0 verified, 1 not)",
                                      kVerifyScriptUsage,
                                      [](const std::vector<std::string>& a) { return run_verify(a, false); }});
const CommandRegistrar kVerifyDoc({"verify-doc", "check a signed update document (exit 0 verified, 1 not)",
                                   kVerifyDocUsage,
                                   [](const std::vector<std::string>& a) { return run_verify(a, true); }});

}  // namespace
}  // namespace rk::ctl
