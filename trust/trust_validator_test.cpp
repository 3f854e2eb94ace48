// The validator over content folders made by the tests (gcab, osslsigncode,
// the repository's test PKI), the signed fixtures of testdata/codesign, a
// validation library built by the tests, and the framework service on a
// private bus.
#include "trust/trust_validator.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "framework_client/test/framework_service_process.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/paths.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "trust/test/content_maker.h"

namespace rk::trust {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ContentCert;
using test::Signer;

const fs::path kFixtures = fs::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "fixtures";

std::wstring wide(const fs::path& p) { return sys::wide_path(p); }

class TrustValidatorTest : public ::testing::Test {
public:  // the case tables' lambdas build content through the fixture
    void SetUp() override {
        char pattern[] = "/tmp/rk-trust-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        root_ = dir_ / "content";
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::unique_ptr<TrustValidator> validator(std::optional<std::uint32_t> code_integrity = std::nullopt) {
        ValidatorOptions options;
        options.content_root = wide(root_);
        options.refresh_interval = 0ms;
        options.code_integrity_options = code_integrity.value_or(0);
        options.protected_process = false;
        options.framework.bus = {sys::ipc::BusKind::kSession, "unix:path=" + (dir_ / "no-bus").string()};
        options.framework.call_timeout = 5s;
        return std::make_unique<TrustValidator>(options);
    }

    // A version folder whose signed cabinet holds `json` as the content file.
    void content(const std::string& folder, const std::string& json, Signer signer = Signer::kCorvane) {
        fs::create_directories(root_ / folder);
        ASSERT_EQ(test::make_cabinet(root_ / folder, {{"rk-av-trust.bin", json}}, signer), "");
    }

    std::wstring item(const std::string& name) const { return wide(root_) + L"\\" + sys::wide_path(name); }
    std::wstring cab(const std::string& folder) const { return item(folder) + L"\\rk-av-trust.cab"; }
    bool logged(const std::wstring& text) const { return capture_.logger().Contains(text); }

    mutable rk::logging::test::ScopedLogCapture capture_;
    fs::path dir_;
    fs::path root_;
};

// The highest version wins, compared numerically; other names, files and
// links are passed over, each with its line.
TEST_F(TrustValidatorTest, VersionFolderChoice) {
    content("1.0", test::content_json(1, {}));
    content("2.9", test::content_json(9, {}));
    content("2.10", test::content_json(2, {{test::kCorvaneSha1, "Corvane Development", 0}}));
    for (const char* name : {"abc", "3.x", "65536", "1.2.3.4.5", "-1"}) {
        fs::create_directories(root_ / name);
    }
    std::ofstream(root_ / "4") << "a file";
    fs::create_directory_symlink(root_ / "1.0", root_ / "5");

    auto v = validator();
    ValidationResult result;
    ASSERT_FALSE(v->validate_file(wide(kFixtures / "elf-signed"), 0x01, result));
    EXPECT_EQ(result.content_version, 2u);
    EXPECT_EQ(v->content_folder(), item("2.10"));
    EXPECT_TRUE(logged(L"[trust] latest content version folder: '" + item("2.10") + L"'"));
    EXPECT_TRUE(logged(L"[trust] looking for trust content in: '" + wide(root_) + L"'"));
    EXPECT_TRUE(logged(L"[trust] checking content folder: '" + item("abc") + L"'"));
    for (const char* name : {"abc", "3.x", "65536", "1.2.3.4.5", "-1"}) {
        EXPECT_TRUE(logged(L"ignoring folder: '" + item(name) + L"' that is not in the correct format")) << name;
    }
    EXPECT_TRUE(logged(L"[trust] skip non-directory item: '" + item("4") + L"'"));
    EXPECT_TRUE(logged(L"[trust] skip non-directory item: '" + item("5") + L"'"));
    EXPECT_TRUE(logged(L"[trust] validated cab '" + cab("2.10") + L"', result: 13 is, signed_by_corvane: 1"));
    EXPECT_TRUE(logged(L"[trust] read 1 file(s) from '" + cab("2.10") + L"'"));
    EXPECT_TRUE(logged(L"[trust] parsed content version 2 from file 'rk-av-trust.bin' (1/1) in '" + cab("2.10") + L"'"));
}

// Content that is not signed by the maker, damaged or malformed is refused
// with its reason and the built-in list stays (a changed byte under a
// signature is the signature check's own test, MutatedFile).
TEST_F(TrustValidatorTest, ContentRefusals) {
    const std::string good = test::content_json(7, {{test::kCorvaneSha1, "Corvane Development", 0}});
    const struct {
        const char* name;
        std::function<void(TrustValidatorTest&)> make;
        std::vector<std::wstring> lines;  // "%c" stands for the cabinet's path
    } cases[] = {
        {"no folder", [](TrustValidatorTest&) {}, {L"no av-trust version folder found"}},
        {"unsigned", [&](TrustValidatorTest& t) { t.content("1", good, Signer::kNone); },
         {L"[trust] validated cab '%c', result: 0 is not, signed_by_corvane: 0", L"[trust] '%c' not signed by corvane -- continue"}},
        {"foreign", [&](TrustValidatorTest& t) { t.content("1", good, Signer::kForeign); },
         {L"[trust] validated cab '%c', result: 5 is not, signed_by_corvane: 0"}},
        {"not a cabinet",
         [](TrustValidatorTest& t) {
             fs::create_directories(t.root_ / "1");
             ASSERT_EQ(test::append_signature(kFixtures / "elf-unsigned", t.root_ / "1" / "rk-av-trust.cab",
                                              Signer::kCorvane), "");
         },
         {L"[trust] validated cab '%c', result: 13 is, signed_by_corvane: 1", L" failed to read cab '%c'"}},
        {"other file only",
         [](TrustValidatorTest& t) {
             fs::create_directories(t.root_ / "1");
             ASSERT_EQ(test::make_cabinet(t.root_ / "1", {{"readme.txt", "x"}}, Signer::kCorvane), "");
         },
         {L"[trust] ignore file 'readme.txt' (1/1) in '%c'", L"didn't find any content from '%c'",
          L"[trust] didn't find content in '%c' -- continue"}},
        {"malformed", [](TrustValidatorTest& t) { t.content("1", "{\"version\":7,"); },
         {L"failed to parse content from file 'rk-av-trust.bin' (1/1) in '%c'"}},
        // The parser's reason is logged (its own table holds every reason).
        {"type 3", [](TrustValidatorTest& t) { t.content("1", test::content_json(7, {{test::kCorvaneSha1, "x", 3}})); },
         {L"invalid type: 3"}},
        {"huge",
         [](TrustValidatorTest& t) {
             t.content("1", R"({"version":7,"certs":[],"pad":")" + std::string(5u << 20, ' ') + "\"}");
         },
         {L" failed to read cab '%c'"}},
    };
    for (const auto& c : cases) {
        fs::remove_all(root_);
        fs::create_directories(root_);
        capture_.logger().Clear();
        c.make(*this);
        auto v = validator();
        ValidationResult result;
        ASSERT_FALSE(v->validate_file(wide(kFixtures / "elf-signed"), 0x01, result)) << c.name;
        EXPECT_EQ(result.content_version, 0u) << c.name;
        EXPECT_EQ(result.flags, 13u) << c.name;  // the built-in list still knows the maker
        for (std::wstring line : c.lines) {
            if (const auto at = line.find(L"%c"); at != std::wstring::npos) {
                line.replace(at, 2, cab("1"));
            }
            EXPECT_TRUE(logged(line)) << c.name << ": " << text::wide_to_utf8(line);
        }
    }
}

// Content replaces the list only when its version is above the current one
// (the cabinets are checked under the current list, so both list the
// development certificate).
TEST_F(TrustValidatorTest, NewerVersionRule) {
    content("1", test::content_json(5, {{test::kForeignSha1, "Foreign as maker", 0},
                                        {test::kCorvaneSha1, "Corvane Development", 0}}));
    auto v = validator();
    ValidationResult result;
    ASSERT_FALSE(v->validate_file(wide(kFixtures / "elf-foreign"), 0x01, result));
    EXPECT_EQ(result.content_version, 5u);
    EXPECT_EQ(result.flags, 13u);
    content("2", test::content_json(3, {{test::kCorvaneSha1, "Corvane Development", 0}}));
    ASSERT_FALSE(v->validate_file(wide(kFixtures / "elf-foreign"), 0x01, result));
    EXPECT_EQ(result.content_version, 5u);
    EXPECT_EQ(result.flags, 13u);  // version 3 would not list the foreign certificate
    EXPECT_EQ(v->content_folder(), item("2"));
    EXPECT_TRUE(logged(L"[trust] '" + cab("2") + L"' = v 3, current = v 5 -- continue"));
}

// Flags of the signed fixtures under the built-in list, then under content
// that lists another maker certificate; results are cached per content
// version and, by identity, per unchanged file.
TEST_F(TrustValidatorTest, ClassificationAndCache) {
    const struct {
        const char* fixture;
        std::uint64_t builtin;
        std::uint64_t foreign_as_maker;
    } cases[] = {
        {"elf-signed", 13, 5}, {"pe-signed.exe", 13, 5},   {"cab-signed.cab", 13, 5}, {"elf-foreign", 5, 13},
        {"elf-unpinned", 1, 1}, {"pe-nested.exe", 13, 13}, {"elf-unsigned", 0, 0},    {"pe-unsigned.exe", 0, 0},
    };
    auto v = validator();
    for (const auto& c : cases) {
        ValidationResult result;
        ASSERT_FALSE(v->validate_file(wide(kFixtures / c.fixture), 0x81, result)) << c.fixture;
        EXPECT_EQ(result.flags, c.builtin) << c.fixture;
    }
    const std::wstring signed_path = wide(kFixtures / "elf-signed");
    EXPECT_TRUE(logged(L"[trust] '" + signed_path +
                       L"' cert 1/3: 'Corvane Development', type: 0, flags: 0xd [embedded_signed][chained][is_corvane]"));
    capture_.logger().Clear();
    ValidationResult again;
    ASSERT_FALSE(v->validate_file(signed_path, 0x81, again));
    EXPECT_EQ(again.flags, 13u);
    EXPECT_TRUE(logged(L"[trust] (cached valued) '" + signed_path + L"' 0xd [embedded_signed][chained][is_corvane]"));
    bool exit_line = false;
    for (const auto& m : capture_.logger().Messages()) {
        exit_line = exit_line || (m.starts_with(L"[trust] (- 1) validate_file [perf] ") &&
                                  m.ends_with(L"ms target: '" + signed_path +
                                              L"', content version: 0, final_result: 0xd [embedded_signed][chained][is_corvane]"));
    }
    EXPECT_TRUE(exit_line);

    // A copy changed after its first validation is validated again.
    const fs::path copy = dir_ / "copy";
    fs::copy_file(kFixtures / "elf-signed", copy);
    ValidationResult first;
    ASSERT_FALSE(v->validate_file(wide(copy), 0x81, first));
    std::ofstream(copy, std::ios::app) << "tail";
    ASSERT_FALSE(v->validate_file(wide(copy), 0x81, again));
    EXPECT_EQ(first.flags, 13u);
    EXPECT_EQ(again.flags, 0u);

    content("1", test::content_json(1, {{test::kForeignSha1, "Foreign as maker", 0}}));
    for (const auto& c : cases) {
        ValidationResult result;
        ASSERT_FALSE(v->validate_file(wide(kFixtures / c.fixture), 0x81, result)) << c.fixture;
        EXPECT_EQ(result.flags, c.foreign_as_maker) << c.fixture;
        EXPECT_EQ(result.content_version, 1u);
    }
}

// The validation library is asked first when it is signed by the maker (or
// the system runs in test mode); otherwise, or when it lacks an export, the
// built-in classification decides.
TEST_F(TrustValidatorTest, ValidationLibrary) {
    const struct {
        const char* name;
        const char* library;
        Signer signer;
        std::uint32_t code_integrity;
        const char* init;
        const char* error;
        std::optional<bool> answer;  // for elf-unsigned
        std::vector<std::wstring> lines;  // "%d" stands for the library's path
    } cases[] = {
        {"signed", RK_TRUST_TESTLIB, Signer::kCorvane, 0, "0", "0", true,
         {L"[trust] trust dll classified '%f' is signed by Corvane", L"[trust] validated '%f' using dll, error: 0, flags: 8 [[is_corvane]]"}},
        {"answers an error", RK_TRUST_TESTLIB, Signer::kCorvane, 0, "0", "3", false,
         {L"[trust] validated '%f' using dll, error: 3, flags: 8 [[is_corvane]]", L"[trust] validated '%f' using lib, result: 0 []"}},
        {"missing export", RK_TRUST_TESTLIB_PARTIAL, Signer::kCorvane, 0, "0", "0", false,
         {L"failed to get exported function 'vxa_trust_uninit'", L"'%d' doesn't have expected exports", L"failed to load trust dll"}},
        {"unsigned", RK_TRUST_TESTLIB, Signer::kNone, 0, "0", "0", false, {L"'%d' is not signed by Corvane"}},
        {"foreign", RK_TRUST_TESTLIB, Signer::kForeign, 0, "0", "0", false, {L"'%d' is not signed by Corvane"}},
        {"unsigned, test signing", RK_TRUST_TESTLIB, Signer::kNone, 0x02, "0", "0", true,
         {L"[trust] skip validating '%d': test mode is enabled"}},
        {"unsigned, debug mode", RK_TRUST_TESTLIB, Signer::kNone, 0x80, "0", "0", true,
         {L"[trust] skip validating '%d': test mode is enabled"}},
        {"init fails", RK_TRUST_TESTLIB, Signer::kCorvane, 0, "5", "0", false, {L"initialize failed", L"failed to load trust dll"}},
    };
    const fs::path target = dir_ / "elf-unsigned";
    fs::copy_file(kFixtures / "elf-unsigned", target);
    for (const auto& c : cases) {
        fs::remove_all(root_);
        content("1", test::content_json(1, {{test::kCorvaneSha1, "Corvane Development", 0}}));
        const fs::path dll = root_ / "1" / "rk-av-trust.dll";
        if (c.signer == Signer::kNone) {
            fs::copy_file(c.library, dll);
        } else {
            ASSERT_EQ(test::append_signature(c.library, dll, c.signer), "");
        }
        sys::test::ScopedEnv init("RK_TRUST_STUB_INIT", c.init);
        sys::test::ScopedEnv error("RK_TRUST_STUB_ERROR", c.error);
        sys::test::ScopedEnv flags("RK_TRUST_STUB_FLAGS", "8");
        capture_.logger().Clear();
        EXPECT_EQ(validator(c.code_integrity)->validate(wide(target)), c.answer) << c.name;
        for (std::wstring line : c.lines) {
            for (const auto& [mark, value] : {std::pair{L"%d", item("1") + L"\\rk-av-trust.dll"}, std::pair{L"%f", wide(target)}}) {
                if (const auto at = line.find(mark); at != std::wstring::npos) {
                    line.replace(at, 2, value);
                }
            }
            EXPECT_TRUE(logged(line)) << c.name << ": " << text::wide_to_utf8(line);
        }
    }
}

// With request flag 0x20 the result reaches the framework service's cache;
// without a service the answer is the same.
TEST_F(TrustValidatorTest, CacheReport) {
    sys::ipc::test::PrivateBus bus;
    if (!bus.started()) {
        GTEST_SKIP() << bus.why_not();
    }
    const std::wstring target = wide(kFixtures / "elf-signed");
    ValidationResult result;
    ASSERT_FALSE(validator()->validate_file(target, 0x21, result));
    EXPECT_EQ(result.flags, 13u);
    EXPECT_TRUE(logged(L"failed to create controller -- not caching"));

    ctp::test::FrameworkServiceProcess service(bus);
    ASSERT_TRUE(service.start());
    ValidatorOptions options;
    options.content_root = wide(root_);
    options.framework.bus = bus.location();
    TrustValidator v(options);
    ASSERT_FALSE(v.validate_file(target, 0x21, result));
    EXPECT_EQ(result.flags, 13u);
    EXPECT_TRUE(logged(L"[trust] update cache by invoking 'av.cache.set' with payload '{\"target\":\"" + target +
                       L"\",\"flags\":13}', hr: 0, result: 1"));
    std::unique_ptr<ctp::detail::controller> controller;
    ASSERT_FALSE(ctp::detail::controller::create({bus.location()}, controller));
    std::int32_t hr = -1;
    std::uint32_t flags = 0;
    ASSERT_FALSE(controller->invoke_rpc(L"av.cache.get", L"{\"target\":\"" + target + L"\"}", hr, flags));
    EXPECT_EQ(hr, 0);
    EXPECT_EQ(flags, 13u);
}

}  // namespace
}  // namespace rk::trust
