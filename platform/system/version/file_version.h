// GetFileVersionInfoW + VerQueryValueW(L"\\") for a file on disk: the file
// version of its VS_FIXEDFILEINFO.
#pragma once

#include <string>
#include <string_view>

#include "platform/system/version/pe_version_reader.h"

namespace rk::sys {

// `path` is a system path (paths.h), opened without following a link at its
// end (FileView). A file that cannot be opened (missing, a folder, a link, no
// host meaning) reads as NoVersionInfo, as GetFileVersionInfoSizeW fails on
// it; a file that changes while it is read is DataUnreadable.
VersionInfoStatus get_file_version(std::wstring_view path, FixedFileVersion& version);

// "a.b.c.d": the high and low words of the most significant double word,
// then of the least significant one.
std::wstring file_version_text(const FixedFileVersion& version);

}  // namespace rk::sys
