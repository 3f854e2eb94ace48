#include "script_host/builtin_scripts.h"

#include <string_view>

namespace rk::embedded {
extern const std::string_view kHostStartupScript;
extern const std::string_view kAsyncHostStartupScript;
}  // namespace rk::embedded

namespace Corvane::Script::BuiltinScripts {

const std::string& HostStartup() {
    static const std::string text(rk::embedded::kHostStartupScript);
    return text;
}

const std::string& AsyncHostStartup() {
    static const std::string text(rk::embedded::kAsyncHostStartupScript);
    return text;
}

}  // namespace Corvane::Script::BuiltinScripts
