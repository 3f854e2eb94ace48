#include "xml_updater/web_cache/object_folder.h"

#include <cstdint>
#include <system_error>

#include "platform/errors/win_error.h"
#include "platform/errors/windows_error_category.h"
#include "platform/system/file.h"
#include "platform/system/folder.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace XMLUpdater::v2::web_cache {
namespace {

using rk::DWORD;
using rk::sys::File;
using rk::sys::FileOpenOptions;

void check(DWORD error, const std::string& what) {
    if (error != rk::win::kErrorSuccess) {
        throw std::system_error(dira_doro::make_win32_error_code(error), what);
    }
}

FileOpenOptions options(DWORD access, DWORD disposition) {
    FileOpenOptions o;
    o.access = access;
    o.disposition = disposition;
    return o;
}

// Writeback of a large download is started every this many bytes, so the
// page cache does not fill with dirty pages that the final flush must write.
constexpr std::uint64_t kFlushRange = 8u * 1024u * 1024u;

class FileWriter final : public DataWriter {
public:
    FileWriter(File file, std::uint64_t offset) : file_(std::move(file)), offset_(offset), flushed_(offset) {}
    void write(std::span<const std::uint8_t> bytes) override {
        check(file_.write_all(bytes.data(), bytes.size()), kMsgWriteFailed);
        offset_ += bytes.size();
        if (offset_ - flushed_ >= kFlushRange) {
            file_.flush_range(flushed_, offset_ - flushed_, false);
            flushed_ = offset_;
        }
    }
    void close() override {
        check(file_.flush(), kMsgWriteFailed);
        file_.close();
    }

private:
    File file_;
    std::uint64_t offset_;
    std::uint64_t flushed_;
};

}  // namespace

bool ObjectFolder::is_plain_name(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(std::wstring_view(L"\\/\0", 3)) == std::wstring_view::npos;
}

// rk::sys::prepare_folder_at: below the known folder the path starts in
// (or its nearest existing ancestor) no link is followed and ".." may not
// climb out; a link at the folder itself is removed.
ObjectFolder::ObjectFolder(std::wstring directory) : directory_(std::move(directory)) {
    check(rk::sys::prepare_folder_at(directory_, rk::sys::FolderCreation::kAll, folder_), kMsgObjectDirectory);
}

std::wstring ObjectFolder::path_of(std::wstring_view name) const { return directory_ + L"\\" + std::wstring(name); }

std::optional<std::vector<std::uint8_t>> ObjectFolder::read_file(std::wstring_view name, std::size_t limit) const {
    File file;
    const DWORD error = folder_.open_file(name, options(rk::sys::kGenericRead, rk::sys::kOpenExisting), file);
    if (error == rk::win::kErrorFileNotFound) {
        return std::nullopt;
    }
    check(error, kMsgFileSize);
    std::uint64_t size = 0;
    check(file.size(size), kMsgFileSize);
    if (size > limit) {
        check(rk::win::kErrorFileTooLarge, kMsgFileSize);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        std::size_t done = 0;
        check(file.read(bytes.data() + filled, bytes.size() - filled, done), kMsgFileSize);
        if (done == 0) {
            break;
        }
        filled += done;
    }
    bytes.resize(filled);
    return bytes;
}

void ObjectFolder::replace_file(std::wstring_view name, std::span<const std::uint8_t> bytes) const {
    const std::wstring temporary = std::wstring(name) + L".tmp";
    File file;
    folder_.delete_file(temporary);  // a link or leftover of an interrupted save
    check(folder_.open_file(temporary, options(rk::sys::kGenericWrite, rk::sys::kCreateAlways), file),
          kMsgWriteFailed);
    DWORD error = file.write_all(bytes.data(), bytes.size());
    if (error == rk::win::kErrorSuccess) {
        error = file.flush();
    }
    file.close();
    if (error == rk::win::kErrorSuccess) {
        error = folder_.rename(temporary, name);
    }
    if (error != rk::win::kErrorSuccess) {
        folder_.delete_file(temporary);
        check(error, kMsgWriteFailed);
    }
}

std::uint64_t ObjectFolder::file_size(std::wstring_view name) const {
    File file;
    const DWORD error = folder_.open_file(name, options(0, rk::sys::kOpenExisting), file);
    if (error == rk::win::kErrorFileNotFound || error == rk::win::kErrorCantResolveFilename) {
        return 0;  // nothing, or a link the next writer removes
    }
    check(error, kMsgFileSize);
    std::uint64_t size = 0;
    check(file.size(size), kMsgFileSize);
    return size;
}

bool ObjectFolder::exists(std::wstring_view name) const {
    File file;
    return folder_.open_file(name, options(0, rk::sys::kOpenExisting), file) != rk::win::kErrorFileNotFound;
}

void ObjectFolder::remove_file(std::wstring_view name) const {
    const DWORD error = folder_.delete_file(name);
    if (error != rk::win::kErrorFileNotFound) {
        check(error, "Unable to delete file");
    }
}

void ObjectFolder::rename_file(std::wstring_view from, std::wstring_view to) const {
    check(folder_.rename(from, to), "Unable to rename file");
}

std::unique_ptr<DataWriter> ObjectFolder::open_writer(std::wstring_view name, bool truncate) const {
    const std::string what =
        rk::text::format(std::string_view(kMsgOpenForWriting), rk::text::wide_to_utf8(path_of(name)));
    const auto open = [&](File& file) {
        return folder_.open_file(name, options(rk::sys::kGenericWrite, truncate ? rk::sys::kCreateAlways
                                                                               : rk::sys::kOpenAlways),
                                 file);
    };
    File file;
    DWORD error = open(file);
    if (error == rk::win::kErrorCantResolveFilename) {  // a link in its place: removed, not followed
        folder_.delete_file(name);
        error = open(file);
    }
    check(error, what);
    std::uint64_t size = 0;
    check(file.size(size), what);
    check(file.seek(size), what);
    return std::make_unique<FileWriter>(std::move(file), size);
}

}  // namespace XMLUpdater::v2::web_cache
