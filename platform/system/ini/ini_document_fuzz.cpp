// Fuzzes the INI parser and its writer: any bytes parse, untouched documents
// serialise back unchanged (except a dropped odd byte of UTF-16), and edits
// keep the document parseable with the edit visible.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/system/ini/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using rk::sys::ini::IniDocument;
    auto doc = IniDocument::parse(std::span(data, size));
    const auto out = doc.serialize();
    const bool utf16 = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
    if (!(utf16 && size % 2 == 1) && (out.size() != size || !std::equal(out.begin(), out.end(), data))) {
        std::abort();
    }
    (void)doc.section_names();
    for (const auto& name : doc.section_names()) {
        (void)doc.key_names(name);
        (void)doc.section_lines(name);
    }
    doc.set(L"Fuzz", L"Key", L"Value");
    const auto edited = doc.serialize();
    const auto again = IniDocument::parse(edited);
    const auto value = again.get(L"fuzz", L"key");
    // The section may already exist with odd content, but a key line written
    // by set() is always found again.
    if (!value) {
        std::abort();
    }
    return 0;
}
