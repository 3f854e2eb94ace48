#include "xml_updater/xml_parser.h"

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

bool starts_with(const std::vector<std::uint8_t>& bytes, std::span<const std::uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

void log_not_converted(std::wstring_view text) {
    XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to convert XML to UTF-16: %s", text);
}

}  // namespace

bool XMLParser::ParseBuffer(const std::uint8_t* buffer, std::size_t length) {
    if (buffer == nullptr) {
        document_.reset();
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"invalid input");
        return false;
    }
    std::vector<std::uint8_t> copy;
    copy.reserve(length + 1);  // room for the terminator
    copy.assign(buffer, buffer + length);
    return ParseBuffer(std::move(copy));
}

bool XMLParser::ParseBuffer(std::vector<std::uint8_t>&& bytes) {
    document_.reset();
    bytes_ = std::move(bytes);
    std::size_t start = 0;
    if (!Decode(start)) {
        return false;
    }
    bytes_.push_back(0);
    // From the byte-order mark, if any: rapidxml skips one, so a second one
    // is refused as the wide parse refused it.
    char* text = reinterpret_cast<char*>(bytes_.data());
    // rapidxml stops at the first NUL; so does the scan.
    if (rk::text::xml_element_depth(std::string_view(text)) > kMaxElementDepth) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to parse XML: %hs", "element nesting too deep");
        return false;
    }
    // rapidxml reads the bytes of a multi-byte character as plain text, and
    // makes UTF-8 of character references.
    auto document = std::make_unique<rapidxml::xml_document<char>>();
    try {
        document->parse<0>(text);
    } catch (const rapidxml::parse_error& e) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to parse XML: %hs", e.what());
        return false;
    }
    document_ = std::move(document);
    return true;
}

bool XMLParser::Decode(std::size_t& start) {
    start = 0;
    if (starts_with(bytes_, kUtf16LeBom)) {
        const std::size_t units = (bytes_.size() - sizeof kUtf16LeBom) / 2;
        const auto wide =
            rk::text::utf16le_to_wide_strict(std::span<const std::uint8_t>(bytes_.data() + sizeof kUtf16LeBom, units * 2));
        if (!wide) {
            log_not_converted(kInvalidUtf16);
            return false;
        }
        std::vector<std::uint8_t>().swap(bytes_);
        const std::string utf8 = rk::text::wide_to_utf8(*wide);
        // UTF-8 with the mark, so that the parse below sees what it sees
        // of a UTF-8 document with one.
        bytes_.reserve(sizeof kUtf8Bom + utf8.size() + 1);
        bytes_.assign(std::begin(kUtf8Bom), std::end(kUtf8Bom));
        bytes_.insert(bytes_.end(), utf8.begin(), utf8.end());
    }
    if (starts_with(bytes_, kUtf8Bom)) {
        start = sizeof kUtf8Bom;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes_.data()) + start, bytes_.size() - start);
    if (!rk::text::is_valid_utf8(text)) {
        log_not_converted(kInvalidUtf8);
        return false;
    }
    // As the engine always did, a text that begins with "[" is refused as
    // the converter's failure text would be (it is not XML anyway).
    if (text.empty() || text.front() == '[') {
        log_not_converted(rk::text::utf8_to_wide(text));
        return false;
    }
    return true;
}

}  // namespace XMLUpdater::v2
