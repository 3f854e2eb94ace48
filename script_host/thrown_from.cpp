#include "script_host/thrown_from.h"

#include <string_view>

namespace Corvane::Script {

std::string ThrownFrom(const char* file, int line) {
    std::string_view name(file);
    if (const auto slash = name.find_last_of('/'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    return " (thrown from " + std::string(name) + ":" + std::to_string(line) + ")";
}

}  // namespace Corvane::Script
