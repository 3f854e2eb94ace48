#include "app/manifest/rk_xml_processor.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/manifest/xml_parser.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/text/utf.h"

namespace {

using namespace rk::app;

// A manifest assembled from its sections; nullopt leaves a section out.
struct Sections {
    std::optional<std::wstring> polling = L"<POLLINGTIMEINMINS value=\"30\"/>";
    std::optional<std::wstring> prereq = L"<PREREQ><SETVAR name=\"ISENABLED\" value=\"TRUE\"/></PREREQ>";
    std::optional<std::wstring> reg_info =
        L"<REGINFO><SETVAR name=\"V\" value=\"SOFTWARE\\Corvane\\Product@Version\"/></REGINFO>";
    std::optional<std::wstring> compare_vals =
        L"<COMPAREVALS><SETVAR name=\"V\" value=\"1.0\" type=\"VER\"/></COMPAREVALS>";
    std::optional<std::wstring> commands =
        L"<UPDATECOMMANDS><SETVAR name=\"DOWNLOADURL\" value=\"https://127.0.0.1/s/0/x\"/></UPDATECOMMANDS>";
    bool precondition = true;
    bool update = true;
    bool updater = true;

    std::wstring render() const {
        std::wstring pre;
        for (const auto* part : {&prereq, &reg_info, &compare_vals}) {
            pre += part->value_or(L"");
        }
        std::wstring body = polling.value_or(L"") + (precondition ? L"<PRECONDITION>" + pre + L"</PRECONDITION>" : pre) +
                            commands.value_or(L"");
        if (update) {
            body = L"<UPDATE>" + body + L"</UPDATE>";
        }
        return updater ? L"<?xml version=\"1.0\"?><UPDATER>" + body + L"</UPDATER>" : body;
    }
};

// Records what the processor hands over.
class RecordingChecker : public IRkUpdateChecker {
public:
    void SetRegInfoVars(const StringMap& m) override { reg_info = m; }
    void SetPrereqVars(const StringMap& m) override { prereq = m; }
    void SetCompareVals(const CompareMap& m) override { compare = m; }
    bool IsOSVersionSupported() override { return true; }
    bool IsUIProcessRunning() override { return false; }
    bool IsPreConditionSuccess(std::wstring& detail) override {
        detail = answer_detail;
        return answer;
    }
    std::wstring GetAffiliateId() override { return L"AFF"; }

    StringMap prereq, reg_info;
    CompareMap compare;
    bool answer = true;
    std::wstring answer_detail = L"preconditionsuccess";
};

struct Parsed {
    bool ok;
    std::wstring detail;
    std::shared_ptr<RecordingChecker> checker;
    std::shared_ptr<CRkXMLProcessor> processor;
};

Parsed parse(const std::wstring& text) {
    auto checker = std::make_shared<RecordingChecker>();
    auto processor = std::make_shared<CRkXMLProcessor>(checker, nullptr);
    processor->SetXMLContent(text);
    std::wstring detail = L"untouched";
    const bool ok = processor->ParseXMLContent(detail);
    return {ok, detail, checker, processor};
}

TEST(CRkXMLProcessor, ResultWordsAndLogLines) {
    const std::wstring good = Sections{}.render();
    const struct {
        const char* name;
        std::wstring text;
        bool ok;
        const wchar_t* detail;
        const wchar_t* logged;  // a fragment of the one level 1 line, nullptr: no line
    } cases[] = {
        {"empty", L"", false, L"emptyresponsecontent", nullptr},
        {"not xml", L"this is not xml", false, L"xmlparsingfailed", L"Unable to parse XML: "},
        {"cut short", good.substr(0, good.size() / 2), false, L"xmlparsingfailed", L"Unable to parse XML: "},
        {"nested too deep", [] { std::wstring t; for (int i = 0; i < 100000; ++i) t += L"<a>"; return t; }(), false, L"xmlparsingfailed",
         L"Unable to parse XML: element nesting too deep"},
        {"embedded NUL cuts the text", good.substr(0, 20) + L'\0' + good.substr(20), false, L"xmlparsingfailed",
         L"Unable to parse XML: "},
        {"good", good, true, L"xmlparsingsuccess", nullptr},
        {"byte order mark", L"\xFEFF" + good, true, L"xmlparsingsuccess", nullptr},
        {"UTF-8 byte order mark read as single bytes", L"\xFEFF\x00EF\x00BB\x00BF" + good, true,
         L"xmlparsingsuccess", nullptr},
        {"a mark of wide characters is not one", L"\x01EF\x00BB\x00BF" + good, false, L"xmlparsingfailed",
         L"Unable to parse XML: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rk::logging::test::ScopedLogCapture capture;
        const auto r = parse(c.text);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.detail, c.detail);
        const auto entries = capture.logger().Entries();
        if (c.logged == nullptr) {
            EXPECT_TRUE(entries.empty());
        } else {
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0].level, 1u);
            EXPECT_EQ(entries[0].function, L"NXMLParser::XMLParser::RunXMLParse");
            EXPECT_EQ(entries[0].message.rfind(c.logged, 0), 0u) << entries[0].message;
        }
        if (!c.ok) {
            EXPECT_EQ(r.processor->GetPollingTimeInMins(), L"1440");
            EXPECT_FALSE(r.processor->IsUpdaterEnabled());
        }
    }
}

// Every element the walk needs, and entries without enough attributes: a
// defined failure, never a crash.
TEST(CRkXMLProcessor, MissingElementsFailTheParse) {
    const struct {
        const char* name;
        Sections sections;
    } cases[] = {
        {"UPDATER", [] { Sections s; s.updater = false; return s; }()},
        {"UPDATE", [] { Sections s; s.update = false; return s; }()},
        {"POLLINGTIMEINMINS", [] { Sections s; s.polling.reset(); return s; }()},
        {"POLLINGTIMEINMINS attribute", [] { Sections s; s.polling = L"<POLLINGTIMEINMINS/>"; return s; }()},
        {"PRECONDITION", [] { Sections s; s.precondition = false; return s; }()},
        {"PREREQ", [] { Sections s; s.prereq.reset(); return s; }()},
        {"REGINFO", [] { Sections s; s.reg_info.reset(); return s; }()},
        {"COMPAREVALS", [] { Sections s; s.compare_vals.reset(); return s; }()},
        {"UPDATECOMMANDS", [] { Sections s; s.commands.reset(); return s; }()},
        {"REGINFO before PREREQ",
         [] { Sections s; std::swap(s.prereq, s.reg_info); return s; }()},
        {"PREREQ entry without attributes",
         [] { Sections s; s.prereq = L"<PREREQ><SETVAR name=\"A\" value=\"1\"/><SETVAR/></PREREQ>"; return s; }()},
        {"command entry without attributes",
         [] { Sections s; s.commands = L"<UPDATECOMMANDS><SETVAR/></UPDATECOMMANDS>"; return s; }()},
        {"comparison with one attribute",
         [] { Sections s; s.compare_vals = L"<COMPAREVALS><SETVAR name=\"V\"/></COMPAREVALS>"; return s; }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rk::logging::test::ScopedLogCapture capture;
        const auto r = parse(c.sections.render());
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.detail, L"xmlparsingfailed");
        EXPECT_TRUE(capture.logger().Contains(L"Manifest element missing or incomplete: "));
        EXPECT_TRUE(r.checker->prereq.empty());  // nothing handed over
    }
}

TEST(CRkXMLProcessor, FlagsAreExactTrueTexts) {
    const struct {
        const wchar_t* prereq;
        bool enabled, heart_beat, retry;
    } cases[] = {
        // Defaults: off, off, on.
        {L"", false, false, true},
        {L"<SETVAR a=\"ISENABLED\" b=\"TRUE\"/><SETVAR a=\"HEARTBEAT\" b=\"TRUE\"/><SETVAR a=\"RETRY\" b=\"FALSE\"/>",
         true, true, false},
        {L"<SETVAR n=\"ISENABLED\" v=\"True\"/>", false, false, true},
        {L"<SETVAR n=\"ISENABLED\" v=\"TRUE \"/>", false, false, true},
        {L"<SETVAR n=\"ISENABLED\" v=\"true\"/>", false, false, true},
        {L"<SETVAR n=\"RETRY\" v=\"no\"/>", false, false, false},
        // Attribute names are never looked at; the value is the last one.
        {L"<SETVAR x=\"ISENABLED\" y=\"FALSE\" z=\"TRUE\"/>", true, false, true},
        {L"<SETVAR ISENABLED=\"ISENABLED\"/>", false, false, true},  // value = key = "ISENABLED"
        // Later entry with the same key wins.
        {L"<SETVAR n=\"ISENABLED\" v=\"TRUE\"/><SETVAR n=\"ISENABLED\" v=\"FALSE\"/>", false, false, true},
        {L"<SETVAR n=\"ISENABLED\" v=\"FALSE\"/><SETVAR n=\"ISENABLED\" v=\"TRUE\"/>", true, false, true},
        // Direct elements are not entries.
        {L"<ISENABLED value=\"TRUE\"/><HEARTBEAT value=\"TRUE\"/>", false, false, true},
        // After the first SETVAR, any element is an entry.
        {L"<SETVAR n=\"A\" v=\"1\"/><OTHER n=\"ISENABLED\" v=\"TRUE\"/>", true, false, true},
        // Before it, nothing is.
        {L"<OTHER n=\"ISENABLED\" v=\"TRUE\"/><SETVAR n=\"A\" v=\"1\"/>", false, false, true},
        // Text between entries is not an entry.
        {L"<SETVAR n=\"A\" v=\"1\"/>text<SETVAR n=\"ISENABLED\" v=\"TRUE\"/>", true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(rk::text::wide_to_utf8(c.prereq));
        Sections s;
        s.prereq = std::wstring(L"<PREREQ>") + c.prereq + L"</PREREQ>";
        const auto r = parse(s.render());
        ASSERT_TRUE(r.ok) << rk::text::wide_to_utf8(r.detail);
        EXPECT_EQ(r.processor->IsUpdaterEnabled(), c.enabled);
        EXPECT_EQ(r.processor->IsHeartBeatEnabled(), c.heart_beat);
        EXPECT_EQ(r.processor->IsRetryEnabled(), c.retry);
    }
}

TEST(CRkXMLProcessor, ListsAreHandedOverByPositionAndWhole) {
    Sections s;
    s.polling = L"<POLLINGTIMEINMINS anything=\"abc\" second=\"60\"/>";
    s.prereq = L"<PREREQ><SETVAR k=\"OS\" v=\"10.0\"/><SETVAR k=\"COMPARE\" v=\"GE\"/></PREREQ><SKIPPED/>";
    s.reg_info = L"<REGINFO><SETVAR k=\"A\" v=\"K@a\"/><SETVAR k=\"A\" v=\"K@b\"/></REGINFO>";
    // Comparisons: key, expected, type = last; an earlier key stays.
    s.compare_vals =
        L"<COMPAREVALS><SETVAR k=\"A\" e=\"2.0\" t=\"VER\"/><SETVAR k=\"A\" e=\"9\" t=\"STR\"/>"
        L"<SETVAR k=\"B\" e=\"1 2\" x=\"y\" t=\"STR\"/><SETVAR k=\"C\" t=\"VER\"/></COMPAREVALS>";
    const auto r = parse(s.render());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.processor->GetPollingTimeInMins(), L"abc");
    EXPECT_EQ(r.checker->prereq, (StringMap{{L"OS", L"10.0"}, {L"COMPARE", L"GE"}}));
    EXPECT_EQ(r.checker->reg_info, (StringMap{{L"A", L"K@b"}}));
    const CompareMap expected{{L"A", {L"VER", L"2.0"}}, {L"B", {L"STR", L"1 2"}}, {L"C", {L"VER", L"VER"}}};
    EXPECT_EQ(r.checker->compare, expected);

    // The walk builds its lists in an arena of 16 KiB blocks: thousands of
    // entries span many blocks, and a value longer than a block gets its own.
    const std::wstring long_value(40000, L'v');
    std::wstring prereq = L"<PREREQ>";
    StringMap long_list;
    for (int i = 0; i < 3000; ++i) {
        const std::wstring key = L"KEY" + std::to_wstring(i % 2000);  // the last thousand repeat: later wins
        const std::wstring value = L"value " + std::to_wstring(i);
        prereq += L"<SETVAR n=\"" + key + L"\" v=\"" + value + L"\"/>";
        long_list.insert_or_assign(StringMap::key_type(key), StringMap::mapped_type(value));
    }
    prereq += L"<SETVAR n=\"LONG\" v=\"" + long_value + L"\"/></PREREQ>";
    long_list.emplace(L"LONG", long_value);
    s.prereq = prereq;
    const auto long_parse = parse(s.render());
    ASSERT_TRUE(long_parse.ok);
    EXPECT_EQ(long_parse.checker->prereq.size(), 2001u);
    EXPECT_TRUE(long_parse.checker->prereq == long_list);
}

TEST(CRkXMLProcessor, PreconditionAndInstallerForwarding) {
    auto checker = std::make_shared<RecordingChecker>();
    checker->answer = false;
    checker->answer_detail = L"oscheckfailed";
    CRkXMLProcessor processor(checker, nullptr);
    rk::logging::test::ScopedLogCapture capture;
    std::wstring detail = L"stale";
    EXPECT_FALSE(processor.IsPreConditionSuccess(detail));
    EXPECT_EQ(detail, L"oscheckfailed");
    EXPECT_TRUE(capture.logger().Contains(L"Precondition failed for updater module"));

    // No executor: the documented word, nothing deleted.
    EXPECT_FALSE(processor.DownloadAndExecuteInstaller(detail));
    EXPECT_EQ(detail, L"memallocfailednullptr");
    EXPECT_FALSE(processor.DeleteIfNeeded());

    CRkXMLProcessor no_checker(nullptr, nullptr);
    detail = L"stale";
    EXPECT_FALSE(no_checker.IsPreConditionSuccess(detail));
    EXPECT_EQ(detail, L"stale");
}

// Characters beyond one byte become '?', so rapidxml (whose tables index the
// low byte) never sees a character that looks like markup to it.
TEST(XMLParser, WideCharactersSurviveAsQuestionMarks) {
    Sections s;
    s.polling = L"<POLLINGTIMEINMINS value=\"3\x013C\"/>";
    s.prereq = L"<PREREQ>\x0100\x013C<SETVAR n=\"ISENABLED\" v=\"TRUE\"/>\x00E9</PREREQ>";
    const auto r = parse(s.render());
    ASSERT_TRUE(r.ok) << rk::text::wide_to_utf8(r.detail);
    EXPECT_EQ(r.processor->GetPollingTimeInMins(), L"3?");
    EXPECT_TRUE(r.processor->IsUpdaterEnabled());
}

}  // namespace
