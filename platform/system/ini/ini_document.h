// An INI file in memory, as the Windows profile functions see it: lines kept
// as they were read (bytes, encoding and line ends), sections and keys found
// case-insensitively, first occurrence wins. Lines that are not touched are
// written back byte for byte. Parsing never fails and never does I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rk::sys::ini {

enum class IniEncoding {
    kAnsi,     // no byte-order mark: UTF-8 (the ANSI code page of Linux)
    kUtf8Bom,  // EF BB BF
    kUtf16Le,  // FF FE
};

class IniDocument {
public:
    enum class LineKind { kBlank, kComment, kSection, kEntry, kOther };

    struct Line {
        std::vector<std::uint8_t> raw;  // the line's bytes, line end excluded; empty when changed
        std::vector<std::uint8_t> eol;  // the line end as read ("\r\n", "\n" or none), encoded
        std::wstring text;              // decoded, untrimmed
        LineKind kind = LineKind::kBlank;
        std::wstring name;   // section name or key, trimmed
        std::wstring value;  // entry value, trimmed
        bool changed = false;
    };

    // A new, empty document for a file that does not exist yet (ANSI, CR LF).
    IniDocument() = default;
    static IniDocument parse(std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t> serialize() const;

    IniEncoding encoding() const { return encoding_; }

    // Value of a key (trimmed, quotes kept), nullopt when absent.
    std::optional<std::wstring> get(std::wstring_view section, std::wstring_view key) const;
    bool has_section(std::wstring_view section) const;
    std::vector<std::wstring> section_names() const;
    std::vector<std::wstring> key_names(std::wstring_view section) const;
    // The section's lines other than comments and blanks, trimmed.
    std::vector<std::wstring> section_lines(std::wstring_view section) const;

    // Replaces the key's line or adds one after the last non-blank line of the
    // section; adds the section at the end when it is missing.
    void set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    bool remove_key(std::wstring_view section, std::wstring_view key);
    bool remove_section(std::wstring_view section);

    const std::vector<Line>& lines() const { return lines_; }

private:
    // Index of the section's header line and one past its last line.
    std::optional<std::pair<std::size_t, std::size_t>> find_section(std::wstring_view section) const;
    std::optional<std::size_t> find_key(std::size_t begin, std::size_t end, std::wstring_view key) const;
    Line make_line(std::wstring text) const;
    std::vector<std::uint8_t> encode(std::wstring_view text) const;
    std::vector<std::uint8_t> default_eol() const;

    IniEncoding encoding_ = IniEncoding::kAnsi;
    std::vector<Line> lines_;
};

// Splits a line into kind, name and value with the profile functions' rules.
void classify_line(IniDocument::Line& line);

}  // namespace rk::sys::ini
