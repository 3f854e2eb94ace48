// The user's nation (GetUserGeoID(GEOCLASS_NATION) + GetGeoInfoW(GEO_ISO2)).
//
// On Linux the nation is the territory of the user's address locale: the
// first set of LC_ALL, LC_ADDRESS and LANG (POSIX precedence for the
// LC_ADDRESS category, the one glibc gives the country's ISO 3166 code),
// written language[_TERRITORY][.codeset][@modifier].
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/system/known_folders.h"

namespace rk::sys {

// The ISO 3166-1 alpha-2 code in upper case ("US"); nullopt when the locale
// names no territory of two letters ("C", "POSIX", "en", "es_419"), as
// GetUserGeoID reports GEOID_NOT_AVAILABLE.
std::optional<std::wstring> user_nation_iso2(const EnvLookup& env = process_env);

// The territory of one locale name, by the same rule.
std::optional<std::wstring> locale_territory_iso2(std::string_view locale_name);

}  // namespace rk::sys
