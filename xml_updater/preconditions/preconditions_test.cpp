#include <gtest/gtest.h>

#include <time.h>

#include <memory>
#include <set>
#include <stdexcept>

#include "platform/system/osinfo/os_info.h"
#include "platform/system/test/temp_root.h"
#include "xml_updater/precondition_manager.h"
#include "xml_updater/preconditions/coinflip_precondition.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/preconditions/string_precondition.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/substitutions/test/log_capture.h"
#include "xml_updater/substitutions/variant_date.h"

namespace XMLUpdater::v2 {
namespace {

std::shared_ptr<CSubstitutionManager> make_substitutions() {
    rk::sys::OsVersion v;
    v.major = 6;
    v.minor = 1;
    v.build = 7601;
    v.machine = L"x86_64";
    return std::make_shared<CSubstitutionManager>(std::make_shared<rk::sys::FixedOsInfo>(v));
}

// One precondition row: Type, Name, Compare, Value (null: attribute absent).
struct Row {
    const wchar_t* type;
    const wchar_t* name;
    const wchar_t* compare;
    const wchar_t* value;
    bool expected;
};

AttributeMap attributes_of(const Row& r) {
    AttributeMap map;
    if (r.name != nullptr) {
        map[L"Name"] = r.name;
    }
    if (r.compare != nullptr) {
        map[L"Compare"] = r.compare;
    }
    if (r.value != nullptr) {
        map[L"Value"] = r.value;
    }
    return map;
}

std::wstring describe(const Row& r) {
    auto s = [](const wchar_t* t) { return t != nullptr ? std::wstring(t) : std::wstring(L"(absent)"); };
    return s(r.type) + L" " + s(r.name) + L" " + s(r.compare) + L" " + s(r.value);
}

class Preconditions : public ::testing::Test {
protected:
    void SetUp() override {
        substitutions_->SetVariable(L"loop", L"[loop]");
    }
    void check(std::initializer_list<Row> rows) {
        for (const Row& r : rows) {
            EXPECT_EQ(manager_.IsPreconditionSatisfied(r.type, attributes_of(r)), r.expected)
                << describe(r) << L"\n" << log_.Dump();
        }
    }

    rk::sys::test::TempRoot root_;  // registry tokens read a store of their own
    test::LogCapture log_;
    std::shared_ptr<CSubstitutionManager> substitutions_ = make_substitutions();
    CPreconditionManager manager_{substitutions_};
};

TEST_F(Preconditions, StringsAndPatterns) {
    check({
        {L"STR", L"abc", L"EQ", L"abc", true},
        {L"STR", L"abc", L"EQ", L"ABC", false},  // case-sensitive
        {L"STR", L"abc", L"NEQ", L"ABC", true},
        {L"STR", L"abc", L"NEQ", L"abc", false},
        {L"STR", L"", L"EQ", L"", true},
        {L"STR", L"[plat]", L"EQ", L"64", true},
        {L"STR", L"[REG:SOFTWARE\\Missing@X]", L"EQ", L"!UNKNOWN", true},
        {L"STR", nullptr, L"EQ", L"!UNKNOWN", true},  // absent operands are "!UNKNOWN"
        {L"STR", nullptr, L"EQ", nullptr, true},
        {L"STR", L"[loop]", L"EQ", L"!UNKNOWN", true},  // self-referencing variables end as "!UNKNOWN"
        {L"STR", L"abc", L"eq", L"abc", false},         // operators are case-sensitive
        {L"STR", L"abc", nullptr, L"abc", false},
        {L"STR", L"1", L"LT", L"2", false},             // STR knows no order
        {L"STR", L"6.1.7601", L"RE", L"^6\\.1", true},
        {L"STR", L"10.0.19045", L"RE", L"^6\\.1", false},
        {L"STR", L"x6.1", L"RE", L"6\\.1", true},    // unanchored
        {L"STR", L"abc", L"RE", L"", true},          // the empty pattern matches
        {L"STR", L"ABC", L"RE", L"abc", false},      // no options: case-sensitive
        {L"STR", L"a\nb", L"RE", L"a.b", false},     // no options: "." stops at a newline
        {L"STR", L"\u00e9", L"RE", L"^..$", true},   // byte-wise: "é" is two UTF-8 bytes
        {L"STR", L"\u00e9", L"RE", L"^\u00e9$", true},
        {L"STR", L"abc", L"RE", L"(", false},
        {L"STR", L"abc", L"RE", L"[z-a]", false},
        {L"STR", L"a]", L"RE", L"a\\]", true},
        {L"STR", L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", L"RE", L"^(a+)+$", false},
    });
    EXPECT_TRUE(log_.Has(L"Invalid comparison operator: eq"));
    EXPECT_TRUE(log_.Has(L"Invalid comparison operator: !UNKNOWN"));
    EXPECT_EQ(log_.Level(L"regex: pcre_compile error; offset: 1, missing closing parenthesis"), 1) << log_.Dump();
    EXPECT_EQ(log_.Level(L"regex: matching 6.1.7601 against ^6\\.1"), 4);
    EXPECT_EQ(log_.Level(L"regex: matching 6.1.7601 against ^6\\.1 => Matched"), 4);
    EXPECT_EQ(log_.Level(L"regex: matching 10.0.19045 against ^6\\.1 => Not Matched"), 4);
    EXPECT_EQ(log_.Level(L"regex: pcre_exec error: -47"), 1) << log_.Dump();
}

TEST_F(Preconditions, NumbersAndVersions) {
    check({
        {L"NUM", L"5", L"EQ", L"5", true},   {L"NUM", L"5", L"NEQ", L"5", false}, {L"NUM", L"4", L"LT", L"5", true},
        {L"NUM", L"5", L"LT", L"5", false},  {L"NUM", L"5", L"LE", L"5", true},   {L"NUM", L"6", L"LE", L"5", false},
        {L"NUM", L"6", L"GT", L"5", true},   {L"NUM", L"5", L"GT", L"5", false},  {L"NUM", L"5", L"GE", L"5", true},
        {L"NUM", L"4", L"GE", L"5", false},
        {L"NUM", L"12abc", L"GE", L"12", true},  // the number ends at the letters
        {L"NUM", L"abc", L"GE", L"12", false},
        {L"NUM", L"12", L"GE", L"abc", false},
        {L"NUM", L" \t-5", L"LT", L"+0", true},
        {L"NUM", L"0x10", L"EQ", L"0", true},    // base 10 only
        {L"NUM", L"010", L"EQ", L"10", true},
        {L"NUM", L"-9223372036854775808", L"LT", L"9223372036854775807", true},
        {L"NUM", L"9223372036854775808", L"GT", L"0", false},  // out of range
        {L"NUM", L"4294967296", L"GT", L"4294967295", true},   // 64 bits, not 32
        {L"NUM", L"5", L"eq", L"5", false},
        {L"NUM", L"5", L"RE", L"5", false},
        {L"NUM", L"", L"EQ", L"", false},
        {L"VER", L"10.0", L"EQ", L"10.0.0.0", true},
        {L"VER", L"10.0.0.1", L"EQ", L"10.0", false},
        {L"VER", L"10.0", L"NEQ", L"10.0.0.0", false},
        {L"VER", L"9.9", L"LT", L"10.0", true},
        {L"VER", L"10.0", L"LT", L"9.9", false},
        {L"VER", L"10.0", L"LT", L"10.0", false},
        {L"VER", L"1.2.3", L"GT", L"1.2", true},
        {L"VER", L"1.2", L"GT", L"1.2.3", false},
        {L"VER", L"1.2", L"GT", L"1.2", false},
        {L"VER", L"1.10", L"GT", L"1.9", true},  // numbers, not text
        {L"VER", L"1.2", L"LE", L"1.2.0", true},
        {L"VER", L"1.2", L"LE", L"1.1.9", false},
        {L"VER", L"1.2", L"GE", L"1.1.9", true},
        {L"VER", L"1.1.9", L"GE", L"1.2", false},
        {L"VER", L"[os]", L"GE", L"6.1", true},
        {L"VER", L"[os]", L"LT", L"6.2", true},
        {L"VER", L"2", L"GT", L"1.99.99", true},
        {L"VER", L"1.0-beta", L"EQ", L"1.0", true},  // each segment reads like NUM
        {L"VER", L"1.-1", L"LT", L"1.0", true},
        {L"VER", L"01.002", L"EQ", L"1.2", true},
        {L"VER", L"", L"EQ", L"", false},            // an empty segment is no number
        {L"VER", L"1..2", L"EQ", L"1.0.2", false},
        {L"VER", L"1.2", L"EQ", L"1.2.", false},
        {L"VER", L"1.a", L"NEQ", L"1.0", false},     // not a number: false, negated operators too
        {L"VER", L"1.a", L"GT", L"1.0", false},
        {L"VER", L"1.a", L"LT", L"1.0", false},
        {L"VER", L"1.0", L"NEQ", L"x", false},
        {L"VER", L"1.0", L"XX", L"1.0", false},
        {L"VER", L"1.0", L"RE", L"1.0", false},
    });
    EXPECT_EQ(log_.Level(L"Unable to convert abc and 12 to integers"), 1);
    EXPECT_EQ(log_.Level(L"Unable to convert 9223372036854775808 and 0 to integers, out of range"), 1);
    EXPECT_EQ(log_.Level(L"Unknown comparison operator: eq"), 1);
    for (const wchar_t* op : {L"EQ", L"NEQ", L"LT", L"GT", L"LE", L"GE"}) {
        check({{L"NUM", L"[REG:SOFTWARE\\Missing@X]", op, L"1", false}, {L"NUM", nullptr, op, L"1", false},
               {L"VER", L"[REG:SOFTWARE\\Missing@X]", op, L"1.0", false}, {L"VER", nullptr, op, L"1.0", false}});
    }
    EXPECT_EQ(log_.Level(L"Unable to convert !UNKNOWN and 1 to integers since the key does not exist"), 3);
    EXPECT_EQ(log_.Level(L"Unable to convert !UNKNOWN and 1.0 to integers since the key does not exist"), 3);
    EXPECT_EQ(log_.Level(L"Unknown comparison operator: XX"), 1);
}

TEST_F(Preconditions, Dates) {
    check({
        {L"DATE", L"2024-01-31", L"LT", L"2024-02-01", true},
        {L"DATE", L"2024-02-01", L"LT", L"2024-01-31", false},
        {L"DATE", L"2024-02-01", L"GT", L"2024-01-31", true},
        {L"DATE", L"2024-1-5", L"EQ", L"2024-01-05", true},
        {L"DATE", L"2024-01-05", L"NEQ", L"2024-01-05", false},
        {L"DATE", L"2024-01-05", L"LE", L"2024-01-05", true},
        {L"DATE", L"2024-01-05", L"GE", L"2024-01-05", true},
        {L"DATE", L"2024-01-05", L"GE", L"2024-01-06", false},
        {L"DATE", L" 2024- 1- 5 trailing", L"EQ", L"2024-01-05", true},  // scanf's %d skips blanks
        {L"DATE", L"[DATE:31/12/2024@dd/mm/yyyy]", L"EQ", L"2024-12-31", true},
        {L"DATE", L"[DATE:TODAY]", L"GT", L"2020-01-01", true},
        {L"DATE", L"2024-01-05", L"eq", L"2024-01-05", false},
    });
    for (const wchar_t* op : {L"EQ", L"NEQ", L"LT", L"GT", L"LE", L"GE"}) {
        check({
            {L"DATE", L"2024-02-30", op, L"2024-01-01", false},  // no such day
            {L"DATE", L"2024-01-01", op, L"2024-13-01", false},
            {L"DATE", L"2024/01/01", op, L"2024-01-01", false},
            {L"DATE", L"2024-01", op, L"2024-01-01", false},
            {L"DATE", L"2024-01-01", op, L"!UNKNOWN", false},
            {L"DATE", nullptr, op, L"2024-01-01", false},
        });
    }
    EXPECT_EQ(log_.Level(L"failed to parse date from name: 2024/01/01"), 1);
    EXPECT_EQ(log_.Level(L"failed to parse date from value: !UNKNOWN"), 1);
    EXPECT_EQ(log_.Level(L"Unknown comparison operator: eq"), 1);
}

// Today's local date shifted by `days`, year-month-day.
std::wstring local_date(int days) {
    const double now = local_now() + days;
    const auto parts = parts_from_variant_date(now);
    return std::to_wstring(parts->year) + L"-" + std::to_wstring(parts->month) + L"-" + std::to_wstring(parts->day);
}

TEST_F(Preconditions, DateDeltaOperators) {
    const std::wstring today = local_date(0);
    const std::wstring month_ago = local_date(-31);
    const std::wstring week_ahead = local_date(7);
    check({
        {L"DATE_DELTA", today.c_str(), L"EQ", L"0", true},
        {L"DATE_DELTA", L"[DATE:TODAY]", L"EQ", L"0", true},
        {L"DATE_DELTA", L"[DATE:YESTERDAY]", L"EQ", L"-1", true},
        {L"DATE_DELTA", L"[DATE:TOMORROW]", L"EQ", L"+1", true},
        {L"DATE_DELTA", month_ago.c_str(), L"LT", L"-30", true},
        {L"DATE_DELTA", month_ago.c_str(), L"LT", L"-31", false},
        {L"DATE_DELTA", month_ago.c_str(), L"LE", L"-31", true},
        {L"DATE_DELTA", week_ahead.c_str(), L"GT", L"6", true},
        {L"DATE_DELTA", week_ahead.c_str(), L"GE", L"8", false},
        {L"DATE_DELTA", today.c_str(), L"NEQ", L"1", true},
        {L"DATE_DELTA", today.c_str(), L"EQ", L"0days", true},  // the number ends at the letters
        {L"DATE_DELTA", today.c_str(), L"EQ", L"days", false},
        {L"DATE_DELTA", today.c_str(), L"EQ", L"99999999999", false},
        {L"DATE_DELTA", L"2024-02-30", L"LT", L"0", false},
        {L"DATE_DELTA", L"2024-02-30", L"NEQ", L"0", false},
        {L"DATE_DELTA", L"yesterday", L"LT", L"0", false},
        {L"DATE_DELTA", today.c_str(), L"ABOUT", L"0", false},
    });
    EXPECT_EQ(log_.Level(L"failed to parse date from name: yesterday"), 1);
    EXPECT_EQ(log_.Level(L"Unable to convert days to a day count"), 1);
    EXPECT_EQ(log_.Level(L"Unknown comparison operator: ABOUT"), 1);
}

TEST(Coinflip, OperatorsOverFixedDraws) {
    test::LogCapture log;
    auto substitutions = make_substitutions();
    const struct {
        std::optional<std::uint32_t> draw;
        const wchar_t* compare;
        const wchar_t* value;
        bool expected;
    } cases[] = {
        {12345, L"MOD", L"1", true},
        {3, L"MOD", L"2", false},
        {4, L"MOD", L"2", true},
        {4, L"MOD", L"-2", true},  // the remainder keeps the sign of the draw
        {0xFFFFFFFF, L"MOD", L"4294967295", true},
        {0xFFFFFFFF, L"MOD", L"9223372036854775807", false},
        {0, L"PERCENTAGE", L"1", true},  // (0 % 100) + 1 <= 1
        {1, L"PERCENTAGE", L"1", false},
        {49, L"PERCENTAGE", L"50", true},
        {50, L"PERCENTAGE", L"50", false},
        {99, L"PERCENTAGE", L"100", true},
        {0xFFFFFFFF, L"PERCENTAGE", L"100", true},
        {0xFFFFFFFF, L"PERCENTAGE", L"95", false},  // 4294967295 % 100 = 95: 96 > 95
        {0, L"PERCENTAGE", L"-5", false},
        {0, L"PERCENTAGE", L"0", false},
        {0, L"MOD", L"0", false},
        {0, L"MOD", L"abc", false},
        {0, L"MOD", L"99999999999999999999", false},
        {0, L"mod", L"2", false},
        {0, L"EQ", L"2", false},
    };
    for (const auto& c : cases) {
        CCoinflipPrecondition flip([&c] { return c.draw; });
        AttributeMap attributes = {{L"Compare", c.compare}, {L"Value", c.value}};
        AttributeMap arguments;
        EXPECT_EQ(flip.IsPreconditionSatisfied(attributes, substitutions.get(), arguments), c.expected)
            << *c.draw << L" " << c.compare << L" " << c.value;
    }
    EXPECT_EQ(log.Level(L"value cannot be zero."), 1);
    EXPECT_EQ(log.Level(L"Unknown comparison operator: mod"), 1);
}

TEST_F(Preconditions, CoinflipDrawsAnewEachTime) {
    // One chance in two, two hundred times: both outcomes appear, also when
    // the random source fails and the runtime generator stands in.
    CCoinflipPrecondition failing_source([] { return std::optional<std::uint32_t>(); });
    std::set<bool> seen;
    std::set<bool> seen_without_source;
    for (int i = 0; i < 200; ++i) {
        seen.insert(manager_.IsPreconditionSatisfied(L"CF", {{L"Compare", L"MOD"}, {L"Value", L"2"}}));
        AttributeMap arguments;
        seen_without_source.insert(failing_source.IsPreconditionSatisfied(
            {{L"Compare", L"MOD"}, {L"Value", L"2"}}, substitutions_.get(), arguments));
    }
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen_without_source.size(), 2u);
    check({
        {L"CF", nullptr, L"PERCENTAGE", L"100", true},
        {L"CF", nullptr, L"MOD", L"1", true},
        {L"CF", nullptr, L"PERCENTAGE", L"0", false},
    });
}

struct ThrowingPrecondition final : IPrecondition {
    bool IsPreconditionSatisfied(const AttributeMap&, CSubstitutionManager*,
                                 AttributeMap&) override {
        throw std::runtime_error("boom");
    }
};

class Recording final : public IPrecondition {
public:
    bool IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                 AttributeMap& arguments) override {
        seen = attributes;
        arguments = attributes;
        return substitutions != nullptr;
    }
    AttributeMap seen;
};

TEST_F(Preconditions, ManagerRegistry) {
    EXPECT_FALSE(manager_.IsPreconditionSatisfied(L"NOPE", {}));
    EXPECT_EQ(log_.Level(L"precondition (NOPE) doesn't exist or is invalid"), 1);
    EXPECT_FALSE(manager_.IsPreconditionSatisfied(L"str", {{L"Name", L"a"}, {L"Compare", L"EQ"}, {L"Value", L"a"}}));
    EXPECT_TRUE(log_.Has(L"precondition (str) doesn't exist or is invalid"));

    auto handler = std::make_unique<Recording>();
    Recording* raw = handler.get();
    EXPECT_TRUE(manager_.RegisterPrecondition(L"MINE", std::move(handler)));
    EXPECT_TRUE(manager_.IsPreconditionSatisfied(L"MINE", {{L"Extra", L"x"}}));
    EXPECT_EQ(raw->seen.at(L"Extra"), L"x");
    ASSERT_TRUE(manager_.RegisterPrecondition(L"THROW", std::make_unique<ThrowingPrecondition>()));
    EXPECT_FALSE(manager_.IsPreconditionSatisfied(L"THROW", {}));
    EXPECT_EQ(log_.Level(L"precondition (THROW) failed: boom"), 1);

    for (const wchar_t* type : {L"STR", L"NUM", L"VER", L"CF", L"DATE", L"DATE_DELTA", L"MINE"}) {
        log_.Clear();
        EXPECT_FALSE(manager_.RegisterPrecondition(type, std::make_unique<Recording>())) << type;
        EXPECT_EQ(log_.Level(L"precondition already exists"), 1) << type;
    }
    log_.Clear();
    EXPECT_FALSE(manager_.RegisterPrecondition(L"", std::make_unique<Recording>()));
    EXPECT_FALSE(manager_.RegisterPrecondition(L"NULL", nullptr));
    EXPECT_EQ(log_.lines.size(), 2u);
    EXPECT_EQ(log_.Level(L"invalid argument"), 1);

    CPreconditionManager without_substitutions(nullptr);
    for (const wchar_t* type : {L"STR", L"NUM", L"VER", L"CF", L"DATE", L"DATE_DELTA"}) {
        log_.Clear();
        EXPECT_FALSE(without_substitutions.IsPreconditionSatisfied(
            type, {{L"Name", L"1"}, {L"Compare", L"EQ"}, {L"Value", L"1"}}))
            << type;
        EXPECT_EQ(log_.Level(L"invalid substitutor"), 1) << type;
    }
}

// Operands are expanded in the order Name, Compare, Value; the handler's
// out arguments hold them expanded.
TEST_F(Preconditions, OperandsAreExpandedInOrder) {
    class Counter final : public ISubstitution {
    public:
        std::wstring Substitute(const std::wstring&, CSubstitutionManager*) override { return std::to_wstring(++n); }
        int n = 0;
    };
    ASSERT_TRUE(substitutions_->RegisterSubstitution(L"NEXT", std::make_unique<Counter>()));
    check({{L"STR", L"[NEXT:]", L"[NEXT:]", L"[NEXT:]", false}});
    EXPECT_TRUE(log_.Has(L"Invalid comparison operator: 2"));
    CStringPrecondition str;
    AttributeMap arguments;
    EXPECT_FALSE(str.IsPreconditionSatisfied({{L"Name", L"[NEXT:]"}, {L"Value", L"<[NEXT:]>"}}, substitutions_.get(),
                                             arguments));
    const AttributeMap expected = {{L"Name", L"4"}, {L"Compare", L"!UNKNOWN"}, {L"Value", L"<5>"}};
    EXPECT_EQ(arguments, expected);
}

TEST_F(Preconditions, DeepTokensAndLoopsNeverHang) {
    std::wstring deep;
    for (int i = 0; i < 1000; ++i) {
        deep += L"[DATE:";
    }
    deep += L"TODAY" + std::wstring(1000, L']');
    check({
        {L"STR", deep.c_str(), L"EQ", L"!UNKNOWN", true},
        {L"NUM", L"[loop]", L"EQ", L"[loop]", false},
        {L"VER", L"[loop]", L"NEQ", L"1", false},
        {L"DATE", L"[loop]", L"NEQ", L"2024-01-01", false},
        {L"DATE_DELTA", L"[loop]", L"NEQ", L"0", false},
        {L"CF", L"[loop]", L"MOD", L"[loop]", false},
    });
}

}  // namespace
}  // namespace XMLUpdater::v2
