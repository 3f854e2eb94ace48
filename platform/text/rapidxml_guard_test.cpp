#include "platform/text/rapidxml_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace rk::text {
namespace {

TEST(RapidXmlGuard, ElementDepthFollowsMarkup) {
    const struct {
        const char* text;
        std::size_t depth;
    } cases[] = {
        {"<a><b><c/></b></a>", 3},
        {"<a x=\"/>\"><b/></a>", 2},  // "/>" inside a value closes nothing
        {"<a x='>'><b><c/></b></a>", 3},
        {"<a><!-- <b><c><d> --></a>", 1},
        {"<a><![CDATA[<b><c>]]></a>", 1},
        {"<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e \"<b>\">]><a/>", 1},
        {"<!DOCTYPE a [<!ENTITY e \"x\"><!ENTITY f \"y\">]><a><b/></a>", 2},
        {"<a><b></b><b></b></a>", 2},
        {"<<<<", 1},  // one unterminated start tag
        {"<a><a><a></a><a>", 3},
        {"", 0},
    };
    // The same scan over wide text and over UTF-8 bytes.
    for (const auto& c : cases) {
        const std::string_view narrow(c.text);
        EXPECT_EQ(xml_element_depth(narrow), c.depth) << c.text;
        EXPECT_EQ(xml_element_depth(std::wstring(narrow.begin(), narrow.end())), c.depth) << c.text;
    }
}

// Characters whose low byte is NUL, '<', '"' or '&' in names, values and
// attribute values, and a character reference that must stay as rapidxml
// made it (its UTF-8 bytes for one above U+007F).
TEST(RapidXmlGuard, WideCharactersSurviveParsing) {
    if constexpr (sizeof(wchar_t) != 4) {
        GTEST_SKIP() << "the round trip needs 32-bit wchar_t";
    }
    std::wstring text =
        L"<r\u4E00 a\u013C=\"\u0122\U0001F600&#x41;&#xE9;\"><c>\u0126x\u4E00</c></r\u4E00>";
    ASSERT_TRUE(hide_wide_characters_from_rapidxml(text.data(), text.size()));
    rapidxml::xml_document<wchar_t> document;
    ASSERT_NO_THROW(document.parse<0>(text.data()));
    restore_wide_characters(document.first_node());
    const auto* root = document.first_node();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(std::wstring(root->name(), root->name_size()), L"r\u4E00");
    const auto* attribute = root->first_attribute();
    ASSERT_NE(attribute, nullptr);
    EXPECT_EQ(std::wstring(attribute->name(), attribute->name_size()), L"a\u013C");
    EXPECT_EQ(std::wstring(attribute->value(), attribute->value_size()), L"\u0122\U0001F600A\xC3\xA9");
    const auto* child = root->first_node(L"c");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(std::wstring(child->value(), child->value_size()), L"\u0126x\u4E00");
}

}  // namespace
}  // namespace rk::text
