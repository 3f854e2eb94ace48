#include "app/manifest/xml_parser.h"

#include <algorithm>

#include "app/manifest/manifest_words.h"
#include "platform/logging/process_logger.h"

namespace NXMLParser {
namespace {

constexpr wchar_t kFile[] = L"XMLParser.cpp";
constexpr wchar_t kByteOrderMark = 0xFEFF;

// Index of the first `needle` at or after `from`, or the text's end.
std::size_t skip_past(std::wstring_view text, std::size_t from, std::wstring_view needle) {
    const auto at = text.find(needle, from);
    return at == std::wstring_view::npos ? text.size() : at + needle.size();
}

}  // namespace

XMLParser::~XMLParser() = default;

std::size_t XMLParser::ElementDepth(std::wstring_view text) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        if (text[i] != L'<') {
            ++i;
            continue;
        }
        const auto rest = text.substr(i);
        if (rest.starts_with(L"<!--")) {
            i = skip_past(text, i + 4, L"-->");
        } else if (rest.starts_with(L"<![CDATA[")) {
            i = skip_past(text, i + 9, L"]]>");
        } else if (rest.starts_with(L"<?")) {
            i = skip_past(text, i + 2, L"?>");
        } else if (rest.starts_with(L"<!")) {
            // DOCTYPE and its internal subset: brackets nest, no elements inside.
            int brackets = 0;
            for (i += 2; i < n; ++i) {
                if (text[i] == L'[') {
                    ++brackets;
                } else if (text[i] == L']') {
                    --brackets;
                } else if (text[i] == L'>' && brackets <= 0) {
                    ++i;
                    break;
                }
            }
        } else if (rest.starts_with(L"</")) {
            depth = depth > 0 ? depth - 1 : 0;
            i = skip_past(text, i + 2, L">");
        } else {
            deepest = std::max(deepest, ++depth);
            // The start tag; quoted attribute values may hold '<', '>' and "/>".
            wchar_t quote = 0;
            for (++i; i < n; ++i) {
                const wchar_t c = text[i];
                if (quote != 0) {
                    if (c == quote) {
                        quote = 0;
                    }
                } else if (c == L'"' || c == L'\'') {
                    quote = c;
                } else if (c == L'>') {
                    if (text[i - 1] == L'/') {
                        --depth;
                    }
                    ++i;
                    break;
                }
            }
        }
    }
    return deepest;
}

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
    text_.assign(length + 1, L'\0');
    std::transform(buffer, buffer + length, text_.begin(),
                   [](char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); });
    text_[length] = L'\0';
    return RunXMLParse();
}

bool XMLParser::RunXMLParse() {
    wchar_t* start = text_.data();
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
