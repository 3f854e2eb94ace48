#include "xml_updater/xml_parser.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>

#include "platform/text/rapidxml_guard.h"
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

std::size_t XMLParser::ElementDepth(const wchar_t* text) { return rk::text::xml_element_depth(text); }

bool XMLParser::ParseBuffer(const std::uint8_t* buffer, std::size_t length) {
    return Decode(buffer, length) && Parse();
}

bool XMLParser::ParseBuffer(std::vector<std::uint8_t>&& bytes) {
    static constexpr std::uint8_t kNoBytes = 0;
    std::vector<std::uint8_t> owned = std::move(bytes);
    const bool decoded = Decode(owned.empty() ? &kNoBytes : owned.data(), owned.size());
    std::vector<std::uint8_t>().swap(owned);
    return decoded && Parse();
}

bool XMLParser::Decode(const std::uint8_t* buffer, std::size_t length) {
    document_.reset();
    if (buffer == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"invalid input");
        return false;
    }
    size_ = 0;
    ascii_ = false;
    if (starts_with(buffer, length, kUtf16LeBom)) {
        const std::wstring decoded = DecodeDocument(buffer, length);
        size_ = decoded.size();
        text_.reset(new wchar_t[size_ + 1]);
        std::copy(decoded.begin(), decoded.end(), text_.get());
    } else {
        const std::size_t skip = starts_with(buffer, length, kUtf8Bom) ? sizeof kUtf8Bom : 0;
        const std::string_view utf8(reinterpret_cast<const char*>(buffer) + skip, length - skip);
        text_.reset(new wchar_t[std::max(utf8.size(), std::size(kInvalidUtf8)) + 1]);
        if (!rk::text::utf8_to_wide_strict(utf8, text_.get(), size_)) {
            std::copy(std::begin(kInvalidUtf8), std::end(kInvalidUtf8), text_.get());
            size_ = std::size(kInvalidUtf8) - 1;
        } else {
            ascii_ = size_ == utf8.size();
        }
    }
    text_[size_] = L'\0';
    const std::wstring_view text(text_.get(), size_);
    if (text.empty() || text.front() == L'[') {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to convert XML to UTF-16: %s", text);
        return false;
    }
    return true;
}

bool XMLParser::Parse() {
    if (ElementDepth(text_.get()) > kMaxElementDepth) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to parse XML: %hs", "element nesting too deep");
        return false;
    }
    if (!ascii_ && !rk::text::hide_wide_characters_from_rapidxml(text_.get(), size_)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to parse XML: %hs",
                      "character rapidxml cannot take");
        return false;
    }
    auto document = std::make_unique<rapidxml::xml_document<wchar_t>>();
    try {
        document->parse<0>(text_.get());
        if (!ascii_) {
            rk::text::restore_wide_characters(document->first_node());
        }
    } catch (const rapidxml::parse_error& e) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to parse XML: %hs", e.what());
        return false;
    }
    document_ = std::move(document);
    return true;
}

}  // namespace XMLUpdater::v2
