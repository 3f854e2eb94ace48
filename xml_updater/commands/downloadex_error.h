// Errors of DOWNLOADEX itself (category "DOWNLOADEX Logic Error"), beside
// the web cache's categories that its fetch failures carry.
#pragma once

#include <string>
#include <system_error>
#include <type_traits>

namespace XMLUpdater::v2 {

inline constexpr char kDownloadExCategoryName[] = "DOWNLOADEX Logic Error";

enum class DownloadExError : int {
    kLogicError = 1,    // the command is wrong: a missing parameter, an unusable file name
    kGenericError = 2,  // an exception without an error code
    kRuntimeError = 3,  // the file arrived but was refused (signature, MD5)
};

class DownloadExErrorCategory final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int value) const override;
};

const std::error_category& downloadex_category() noexcept;

std::error_code make_error_code(DownloadExError error) noexcept;

}  // namespace XMLUpdater::v2

template <>
struct std::is_error_code_enum<XMLUpdater::v2::DownloadExError> : std::true_type {};
