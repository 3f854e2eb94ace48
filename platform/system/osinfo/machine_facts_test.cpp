#include "platform/system/osinfo/machine_facts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/system/test/temp_root.h"

namespace rk::sys {
namespace {

void write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

TEST(OsReleaseProductName, Forms) {
    const struct {
        std::string text;
        std::wstring name;
    } cases[] = {
        {"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n",
         L"Debian GNU/Linux 12 (bookworm)"},
        {"NAME=Fedora\r\nVERSION_ID=39\r\n", L"Fedora 39"},
        {"# comment\nNAME='Arch Linux'\n", L"Arch Linux"},
        {"PRETTY_NAME=\"\"\nNAME=\"Say \\\"hi\\\"\"\n", L"Say \"hi\""},
        {"VERSION_ID=1\nID=x\n", L""},
        {"", L""},
        {"PRETTY_NAME", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(os_release_product_name(c.text), c.name);
    }
}

TEST(MachineIdToGuid, OnlyThirtyTwoHexDigits) {
    EXPECT_EQ(machine_id_to_guid("0123456789abcdefABCDEF0123456789\n"), L"01234567-89ab-cdef-abcd-ef0123456789");
    EXPECT_EQ(machine_id_to_guid("0123456789abcdef0123456789abcdef"), L"01234567-89ab-cdef-0123-456789abcdef");
    for (const char* bad : {"", "\n", "0123456789abcdef0123456789abcde\n", "0123456789abcdef0123456789abcdefa",
                            "0123456789abcdef0123456789abcdeg", "0123456789abcdef0123456789abcdef\n\n"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(machine_id_to_guid(bad), L"");
    }
}

TEST(MachineFacts, FilesUnderTheRootPrefix) {
    test::TempRoot root;
    std::wstring value = L"unchanged";
    EXPECT_EQ(os_product_name(value), win::kErrorFileNotFound);
    EXPECT_EQ(machine_guid(value), win::kErrorFileNotFound);
    EXPECT_EQ(value, L"unchanged");

    write(root.path() / "usr/lib/os-release", "NAME=Fallback\n");
    ASSERT_EQ(os_product_name(value), 0u);
    EXPECT_EQ(value, L"Fallback");
    write(root.path() / "etc/os-release", "PRETTY_NAME=First\n");
    ASSERT_EQ(os_product_name(value), 0u);
    EXPECT_EQ(value, L"First");
    write(root.path() / "etc/os-release", "ID=x\n");
    EXPECT_EQ(os_product_name(value), win::kErrorInvalidData);
    write(root.path() / "etc/os-release", std::string(kMaxFactFileBytes + 1, '#'));
    EXPECT_EQ(os_product_name(value), win::kErrorFileTooLarge);

    write(root.path() / "etc/machine-id", "not an id\n");
    EXPECT_EQ(machine_guid(value), win::kErrorInvalidData);
    write(root.path() / "etc/machine-id", "fedcba9876543210fedcba9876543210\n");
    ASSERT_EQ(machine_guid(value), 0u);
    EXPECT_EQ(value, L"fedcba98-7654-3210-fedc-ba9876543210");
}

}  // namespace
}  // namespace rk::sys
