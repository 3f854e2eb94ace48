// ETWLogging::internal::LogFile: the open log file of the file logger, kept
// open from one line to the next while the path still names it. Links at the
// file's path are removed, never followed; only regular files are opened.
// Closed by the destructor.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/errors/win_error.h"

namespace ETWLogging::internal {

// What a path names now (not following a link at it).
struct PathState {
    bool exists = false;
    bool is_link = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0;
    std::int64_t changed_ns = 0;

    // Same file, same size and times: nothing was written since.
    bool unchanged(const PathState& other) const {
        return exists == other.exists && is_link == other.is_link && device == other.device && inode == other.inode &&
               size == other.size && modified_ns == other.modified_ns && changed_ns == other.changed_ns;
    }
};

class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    // The state of a path: kErrorSuccess (exists may be false) or the error
    // of a failed lookup other than a missing file or folder.
    static rk::DWORD Probe(const std::wstring& path, PathState& state);

    // Opens an existing regular file for appending (OPEN_EXISTING); 2 when
    // it is missing or was a link (removed).
    rk::DWORD OpenForAppend(const std::wstring& path);
    // Creates the file anew, truncating it (CREATE_ALWAYS); a link at the
    // path is removed first.
    rk::DWORD Create(const std::wstring& path);

    // Whether the open file is the one `state` describes.
    bool Is(const PathState& state) const;

    // Writes all bytes at the end; on a failure (a full disk) the file is cut
    // back to `size_before`, so no half line remains.
    rk::DWORD Append(std::span<const std::uint8_t> bytes, std::uint64_t size_before);
    void Close();
    bool is_open() const { return fd_ >= 0; }

private:
    rk::DWORD OpenWith(const std::wstring& path, int flags);
    int fd_ = -1;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};

}  // namespace ETWLogging::internal
