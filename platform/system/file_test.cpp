// The file capability: dispositions, links at the name and on the way,
// special files, views of files that change, folders that may not be left.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "platform/system/file.h"
#include "platform/system/file_view.h"
#include "platform/system/folder.h"
#include "platform/system/shared_library.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

namespace fs = std::filesystem;

class FileCapability : public testing::Test {
protected:
    fs::path host(const std::string& relative) const { return root_.path() / relative; }
    void write(const std::string& relative, const std::string& content) const {
        fs::create_directories(host(relative).parent_path());
        std::ofstream(host(relative), std::ios::binary) << content;
    }
    std::string read(const std::string& relative) const { return test::read_file(host(relative)); }

    test::TempRoot root_;
};

TEST_F(FileCapability, DispositionsOnExistingAndMissingFiles) {
    struct Case {
        DWORD disposition;
        DWORD access;
        bool exists;
        DWORD error;
        bool existed;          // GetLastError() 183 after success
        const char* content;   // what the file holds afterwards; null: no file
    };
    const DWORD rw = kGenericRead | kGenericWrite;
    const Case cases[] = {
        {kCreateNew, rw, false, 0, false, ""},
        {kCreateNew, rw, true, 80, false, "old"},
        {kCreateAlways, rw, false, 0, false, ""},
        {kCreateAlways, rw, true, 0, true, ""},
        {kCreateAlways, kGenericRead, true, 87, false, "old"},
        {kOpenExisting, kGenericRead, false, 2, false, nullptr},
        {kOpenExisting, rw, true, 0, false, "old"},
        {kOpenAlways, rw, false, 0, false, ""},
        {kOpenAlways, rw, true, 0, true, "old"},
        {kTruncateExisting, rw, false, 2, false, nullptr},
        {kTruncateExisting, rw, true, 0, false, ""},
        {kTruncateExisting, kGenericRead, true, 87, false, "old"},
        {9, rw, true, 87, false, "old"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "d/f" + std::to_string(n++);
        fs::create_directories(host("d"));
        if (c.exists) {
            write(name, "old");
        }
        File file;
        FileOpenOptions options;
        options.access = c.access;
        options.disposition = c.disposition;
        SCOPED_TRACE(name);
        EXPECT_EQ(File::open(L"C:\\d\\f" + std::to_wstring(n - 1), options, file), c.error);
        EXPECT_EQ(file.is_open(), c.error == 0);
        EXPECT_EQ(file.existed(), c.existed);
        file.close();
        EXPECT_EQ(fs::exists(host(name)), c.content != nullptr);
        if (c.content != nullptr) {
            EXPECT_EQ(read(name), c.content);
        }
    }
    File file;
    FileOpenOptions create{kGenericWrite, 0, kCreateNew};
    EXPECT_EQ(File::open(L"C:\\missing\\f", create, file), win::kErrorPathNotFound);
    EXPECT_EQ(File::open(L"C:\\missing\\f", {}, file), win::kErrorPathNotFound);
}

TEST_F(FileCapability, ReadWriteSizeTruncateTimesAndIdentity) {
    fs::create_directories(host("d"));
    File file;
    ASSERT_EQ(File::open_host(host("d/f"), {kGenericRead | kGenericWrite, 0, kCreateNew}, file), 0u);
    const std::string data(100000, 'a');
    ASSERT_EQ(file.write_all(data.data(), data.size()), 0u);
    ASSERT_EQ(file.flush_range(0, data.size(), true), 0u);
    ASSERT_EQ(file.truncate(70000), 0u);
    std::uint64_t size = 0;
    ASSERT_EQ(file.size(size), 0u);
    EXPECT_EQ(size, 70000u);
    char tail[16];
    std::size_t got = 0;
    ASSERT_EQ(file.read_at(69990, tail, sizeof tail, got), 0u);
    EXPECT_EQ(got, 10u);  // short read at the end, not an error
    ASSERT_EQ(file.read_at(70000, tail, sizeof tail, got), 0u);
    EXPECT_EQ(got, 0u);
    // The position stays where the writes left it (100000) until moved:
    // a resumed download appends at the end it finds.
    ASSERT_EQ(file.seek(70000), 0u);
    ASSERT_EQ(file.write_all("zz", 2), 0u);
    ASSERT_EQ(file.size(size), 0u);
    EXPECT_EQ(size, 70002u);
    ASSERT_EQ(file.read_at(69999, tail, 3, got), 0u);
    EXPECT_EQ(std::string(tail, got), "azz");
    ASSERT_EQ(file.truncate(70000), 0u);

    // 2021-01-01T00:00:00Z as FILETIME, and one second later.
    const std::uint64_t access = 132539328000000000ull;
    ASSERT_EQ(file.set_times(access, access + 10'000'000), 0u);
    ASSERT_EQ(file.set_times(0, 0), 0u);  // 0 keeps both
    struct stat st{};
    ASSERT_EQ(::stat(host("d/f").c_str(), &st), 0);
    EXPECT_EQ(st.st_atim.tv_sec, 1609459200);
    EXPECT_EQ(st.st_mtim.tv_sec, 1609459201);
    EXPECT_EQ(file.set_times(1, 0), win::kErrorInvalidParameter);  // before 1970

    FileIdentity before;
    FileIdentity after;
    ASSERT_EQ(file.identity(before), 0u);
    File other;
    ASSERT_EQ(File::open_host(host("d/f"), {}, other), 0u);
    ASSERT_EQ(other.identity(after), 0u);
    EXPECT_EQ(before, after);
    ASSERT_EQ(file.write_all("x", 1), 0u);
    ASSERT_EQ(other.identity(after), 0u);
    EXPECT_TRUE(after.same_file(before));
    EXPECT_NE(after, before);  // size and change time moved
    EXPECT_EQ(file.flush(), 0u);
}

TEST_F(FileCapability, AppendReadToEndLinkCountAndEntries) {
    write("d/log", "0123");
    Folder folder;
    ASSERT_EQ(Folder::open_host(host("d"), folder), 0u);
    // Two appending handles never overwrite each other, wherever they seek.
    File first;
    File second;
    ASSERT_EQ(folder.open_file(L"log", {kFileAppendData, 0, kOpenExisting}, first), 0u);
    ASSERT_EQ(folder.open_file(L"log", {kFileAppendData, 0, kOpenAlways}, second), 0u);
    ASSERT_EQ(first.write_all("ab", 2), 0u);
    ASSERT_EQ(second.seek(0), 0u);
    ASSERT_EQ(second.write_all("cd", 2), 0u);
    EXPECT_EQ(read("d/log"), "0123abcd");

    // read_to_end: the whole file within the bound, the bound's bytes and 223 beyond it.
    const struct {
        std::size_t max_bytes;
        DWORD error;
        std::string text;
    } reads[] = {{8, 0, "0123abcd"}, {100, 0, "0123abcd"}, {7, win::kErrorFileTooLarge, "0123abc"}, {0, 223, ""}};
    for (const auto& r : reads) {
        File in;
        ASSERT_EQ(folder.open_file(L"log", {}, in), 0u);
        std::string text;
        EXPECT_EQ(in.read_to_end(text, r.max_bytes), r.error) << r.max_bytes;
        EXPECT_EQ(text, r.text) << r.max_bytes;
    }

    FolderEntry entry;
    ASSERT_EQ(folder.entry(L"log", entry), 0u);
    FileIdentity id;
    ASSERT_EQ(first.identity(id), 0u);
    EXPECT_TRUE(!entry.is_link && !entry.is_folder && entry.size == 8 && entry.inode == id.inode &&
                entry.device == id.device);
    fs::create_symlink(host("nowhere"), host("d/link"));
    ASSERT_EQ(folder.entry(L"link", entry), 0u);
    EXPECT_TRUE(entry.is_link);
    EXPECT_EQ(folder.entry(L"missing", entry), win::kErrorFileNotFound);
    EXPECT_EQ(folder.entry(L"log/below", entry), win::kErrorBadPathname);

    std::uint32_t links = 0;
    std::uint64_t size = 0;
    ASSERT_EQ(first.size_and_links(size, links), 0u);
    EXPECT_EQ(links, 1u);
    EXPECT_EQ(size, 8u);
    ASSERT_EQ(folder.delete_file(L"log"), 0u);
    ASSERT_EQ(first.size_and_links(size, links), 0u);
    EXPECT_EQ(links, 0u);  // still open, no longer named
}

TEST_F(FileCapability, LinksAtTheNameAreNeverFollowed) {
    write("target", "keep");
    fs::create_symlink(host("target"), host("link"));
    fs::create_symlink(host("nowhere"), host("dangling"));
    const DWORD rw = kGenericRead | kGenericWrite;
    for (const char* name : {"link", "dangling"}) {
        for (DWORD disposition : {kCreateNew, kCreateAlways, kOpenExisting, kOpenAlways, kTruncateExisting}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(disposition));
            File file;
            const DWORD error = File::open_host(host(name), {rw, 0, disposition}, file);
            EXPECT_EQ(error, disposition == kCreateNew ? win::kErrorFileExists : win::kErrorCantResolveFilename);
            EXPECT_FALSE(file.is_open());
        }
    }
    File file;
    EXPECT_EQ(File::open_host(host("link"), {0, 0, kOpenExisting}, file), win::kErrorCantResolveFilename);
    EXPECT_EQ(read("target"), "keep");
    EXPECT_FALSE(fs::exists(host("nowhere")));
}

TEST_F(FileCapability, SpecialFilesNeverBlockAndOpenOnlyWhenAsked) {
    ASSERT_EQ(::mkfifo(host("fifo").c_str(), 0600), 0);
    fs::create_directories(host("dir"));
    File file;
    // Without a writer a blocking open of a FIFO would hang here.
    EXPECT_EQ(File::open_host(host("fifo"), {}, file), win::kErrorAccessDenied);
    EXPECT_EQ(File::open_host(host("fifo"), {kGenericWrite, 0, kOpenExisting}, file), win::kErrorAccessDenied);
    EXPECT_EQ(File::open_host(host("dir"), {}, file), win::kErrorAccessDenied);
    FileOpenOptions special;
    special.allow_special = true;
    EXPECT_EQ(File::open_host(host("fifo"), special, file), 0u);
    EXPECT_EQ(File::open_host(host("dir"), special, file), win::kErrorAccessDenied);
    EXPECT_EQ(File::open_host("/dev/null", {}, file), win::kErrorAccessDenied);
    EXPECT_EQ(File::open_host("/dev/null", special, file), 0u);
    // A view refuses what is not a regular file.
    FileView view;
    EXPECT_EQ(FileView::open_host(host("fifo"), view), win::kErrorAccessDenied);
}

TEST_F(FileCapability, ViewOfAFileThatChangesReportsItInsteadOfCrashing) {
    const std::size_t size = 1 << 20;
    write("big", std::string(size, '\x01'));
    struct Case {
        const char* change;
        std::uint64_t cut_to;  // size after the change
        bool intact;
    };
    const Case cases[] = {{"nothing", size, true}, {"cut short", 4096, false}, {"emptied", 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        write("big", std::string(size, '\x01'));
        FileView view;
        ASSERT_EQ(FileView::open_host(host("big"), view), 0u);
        ASSERT_EQ(view.bytes().size(), size);
        EXPECT_TRUE(view.intact());
        if (c.cut_to != size) {
            fs::resize_file(host("big"), c.cut_to);
        }
        // Every byte is read, the vanished ones as zeros: no SIGBUS.
        const auto bytes = view.bytes();
        EXPECT_EQ(std::accumulate(bytes.begin(), bytes.end(), std::uint64_t{0}), c.cut_to);
        EXPECT_EQ(view.intact(), c.intact);
    }
    // Many views at once: each guarded, each released.
    std::vector<FileView> views(40);
    for (auto& view : views) {
        ASSERT_EQ(FileView::open_host(host("big"), view), 0u);
    }
}

TEST_F(FileCapability, RelativePathsThatLeaveTheBaseAreRefused) {
    struct Case {
        std::wstring relative;
        DWORD error;
        std::vector<std::string> components;
    };
    const Case cases[] = {
        {L"", 0, {}},
        {L"a\\b/c", 0, {"a", "b", "c"}},
        {L"a\\\\b\\.\\c\\", 0, {"a", "b", "c"}},
        {L"a\\..\\b", 0, {"b"}},
        {L"a/b/../..", 0, {}},
        {L"..", 161, {}},
        {L"..\\x", 161, {}},
        {L"../x", 161, {}},
        {L"a\\..\\..\\x", 161, {}},
        {L"a/../../x", 161, {}},
        {L"a\\b\\..\\..\\..", 161, {}},
        {L"a\\b\\c\\..\\..\\..\\..\\x", 161, {}},
        {L"\\x", 161, {}},
        {L"/x", 161, {}},
        {L"C:\\x", 161, {}},
        {L"c:x", 161, {}},
        {std::wstring(L"a\0b", 3), 161, {}},
        {std::wstring(1, static_cast<wchar_t>(0xD800)), 161, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> components;
        EXPECT_EQ(split_relative_path(c.relative, components), c.error) << rk::text::wide_to_utf8(c.relative);
        EXPECT_EQ(components, c.components);
    }
}

TEST_F(FileCapability, LinksOnTheWayAreRemovedNotFollowed) {
    fs::create_directories(host("base"));
    fs::create_directories(host("outside"));
    write("outside/keep", "keep");
    for (const char* level : {"base/a", "base/a/b", "base/a/b/c"}) {
        SCOPED_TRACE(level);
        fs::remove_all(host("base/a"));
        fs::create_directories(host(level).parent_path());
        fs::create_directory_symlink(host("outside"), host(level));
        Folder folder;
        ASSERT_EQ(prepare_folder(host("base").wstring(), L"a\\b\\c", FolderCreation::kAll, folder), 0u);
        File file;
        ASSERT_EQ(folder.open_file(L"new", {kGenericWrite, 0, kCreateNew}, file), 0u);
        EXPECT_TRUE(fs::is_regular_file(host("base/a/b/c/new")));
        EXPECT_FALSE(fs::is_symlink(host(level)));
        EXPECT_EQ(fs::directory_iterator(host("outside"))->path().filename(), "keep");
        EXPECT_EQ(folder.host_path(), host("base/a/b/c"));
    }
    // A file in the way; a missing level with one-level creation.
    write("base/file", "x");
    Folder folder;
    EXPECT_EQ(prepare_folder(host("base").wstring(), L"file", FolderCreation::kAll, folder), win::kErrorAlreadyExists);
    EXPECT_EQ(prepare_folder(host("base").wstring(), L"file\\x", FolderCreation::kAll, folder),
              win::kErrorPathNotFound);
    EXPECT_EQ(prepare_folder(host("base").wstring(), L"m\\n", FolderCreation::kLastOnly, folder),
              win::kErrorPathNotFound);
    EXPECT_FALSE(fs::exists(host("base/m")));
    EXPECT_EQ(prepare_folder(host("base").wstring(), L"m", FolderCreation::kLastOnly, folder), 0u);
    EXPECT_EQ(prepare_folder(host("base").wstring(), L"..\\outside", FolderCreation::kAll, folder),
              win::kErrorBadPathname);
    EXPECT_EQ(prepare_folder(host("nobase").wstring(), L"x", FolderCreation::kAll, folder), win::kErrorFileNotFound);
}

// A writer given one absolute folder path (an update document's DestDir):
// ".." may not leave the known folder the path starts in, a path outside
// every known folder may hold no ".." at all, and links at any level are
// removed, never followed.
TEST_F(FileCapability, AbsoluteFolderPathsStayInsideTheirKnownFolder) {
    fs::create_directories(host("var/lib"));
    fs::create_directories(host("outside"));
    const std::wstring data = host("var/lib").wstring();
    const std::wstring other = host("other").wstring();
    struct Case {
        std::wstring path;  // '|' stands for each separator in turn
        DWORD error;
        const char* made;  // the folder reached, below the root
    };
    const Case cases[] = {
        {data + L"|Corvane|x", 0, "var/lib/Corvane/x"},
        {data + L"|Corvane|..|Setup", 0, "var/lib/Setup"},
        {data, 0, "var/lib"},
        {data + L"|..|escape", 161, nullptr},
        {data + L"|Corvane|..|..|escape", 161, nullptr},
        {data + L"|Corvane|x|..|..|..", 161, nullptr},
        {data + L"|Corvane|..|..", 161, nullptr},
        {data + L"|..|lib|Corvane", 161, nullptr},
        {other + L"|a|b", 0, "other/a/b"},
        {other + L"|a|..|b", 161, nullptr},
        {other + L"|..|escape", 161, nullptr},
        {L"relative|x", 161, nullptr},
    };
    for (const wchar_t separator : {L'\\', L'/'}) {
        for (const Case& c : cases) {
            std::wstring path = c.path;
            std::replace(path.begin(), path.end(), L'|', separator);
            SCOPED_TRACE(rk::text::wide_to_utf8(path));
            fs::remove_all(host("var/lib/Corvane"));
            fs::remove_all(host("var/lib/Setup"));
            fs::remove_all(host("other"));
            Folder folder;
            EXPECT_EQ(prepare_folder_at(path, FolderCreation::kAll, folder), c.error);
            if (c.made != nullptr) {
                EXPECT_EQ(folder.host_path(), host(c.made));
            }
            EXPECT_FALSE(fs::exists(host("var/escape")));
            EXPECT_FALSE(fs::exists(host("escape")));
            EXPECT_TRUE(fs::is_empty(host("outside")));
        }
    }
    // A link at each level below the known folder goes; its target stays.
    for (const char* level : {"var/lib/Corvane", "var/lib/Corvane/x"}) {
        SCOPED_TRACE(level);
        fs::remove_all(host("var/lib/Corvane"));
        fs::create_directories(host(level).parent_path());
        fs::create_directory_symlink(host("outside"), host(level));
        Folder folder;
        ASSERT_EQ(prepare_folder_at(data + L"\\Corvane\\x", FolderCreation::kAll, folder), 0u);
        EXPECT_FALSE(fs::is_symlink(host(level)));
        EXPECT_TRUE(fs::is_directory(host("var/lib/Corvane/x")));
        EXPECT_TRUE(fs::is_empty(host("outside")));
    }
}

TEST_F(FileCapability, ALinkSwappedInAfterTheCheckIsNotFollowed) {
    fs::create_directories(host("outside"));
    Folder folder;
    ASSERT_EQ(prepare_folder(host("").wstring(), L"dest", FolderCreation::kAll, folder), 0u);
    // The checked folder moves away and a link to "outside" takes its name.
    fs::rename(host("dest"), host("moved"));
    fs::create_directory_symlink(host("outside"), host("dest"));
    File file;
    ASSERT_EQ(folder.open_file(L"installer", {kGenericWrite, 0, kCreateNew}, file), 0u);
    ASSERT_EQ(file.write_all("x", 1), 0u);
    ASSERT_EQ(folder.rename(L"installer", L"final"), 0u);
    EXPECT_TRUE(fs::is_empty(host("outside")));
    EXPECT_TRUE(fs::exists(host("moved/final")));
    // A link planted at a file's name inside the open folder.
    fs::create_symlink(host("outside/x"), host("moved/planted"));
    EXPECT_EQ(folder.open_file(L"planted", {kGenericWrite, 0, kCreateAlways}, file), win::kErrorCantResolveFilename);
    EXPECT_EQ(folder.open_file(L"..", {}, file), win::kErrorBadPathname);
    EXPECT_EQ(folder.open_file(L"a\\b", {}, file), win::kErrorBadPathname);
    EXPECT_EQ(folder.delete_file(L"planted"), 0u);  // the link, not its target
    std::vector<std::wstring> names;
    ASSERT_EQ(folder.list(names), 0u);
    EXPECT_EQ(names, std::vector<std::wstring>{L"final"});
}

TEST_F(FileCapability, PrivateFoldersAreOwnedByUsAndClosedToOthers) {
    for (const auto& [mode, error] : {std::pair{0755u, 0u}, {0700u, 0u}, {0775u, 5u}, {0777u, 5u}, {01777u, 5u}}) {
        fs::create_directories(host("p"));
        ASSERT_EQ(::chmod(host("p").c_str(), mode), 0);
        Folder folder;
        ASSERT_EQ(Folder::open_host(host("p"), folder), 0u);
        EXPECT_EQ(folder.check_private(), error) << std::oct << mode;
    }
}

TEST_F(FileCapability, LibraryLoadErrors) {
    write("not-a-library.so", "text");
    SharedLibrary library;
    std::string text;
    EXPECT_EQ(SharedLibrary::load(host("missing.so"), false, library, text), kErrorModNotFound);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(SharedLibrary::load(host("not-a-library.so"), false, library, text), win::kErrorBadExeFormat);
    EXPECT_FALSE(library.is_loaded());
    EXPECT_EQ(library.symbol("anything"), nullptr);
}

}  // namespace
}  // namespace rk::sys
