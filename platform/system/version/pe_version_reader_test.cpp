// The version-resource reader on damaged images, and reading files on disk.
#include "platform/system/version/file_version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/system/test/temp_root.h"
#include "platform/system/version/test/pe_fixtures.h"

namespace rk::sys {
namespace {

namespace fs = std::filesystem;

// Damaged version resources, each stopping at its own step.
TEST(PeVersionReader, DamagedImages) {
    const std::vector<std::uint8_t> good = test::read_bytes(test::pe_fixtures() / "version-1.2.3.4.exe");
    ASSERT_FALSE(good.empty());
    const std::size_t block = test::version_block(good);

    FixedFileVersion version;
    ASSERT_EQ(read_file_version(good, version), VersionInfoStatus::Ok);
    EXPECT_EQ(version.file_version_ms, 0x00010002u);
    EXPECT_EQ(version.file_version_ls, 0x00030004u);

    struct Damage {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> apply;
        VersionInfoStatus expected;
    };
    const Damage damages[] = {
        {"empty file", [](auto& b) { b.clear(); }, VersionInfoStatus::NoVersionInfo},
        {"no MZ", [](auto& b) { b[0] = 'X'; }, VersionInfoStatus::NoVersionInfo},
        {"e_lfanew past the end", [](auto& b) { b[0x3F] = 0x7F; }, VersionInfoStatus::NoVersionInfo},
        {"cut inside the headers", [](auto& b) { b.resize(0x100); }, VersionInfoStatus::NoVersionInfo},
        {"data cut off", [block](auto& b) { b.resize(block + 8); }, VersionInfoStatus::DataUnreadable},
        {"root value length 0", [block](auto& b) { b[block + 2] = 0; b[block + 3] = 0; },
         VersionInfoStatus::EmptyRootBlock},
        {"root length too small", [block](auto& b) { b[block] = 8; b[block + 1] = 0; },
         VersionInfoStatus::QueryFailed},
        {"root value too short", [block](auto& b) { b[block + 2] = 20; b[block + 3] = 0; },
         VersionInfoStatus::QueryFailed},
    };
    for (const auto& d : damages) {
        auto bytes = good;
        d.apply(bytes);
        EXPECT_EQ(read_file_version(bytes, version), d.expected) << d.what;
    }
}

// Files on disk: the fixtures by Windows and host paths, and every kind of
// file without a version resource.
TEST(FileVersion, FilesOnDisk) {
    const test::TempRoot root;
    fs::create_directories(root.path() / "d");
    fs::copy_file(test::pe_fixtures() / "version-65535.0.7.300-pe32.dll", root.path() / "d/w.dll");
    fs::create_symlink(root.path() / "d/w.dll", root.path() / "d/link.dll");
    std::ofstream(root.path() / "d/text.txt") << "MZ but nothing else";
    const std::wstring host_fixture = (test::pe_fixtures() / "version-1.2.3.4.exe").wstring();
    const struct {
        std::wstring path;
        VersionInfoStatus status;
        const wchar_t* text;
    } cases[] = {
        {host_fixture, VersionInfoStatus::Ok, L"1.2.3.4"},
        {L"C:\\d\\w.dll", VersionInfoStatus::Ok, L"65535.0.7.300"},
        {L"C:\\d\\link.dll", VersionInfoStatus::NoVersionInfo, nullptr},  // links are not followed
        {(test::pe_fixtures() / "no-version.exe").wstring(), VersionInfoStatus::NoVersionInfo, nullptr},
        {L"C:\\d\\text.txt", VersionInfoStatus::NoVersionInfo, nullptr},
        {L"C:\\d\\missing.exe", VersionInfoStatus::NoVersionInfo, nullptr},
        {L"C:\\d", VersionInfoStatus::NoVersionInfo, nullptr},
        {L"", VersionInfoStatus::NoVersionInfo, nullptr},
        {L"\\\\server\\share\\x.exe", VersionInfoStatus::NoVersionInfo, nullptr},
    };
    for (const auto& c : cases) {
        FixedFileVersion version;
        EXPECT_EQ(get_file_version(c.path, version), c.status) << c.path;
        if (c.text != nullptr) {
            EXPECT_EQ(file_version_text(version), c.text) << c.path;
        }
    }
}

}  // namespace
}  // namespace rk::sys
