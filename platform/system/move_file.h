// MoveFileExW: rename or move a file, link or folder, with the Windows flags.
#pragma once

#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

inline constexpr DWORD kMoveFileReplaceExisting = 0x1;
inline constexpr DWORD kMoveFileCopyAllowed = 0x2;
inline constexpr DWORD kMoveFileDelayUntilReboot = 0x4;
inline constexpr DWORD kMoveFileWriteThrough = 0x8;
// MOVEFILE_CREATE_HARDLINK and MOVEFILE_FAIL_IF_NOT_TRACKABLE: accepted, no effect.
inline constexpr DWORD kMoveFileAcceptedFlags = 0x3F;

// Both paths are system paths (paths.h). An empty `destination` stands for
// the null new name.
//   - Without kMoveFileDelayUntilReboot: the source (a link moves as the
//     link) gets the new name. An existing destination is kErrorAlreadyExists
//     unless kMoveFileReplaceExisting; even then a folder, or a read-only
//     file, is not replaced (kErrorAccessDenied), nor is anything replaced by
//     a folder. Across file systems a file or link is copied and the source
//     removed when kMoveFileCopyAllowed is set, else kErrorNotSameDevice; a
//     folder never crosses (kErrorNotSameDevice). kMoveFileWriteThrough
//     returns only after the data and the new name are on disk.
//   - With kMoveFileDelayUntilReboot and no destination: the source is
//     deleted at the next start after a reboot (PendingDeletes). A delayed
//     rename (with a destination) is kErrorNotSupported.
// kErrorInvalidParameter for flags outside kMoveFileAcceptedFlags, for
// kMoveFileDelayUntilReboot with kMoveFileCopyAllowed, and for no
// destination without kMoveFileDelayUntilReboot.
DWORD move_file_ex(std::wstring_view source, std::wstring_view destination, DWORD flags);

}  // namespace rk::sys
