#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/system/http/proxy_result.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    (void)rk::sys::http::first_proxy(rk::sys::http::parse_proxy_result(bytes));
    return 0;
}
