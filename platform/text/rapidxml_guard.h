// What wide text needs before rapidxml parses it. rapidxml recurses once per
// element (deep nesting exhausts the stack) and classifies a character by
// its low byte alone, so a character above U+00FF whose low byte is '<',
// '&', a quote or NUL (U+4E00, U+1F600, ...) would end a name, a value or
// the document. Both XML parsers of the system bound the nesting; the
// manifest parser, which parses wide text, also hides and restores
// characters (the update engine parses UTF-8, which needs no hiding).
#pragma once

#include <rapidxml/rapidxml.hpp>

#include <cstddef>
#include <string_view>

namespace rk::text {

// The deepest element nesting in `text`, found without recursion. Comments,
// CDATA sections, processing instructions and a DOCTYPE (with its bracketed
// internal subset) hold no elements; quoted attribute values may hold '<',
// '>' and "/>". An unterminated start tag counts as one level.
std::size_t xml_element_depth(std::wstring_view text);
// The same over UTF-8 (or any ASCII-compatible) bytes.
std::size_t xml_element_depth(std::string_view text);

// Before parsing: moves every character above U+00FF out of rapidxml's way,
// in place and one for one (32-bit wchar_t: out of the Unicode range, with a
// harmless low byte). Where wchar_t has 16 bits there is no room for that:
// false when the text holds a character above U+00FF whose low byte rapidxml
// would read as markup (the document is then refused, never misread).
bool hide_wide_characters_from_rapidxml(wchar_t* text, std::size_t size);

// After parsing: every name and value of the tree back as it was. Characters
// that rapidxml made from character references are left alone.
void restore_wide_characters(rapidxml::xml_node<wchar_t>* node);

}  // namespace rk::text
