// FILE_EXISTS, FVER and DIR.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/system/osinfo/os_info.h"
#include "platform/system/test/temp_root.h"
#include "platform/system/version/test/pe_fixtures.h"
#include "platform/text/utf.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/substitutions/dir_substitution.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/substitutions/test/log_capture.h"

namespace XMLUpdater::v2 {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = rk::sys::test::pe_fixtures();

std::shared_ptr<rk::sys::OsInfo> machine(const wchar_t* arch) {
    rk::sys::OsVersion v;
    v.major = 6;
    v.minor = 1;
    v.machine = arch;
    return std::make_shared<rk::sys::FixedOsInfo>(v);
}

std::wstring expand(CSubstitutionManager& m, std::wstring text) {
    m.Substitute(text);
    return text;
}

class FileSubstitutions : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_.path() / "data/dir");
        std::ofstream(root_.path() / "data/file.txt") << "text";
        fs::copy_file(kFixtures / "version-1.2.3.4.exe", root_.path() / "data/v.exe");
    }
    rk::sys::test::TempRoot root_;
    test::LogCapture log_;
    CSubstitutionManager manager_{machine(L"x86_64")};
};

TEST_F(FileSubstitutions, FileExists) {
    const std::wstring root = root_.path().wstring();
    const struct {
        std::wstring path;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\data\\file.txt", L"TRUE"},
        {L"C:\\data\\dir", L"TRUE"},
        {L"c:/data/dir/", L"TRUE"},
        {root + L"/data/file.txt", L"TRUE"},
        {L"C:\\data\\missing.txt", L"FALSE"},
        {L"C:\\data\\file.txt\\below", L"FALSE"},
        {L"", L"FALSE"},
        {L"\\\\server\\share\\x", L"FALSE"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(expand(manager_, L"[FILE_EXISTS:" + c.path + L"]"), c.expected) << c.path;
    }
    // The path itself may come from a token.
    manager_.SetVariable(L"p", L"C:\\data\\file.txt");
    EXPECT_EQ(expand(manager_, L"[FILE_EXISTS:[p]]"), L"TRUE");
}

TEST_F(FileSubstitutions, FileVersion) {
    fs::copy_file(kFixtures / "version-65535.0.7.300-pe32.dll", root_.path() / "data/w.dll");
    fs::copy_file(kFixtures / "no-version.exe", root_.path() / "data/n.exe");
    // A truncated version block on disk reports the reading step.
    auto bytes = rk::sys::test::read_bytes(kFixtures / "version-1.2.3.4.exe");
    bytes.resize(rk::sys::test::version_block(bytes) + 8);
    std::ofstream(root_.path() / "data/cut.exe", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const struct {
        const wchar_t* path;
        const wchar_t* expected;
        const wchar_t* message;
    } cases[] = {
        {L"C:\\data\\v.exe", L"1.2.3.4", nullptr},
        {L"C:\\data\\w.dll", L"65535.0.7.300", nullptr},
        {L"C:\\data\\n.exe", L"!UNKNOWN", L"Unable to get file version info for file: C:\\data\\n.exe"},
        {L"C:\\data\\file.txt", L"!UNKNOWN", L"Unable to get file version info for file: C:\\data\\file.txt"},
        {L"C:\\data\\missing.exe", L"!UNKNOWN", L"Unable to get file version info for file: C:\\data\\missing.exe"},
        {L"C:\\data\\dir", L"!UNKNOWN", L"Unable to get file version info for file: C:\\data\\dir"},
        {L"C:\\data\\cut.exe", L"!UNKNOWN", L"Unable to get file version data for file: C:\\data\\cut.exe"},
    };
    for (const auto& c : cases) {
        log_.Clear();
        EXPECT_EQ(expand(manager_, std::wstring(L"[FVER:") + c.path + L"]"), c.expected) << c.path;
        if (c.message != nullptr) {
            EXPECT_EQ(log_.Level(c.message), 1) << log_.Dump();
        }
    }
}

// DIR with an injected environment.
class DirSubstitution : public ::testing::Test {
protected:
    std::wstring dir(const std::wstring& id, const wchar_t* plat = L"64") {
        if (plat != nullptr) {
            manager_.SetVariable(L"plat", plat);
        }
        CDirSubstitution handler([this](const char* name) -> std::optional<std::string> {
            const auto it = env_.find(name);
            return it == env_.end() ? std::nullopt : std::optional<std::string>(it->second);
        });
        return handler.Substitute(id, plat != nullptr ? &manager_ : nullptr);
    }
    std::wstring root(const char* tail) const { return (root_.path().wstring() + rk::text::utf8_to_wide(tail)); }

    rk::sys::test::TempRoot root_;
    test::LogCapture log_;
    std::map<std::string, std::string> env_ = {{"HOME", "/home/u"}};
    CSubstitutionManager manager_{machine(L"x86_64")};
};

TEST_F(DirSubstitution, KnownFoldersDirectlyAndThroughTheManager) {
    const struct {
        const wchar_t* id;
        const char* folder;
    } cases[] = {
        {L"CSIDL_COMMON_APPDATA", "/var/lib"},
        {L"CSIDL_COMMON_DOCUMENTS", "/var/lib/public/Documents"},
        {L"CSIDL_COMMON_STARTUP", "/etc/xdg/autostart"},
        {L"CSIDL_PROGRAM_FILES", "/opt"},
        {L"CSIDL_PROGRAM_FILESX86", "/opt"},
        {L"CSIDL_PROGRAM_FILES_COMMON", "/opt/common"},
        {L"CSIDL_PROGRAM_FILES_COMMONX86", "/opt/common"},
        {L"CSIDL_SYSTEM", "/usr/lib"},
        {L"CSIDL_SYSTEMX86", "/usr/lib"},
        {L"CSIDL_WINDOWS", "/usr"},
        {L"CSIDL_PROGRAM_FILESX64", "/opt"},
        {L"CSIDL_PROGRAM_FILES_COMMONX64", "/opt/common"},
        {L"TEMP_DIR", "/tmp/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dir(c.id), root(c.folder)) << c.id;
    }
    EXPECT_EQ(expand(manager_, L"[DIR:CSIDL_WINDOWS]"), root("/usr"));
    EXPECT_EQ(expand(manager_, L"[DIR:CSIDL_COMMON_APPDATA]\\Corvane"), root("/var/lib") + L"\\Corvane");
    EXPECT_TRUE(log_.lines.empty()) << log_.Dump();
}

TEST_F(DirSubstitution, ProgramFilesVariablesFollowThePlatform) {
    env_["ProgramW6432"] = "C:\\Program Files";
    env_["ProgramFiles"] = "C:\\Program Files (x86)";
    env_["CommonProgramW6432"] = "C:\\Program Files\\Common Files";
    env_["CommonProgramFiles"] = "C:\\Program Files (x86)\\Common Files";
    const struct {
        const wchar_t* plat;
        const wchar_t* id;
        const wchar_t* expected;
    } cases[] = {
        {L"64", L"CSIDL_PROGRAM_FILESX64", L"C:\\Program Files"},
        {L"ARM64", L"CSIDL_PROGRAM_FILESX64", L"C:\\Program Files"},
        {L"32", L"CSIDL_PROGRAM_FILESX64", L"C:\\Program Files (x86)"},
        {L"ARM32", L"CSIDL_PROGRAM_FILESX64", L"C:\\Program Files (x86)"},
        {L"", L"CSIDL_PROGRAM_FILESX64", L"C:\\Program Files (x86)"},
        {L"64", L"CSIDL_PROGRAM_FILES_COMMONX64", L"C:\\Program Files\\Common Files"},
        {L"32", L"CSIDL_PROGRAM_FILES_COMMONX64", L"C:\\Program Files (x86)\\Common Files"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dir(c.id, c.plat), c.expected) << c.plat << L" " << c.id;
    }
}

TEST_F(DirSubstitution, Failures) {
    const struct {
        const wchar_t* id;
        const wchar_t* plat;  // null: no manager
        const wchar_t* message;
    } cases[] = {
        {L"CSIDL_PROGRAM_FILESX64", nullptr, L"Unable to get the platform"},
        {L"CSIDL_PROGRAM_FILES_COMMONX64", nullptr, L"Unable to get the platform"},
        {L"CSIDL_windows", L"64", L"Unknown folder identifier: CSIDL_windows"},
        {L"", L"64", L"Unknown folder identifier: "},
        {L"FOLDERID_Windows", L"64", L"Unknown folder identifier: FOLDERID_Windows"},
    };
    for (const auto& c : cases) {
        log_.Clear();
        EXPECT_EQ(dir(c.id, c.plat), L"!UNKNOWN") << c.id;
        EXPECT_EQ(log_.Level(c.message), 1) << c.id << L"\n" << log_.Dump();
    }
    // A variable that does not fit the 260-character buffer.
    env_["ProgramW6432"] = std::string(260, 'p');
    log_.Clear();
    EXPECT_EQ(dir(L"CSIDL_PROGRAM_FILESX64"), L"!UNKNOWN");
    EXPECT_EQ(log_.Level(L"GetEnvironmentVariable failed (122)"), 1);
    env_["ProgramW6432"] = std::string(259, 'p');
    EXPECT_EQ(dir(L"CSIDL_PROGRAM_FILESX64"), std::wstring(259, L'p'));
}

}  // namespace
}  // namespace XMLUpdater::v2
