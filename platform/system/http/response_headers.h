// One block of response headers as the server sent it: status line, header
// lines, empty line. Parsed defensively: the bytes come from the network.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rk::sys::http {

class ResponseHeaders {
public:
    // Parses a block of lines separated by LF or CR LF. nullopt when the
    // first line is not "HTTP/<version> <three digits>[ <reason>]". Lines
    // without a colon are kept in the raw text but have no name; a line that
    // starts with a blank continues the previous value (obsolete folding).
    static std::optional<ResponseHeaders> parse(std::string_view block);

    unsigned status_code() const { return status_code_; }
    const std::wstring& reason() const { return reason_; }
    // Status line and header lines, each followed by CR LF, then CR LF.
    const std::wstring& raw() const { return raw_; }
    // The value of the `index`-th header named `name` (without case).
    std::optional<std::wstring> get(std::wstring_view name, std::size_t index = 0) const;
    // Content-Length when present, made of digits only and within 64 bits.
    std::optional<std::uint64_t> content_length() const;

private:
    unsigned status_code_ = 0;
    std::wstring reason_;
    std::wstring raw_;
    std::vector<std::pair<std::wstring, std::wstring>> fields_;
};

}  // namespace rk::sys::http
