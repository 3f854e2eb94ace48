#include "platform/system/codesign/code_signature.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/system/codesign/appended_layout.h"
#include "platform/system/codesign/test/fixtures.h"

namespace rk::sys::codesign {
namespace {

using test::fixture;
using test::profile_policy;

struct FixtureCase {
    const char* file;
    SignatureKind kind;
    bool accepted;
    bool ecdsa = false;
};

// The same edge cases for each container: accepted publisher under the
// pinned root, expired leaf with and without a valid timestamp (both
// accepted: only expiry is tolerated in a signing chain), a foreign
// publisher, an accepted name under an unpinned root, a foreign primary
// signer with an accepted nested (or second) signer, and no signature.
const FixtureCase kFixtures[] = {
    {"pe-signed.exe", SignatureKind::kPe, true},
    {"pe32-signed.exe", SignatureKind::kPe, true},
    {"pe-signed-nots.exe", SignatureKind::kPe, true},
    {"pe-sha1.exe", SignatureKind::kPe, true},
    {"pe-expired-ts.exe", SignatureKind::kPe, true},
    {"pe-expired-nots.exe", SignatureKind::kPe, true},
    {"pe-foreign.exe", SignatureKind::kPe, false},
    {"pe-unpinned.exe", SignatureKind::kPe, false},
    {"pe-nested.exe", SignatureKind::kPe, true},
    {"pe-foreign-nested-foreign.exe", SignatureKind::kPe, false},
    {"pe-ecdsa.exe", SignatureKind::kPe, true, true},
    {"pe-unsigned.exe", SignatureKind::kPe, false},
    {"pe32-unsigned.exe", SignatureKind::kPe, false},
    {"cab-signed.cab", SignatureKind::kCab, true},
    {"cab-signed-nots.cab", SignatureKind::kCab, true},
    {"cab-expired-ts.cab", SignatureKind::kCab, true},
    {"cab-expired-nots.cab", SignatureKind::kCab, true},
    {"cab-foreign.cab", SignatureKind::kCab, false},
    {"cab-unpinned.cab", SignatureKind::kCab, false},
    {"cab-nested.cab", SignatureKind::kCab, true},
    {"cab-foreign-nested-foreign.cab", SignatureKind::kCab, false},
    {"cab-unsigned.cab", SignatureKind::kCab, false},
    {"elf-signed", SignatureKind::kAppended, true},
    {"elf-signed-ts", SignatureKind::kAppended, true},
    {"elf-expired-ts", SignatureKind::kAppended, true},
    {"elf-expired-nots", SignatureKind::kAppended, true},
    {"elf-foreign", SignatureKind::kAppended, false},
    {"elf-unpinned", SignatureKind::kAppended, false},
    {"elf-second-signer", SignatureKind::kAppended, true},
    {"elf-ecdsa", SignatureKind::kAppended, true, true},
    {"elf-unsigned", SignatureKind::kUnknown, false},
};

class FixtureVerdict : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureVerdict, MatchesExpectation) {
    const FixtureCase& c = GetParam();
    const auto report = make_code_signature_verifier()->verify_file(fixture(c.file), profile_policy());
    EXPECT_EQ(report.kind, c.kind) << to_string(report.kind);
    EXPECT_EQ(report.accepted, c.accepted) << report.error;
    EXPECT_EQ(report.ecdsa_in_chain, c.ecdsa);
}

std::string fixture_test_name(const ::testing::TestParamInfo<FixtureCase>& info) {
    std::string name = info.param.file;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(All, FixtureVerdict, ::testing::ValuesIn(kFixtures), fixture_test_name);

// Cross-check: for every fixture, the verdict on signature integrity and
// chain agrees with osslsigncode (PE, CAB) or openssl cms (appended) given
// the same trust anchor. Publisher names are not part of what those tools
// check, so both fixture publishers are accepted here.
bool tool_available(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool run_ok(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// ctest runs the fixtures in parallel processes: every scratch file carries
// the fixture's name so two runs never share one.
std::filesystem::path scratch(const std::string& fixture, const char* suffix) {
    return std::filesystem::path(::testing::TempDir()) / ("codesign-cross-" + fixture + suffix);
}

class CrossCheck : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(CrossCheck, AgreesWithReferenceTool) {
    const std::string name = GetParam().file;
    const auto file = fixture(name);
    const auto root = test::testdata_dir() / "pki" / "pinned-root.crt";
    TrustPolicy policy = profile_policy();
    policy.publisher_names = {L"Corvane Development", L"Foreign Software Ltd"};
    policy.now.reset();
    const bool ours = make_code_signature_verifier()->verify_file(file, policy).accepted;
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
            const auto sig = scratch(name, ".sig");
            const auto content = scratch(name, ".content");
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

INSTANTIATE_TEST_SUITE_P(Fixtures, CrossCheck, ::testing::ValuesIn(kFixtures), fixture_test_name);

TEST(CodeSignatureReport, DescribesSignerTimestampAndChain) {
    const auto report = make_code_signature_verifier()->verify_file(fixture("pe-signed.exe"), profile_policy());
    ASSERT_TRUE(report.signature.has_value());
    const auto& outer = *report.signature;
    EXPECT_EQ(outer.digest_algorithm, "SHA256");
    EXPECT_TRUE(outer.digest_matches);
    ASSERT_EQ(outer.signers.size(), 1u);
    const auto& signer = outer.signers[0];
    ASSERT_TRUE(signer.certificate.has_value());
    EXPECT_EQ(signer.certificate->display_name, L"Corvane Development");
    ASSERT_EQ(signer.timestamps.size(), 1u);
    EXPECT_EQ(signer.timestamps[0].kind, TimestampKind::kRfc3161);
    EXPECT_TRUE(signer.timestamps[0].verified) << signer.timestamps[0].error;
    EXPECT_EQ(signer.timestamps[0].time, test::kTimestamp);
    EXPECT_EQ(signer.signing_time, test::kTimestamp);
    EXPECT_EQ(signer.chain.evaluated_at, test::kTimestamp);
    ASSERT_EQ(signer.chain.certificates.size(), 3u);
    EXPECT_EQ(signer.chain.certificates.back().sha1, profile::kPinnedRootSha1[0]);
    EXPECT_TRUE(signer.chain.root_pinned);
    EXPECT_FALSE(signer.chain.ecdsa);
}

// A signing chain is judged at the verified timestamp, else now; expiry at
// that time is tolerated and reported, every other chain error still refuses.
TEST(CodeSignatureReport, ExpiryIsTheOnlyToleratedChainError) {
    struct Case {
        const char* file;
        std::time_t now;
        bool pinned;
        bool accepted;
        std::time_t evaluated_at;
        bool expired;
    };
    const std::time_t before_validity = 1700000000;  // 2023-11-14, before every certificate
    const Case cases[] = {
        {"pe-expired-ts.exe", test::kNow, true, true, test::kTimestamp, false},
        {"pe-expired-nots.exe", test::kNow, true, true, test::kNow, true},
        {"pe-expired-nots.exe", test::kTimestamp, true, true, test::kTimestamp, false},
        {"pe-expired-nots.exe", test::kNow, false, false, test::kNow, true},  // root not pinned
        {"pe-signed-nots.exe", before_validity, true, false, before_validity, false},  // not yet valid
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " at " + std::to_string(c.now));
        auto policy = profile_policy();
        policy.now = c.now;
        if (!c.pinned) policy.pinned_roots.clear();
        const auto report = make_code_signature_verifier()->verify_file(fixture(c.file), policy);
        EXPECT_EQ(report.accepted, c.accepted) << report.error;
        ASSERT_TRUE(report.signature.has_value());
        const auto& chain = report.signature->signers.at(0).chain;
        EXPECT_EQ(chain.evaluated_at, c.evaluated_at);
        EXPECT_EQ(chain.expired, c.expired);
    }
}

TEST(CodeSignatureReport, NestedSignatureAcceptsAfterForeignPrimary) {
    const auto report = make_code_signature_verifier()->verify_file(fixture("pe-nested.exe"), profile_policy());
    ASSERT_TRUE(report.accepted);
    const auto& primary = report.signature->signers.at(0);
    EXPECT_EQ(primary.certificate->display_name, L"Foreign Software Ltd");
    EXPECT_EQ(primary.failure, "publisher name not accepted");
    ASSERT_EQ(primary.nested.size(), 1u);
    EXPECT_TRUE(primary.nested[0].signers.at(0).accepted);
}

TEST(CodeSignatureReport, UnpinnedRootBuildsButIsNotTrusted) {
    const auto report = make_code_signature_verifier()->verify_file(fixture("pe-unpinned.exe"), profile_policy());
    const auto& signer = report.signature->signers.at(0);
    EXPECT_TRUE(signer.name_accepted);
    EXPECT_TRUE(signer.chain.built);
    EXPECT_FALSE(signer.chain.root_pinned);
    EXPECT_EQ(signer.failure, "root certificate is not pinned");
}

TEST(CodeSignatureReport, ExplicitNamesAndPinsReplaceTheProfile) {
    const auto unpinned_root = test::read_bytes(test::testdata_dir() / "pki" / "unpinned-root.crt");
    TrustPolicy policy = profile_policy();
    policy.publisher_names = {L"Foreign Software Ltd"};
    EXPECT_TRUE(make_code_signature_verifier()->verify_file(fixture("pe-foreign.exe"), policy).accepted);
    EXPECT_FALSE(make_code_signature_verifier()->verify_file(fixture("pe-signed.exe"), policy).accepted);
    // Names are compared exactly.
    policy.publisher_names = {L"corvane development", L"Corvane Development "};
    EXPECT_FALSE(make_code_signature_verifier()->verify_file(fixture("pe-signed.exe"), policy).accepted);
    policy.publisher_names = {L"Corvane Development"};
    policy.pinned_roots.clear();
    EXPECT_FALSE(make_code_signature_verifier()->verify_file(fixture("pe-signed.exe"), policy).accepted);
}

TEST(CodeSignatureReport, FilesThatCannotBeReadAreAnErrorNotAVerdict) {
    const auto verifier = make_code_signature_verifier();
    const auto missing = verifier->verify_file(fixture("no-such-file"), profile_policy());
    EXPECT_FALSE(missing.accepted);
    EXPECT_FALSE(missing.error.empty());

    // A link at the name is not followed, even to a signed file.
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / ("rk-cs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    std::filesystem::create_symlink(fixture("pe-signed.exe"), scratch / "link.exe");
    EXPECT_EQ(verifier->verify_file(scratch / "link.exe", profile_policy()).error,
              "cannot open: the name is a symbolic link");

    // Cut short while it is verified: a clean failure, not SIGBUS.
    for (const char* name : {"pe-signed.exe", "cab-signed.cab", "elf-signed"}) {
        std::filesystem::copy_file(fixture(name), scratch / name);
        File file;
        ASSERT_EQ(File::open_host(scratch / name, {}, file), 0u);
        FileView view;
        ASSERT_EQ(FileView::open(file, view), 0u);
        std::filesystem::resize_file(scratch / name, 1000);
        const auto report = verifier->verify_view(view, profile_policy());
        EXPECT_FALSE(report.accepted) << name;
        EXPECT_EQ(report.error, "file changed while it was read") << name;
    }
    std::filesystem::remove_all(scratch);
}

TEST(VerifyPublisherSignature, TwoPassFormAcceptsEcdsaChains) {
    const std::vector<std::wstring> names(profile::kPublisherNames.begin(), profile::kPublisherNames.end());
    const std::vector<Sha1Thumbprint> pins(profile::kPinnedRootSha1.begin(), profile::kPinnedRootSha1.end());
    EXPECT_TRUE(verify_publisher_signature(fixture("pe-ecdsa.exe"), names, pins));
    EXPECT_TRUE(verify_publisher_signature(fixture("cab-signed.cab"), names, pins));
    EXPECT_FALSE(verify_publisher_signature(fixture("pe-unpinned.exe"), names, pins));
    EXPECT_FALSE(verify_publisher_signature(fixture("pe-signed.exe"), names, {}));
}

// Changes to a signed file and whether the signature still holds.
struct Mutation {
    const char* name;
    const char* file;
    std::function<void(std::vector<std::uint8_t>&)> change;
    bool accepted;
};

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
void put_le32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::size_t pe_optional(const std::vector<std::uint8_t>& b) { return le32(b, 0x3C) + 24; }
std::size_t pe_security_dir(const std::vector<std::uint8_t>& b) {
    const bool plus = b[pe_optional(b)] == 0x0B && b[pe_optional(b) + 1] == 0x02;
    return pe_optional(b) + (plus ? 112 : 96) + 32;
}

const Mutation kMutations[] = {
    {"pe_section_byte", "pe-signed.exe", [](auto& b) { b[0x405] ^= 1; }, false},
    {"pe_overlay_byte", "pe-signed.exe", [](auto& b) { b[le32(b, pe_security_dir(b)) - 3] ^= 1; }, false},
    {"pe_dos_stub_byte", "pe-signed.exe", [](auto& b) { b[0x10] ^= 1; }, false},
    {"pe_checksum", "pe-signed.exe", [](auto& b) { put_le32(b, pe_optional(b) + 64, 0x12345678); }, true},
    {"pe32_checksum", "pe32-signed.exe", [](auto& b) { put_le32(b, pe_optional(b) + 64, 0xFFFFFFFF); }, true},
    {"pe32_section_byte", "pe32-signed.exe", [](auto& b) { b[0x500] ^= 0x80; }, false},
    // The last DER byte belongs to the timestamp's signature: a broken
    // timestamp leaves the signature judged now, which it passes.
    {"pe_timestamp_signature_byte", "pe-signed.exe",
     [](auto& b) {
         // The last byte of the DER blob sits before up to 7 padding zeros.
         std::size_t i = b.size() - 1;
         while (b[i] == 0) --i;
         b[i] ^= 1;
     },
     true},
    {"pe_appended_byte", "pe-signed.exe", [](auto& b) { b.push_back(0); }, false},
    {"pe_grown_table", "pe-signed.exe",
     [](auto& b) {
         b.insert(b.end(), 8, 0);
         put_le32(b, pe_security_dir(b) + 4, le32(b, pe_security_dir(b) + 4) + 8);
     },
     false},
    {"pe_table_into_section", "pe-signed.exe", [](auto& b) { put_le32(b, pe_security_dir(b), 0x400); }, false},
    {"pe_huge_table", "pe-signed.exe", [](auto& b) { put_le32(b, pe_security_dir(b) + 4, 0xFFFFFFF8); }, false},
    {"pe_nested_section_byte", "pe-nested.exe", [](auto& b) { b[0x600] ^= 1; }, false},
    {"cab_data_byte", "cab-signed.cab", [](auto& b) { b[le32(b, 16) + 2] ^= 1; }, false},
    {"cab_icabinet_unhashed", "cab-signed.cab", [](auto& b) { b[34] ^= 1; }, true},
    {"cab_set_id", "cab-signed.cab", [](auto& b) { b[32] ^= 1; }, false},
    {"cab_reserve_lies", "cab-signed.cab", [](auto& b) { put_le32(b, 44, le32(b, 44) + 1); }, false},
    {"cab_reserve_huge", "cab-signed.cab", [](auto& b) { put_le32(b, 48, 0xFFFFFFF0); }, false},
    {"cab_files_offset", "cab-signed.cab", [](auto& b) { put_le32(b, 16, le32(b, 16) + 8); }, false},
    {"elf_timestamp_signature_byte", "elf-signed-ts", [](auto& b) { b[b.size() - 28 - 12 - 1] ^= 1; }, true},
    {"elf_content_byte", "elf-signed", [](auto& b) { b[20] ^= 1; }, false},
    {"elf_absurd_length", "elf-signed", [](auto& b) { put_le32(b, b.size() - 28 - 4, 0xFFFFFFFF); }, false},
    {"elf_length_short", "elf-signed", [](auto& b) { b[b.size() - 28 - 1] -= 1; }, false},
    {"elf_info_field", "elf-signed", [](auto& b) { b[b.size() - 28 - 12] = 1; }, false},
    {"elf_marker", "elf-signed", [](auto& b) { b[b.size() - 2] = '!'; }, false},
    {"elf_second_signer_content", "elf-second-signer", [](auto& b) { b[0] ^= 1; }, false},
};

class MutatedFile : public ::testing::TestWithParam<Mutation> {};

TEST_P(MutatedFile, VerdictAfterChange) {
    const Mutation& m = GetParam();
    auto bytes = test::read_bytes(fixture(m.file));
    ASSERT_FALSE(bytes.empty());
    m.change(bytes);
    const auto report = verify_signature_bytes(bytes, profile_policy());
    EXPECT_EQ(report.accepted, m.accepted) << report.error;
}

INSTANTIATE_TEST_SUITE_P(All, MutatedFile, ::testing::ValuesIn(kMutations),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Every prefix of a signed file is refused without a crash (the sanitizer
// build turns any overread into a failure).
TEST(HostileInput, TruncatedFilesAreRejected) {
    for (const char* name : {"pe-signed.exe", "cab-signed.cab", "elf-signed"}) {
        const auto bytes = test::read_bytes(fixture(name));
        for (std::size_t len = 0; len < bytes.size(); len += (len < 1024 ? 1 : 97)) {
            const auto report = verify_signature_bytes(std::span(bytes.data(), len), profile_policy());
            ASSERT_FALSE(report.accepted) << name << " cut at " << len;
        }
    }
}

TEST(HostileInput, HeaderFieldsWithExtremeValues) {
    const auto original = test::read_bytes(fixture("pe-signed.exe"));
    const std::size_t opt = pe_optional(original);
    // e_lfanew, section count, optional header size, directory count.
    const std::vector<std::pair<std::size_t, std::size_t>> fields = {
        {0x3C, 4}, {opt - 20 + 2, 2}, {opt - 20 + 16, 2}, {opt + 108, 4}, {opt + 60, 4}};
    for (const auto& [at, width] : fields) {
        for (const std::uint32_t value : {0u, 1u, 0x7FFFu, 0xFFFFu, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            auto bytes = original;
            for (std::size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
            EXPECT_FALSE(verify_signature_bytes(bytes, profile_policy()).accepted) << at << "=" << value;
        }
    }
}

}  // namespace
}  // namespace rk::sys::codesign
