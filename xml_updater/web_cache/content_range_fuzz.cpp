// Fuzz target: the Content-Range parser and the answer checks built on it.
#include <cstddef>
#include <cstdint>
#include <system_error>

#include "platform/text/utf.h"
#include "xml_updater/web_cache/content_range.h"
#include "xml_updater/web_cache/response_plan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace XMLUpdater::v2::web_cache;
    // The first 8 bytes give the cached size, the rest is the header value.
    std::uint64_t cached = 0;
    for (std::size_t i = 0; i < 8 && i < size; ++i) {
        cached = cached << 8 | data[i];
    }
    const std::size_t skip = size < 8 ? size : 8;
    const std::wstring value =
        rk::text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(data) + skip, size - skip));
    if (const auto range = parse_content_range(value); range && range->consistent()) {
        if (range->last < range->first || (range->total && range->last >= *range->total)) {
            __builtin_trap();
        }
    }
    ResponseFacts facts{206, value, cached % 1000, cached, cached / 3};
    try {
        const ResponsePlan plan = plan_response(facts);
        if (plan.action != BodyAction::kAppend || plan.body_length != *facts.content_length) {
            __builtin_trap();
        }
    } catch (const std::system_error&) {
    }
    return 0;
}
