// ETWLogging::internal::LogFolder and LogFile: the file logger's folder, held
// open from the first line on, and its current file, kept open from one line
// to the next while its name in the folder still names it. Names are looked
// up in the open folder (one path component, no path walk per line); links
// at a name are removed, never followed; only regular files are opened.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/errors/win_error.h"
#include "platform/system/file.h"
#include "platform/system/folder.h"

namespace ETWLogging::internal {

// What a name in the folder stands for now (a link at it is not followed).
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

class LogFolder {
public:
    LogFolder() = default;
    LogFolder(const LogFolder&) = delete;
    LogFolder& operator=(const LogFolder&) = delete;
    ~LogFolder();

    // Opens the folder at a system path (paths.h).
    rk::DWORD Open(const std::wstring& path);
    void Close();
    bool is_open() const { return folder_.is_open(); }

    // The state of `name`: kErrorSuccess (exists may be false) or the error
    // of a failed lookup other than a missing name.
    rk::DWORD Probe(const std::string& name, PathState& state) const;

private:
    friend class LogFile;
    rk::sys::Folder folder_;
};

class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    // Opens an existing regular file for appending (OPEN_EXISTING); 2 when
    // it is missing or was a link (removed).
    rk::DWORD OpenForAppend(const LogFolder& folder, const std::string& name);
    // Creates the file anew, truncating it (CREATE_ALWAYS); a link at the
    // name is removed first.
    rk::DWORD Create(const LogFolder& folder, const std::string& name);

    // Whether the open file is the one `state` describes.
    bool Is(const PathState& state) const;
    // The open file's size, and whether it still has a name (false once it
    // was removed or renamed over).
    rk::DWORD Size(std::uint64_t& size, bool& linked) const;

    // Writes all bytes at the end; on a failure (a full disk) the file is cut
    // back to `size_before`, so no half line remains.
    rk::DWORD Append(std::span<const std::uint8_t> bytes, std::uint64_t size_before);
    void Close();
    bool is_open() const { return file_.is_open(); }

private:
    rk::DWORD OpenWith(const LogFolder& folder, const std::string& name, rk::DWORD disposition);
    rk::sys::File file_;
    rk::sys::FileIdentity identity_;
};

}  // namespace ETWLogging::internal
