#include "xml_updater/commands/downloadex_error.h"

#include "platform/errors/category_instance.h"

namespace XMLUpdater::v2 {

const char* DownloadExErrorCategory::name() const noexcept { return kDownloadExCategoryName; }

std::string DownloadExErrorCategory::message(int value) const {
    switch (static_cast<DownloadExError>(value)) {
        case DownloadExError::kLogicError:
            return "Logic error";
        case DownloadExError::kGenericError:
            return "Generic error";
        case DownloadExError::kRuntimeError:
            return "Runtime error";
    }
    return "DOWNLOADEX Error Category: Unknown error (" + std::to_string(value) + ")";
}

const std::error_category& downloadex_category() noexcept {
    return dira_doro::category_instance<DownloadExErrorCategory>();
}

std::error_code make_error_code(DownloadExError error) noexcept {
    return {static_cast<int>(error), downloadex_category()};
}

}  // namespace XMLUpdater::v2
