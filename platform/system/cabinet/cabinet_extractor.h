// Cabinet extraction (the Cabinet library's FDICopy over a whole cabinet):
// every file of a cabinet held in memory is written below a destination
// folder with its stored date and time. Failures carry the FDI error number
// of the "cabinet" error category.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/errors/cab_error_category.h"
#include "platform/errors/win_error.h"

namespace rk::sys::cabinet {

// One file as the cabinet lists it.
struct CabinetFile {
    // The stored name decoded (UTF-8 when the name's flag says so, else the
    // ANSI code page); `\` separates folders.
    std::wstring name;
    std::uint32_t size = 0;
    // FAT date and time as stored (local time, 2-second steps).
    std::uint16_t dos_date = 0;
    std::uint16_t dos_time = 0;
    std::uint16_t attributes = 0;  // _A_RDONLY ... as stored, UTF-8 flag included
};

// The step that failed, so callers can say what went wrong in their words.
enum class FailedStep {
    kNone,
    kCabinet,      // the cabinet itself: unreadable, damaged, unsupported
    kLimit,        // claimed sizes above the limit or the free space
    kDestination,  // the destination folder could not be opened or created
    kName,         // a stored name that would leave the destination
    kFolder,       // a sub-folder could not be prepared
    kCreate,       // an output file could not be created
    kWrite,        // writing an output file failed
    kClose,        // setting the times or putting the file in place failed
    kCallback,     // the caller's on_file answered false
};

struct ExtractResult {
    dira_doro::FdiError fdi = dira_doro::FdiError::none;
    FailedStep step = FailedStep::kNone;
    DWORD system_error = 0;    // the Windows error of a failed file step
    std::wstring file;         // the stored name being worked on when it failed
    std::size_t files_written = 0;

    bool ok() const { return fdi == dira_doro::FdiError::none; }
    std::error_code error() const { return make_error_code(fdi); }
};

// Default bound of ExtractOptions::max_unpacked_bytes.
inline constexpr std::uint64_t kDefaultMaxUnpackedBytes = 2ull << 30;

struct ExtractOptions {
    // Called before a file is written; false skips it. Empty: every file.
    std::function<bool(const CabinetFile&)> filter;
    // Called once a file is complete at `path` (host path); false stops the
    // extraction with FDIERROR_USER_ABORT.
    std::function<bool(const CabinetFile&, const std::filesystem::path& path)> on_file;
    // Bytes the library would have to unpack for the selected files, as the
    // cabinet claims them (restarts of a folder included). More fails with
    // FDIERROR_USER_ABORT before anything is written.
    std::uint64_t max_unpacked_bytes = kDefaultMaxUnpackedBytes;
};

// Extracts `cabinet` into `destination` (a system path, see paths.h). The
// destination is created with its parents when missing (prepare_folder_at in
// folder.h: ".." may not leave its known folder); a link at it, on the way
// to it or at any sub-folder the cabinet names is removed, never followed. Stored names
// that are absolute, carry a drive, `.` or `..` components, `:` or control
// characters fail the extraction. Each file is written under a temporary
// name and renamed into place when complete, replacing what was there, so a
// failure leaves no partial file; files completed before a failure stay.
// Never throws.
ExtractResult extract_cabinet(std::span<const std::uint8_t> cabinet, std::wstring_view destination,
                              const ExtractOptions& options = {});

}  // namespace rk::sys::cabinet
