#include "trust/test/content_maker.h"

#include <cstdlib>
#include <fstream>

#include "platform/system/test/read_file.h"

namespace rk::trust::test {

namespace fs = std::filesystem;
using sys::test::read_file;

namespace {

const fs::path kPki = fs::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "pki";

const char* leaf(Signer signer) { return signer == Signer::kForeign ? "foreign" : "corvane"; }

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string quote(const fs::path& p) { return "'" + p.string() + "'"; }

}  // namespace

std::string content_json(std::uint64_t version, const std::vector<ContentCert>& certs) {
    std::string text = "{\"version\":" + std::to_string(version) + ",\"certs\":[";
    for (std::size_t i = 0; i < certs.size(); ++i) {
        text += (i ? "," : "") + std::string("{\"hash\":\"") + certs[i].hash + "\",\"name\":\"" + certs[i].name +
                "\",\"type\":" + std::to_string(certs[i].type) + "}";
    }
    return text + "]}";
}

std::string make_cabinet(const fs::path& folder, const std::vector<std::pair<std::string, std::string>>& files,
                         Signer signer) {
    const fs::path work = folder / ".work";
    fs::create_directories(work);
    std::string names;
    for (const auto& [name, bytes] : files) {
        std::ofstream(work / name, std::ios::binary) << bytes;
        names += " " + quote(name);
    }
    const fs::path cab = folder / "rk-av-trust.cab";
    const fs::path plain = signer == Signer::kNone ? cab : work / "unsigned.cab";
    if (run("cd " + quote(work) + " && gcab -c -z " + quote(plain) + names) != 0) {
        return "gcab failed";
    }
    if (signer != Signer::kNone &&
        run("osslsigncode sign -certs " + quote(kPki / (std::string(leaf(signer)) + "-chain.pem")) + " -key " +
            quote(kPki / (std::string(leaf(signer)) + ".key.pem")) + " -h sha256 -in " + quote(plain) + " -out " +
            quote(cab)) != 0) {
        return "osslsigncode failed";
    }
    fs::remove_all(work);
    return {};
}

std::string append_signature(const fs::path& in, const fs::path& out, Signer signer) {
    const fs::path der = out.string() + ".sig";
    const fs::path cas = out.string() + ".cas";
    std::ofstream(cas) << read_file(kPki / "intermediate.crt") << read_file(kPki / "pinned-root.crt");
    if (run("openssl cms -sign -binary -noattr -nosmimecap -md sha256 -outform DER -in " + quote(in) + " -out " +
            quote(der) + " -signer " + quote(kPki / (std::string(leaf(signer)) + ".crt")) + " -inkey " +
            quote(kPki / (std::string(leaf(signer)) + ".key.pem")) + " -certfile " + quote(cas)) != 0) {
        return "openssl cms failed";
    }
    const std::string sig = read_file(der);
    std::string info(12, '\0');
    info[2] = 2;  // id_type PKCS #7
    for (int i = 0; i < 4; ++i) {
        info[8 + i] = static_cast<char>((sig.size() >> (24 - 8 * i)) & 0xFF);
    }
    std::ofstream(out, std::ios::binary) << read_file(in) << sig << info << "~Module signature appended~\n";
    fs::remove(der);
    fs::remove(cas);
    return {};
}

}  // namespace rk::trust::test
