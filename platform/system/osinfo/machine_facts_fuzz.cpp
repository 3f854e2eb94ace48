// os-release and machine-id texts.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/system/osinfo/machine_facts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)rk::sys::os_release_product_name(text);
    (void)rk::sys::machine_id_to_guid(text);
    return 0;
}
