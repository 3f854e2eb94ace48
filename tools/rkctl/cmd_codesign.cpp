// rkctl verify-file: what the code-signature check finds in a file, and its
// verdict. rkctl sign-file: sign a file that is not PE or CAB with an
// appended PKCS #7 signature (the layout of Linux module signing).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ts.h>

#include "platform/system/codesign/appended_layout.h"
#include "platform/system/codesign/certificate_info.h"
#include "platform/system/codesign/code_signature.h"
#include "platform/system/codesign/codesign_constants.h"
#include "platform/system/codesign/ossl_ptr.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"
#include "profile/profile_data.h"
#include "tools/rkctl/command.h"

namespace rk::ctl {
namespace {

namespace cs = rk::sys::codesign;

std::optional<std::vector<std::uint8_t>> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    return !ec;
}

std::vector<cs::X509Ptr> read_pem_certificates(const std::string& path) {
    std::vector<cs::X509Ptr> out;
    cs::BioPtr bio(BIO_new_file(path.c_str(), "r"));
    while (bio) {
        cs::X509Ptr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (!cert) {
            break;
        }
        out.push_back(std::move(cert));
    }
    ERR_clear_error();
    return out;
}

std::string yes_no(bool b) { return b ? "yes" : "no"; }
std::string utf8(const std::wstring& w) { return text::wide_to_utf8(w); }

void print_certificate(const cs::CertificateInfo& c, const std::string& indent) {
    std::printf("%s- %s\n", indent.c_str(), utf8(c.subject).c_str());
    std::printf("%s  issuer:    %s\n", indent.c_str(), utf8(c.issuer).c_str());
    std::printf("%s  serial:    %s\n", indent.c_str(), c.serial_hex.c_str());
    std::printf("%s  valid:     %s .. %s\n", indent.c_str(), cs::format_utc(c.not_before).c_str(),
                cs::format_utc(c.not_after).c_str());
    std::printf("%s  sha1:      %s\n", indent.c_str(), text::to_hex(c.sha1).c_str());
    std::printf("%s  sha256:    %s\n", indent.c_str(), text::to_hex(c.sha256).c_str());
    std::printf("%s  signed by: %s\n", indent.c_str(), c.signature_algorithm.c_str());
}

void print_chain(const cs::ChainInfo& chain, const std::string& indent) {
    std::printf("%schain at %s: built %s, root pinned %s, usage ok %s, ECDSA %s%s%s%s\n", indent.c_str(),
                cs::format_utc(chain.evaluated_at).c_str(), yes_no(chain.built).c_str(),
                yes_no(chain.root_pinned).c_str(), yes_no(chain.usage_ok).c_str(), yes_no(chain.ecdsa).c_str(),
                chain.expired ? ", expired certificate tolerated" : "", chain.error.empty() ? "" : ", error: ",
                chain.error.c_str());
    for (const auto& c : chain.certificates) {
        print_certificate(c, indent + "  ");
    }
}

void print_signature(const cs::SignatureInfo& info, const std::string& indent);

void print_signer(const cs::SignerReport& s, std::size_t index, const std::string& indent) {
    std::printf("%ssigner %zu: \"%s\"\n", indent.c_str(), index + 1,
                s.certificate ? utf8(s.certificate->display_name).c_str() : "(certificate not found)");
    const std::string in = indent + "  ";
    std::printf("%sdigest: %s, signature valid: %s%s%s\n", in.c_str(), s.digest_algorithm.c_str(),
                yes_no(s.signature_valid).c_str(), s.signature_error.empty() ? "" : " -- ", s.signature_error.c_str());
    std::printf("%sname accepted: %s\n", in.c_str(), yes_no(s.name_accepted).c_str());
    if (s.claimed_signing_time) {
        std::printf("%sclaimed signing time: %s (unverified)\n", in.c_str(), cs::format_utc(*s.claimed_signing_time).c_str());
    }
    for (const auto& ts : s.timestamps) {
        std::printf("%stimestamp (%s): %s, verified %s, authority \"%s\"%s%s\n", in.c_str(),
                    ts.kind == cs::TimestampKind::kRfc3161 ? "RFC 3161" : "PKCS #9 countersignature",
                    ts.time ? cs::format_utc(*ts.time).c_str() : "no time", yes_no(ts.verified).c_str(),
                    ts.signer ? utf8(ts.signer->display_name).c_str() : "?", ts.error.empty() ? "" : ", error: ",
                    ts.error.c_str());
    }
    std::printf("%ssigning time: %s\n", in.c_str(),
                s.signing_time ? cs::format_utc(*s.signing_time).c_str() : "none (chain judged now)");
    if (s.certificate) {
        print_chain(s.chain, in);
    }
    if (s.accepted) {
        std::printf("%s=> accepted\n", in.c_str());
    } else if (!s.failure.empty()) {
        std::printf("%s=> not accepted: %s\n", in.c_str(), s.failure.c_str());
    }
    for (std::size_t i = 0; i < s.nested.size(); ++i) {
        std::printf("%snested signature %zu:\n", in.c_str(), i + 1);
        print_signature(s.nested[i], in + "  ");
    }
}

void print_signature(const cs::SignatureInfo& info, const std::string& indent) {
    if (!info.digest_algorithm.empty()) {
        std::printf("%sfile digest: %s, matches: %s\n", indent.c_str(), info.digest_algorithm.c_str(),
                    yes_no(info.digest_matches).c_str());
    }
    if (!info.error.empty()) {
        std::printf("%serror: %s\n", indent.c_str(), info.error.c_str());
    }
    for (std::size_t i = 0; i < info.signers.size(); ++i) {
        print_signer(info.signers[i], i, indent);
    }
}

int run_verify(const std::vector<std::string>& args) {
    std::string file;
    cs::TrustPolicy policy;
    bool own_names = false;
    bool own_roots = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--publisher" || a == "--pinned-root") && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (a == "--publisher") {
                policy.publisher_names.push_back(text::utf8_to_wide(value));
                own_names = true;
                continue;
            }
            const auto certs = read_pem_certificates(value);
            if (certs.empty()) {
                std::fprintf(stderr, "rkctl verify-file: no certificate in '%s'\n", value.c_str());
                return kExitUsage;
            }
            for (const auto& c : certs) {
                const auto info = cs::describe_certificate(c.get());
                policy.pinned_roots.push_back(info.sha1);
                policy.anchor_certificates.push_back(info.der);
            }
            own_roots = true;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "rkctl verify-file: unknown or incomplete option '%s'\n", a.c_str());
            return kExitUsage;
        } else if (file.empty()) {
            file = a;
        } else {
            std::fprintf(stderr, "rkctl verify-file: one file at a time\n");
            return kExitUsage;
        }
    }
    if (file.empty()) {
        std::fprintf(stderr, "rkctl verify-file: no file given\n");
        return kExitUsage;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        std::fprintf(stderr, "rkctl verify-file: '%s' is not a readable file\n", file.c_str());
        return kExitUsage;
    }
    if (!own_names) {
        policy.publisher_names.assign(profile::kPublisherNames.begin(), profile::kPublisherNames.end());
    }
    if (!own_roots) {
        policy.pinned_roots.assign(profile::kPinnedRootSha1.begin(), profile::kPinnedRootSha1.end());
    }

    const auto verifier = cs::make_code_signature_verifier();
    const cs::SignatureReport report = verifier->verify_file(file, policy);
    if (!report.signature && report.layout == cs::LayoutStatus::kUnsigned && report.error.rfind("cannot", 0) == 0) {
        std::fprintf(stderr, "rkctl verify-file: %s: %s\n", file.c_str(), report.error.c_str());
        return kExitUsage;
    }
    std::printf("file:    %s\n", file.c_str());
    std::printf("kind:    %s\n", cs::to_string(report.kind));
    if (!report.error.empty()) {
        std::printf("error:   %s\n", report.error.c_str());
    }
    if (report.signature) {
        print_signature(*report.signature, "");
    }
    bool accepted = report.accepted;
    if (accepted && report.ecdsa_in_chain) {
        policy.engine = cs::ChainEngine::kMachine;
        accepted = verifier->verify_file(file, policy).accepted;
        std::printf("second pass (ECDSA in chain, machine chain engine): %s\n", accepted ? "accepted" : "rejected");
    }
    std::printf("verdict: %s\n", accepted ? "accepted" : "rejected");
    return accepted ? kExitOk : kExitFailure;
}

// --- sign-file ---------------------------------------------------------------

struct SignOptions {
    std::string cert, key, chain, out, file;
    std::string tsa_cert, tsa_key, tsa_chain;
    std::optional<long long> tsa_time;
};

// Serves one offline RFC 3161 response: the time is given, not read from a clock.
long long g_tsa_time = 0;
ASN1_INTEGER* tsa_serial(TS_RESP_CTX*, void*) {
    ASN1_INTEGER* serial = ASN1_INTEGER_new();
    ASN1_INTEGER_set_int64(serial, g_tsa_time);
    return serial;
}
int tsa_clock(TS_RESP_CTX*, void*, long* sec, long* usec) {
    *sec = static_cast<long>(g_tsa_time);
    *usec = 0;
    return 1;
}

// An RFC 3161 token over `signature` (the signer's signature value), DER.
std::optional<std::vector<std::uint8_t>> make_timestamp(const SignOptions& o, const ASN1_OCTET_STRING* signature) {
    const auto tsa = read_pem_certificates(o.tsa_cert);
    cs::BioPtr key_bio(BIO_new_file(o.tsa_key.c_str(), "r"));
    cs::EvpPkeyPtr key(key_bio ? PEM_read_bio_PrivateKey(key_bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (tsa.empty() || !key) {
        return std::nullopt;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digest_len = 0;
    EVP_Digest(signature->data, static_cast<std::size_t>(signature->length), digest, &digest_len, EVP_sha256(), nullptr);

    TS_REQ* req = TS_REQ_new();
    TS_MSG_IMPRINT* imprint = TS_MSG_IMPRINT_new();
    X509_ALGOR* alg = X509_ALGOR_new();
    X509_ALGOR_set0(alg, OBJ_nid2obj(NID_sha256), V_ASN1_NULL, nullptr);
    TS_MSG_IMPRINT_set_algo(imprint, alg);
    TS_MSG_IMPRINT_set_msg(imprint, digest, static_cast<int>(digest_len));
    TS_REQ_set_version(req, 1);
    TS_REQ_set_msg_imprint(req, imprint);
    TS_REQ_set_cert_req(req, 1);
    X509_ALGOR_free(alg);
    TS_MSG_IMPRINT_free(imprint);
    cs::BioPtr req_bio(BIO_new(BIO_s_mem()));
    i2d_TS_REQ_bio(req_bio.get(), req);
    TS_REQ_free(req);

    TS_RESP_CTX* ctx = TS_RESP_CTX_new();
    g_tsa_time = *o.tsa_time;
    ASN1_OBJECT* policy = OBJ_txt2obj("1.3.6.1.4.1.4146.2.3", 1);  // any policy identifier will do offline
    TS_RESP_CTX_set_signer_cert(ctx, tsa.front().get());
    TS_RESP_CTX_set_signer_key(ctx, key.get());
    TS_RESP_CTX_set_def_policy(ctx, policy);
    TS_RESP_CTX_add_md(ctx, EVP_sha256());
    TS_RESP_CTX_set_serial_cb(ctx, tsa_serial, nullptr);
    TS_RESP_CTX_set_time_cb(ctx, tsa_clock, nullptr);
    ASN1_OBJECT_free(policy);
    cs::X509StackPtr chain(sk_X509_new_null());
    for (auto& c : read_pem_certificates(o.tsa_chain.empty() ? o.tsa_cert : o.tsa_chain)) {
        sk_X509_push(chain.get(), c.release());
    }
    TS_RESP_CTX_set_certs(ctx, chain.get());
    TS_RESP* resp = TS_RESP_create_response(ctx, req_bio.get());
    TS_RESP_CTX_free(ctx);
    std::optional<std::vector<std::uint8_t>> out;
    if (resp != nullptr && TS_RESP_get_token(resp) != nullptr) {
        const int len = i2d_PKCS7(TS_RESP_get_token(resp), nullptr);
        if (len > 0) {
            std::vector<std::uint8_t> der(static_cast<std::size_t>(len));
            unsigned char* p = der.data();
            i2d_PKCS7(TS_RESP_get_token(resp), &p);
            out = std::move(der);
        }
    }
    TS_RESP_free(resp);
    return out;
}

int run_sign(const std::vector<std::string>& args) {
    SignOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string* target = a == "--cert" ? &o.cert : a == "--key" ? &o.key : a == "--chain" ? &o.chain
                              : a == "--out" ? &o.out : a == "--tsa-cert" ? &o.tsa_cert : a == "--tsa-key" ? &o.tsa_key
                              : a == "--tsa-chain" ? &o.tsa_chain : nullptr;
        if (target && i + 1 < args.size()) {
            *target = args[++i];
        } else if (a == "--tsa-time" && i + 1 < args.size()) {
            o.tsa_time = std::atoll(args[++i].c_str());
        } else if (!a.empty() && a[0] != '-' && o.file.empty()) {
            o.file = a;
        } else {
            std::fprintf(stderr, "rkctl sign-file: unexpected argument '%s'\n", a.c_str());
            return kExitUsage;
        }
    }
    const bool tsa = !o.tsa_cert.empty() || !o.tsa_key.empty() || o.tsa_time;
    if (o.file.empty() || o.cert.empty() || o.key.empty() ||
        (tsa && (o.tsa_cert.empty() || o.tsa_key.empty() || !o.tsa_time))) {
        std::fprintf(stderr, "rkctl sign-file: needs FILE, --cert and --key (and all of --tsa-cert, --tsa-key, --tsa-time)\n");
        return kExitUsage;
    }
    const auto content = read_file(o.file);
    if (!content) {
        std::fprintf(stderr, "rkctl sign-file: cannot read '%s'\n", o.file.c_str());
        return kExitUsage;
    }
    const auto kind = cs::detect_kind(*content);
    if (kind != cs::SignatureKind::kUnknown) {
        std::fprintf(stderr, "rkctl sign-file: '%s' is a %s file; %s\n", o.file.c_str(), cs::to_string(kind),
                     kind == cs::SignatureKind::kAppended ? "it is signed already"
                                                          : "sign it with an Authenticode tool (osslsigncode)");
        return kExitUsage;
    }
    const auto certs = read_pem_certificates(o.cert);
    cs::BioPtr key_bio(BIO_new_file(o.key.c_str(), "r"));
    cs::EvpPkeyPtr key(key_bio ? PEM_read_bio_PrivateKey(key_bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (certs.empty() || !key) {
        std::fprintf(stderr, "rkctl sign-file: cannot read the certificate or key\n");
        return kExitUsage;
    }
    cs::X509StackPtr chain(sk_X509_new_null());
    if (!o.chain.empty()) {
        for (auto& c : read_pem_certificates(o.chain)) {
            if (X509_cmp(c.get(), certs.front().get()) != 0) {
                sk_X509_push(chain.get(), c.release());
            }
        }
    }
    cs::BioPtr data(BIO_new_mem_buf(content->data(), static_cast<int>(content->size())));
    CMS_ContentInfo* cms = CMS_sign(certs.front().get(), key.get(), chain.get(), data.get(),
                                    CMS_DETACHED | CMS_BINARY | CMS_NOATTR | CMS_NOSMIMECAP);
    if (cms == nullptr) {
        std::fprintf(stderr, "rkctl sign-file: signing failed\n");
        return kExitFailure;
    }
    if (tsa) {
        CMS_SignerInfo* si = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms), 0);
        const auto token = make_timestamp(o, CMS_SignerInfo_get0_signature(si));
        ASN1_OBJECT* attr = OBJ_txt2obj(std::string(cs::oid::kRfc3161Timestamp).c_str(), 1);
        const bool added = token && CMS_unsigned_add1_attr_by_OBJ(si, attr, V_ASN1_SEQUENCE, token->data(),
                                                                  static_cast<int>(token->size())) == 1;
        ASN1_OBJECT_free(attr);
        if (!added) {
            CMS_ContentInfo_free(cms);
            std::fprintf(stderr, "rkctl sign-file: timestamping failed\n");
            return kExitFailure;
        }
    }
    unsigned char* der = nullptr;
    const int der_len = i2d_CMS_ContentInfo(cms, &der);
    CMS_ContentInfo_free(cms);
    if (der_len <= 0) {
        std::fprintf(stderr, "rkctl sign-file: encoding failed\n");
        return kExitFailure;
    }
    std::vector<std::uint8_t> out = *content;
    out.insert(out.end(), der, der + der_len);
    OPENSSL_free(der);
    const auto info = cs::appended::make_info(static_cast<std::uint32_t>(der_len));
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), cs::appended::kMarker.begin(), cs::appended::kMarker.end());
    const std::string target = o.out.empty() ? o.file : o.out;
    if (!write_file(target, out)) {
        std::fprintf(stderr, "rkctl sign-file: cannot write '%s'\n", target.c_str());
        return kExitUsage;
    }
    std::printf("signed %s -> %s (%d-byte signature)\n", o.file.c_str(), target.c_str(), der_len);
    return kExitOk;
}

const CommandRegistrar kVerify(
    {"verify-file", "verify a file's code signature (PE, CAB or appended)",
     "usage: rkctl verify-file FILE [--publisher NAME]... [--pinned-root CERT.pem]...\n\n"
     "Prints the signature found in FILE (kind, signers and their names, signing time,\n"
     "timestamps, chain with SHA-1 and SHA-256 hashes, whether the root is pinned) and\n"
     "the verdict. --publisher and --pinned-root replace the profile's accepted names\n"
     "and pinned roots. Exit code 0 accepted, 1 rejected, 2 usage or file error.\n",
     run_verify});

const CommandRegistrar kSign(
    {"sign-file", "sign a file with an appended PKCS #7 signature",
     "usage: rkctl sign-file FILE --cert CERT.pem --key KEY.pem [--chain CHAIN.pem] [--out OUT]\n"
     "                       [--tsa-cert TSA.pem --tsa-key TSAKEY.pem [--tsa-chain TSACHAIN.pem] --tsa-time UNIXTIME]\n\n"
     "Appends a detached PKCS #7 signature in the Linux module-signing layout: the\n"
     "DER SignedData, a 12-byte info block and \"~Module signature appended~\\n\".\n"
     "--chain adds the certificates above the signer (include the root: verifiers\n"
     "take it from the signature and trust it only when its thumbprint is pinned).\n"
     "The --tsa options add an RFC 3161 timestamp (1.3.6.1.4.1.311.3.3.1) made\n"
     "offline with the given authority and time. PE and CAB files need Authenticode\n"
     "and are refused. Writes FILE in place unless --out is given.\n",
     run_sign});

}  // namespace
}  // namespace rk::ctl
