// Cross-check: for every fixture, the verdict on signature integrity and
// chain agrees with osslsigncode (PE, CAB) or openssl cms (appended) given
// the same trust anchor. Publisher names are not part of what those tools
// check, so both fixture publishers are accepted here.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "platform/system/codesign/appended_layout.h"
#include "platform/system/codesign/code_signature.h"
#include "platform/system/codesign/test/fixtures.h"

namespace rk::sys::codesign {
namespace {

bool tool_available(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool run_ok(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

TrustPolicy crypto_policy() {
    TrustPolicy p = test::profile_policy();
    p.publisher_names = {L"Corvane Development", L"Foreign Software Ltd"};
    p.now.reset();
    return p;
}

// ctest runs the fixtures in parallel processes: every scratch file carries
// the fixture's name so two runs never share one.
std::filesystem::path scratch(const std::string& fixture, const char* suffix) {
    return std::filesystem::path(::testing::TempDir()) / ("codesign-cross-" + fixture + suffix);
}

class CrossCheck : public ::testing::TestWithParam<const char*> {};

TEST_P(CrossCheck, AgreesWithReferenceTool) {
    const auto file = test::fixture(GetParam());
    const auto root = test::testdata_dir() / "pki" / "pinned-root.crt";
    const bool ours = make_code_signature_verifier()->verify_file(file, crypto_policy()).accepted;
    const auto bytes = test::read_bytes(file);
    bool theirs = false;
    // A signing chain tolerates expiry and nothing else; the tools tolerate
    // nothing, so they judge at a time inside every fixture certificate's
    // validity.
    const std::string at_time = " -attime " + std::to_string(test::kTimestamp);
    if (detect_kind(bytes) == SignatureKind::kAppended || detect_kind(bytes) == SignatureKind::kUnknown) {
        if (!tool_available("openssl")) GTEST_SKIP() << "openssl missing";
        const auto layout = appended::parse_layout(bytes);
        if (layout.status == LayoutStatus::kSigned) {
            const auto sig = scratch(GetParam(), ".sig");
            const auto content = scratch(GetParam(), ".content");
            test::write_bytes(sig, {layout.signature.begin(), layout.signature.end()});
            test::write_bytes(content, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(layout.hashed[0].length)});
            theirs = run_ok("openssl cms -verify -binary -inform DER -purpose any -in " + quoted(sig) + " -content " +
                            quoted(content) + " -CAfile " + quoted(root) + " -out /dev/null" + at_time);
        }
    } else {
        if (!tool_available("osslsigncode")) GTEST_SKIP() << "osslsigncode missing";
        theirs = run_ok("osslsigncode verify -CAfile " + quoted(root) + " -TSA-CAfile " + quoted(root) + " -time " +
                        std::to_string(test::kTimestamp) + " -in " + quoted(file));
    }
    EXPECT_EQ(ours, theirs);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, CrossCheck,
    ::testing::Values("pe-signed.exe", "pe32-signed.exe", "pe-signed-nots.exe", "pe-sha1.exe", "pe-expired-ts.exe",
                      "pe-expired-nots.exe", "pe-foreign.exe", "pe-unpinned.exe", "pe-nested.exe",
                      "pe-foreign-nested-foreign.exe", "pe-ecdsa.exe", "pe-unsigned.exe", "pe32-unsigned.exe",
                      "cab-signed.cab", "cab-signed-nots.cab", "cab-expired-ts.cab", "cab-expired-nots.cab",
                      "cab-foreign.cab", "cab-unpinned.cab", "cab-nested.cab", "cab-foreign-nested-foreign.cab",
                      "cab-unsigned.cab", "elf-signed", "elf-signed-ts", "elf-expired-ts", "elf-expired-nots", "elf-foreign", "elf-unpinned",
                      "elf-second-signer", "elf-ecdsa", "elf-unsigned"),
    [](const auto& param_info) {
        std::string name = param_info.param;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

}  // namespace
}  // namespace rk::sys::codesign
