// Where extracted files go: an opened destination folder, sub-folders
// prepared inside it without following links, and one output file at a
// time, written under a temporary name and renamed into place when complete.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors/win_error.h"

namespace rk::sys::cabinet {

class CabinetOutput {
public:
    CabinetOutput() = default;
    CabinetOutput(const CabinetOutput&) = delete;
    CabinetOutput& operator=(const CabinetOutput&) = delete;
    // Removes an unfinished file and closes the folders.
    ~CabinetOutput();

    // Opens the destination (a system path) through prepare_folder_at
    // (folder.h), creating it with its parents when missing; links on the
    // way and at it are removed and real folders made in their place.
    DWORD open_destination(std::wstring_view system_path);
    // Bytes the destination's file system has free for us.
    std::optional<std::uint64_t> free_bytes() const;

    // Prepares the folders of `parts` (all but the last, links removed,
    // missing ones created) and creates the temporary file beside the final
    // name. `folder_failed` tells which of the two steps failed.
    DWORD begin(const std::vector<std::wstring>& parts, bool& folder_failed);
    DWORD write(std::span<const std::uint8_t> bytes);
    // Sets the last-write time (when given), closes and renames the file
    // over the final name.
    DWORD finish(std::optional<std::time_t> last_write);
    // Closes and removes the unfinished file.
    void abandon();

    // The final host path of the file begun last.
    const std::filesystem::path& current_path() const { return current_path_; }

private:
    DWORD prepare_folder(const std::vector<std::wstring>& parts, int& folder);
    void close_folder();

    std::filesystem::path destination_;
    int destination_fd_ = -1;
    // The sub-folder used last (files come grouped by folder).
    std::vector<std::wstring> folder_parts_;
    int folder_fd_ = -1;
    int file_fd_ = -1;
    int file_folder_ = -1;
    std::string temp_name_;
    std::string final_name_;
    std::filesystem::path current_path_;
    unsigned temp_counter_ = 0;
};

}  // namespace rk::sys::cabinet
