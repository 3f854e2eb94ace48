#include "platform/system/wmi/wql_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rk::sys::wmi {
namespace {

constexpr HRESULT kInvalidQuery = static_cast<HRESULT>(0x80041017u);

TEST(WqlParser, AcceptedQueries) {
    const struct {
        std::wstring text;
        std::wstring class_name;
        std::vector<std::wstring> properties;
        std::optional<WqlCondition> where;
    } cases[] = {
        {L"SELECT * FROM Win32_BIOS", L"Win32_BIOS", {}, std::nullopt},
        {L"select*from win32_bios", L"win32_bios", {}, std::nullopt},
        {L" \r\n\tSeLeCt  Caption ,Version,_x1  FROM  Win32_OperatingSystem \n", L"Win32_OperatingSystem",
         {L"Caption", L"Version", L"_x1"}, std::nullopt},
        {L"SELECT * FROM Win32_LogicalDisk WHERE DeviceID = 'C:'", L"Win32_LogicalDisk", {},
         WqlCondition{L"DeviceID", std::wstring(L"C:")}},
        {L"SELECT * FROM c WHERE p=\"a 'b' c\"", L"c", {}, WqlCondition{L"p", std::wstring(L"a 'b' c")}},
        {L"SELECT * FROM c WHERE p = 'C:\\\\Windows\\'s'", L"c", {}, WqlCondition{L"p", std::wstring(L"C:\\Windows's")}},
        {L"SELECT * FROM c WHERE p = ''", L"c", {}, WqlCondition{L"p", std::wstring()}},
        {L"SELECT * FROM c WHERE p = 3", L"c", {}, WqlCondition{L"p", std::int64_t{3}}},
        {L"SELECT * FROM c WHERE p = -9223372036854775808", L"c", {},
         WqlCondition{L"p", std::int64_t{INT64_MIN}}},
        {L"SELECT * FROM c WHERE p = 9223372036854775807", L"c", {}, WqlCondition{L"p", std::int64_t{INT64_MAX}}},
        {L"SELECT * FROM c WHERE p = true", L"c", {}, WqlCondition{L"p", true}},
        {L"SELECT * FROM c WHERE p = FALSE", L"c", {}, WqlCondition{L"p", false}},
        {L"SELECT * FROM c WHERE p = 'caf\u00e9 \u4e2d'", L"c", {}, WqlCondition{L"p", std::wstring(L"caf\u00e9 \u4e2d")}},
    };
    for (const auto& c : cases) {
        WqlQuery query;
        ASSERT_EQ(parse_wql(c.text, query), 0) << c.text;
        EXPECT_EQ(query.class_name, c.class_name) << c.text;
        EXPECT_EQ(query.properties, c.properties) << c.text;
        ASSERT_EQ(query.where.has_value(), c.where.has_value()) << c.text;
        if (c.where) {
            EXPECT_EQ(query.where->property, c.where->property) << c.text;
            EXPECT_EQ(query.where->value, c.where->value) << c.text;
        }
    }
}

TEST(WqlParser, RefusedQueries) {
    const std::wstring refused[] = {
        L"",
        L"SELECT",
        L"SELECT * FROM",
        L"SELECT FROM Win32_BIOS",
        L"SELECT *, Name FROM Win32_BIOS",
        L"SELECT Name, FROM Win32_BIOS",
        L"SELECT Name Version FROM Win32_BIOS",
        L"SELECT * FROM Win32_BIOS extra",
        L"SELECT * FROM 1Class",
        L"SELECT * FROM Win32_BIOS;",
        L"SELECT * FROM Win32_BIOS WHERE",
        L"SELECT * FROM Win32_BIOS WHERE Name",
        L"SELECT * FROM Win32_BIOS WHERE Name =",
        L"SELECT * FROM Win32_BIOS WHERE Name = 'x",
        L"SELECT * FROM Win32_BIOS WHERE Name = 'x\\",
        L"SELECT * FROM Win32_BIOS WHERE Name = x",
        L"SELECT * FROM Win32_BIOS WHERE Name <> 'x'",
        L"SELECT * FROM Win32_BIOS WHERE Name = 'x' AND Version = 'y'",
        L"SELECT * FROM Win32_BIOS WHERE Name = 12abc",
        L"SELECT * FROM Win32_BIOS WHERE Name = -",
        L"SELECT * FROM Win32_BIOS WHERE Name = 9223372036854775808",
        L"SELECT * FROM Win32_BIOS WHERE Name = 99999999999999999999999",
        L"SELECTX * FROM Win32_BIOS",
        L"ASSOCIATORS OF {Win32_BIOS}",
        std::wstring(L"SELECT * FROM Win32_BIOS\0", 25),
        L"SELECT * FROM Win32_BIOS WHERE Name = '" + std::wstring(kMaxQueryLength, L'x') + L"'",
    };
    for (const auto& text : refused) {
        WqlQuery query;
        query.class_name = L"stale";
        EXPECT_EQ(parse_wql(text, query), kInvalidQuery) << text.substr(0, 80);
        EXPECT_TRUE(query.class_name.empty()) << text.substr(0, 80);
    }
}

}  // namespace
}  // namespace rk::sys::wmi
