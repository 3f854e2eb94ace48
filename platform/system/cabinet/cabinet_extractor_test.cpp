// Extraction of real cabinets (gcab's, MSZIP and stored) and of hand-made
// hostile ones into a temporary folder.
#include "platform/system/cabinet/cabinet_extractor.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/system/cabinet/cabinet_names.h"
#include "platform/system/cabinet/test/cabinet_maker.h"
#include "platform/system/paths.h"
#include "platform/system/test/temp_root.h"

namespace rk::sys::cabinet {
namespace {

namespace fs = std::filesystem;
using dira_doro::FdiError;
using test::StoredEntry;

std::vector<std::string> tree(const fs::path& root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        out.push_back(fs::relative(it->path(), root).native() + (it->is_symlink() ? "@" : ""));
    }
    std::sort(out.begin(), out.end());
    return out;
}

class CabinetExtraction : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(src_);
        fs::create_directories(outside_);
    }

    ExtractResult extract(const std::vector<std::uint8_t>& cab, const ExtractOptions& options = {}) const {
        return extract_cabinet(cab, wide_path(dest_), options);
    }

    // gcab's cabinet of `files` (relative names and contents), every file
    // stored as dated `stamp`. gcab stores the UTC fields of a file's time,
    // so the files are touched in UTC to store exactly `stamp`.
    std::vector<std::uint8_t> gcab(const std::vector<std::pair<std::string, std::string>>& files, bool compress,
                                   const char* stamp = "2024-05-01 12:34:56") const {
        std::vector<std::string> names;
        for (const auto& [name, data] : files) {
            fs::create_directories((src_ / name).parent_path());
            test::write_file(src_ / name, data);
            const std::string touch = "TZ=UTC touch -d '" + std::string(stamp) + "' '" + (src_ / name).native() + "'";
            EXPECT_EQ(std::system(touch.c_str()), 0);
            names.push_back(name);
        }
        const fs::path out = tmp_.path() / "made.cab";
        EXPECT_TRUE(test::make_gcab_cabinet(src_, names, compress, out));
        return test::read_file(out);
    }

    rk::sys::test::ScopedEnv tz_{"TZ", "Europe/Berlin"};
    rk::sys::test::TempRoot tmp_;
    fs::path src_ = tmp_.path() / "src";
    fs::path dest_ = tmp_.path() / "dest";
    fs::path outside_ = tmp_.path() / "outside";
};

// Bytes that deflate cannot shrink, so every 32 KiB block holds its own.
std::string noise(std::size_t size) {
    std::string out(size, '\0');
    std::uint32_t x = 12345;
    for (auto& c : out) {
        x = x * 1103515245 + 12345;
        c = static_cast<char>(x >> 24);
    }
    return out;
}

TEST_F(CabinetExtraction, GcabCabinetsKeepFoldersNamesAndDates) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a.txt", "first file\n"},
        {"sub/deeper/b.bin", std::string(200000, 'x') + "tail"},
        {"caf\xc3\xa9 \xe4\xb8\xad.txt", "utf-8 name\n"},
        {"empty", ""},
    };
    for (const bool compress : {true, false}) {
        fs::remove_all(dest_);
        const auto r = extract(gcab(files, compress));
        ASSERT_TRUE(r.ok()) << r.error().message();
        EXPECT_EQ(r.files_written, 4u);
        for (const auto& [name, data] : files) {
            EXPECT_EQ(test::read_text(dest_ / name), data) << name;
            struct stat st {};
            ASSERT_EQ(::stat((dest_ / name).c_str(), &st), 0);
            // Stored 12:34:56 taken as Berlin summer time: 10:34:56 UTC.
            EXPECT_EQ(st.st_mtime, 1714559696) << name;
        }
    }
}

TEST_F(CabinetExtraction, ReextractionReplacesFilesAndLinksAtThem) {
    const auto cab = gcab({{"a.txt", "new"}, {"sub/b.txt", "new b"}}, true);
    fs::create_directories(dest_ / "sub");
    test::write_file(dest_ / "a.txt", "old and longer");
    test::write_file(outside_ / "victim", "keep");
    fs::create_symlink(outside_ / "victim", dest_ / "sub" / "b.txt");
    ASSERT_TRUE(extract(cab).ok());
    ASSERT_TRUE(extract(cab).ok());
    EXPECT_EQ(test::read_text(dest_ / "a.txt"), "new");
    EXPECT_EQ(test::read_text(dest_ / "sub" / "b.txt"), "new b");
    EXPECT_FALSE(fs::is_symlink(dest_ / "sub" / "b.txt"));
    EXPECT_EQ(test::read_text(outside_ / "victim"), "keep");
    EXPECT_EQ(tree(dest_), (std::vector<std::string>{"a.txt", "sub", "sub/b.txt"}));
}

TEST_F(CabinetExtraction, LinksAtTheDestinationAndItsFoldersAreRemoved) {
    const auto cab = gcab({{"x/y/f.txt", "data"}}, true);
    for (const char* link : {"", "x", "x/y"}) {  // relative to the destination; "" is the destination itself
        fs::remove_all(dest_);
        fs::remove_all(outside_);
        fs::create_directories(outside_);
        const fs::path at = std::string(link).empty() ? dest_ : dest_ / link;
        fs::create_directories(at.parent_path());
        fs::create_directory_symlink(outside_, at);
        const auto r = extract(cab);
        ASSERT_TRUE(r.ok()) << link << ": " << r.error().message();
        EXPECT_FALSE(fs::is_symlink(at)) << link;
        EXPECT_EQ(test::read_text(dest_ / "x/y/f.txt"), "data") << link;
        EXPECT_TRUE(fs::is_empty(outside_)) << link;
    }
}

TEST_F(CabinetExtraction, StoredNamesDecodeByTheirFlag) {
    const std::vector<StoredEntry> entries = {
        test::stored("caf\xe9 \x80.txt", "ansi"),
        test::stored("dir\\caf\xc3\xa9.txt", "utf", 0xA0),
    };
    ASSERT_TRUE(extract(test::make_stored_cabinet(entries)).ok());
    EXPECT_EQ(test::read_text(dest_ / "caf\xc3\xa9 \xe2\x82\xac.txt"), "ansi");
    EXPECT_EQ(test::read_text(dest_ / "dir" / "caf\xc3\xa9.txt"), "utf");
}

TEST_F(CabinetExtraction, HandMadeLzxAndMszipStreamsUnpackAsCabextractUnpacksThem) {
    // The second copy of the run starts in the first frame and goes on in the
    // second: the second frame refers back into the first.
    const std::string run = noise(20000);
    const std::vector<StoredEntry> entries = {test::stored("big.bin", run + run), test::stored("small.txt", "tail")};
    const struct {
        const char* what;
        std::vector<std::uint8_t> cab;
    } cases[] = {
        {"LZX", test::make_lzx_cabinet(entries)},
        {"MSZIP", test::make_mszip_cabinet(entries)},
    };
    for (const auto& c : cases) {
        fs::remove_all(dest_);
        const fs::path file = tmp_.path() / "made.cab", reference = tmp_.path() / "reference";
        fs::remove_all(reference);
        test::write_file(file, std::string(c.cab.begin(), c.cab.end()));
        ASSERT_EQ(std::system(("cabextract -q -d '" + reference.native() + "' '" + file.native() + "'").c_str()), 0);
        const auto r = extract(c.cab);
        ASSERT_TRUE(r.ok()) << c.what << ": " << r.error().message();
        for (const auto& e : entries) {
            EXPECT_EQ(test::read_text(reference / e.name), e.data) << c.what << " (cabextract): " << e.name;
            EXPECT_EQ(test::read_text(dest_ / e.name), e.data) << c.what << ": " << e.name;
        }
    }
}

TEST_F(CabinetExtraction, AFileBeforeTheLastOneInItsFolderUnpacksTheFolderAgain) {
    const std::string a = noise(70000) + std::string(30000, 'a');  // four blocks
    const std::string b = "b\n" + a.substr(1000, 5000);          // refers back into a
    auto cab = gcab({{"a.txt", a}, {"b.txt", b}}, true);
    // Swap size and offset of the two entries (names of equal length): the
    // first file listed is now the later one in the folder.
    const std::size_t first = test::get32(cab, 16), second = first + 16 + sizeof "a.txt";
    for (const std::size_t field : {0, 4}) {
        const std::uint32_t x = test::get32(cab, first + field);
        test::set32(cab, first + field, test::get32(cab, second + field));
        test::set32(cab, second + field, x);
    }
    const auto r = extract(cab);
    ASSERT_TRUE(r.ok()) << r.error().message();
    EXPECT_EQ(test::read_text(dest_ / "a.txt"), b);
    EXPECT_EQ(test::read_text(dest_ / "b.txt"), a);
}

TEST_F(CabinetExtraction, NamesThatWouldLeaveTheDestinationFailBeforeAnythingIsWritten) {
    const struct {
        std::string name;
        std::uint16_t attributes;
    } cases[] = {
        {"..\\escape", 0x20},        {"a\\..\\..\\escape", 0x20}, {"a/../../escape", 0x20},
        {"\\etc\\escape", 0x20},     {"/etc/escape", 0x20},       {"C:\\escape", 0x20},
        {"c:escape", 0x20},          {"a\\b:stream", 0x20},       {".\\a", 0x20},
        {"dir\\", 0x20},             {"a\x01" "b", 0x20},
        {"caf\xe9", 0xA0},  // flagged UTF-8, not UTF-8
        {"\xc0\xae\xc0\xae\\x", 0xA0},  // overlong dots
    };
    for (const auto& c : cases) {
        fs::remove_all(dest_);
        const auto cab = test::make_stored_cabinet({test::stored("good.txt", "ok"), test::stored(c.name, "bad", c.attributes)});
        const auto r = extract(cab);
        EXPECT_EQ(r.fdi, FdiError::user_abort) << c.name;
        EXPECT_EQ(r.step, FailedStep::kName) << c.name;
        EXPECT_FALSE(fs::exists(dest_)) << c.name;
        EXPECT_TRUE(fs::is_empty(outside_));
        EXPECT_FALSE(fs::exists(tmp_.path() / "escape"));
    }
}

TEST_F(CabinetExtraction, DamagedCabinetsFailWithTheirFdiErrorAndLeaveNoPartialFile) {
    const auto good = gcab({{"a.txt", std::string(1000, 'a')}, {"b.txt", noise(300000)}}, true);
    auto flipped = good;
    flipped[flipped.size() - 20] ^= 0x55;  // in b.txt's last block, whose checksum gcab wrote
    auto bad_magic = good;
    bad_magic[0] = 'X';
    // The first MSZIP block (gcab writes no reserve), its checksum cleared.
    const std::size_t block = test::get32(good, 36);
    auto no_ck = good;
    test::set32(no_ck, block, 0);
    no_ck[block + 8] = 'X';
    auto other_size = good;
    test::set32(other_size, block, 0);
    other_size[block + 6] = 0xFF;  // claims 32767 unpacked bytes, holds 32768
    other_size[block + 7] = 0x7F;
    auto continued = test::stored("a.txt", "x");
    continued.folder_index = 0xFFFF;
    const struct {
        const char* what;
        std::vector<std::uint8_t> cab;
        FdiError fdi;
        std::size_t written;
    } cases[] = {
        {"empty", {}, FdiError::not_a_cabinet, 0},
        {"garbage", std::vector<std::uint8_t>(100, 0x41), FdiError::not_a_cabinet, 0},
        {"bad magic", bad_magic, FdiError::not_a_cabinet, 0},
        {"cut in the header", {good.begin(), good.begin() + 20}, FdiError::not_a_cabinet, 0},
        {"cut in the file list", {good.begin(), good.begin() + 60}, FdiError::corrupt_cabinet, 0},
        {"cut in the data", {good.begin(), good.end() - 100}, FdiError::eof, 1},
        {"flipped data byte", flipped, FdiError::corrupt_cabinet, 1},
        {"unknown compression",
         test::make_stored_cabinet({test::stored("a", "x")}, 7), FdiError::bad_compr_type, 0},
        {"MSZIP block without CK", no_ck, FdiError::mdi_fail, 0},
        {"MSZIP block unpacking to another size than it claims", other_size, FdiError::mdi_fail, 0},
        // A name ends at its first NUL; what follows it is never a name.
        {"NUL in the last name",
         test::make_stored_cabinet({test::stored(std::string("a.txt\0..\\..\\escape", 17), "x")}),
         FdiError::none, 1},
        {"NUL in an earlier name",
         test::make_stored_cabinet({test::stored(std::string("a.txt\0..\\..\\escape", 17), "x"),
                                    test::stored("b.txt", "y")}),
         FdiError::corrupt_cabinet, 0},
        // Its previous and next cabinet is itself, its file continued from
        // one into the other: never followed.
        {"a cabinet set in a circle", test::make_set_cabinet({continued}, "cabinet"), FdiError::mdi_fail, 0},
    };
    for (const auto& c : cases) {
        fs::remove_all(dest_);
        const auto r = extract(c.cab);
        EXPECT_EQ(r.fdi, c.fdi) << c.what << ": " << r.error().message();
        EXPECT_EQ(r.files_written, c.written) << c.what;
        const std::vector<std::string> expected =
            c.written == 0 ? std::vector<std::string>{} : std::vector<std::string>{"a.txt"};
        EXPECT_EQ(fs::exists(dest_) ? tree(dest_) : std::vector<std::string>{}, expected) << c.what;
    }
}

TEST_F(CabinetExtraction, AbsurdClaimsAreRefusedWithoutAllocatingThem) {
    const struct {
        const char* what;
        std::vector<StoredEntry> entries;
        FdiError fdi;
        FailedStep step;
    } cases[] = {
        {"a file claiming 4 GiB", {test::claiming(test::stored("big", "x"), 0xFFFFFFFF)},
         FdiError::user_abort, FailedStep::kLimit},
        {"a file claiming more than its folder holds", {test::claiming(test::stored("big", "x"), 40000)},
         FdiError::mdi_fail, FailedStep::kCabinet},
        {"a file beyond its folder", {test::claiming(test::stored("far", "x"), 1, 0x7FFFFFF0)},
         FdiError::corrupt_cabinet, FailedStep::kCabinet},
    };
    for (const auto& c : cases) {
        fs::remove_all(dest_);
        const auto r = extract(test::make_stored_cabinet(c.entries));
        EXPECT_EQ(r.fdi, c.fdi) << c.what;
        EXPECT_EQ(r.step, c.step) << c.what;
        EXPECT_FALSE(fs::exists(dest_ / c.entries[0].name)) << c.what;
    }
    // Many files that each make the library unpack the folder again from its
    // start: bounded by the work they would cost, not only by their sizes.
    std::vector<StoredEntry> rewinds;
    for (std::uint32_t i = 0; i < 2000; ++i) {
        rewinds.push_back(test::claiming(test::stored("r", ""), 1, i % 2 == 0 ? (1u << 20) - 1 : 0u));
    }
    rewinds.push_back(test::stored("body", std::string(1 << 20, 'z')));
    ExtractOptions small;
    small.max_unpacked_bytes = 64 << 20;
    const auto r = extract(test::make_stored_cabinet(rewinds), small);
    EXPECT_EQ(r.step, FailedStep::kLimit);
}

TEST_F(CabinetExtraction, FilterAndCallbackSeeEveryFile) {
    const auto cab = gcab({{"keep/a.txt", "a"}, {"skip.txt", "s"}, {"keep/b.txt", "b"}}, true);
    std::vector<std::wstring> seen;
    ExtractOptions options;
    options.filter = [](const CabinetFile& f) { return f.name != L"skip.txt"; };
    options.on_file = [&](const CabinetFile& f, const fs::path& path) {
        seen.push_back(f.name);
        EXPECT_EQ(f.dos_date, (44 << 9) | (5 << 5) | 1);
        EXPECT_EQ(f.dos_time, (12 << 11) | (34 << 5) | (56 / 2));
        EXPECT_TRUE(fs::is_regular_file(path));
        return seen.size() < 2;
    };
    const auto r = extract(cab, options);
    EXPECT_EQ(r.fdi, FdiError::user_abort);
    EXPECT_EQ(r.step, FailedStep::kCallback);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"keep\\a.txt", L"keep\\b.txt"}));
    EXPECT_FALSE(fs::exists(dest_ / "skip.txt"));
}

TEST_F(CabinetExtraction, FileInTheWayOfAFolderFails) {
    const auto cab = gcab({{"sub/a.txt", "a"}}, false);
    fs::create_directories(dest_);
    test::write_file(dest_ / "sub", "a file");
    const auto r = extract(cab);
    EXPECT_EQ(std::tie(r.fdi, r.step, r.system_error), std::tuple(FdiError::user_abort, FailedStep::kFolder, 183u));
    EXPECT_EQ(test::read_text(dest_ / "sub"), "a file");
}

}  // namespace
}  // namespace rk::sys::cabinet
