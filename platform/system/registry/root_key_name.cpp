#include "platform/system/registry/root_key_name.h"

#include "platform/text/strings.h"

namespace rk::sys::reg {

std::optional<RootedKeyPath> split_rooted_key_path(std::wstring_view path) {
    const struct {
        std::wstring_view long_name;
        std::wstring_view short_name;
        HKEY key;
    } roots[] = {
        {L"HKEY_LOCAL_MACHINE", L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_CURRENT_USER", L"HKCU", HKEY_CURRENT_USER},
        {L"HKEY_CLASSES_ROOT", L"HKCR", HKEY_CLASSES_ROOT},   {L"HKEY_USERS", L"HKU", HKEY_USERS},
        {L"HKEY_CURRENT_CONFIG", L"HKCC", HKEY_CURRENT_CONFIG},
    };
    const std::size_t separator = path.find(L'\\');
    const std::wstring_view root = path.substr(0, separator);
    for (const auto& candidate : roots) {
        if (text::iequals(root, candidate.long_name) || text::iequals(root, candidate.short_name)) {
            return RootedKeyPath{candidate.key,
                                 separator == std::wstring_view::npos ? std::wstring()
                                                                      : std::wstring(path.substr(separator + 1))};
        }
    }
    return std::nullopt;
}

}  // namespace rk::sys::reg
