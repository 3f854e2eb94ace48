// Tracking data and payload texts of the events tracker.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/text/utf.h"
#include "telemetry/rk_key_value_data_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = rk::text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(data), size));
    rk::telemetry::KeyValueList pairs;
    rk::telemetry::CRkKeyValueDataParser::ParseByAmpersand(text, pairs);
    for (const auto& [key, value] : pairs) {
        rk::telemetry::KeyValueList again;
        rk::telemetry::CRkKeyValueDataParser::Parse(key + L"=" + rk::telemetry::CRkKeyValueDataParser::EncodeValue(value),
                                                    L'&', again);
    }
    return 0;
}
