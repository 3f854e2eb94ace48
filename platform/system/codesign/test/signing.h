// Signing at test time with the repository's test PKI (testdata/codesign/pki):
// Authenticode for PE and CAB files through osslsigncode, appended PKCS #7
// signatures (docs/codesign.md) for everything else through openssl.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace rk::sys::codesign::test {

// `leaf` names a key pair of the PKI: "corvane" (accepted by the development
// profile), "foreign", "unpinned", ...
inline bool authenticode_sign(const std::filesystem::path& pki, const std::filesystem::path& in,
                              const std::filesystem::path& out, const std::string& leaf = "corvane") {
    std::filesystem::remove(out);
    const std::string command = "osslsigncode sign -certs '" + (pki / (leaf + "-chain.pem")).native() + "' -key '" +
                                (pki / (leaf + ".key.pem")).native() + "' -h sha256 -in '" + in.native() +
                                "' -out '" + out.native() + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// `content` followed by a detached signature of it, the info block and the
// marker.
inline std::string append_signature(const std::filesystem::path& pki, const std::string& content,
                                    const std::filesystem::path& scratch, const std::string& leaf = "corvane") {
    std::filesystem::create_directories(scratch);
    std::ofstream(scratch / "content", std::ios::binary) << content;
    const std::string command = "openssl cms -sign -binary -noattr -nosmimecap -md sha256 -outform DER -in '" +
                                (scratch / "content").native() + "' -out '" + (scratch / "sig.der").native() +
                                "' -signer '" + (pki / (leaf + ".crt")).native() + "' -inkey '" +
                                (pki / (leaf + ".key.pem")).native() + "' -certfile '" +
                                (pki / "pinned-cas.pem").native() + "'";
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    std::stringstream sig;
    sig << std::ifstream(scratch / "sig.der", std::ios::binary).rdbuf();
    const std::string der = sig.str();
    std::string info(12, '\0');
    info[2] = 2;  // id_type PKCS #7
    for (int i = 0; i < 4; ++i) {
        info[8 + i] = static_cast<char>((der.size() >> (24 - 8 * i)) & 0xFF);
    }
    return content + der + info + "~Module signature appended~\n";
}

}  // namespace rk::sys::codesign::test
