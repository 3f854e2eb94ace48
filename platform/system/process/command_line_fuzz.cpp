#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/system/process/command_line.h"
#include "platform/text/utf.h"

// Splitting never fails, and quoting each argument again must give the same
// arguments back.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring line = rk::text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto arguments = rk::sys::split_command_line(line);
    if (arguments.size() < 2) {
        return 0;
    }
    std::wstring rebuilt = L"p";
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        rebuilt += L' ';
        rebuilt += rk::sys::quote_argument(arguments[i]);
    }
    auto again = rk::sys::split_command_line(rebuilt);
    again.front() = arguments.front();
    if (again != arguments) {
        __builtin_trap();
    }
    return 0;
}
