#include "platform/system/codesign/certificate_info.h"

#include <openssl/evp.h>
#include <openssl/objects.h>

#include "platform/system/codesign/ossl_ptr.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::sys::codesign {
namespace {

std::wstring name_entry(const X509_NAME* name, int nid) {
    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0) {
        return {};
    }
    const ASN1_STRING* data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
    unsigned char* utf8 = nullptr;
    const int len = ASN1_STRING_to_UTF8(&utf8, data);
    if (len < 0) {
        return {};
    }
    std::wstring out = text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(utf8), len));
    OPENSSL_free(utf8);
    return out;
}

std::wstring one_line(const X509_NAME* name) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB) < 0) {
        return {};
    }
    char* data = nullptr;
    const long len = BIO_get_mem_data(bio.get(), &data);
    return text::utf8_to_wide(std::string_view(data, static_cast<std::size_t>(len)));
}

}  // namespace

std::string oid_text(const ASN1_OBJECT* obj) {
    if (obj == nullptr) {
        return {};
    }
    char buf[128];
    const int len = OBJ_obj2txt(buf, sizeof buf, obj, 1);
    if (len <= 0 || static_cast<std::size_t>(len) >= sizeof buf) {
        return {};  // longer identifiers match nothing we look for
    }
    return std::string(buf, static_cast<std::size_t>(len));
}

std::optional<std::time_t> asn1_time_to_epoch(const ASN1_TIME* t) {
    std::tm tm{};
    if (t == nullptr || ASN1_TIME_to_tm(t, &tm) != 1) {
        return std::nullopt;
    }
    return timegm(&tm);
}

std::string format_utc(std::time_t t) {
    std::tm tm{};
    if (gmtime_r(&t, &tm) == nullptr) {
        return "?";
    }
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return buf;
}

std::vector<const ASN1_TYPE*> attribute_values(const STACK_OF(X509_ATTRIBUTE) * attrs, std::string_view oid,
                                                std::size_t limit) {
    std::vector<const ASN1_TYPE*> out;
    const int n = attrs ? sk_X509_ATTRIBUTE_num(attrs) : 0;
    for (int i = 0; i < n; ++i) {
        X509_ATTRIBUTE* a = sk_X509_ATTRIBUTE_value(attrs, i);
        if (oid_text(X509_ATTRIBUTE_get0_object(a)) != oid) {
            continue;
        }
        const int count = X509_ATTRIBUTE_count(a);
        for (int j = 0; j < count && out.size() < limit; ++j) {
            out.push_back(X509_ATTRIBUTE_get0_type(a, j));
        }
    }
    return out;
}

CertificateInfo describe_certificate(X509* cert) {
    CertificateInfo info;
    const X509_NAME* subject = X509_get_subject_name(cert);
    // Simple display name: the common name, else the organizational unit or
    // organization, as a certificate-viewer would show it.
    for (const int nid : {NID_commonName, NID_organizationalUnitName, NID_organizationName}) {
        info.display_name = name_entry(subject, nid);
        if (!info.display_name.empty()) {
            break;
        }
    }
    info.subject = one_line(subject);
    info.issuer = one_line(X509_get_issuer_name(cert));
    if (const ASN1_INTEGER* serial = X509_get0_serialNumber(cert)) {
        info.serial_hex = text::to_hex(std::span(serial->data, static_cast<std::size_t>(serial->length)));
    }
    unsigned int len = 0;
    X509_digest(cert, EVP_sha1(), info.sha1.data(), &len);
    X509_digest(cert, EVP_sha256(), info.sha256.data(), &len);
    const X509_ALGOR* alg = X509_get0_tbs_sigalg(cert);
    const ASN1_OBJECT* alg_oid = nullptr;
    X509_ALGOR_get0(&alg_oid, nullptr, nullptr, alg);
    info.signature_algorithm = oid_text(alg_oid);
    info.not_before = asn1_time_to_epoch(X509_get0_notBefore(cert)).value_or(0);
    info.not_after = asn1_time_to_epoch(X509_get0_notAfter(cert)).value_or(0);
    info.self_signed = (X509_get_extension_flags(cert) & EXFLAG_SS) != 0;
    const int der_len = i2d_X509(cert, nullptr);
    if (der_len > 0) {
        info.der.resize(static_cast<std::size_t>(der_len));
        unsigned char* p = info.der.data();
        i2d_X509(cert, &p);
    }
    return info;
}

}  // namespace rk::sys::codesign
