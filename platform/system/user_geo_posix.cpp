#include "platform/system/user_geo.h"

#include "platform/text/strings.h"

namespace rk::sys {
namespace {

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::optional<std::wstring> locale_territory_iso2(std::string_view locale_name) {
    const auto underscore = locale_name.find('_');
    if (underscore == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view territory = locale_name.substr(underscore + 1);
    territory = territory.substr(0, territory.find_first_of(".@"));
    if (territory.size() != 2 || !is_ascii_letter(territory[0]) || !is_ascii_letter(territory[1])) {
        return std::nullopt;
    }
    return text::to_upper(std::wstring(territory.begin(), territory.end()));
}

std::optional<std::wstring> user_nation_iso2(const EnvLookup& env) {
    for (const char* name : {"LC_ALL", "LC_ADDRESS", "LANG"}) {
        if (auto value = env(name); value && !value->empty()) {
            return locale_territory_iso2(*value);
        }
    }
    return std::nullopt;
}

}  // namespace rk::sys
