// Fuzz target: a manifest body through the processor's parse and walk (no
// checker or executor, so nothing touches the machine).
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/manifest/rk_xml_processor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Bytes as characters, plus the high characters a decoded body may hold.
    std::wstring body;
    body.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        body.push_back(data[i] == 0xFF && i + 1 < size ? static_cast<wchar_t>(0x100 + data[++i]) : data[i]);
    }
    CRkXMLProcessor processor(nullptr, nullptr);
    processor.SetXMLContent(body);
    std::wstring detail;
    if (processor.ParseXMLContent(detail)) {
        (void)processor.GetPollingTimeInMins();
        (void)processor.IsUpdaterEnabled();
    }
    return 0;
}
