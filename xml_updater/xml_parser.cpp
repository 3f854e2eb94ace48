#include "xml_updater/xml_parser.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "platform/text/utf.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {

constexpr wchar_t kFile[] = L"xml_parser.cpp";
constexpr wchar_t kFunction[] = L"XMLParser::ParseBuffer";
constexpr std::uint8_t kUtf16LeBom[] = {0xFF, 0xFE};
constexpr std::uint8_t kUtf8Bom[] = {0xEF, 0xBB, 0xBF};
constexpr wchar_t kInvalidUtf8[] = L"[invalid UTF-8 text]";
constexpr wchar_t kInvalidUtf16[] = L"[invalid UTF-16 text]";

bool starts_with(const std::uint8_t* buffer, std::size_t length, std::span<const std::uint8_t> prefix) {
    return length >= prefix.size() && std::memcmp(buffer, prefix.data(), prefix.size()) == 0;
}

// Skips to just past `end` from `i`; returns the text's length when absent.
std::size_t skip_past(std::wstring_view text, std::size_t i, std::wstring_view end) {
    const std::size_t pos = text.find(end, i);
    return pos == std::wstring_view::npos ? text.size() : pos + end.size();
}

// rapidxml classifies a character by its low byte alone, so characters above
// U+00FF whose low byte is '<', '&', a quote or NUL (U+4E00, U+1F600, ...)
// would end names, values or the document. Before parsing, each such
// character is moved out of the Unicode range with a harmless low byte;
// afterwards every name and value of the tree is moved back in place (the
// mapping keeps one character per character). Characters that rapidxml
// produces itself from character references are in range and stay.
constexpr std::uint32_t kShiftedMark = 0x40000000u;
constexpr std::uint32_t kShiftedLowByte = 'A';

void shift_wide_characters(wchar_t* text, std::size_t size) {
    static_assert(sizeof(wchar_t) == 4, "the shift needs 32-bit wchar_t");
    for (std::size_t i = 0; i < size; ++i) {
        const auto code = static_cast<std::uint32_t>(text[i]);
        if (code > 0xFFu) {
            text[i] = static_cast<wchar_t>(kShiftedMark | (code << 8) | kShiftedLowByte);
        }
    }
}

void unshift(wchar_t* text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const auto code = static_cast<std::uint32_t>(text[i]);
        if ((code & kShiftedMark) != 0) {
            text[i] = static_cast<wchar_t>((code & ~kShiftedMark) >> 8);
        }
    }
}

void unshift_tree(rapidxml::xml_node<wchar_t>* node) {
    for (; node != nullptr; node = node->next_sibling()) {
        unshift(node->name(), node->name_size());
        unshift(node->value(), node->value_size());
        for (auto* attr = node->first_attribute(); attr != nullptr; attr = attr->next_attribute()) {
            unshift(attr->name(), attr->name_size());
            unshift(attr->value(), attr->value_size());
        }
        unshift_tree(node->first_node());
    }
}

}  // namespace

std::wstring XMLParser::DecodeDocument(const std::uint8_t* buffer, std::size_t length) {
    if (buffer == nullptr) {
        return {};
    }
    if (starts_with(buffer, length, kUtf16LeBom)) {
        const std::size_t units = (length - 2) / 2;
        auto text = rk::text::utf16le_to_wide_strict(std::span<const std::uint8_t>(buffer + 2, units * 2));
        return text ? std::move(*text) : std::wstring(kInvalidUtf16);
    }
    if (starts_with(buffer, length, kUtf8Bom)) {
        buffer += 3;
        length -= 3;
    }
    auto text = rk::text::utf8_to_wide_strict(std::string_view(reinterpret_cast<const char*>(buffer), length));
    return text ? std::move(*text) : std::wstring(kInvalidUtf8);
}

std::size_t XMLParser::ElementDepth(const wchar_t* text_ptr) {
    const std::wstring_view text(text_ptr);
    std::size_t depth = 0;
    std::size_t deepest = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find(L'<', i);
        if (open == std::wstring_view::npos) {
            break;
        }
        i = open;
        const wchar_t next = i + 1 < text.size() ? text[i + 1] : L'\0';
        const std::wstring_view rest = next == L'!' || next == L'?' || next == L'/' ? text.substr(i) : std::wstring_view();
        if (rest.starts_with(L"<!--")) {
            i = skip_past(text, i + 4, L"-->");
        } else if (rest.starts_with(L"<![CDATA[")) {
            i = skip_past(text, i + 9, L"]]>");
        } else if (rest.starts_with(L"<?")) {
            i = skip_past(text, i + 2, L"?>");
        } else if (rest.starts_with(L"<!")) {
            i = skip_past(text, i + 2, L">");
        } else if (rest.starts_with(L"</")) {
            depth = depth > 0 ? depth - 1 : 0;
            i = skip_past(text, i + 2, L">");
        } else {
            ++depth;
            deepest = std::max(deepest, depth);
            wchar_t quote = 0;
            for (++i; i < text.size(); ++i) {
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

bool XMLParser::ParseBuffer(const std::uint8_t* buffer, std::size_t length) {
    document_.reset();
    if (buffer == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"invalid input");
        return false;
    }
    std::size_t size = 0;
    if (starts_with(buffer, length, kUtf16LeBom)) {
        const std::wstring decoded = DecodeDocument(buffer, length);
        size = decoded.size();
        text_.reset(new wchar_t[size + 1]);
        std::copy(decoded.begin(), decoded.end(), text_.get());
    } else {
        const std::size_t skip = starts_with(buffer, length, kUtf8Bom) ? sizeof kUtf8Bom : 0;
        const std::string_view utf8(reinterpret_cast<const char*>(buffer) + skip, length - skip);
        text_.reset(new wchar_t[std::max(utf8.size(), std::size(kInvalidUtf8)) + 1]);
        if (!rk::text::utf8_to_wide_strict(utf8, text_.get(), size)) {
            std::copy(std::begin(kInvalidUtf8), std::end(kInvalidUtf8), text_.get());
            size = std::size(kInvalidUtf8) - 1;
        }
    }
    text_[size] = L'\0';
    const std::wstring_view text(text_.get(), size);
    if (text.empty() || text.front() == L'[') {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to convert XML to UTF-16: %s", text);
        return false;
    }
    if (ElementDepth(text_.get()) > kMaxElementDepth) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to parse XML: %hs", "element nesting too deep");
        return false;
    }
    shift_wide_characters(text_.get(), size);
    auto document = std::make_unique<rapidxml::xml_document<wchar_t>>();
    try {
        document->parse<0>(text_.get());
        unshift_tree(document->first_node());
    } catch (const rapidxml::parse_error& e) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to parse XML: %hs", e.what());
        return false;
    }
    document_ = std::move(document);
    return true;
}

}  // namespace XMLUpdater::v2
