// "Delete at reboot" (MoveFileExW with no target and
// MOVEFILE_DELAY_UNTIL_REBOOT): the path is recorded in a list under the root
// prefix and removed by run() at the first start after the next reboot.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

class PendingDeletes {
public:
    // The default list file and the running kernel's boot id.
    PendingDeletes();
    // Tests pass their own list and boot id.
    PendingDeletes(std::filesystem::path list_file, std::string boot_id);

    // Records the absolute form of `path` (a system path) with this boot's id.
    // The path need not exist. kErrorBadPathname when it has no host meaning,
    // kErrorAccessDenied when the list cannot be written (as for an ordinary
    // user on Windows).
    DWORD schedule(std::wstring_view path) const;

    // Removes every entry recorded during an earlier boot, in recorded order:
    // files and links are unlinked, folders removed when empty (a folder is
    // listed after its files). Each entry is tried once and dropped; entries
    // of this boot stay. Returns the first failure other than "not found".
    // Both calls remove a link found at the list file instead of following it
    // and refuse anything but a regular file (kErrorInvalidData); run() leaves
    // a list over 16 MiB untouched (kErrorFileTooLarge).
    DWORD run() const;

    // <root>/var/lib/rkupdater/pending-deletes
    static std::filesystem::path default_list_file();
    // /proc/sys/kernel/random/boot_id; empty when unreadable, and then run()
    // carries out every entry.
    static std::string current_boot_id();

private:
    std::filesystem::path list_file_;
    std::string boot_id_;
};

}  // namespace rk::sys
