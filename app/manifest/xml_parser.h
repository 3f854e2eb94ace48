// NXMLParser::XMLParser: the manifest's thin wrapper over rapidxml in its
// wide-character form. It owns the rapidxml document and the wide copy of
// the text the document points into, and releases both when destroyed.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include <rapidxml/rapidxml.hpp>

namespace NXMLParser {

class XMLParser {
public:
    // rapidxml recurses once per element level; deeper documents are refused
    // before parsing so a hostile manifest cannot exhaust the stack. Real
    // manifests are five levels deep.
    static constexpr std::size_t kMaxElementDepth = 256;

    XMLParser() = default;
    XMLParser(const XMLParser&) = delete;
    XMLParser& operator=(const XMLParser&) = delete;
    ~XMLParser();

    // Widens `length` bytes of `buffer` (single-byte: each byte is the
    // character of the same value; a leading UTF-8 byte order mark is
    // skipped) and parses them. False, with a level 1
    // line, when the text cannot be converted or is not well-formed XML.
    bool ParseBuffer(const char* buffer, std::size_t length);
    // Parses what ParseBuffer parses of the single-byte form of `wide` (a
    // leading U+FEFF dropped, characters above U+00FF read as '?'), in one
    // pass without making the bytes.
    bool ParseSingleByteForm(std::wstring_view wide);

    // The parsed document; null before a successful parse.
    const rapidxml::xml_document<wchar_t>* Document() const { return document_.get(); }

    // The deepest element nesting of `text` as rapidxml would build it;
    // errs on the high side for malformed text.
    static std::size_t ElementDepth(std::wstring_view text);

private:
    // Parses text_, which holds `length` characters and a terminating zero.
    bool RunXMLParse(std::size_t length);

    std::unique_ptr<rapidxml::xml_document<wchar_t>> document_;
    // The wide text, in the document's own memory (for a small manifest its
    // first block, which the document carries inside it): it goes with the
    // document.
    wchar_t* text_ = nullptr;
};

}  // namespace NXMLParser
