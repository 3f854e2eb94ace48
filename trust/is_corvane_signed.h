// IsCorvaneSigned: the updater's question to content trust, "may this
// downloaded file run?". False only when the validator positively finds the
// file not signed by the maker; true for a maker-signed file, for a file
// that does not exist, and when validation cannot be carried out (logged as
// a failed validation). The first call creates the process's framework
// client instance.
#pragma once

#include <string>

#include "platform/system/file.h"

bool IsCorvaneSigned(const std::wstring& path);
// The same answers and log lines for a file the caller holds open (so it
// exists) and goes on to run: what is validated is that open file; `path`
// names it for the validation library and the logs.
bool IsCorvaneSigned(const rk::sys::File& file, const std::wstring& path);
