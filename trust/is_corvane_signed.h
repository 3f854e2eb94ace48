// IsCorvaneSigned: the updater's question to content trust, "may this
// downloaded file run?". False only when the file is positively found not
// signed by the maker; true for a maker-signed file, for a file that does not
// exist, and when the check cannot be carried out (logged as a failed
// validation).
#pragma once

#include <optional>
#include <string>

#include "platform/system/file.h"

// The check itself: true when the file carries an accepted signature (the
// signed-file check with the profile's publishers and pinned roots), false
// when it does not, nothing when the file cannot be examined (unmappable
// path, not a regular readable file, a link at its name).
std::optional<bool> ValidateCorvaneSignature(const std::wstring& path);
// The check over a file the caller holds open (read access), for callers
// that go on to run exactly the file that was checked. A file that changed
// while it was read is refused (false): what was checked is gone.
std::optional<bool> ValidateCorvaneSignature(const rk::sys::File& file);

bool IsCorvaneSigned(const std::wstring& path);
// The same answers and log lines for an open file (it exists).
bool IsCorvaneSigned(const rk::sys::File& file);
