#include "xml_updater/substitutions/token_expander.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "xml_updater/substitutions/substitution_constants.h"

namespace XMLUpdater::v2 {
namespace {

// Variables from a map ("!UNKNOWN" when missing); substitution ECHO returns
// its arguments, LEN their length, anything else "!UNKNOWN". Every call is
// recorded as "name" or "name:arguments".
struct Fixture {
    std::map<std::wstring, std::wstring> variables = {
        {L"a", L"A"},
        {L"b", L"B"},
        {L"n", L"a"},
        {L"ref", L"[a]"},
        {L"late", L"x[a]"},
        {L"close", L"b]"},
        {L"self", L"[self]"},
        {L"ping", L"[pong]"},
        {L"pong", L"[ping]"},
        {L"twice", L"[twice][twice]"},
        {L"", L"EMPTY"},
    };
    std::vector<std::wstring> calls;
    std::vector<ExpansionLimit> limits;

    TokenResolver resolver() {
        TokenResolver r;
        r.resolve = [this](const std::wstring& name, const std::wstring* arguments) -> std::wstring {
            calls.push_back(arguments ? name + L":" + *arguments : name);
            if (arguments == nullptr) {
                const auto it = variables.find(name);
                return it == variables.end() ? std::wstring(L"!UNKNOWN") : it->second;
            }
            if (name == L"ECHO") {
                return *arguments;
            }
            if (name == L"LEN") {
                return std::to_wstring(arguments->size());
            }
            return L"!UNKNOWN";
        };
        r.limit_hit = [this](ExpansionLimit limit, const std::wstring&) { limits.push_back(limit); };
        return r;
    }

    std::wstring expand(std::wstring text) {
        expand_tokens(text, resolver());
        return text;
    }
};

struct Case {
    const wchar_t* input;
    const wchar_t* expected;
};

TEST(TokenExpander, SyntaxAndRightToLeftOrder) {
    const Case cases[] = {
        {L"", L""},
        {L"plain text", L"plain text"},
        {L"[a]", L"A"},
        {L"x[a]y[b]z", L"xAyBz"},
        {L"[missing]", L"!UNKNOWN"},
        {L"[A]", L"!UNKNOWN"},  // names are case-sensitive
        {L"[]", L"EMPTY"},       // an empty name is a variable like any other
        {L"[:x]", L"!UNKNOWN"},  // an empty substitution name is not registered
        {L"[ECHO:]", L""},
        {L"[ECHO:x:y]", L"x:y"},       // the first colon splits
        {L"[a]:b]", L"A:b]"},          // a colon after the closing bracket does not count
        {L"[ECHO:[a]]", L"A"},         // inner tokens first
        {L"[ECHO:[a][b]]", L"AB"},
        {L"[LEN:[ECHO:abc]]", L"3"},
        {L"[[n]]", L"A"},              // the inner token yields a name, the outer reads it
        {L"[ref]", L"A"},              // a replacement starting with '[' is expanded again
        {L"[late]", L"x[a]"},          // brackets later in a replacement are not
        {L"[ECHO:[close]", L"b"},      // a ']' from a replacement closes an earlier '['
        {L"abc[def", L"abc[def"},      // no ']' after the '[': left as it is
        {L"[a][", L"A["},
        {L"[[a]", L"[A"},
        {L"[a]]", L"A]"},              // a stray ']' is kept
        {L"]]][a", L"]]][a"},
        {L"[ECHO:[]", L"[ECHO:EMPTY"},  // the outer '[' has no ']' left after it
    };
    for (const auto& c : cases) {
        Fixture f;
        EXPECT_EQ(f.expand(c.input), c.expected) << c.input;
        EXPECT_TRUE(f.limits.empty()) << c.input;
    }
    // Tokens resolve right to left, inner ones first.
    Fixture f;
    EXPECT_EQ(f.expand(L"[a][ECHO:[b]x][n]"), L"ABxa");
    EXPECT_EQ(f.calls, (std::vector<std::wstring>{L"n", L"b", L"ECHO:Bx", L"a"}));
}

TEST(TokenExpander, SelfExpandingValuesAreCutOff) {
    const Case cases[] = {
        {L"[self]", L"!UNKNOWN"},
        {L"<[self]>", L"<!UNKNOWN>"},
        {L"[ping]", L"!UNKNOWN"},
        {L"[a][self][b]", L"A!UNKNOWNB"},
    };
    for (const auto& c : cases) {
        Fixture f;
        EXPECT_EQ(f.expand(c.input), c.expected) << c.input;
        ASSERT_EQ(f.limits.size(), 1u) << c.input;
        EXPECT_EQ(f.limits[0], ExpansionLimit::Chain);
        // The chain bound, plus the first expansion and the tokens around it.
        EXPECT_LE(f.calls.size(), kMaxChainedExpansions + 3) << c.input;
    }
}

// A doubling value leaves one unexpanded "[twice]" behind each re-expansion;
// growth stops at the length bound; a long text of the caller is not cut.
TEST(TokenExpander, ExpansionIsBoundedByChainAndLength) {
    Fixture f;
    const std::wstring doubled = f.expand(L"[twice]");
    EXPECT_EQ(f.limits, std::vector<ExpansionLimit>{ExpansionLimit::Chain});
    EXPECT_TRUE(doubled.starts_with(L"!UNKNOWN"));
    EXPECT_EQ(doubled.size(), std::wstring_view(L"!UNKNOWN").size() + kMaxChainedExpansions * 7);

    Fixture g;
    g.variables[L"grow"] = L"[grow]" + std::wstring(200000, L'x');
    EXPECT_LE(g.expand(L"[grow]").size(), kMaxExpandedChars);
    ASSERT_FALSE(g.limits.empty());
    EXPECT_EQ(g.limits[0], ExpansionLimit::Length);

    Fixture h;
    const std::wstring big(kMaxExpandedChars + 10, L'y');
    EXPECT_EQ(h.expand(big + L"[a]"), big + L"A");
    EXPECT_TRUE(h.limits.empty());
}

TEST(TokenExpander, DeepNestingAndLongTextsTakeLinearWork) {
    Fixture f;
    std::wstring text;
    for (int i = 0; i < 1000; ++i) {
        text += L"[ECHO:";
    }
    text += L"[a]";
    text += std::wstring(1000, L']');
    EXPECT_EQ(f.expand(text), L"A");
    EXPECT_EQ(f.calls.size(), 1001u);

    Fixture g;
    std::wstring unknown;
    for (int i = 0; i < 1000; ++i) {
        unknown += L"[X" + std::to_wstring(i) + L":";
    }
    unknown += std::wstring(1000, L']');
    EXPECT_EQ(g.expand(unknown), L"!UNKNOWN");

    // Linear work: a hundred thousand unmatched brackets, and as many tokens,
    // in one text. A quadratic scan would take minutes here.
    Fixture h;
    const std::wstring opens(100000, L'[');
    EXPECT_EQ(h.expand(opens + L"]"), std::wstring(99999, L'[') + L"EMPTY");
    std::wstring tokens;
    std::wstring expected;
    for (int i = 0; i < 100000; ++i) {
        tokens += L"[a]";
        expected += L"A";
    }
    Fixture k;
    EXPECT_EQ(k.expand(tokens), expected);
}

}  // namespace
}  // namespace XMLUpdater::v2
