#include "platform/system/paths.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

using test::ScopedEnv;

std::string narrow(std::wstring_view w) { return text::wide_to_utf8(w); }

TEST(Paths, WindowsFormsMapUnderTheRootPrefix) {
    const ScopedEnv root("RK_ROOT", "/r");
    struct Case {
        std::wstring windows;
        const char* host;
    };
    const Case cases[] = {
        {L"C:\\ProgramData\\Corvane\\log.txt", "/r/ProgramData/Corvane/log.txt"},
        {L"c:/Program Files//App\\\\x.exe", "/r/Program Files/App/x.exe"},
        {L"D:\\other\\drive", "/r/other/drive"},
        {L"C:\\", "/r"},
        {L"C:", "/r"},
        {L"C:x\\y", "/r/x/y"},
        {L"C:\\a\\.\\b\\", "/r/a/b"},
        // ".." stops at the drive root, so no Windows path leaves the prefix.
        {L"C:\\a\\..\\..\\..\\etc\\passwd", "/r/etc/passwd"},
        {L"C:\\..", "/r"},
        {L"\\\\?\\C:\\long\\form", "/r/long/form"},
        // Names keep their exact text: case, trailing dots and spaces.
        {L"C:\\MiXeD\\Name.With.Dots. ", "/r/MiXeD/Name.With.Dots. "},
        {L"C:\\\u00dcber\\\u65e5\u672c", "/r/\xc3\x9c" "ber/\xe6\x97\xa5\xe6\x9c\xac"},
        // A leading separator is a host path the seam handed out: no second prefix.
        {L"/r/var/lib\\Corvane\\x", "/r/var/lib/Corvane/x"},
        {L"/var/lib//x/", "/var/lib/x"},
        {L"\\..\\x", "/x"},
        {L"/", "/"},
        // Relative paths stay relative.
        {L"a\\b", "a/b"},
        {L"..\\a\\..\\..\\b", "../../b"},
        {L".\\", "."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.windows));
        const auto host = to_host_path(c.windows);
        ASSERT_TRUE(host.has_value());
        EXPECT_EQ(host->native(), c.host);
    }
}

TEST(Paths, WithoutRootPrefixDrivesMapToTheRealRoot) {
    const ScopedEnv root("RK_ROOT", std::nullopt);
    EXPECT_EQ(to_host_path(L"C:\\ProgramData\\x")->native(), "/ProgramData/x");
    EXPECT_EQ(to_host_path(L"C:\\")->native(), "/");
    EXPECT_EQ(to_host_path(L"C:\\..\\..")->native(), "/");
}

TEST(Paths, FormsWithoutHostMeaningAreRejected) {
    const std::wstring with_nul(L"C:\\a\0b", 6);
    const std::wstring lone_surrogate = std::wstring(L"C:\\x") + wchar_t(0xD800);
    const std::wstring cases[] = {
        L"",
        L"\\\\server\\share\\x",
        L"//server/share/x",
        L"\\\\.\\pipe\\name",
        L"\\\\?\\UNC\\server\\share",
        L"\\\\?\\",
        with_nul,
        lone_surrogate,
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c));
        EXPECT_FALSE(to_host_path(c).has_value());
    }
}

TEST(Paths, WindowsDisplayFormRoundTrips) {
    struct Case {
        const char* root;  // nullptr: unset
        const char* host;
        const wchar_t* windows;
    };
    const Case cases[] = {
        {"/r", "/r/var/lib/x", L"C:\\var\\lib\\x"},
        {"/r", "/r", L"C:\\"},
        {"/r/", "/r/opt", L"C:\\opt"},
        // Only a whole leading component matches the prefix.
        {"/r", "/rx/y", L"\\rx\\y"},
        {"/r", "/home/u/.config", L"\\home\\u\\.config"},
        {"/r", "rel/a", L"rel\\a"},
        {"/r", "C:/rel", L".\\C:\\rel"},
        {nullptr, "/var/lib/x", L"C:\\var\\lib\\x"},
        {nullptr, "/", L"C:\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        const ScopedEnv root("RK_ROOT", c.root ? std::optional<std::string>(c.root) : std::nullopt);
        const std::wstring windows = to_windows_path(c.host);
        EXPECT_EQ(windows, c.windows);
        EXPECT_EQ(to_host_path(windows)->native(), c.host);
    }
}

TEST(Paths, SplitPathGivesTheWsplitpathParts) {
    struct Case {
        const wchar_t* path;
        SplitPath parts;
    };
    const Case cases[] = {
        {L"/opt/rk/bin/rkupdater", {L"", L"/opt/rk/bin/", L"rkupdater", L""}},
        {L"C:\\Program Files\\App\\x.tar.gz", {L"C:", L"\\Program Files\\App\\", L"x.tar", L".gz"}},
        {L"C:x.exe", {L"C:", L"", L"x", L".exe"}},
        {L"/a.b/c", {L"", L"/a.b/", L"c", L""}},
        {L"mixed\\sep/name.ext", {L"", L"mixed\\sep/", L"name", L".ext"}},
        {L".bashrc", {L"", L"", L"", L".bashrc"}},
        {L"x.", {L"", L"", L"x", L"."}},
        {L"/", {L"", L"/", L"", L""}},
        {L"", {L"", L"", L"", L""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.path));
        const SplitPath got = split_path(c.path);
        EXPECT_EQ(std::tie(got.drive, got.directory, got.file_name, got.extension),
                  std::tie(c.parts.drive, c.parts.directory, c.parts.file_name, c.parts.extension));
    }
}

}  // namespace
}  // namespace rk::sys
