// The update document parser: bytes (UTF-16LE with its byte-order mark,
// UTF-8 with or without one) to a rapidxml tree of wide characters, parsed
// with the default flags. The tree lives as long as the parser.
#pragma once

#include <rapidxml/rapidxml.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace XMLUpdater::v2 {

// Deeper element nesting is refused before rapidxml's recursive descent
// could exhaust the stack.
inline constexpr std::size_t kMaxElementDepth = 256;

class XMLParser {
public:
    // False, logged, for a null buffer, a text that does not convert, and a
    // document rapidxml refuses or that nests too deep.
    bool ParseBuffer(const std::uint8_t* buffer, std::size_t length);
    // The same on bytes it takes over: they are released as soon as they
    // are decoded, before the tree is built.
    bool ParseBuffer(std::vector<std::uint8_t>&& bytes);

    // The parsed tree; valid after ParseBuffer succeeded.
    rapidxml::xml_document<wchar_t>& Document() { return *document_; }

    // The text the bytes decode to (before parsing), or the converter's
    // bracketed failure message; empty for a null buffer.
    static std::wstring DecodeDocument(const std::uint8_t* buffer, std::size_t length);

    // Depth of element nesting (a pre-scan that reads tags, quotes,
    // comments, CDATA and processing instructions).
    static std::size_t ElementDepth(const wchar_t* text);

private:
    // The bytes into text_; false, logged, when they do not convert.
    bool Decode(const std::uint8_t* buffer, std::size_t length);
    // text_ into document_.
    bool Parse();

    // The decoded text rapidxml parses in place (not zero-filled first: a
    // large document's buffer is written once).
    std::unique_ptr<wchar_t[]> text_;
    std::size_t size_ = 0;
    // UTF-8 that decoded to one character per byte is ASCII: no character
    // needs hiding from rapidxml, and the tree needs no restoring.
    bool ascii_ = false;
    std::unique_ptr<rapidxml::xml_document<wchar_t>> document_;
};

}  // namespace XMLUpdater::v2
