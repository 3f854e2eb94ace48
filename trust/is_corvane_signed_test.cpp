#include "trust/is_corvane_signed.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/paths.h"
#include "platform/text/utf.h"
#include "trust/trust_words.h"

namespace {

std::wstring fixture(const char* name) {
    return rk::sys::wide_path(std::filesystem::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "fixtures" / name);
}

// Refused only on a positive "not signed by the maker"; a missing file and a
// check that cannot be made pass. Each outcome has its own log line.
TEST(IsCorvaneSigned, AnswersAndLogLines) {
    const struct {
        std::wstring path;
        bool answer;
        const wchar_t* line;  // nullptr: nothing logged
    } cases[] = {
        {fixture("elf-signed"), true, rk::trust::kValidationSuccess},
        {fixture("pe-signed.exe"), true, rk::trust::kValidationSuccess},
        {fixture("elf-unsigned"), false, rk::trust::kValidationFailed},
        {fixture("elf-foreign"), false, rk::trust::kValidationFailed},
        {fixture("pe-unpinned.exe"), false, rk::trust::kValidationFailed},
        {fixture("does-not-exist.exe"), true, nullptr},
        // A folder exists but cannot be examined: no verdict, accepted.
        {fixture(""), true, rk::trust::kValidationFailed},
    };
    for (const auto& c : cases) {
        rk::logging::test::ScopedLogCapture capture;
        EXPECT_EQ(IsCorvaneSigned(c.path), c.answer) << rk::text::wide_to_utf8(c.path);
        const auto messages = capture.logger().Messages();
        if (c.line == nullptr) {
            EXPECT_TRUE(messages.empty());
        } else {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0], c.line);
        }
    }
}

TEST(IsCorvaneSigned, ValidationDistinguishesNoAnswer) {
    EXPECT_EQ(ValidateCorvaneSignature(fixture("elf-signed")), std::optional<bool>(true));
    EXPECT_EQ(ValidateCorvaneSignature(fixture("elf-unsigned")), std::optional<bool>(false));
    EXPECT_EQ(ValidateCorvaneSignature(fixture("")), std::nullopt);
    EXPECT_EQ(ValidateCorvaneSignature(L"\\\\server\\share\\setup.exe"), std::nullopt);
}

}  // namespace
