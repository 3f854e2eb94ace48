// IsCorvaneSigned through the process's validator and framework client, in
// a binary of its own: the client instance it creates runs until process
// end, so the capture of the log lines lives as long.
#include "trust/is_corvane_signed.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/paths.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace {

namespace fs = std::filesystem;

// Constructed before, destroyed after the client instance.
rk::logging::test::ScopedLogCapture g_capture;

std::wstring fixture(const char* name) {
    return rk::sys::wide_path(fs::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "fixtures" / name);
}

// Refused only on a positive "not signed by the maker". A missing file is
// accepted without validating; a file that cannot be validated is accepted
// too (fail-open, logged as a failed validation).
TEST(IsCorvaneSigned, AnswersAndFailOpen) {
    rk::sys::test::TempRoot root;  // no trust content: the built-in list decides
    const fs::path link = root.path() / "link-to-signed";
    fs::create_symlink(fs::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "fixtures" / "elf-signed", link);
    // The first call creates the process's framework client.
    g_capture.logger().Clear();
    EXPECT_TRUE(IsCorvaneSigned(fixture("does-not-exist.exe")));
    EXPECT_TRUE(g_capture.logger().Contains(L"[framework] initializing COM"));
    EXPECT_TRUE(g_capture.logger().Contains(L"[framework] started external client = 0x"));

    const struct {
        std::wstring path;
        bool answer;
        const wchar_t* line;  // nullptr: no verdict line
    } cases[] = {
        // The validator's classification of every fixture is its own test's.
        {fixture("elf-signed"), true, L"Binary validation success"},
        {fixture("elf-unsigned"), false, L"Binary validation failed"},
        {fixture("elf-foreign"), false, L"Binary validation failed"},
        {fixture("does-not-exist.exe"), true, nullptr},
        // Exists but cannot be validated (a folder, a link): no answer, accepted.
        {fixture(""), true, L"Binary validation failed"},
        {rk::sys::wide_path(link), true, L"Binary validation failed"},
    };
    for (const auto& c : cases) {
        g_capture.logger().Clear();
        EXPECT_EQ(IsCorvaneSigned(c.path), c.answer) << rk::text::wide_to_utf8(c.path);
        std::size_t verdicts = 0;
        for (const auto& e : g_capture.logger().Entries()) {
            if (e.message == L"Binary validation success" || e.message == L"Binary validation failed") {
                ++verdicts;
                EXPECT_EQ(e.message, c.line) << rk::text::wide_to_utf8(c.path);
                EXPECT_EQ(e.level, c.answer && c.line == std::wstring(L"Binary validation success") ? 6u : 1u);
            }
        }
        EXPECT_EQ(verdicts, c.line != nullptr ? 1u : 0u) << rk::text::wide_to_utf8(c.path);
    }
}

}  // namespace
