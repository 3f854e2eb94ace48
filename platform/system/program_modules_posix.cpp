#include "platform/system/program_modules.h"

#include <algorithm>
#include <system_error>

namespace rk::sys {

std::filesystem::path program_module_path(std::string_view file_name) {
    std::error_code ec;
    const std::filesystem::path image = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path build_tree = RK_BUILD_TREE;
    // Only a program that itself lives in the build tree uses its modules.
    const auto [tree_end, image_end] =
        std::mismatch(build_tree.begin(), build_tree.end(), image.begin(), image.end());
    if (!ec && tree_end == build_tree.end()) {
        return build_tree / RK_BUILD_MODULE_FOLDER / file_name;
    }
    return image.parent_path() / RK_INSTALLED_MODULE_FOLDER / file_name;
}

}  // namespace rk::sys
