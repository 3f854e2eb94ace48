#include "platform/system/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/system/paths.h"
#include "platform/system/pending_deletes.h"
#include "platform/system/root_prefix.h"
#include "platform/system/test/temp_root.h"

namespace rk::sys {
namespace {

namespace fs = std::filesystem;

class Files : public testing::Test {
protected:
    // A file, as both a host path and the "C:\..." path that maps to it.
    fs::path host(const std::string& relative) const { return root_.path() / relative; }
    static std::wstring win(const std::wstring& relative) { return L"C:\\" + relative; }

    void write(const std::string& relative, const std::string& content = "x") const {
        fs::create_directories(host(relative).parent_path());
        std::ofstream(host(relative)) << content;
    }
    void make_read_only(const std::string& relative) const {
        fs::permissions(host(relative),
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }

    test::TempRoot root_;
};

TEST_F(Files, StatusDescribesFilesFoldersAndLinks) {
    write("dir/file.txt");
    write("dir/ro.txt");
    make_read_only("dir/ro.txt");
    fs::create_directory_symlink(host("dir"), host("junction"));
    fs::create_symlink(host("dir/file.txt"), host("filelink"));
    fs::create_symlink(host("nowhere"), host("dangling"));

    struct Case {
        std::wstring path;
        DWORD error;
        DWORD attributes;
        DWORD tag;
    };
    const Case cases[] = {
        {win(L"dir\\file.txt"), 0, kFileAttributeNormal, 0},
        {win(L"dir\\ro.txt"), 0, kFileAttributeReadonly, 0},
        {win(L"dir"), 0, kFileAttributeDirectory, 0},
        {win(L"junction"), 0, kFileAttributeReparsePoint | kFileAttributeDirectory,
         kIoReparseTagSymlink},
        {win(L"filelink"), 0, kFileAttributeReparsePoint, kIoReparseTagSymlink},
        {win(L"dangling"), 0, kFileAttributeReparsePoint, kIoReparseTagSymlink},
        {win(L"missing"), win::kErrorFileNotFound, 0, 0},
        {win(L"missing\\x"), win::kErrorPathNotFound, 0, 0},
        {win(L"dir\\file.txt\\x"), win::kErrorPathNotFound, 0, 0},
        {L"\\\\server\\share", win::kErrorBadPathname, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << fs::path(c.path));
        FileStatus status;
        EXPECT_EQ(get_file_status(c.path, status), c.error);
        if (c.error == 0) {
            EXPECT_EQ(status.attributes, c.attributes);
            EXPECT_EQ(status.reparse_tag, c.tag);
        }
        EXPECT_EQ(path_exists(c.path), c.error == 0);
    }
    EXPECT_TRUE(is_directory(win(L"junction")));
    EXPECT_TRUE(is_reparse_point(win(L"junction")));
    EXPECT_FALSE(is_reparse_point(win(L"dir")));
}

TEST_F(Files, ReadOnlyIsTheOwnerWriteBit) {
    write("f");
    EXPECT_FALSE(is_read_only(win(L"f")));
    EXPECT_EQ(set_read_only(win(L"f"), true), 0u);
    EXPECT_TRUE(is_read_only(win(L"f")));
    const auto write_bits = fs::perms::owner_write | fs::perms::group_write |
                            fs::perms::others_write;
    EXPECT_EQ(fs::status(host("f")).permissions() & write_bits, fs::perms::none);
    EXPECT_EQ(set_read_only(win(L"f"), false), 0u);
    EXPECT_FALSE(is_read_only(win(L"f")));
    EXPECT_EQ(set_read_only(win(L"missing"), true), win::kErrorFileNotFound);
}

TEST_F(Files, DeleteFileKeepsWindowsRefusals) {
    write("ro");
    make_read_only("ro");
    write("target/keep");
    fs::create_symlink(host("target/keep"), host("link"));
    fs::create_directory(host("dir"));

    EXPECT_EQ(delete_file(win(L"ro")), win::kErrorAccessDenied);
    EXPECT_TRUE(fs::exists(host("ro")));
    EXPECT_EQ(delete_file(win(L"ro"), true), 0u);
    EXPECT_FALSE(fs::exists(host("ro")));

    EXPECT_EQ(delete_file(win(L"dir")), win::kErrorAccessDenied);
    EXPECT_EQ(delete_file(win(L"link")), 0u);
    EXPECT_FALSE(fs::is_symlink(host("link")));
    EXPECT_TRUE(fs::exists(host("target/keep")));
    EXPECT_EQ(delete_file(win(L"gone")), win::kErrorFileNotFound);
    EXPECT_EQ(delete_file(win(L"nodir\\gone")), win::kErrorPathNotFound);
}

TEST_F(Files, RemoveDirectoryTakesLinksNotTargets) {
    write("full/a");
    fs::create_directory(host("empty"));
    fs::create_directory_symlink(host("full"), host("junction"));
    fs::create_directory_symlink(host("nowhere"), host("dangling"));

    EXPECT_EQ(remove_directory(win(L"full")), win::kErrorDirNotEmpty);
    EXPECT_EQ(remove_directory(win(L"full\\a")), win::kErrorDirectory);
    EXPECT_EQ(remove_directory(win(L"junction")), 0u);
    EXPECT_TRUE(fs::exists(host("full/a")));
    EXPECT_EQ(remove_directory(win(L"dangling")), 0u);
    EXPECT_FALSE(fs::is_symlink(host("dangling")));
    EXPECT_EQ(remove_directory(win(L"empty")), 0u);
    EXPECT_EQ(remove_directory(win(L"empty")), win::kErrorFileNotFound);
}

TEST_F(Files, DeleteTreeClearsReadOnlyAndNeverFollowsLinks) {
    write("outside/precious", "keep me");
    write("tree/a/b/c.txt");
    write("tree/ro.txt");
    make_read_only("tree/ro.txt");
    write("tree/locked/inner.txt");
    fs::permissions(host("tree/locked"), fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_directory_symlink(host("outside"), host("tree/a/junction"));
    fs::create_symlink(host("outside/precious"), host("tree/filelink"));

    EXPECT_EQ(delete_tree(win(L"tree")), 0u);
    EXPECT_FALSE(fs::exists(fs::symlink_status(host("tree"))));
    EXPECT_TRUE(fs::exists(host("outside/precious")));

    // A link given as the tree itself goes alone.
    fs::create_directory_symlink(host("outside"), host("toplink"));
    EXPECT_EQ(delete_tree(win(L"toplink")), 0u);
    EXPECT_TRUE(fs::exists(host("outside/precious")));

    EXPECT_EQ(delete_tree(win(L"tree")), win::kErrorFileNotFound);
    EXPECT_EQ(delete_tree(win(L"nodir\\tree")), win::kErrorPathNotFound);
    EXPECT_EQ(delete_tree(L"/"), win::kErrorAccessDenied);
    EXPECT_EQ(delete_tree(L"C:\\"), win::kErrorAccessDenied);
    EXPECT_EQ(delete_tree(L"C:\\a\\.."), win::kErrorAccessDenied);
    EXPECT_TRUE(fs::exists(root_.path()));
}

TEST_F(Files, FileIdentityFollowsHardAndSymbolicLinks) {
    write("a");
    write("copy");
    fs::create_hard_link(host("a"), host("hard"));
    fs::create_symlink(host("a"), host("soft"));
    FileId a, hard, soft, copy;
    ASSERT_EQ(get_file_id(win(L"a"), a), 0u);
    ASSERT_EQ(get_file_id(win(L"hard"), hard), 0u);
    ASSERT_EQ(get_file_id(wide_path(host("soft")), soft), 0u);
    ASSERT_EQ(get_file_id(win(L"copy"), copy), 0u);
    EXPECT_EQ(a, hard);
    EXPECT_EQ(a, soft);
    EXPECT_NE(a, copy);
    EXPECT_EQ(get_file_id(win(L"missing"), copy), win::kErrorFileNotFound);
}

TEST_F(Files, CreateDirectoryReportsWindowsErrors) {
    write("file");
    EXPECT_EQ(create_directory(win(L"one")), 0u);
    EXPECT_EQ(create_directory(win(L"one")), win::kErrorAlreadyExists);
    EXPECT_EQ(create_directory(win(L"file")), win::kErrorAlreadyExists);
    EXPECT_EQ(create_directory(win(L"a\\b")), win::kErrorPathNotFound);
    EXPECT_EQ(create_directories(win(L"a\\b\\c")), 0u);
    EXPECT_TRUE(fs::is_directory(host("a/b/c")));
    EXPECT_EQ(create_directories(win(L"a\\b\\c")), 0u);
    EXPECT_EQ(create_directories(win(L"file")), win::kErrorAlreadyExists);
    EXPECT_EQ(create_directories(win(L"file\\sub")), win::kErrorPathNotFound);
}

class PendingDeletesTest : public Files {
protected:
    fs::path list() const { return host("list"); }
};

TEST_F(PendingDeletesTest, CarriedOutOnlyAfterTheBootChanges) {
    write("dir/file");
    write("dir/odd%name\nline");
    write("other");
    const PendingDeletes boot_a(list(), "boot-a");
    EXPECT_EQ(boot_a.schedule(win(L"dir\\file")), 0u);
    EXPECT_EQ(boot_a.schedule(wide_path(host("dir/odd%name\nline"))), 0u);
    EXPECT_EQ(boot_a.schedule(win(L"dir")), 0u);  // after its files, as on Windows
    EXPECT_EQ(boot_a.schedule(win(L"never-existed")), 0u);

    EXPECT_EQ(boot_a.run(), 0u);  // same boot: nothing happens yet
    EXPECT_TRUE(fs::exists(host("dir/file")));

    const PendingDeletes boot_b(list(), "boot-b");
    EXPECT_EQ(boot_b.schedule(win(L"other")), 0u);
    EXPECT_EQ(boot_b.run(), 0u);
    EXPECT_FALSE(fs::exists(host("dir")));
    EXPECT_TRUE(fs::exists(host("other")));  // scheduled in boot b

    EXPECT_EQ(PendingDeletes(list(), "boot-c").run(), 0u);
    EXPECT_FALSE(fs::exists(host("other")));
    EXPECT_EQ(fs::file_size(list()), 0u);
}

// A failure is reported once and dropped; a line cut short by a crash is ignored.
TEST_F(PendingDeletesTest, FailuresAndCutLinesAreDropped) {
    write("full/a");
    write("victim.db");
    EXPECT_EQ(PendingDeletes(list(), "old").schedule(win(L"full")), 0u);
    std::ofstream(list(), std::ios::app) << "old\t" << host("victim.db").native();  // no newline
    EXPECT_EQ(PendingDeletes(list(), "new").run(), win::kErrorDirNotEmpty);
    EXPECT_EQ(PendingDeletes(list(), "new").run(), 0u);
    EXPECT_TRUE(fs::exists(host("full/a")));
    EXPECT_TRUE(fs::exists(host("victim.db")));
}

// Whatever sits at the list's name instead of the list is never followed or
// waited on, and an oversized list is left as it is.
TEST_F(PendingDeletesTest, ForeignObjectsAtTheListAreNotFollowed) {
    write("keep");
    write("elsewhere", "old\t" + host("keep").native() + "\n");
    struct Case {
        const char* name;
        void (*plant)(const fs::path& list, const fs::path& elsewhere);
        DWORD schedule_error;
        DWORD run_error;
        bool list_is_file_after;
    };
    const Case cases[] = {
        {"link to a list elsewhere", [](const fs::path& l, const fs::path& e) { fs::create_symlink(e, l); },
         0, 0, true},
        {"dangling link", [](const fs::path& l, const fs::path& e) { fs::create_symlink(e.string() + ".none", l); },
         0, 0, true},
        {"FIFO", [](const fs::path& l, const fs::path&) { ASSERT_EQ(::mkfifo(l.c_str(), 0600), 0); },
         13, 13, false},
        {"folder", [](const fs::path& l, const fs::path&) { fs::create_directory(l); }, 13, 13, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(list());
        c.plant(list(), host("elsewhere"));
        EXPECT_EQ(PendingDeletes(list(), "new").run(), c.run_error);
        fs::remove_all(list());
        c.plant(list(), host("elsewhere"));
        EXPECT_EQ(PendingDeletes(list(), "new").schedule(win(L"x")), c.schedule_error);
        EXPECT_EQ(fs::is_regular_file(fs::symlink_status(list())), c.list_is_file_after);
        EXPECT_TRUE(fs::exists(host("keep")));
        std::ifstream in(host("elsewhere"));
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old\t" + host("keep").native() + "\n");
    }

    fs::remove_all(list());
    std::ofstream(list()) << "old\t" << host("keep").native() << "\n";
    fs::resize_file(list(), 16u * 1024 * 1024 + 1);
    EXPECT_EQ(PendingDeletes(list(), "new").run(), 223u);  // ERROR_FILE_TOO_LARGE
    EXPECT_TRUE(fs::exists(host("keep")));
    EXPECT_EQ(fs::file_size(list()), 16u * 1024 * 1024 + 1);
}

TEST_F(PendingDeletesTest, DefaultListLivesUnderTheRootPrefix) {
    EXPECT_EQ(PendingDeletes::default_list_file(),
              root_.path() / "var/lib/rkupdater/pending-deletes");
    EXPECT_EQ(PendingDeletes().run(), 0u);  // no list yet
    write("x");
    EXPECT_EQ(PendingDeletes().schedule(win(L"x")), 0u);
    EXPECT_TRUE(fs::exists(PendingDeletes::default_list_file()));
    EXPECT_FALSE(PendingDeletes::current_boot_id().empty());
    EXPECT_EQ(PendingDeletes().schedule(L"\\\\server\\share\\x"), win::kErrorBadPathname);
}

}  // namespace
}  // namespace rk::sys
