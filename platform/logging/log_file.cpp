#include "platform/logging/log_file.h"

#include "platform/text/utf.h"

namespace ETWLogging::internal {

LogFolder::~LogFolder() { Close(); }

void LogFolder::Close() { folder_ = rk::sys::Folder(); }

rk::DWORD LogFolder::Open(const std::wstring& path) {
    Close();
    return rk::sys::Folder::open(path, folder_);
}

rk::DWORD LogFolder::Probe(const std::string& name, PathState& state) const {
    state = PathState{};
    rk::sys::FolderEntry entry;
    const rk::DWORD err = folder_.entry(rk::text::utf8_to_wide(name), entry);
    if (err == rk::win::kErrorFileNotFound || err == rk::win::kErrorPathNotFound) {
        return rk::win::kErrorSuccess;
    }
    if (err != rk::win::kErrorSuccess) {
        return err;
    }
    state.exists = true;
    state.is_link = entry.is_link;
    state.device = entry.device;
    state.inode = entry.inode;
    state.size = entry.size;
    state.modified_ns = entry.last_write_ns;
    state.changed_ns = entry.change_ns;
    return rk::win::kErrorSuccess;
}

LogFile::~LogFile() { Close(); }

void LogFile::Close() {
    file_.close();
    identity_ = rk::sys::FileIdentity{};
}

rk::DWORD LogFile::OpenWith(const LogFolder& folder, const std::string& name, rk::DWORD disposition) {
    Close();
    const std::wstring wide_name = rk::text::utf8_to_wide(name);
    // Appending: two processes sharing the file never overwrite each other.
    // The seam opens no-follow, regular files only, and a FIFO planted at
    // the name does not stall the open.
    rk::sys::FileOpenOptions options;
    options.access = rk::sys::kFileAppendData;
    options.share = rk::sys::kFileShareRead | rk::sys::kFileShareWrite | rk::sys::kFileShareDelete;
    options.disposition = disposition;
    rk::DWORD err = folder.folder_.open_file(wide_name, options, file_);
    if (err == rk::win::kErrorCantResolveFilename) {
        // A link at the file itself: removed, as links at folders are.
        err = folder.folder_.delete_file(wide_name);
        if (err != rk::win::kErrorSuccess && err != rk::win::kErrorFileNotFound) {
            return err;
        }
        if (disposition == rk::sys::kOpenExisting) {
            return rk::win::kErrorFileNotFound;
        }
        err = folder.folder_.open_file(wide_name, options, file_);
    }
    if (err == rk::win::kErrorSuccess) {
        err = file_.identity(identity_);
    }
    if (err != rk::win::kErrorSuccess) {
        Close();
    }
    return err;
}

rk::DWORD LogFile::OpenForAppend(const LogFolder& folder, const std::string& name) {
    return OpenWith(folder, name, rk::sys::kOpenExisting);
}

rk::DWORD LogFile::Create(const LogFolder& folder, const std::string& name) {
    return OpenWith(folder, name, rk::sys::kCreateAlways);
}

bool LogFile::Is(const PathState& state) const {
    return file_.is_open() && state.exists && !state.is_link && state.device == identity_.device &&
           state.inode == identity_.inode;
}

rk::DWORD LogFile::Size(std::uint64_t& size, bool& linked) const {
    if (!file_.is_open()) {
        return rk::win::kErrorInvalidHandle;
    }
    std::uint32_t links = 0;
    const rk::DWORD err = file_.size_and_links(size, links);
    linked = links > 0;
    return err;
}

rk::DWORD LogFile::Append(std::span<const std::uint8_t> bytes, std::uint64_t size_before) {
    if (!file_.is_open()) {
        return rk::win::kErrorInvalidHandle;
    }
    std::size_t written = 0;
    const rk::DWORD err = file_.write_all(bytes.data(), bytes.size(), &written);
    if (err != rk::win::kErrorSuccess && written > 0) {
        // No half line stays behind (a full disk).
        file_.truncate(size_before);
    }
    return err;
}

}  // namespace ETWLogging::internal
