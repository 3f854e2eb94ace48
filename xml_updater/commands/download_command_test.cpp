// DOWNLOAD end to end: documents run by the engine against the test server,
// the checks that delete a refused file, ".bak" on overwrite, failures that
// leave the old file, progress reports, and a disk that fills mid-download.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/system/http/test/test_server.h"
#include "platform/system/paths.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "xml_updater/download_file.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/test/engine_test_support.h"
#include "xml_updater/updater.h"

namespace XMLUpdater::v2 {
namespace {

namespace fs = std::filesystem;
using rk::sys::http::test::RawServer;
using rk::sys::http::test::TestServer;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string fixture(const char* name) {
    return read_file(fs::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "fixtures" / name);
}

std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Ends : public progress_manager {
public:
    void begin(const std::wstring&, const std::wstring&) override { calls += "b"; }
    void progress(const std::wstring&, std::uint64_t, std::uint64_t, std::uint64_t) override {
        if (calls.empty() || calls.back() != 'p') {
            calls += "p";
        }
    }
    void end(const std::wstring&, int status, const std::wstring&) override { calls += "e" + std::to_string(status); }
    std::string calls;
};

class Download : public testing::Test {
protected:
    void SetUp() override {
        NHttp::SetTrustAnchors(rk::sys::http::test::dev_root_ca());
        server_.serve("/notes.txt", "hello");
        server_.serve("/dir/", "index");
        server_.serve("/unsigned.EXE", fixture("pe-unsigned.exe"));
        server_.serve("/signed.cab", fixture("cab-signed.cab"));
        server_.serve("/big.bin", std::string(3 * 1024 * 1024 + 5, 'b'));
    }
    void TearDown() override { NHttp::SetTrustAnchors({}); }

    bool run(const std::string& attributes, std::shared_ptr<progress_manager> progress = nullptr,
             const std::string& command = "DOWNLOAD") {
        logger_ = std::make_shared<test::RecordingLogger>();
        CUpdater updater;
        if (!updater.Initialize(std::make_shared<test::FakeSender>(), false, logger_, std::move(progress), nullptr)) {
            return false;
        }
        const std::string doc = "<UPDATEARRAY><UPDATE><UPDATECOMMANDS><" + command + " " + attributes +
                                "/></UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
        int exit_code = 0;
        return updater.ExecuteUpdate(test::bytes(doc), doc.size(), exit_code) == kUpdateOk;
    }
    std::string url(const std::string& path) const { return "Location=\"" + server_.url(path) + "\" "; }
    std::string dest() const { return "DestDir=\"" + (root_.path() / "dest").string() + "\" "; }
    std::wstring wdest(const std::wstring& name) const {
        return rk::sys::wide_path(root_.path() / "dest") + L"\\" + name;
    }

    rk::sys::test::TempRoot root_;
    TestServer server_{TestServer::Mode::kTls};
    std::shared_ptr<test::RecordingLogger> logger_;
};

TEST_F(Download, ChecksDecideWhatStays) {
    RawServer chunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
    const std::string md5 = "5D41402ABC4B2A76B9719D911017C592";  // MD5("hello") in capitals
    const struct {
        const char* name;
        std::string attributes;
        bool old_file;  // dest/notes.txt exists before, with "old"
        bool ok;
        std::vector<std::string> left;
        std::wstring logged;
        std::string reports;
    } cases[] = {
        {"text, no check", url("/notes.txt"), false, true, {"notes.txt"}, L"", "bpe0"},
        {"old file kept as .bak", url("/notes.txt"), true, true, {"notes.txt", "notes.txt.bak"}, L"", "bpe0"},
        {"MD5 prefix in capitals", url("/notes.txt") + "MD5=\"" + md5.substr(0, 9) + "\"", false, true,
         {"notes.txt"}, L"", "bpe0"},
        {"MD5 mismatch", url("/notes.txt") + "MD5=\"5d41402abc4b2a76b9719d911017c593\"", true, false,
         {"notes.txt.bak"}, L"Unable to verify MD5, deleting file: " + wdest(L"notes.txt"), "bpe8"},
        {"unsigned program", url("/unsigned.EXE"), false, false, {},
         L"Unable to verify signature, deleting file: " + wdest(L"unsigned.EXE"), "bpe8"},
        {"signed cabinet", url("/signed.cab"), false, true, {"signed.cab"}, L"", "bpe0"},
        {"DestFile", url("/notes.txt") + "DestFile=\"renamed.txt\"", false, true, {"renamed.txt"}, L"", "bpe0"},
        {"404 leaves the old file", url("/missing.txt") + "DestFile=\"notes.txt\"", true, false, {"notes.txt"},
         L"HTTP status (404) error (0), url: " + server_.wide_url("/missing.txt"), "be7"},
        {"no Content-Length", "Location=\"" + chunked.url("/c.txt") + "\" ", false, false, {},
         L"HTTP query content length (12150), url: " + rk::text::utf8_to_wide(chunked.url("/c.txt")), "be7"},
        {"no file name in the URL", url("/dir/"), false, false, {}, L"empty filename", "be3"},
        {"name leaves DestDir", url("/notes.txt") + "DestFile=\"..\\escape.txt\"", false, false, {},
         L"Invalid file name '..\\escape.txt'", "be3"},
        {"no Location", "", false, false, {}, L"Unable to read Location and/or DestDir attribute of DOWNLOAD command",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root_.path() / "dest");
        fs::create_directories(root_.path() / "dest");
        if (c.old_file) {
            std::ofstream(root_.path() / "dest" / "notes.txt") << "old";
        }
        auto ends = std::make_shared<Ends>();
        EXPECT_EQ(run(c.attributes + dest() + "id=\"d\"", ends), c.ok) << rk::text::wide_to_utf8(logger_->Dump());
        EXPECT_EQ(listing(root_.path() / "dest"), c.left);
        if (c.ok && c.old_file) {
            EXPECT_EQ(read_file(root_.path() / "dest" / "notes.txt.bak"), "old");
        }
        if (!c.logged.empty()) {
            EXPECT_TRUE(logger_->Contains(c.logged)) << rk::text::wide_to_utf8(logger_->Dump());
        }
        EXPECT_EQ(ends->calls, c.reports);
        EXPECT_FALSE(fs::exists(root_.path() / "escape.txt"));
    }
}

TEST_F(Download, LinkedDestDirIsReplacedAndItsTargetUntouched) {
    const fs::path target = root_.path() / "elsewhere";
    fs::create_directories(target);
    fs::create_directory_symlink(target, root_.path() / "dest");
    ASSERT_TRUE(run(url("/notes.txt") + dest())) << rk::text::wide_to_utf8(logger_->Dump());
    EXPECT_FALSE(fs::is_symlink(root_.path() / "dest"));
    EXPECT_EQ(read_file(root_.path() / "dest" / "notes.txt"), "hello");
    EXPECT_TRUE(fs::is_empty(target));
}

// Every command that writes into a DestDir reaches it from the known folder
// its text starts in: ".." may not climb out of it (with either separator),
// and a link at any level below it is removed, not followed.
TEST_F(Download, DestDirsStayInsideTheirKnownFolder) {
    const fs::path data = root_.path() / "var" / "lib";
    const fs::path outside = root_.path() / "outside";
    fs::create_directories(data);
    fs::create_directories(outside);
    const fs::path cabinet = root_.path() / "signed.cab";
    std::ofstream(cabinet, std::ios::binary) << fixture("cab-signed.cab");
    const std::pair<const char*, std::string> commands[] = {
        {"DOWNLOAD", url("/notes.txt")},
        {"DOWNLOADEX", url("/notes.txt")},
        {"EXTRACT_CAB_LOCAL", "Source=\"" + cabinet.string() + "\" "},
    };
    struct Case {
        const char* rest;  // after the macro; '|' stands for each separator in turn
        const char* link;  // a link to "outside" planted first, below var/lib
        const char* made;  // the folder written, below var/lib; null: refused
    };
    const Case cases[] = {
        {"|..|escape", nullptr, nullptr},
        {"|Corvane|..|..|escape", nullptr, nullptr},
        {"|Corvane|x|..|..|..|escape", nullptr, nullptr},
        {"|Corvane|..|..|lib|Setup", nullptr, nullptr},
        {"|Corvane|..|Setup", nullptr, "Setup"},
        {"|Corvane|x", "Corvane", "Corvane/x"},
        {"|Corvane|x", "Corvane/x", "Corvane/x"},
    };
    for (const auto& [command, attributes] : commands) {
        for (const char separator : {'\\', '/'}) {
            for (const Case& c : cases) {
                std::string rest = c.rest;
                std::replace(rest.begin(), rest.end(), '|', separator);
                SCOPED_TRACE(std::string(command) + " " + rest);
                fs::remove_all(data / "Corvane");
                fs::remove_all(data / "Setup");
                if (c.link != nullptr) {
                    fs::create_directories((data / c.link).parent_path());
                    fs::create_directory_symlink(outside, data / c.link);
                }
                const bool ok =
                    run(attributes + "DestDir=\"[DIR:CSIDL_COMMON_APPDATA]" + rest + "\" ", nullptr, command);
                EXPECT_EQ(ok, c.made != nullptr) << rk::text::wide_to_utf8(logger_->Dump());
                if (c.made != nullptr) {
                    EXPECT_FALSE(fs::is_symlink(data / c.made));
                    EXPECT_FALSE(listing(data / c.made).empty());
                }
                EXPECT_FALSE(fs::exists(root_.path() / "escape"));
                EXPECT_FALSE(fs::exists(root_.path() / "var" / "escape"));
                EXPECT_FALSE(fs::exists(root_.path() / "var" / "Setup"));
                EXPECT_TRUE(fs::is_empty(outside));
            }
        }
    }
}

TEST_F(Download, StoreOnDiskKeepsAnExistingFileUnlessToldToOverwrite) {
    fs::create_directories(root_.path() / "dest");
    std::ofstream(root_.path() / "dest" / "notes.txt") << "old";
    logger_ = std::make_shared<test::RecordingLogger>();
    SetXmlUpdaterLogger(logger_);
    auto ends = std::make_shared<Ends>();
    std::wstring md5;
    std::wstring path;
    {
        DownloadProgress progress(ends.get(), L"d", L"");
        EXPECT_NE(NHttp::NDownloadFile::StoreOnDisk(server_.wide_url("/notes.txt"),
                                                    rk::sys::wide_path(root_.path() / "dest"), L"", false, nullptr,
                                                    progress, md5, path),
                  0);
    }
    EXPECT_EQ(read_file(root_.path() / "dest" / "notes.txt"), "old");
    EXPECT_TRUE(logger_->Contains(L"File already exists: " + wdest(L"notes.txt")));
    EXPECT_EQ(ends->calls, "be1");
    EXPECT_TRUE(md5.empty());
    {
        DownloadProgress progress(ends.get(), L"d", L"");
        EXPECT_EQ(NHttp::NDownloadFile::StoreOnDisk(server_.wide_url("/notes.txt"),
                                                    rk::sys::wide_path(root_.path() / "missing"), L"", true, nullptr,
                                                    progress, md5, path),
                  0);
    }
    EXPECT_TRUE(logger_->Contains(L"Destination directory does not exist"));
    SetXmlUpdaterLogger(std::shared_ptr<IXmlUpdaterLogger>());
}

// A 1 MiB file system (tmpfs in a private mount namespace) fills up during
// a 3 MiB download run by rkctl: the command fails with the write error and
// leaves neither the partial file nor, for DOWNLOADEX, its metadata.
TEST_F(Download, DiskFullMidDownloadRemovesThePartialFile) {
    if (std::system("unshare -m true > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "unshare -m is not permitted here (needs a mount namespace for a small tmpfs)";
    }
    const fs::path dir = root_.path() / "small";
    fs::create_directories(dir);
    const std::string location = server_.url("/big.bin");
    for (const char* command : {"DOWNLOAD", "DOWNLOADEX"}) {
        SCOPED_TRACE(command);
        const fs::path doc = root_.path() / "doc.xml";
        std::ofstream(doc) << "<UPDATEARRAY><UPDATE><UPDATECOMMANDS><" << command << " Location=\"" << location
                           << "\" DestDir=\"" << dir.string() << "\"/></UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
        const fs::path out = root_.path() / "out.txt";
        const std::string script =
            "unshare -m sh -c 'mount -t tmpfs -o size=1m none \"$1\" && \"$2\" xml --quiet --log --ca-file \"$3\" "
            "\"$4\"; rc=$?; echo left: $(ls -A \"$1\"); exit $rc' sh '" +
            dir.string() + "' '" + RKCTL_PATH + "' '" + rk::sys::http::test::dev_root_ca().string() + "' '" +
            doc.string() + "' > '" + out.string() + "' 2>&1";
        const int status = std::system(script.c_str());
        const std::string output = read_file(out);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << output;
        EXPECT_NE(output.find("status: 1"), std::string::npos) << output;
        EXPECT_NE(output.find("left:\n"), std::string::npos) << output;
        if (std::string(command) == "DOWNLOAD") {
            EXPECT_NE(output.find("WriteFile failed (112)"), std::string::npos) << output;
            EXPECT_NE(output.find("Unable to download " + location), std::string::npos) << output;
        } else {
            EXPECT_NE(output.find("Failed to write to file"), std::string::npos) << output;
            EXPECT_NE(output.find("[win32:0x70]"), std::string::npos) << output;
        }
    }
}

}  // namespace
}  // namespace XMLUpdater::v2
