#include "platform/system/user_geo.h"

#include <gtest/gtest.h>

#include <map>

namespace rk::sys {
namespace {

EnvLookup env_of(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> std::optional<std::string> {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

TEST(UserGeo, TerritoryOfTheAddressLocale) {
    const struct {
        std::map<std::string, std::string> env;
        std::optional<std::wstring> expected;
    } cases[] = {
        {{{"LANG", "en_US.UTF-8"}}, L"US"},
        {{{"LANG", "de_at"}}, L"AT"},
        {{{"LANG", "sr_RS@latin"}}, L"RS"},
        {{{"LANG", "ca_ES.UTF-8@valencia"}}, L"ES"},
        // LC_ALL over LC_ADDRESS over LANG; an empty variable counts as unset.
        {{{"LC_ALL", "fr_CA.UTF-8"}, {"LC_ADDRESS", "de_DE.UTF-8"}, {"LANG", "en_GB.UTF-8"}}, L"CA"},
        {{{"LC_ALL", ""}, {"LC_ADDRESS", "de_DE.UTF-8"}, {"LANG", "en_GB.UTF-8"}}, L"DE"},
        {{{"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "en_GB.UTF-8"}}, L"GB"},
        // No territory of two letters: no nation, even when a later variable has one.
        {{{"LC_ALL", "C.UTF-8"}, {"LANG", "en_US.UTF-8"}}, std::nullopt},
        {{{"LANG", "POSIX"}}, std::nullopt},
        {{{"LANG", "en"}}, std::nullopt},
        {{{"LANG", "es_419.UTF-8"}}, std::nullopt},
        {{{"LANG", "en_USA"}}, std::nullopt},
        {{{"LANG", "en_"}}, std::nullopt},
        {{{"LANG", "en_U1"}}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(user_nation_iso2(env_of(c.env)), c.expected) << (c.env.empty() ? "" : c.env.begin()->second);
    }
}

}  // namespace
}  // namespace rk::sys
