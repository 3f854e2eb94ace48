#include "platform/errors/bin_json_error_category.h"

#include "platform/errors/category_instance.h"
#include "platform/errors/category_text.h"

namespace dira_doro {

const char* bin_json_error_category_t::name() const noexcept { return kBinJsonCategoryName; }

std::string bin_json_error_category_t::message(int code) const {
    switch (static_cast<BinJsonError>(code)) {
        case BinJsonError::invalid_type: return "invalid type";
        case BinJsonError::data_corrupted: return "data corrupted";
        case BinJsonError::not_supported: return "not supported";
    }
    return kUnknownMessage;
}

const std::error_category& bin_json_category() noexcept {
    return category_instance<bin_json_error_category_t>();
}

std::error_code make_error_code(BinJsonError error) noexcept { return {static_cast<int>(error), bin_json_category()}; }

}  // namespace dira_doro
