#include "platform/system/known_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "platform/system/paths.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;

EnvLookup fake_env(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> std::optional<std::string> {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

TEST(KnownFolders, EveryFolderFollowsTheTableUnderTheRoot) {
    const ScopedEnv root("RK_ROOT", "/r");
    const KnownFolders folders(fake_env({
        {"HOME", "/home/ann/"},
        {"XDG_DATA_HOME", "/xdg/data"},
        {"XDG_CONFIG_HOME", "relative/is/ignored"},
        {"XDG_STATE_HOME", ""},
        {"TMPDIR", "/scratch"},
    }));
    struct Case {
        KnownFolder folder;
        const wchar_t* path;
    };
    const Case cases[] = {
        {KnownFolder::ProgramData, L"/r/var/lib"},
        {KnownFolder::ProgramFiles, L"/r/opt"},
        {KnownFolder::ProgramFilesX64, L"/r/opt"},
        {KnownFolder::ProgramFilesX86, L"/r/opt"},
        {KnownFolder::ProgramFilesCommon, L"/r/opt/common"},
        {KnownFolder::ProgramFilesCommonX64, L"/r/opt/common"},
        {KnownFolder::ProgramFilesCommonX86, L"/r/opt/common"},
        {KnownFolder::PublicDocuments, L"/r/var/lib/public/Documents"},
        {KnownFolder::CommonStartup, L"/r/etc/xdg/autostart"},
        {KnownFolder::System, L"/r/usr/lib"},
        {KnownFolder::SystemX86, L"/r/usr/lib"},
        {KnownFolder::Windows, L"/r/usr"},
        {KnownFolder::Profile, L"/r/home/ann"},
        {KnownFolder::Desktop, L"/r/home/ann/Desktop"},
        {KnownFolder::Documents, L"/r/home/ann/Documents"},
        {KnownFolder::LocalAppData, L"/r/xdg/data"},
        {KnownFolder::RoamingAppData, L"/r/home/ann/.config"},
        {KnownFolder::LocalAppDataLow, L"/r/home/ann/.local/state"},
        {KnownFolder::Temp, L"/r/scratch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(text::wide_to_utf8(c.path));
        std::wstring path;
        EXPECT_EQ(folders.path(c.folder, path), 0u);
        EXPECT_EQ(path, c.path);
        // What a component builds from it maps straight back to the host.
        EXPECT_EQ(to_host_path(path + L"\\Corvane\\x")->native(),
                  text::wide_to_utf8(c.path) + "/Corvane/x");
    }
}

TEST(KnownFolders, DefaultsWithoutVariablesAndWithoutRoot) {
    const ScopedEnv root("RK_ROOT", std::nullopt);
    const KnownFolders folders(fake_env({{"HOME", "/home/bo"}}));
    const std::pair<KnownFolder, const wchar_t*> cases[] = {
        {KnownFolder::ProgramData, L"/var/lib"},
        {KnownFolder::LocalAppData, L"/home/bo/.local/share"},
        {KnownFolder::RoamingAppData, L"/home/bo/.config"},
        {KnownFolder::Temp, L"/tmp"},
    };
    for (const auto& [folder, expected] : cases) {
        std::wstring path;
        EXPECT_EQ(folders.path(folder, path), 0u);
        EXPECT_EQ(path, expected);
    }
}

TEST(KnownFolders, UnknownHomeFailsOnlyPerUserFolders) {
    const KnownFolders folders(fake_env({{"HOME", "not/absolute"}}));
    std::wstring path = L"unchanged";
    EXPECT_EQ(folders.path(KnownFolder::Desktop, path), win::kErrorFileNotFound);
    EXPECT_EQ(path, L"unchanged");
    EXPECT_EQ(folders.path(KnownFolder::ProgramData, path), 0u);
    EXPECT_EQ(folders.path(KnownFolder::Temp, path), 0u);
}

TEST(KnownFolders, CreateFlagMakesMissingFolders) {
    const test::TempRoot root;
    const KnownFolders folders(fake_env({{"HOME", "/home/cy"}}));
    std::wstring path;
    EXPECT_EQ(folders.path(KnownFolder::LocalAppData, path), 0u);
    EXPECT_FALSE(fs::exists(root.path() / "home/cy/.local/share"));
    EXPECT_EQ(folders.path(KnownFolder::LocalAppData, path, true), 0u);
    EXPECT_EQ(fs::path(path), root.path() / "home/cy/.local/share");
    struct stat st{};
    ASSERT_EQ(::stat(fs::path(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);  // per-user folders are private
    EXPECT_EQ(folders.path(KnownFolder::ProgramData, path, true), 0u);
    EXPECT_TRUE(fs::is_directory(root.path() / "var/lib"));

    std::ofstream(root.path() / "opt");  // a file where the folder should be
    EXPECT_EQ(folders.path(KnownFolder::ProgramFiles, path, true), win::kErrorAlreadyExists);
}

TEST(KnownFolders, ProcessEnvironmentIsTheDefault) {
    const test::TempRoot root;
    const ScopedEnv tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(fs::path(temp_dir()), root.path() / "var/tmp");
    const ScopedEnv home("HOME", std::nullopt);
    EXPECT_TRUE(process_env("HOME").has_value());  // from the password database
}

}  // namespace
}  // namespace rk::sys
