#include "xml_updater/web_cache/object_folder.h"

#include <fstream>
#include <system_error>

#include "platform/errors/errno_map.h"
#include "platform/errors/win_error.h"
#include "platform/errors/windows_error_category.h"
#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "platform/system/random.h"
#include "platform/text/format.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace XMLUpdater::v2::web_cache {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(rk::DWORD error, const std::string& what) {
    throw std::system_error(dira_doro::make_win32_error_code(error), what);
}

[[noreturn]] void fail(const std::error_code& ec, const std::string& what) {
    fail(ec.value() != 0 ? rk::win::from_errno(ec.value()) : rk::win::kErrorIoDevice, what);
}

fs::path host_of(const std::wstring& path, const std::string& what) {
    auto host = rk::sys::to_host_path(path);
    if (!host) {
        fail(rk::win::kErrorBadPathname, what);
    }
    return *host;
}

class StreamWriter final : public DataWriter {
public:
    explicit StreamWriter(std::ofstream stream) : stream_(std::move(stream)) {}
    void write(std::span<const std::uint8_t> bytes) override {
        stream_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!stream_) {
            fail(std::error_code(errno, std::generic_category()), kMsgWriteFailed);
        }
    }
    void close() override {
        stream_.close();
        if (!stream_) {
            fail(std::error_code(errno, std::generic_category()), kMsgWriteFailed);
        }
    }

private:
    std::ofstream stream_;
};

}  // namespace

bool ObjectFolder::is_plain_name(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(std::wstring_view(L"\\/\0", 3)) ==
                                                              std::wstring_view::npos;
}

ObjectFolder::ObjectFolder(std::wstring directory) : directory_(std::move(directory)) {
    const fs::path host = host_of(directory_, kMsgObjectDirectory);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(host, ec))) {
        fs::remove(host, ec);
    }
    if (const rk::DWORD error = rk::sys::create_directories(directory_); error != 0) {
        fail(error, kMsgObjectDirectory);
    }
}

std::wstring ObjectFolder::path_of(std::wstring_view name) const { return directory_ + L"\\" + std::wstring(name); }

std::optional<std::vector<std::uint8_t>> ObjectFolder::read_file(std::wstring_view name, std::size_t limit) const {
    const fs::path host = host_of(path_of(name), kMsgFileSize);
    std::error_code ec;
    const auto status = fs::symlink_status(host, ec);
    if (!fs::exists(status)) {
        return std::nullopt;
    }
    const auto size = fs::file_size(host, ec);
    if (ec) {
        fail(ec, kMsgFileSize);
    }
    if (size > limit) {
        fail(rk::win::kErrorFileTooLarge, kMsgFileSize);
    }
    std::ifstream in(host, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) {
        fail(rk::win::kErrorIoDevice, kMsgFileSize);
    }
    return bytes;
}

void ObjectFolder::replace_file(std::wstring_view name, std::span<const std::uint8_t> bytes) const {
    const fs::path host = host_of(path_of(name), kMsgWriteFailed);
    fs::path temporary = host;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            fail(rk::win::kErrorIoDevice, kMsgWriteFailed);
        }
    }
    std::error_code ec;
    fs::rename(temporary, host, ec);
    if (ec) {
        fail(ec, kMsgWriteFailed);
    }
}

std::uint64_t ObjectFolder::file_size(std::wstring_view name) const {
    const fs::path host = host_of(path_of(name), kMsgFileSize);
    std::error_code ec;
    const auto status = fs::symlink_status(host, ec);
    if (!fs::exists(status)) {
        return 0;
    }
    const auto size = fs::file_size(host, ec);
    if (ec) {
        fail(ec, kMsgFileSize);
    }
    return size;
}

bool ObjectFolder::exists(std::wstring_view name) const {
    std::error_code ec;
    return fs::exists(fs::symlink_status(host_of(path_of(name), kMsgFileSize), ec));
}

void ObjectFolder::rename_file(std::wstring_view from, std::wstring_view to) const {
    std::error_code ec;
    fs::rename(host_of(path_of(from), "rename"), host_of(path_of(to), "rename"), ec);
    if (ec) {
        fail(ec, "Unable to rename file");
    }
}

void ObjectFolder::remove_file(std::wstring_view name) const {
    const rk::DWORD error = rk::sys::delete_file(path_of(name), true);
    if (error != 0 && error != rk::win::kErrorFileNotFound) {
        fail(error, "Unable to delete file");
    }
}

std::unique_ptr<DataWriter> ObjectFolder::open_writer(std::wstring_view name, bool truncate) const {
    const std::string what =
        rk::text::format(std::string_view(kMsgOpenForWriting), rk::text::wide_to_utf8(path_of(name)));
    const fs::path host = host_of(path_of(name), what);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(host, ec))) {
        fs::remove(host, ec);
    }
    std::ofstream out(host, std::ios::binary | (truncate ? std::ios::trunc : std::ios::app));
    if (!out) {
        fail(rk::win::kErrorAccessDenied, what);
    }
    return std::make_unique<StreamWriter>(std::move(out));
}

}  // namespace XMLUpdater::v2::web_cache
