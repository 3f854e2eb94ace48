#include "platform/system/move_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/system/pending_deletes.h"
#include "platform/system/test/temp_root.h"

namespace rk::sys {
namespace {

namespace fs = std::filesystem;

std::string content(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string("<missing>");
}

void write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

class MoveFile : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "d");
        fs::create_directories(dir_ / "e");
        write(dir_ / "a.txt", "A");
        write(dir_ / "b.txt", "B");
        write(dir_ / "d/f", "F");
        write(dir_ / "ro.txt", "R");
        fs::permissions(dir_ / "ro.txt", fs::perms::owner_read);
        fs::create_symlink(dir_ / "a.txt", dir_ / "l");
    }

    test::TempRoot root_;
    fs::path dir_ = root_.path() / "w";
};

TEST_F(MoveFile, RenamesWithTheWindowsRules) {
    const fs::path& w = dir_;
    const struct {
        const wchar_t* source;
        const wchar_t* destination;
        DWORD flags;
        DWORD expected;
        std::function<bool()> after;
    } cases[] = {
        {L"C:\\w\\a.txt", L"C:\\w\\n.txt", 0, 0, [&] { return content(w / "n.txt") == "A" && !fs::exists(w / "a.txt"); }},
        {L"C:\\w\\a.txt", L"C:\\w\\b.txt", 0, 183, [&] { return content(w / "a.txt") == "A" && content(w / "b.txt") == "B"; }},
        {L"C:\\w\\a.txt", L"C:\\w\\b.txt", 1, 0, [&] { return content(w / "b.txt") == "A" && !fs::exists(w / "a.txt"); }},
        {L"C:\\w\\a.txt", L"C:\\w\\b.txt", 9, 0, [&] { return content(w / "b.txt") == "A"; }},
        {L"C:\\w\\a.txt", L"C:\\w\\ro.txt", 1, 5, [&] { return content(w / "ro.txt") == "R"; }},
        {L"C:\\w\\a.txt", L"C:\\w\\e", 1, 5, [&] { return fs::is_directory(w / "e"); }},
        {L"C:\\w\\d", L"C:\\w\\b.txt", 1, 5, [&] { return content(w / "b.txt") == "B"; }},
        {L"C:\\w\\d", L"C:\\w\\e", 0, 183, [&] { return content(w / "d/f") == "F"; }},
        {L"C:\\w\\d", L"c:/w/moved", 0, 0, [&] { return content(w / "moved/f") == "F"; }},
        // A link moves as the link; its target stays.
        {L"C:\\w\\l", L"C:\\w\\l2", 0, 0,
         [&] { return fs::read_symlink(w / "l2") == w / "a.txt" && content(w / "a.txt") == "A"; }},
        {L"C:\\w\\missing", L"C:\\w\\x", 0, 2, [] { return true; }},
        {L"C:\\w\\nodir\\missing", L"C:\\w\\x", 0, 3, [] { return true; }},
        {L"C:\\w\\a.txt", L"C:\\w\\nodir\\x", 0, 3, [&] { return content(w / "a.txt") == "A"; }},
        {L"C:\\w\\a.txt", L"", 0, 87, [&] { return content(w / "a.txt") == "A"; }},
        {L"C:\\w\\a.txt", L"C:\\w\\n.txt", 0x40, 87, [&] { return !fs::exists(w / "n.txt"); }},
        {L"C:\\w\\a.txt", L"", 4 | 2, 87, [] { return true; }},
        {L"C:\\w\\a.txt", L"C:\\w\\n.txt", 4, 50, [&] { return !fs::exists(w / "n.txt"); }},
        {L"\\\\server\\share\\a", L"C:\\w\\n.txt", 0, 161, [] { return true; }},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir_);
        SetUp();
        EXPECT_EQ(move_file_ex(c.source, c.destination, c.flags), c.expected)
            << c.source << " -> " << c.destination << " flags " << c.flags;
        EXPECT_TRUE(c.after()) << c.source << " -> " << c.destination << " flags " << c.flags;
    }
}

// Delete at reboot: recorded in the pending-delete list, carried out by the
// first start of a later boot.
TEST_F(MoveFile, DelayUntilRebootDeletesAtTheNextBoot) {
    ASSERT_EQ(move_file_ex(L"C:\\w\\a.txt", L"", kMoveFileDelayUntilReboot), 0u);
    EXPECT_EQ(content(dir_ / "a.txt"), "A");
    ASSERT_EQ(PendingDeletes(PendingDeletes::default_list_file(), "another-boot").run(), 0u);
    EXPECT_FALSE(fs::exists(dir_ / "a.txt"));
}

// Across file systems (the temporary root and /dev/shm).
TEST_F(MoveFile, AcrossFileSystems) {
    struct stat shm{};
    struct stat here{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(root_.path().c_str(), &here) != 0 || shm.st_dev == here.st_dev) {
        GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    }
    std::string pattern = "/dev/shm/rk-move-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path other = pattern;
    const std::wstring there = other.wstring();
    fs::permissions(dir_ / "a.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::owner_exec);

    EXPECT_EQ(move_file_ex(L"C:\\w\\a.txt", there + L"/a.txt", 0), 17u);
    EXPECT_EQ(move_file_ex(L"C:\\w\\d", there + L"/d", kMoveFileCopyAllowed), 17u);
    EXPECT_EQ(move_file_ex(L"C:\\w\\a.txt", there + L"/a.txt", kMoveFileCopyAllowed | kMoveFileWriteThrough), 0u);
    EXPECT_EQ(content(other / "a.txt"), "A");
    EXPECT_EQ(fs::status(other / "a.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::owner_exec);
    EXPECT_FALSE(fs::exists(dir_ / "a.txt"));
    EXPECT_EQ(move_file_ex(L"C:\\w\\b.txt", there + L"/a.txt", kMoveFileCopyAllowed), 183u);
    EXPECT_EQ(move_file_ex(L"C:\\w\\b.txt", there + L"/a.txt", kMoveFileCopyAllowed | 1), 0u);
    EXPECT_EQ(content(other / "a.txt"), "B");
    EXPECT_EQ(move_file_ex(L"C:\\w\\l", there + L"/l", kMoveFileCopyAllowed), 0u);
    EXPECT_EQ(fs::read_symlink(other / "l"), dir_ / "a.txt");
    EXPECT_FALSE(fs::is_symlink(dir_ / "l"));
    EXPECT_EQ(std::distance(fs::directory_iterator(other), fs::directory_iterator()), 2);  // no temporary left
    fs::remove_all(other);
}

}  // namespace
}  // namespace rk::sys
