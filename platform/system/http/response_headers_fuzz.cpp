#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/system/http/response_headers.h"
#include "platform/system/http/url_parts.h"
#include "platform/text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (auto headers = rk::sys::http::ResponseHeaders::parse(bytes)) {
        (void)headers->content_length();
        (void)headers->get(L"Content-Range", 1);
    }
    rk::sys::http::UrlParts parts;
    if (rk::sys::http::crack_url(rk::text::utf8_to_wide(bytes), parts) == 0) {
        (void)parts.request_target();
    }
    return 0;
}
