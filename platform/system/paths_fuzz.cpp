// Fuzzes the Windows path mapping with paths as documents carry them: no
// drive path leaves the root prefix, no mapped path keeps a "." or ".."
// component where it could climb, and the display form maps back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <filesystem>

#include "platform/system/paths.h"
#include "platform/text/utf.h"

namespace {

constexpr const char* kRoot = "/fuzz-root";

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "X:..." or "\\?\X:...".
bool names_a_drive(std::wstring_view s) {
    if (s.size() >= 4 && is_separator(s[0]) && is_separator(s[1]) && s[2] == L'?' &&
        is_separator(s[3])) {
        s.remove_prefix(4);
    }
    return s.size() >= 2 && s[1] == L':' &&
           ((s[0] >= L'A' && s[0] <= L'Z') || (s[0] >= L'a' && s[0] <= L'z'));
}

bool has_dot_component(const std::filesystem::path& path) {
    for (const auto& part : path) {
        if (part == "." || part == "..") {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("RK_ROOT", kRoot, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rk;
    const std::wstring input =
        text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(data), size));
    const sys::SplitPath parts = sys::split_path(input);
    require(parts.drive.size() + parts.directory.size() + parts.file_name.size() +
                parts.extension.size() ==
            input.size());

    const auto host = sys::to_host_path(input);
    if (!host) {
        return 0;
    }
    const std::string& text = host->native();
    require(!text.empty());
    if (names_a_drive(input)) {
        require(text == kRoot || text.starts_with(std::string(kRoot) + "/"));
    }
    if (host->is_absolute()) {
        require(!has_dot_component(*host));
    }
    const auto back = sys::to_host_path(sys::to_windows_path(*host));
    require(back && *back == *host);
    return 0;
}
