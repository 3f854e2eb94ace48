#include "app/manifest/xml_parser.h"

#include <algorithm>
#include <cstdint>

#include "app/manifest/manifest_words.h"
#include "platform/logging/process_logger.h"
#include "platform/text/rapidxml_guard.h"

namespace NXMLParser {
namespace {

constexpr wchar_t kFile[] = L"XMLParser.cpp";
constexpr wchar_t kByteOrderMark = 0xFEFF;
// A UTF-8 byte order mark, as bytes in front of the single-byte text.
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
// What narrowing makes of a character the single-byte form cannot hold.
constexpr wchar_t kUnmappable = L'?';

// Whether `text` holds more than `limit` '<'. Counted in blocks of fixed
// size (the inner loop vectorises), stopping once past the limit.
bool more_openings_than(const wchar_t* text, std::size_t length, std::size_t limit) {
    constexpr std::size_t kBlock = 64;
    std::size_t openings = 0;
    std::size_t i = 0;
    for (; i + kBlock <= length; i += kBlock) {
        std::uint32_t in_block = 0;
        for (std::size_t k = 0; k < kBlock; ++k) {
            in_block += text[i + k] == L'<' ? 1u : 0u;
        }
        openings += in_block;
        if (openings > limit) {
            return true;
        }
    }
    for (; i < length; ++i) {
        openings += text[i] == L'<' ? 1u : 0u;
    }
    return openings > limit;
}

}  // namespace

XMLParser::~XMLParser() = default;

std::size_t XMLParser::ElementDepth(std::wstring_view text) { return rk::text::xml_element_depth(text); }

bool XMLParser::ParseBuffer(const char* buffer, std::size_t length) {
    document_ = std::make_unique<rapidxml::xml_document<wchar_t>>();
    if (buffer == nullptr && length != 0) {
        if (IsLogLevelEnabled(1)) {
            LogMessage(1, kFile, L"NXMLParser::XMLParser::ParseBuffer", __LINE__, rk::app::logtext::kUnableToConvert);
        }
        document_.reset();
        return false;
    }
    // A UTF-8 byte order mark in front of the single-byte text.
    if (length >= 3 && std::equal(buffer, buffer + 3, kUtf8Bom)) {
        buffer += 3;
        length -= 3;
    }
    text_ = document_->allocate_string(nullptr, length + 1);
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    wchar_t* to = text_;
    for (std::size_t i = 0; i < length; ++i) {
        to[i] = static_cast<wchar_t>(bytes[i]);
    }
    to[length] = L'\0';
    return RunXMLParse(length);
}

bool XMLParser::ParseSingleByteForm(std::wstring_view wide) {
    document_ = std::make_unique<rapidxml::xml_document<wchar_t>>();
    if (!wide.empty() && wide.front() == kByteOrderMark) {
        wide.remove_prefix(1);  // no single-byte form
    }
    if (wide.size() >= 3 && std::equal(wide.begin(), wide.begin() + 3, kUtf8Bom, [](wchar_t w, char b) {
            return w == static_cast<wchar_t>(static_cast<unsigned char>(b));
        })) {
        wide.remove_prefix(3);
    }
    const std::size_t length = wide.size();
    text_ = document_->allocate_string(nullptr, length + 1);
    // Indexed writes into a sized buffer: the loop vectorises.
    const wchar_t* in = wide.data();
    wchar_t* to = text_;
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<std::uint32_t>(in[i]);
        to[i] = c <= 0xFFu ? static_cast<wchar_t>(c) : kUnmappable;
    }
    to[length] = L'\0';
    return RunXMLParse(length);
}

bool XMLParser::RunXMLParse(std::size_t length) {
    wchar_t* start = text_;
    if (*start == kByteOrderMark) {
        ++start;
    }
    try {
        // Every element opens with a '<': a text with few of them cannot
        // nest too deeply, and is not scanned.
        if (more_openings_than(text_, length, kMaxElementDepth) && ElementDepth(start) > kMaxElementDepth) {
            throw rapidxml::parse_error("element nesting too deep", start);
        }
        document_->parse<0>(start);
        return true;
    } catch (const rapidxml::parse_error& e) {
        if (IsLogLevelEnabled(1)) {
            LogMessage(1, kFile, L"NXMLParser::XMLParser::RunXMLParse", __LINE__, rk::app::logtext::kUnableToParse,
                       e.what());
        }
    }
    document_.reset();
    text_ = nullptr;
    return false;
}

}  // namespace NXMLParser
