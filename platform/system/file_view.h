// A read-only view of a whole file for parsers (signatures, cabinets,
// version resources), safe against the file changing underneath.
//
// The file is mapped, not copied: a 1 GiB installer costs address space and
// page cache, no heap. A file cut short while it is viewed would normally
// kill the process with SIGBUS on the next read of a vanished page; the seam
// instead maps zero pages over the rest of the view (one process-wide SIGBUS
// handler, chained to any earlier one for faults outside views), so the read
// completes and intact() turns false. Callers parse, then check intact() and
// treat false as a read error: a result computed over a changing file means
// nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/file.h"

namespace rk::sys {

class FileView {
public:
    FileView() = default;
    FileView(FileView&& other) noexcept;
    FileView& operator=(FileView&& other) noexcept;
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;
    ~FileView();

    // Views `file` (opened with kGenericRead, a regular file) as it is now;
    // the view keeps its own handle. 4 when too many views are open at once
    // (the fault guard has a fixed number of slots).
    static DWORD open(const File& file, FileView& out);
    // Opens the path read-only (no-follow, regular files only) and views it.
    static DWORD open(std::wstring_view system_path, FileView& out);
    static DWORD open_host(const std::filesystem::path& host_path, FileView& out);

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
    // True while every byte read so far was the file's and the file has the
    // size and change time it had when the view was made.
    bool intact() const;
    const File& file() const { return file_; }

private:
    void release();

    File file_;
    FileIdentity identity_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    int guard_slot_ = -1;
};

}  // namespace rk::sys
