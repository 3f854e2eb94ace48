// Text between wide strings and Duktape's internal encoding: CESU-8, in
// which a script string's UTF-16 code units are encoded one by one (a
// character beyond the BMP is a surrogate pair of two 3-byte sequences), so
// scripts see the same lengths and indices as on Windows.
#pragma once

#include <string>
#include <string_view>

namespace Corvane::Script::duktape {

// Characters beyond U+FFFF become surrogate pairs; wide values that are not
// Unicode scalar values (lone surrogates, above U+10FFFF) become U+FFFD.
std::string WideToCesu8(std::wstring_view text);

// Accepts CESU-8 and UTF-8 (4-byte sequences too); a surrogate pair becomes
// one character, a lone surrogate and every malformed byte become U+FFFD.
// Never fails.
std::wstring Cesu8ToWide(std::string_view bytes);

}  // namespace Corvane::Script::duktape
