#include "framework_client/framework_error.h"

#include "framework_client/component_logger.h"
#include "framework_client/framework_words.h"
#include "platform/errors/category_instance.h"

namespace ctp {

namespace {

class framework_category_t final : public std::error_category {
public:
    const char* name() const noexcept override { return "ctpframework"; }

    std::string message(int code) const override {
        switch (static_cast<framework_error>(code)) {
            case framework_error::success: return "success";
            case framework_error::exception: return "failed with an exception";
            case framework_error::unknown_exception: return "failed with an unknown exception";
            case framework_error::invalid_argument_count: return "the number of supplied arguments is invalid";
            case framework_error::invalid_argument: return "one or more of the supplied arguments is invalid";
            case framework_error::not_implemented: return "function is not implemented";
            case framework_error::not_ready: return "the module is not ready to service the request";
            case framework_error::not_found: return "the requested object was not found";
            case framework_error::invalid_data: return "a data value is invalid";
            case framework_error::out_of_range: return "out of range exception";
            case framework_error::not_available: return "the requested component is not available";
            case framework_error::access_denied: return "access denied/needs admin rights";
            case framework_error::version_mismatch: return "version mismatch";
            case framework_error::external_function_failed: return "external function failed";
            case framework_error::out_of_memory: return "out of memory";
            case framework_error::timed_out: return "operation timed out";
            case framework_error::unknown: return "unknown error code";
        }
        return "(unrecognized error)";
    }
};

}  // namespace

const std::error_category& framework_category() {
    return dira_doro::category_instance<framework_category_t>();
}

std::error_code make_error_code(framework_error e) { return {static_cast<int>(e), framework_category()}; }

framework_error to_framework_error(const std::error_code& code) {
    if (!code) {
        return framework_error::success;
    }
    if (code.category() == framework_category()) {
        return static_cast<framework_error>(code.value());
    }
    detail::component_logger::instance().log(6, __FILE__, "ctp::to_framework_error", __LINE__, kMappingNonFramework);
    return framework_error::unknown;
}

}  // namespace ctp
