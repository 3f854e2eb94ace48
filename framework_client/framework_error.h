// The framework's error codes and their category "ctpframework". Codes are
// signed 32-bit values; failures have the top bit set.
#pragma once

#include <cstdint>
#include <system_error>

namespace ctp {

enum class framework_error : std::int32_t {
    success = 0,
    exception = static_cast<std::int32_t>(0x80000000u),
    unknown_exception = static_cast<std::int32_t>(0x80000001u),
    invalid_argument_count = static_cast<std::int32_t>(0x80000002u),
    invalid_argument = static_cast<std::int32_t>(0x80000003u),
    not_implemented = static_cast<std::int32_t>(0x80000004u),
    not_ready = static_cast<std::int32_t>(0x80000005u),
    not_found = static_cast<std::int32_t>(0x80000006u),
    invalid_data = static_cast<std::int32_t>(0x80000007u),
    out_of_range = static_cast<std::int32_t>(0x80000008u),
    not_available = static_cast<std::int32_t>(0x80000009u),
    access_denied = static_cast<std::int32_t>(0x8000000Au),
    version_mismatch = static_cast<std::int32_t>(0x8000000Bu),
    external_function_failed = static_cast<std::int32_t>(0x8000000Cu),
    out_of_memory = static_cast<std::int32_t>(0x8000000Du),
    timed_out = static_cast<std::int32_t>(0x8000000Eu),
    unknown = 0x7FFFFFFF,
};

const std::error_category& framework_category();

std::error_code make_error_code(framework_error e);

// The framework code of any error: the value of a "ctpframework" code; any
// other category is logged ("mapping non-framework error to
// framework_error::unknown") and becomes `unknown`. A zero code of any
// category is success.
framework_error to_framework_error(const std::error_code& code);

}  // namespace ctp

template <>
struct std::is_error_code_enum<ctp::framework_error> : std::true_type {};
