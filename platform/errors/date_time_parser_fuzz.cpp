// Feeds arbitrary bytes to the date-time parser, narrow and wide: it must
// never read out of bounds, and a success must yield fields in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/errors/date_time_parser.h"

namespace {

void check(const dira_doro::DateTime& t) {
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
        t.minute > 59 || t.second < 0 || t.second > 59 || t.millisecond < 0 || t.millisecond > 999) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view narrow(reinterpret_cast<const char*>(data), size);
    dira_doro::DateTime out;
    if (!dira_doro::parse_date_time(narrow, out)) check(out);

    const std::wstring wide(narrow.begin(), narrow.end());
    dira_doro::DateTime wide_out;
    if (!dira_doro::parse_date_time(wide, wide_out)) check(wide_out);
    return 0;
}
