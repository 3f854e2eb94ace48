#include "platform/system/ini/ini_document.h"

#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::sys::ini {
namespace {

constexpr std::uint8_t kUtf8Bom[] = {0xEF, 0xBB, 0xBF};
constexpr std::uint8_t kUtf16LeBom[] = {0xFF, 0xFE};

bool starts_with(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

}  // namespace

void classify_line(IniDocument::Line& line) {
    const std::wstring_view t = text::trim(line.text);
    line.name.clear();
    line.value.clear();
    if (t.empty()) {
        line.kind = IniDocument::LineKind::kBlank;
    } else if (t.front() == L';') {
        line.kind = IniDocument::LineKind::kComment;
    } else if (t.front() == L'[') {
        const auto close = t.find(L']');
        line.kind = IniDocument::LineKind::kSection;
        line.name = text::trim(t.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1));
    } else if (const auto eq = t.find(L'='); eq != std::wstring_view::npos) {
        line.kind = IniDocument::LineKind::kEntry;
        line.name = text::trim(t.substr(0, eq));
        line.value = text::trim(t.substr(eq + 1));
    } else {
        line.kind = IniDocument::LineKind::kOther;
        line.name = t;
    }
}

IniDocument IniDocument::parse(std::span<const std::uint8_t> bytes) {
    IniDocument doc;
    std::size_t unit = 1;
    if (starts_with(bytes, kUtf16LeBom)) {
        doc.encoding_ = IniEncoding::kUtf16Le;
        bytes = bytes.subspan(2);
        unit = 2;
    } else if (starts_with(bytes, kUtf8Bom)) {
        doc.encoding_ = IniEncoding::kUtf8Bom;
        bytes = bytes.subspan(3);
    }
    const auto code_at = [&](std::size_t i) -> unsigned {
        return unit == 1 ? bytes[i] : static_cast<unsigned>(bytes[i] | bytes[i + 1] << 8);
    };
    // An odd trailing byte of a UTF-16 file belongs to no character.
    const std::size_t end = bytes.size() - bytes.size() % unit;
    std::size_t start = 0;
    while (start < end) {
        std::size_t i = start;
        while (i < end && code_at(i) != '\n') {
            i += unit;
        }
        std::size_t content_end = i;
        // A CR is part of the line end only before LF; a lone CR at the end
        // of the file stays in the line, so text added after it starts on a
        // new line.
        if (i < end && content_end > start && code_at(content_end - unit) == '\r') {
            content_end -= unit;
        }
        Line line;
        line.raw.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                        bytes.begin() + static_cast<std::ptrdiff_t>(content_end));
        const std::size_t next = i < end ? i + unit : end;
        line.eol.assign(bytes.begin() + static_cast<std::ptrdiff_t>(content_end),
                        bytes.begin() + static_cast<std::ptrdiff_t>(next));
        line.text = unit == 2 ? text::utf16le_to_wide(line.raw)
                              : text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(line.raw.data()),
                                                                    line.raw.size()));
        classify_line(line);
        doc.lines_.push_back(std::move(line));
        start = next;
    }
    return doc;
}

std::vector<std::uint8_t> IniDocument::encode(std::wstring_view t) const {
    if (encoding_ == IniEncoding::kUtf16Le) {
        return text::wide_to_utf16le(t);
    }
    const std::string utf8 = text::wide_to_utf8(t);
    return std::vector<std::uint8_t>(utf8.begin(), utf8.end());
}

std::vector<std::uint8_t> IniDocument::default_eol() const {
    for (const auto& line : lines_) {
        if (!line.eol.empty()) {
            return line.eol;
        }
    }
    return encode(L"\r\n");
}

std::vector<std::uint8_t> IniDocument::serialize() const {
    std::vector<std::uint8_t> out;
    if (encoding_ == IniEncoding::kUtf16Le) {
        out.assign(std::begin(kUtf16LeBom), std::end(kUtf16LeBom));
    } else if (encoding_ == IniEncoding::kUtf8Bom) {
        out.assign(std::begin(kUtf8Bom), std::end(kUtf8Bom));
    }
    for (const auto& line : lines_) {
        const auto body = line.changed ? encode(line.text) : line.raw;
        out.insert(out.end(), body.begin(), body.end());
        out.insert(out.end(), line.eol.begin(), line.eol.end());
    }
    return out;
}

std::optional<std::pair<std::size_t, std::size_t>> IniDocument::find_section(std::wstring_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::kSection && text::iequals(lines_[i].name, section)) {
            std::size_t end = i + 1;
            while (end < lines_.size() && lines_[end].kind != LineKind::kSection) {
                ++end;
            }
            return std::pair{i, end};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::find_key(std::size_t begin, std::size_t end, std::wstring_view key) const {
    for (std::size_t i = begin; i < end; ++i) {
        if (lines_[i].kind == LineKind::kEntry && text::iequals(lines_[i].name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::wstring> IniDocument::get(std::wstring_view section, std::wstring_view key) const {
    const auto range = find_section(section);
    if (!range) {
        return std::nullopt;
    }
    const auto at = find_key(range->first + 1, range->second, key);
    if (!at) {
        return std::nullopt;
    }
    return lines_[*at].value;
}

bool IniDocument::has_section(std::wstring_view section) const { return find_section(section).has_value(); }

std::vector<std::wstring> IniDocument::section_names() const {
    std::vector<std::wstring> names;
    for (const auto& line : lines_) {
        if (line.kind == LineKind::kSection) {
            names.push_back(line.name);
        }
    }
    return names;
}

std::vector<std::wstring> IniDocument::key_names(std::wstring_view section) const {
    std::vector<std::wstring> names;
    if (const auto range = find_section(section)) {
        for (std::size_t i = range->first + 1; i < range->second; ++i) {
            if (lines_[i].kind == LineKind::kEntry) {
                names.push_back(lines_[i].name);
            }
        }
    }
    return names;
}

std::vector<std::wstring> IniDocument::section_lines(std::wstring_view section) const {
    std::vector<std::wstring> out;
    if (const auto range = find_section(section)) {
        for (std::size_t i = range->first + 1; i < range->second; ++i) {
            if (lines_[i].kind == LineKind::kEntry || lines_[i].kind == LineKind::kOther) {
                out.emplace_back(text::trim(lines_[i].text));
            }
        }
    }
    return out;
}

IniDocument::Line IniDocument::make_line(std::wstring t) const {
    Line line;
    line.text = std::move(t);
    line.eol = default_eol();
    line.changed = true;
    classify_line(line);
    return line;
}

void IniDocument::set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    auto range = find_section(section);
    if (!range) {
        if (!lines_.empty() && lines_.back().eol.empty()) {
            lines_.back().eol = default_eol();
        }
        lines_.push_back(make_line(L"[" + std::wstring(section) + L"]"));
        range = std::pair{lines_.size() - 1, lines_.size()};
    }
    if (const auto at = find_key(range->first + 1, range->second, key)) {
        Line& line = lines_[*at];
        line.text = line.name + L"=" + std::wstring(value);
        line.changed = true;
        classify_line(line);
        return;
    }
    std::size_t insert_at = range->second;
    while (insert_at > range->first + 1 && lines_[insert_at - 1].kind == LineKind::kBlank) {
        --insert_at;
    }
    if (insert_at == lines_.size() && !lines_.empty() && lines_.back().eol.empty()) {
        lines_.back().eol = default_eol();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at),
                  make_line(std::wstring(key) + L"=" + std::wstring(value)));
}

bool IniDocument::remove_key(std::wstring_view section, std::wstring_view key) {
    const auto range = find_section(section);
    if (!range) {
        return false;
    }
    const auto at = find_key(range->first + 1, range->second, key);
    if (!at) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*at));
    return true;
}

bool IniDocument::remove_section(std::wstring_view section) {
    const auto range = find_section(section);
    if (!range) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->first),
                 lines_.begin() + static_cast<std::ptrdiff_t>(range->second));
    return true;
}

}  // namespace rk::sys::ini
