// The metadata store and its ".skvs" file: round trip, damaged and foreign
// files, and what a cached object makes of them on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "platform/system/paths.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "xml_updater/substitutions/test/log_capture.h"
#include "xml_updater/web_cache/cached_object.h"
#include "xml_updater/web_cache/metadata_codec.h"

namespace XMLUpdater::v2::web_cache {
namespace {

namespace fs = std::filesystem;
using rk::sys::test::read_file;

KeyValueStore full_store() {
    KeyValueStore store;
    store.set(L"Host", L"downloads.example.com:8443");
    store.set(L"Path", L"/content/engine.js?v=1");
    store.set(L"Status", L"206");
    store.set(L"Content-Type", L"application/javascript");
    store.set(L"Content-Length", L"1048576");
    store.set(L"Content-MD5", L"Q2hlY2sgSW50ZWdyaXR5IQ==");
    store.set(L"ETag", L"\"5f3a-1b2c\"");
    store.set(L"Last-Modified", L"Tue, 01 Dec 2026 10:00:00 GMT");
    store.set(L"Expires", L"");
    store.set(L"Cache-Control", L"max-age=0, no-cache");
    store.set(L"Accept-Ranges", L"bytes");
    store.set(L"X-Entity-Length", L"18446744073709551615");
    store.set(L"Note", L"Grüße \u4e00\U0001F600");
    store.set_integer(L"Count", -9223372036854775807LL - 1);
    return store;
}

std::string what_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return {};
}

TEST(MetadataStore, RoundTripsEveryKeyAndTypeAndReadsAnIndependentWriter) {
    const KeyValueStore store = full_store();
    const auto file = encode_metadata(store);
    EXPECT_EQ(decode_metadata(file), store);
    EXPECT_EQ(decode_metadata(encode_metadata(KeyValueStore())), KeyValueStore());
    // Encrypted: none of the values is readable in the file.
    const std::string text(file.begin(), file.end());
    EXPECT_EQ(text.find("example.com"), std::string::npos);
    EXPECT_EQ(text.find("SKVS"), std::string::npos);

    // corpus/skvs/*.skvs were written by Python and the openssl command line
    // from the documented layout, independently of this code.
    const std::string bytes = read_file(fs::path(RK_WEB_CACHE_DIR) / "corpus" / "skvs" / "typed.skvs");
    const std::vector<std::uint8_t> independent(bytes.begin(), bytes.end());
    KeyValueStore expected;
    expected.set(L"Host", L"h");
    expected.set(L"Path", L"/p");
    expected.set_integer(L"Count", -5);
    expected.set(L"Note", L"Gr\u00fc\u00dfe \u4e00");
    EXPECT_EQ(decode_metadata(independent), expected);
    EXPECT_EQ(encode_metadata(expected), independent);
}

TEST(MetadataStore, KeysAndTypesAreChecked) {
    KeyValueStore store = full_store();
    EXPECT_EQ(what_of([&] { store.get_integer(L"ETag"); }), "Type mismatch on get value (type is string)");
    EXPECT_EQ(what_of([&] { store.get(L"Count"); }), "Type mismatch on get value (type is integer)");
    for (const wchar_t* key : {L"E Tag", L"ETag\t", L"\nHost", L"Non\u00A0breaking", L"Ideographic\u3000space"}) {
        EXPECT_EQ(what_of([&] { store.set(key, L"x"); }), "Key cannot contain whitespace character(s)");
    }
    EXPECT_EQ(what_of([&] { store.required(L"Host"); }), "");
    store.erase(L"Host");
    EXPECT_EQ(what_of([&] { store.required(L"Host"); }), "Required parameter 'Host' is missing");
}

// Every prefix and every single-byte change of a file, and files under
// another key, are refused with a clear text; none is taken as a store.
TEST(MetadataStore, DamagedOrForeignFilesAreRefused) {
    const auto file = encode_metadata(full_store());
    const std::set<std::string> allowed = {
        "Serialization version number incorrect (possible i/o error or corrupt file)",
        "Serialization data incorrect (possible i/o error or corrupt file)",
    };
    for (std::size_t length = 0; length < file.size(); ++length) {
        const std::vector<std::uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_TRUE(allowed.contains(what_of([&] { decode_metadata(cut); }))) << "cut at " << length;
    }
    for (std::size_t i = 0; i < file.size(); ++i) {
        for (const std::uint8_t flip : {0x01, 0x80}) {
            auto changed = file;
            changed[i] ^= flip;
            EXPECT_TRUE(allowed.contains(what_of([&] { decode_metadata(changed); }))) << "byte " << i;
        }
    }
    const std::vector<std::uint8_t> other_key(32, 0x5A);
    const std::vector<std::uint8_t> other_iv(16, 0xA5);
    EXPECT_TRUE(allowed.contains(what_of([&] { decode_metadata(encode_metadata(full_store(), other_key, other_iv)); })));
    EXPECT_EQ(what_of([&] { decode_metadata(std::vector<std::uint8_t>(kMaxMetadataFileBytes + 1)); }),
              "Input is too big");
}

class CachedObjectTest : public ::testing::Test {
protected:
    fs::path dir() const { return root_.path() / "cache"; }
    std::wstring wdir() const { return rk::sys::wide_path(dir()); }
    static void write(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    // An object with complete metadata and `data` on disk.
    void seed(const std::string& data) {
        Cached_object object(wdir(), L"file.bin", L"example.com", L"/file.bin");
        object.metadata().set(L"ETag", L"\"v1\"");
        object.metadata().set(L"X-Entity-Length", std::to_wstring(data.size()));
        object.save_metadata();
        write(dir() / "file.bin", data);
    }

    rk::sys::test::TempRoot root_;
    test::LogCapture log_;
};

TEST_F(CachedObjectTest, MetadataThatDoesNotDescribeTheDataIsForgottenButTheDataStays) {
    const struct {
        const char* name;
        std::function<void(const fs::path& skvs)> damage;
        const wchar_t* host;
        const char* logged;
    } cases[] = {
        {"intact", [](const fs::path&) {}, L"example.com", nullptr},
        {"cut short", [](const fs::path& skvs) { fs::resize_file(skvs, fs::file_size(skvs) - 5); }, L"example.com",
         "is unreadable"},
        {"empty", [](const fs::path& skvs) { write(skvs, ""); }, L"example.com", "is unreadable"},
        {"other host", [](const fs::path&) {}, L"mirror.example.com", "another address"},
    };
    for (const auto& c : cases) {
        seed("0123456789");
        log_.lines.clear();
        c.damage(dir() / "file.bin.skvs");
        Cached_object object(wdir(), L"file.bin", c.host, L"/file.bin");
        EXPECT_EQ(object.metadata().contains(L"ETag"), c.logged == nullptr) << c.name;
        EXPECT_EQ(object.metadata().get(L"Host"), c.host) << c.name;
        EXPECT_EQ(read_file(dir() / "file.bin"), "0123456789") << c.name;
        const bool logged = !log_.lines.empty() && log_.lines[0].level == 3 &&
                            log_.lines[0].text.find(rk::text::utf8_to_wide(c.logged ? c.logged : "-")) != std::wstring::npos;
        EXPECT_EQ(logged, c.logged != nullptr) << c.name << "\n" << rk::text::wide_to_utf8(log_.Dump());
    }
}

TEST_F(CachedObjectTest, LinksAreRemovedNotFollowed) {
    const fs::path outside = root_.path() / "outside";
    fs::create_directories(outside);
    fs::create_directory_symlink(outside, dir());
    {
        Cached_object object(wdir(), L"file.bin", L"example.com", L"/file.bin");
        object.begin_data(false);
        object.write_data(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("abc"), 3));
        object.end_data();
        object.save_metadata();
    }
    EXPECT_FALSE(fs::is_symlink(dir()));
    EXPECT_TRUE(fs::is_empty(outside));

    const fs::path victim = outside / "victim";
    write(victim, "keep");
    fs::remove(dir() / "file.bin");
    fs::create_symlink(victim, dir() / "file.bin");
    Cached_object object(wdir(), L"file.bin", L"example.com", L"/file.bin");
    object.begin_data(false);
    object.write_data(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("new"), 3));
    object.end_data();
    EXPECT_EQ(read_file(victim), "keep");
    EXPECT_FALSE(fs::is_symlink(dir() / "file.bin"));
    EXPECT_EQ(read_file(dir() / "file.bin"), "new");
}

TEST_F(CachedObjectTest, NamesThatLeaveTheFolderAreRefused) {
    for (const wchar_t* name : {L"", L".", L"..", L"..\\x", L"a/b", L"a\\b"}) {
        EXPECT_THROW(Cached_object(wdir(), name, L"example.com", L"/x"), std::system_error) << name;
    }
    EXPECT_FALSE(fs::exists(root_.path() / "x"));
}

}  // namespace
}  // namespace XMLUpdater::v2::web_cache
