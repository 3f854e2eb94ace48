#include "platform/system/known_folder_ids.h"

#include <gtest/gtest.h>

namespace rk::sys {
namespace {

// The GUIDs as the shell documents them, in text, both ways round.
TEST(KnownFolderIds, PublishedGuids) {
    const struct {
        const wchar_t* guid;
        const wchar_t* name;
    } cases[] = {
        {L"{62AB5D82-FDC1-4DC3-A9DD-070D1D495D97}", L"FOLDERID_ProgramData"},
        {L"{905e63b6-c1bf-494e-b29c-65b732d3d21a}", L"FOLDERID_ProgramFiles"},
        {L"{6D809377-6AF0-444b-8957-A3773F02200E}", L"FOLDERID_ProgramFilesX64"},
        {L"{7C5A40EF-A0FB-4BFC-874A-C0F2E0B9FA8E}", L"FOLDERID_ProgramFilesX86"},
        {L"{F7F1ED05-9F6D-47A2-AAAE-29D317C6F066}", L"FOLDERID_ProgramFilesCommon"},
        {L"{6365D5A7-0F0D-45e5-87F6-0DA56B6A4F7D}", L"FOLDERID_ProgramFilesCommonX64"},
        {L"{DE974D24-D9C6-4D3E-BF91-F4455120B917}", L"FOLDERID_ProgramFilesCommonX86"},
        {L"{ED4824AF-DCE4-45A8-81E2-FC7965083634}", L"FOLDERID_PublicDocuments"},
        {L"{82A5EA35-D9CD-47C5-9629-E15D2F714E6E}", L"FOLDERID_CommonStartup"},
        {L"{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}", L"FOLDERID_System"},
        {L"{D65231B0-B2F1-4857-A4CE-A8E7C6EA7D27}", L"FOLDERID_SystemX86"},
        {L"{F38BF404-1D43-42F2-9305-67DE0B28FC23}", L"FOLDERID_Windows"},
        {L"{5E6C858F-0E22-4760-9AFE-EA3317B67173}", L"FOLDERID_Profile"},
        {L"{B4BFCC3A-DB2C-424C-B029-7FE99A87C641}", L"FOLDERID_Desktop"},
        {L"{FDD39AD0-238F-46AF-ADB4-6C85480369C7}", L"FOLDERID_Documents"},
        {L"{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}", L"FOLDERID_LocalAppData"},
        {L"{3EB685DB-65F9-4CF6-A03A-E3EF65729F3D}", L"FOLDERID_RoamingAppData"},
        {L"{A520A1A4-1780-4FF6-BD18-167343C5AF16}", L"FOLDERID_LocalAppDataLow"},
    };
    for (const auto& c : cases) {
        const auto guid = win::guid_from_string(c.guid);
        ASSERT_TRUE(guid) << c.guid;
        const auto folder = known_folder_from_id(*guid);
        ASSERT_TRUE(folder) << c.guid;
        EXPECT_EQ(known_folder_name(*folder), c.name);
        EXPECT_EQ(known_folder_id(*folder), guid) << c.name;
    }
    EXPECT_EQ(known_folder_id(KnownFolder::Temp), std::nullopt);
    // FOLDERID_Downloads exists on Windows but not in the table.
    EXPECT_EQ(known_folder_from_id(*win::guid_from_string(L"{374DE290-123F-4565-9164-39C4925E467B}")), std::nullopt);
}

}  // namespace
}  // namespace rk::sys
