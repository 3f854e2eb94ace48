#include "app/manifest/path_text.h"

namespace rk::app {

std::wstring_view file_name_of(std::wstring_view path) {
    const auto sep = path.find_last_of(L"\\/");
    return sep == std::wstring_view::npos ? path : path.substr(sep + 1);
}

std::wstring remove_file_spec(std::wstring_view path) {
    const auto sep = path.find_last_of(L"\\/");
    if (sep == std::wstring_view::npos) {
        // "C:name" keeps its drive, a bare name goes.
        return (path.size() >= 2 && path[1] == L':') ? std::wstring(path.substr(0, 2)) : std::wstring();
    }
    const bool root_separator = sep == 0 || (sep == 2 && path[1] == L':');
    return std::wstring(path.substr(0, root_separator ? sep + 1 : sep));
}

}  // namespace rk::app
