#include "tools/rkctl/reg_file_writer.h"

#include <optional>

#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace rk::regfile {
namespace {

constexpr std::wstring_view kNewline = L"\r\n";
// regedit keeps exported lines within 80 columns: a hex list is broken after
// the comma that takes it past column 76, leaving room for ",\" and the
// two-space indent of the next line.
constexpr std::size_t kWrapColumn = 76;
constexpr std::wstring_view kContinuation = L"\\\r\n  ";
constexpr std::size_t kContinuationIndent = 2;

std::wstring quote(std::wstring_view s) {
    std::wstring out = L"\"";
    for (const wchar_t ch : s) {
        if (ch == L'\\' || ch == L'"') out.push_back(L'\\');
        out.push_back(ch);
    }
    out.push_back(L'"');
    return out;
}

// The text of a REG_SZ value when "text" reads back to the same bytes.
std::optional<std::wstring> plain_string(const std::vector<std::uint8_t>& data) {
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 1] != 0 ||
        data[data.size() - 2] != 0) {
        return std::nullopt;
    }
    auto text = text::utf16le_to_wide_strict(std::span(data.data(), data.size() - 2));
    if (!text || text->find_first_of(std::wstring_view(L"\0\r\n", 3)) != std::wstring::npos) {
        return std::nullopt;
    }
    return text;
}

void append_hex(std::wstring& out, std::size_t column, const std::vector<std::uint8_t>& data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += text::format(L"%02x", data[i]);
        if (i + 1 == data.size()) break;
        out.push_back(L',');
        column += 3;
        if (column > kWrapColumn) {
            out += kContinuation;
            column = kContinuationIndent;
        }
    }
}

void append_value(std::wstring& out, const RegValue& v) {
    std::wstring line = v.name.empty() ? L"@" : quote(v.name);
    line.push_back(L'=');
    if (v.remove) {
        line.push_back(L'-');
    } else if (v.type == kRegSz && plain_string(v.data)) {
        line += quote(*plain_string(v.data));
    } else if (v.type == kRegDword && v.data.size() == 4) {
        const std::uint32_t d = static_cast<std::uint32_t>(v.data[0]) | (v.data[1] << 8) |
                                (v.data[2] << 16) | (static_cast<std::uint32_t>(v.data[3]) << 24);
        line += text::format(L"dword:%08x", d);
    } else {
        line += v.type == kRegBinary ? std::wstring(L"hex:") : text::format(L"hex(%x):", v.type);
        const std::size_t column = line.size();
        append_hex(line, column, v.data);
    }
    out += line;
    out += kNewline;
}

}  // namespace

std::wstring write_reg_text(const RegFile& file) {
    std::wstring out(kHeaderV5);
    out += kNewline;
    out += kNewline;
    for (const auto& key : file.keys) {
        out += key.remove ? L"[-" : L"[";
        out += key.full_name();
        out += L"]";
        out += kNewline;
        for (const auto& value : key.values) append_value(out, value);
        out += kNewline;
    }
    return out;
}

std::vector<std::uint8_t> write_reg_file(const RegFile& file, Encoding encoding) {
    const std::wstring text = write_reg_text(file);
    if (encoding == Encoding::kUtf8) {
        const std::string utf8 = text::wide_to_utf8(text);
        return {utf8.begin(), utf8.end()};
    }
    std::vector<std::uint8_t> bytes{0xFF, 0xFE};
    const auto body = text::wide_to_utf16le(text);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

}  // namespace rk::regfile
