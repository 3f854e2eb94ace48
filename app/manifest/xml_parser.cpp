#include "app/manifest/xml_parser.h"

#include <algorithm>

#include "app/manifest/manifest_words.h"
#include "platform/logging/process_logger.h"
#include "platform/text/rapidxml_guard.h"

namespace NXMLParser {
namespace {

constexpr wchar_t kFile[] = L"XMLParser.cpp";
constexpr wchar_t kByteOrderMark = 0xFEFF;

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
    static constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
    if (length >= 3 && std::equal(buffer, buffer + 3, kUtf8Bom)) {
        buffer += 3;
        length -= 3;
    }
    text_.reset(new wchar_t[length + 1]);
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    for (std::size_t i = 0; i < length; ++i) {
        text_[i] = static_cast<wchar_t>(bytes[i]);
    }
    text_[length] = L'\0';
    return RunXMLParse();
}

bool XMLParser::RunXMLParse() {
    wchar_t* start = text_.get();
    if (*start == kByteOrderMark) {
        ++start;
    }
    try {
        if (ElementDepth(start) > kMaxElementDepth) {
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
    return false;
}

}  // namespace NXMLParser
