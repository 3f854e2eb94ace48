// IsCorvaneSigned: the updater's question to content trust, "may this
// downloaded file run?". False only when the file is positively found not
// signed by the maker; true for a maker-signed file, for a file that does not
// exist, and when the check cannot be carried out (logged as a failed
// validation).
#pragma once

#include <optional>
#include <string>

// The check itself: true when the file carries an accepted signature (the
// signed-file check with the profile's publishers and pinned roots), false
// when it does not, nothing when the file cannot be examined (unmappable
// path, not a regular readable file).
std::optional<bool> ValidateCorvaneSignature(const std::wstring& path);

bool IsCorvaneSigned(const std::wstring& path);
