#include "xml_updater/file_signature.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/system/paths.h"

namespace {

std::wstring fixture(const char* name) {
    return rk::sys::wide_path(std::filesystem::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "fixtures" / name);
}

// The deployment profile's names and pins decide: the development profile
// accepts "Corvane Development" under the development root.
TEST(VerifyCorvaneSignatureImpl, ProfileDecides) {
    const struct {
        const char* file;
        bool accepted;
    } cases[] = {
        {"pe-signed.exe", true},      {"pe-expired-ts.exe", true}, {"pe-nested.exe", true},
        {"pe-ecdsa.exe", true},       {"cab-signed.cab", true},    {"elf-signed", true},
        {"pe-unpinned.exe", false},   {"pe-foreign.exe", false},   {"pe-unsigned.exe", false},
        {"cab-unpinned.cab", false},  {"elf-foreign", false},      {"elf-unsigned", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VerifyCorvaneSignatureImpl(fixture(c.file)), c.accepted) << c.file;
    }
}

TEST(VerifyCorvaneSignatureImpl, UnusablePathsAreRejected) {
    EXPECT_FALSE(VerifyCorvaneSignatureImpl(L""));
    EXPECT_FALSE(VerifyCorvaneSignatureImpl(L"\\\\server\\share\\setup.exe"));
    EXPECT_FALSE(VerifyCorvaneSignatureImpl(fixture("does-not-exist.exe")));
    EXPECT_FALSE(VerifyCorvaneSignatureImpl(fixture("")));  // a folder
}

}  // namespace
