// The update document parser: bytes (UTF-16LE with its byte-order mark,
// UTF-8 with or without one) to a rapidxml tree of UTF-8 text, parsed in
// place with the default flags (a UTF-16 document is converted to UTF-8
// first). The tree lives as long as the parser; its names and values are
// widened where they enter the handlers.
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
    // False, logged, for a null buffer, a text that does not convert
    // (malformed UTF-8 or UTF-16), and a document rapidxml refuses or that
    // nests too deep. The bytes are copied, to be parsed in place.
    bool ParseBuffer(const std::uint8_t* buffer, std::size_t length);
    // The same on bytes it takes over and parses in place (no copy).
    bool ParseBuffer(std::vector<std::uint8_t>&& bytes);

    // The parsed tree; valid after ParseBuffer succeeded.
    rapidxml::xml_document<char>& Document() { return *document_; }

private:
    // The UTF-8 text and the offset where it starts (past a byte-order
    // mark); false, logged, when the bytes do not convert.
    bool Decode(std::size_t& start);

    // The text rapidxml parses in place, NUL-terminated.
    std::vector<std::uint8_t> bytes_;
    std::unique_ptr<rapidxml::xml_document<char>> document_;
};

}  // namespace XMLUpdater::v2
