#include "app/manifest/rk_update_checker.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/process_info.h"
#include "platform/system/registry/registry.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace {

using namespace rk::app;
namespace reg = rk::sys::reg;

std::shared_ptr<UpdaterEnvironment> environment(rk::sys::OsVersion os = {},
                                                std::vector<rk::sys::ProcessEntry> processes = {}) {
    auto env = std::make_shared<UpdaterEnvironment>();
    env->os_info = std::make_shared<rk::sys::FixedOsInfo>(os);
    env->processes = std::make_shared<rk::sys::FixedProcessList>(std::move(processes));
    env->own_image_path = [] { return std::wstring(L"/opt/rk/bin/rkupdatermodule"); };
    return env;
}

rk::sys::OsVersion version(rk::DWORD major, rk::DWORD minor, rk::DWORD sp = 0) {
    rk::sys::OsVersion v;
    v.major = major;
    v.minor = minor;
    v.service_pack_major = sp;
    return v;
}

TEST(CRkUpdateChecker, OsTable) {
    const struct {
        const wchar_t* os;  // nullptr: no "OS" entry
        rk::sys::OsVersion running;
        bool supported;
    } cases[] = {
        {L"10.0", version(10, 0), true},
        {L"10.0", version(6, 3), false},  // Windows 8.1
        {L"10.0", version(6, 1, 0), false},
        {L"8.1", version(6, 3), true},
        {L"6.3", version(6, 2), false},
        {L"8.0", version(6, 2), true},
        {L"6.2", version(6, 1, 5), false},
        {L"6.1", version(6, 1, 0), false},  // service pack 1 required
        {L"6.1", version(6, 1, 1), true},
        {L"6.1", version(6, 2, 0), true},  // a later minor needs no service pack
        {L"10.0", version(6, 1), false},   // Linux 6.1 is "older" than Windows 10
        {L"7", version(1, 0), true},       // not in the table: no requirement
        {L"10", version(1, 0), true},      // not a prefix match of "10.0"
        {L"", version(1, 0), true},
        {nullptr, version(1, 0), true},
    };
    for (const auto& c : cases) {
        CRkUpdateChecker checker(environment(c.running));
        if (c.os != nullptr) {
            checker.SetPrereqVars({{L"OS", c.os}});
        }
        EXPECT_EQ(checker.IsOSVersionSupported(), c.supported)
            << (c.os ? rk::text::wide_to_utf8(c.os) : "absent") << " on " << c.running.major << "." << c.running.minor;
    }
}

TEST(CRkUpdateChecker, UiProcessOnlyFromOwnFolder) {
    const struct {
        const char* name;
        std::vector<rk::sys::ProcessEntry> processes;
        bool running;
    } cases[] = {
        {"none", {{10, L"/usr/bin/bash"}}, false},
        {"own folder", {{10, L"/opt/rk/bin/rkuicnt.exe"}}, true},
        {"own folder, upper case name", {{10, L"/opt/rk/bin/RkUiCnt.EXE"}}, true},
        {"other folder", {{10, L"/tmp/rkuicnt.exe"}}, false},
        {"folder differs in case", {{10, L"/opt/RK/bin/rkuicnt.exe"}}, false},
        {"similar name", {{10, L"/opt/rk/bin/rkuicnt.exe.bak"}}, false},
        {"not inspectable", {{10, L""}}, false},
        {"pid 0 skipped", {{0, L"/opt/rk/bin/rkuicnt.exe"}}, false},
        {"second match counts", {{10, L"/tmp/rkuicnt.exe"}, {11, L"/opt/rk/bin/rkuicnt.exe"}}, true},
    };
    for (const auto& c : cases) {
        CRkUpdateChecker checker(environment({}, c.processes));
        EXPECT_EQ(checker.IsUIProcessRunning(), c.running) << c.name;
    }
}

// The OS check comes first, then the UI process's.
TEST(CRkUpdateChecker, OsThenUiProcessEndThePrecondition) {
    for (const auto& [os, detail] : {std::pair{L"10.0", L"oscheckfailed"}, std::pair{L"6.1", L"rkuicntalreadyrunning"}}) {
        CRkUpdateChecker checker(environment(version(6, 1, 1), {{10, L"/opt/rk/bin/rkuicnt.exe"}}));
        checker.SetPrereqVars({{L"OS", os}});
        std::wstring detail_out;
        EXPECT_FALSE(checker.IsPreConditionSuccess(detail_out));
        EXPECT_EQ(detail_out, detail);
    }
}

TEST(CRkUpdateChecker, VersionComparisons) {
    const struct {
        const wchar_t* relation;
        const wchar_t* value;
        const wchar_t* expected;
        bool result;
    } cases[] = {
        {L"GE", L"2.1", L"2.0.5", true},   // 2 = 2, then 1 > 0
        {L"GE", L"2.0", L"2.0.5", false},  // 0 >= 5 fails in the third pair
        {L"LE", L"1.2", L"1.2", true},
        {L"EQ", L"1.2", L"1.2.0", true},   // a text that ran out supplies "0"
        {L"EQ", L"1.2", L"1.2.1", false},
        {L"LT", L"1.1", L"1.2", false},    // equal first components end LT
        {L"LT", L"0.9", L"1.2", true},
        {L"GT", L"2.0", L"2.1", false},
        {L"GT", L"3.0", L"2.9", true},
        {L"NEQ", L"1.2", L"1.3", false},   // equal first components end NEQ too
        {L"NEQ", L"2.2", L"1.2", true},
        {L"GE", L"2.x", L"2.0", false},    // "x" has no digits
        {L"GE", L"10.0", L"9.9", true},    // numbers, not text
        {L"GE", L" 3", L"2", true},        // leading blanks allowed
        {L"GE", L"3abc", L"2", true},      // trailing text ignored
        {L"GE", L"", L"1", false},         // "0" against 1
        {L"EQ", L"", L"", true},
        {L"GE", L"1..2", L"1.0.2", false}, // an empty component has no digits
        {L"GE", L"99999999999999999999", L"1", false},  // out of range
        {L"ge", L"2", L"1", false},        // relations are case-sensitive
        {L"XX", L"2", L"1", false},
    };
    for (const auto& c : cases) {
        CRkUpdateChecker checker(environment());
        checker.SetPrereqVars({{L"COMPARE", c.relation}});
        EXPECT_EQ(checker.CompareVersions(c.value, c.expected), c.result)
            << rk::text::wide_to_utf8(c.relation) << " " << rk::text::wide_to_utf8(c.value) << " "
            << rk::text::wide_to_utf8(c.expected);
    }
}

// A registry store in a temporary root with one key of values.
class CheckerRegistry : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(reg::RegCreateKeyExW(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Product", 0, nullptr, 0,
                                       reg::KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  0);
        set(L"Version", L"2.1.0");
        set(L"Build", L"5");
        set(L"AffId", L"A1B2");
    }
    void TearDown() override { reg::RegCloseKey(key_); }

    void set(const wchar_t* name, const std::wstring& value) {
        auto bytes = rk::text::wide_to_utf16le(value);
        bytes.push_back(0);
        bytes.push_back(0);
        ASSERT_EQ(reg::RegSetValueExW(key_, name, 0, reg::REG_SZ, bytes.data(), static_cast<rk::DWORD>(bytes.size())),
                  0);
    }

    struct Outcome {
        bool ok;
        std::wstring detail;
        std::wstring affiliate;
    };
    Outcome check(const StringMap& prereq, const StringMap& reg_info, const CompareMap& compare) {
        CRkUpdateChecker checker(environment(version(6, 1)));
        checker.SetPrereqVars(prereq);
        checker.SetRegInfoVars(reg_info);
        checker.SetCompareVals(compare);
        std::wstring detail;
        const bool ok = checker.IsPreConditionSuccess(detail);
        return {ok, detail, checker.GetAffiliateId()};
    }

    rk::sys::test::TempRoot root_;
    reg::HKEY key_ = nullptr;
};

TEST_F(CheckerRegistry, Preconditions) {
    const StringMap hklm_ge{{L"REGHIVE", L"HKLM"}, {L"COMPARE", L"GE"}};
    const StringMap reg_info{{L"VER", L"SOFTWARE\\Corvane\\Product@Version"},
                             {L"BUILD", L"SOFTWARE\\Corvane\\Product@Build"},
                             {L"LMRA_AFFID", L"SOFTWARE\\Corvane\\Product@AffId"}};
    const struct {
        const char* name;
        StringMap prereq;
        StringMap reg_info;
        CompareMap compare;
        bool ok;
        const wchar_t* detail;
        const wchar_t* affiliate;
    } cases[] = {
        {"version passes", hklm_ge, reg_info, {{L"VER", {L"VER", L"2.0.5"}}}, true, L"preconditionsuccess",
         L"A1B2"},
        {"version fails", hklm_ge, reg_info, {{L"VER", {L"VER", L"3"}}}, false, L"preconditionfailed", L"A1B2"},
        {"STR in list", hklm_ge, reg_info, {{L"BUILD", {L"STR", L"1 2 5"}}}, true, L"preconditionsuccess",
         L"A1B2"},
        {"STR not in list", hklm_ge, reg_info, {{L"BUILD", {L"STR", L"1 2 6"}}}, false, L"preconditionfailed",
         L"A1B2"},
        {"STR list stops at a non-number", hklm_ge, reg_info, {{L"BUILD", {L"STR", L"1 x 5"}}}, false,
         L"preconditionfailed", L"A1B2"},
        {"both must pass", hklm_ge, reg_info,
         {{L"BUILD", {L"STR", L"5"}}, {L"VER", {L"VER", L"9"}}}, false, L"preconditionfailed", L"A1B2"},
        {"unknown type only", hklm_ge, reg_info, {{L"VER", {L"XYZ", L"1"}}}, false, L"preconditionfailed",
         L"A1B2"},
        {"unknown type skipped", hklm_ge, reg_info,
         {{L"BUILD", {L"XYZ", L"1"}}, {L"VER", {L"VER", L"1"}}}, true, L"preconditionsuccess", L"A1B2"},
        {"lower-case hive reads nothing", {{L"REGHIVE", L"hklm"}, {L"COMPARE", L"GE"}}, reg_info,
         {{L"VER", {L"VER", L"1"}}}, false, L"preconditionfailed", L""},
        {"no hive", {{L"COMPARE", L"GE"}}, reg_info, {{L"VER", {L"VER", L"1"}}}, false, L"preconditionfailed",
         L""},
        {"missing value reads empty", hklm_ge, {{L"VER", L"SOFTWARE\\Corvane\\Product@Nope"}},
         {{L"VER", {L"VER", L"1"}}}, false, L"preconditionfailed", L""},
        {"location without @", hklm_ge, {{L"VER", L"SOFTWARE\\Corvane\\Product"}}, {{L"VER", {L"VER", L"0"}}},
         true, L"preconditionsuccess", L""},  // empty against 0: equal
        {"empty registry list", hklm_ge, {}, {{L"VER", {L"VER", L"1"}}}, false, L"preconditionfailed", L""},
        {"empty comparison list", hklm_ge, reg_info, {}, false, L"preconditionfailed", L"A1B2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rk::logging::test::ScopedLogCapture capture;
        const auto out = check(c.prereq, c.reg_info, c.compare);
        EXPECT_EQ(out.ok, c.ok);
        EXPECT_EQ(out.detail, c.detail);
        EXPECT_EQ(out.affiliate, c.affiliate);
        EXPECT_TRUE(capture.logger().Entries().empty());  // a bad hive is silent
    }
}

// An absent name (or an absent "COMPARE" for a version) ends the check with
// the out-of-range error: false, detail untouched, one level 5 line.
TEST_F(CheckerRegistry, AbsentNamesEndTheCheck) {
    const StringMap reg_info{{L"VER", L"SOFTWARE\\Corvane\\Product@Version"}};
    const struct {
        const char* name;
        StringMap prereq;
        CompareMap compare;
    } cases[] = {
        {"VER names an unknown variable", {{L"REGHIVE", L"HKLM"}, {L"COMPARE", L"GE"}}, {{L"OTHER", {L"VER", L"1"}}}},
        {"STR names an unknown variable", {{L"REGHIVE", L"HKLM"}}, {{L"OTHER", {L"STR", L"1"}}}},
        {"COMPARE absent", {{L"REGHIVE", L"HKLM"}}, {{L"VER", {L"VER", L"1"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rk::logging::test::ScopedLogCapture capture;
        const auto out = check(c.prereq, reg_info, c.compare);
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.detail, L"");
        const auto entries = capture.logger().Entries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].level, 5u);
        EXPECT_EQ(entries[0].function, L"CRkUpdateChecker::IsPreConditionSuccess");
        EXPECT_EQ(entries[0].message, L"Exception occured and error is: invalid map<K, T> key");
    }
}

TEST_F(CheckerRegistry, ValuesAreReadAsText) {
    CRkUpdateChecker checker(environment());
    checker.SetPrereqVars({{L"REGHIVE", L"HKLM"}});
    const rk::DWORD five = 0x00370035;  // "57" as UTF-16LE bytes
    ASSERT_EQ(reg::RegSetValueExW(key_, L"Dword", 0, reg::REG_DWORD, reinterpret_cast<const reg::BYTE*>(&five), 4), 0);
    EXPECT_EQ(checker.ReadRegValue(L"SOFTWARE\\Corvane\\Product@Dword"), L"57");
    set(L"Long", std::wstring(1500, L'x'));  // beyond the 2048-byte buffer
    EXPECT_EQ(checker.ReadRegValue(L"SOFTWARE\\Corvane\\Product@Long"), L"");
    set(L"Fits", std::wstring(1023, L'y'));
    EXPECT_EQ(checker.ReadRegValue(L"SOFTWARE\\Corvane\\Product@Fits"), std::wstring(1023, L'y'));
    EXPECT_EQ(checker.ReadRegValue(L"@Version"), L"");  // the root key has no such value
    EXPECT_EQ(checker.ReadRegValue(L""), L"");
}

}  // namespace
