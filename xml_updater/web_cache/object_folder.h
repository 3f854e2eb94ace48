// A folder the engine downloads into (a cached object's, DOWNLOAD's
// DestDir): a link at its path is removed and the folder created, and its
// files are reached by plain names only, never through a link. Failures
// throw std::system_error in the "win32" category (the Windows error number)
// with the texts below.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/folder.h"

namespace XMLUpdater::v2::web_cache {

inline constexpr char kMsgObjectDirectory[] = "Unable to create/open object directory";
inline constexpr char kMsgOpenForWriting[] = "Failed to open file '%hs' for writing";
inline constexpr char kMsgWriteFailed[] = "Failed to write to file";
inline constexpr char kMsgFileSize[] = "Unable to determine file size";

// Appends to one file of the folder.
class DataWriter {
public:
    DataWriter() = default;
    DataWriter(const DataWriter&) = delete;
    DataWriter& operator=(const DataWriter&) = delete;
    virtual ~DataWriter() = default;

    virtual void write(std::span<const std::uint8_t> bytes) = 0;  // throws kMsgWriteFailed
    virtual void close() = 0;                                     // throws kMsgWriteFailed
};

class ObjectFolder {
public:
    // Removes a link at `directory` (an absolute system path) and creates
    // the folder with its parents (rk::sys::prepare_folder_at: no link is
    // followed below its known folder, ".." may not leave that folder).
    explicit ObjectFolder(std::wstring directory);

    const std::wstring& directory() const { return directory_; }
    // The system path of a file of the folder.
    std::wstring path_of(std::wstring_view name) const;

    // The file's bytes; nullopt when it does not exist. A file larger than
    // `limit` is not read (ERROR_FILE_TOO_LARGE).
    std::optional<std::vector<std::uint8_t>> read_file(std::wstring_view name, std::size_t limit) const;
    // Writes a whole file so that a reader sees the old or the new content,
    // never a mixture (a new file renamed over the old one).
    void replace_file(std::wstring_view name, std::span<const std::uint8_t> bytes) const;
    // 0 when the file does not exist.
    std::uint64_t file_size(std::wstring_view name) const;
    bool exists(std::wstring_view name) const;
    // Removing a missing file is no failure.
    void remove_file(std::wstring_view name) const;
    // MoveFileEx with replace: `from` takes the name `to`.
    void rename_file(std::wstring_view from, std::wstring_view to) const;
    // Opens the file for appending, emptied first when `truncate`; created
    // when missing. A link in its place is removed first.
    std::unique_ptr<DataWriter> open_writer(std::wstring_view name, bool truncate) const;

    // A name that stays inside a folder: not empty, not "." or "..", no
    // separator ("\" or "/"), no NUL.
    static bool is_plain_name(std::wstring_view name);

private:
    std::wstring directory_;
    rk::sys::Folder folder_;
};

}  // namespace XMLUpdater::v2::web_cache
