#include "analytics/record_json.h"

#include <gtest/gtest.h>

namespace Halden::Analytics {
namespace {

TEST(RecordJson, StringsAreEscapedAndEncoded) {
    const struct {
        Record record;
        std::wstring json;
    } cases[] = {
        {{}, L"{}"},
        {{{L"q", L"say \"hi\" \\ /"}}, L"{\"q\":\"say \\\"hi\\\" \\\\ /\"}"},
        {{{L"c", L"a\tb\nc\x01"}}, L"{\"c\":\"a\\tb\\nc\\u0001\"}"},
        {{{L"\u00e9", L"\u20ac\U0001F600"}}, L"{\"\u00e9\":\"\u20ac\U0001F600\"}"},
        {{{L"b", L"2"}, {L"a", L"1"}, {L"B", L"3"}}, L"{\"B\":\"3\",\"a\":\"1\",\"b\":\"2\"}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordToJson(c.record), c.json);
    }
    // An identifier that needs escaping keeps the message valid JSON.
    EXPECT_EQ(InProcPayload(L"a\"b", L"{}"), L"{\"UniqueIdentifier\":\"a\\\"b\",\"payload\":{}}");
}

TEST(RecordJson, UniqueIdentifierLookupOrder) {
    const wchar_t* names[] = {L"hit.uniqueid", L"uniqueid", L"uniqueidentifier",
                              L"Hit.UniqueID", L"UniqueId", L"UniqueIdentifier"};
    // With every name present, dropping the winner each time walks the order.
    Record record;
    for (const wchar_t* name : names) {
        record[name] = std::wstring(L"v-") + name;
    }
    for (const wchar_t* name : names) {
        bool found = false;
        EXPECT_EQ(UniqueIdOf(record, found), std::wstring(L"v-") + name);
        EXPECT_TRUE(found);
        record.erase(name);
    }
    bool found = true;
    record[L"UNIQUEID"] = L"case matters";
    EXPECT_EQ(UniqueIdOf(record, found), L"");
    EXPECT_FALSE(found);
}

}  // namespace
}  // namespace Halden::Analytics
