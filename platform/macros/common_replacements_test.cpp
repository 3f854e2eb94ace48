#include "platform/macros/common_replacements.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <tuple>
#include <vector>

#include "platform/macros/macro_syntax.h"
#include "platform/macros/os_info_proxy.h"
#include "platform/system/paths.h"
#include "platform/system/process_info.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace DiraDoro {
namespace {

using rk::sys::KnownFolder;

// Returns "<FOLDERID_name>" for each folder, fails for the ones in `failing`,
// and records the flags it was called with.
class FakeShell final : public ShlObjAPI {
public:
    rk::HRESULT SHGetKnownFolderPath(KnownFolder folder, rk::DWORD flags, std::wstring& path) override {
        ++calls;
        last_flags = flags;
        if (failing.count(folder)) {
            path = L"garbage";
            return rk::win::kEFail;
        }
        path = L"<" + std::wstring(rk::sys::known_folder_name(folder)) + L">";
        return rk::win::kSOk;
    }
    std::map<KnownFolder, bool> failing;
    int calls = 0;
    rk::DWORD last_flags = 0xFFFFFFFF;
};

class FakeOS final : public WinOSVersionAPI {
public:
    explicit FakeOS(std::uint16_t arch) : arch_(arch) {}
    std::uint16_t GetNativeProcessorArchitecture() override { return arch_; }

private:
    std::uint16_t arch_;
};

struct Expanded {
    std::wstring text;
    std::size_t found;
    std::size_t replaced;
};

Expanded expand(CommonReplacements& r, std::wstring text, const ReplacementMap& extra = {}) {
    EXPECT_TRUE(r.Replace(text, extra));
    const auto [found, replaced] = r.GetLastCounts();
    return {text, found, replaced};
}

class CommonReplacementsTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeShell> shell_ = std::make_shared<FakeShell>();
    CommonReplacements replacements_{shell_, std::make_shared<FakeOS>(kProcessorArchitectureAmd64)};
};

TEST_F(CommonReplacementsTest, EveryKnownFolderMacroAsksForItsFolder) {
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"$(FOLDERID_Profile)", L"<FOLDERID_Profile>"},
        {L"$(FOLDERID_Desktop)", L"<FOLDERID_Desktop>"},
        {L"$(FOLDERID_Documents)", L"<FOLDERID_Documents>"},
        {L"$(FOLDERID_LocalAppDataLow)", L"<FOLDERID_LocalAppDataLow>"},
        {L"$(FOLDERID_LocalAppData)", L"<FOLDERID_LocalAppData>"},
        {L"$(FOLDERID_RoamingAppData)", L"<FOLDERID_RoamingAppData>"},
        {L"$(FOLDERID_ProgramData)", L"<FOLDERID_ProgramData>"},
        {L"$(FOLDERID_ProgramFiles)", L"<FOLDERID_ProgramFiles>"},
        {L"$(FOLDERID_ProgramFilesX64)", L"<FOLDERID_ProgramFilesX64>"},
        {L"$(FOLDERID_ProgramFilesX86)", L"<FOLDERID_ProgramFilesX86>"},
        {L"$(FOLDERID_ProgramFilesCommon)", L"<FOLDERID_ProgramFilesCommon>"},
        {L"$(FOLDERID_ProgramFilesCommonX64)", L"<FOLDERID_ProgramFilesCommonX64>"},
        {L"$(FOLDERID_ProgramFilesCommonX86)", L"<FOLDERID_ProgramFilesCommonX86>"},
    };
    for (const auto& [macro, value] : cases) {
        const auto r = expand(replacements_, macro);
        EXPECT_EQ(std::tie(r.text, r.found, r.replaced, shell_->last_flags), std::tuple(value, 1u, 1u, 0u));
    }
    // Folders outside the table are not macros.
    for (const wchar_t* other : {L"$(FOLDERID_Windows)", L"$(FOLDERID_System)", L"$(FOLDERID_PublicDocuments)"}) {
        EXPECT_EQ(expand(replacements_, other).text, other);
    }
}

TEST_F(CommonReplacementsTest, ExpandsAsDocumented) {
    const std::wstring app_name = rk::sys::split_path(rk::sys::own_image_path()).file_name;
    struct Case {
        const char* what;
        std::wstring in;
        std::wstring out;
        std::size_t found;
        std::size_t replaced;
    };
    const std::vector<Case> cases = {
        {"folder with a tail", L"$(FOLDERID_ProgramData)\\Corvane\\ClientAnalytics",
         L"<FOLDERID_ProgramData>\\Corvane\\ClientAnalytics", 1, 1},
        {"unknown macro stays", L"a$(Nope)b", L"a$(Nope)b", 1, 0},
        {"doubled dollar keeps the first", L"$$(App.Name)", L"$" + app_name, 1, 1},
        {"empty name is no macro", L"$()x", L"$()x", 0, 0},
        {"no macros", L"C:\\plain\\text", L"C:\\plain\\text", 0, 0},
        {"empty text", L"", L"", 0, 0},
        {"case-sensitive", L"$(app.name)", L"$(app.name)", 1, 0},
        {"several, mixed", L"$(FOLDERID_Profile)/$(X)/$(FOLDERID_Desktop)",
         L"<FOLDERID_Profile>/$(X)/<FOLDERID_Desktop>", 3, 2},
        {"adjacent", L"$(OS.Platform)$(OS.Platform)", L"x64x64", 2, 2},
        {"nested parenthesis is no macro", L"$(a(b))", L"$(a(b))", 0, 0},
        {"dollar inside the name", L"$(a$(OS.Platform))", L"$(ax64)", 1, 1},
        {"unterminated", L"$(FOLDERID_Profile", L"$(FOLDERID_Profile", 0, 0},
        {"blank name is a name", L"$( )", L"$( )", 1, 0},
        {"spaces around are not trimmed", L"$( OS.Platform)", L"$( OS.Platform)", 1, 0},
    };
    for (const auto& c : cases) {
        const auto r = expand(replacements_, c.in);
        EXPECT_EQ(std::tie(r.text, r.found, r.replaced), std::tie(c.out, c.found, c.replaced)) << c.what;
    }
}

// A failed lookup gives empty text; folders are asked for on every use.
TEST_F(CommonReplacementsTest, FolderLookups) {
    shell_->failing[KnownFolder::Documents] = true;
    const auto r = expand(replacements_, L"[$(FOLDERID_Documents)]");
    EXPECT_EQ(r.text, L"[]");
    EXPECT_EQ(r.replaced, 1u);
    expand(replacements_, L"$(FOLDERID_Profile)$(FOLDERID_Profile)");
    expand(replacements_, L"$(FOLDERID_Profile)");
    EXPECT_EQ(shell_->calls, 4);
}

TEST_F(CommonReplacementsTest, AdditionalMacrosWinAndAreNotExpandedAgain) {
    int calls = 0;
    const ReplacementMap extra = {
        {L"$(FOLDERID_ProgramData)", [&] { ++calls; return std::wstring(L"override"); }},
        {L"$(Loop)", [] { return std::wstring(L"$(FOLDERID_Profile)"); }},
        {L"$(Same)", [] { return std::wstring(L"$(Same)"); }},
        {L"$(Null)", nullptr},
    };
    const auto r = expand(replacements_, L"$(FOLDERID_ProgramData)|$(Loop)|$(Same)|$(Null)|$(OS.Platform)", extra);
    EXPECT_EQ(r.text, L"override|$(FOLDERID_Profile)|$(Same)||x64");
    EXPECT_EQ(r.found, 5u);
    EXPECT_EQ(r.replaced, 4u);  // $(Same) produced its own text
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(shell_->calls, 0);
    // The next call without them starts its counts afresh.
    const auto again = expand(replacements_, L"plain");
    EXPECT_EQ(again.found, 0u);
    EXPECT_EQ(again.replaced, 0u);
}

TEST(CommonReplacementsPlatform, PlatformFollowsTheSystemArchitecture) {
    const std::vector<std::pair<std::uint16_t, std::wstring>> cases = {
        {kProcessorArchitectureIntel, L"win32"},
        {kProcessorArchitectureAmd64, L"x64"},
        {kProcessorArchitectureArm64, L"PlatformUnknown"},
        {kProcessorArchitectureUnknown, L"PlatformUnknown"},
    };
    for (const auto& [arch, name] : cases) {
        CommonReplacements r(std::make_shared<FakeShell>(), std::make_shared<FakeOS>(arch));
        std::wstring text = L"$(OS.Platform)";
        r.Replace(text);
        EXPECT_EQ(text, name) << arch;
    }
}

TEST(CommonReplacementsApp, AppMacrosSplitTheRunningExecutable) {
    const std::filesystem::path self(rk::sys::own_image_path());
    ASSERT_FALSE(self.empty());
    CommonReplacements r(std::make_shared<FakeShell>(), std::make_shared<FakeOS>(0));
    std::wstring text = L"$(App.Path)|$(App.Folder)|$(App.Name)|$(App.Binary)";
    r.Replace(text);
    const std::wstring folder = self.parent_path().wstring() + L"/";
    EXPECT_EQ(text, self.wstring() + L"|" + folder + L"|" + self.stem().wstring() + L"|" +
                        self.filename().wstring());
    EXPECT_EQ(self.stem().wstring(), L"rk_macros_test");
}

// The real services under a root prefix and a known HOME.
TEST(CommonReplacementsReal, RealServicesUseTheKnownFoldersUnderTheRoot) {
    const rk::sys::test::TempRoot root;
    const rk::sys::test::ScopedEnv home("HOME", "/home/tester");
    const rk::sys::test::ScopedEnv data_home("XDG_DATA_HOME", std::nullopt);
    CommonReplacements r;
    std::wstring text = L"$(FOLDERID_ProgramData)\\Corvane\\ClientAnalytics;$(FOLDERID_LocalAppData)";
    r.Replace(text);
    EXPECT_EQ(text, root.path().wstring() + L"/var/lib\\Corvane\\ClientAnalytics;" + root.path().wstring() +
                        L"/home/tester/.local/share");
    std::wstring platform = L"$(OS.Platform)";
    r.Replace(platform);
#if defined(__x86_64__)
    EXPECT_EQ(platform, L"x64");
#else
    EXPECT_NE(platform, L"$(OS.Platform)");
#endif
}

// The scan must find exactly what the documented expression finds.
TEST(MacroSyntax, MatchesTheDocumentedExpression) {
    const std::wregex expression{std::wstring(kMacroPattern), std::regex::ECMAScript};
    const auto by_regex = [&](const std::wstring& s) -> std::optional<MacroMatch> {
        std::wsmatch m;
        if (!std::regex_search(s, m, expression)) return std::nullopt;
        return MacroMatch{static_cast<std::size_t>(m.position(0)), static_cast<std::size_t>(m.length(0))};
    };
    std::vector<std::wstring> inputs = {L"",     L"$",       L"$(",       L"$()",    L"$(a)",  L"$$(a)",
                                        L"$(($(a)", L"$(a$(b)", L")$(a)(", L"x$( a )y", L"$(\u00e9\n)"};
    std::mt19937 random(12345);
    const std::wstring alphabet = L"$()ab";
    for (int i = 0; i < 3000; ++i) {
        std::wstring s(random() % 12, L' ');
        for (auto& ch : s) ch = alphabet[random() % alphabet.size()];
        inputs.push_back(s);
    }
    for (const auto& s : inputs) {
        const auto mine = find_macro(s);
        const auto theirs = by_regex(s);
        ASSERT_EQ(mine.has_value(), theirs.has_value()) << rk::text::wide_to_utf8(s);
        if (mine) {
            EXPECT_EQ(mine->position, theirs->position) << rk::text::wide_to_utf8(s);
            EXPECT_EQ(mine->length, theirs->length) << rk::text::wide_to_utf8(s);
        }
    }
}

TEST(MacroSyntax, LongNamesDoNotExhaustTheStack) {
    CommonReplacements r(std::make_shared<FakeShell>(), std::make_shared<FakeOS>(0));
    std::wstring text = L"$(" + std::wstring(1'000'000, L'n') + L")";
    const std::wstring original = text;
    r.Replace(text);
    EXPECT_EQ(text, original);
    EXPECT_EQ(r.GetLastCounts(), std::make_pair(std::size_t{1}, std::size_t{0}));
}

}  // namespace
}  // namespace DiraDoro
