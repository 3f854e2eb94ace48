// ETWUtil: folder checks of the file logger.
#pragma once

#include <string>

#include "platform/errors/win_error.h"

namespace ETWUtil {

// IO_REPARSE_TAG_MOUNT_POINT (a junction). Linux links report the symlink tag.
inline constexpr rk::DWORD kIoReparseTagMountPoint = 0xA0000003;

// Whether `folder` lies below `base` (or is it): a case-insensitive prefix
// followed by a separator or the end, compared on the host form of both
// (separators unified, "." and ".." resolved).
bool IsBelowFolder(const std::wstring& base, const std::wstring& folder);

// Walks `folder` one component at a time below `base` and removes every
// component that exists and is a junction or symbolic link (the link, never
// its target). A failed removal, or a lookup error other than 2 and 3, is
// returned; 0 otherwise.
rk::DWORD DeleteReparsePoint(const std::wstring& base, const std::wstring& folder);

}  // namespace ETWUtil
