// Content the engine reads from outside: TXTVER over a file's first bytes,
// records as JSON (attribute names and values from content scripts), and
// the tracking data text of the telemetry parser.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analytics/record_json.h"
#include "analytics/txt_ver_substitution.h"
#include "platform/text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    (void)Halden::Analytics::FindTxtVer(bytes);
    const std::wstring text = rk::text::utf8_to_wide(bytes);
    const auto split = text.find(L'=');
    Halden::Analytics::Record record{{text.substr(0, split), split == std::wstring::npos ? L"" : text.substr(split + 1)}};
    const std::wstring json = Halden::Analytics::RecordToJson(record);
    bool found = false;
    (void)Halden::Analytics::InProcMessage(L"Analytics.v1.AddRecord",
                                           Halden::Analytics::InProcPayload(Halden::Analytics::UniqueIdOf(record, found), json));
    return 0;
}
