#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "analytics/hash_substitution.h"
#include "analytics/txt_ver_substitution.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/paths.h"
#include "platform/system/test/temp_root.h"

namespace Halden::Analytics {
namespace {

namespace fs = std::filesystem;
using rk::logging::test::ScopedLogCapture;

class ContentSubstitutions : public ::testing::Test {
protected:
    std::wstring file(const std::string& name, const std::string& content) {
        const fs::path path = root_.path() / name;
        std::ofstream(path, std::ios::binary) << content;
        return rk::sys::wide_path(path);
    }
    rk::sys::test::TempRoot root_;
    ScopedLogCapture capture_;
};

TEST_F(ContentSubstitutions, TxtVer) {
    const struct {
        std::string content;
        std::wstring result;
        const wchar_t* line;
    } cases[] = {
        {"// engine.js $FileVersion=1.2.3 \n", L"1.2.3", nullptr},
        {"$File $FileVersion=2.0.1.7 tail", L"2.0.1.7", nullptr},
        {"$FileVersion=1.2.3", L"!UNKNOWN", L"failed to find the end of the file version"},
        {"$FileVersion=1.2.3\n", L"!UNKNOWN", L"failed to find the end of the file version"},
        {"no key here", L"!UNKNOWN", L"failed to find file version key"},
        {std::string(1010, 'x') + "$FileVersion=9 ", L"!UNKNOWN", L"failed to find the end of the file version"},
        {std::string(1011, 'x') + "$FileVersion=9 ", L"!UNKNOWN", L"failed to find file version key"},
        {"", L"!UNKNOWN", L"failed to find file version key"},
    };
    CTxtVerSubstitution txtver;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 40));
        capture_.logger().Clear();
        EXPECT_EQ(txtver.Substitute(file("v.js", c.content), nullptr), c.result);
        if (c.line != nullptr) {
            EXPECT_EQ(capture_.logger().Messages(), std::vector<std::wstring>{c.line});
        }
    }
    capture_.logger().Clear();
    const std::wstring missing = rk::sys::wide_path(root_.path() / "missing.js");
    EXPECT_EQ(txtver.Substitute(missing, nullptr), L"!UNKNOWN");
    EXPECT_TRUE(capture_.logger().Contains(L"failed to open file: " + missing + L" with error code 2"));
}

TEST_F(ContentSubstitutions, Hash) {
    const std::wstring abc = file("abc.bin", "abc");
    const std::wstring empty = file("empty.bin", "");
    const std::wstring limit = file("limit.bin", "");
    fs::resize_file(root_.path() / "limit.bin", 10485760);
    const std::wstring over = file("over.bin", "");
    fs::resize_file(root_.path() / "over.bin", 10485761);
    const struct {
        std::wstring argument;
        std::wstring result;
        const wchar_t* line;
    } cases[] = {
        {L"MD5@" + abc, L"900150983cd24fb0d6963f7d28e17f72", nullptr},
        {L"MD5@" + empty, L"d41d8cd98f00b204e9800998ecf8427e", nullptr},
        {L"MD5@" + limit, L"f1c9645dbc14efddc7d8a322685f26eb", nullptr},
        {L"MD5@" + over, L"!UNKNOWN", L"file too large"},
        {L"MD5" + abc, L"!UNKNOWN", L"Delimiter character not found"},
        {L"md5@" + abc, L"!UNKNOWN", L"hash algorithm not supported"},
        {L"SHA256@" + abc, L"!UNKNOWN", L"hash algorithm not supported"},
        {L"MD5@" + abc + L".missing", L"!UNKNOWN", L"with error code 2"},
    };
    CHashSubstitution hash;
    for (const auto& c : cases) {
        capture_.logger().Clear();
        EXPECT_EQ(hash.Substitute(c.argument, nullptr), c.result);
        if (c.line != nullptr) {
            EXPECT_TRUE(capture_.logger().Contains(c.line));
        } else {
            EXPECT_TRUE(capture_.logger().Messages().empty());
        }
    }
}

}  // namespace
}  // namespace Halden::Analytics
