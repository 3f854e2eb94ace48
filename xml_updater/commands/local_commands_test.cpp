// EXECUTE_LOCAL and EXTRACT_CAB_LOCAL through whole documents on a real
// engine: programs and cabinets signed at test time with the repository's
// test PKI, real child processes, real cabinets from gcab.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/system/cabinet/test/cabinet_maker.h"
#include "platform/system/codesign/test/signing.h"
#include "platform/system/paths.h"
#include "platform/system/process_info.h"
#include "platform/system/test/temp_root.h"
#include "xml_updater/test/engine_test_support.h"
#include "xml_updater/updater.h"

namespace XMLUpdater::v2 {
namespace {

namespace fs = std::filesystem;
namespace cab = rk::sys::cabinet::test;
namespace sign = rk::sys::codesign::test;

const fs::path kPki = fs::path(RK_SOURCE_DIR) / "testdata" / "codesign" / "pki";

class LocalCommands : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine_.Initialize(std::make_shared<test::FakeSender>(), false, logger_, nullptr, nullptr));
        fs::create_directories(work_);
        engine_.SetVariable(L"work", rk::sys::wide_path(work_));
    }

    // Runs one update whose commands are `commands`; the engine's result.
    bool Run(const std::wstring& commands) {
        const std::string doc = rk::text::wide_to_utf8(L"<UPDATEARRAY><UPDATE><UPDATECOMMANDS>" + commands +
                                                       L"</UPDATECOMMANDS></UPDATE></UPDATEARRAY>");
        logger_->lines.clear();
        int exit_code = 0;
        return engine_.Update(test::bytes(doc), doc.size(), exit_code);
    }

    // `text` with [work] and [own] (this program's folder) replaced.
    std::wstring Expand(std::wstring text) const {
        const std::wstring own = rk::sys::wide_path(rk::sys::to_host_path(rk::sys::own_image_path())->parent_path());
        for (const auto& [token, value] : {std::pair{L"[work]", rk::sys::wide_path(work_)}, std::pair{L"[own]", own}}) {
            for (auto at = text.find(token); at != std::wstring::npos; at = text.find(token)) {
                text.replace(at, std::wcslen(token), value);
            }
        }
        return text;
    }

    std::wstring Var(const std::wstring& name) {
        std::wstring value;
        engine_.GetVariable(name, value);
        return value;
    }

    // A shell script that records its arguments and working folder in
    // `<work>/ran` and ends with `exit_line`; the signature after it is never
    // read by the shell.
    fs::path Script(const std::string& name, const std::string& exit_line, const std::string& signer) {
        const std::string body = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + (work_ / "ran").native() +
                                 "'\npwd >> '" + (work_ / "ran").native() + "'\n" + exit_line + "\n";
        const std::string bytes = signer.empty() ? body : sign::append_signature(kPki, body, work_ / "sig", signer);
        cab::write_file(work_ / name, bytes);
        return work_ / name;
    }

    rk::sys::test::TempRoot root_;
    fs::path work_ = root_.path() / "work";
    std::shared_ptr<test::RecordingLogger> logger_ = std::make_shared<test::RecordingLogger>();
    CUpdater engine_;
};

TEST_F(LocalCommands, ExecuteLocalRunsSignedProgramsOnlyAndReportsTheirExitCode) {
    struct Case {
        const char* what;
        std::string exit_line;
        std::string signer;       // "" leaves the script unsigned
        const wchar_t* extra;     // further attributes
        bool ok;
        const wchar_t* status;    // "?" afterwards
        bool ran;
        std::wstring log;
    };
    const Case cases[] = {
        {"exit 3", "exit 3", "corvane", L"", true, L"3", true, L""},
        {"exit 0", "exit 0", "corvane", L" HideWindow=\"TRUE\"", true, L"0", true,
         L"Running \"[work]/p\" a \"b c\" in [own]/ (HideWindow TRUE)"},
        {"killed", "kill -9 $$", "corvane", L" HideWindow=\"true\"", true, L"137", true,
         L"Running \"[work]/p\" a \"b c\" in [own]/ (HideWindow FALSE)"},
        {"unsigned", "exit 4", "", L"", false, L"0", false, L"Signature check failed for command [work]/p"},
        {"foreign signer", "exit 4", "foreign", L"", false, L"0", false, L"Signature check failed for command [work]/p"},
        {"bad DeleteFile", "exit 5", "corvane", L" DeleteFile=\"yes\"", true, L"5", true,
         L"Failed to parse KeepFile as a boolean - default to false"},
    };
    for (const auto& c : cases) {
        engine_.SetVariable(L"?", L"0");
        fs::remove(work_ / "ran");
        Script("p", c.exit_line, c.signer);
        const std::wstring doc = std::wstring(L"<EXECUTE_LOCAL Command=\"[work]/p\" Param='a \"b c\"'") + c.extra + L"/>";
        EXPECT_EQ(Run(doc), c.ok) << c.what << "\n" << logger_->Dump();
        EXPECT_EQ(Var(L"?"), c.status) << c.what;
        EXPECT_EQ(fs::exists(work_ / "ran"), c.ran) << c.what;
        if (c.ran) {
            EXPECT_EQ(cab::read_text(work_ / "ran"), "a\nb c\n" + rk::text::wide_to_utf8(Expand(L"[own]")) + "\n") << c.what;
        }
        if (!c.log.empty()) {
            EXPECT_TRUE(logger_->Contains(Expand(c.log))) << c.what << "\n" << logger_->Dump();
        }
        EXPECT_TRUE(fs::exists(work_ / "p")) << c.what;
    }
}

TEST_F(LocalCommands, ExecuteLocalDeletesTheProgramWhenAskedAndOnlyLogsWhenItCannot) {
    const struct {
        std::string exit_line;
        const wchar_t* status;
        bool delete_fails;
    } cases[] = {
        {"exit 0", L"0", false},
        {"rm -f '" + (work_ / "p").native() + "'; exit 6", L"6", true},  // gone before the delete
    };
    for (const auto& c : cases) {
        Script("p", c.exit_line, "corvane");
        EXPECT_TRUE(Run(L"<EXECUTE_LOCAL Command=\"[work]/p\" DeleteFile=\"TRUE\"/>")) << logger_->Dump();
        EXPECT_FALSE(fs::exists(work_ / "p"));
        EXPECT_TRUE(fs::exists(work_ / "ran"));
        EXPECT_EQ(Var(L"?"), c.status);
        EXPECT_EQ(logger_->Contains(L"Failed to delete executable (2)"), c.delete_fails) << logger_->Dump();
    }
}

class CabinetCommands : public LocalCommands {
protected:
    void SetUp() override {
        LocalCommands::SetUp();
        fs::create_directories(src_ / "sub");
        cab::write_file(src_ / "a.txt", "first\n");
        cab::write_file(src_ / "sub" / "b.txt", "second\n");
        ASSERT_TRUE(cab::make_gcab_cabinet(src_, {"a.txt", "sub/b.txt"}, true, work_ / "plain.cab"));
        ASSERT_TRUE(sign::authenticode_sign(kPki, work_ / "plain.cab", work_ / "signed.cab"));
        engine_.SetVariable(L"dest", rk::sys::wide_path(dest_));
    }

    std::vector<std::string> DestTree() const {
        std::vector<std::string> out;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(dest_, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            out.push_back(fs::relative(it->path(), dest_).native());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path src_ = root_.path() / "src";
    fs::path dest_ = root_.path() / "dest" / "deeper";
};

TEST_F(CabinetCommands, SignedCabinetIsExtractedAndDeletedWhenAsked) {
    fs::create_directories(root_.path() / "elsewhere");
    fs::create_directories(dest_.parent_path());
    fs::create_directory_symlink(root_.path() / "elsewhere", dest_);
    EXPECT_TRUE(Run(L"<EXTRACT_CAB_LOCAL Source=\"[work]/signed.cab\" DestDir=\"[dest]\" DeleteFile=\"TRUE\"/>"))
        << logger_->Dump();
    EXPECT_FALSE(fs::is_symlink(dest_));
    EXPECT_EQ(DestTree(), (std::vector<std::string>{"a.txt", "sub", "sub/b.txt"}));
    EXPECT_EQ(cab::read_text(dest_ / "sub" / "b.txt"), "second\n");
    EXPECT_TRUE(fs::is_empty(root_.path() / "elsewhere"));
    EXPECT_FALSE(fs::exists(work_ / "signed.cab"));
    // Again from a copy: the files are replaced.
    ASSERT_TRUE(sign::authenticode_sign(kPki, work_ / "plain.cab", work_ / "signed.cab"));
    cab::write_file(dest_ / "a.txt", "changed");
    EXPECT_TRUE(Run(L"<EXTRACT_CAB_LOCAL Source=\"[work]/signed.cab\" DestDir=\"[dest]\" DeleteFile=\"no\"/>"));
    EXPECT_TRUE(logger_->Contains(L"Failed to parse DeleteFile as a boolean - default to false"));
    EXPECT_EQ(cab::read_text(dest_ / "a.txt"), "first\n");
    EXPECT_TRUE(fs::exists(work_ / "signed.cab"));
}

TEST_F(CabinetCommands, CabinetsThatAreNotSignedByThePublisherAreNotOpened) {
    auto tampered = cab::read_file(work_ / "signed.cab");
    tampered[70] ^= 1;  // in the first file entry
    cab::write_file(work_ / "tampered.cab", std::string(tampered.begin(), tampered.end()));
    ASSERT_TRUE(sign::authenticode_sign(kPki, work_ / "plain.cab", work_ / "foreign.cab", "foreign"));
    // 4 GiB (sparse): refused from its size, never read or mapped.
    fs::copy_file(work_ / "signed.cab", work_ / "huge.cab");
    fs::resize_file(work_ / "huge.cab", 4ull << 30);
    const struct {
        const wchar_t* name;
        const wchar_t* first_log;
    } cases[] = {
        {L"plain.cab", nullptr},
        {L"tampered.cab", nullptr},
        {L"foreign.cab", nullptr},
        {L"missing.cab", L"Failed to open the file: 2\n"},
        {L"huge.cab", L"Failed to map file to memory"},
    };
    for (const auto& c : cases) {
        const std::wstring source = rk::sys::wide_path(work_) + L"/" + c.name;
        EXPECT_FALSE(Run(L"<EXTRACT_CAB_LOCAL Source=\"" + source + L"\" DestDir=\"[dest]\"/>")) << c.name;
        EXPECT_TRUE(logger_->Contains(L"Unable to verify signature for file: " + source)) << logger_->Dump();
        if (c.first_log != nullptr) {
            EXPECT_TRUE(logger_->Contains(c.first_log)) << logger_->Dump();
        }
        EXPECT_FALSE(fs::exists(dest_)) << c.name;
    }
}

TEST_F(CabinetCommands, SignedCabinetWithHostileNamesFailsAndWritesNothing) {
    std::string bytes;
    for (const auto b : cab::make_stored_cabinet({cab::stored("ok.txt", "ok"), cab::stored("..\\..\\escape", "x")})) {
        bytes.push_back(static_cast<char>(b));
    }
    cab::write_file(work_ / "hostile-plain.cab", bytes);
    ASSERT_TRUE(sign::authenticode_sign(kPki, work_ / "hostile-plain.cab", work_ / "hostile.cab"));
    EXPECT_FALSE(Run(L"<EXTRACT_CAB_LOCAL Source=\"[work]/hostile.cab\" DestDir=\"[dest]\"/>"));
    EXPECT_TRUE(logger_->Contains(L"Refused file name in cabinet: ..\\..\\escape")) << logger_->Dump();
    EXPECT_TRUE(logger_->Contains(L"Failed to extract cab (" + rk::sys::wide_path(work_) + L"/hostile.cab)"));
    EXPECT_TRUE(DestTree().empty());
    EXPECT_FALSE(fs::exists(root_.path() / "escape"));
    EXPECT_FALSE(fs::exists(root_.path() / "dest" / "escape"));
}

// Failures of both commands: the reason, then the engine's line naming the command.
TEST_F(CabinetCommands, Failures) {
    // Signed bytes the kernel cannot start: no "#!" and no ELF header.
    cab::write_file(work_ / "data", sign::append_signature(kPki, "just data\n", work_ / "sig"));
    fs::create_symlink(Script("p", "exit 0", "corvane"), work_ / "link");
    cab::write_file(work_ / "a-file", "in the way");
    const struct {
        const wchar_t* doc;
        const wchar_t* log;
    } cases[] = {
        {L"<EXECUTE_LOCAL Param=\"x\"/>", L"Unable to read Command attribute of EXECUTE_LOCAL command"},
        {L"<EXECUTE_LOCAL Command=\"[work]/missing\"/>", L"Signature check failed for command [work]/missing"},
        // Not followed: the name must be the checked file itself.
        {L"<EXECUTE_LOCAL Command=\"[work]/link\"/>", L"Signature check failed for command [work]/link"},
        {L"<EXECUTE_LOCAL Command=\"[work]/data\"/>", L"Unable to run \"[work]/data\" , error (193)"},
        {L"<EXTRACT_CAB_LOCAL Source=\"x.cab\"/>",
         L"Unable to read Source and/or DestDir attribute of EXTRACT_CAB_LOCAL command"},
        {L"<EXTRACT_CAB_LOCAL DestDir=\"d\"/>",
         L"Unable to read Source and/or DestDir attribute of EXTRACT_CAB_LOCAL command"},
        {L"<EXTRACT_CAB_LOCAL Source=\"[work]/signed.cab\" DestDir=\"[work]/a-file/sub\"/>",
         L"Unable to create destination directory (3)"},
    };
    for (const auto& c : cases) {
        const std::wstring doc = c.doc;
        const std::wstring command = doc.substr(1, doc.find(L' ') - 1);
        EXPECT_FALSE(Run(c.doc));
        EXPECT_TRUE(logger_->Contains(Expand(c.log))) << logger_->Dump();
        EXPECT_TRUE(logger_->Contains(L"XML command (" + command + L") failed")) << logger_->Dump();
    }
    EXPECT_FALSE(fs::exists(work_ / "ran"));
    EXPECT_EQ(cab::read_text(work_ / "a-file"), "in the way");
}

}  // namespace
}  // namespace XMLUpdater::v2
