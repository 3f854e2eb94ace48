#include "xml_updater/web_cache/cached_object.h"

#include <stdexcept>
#include <system_error>

#include "platform/errors/windows_error_category.h"
#include "platform/text/format.h"
#include "xml_updater/web_cache/metadata_codec.h"
#include "xml_updater/web_cache/metadata_keys.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2::web_cache {
namespace {
constexpr wchar_t kFile[] = L"cached_object.cpp";
constexpr wchar_t kFunction[] = L"Cached_object::Cached_object";
}  // namespace

Cached_object::Cached_object(std::wstring directory, std::wstring file_name, std::wstring host, std::wstring path)
    : folder_(std::move(directory)), file_name_(std::move(file_name)), host_(std::move(host)), path_(std::move(path)) {
    if (!ObjectFolder::is_plain_name(file_name_)) {
        throw std::system_error(dira_doro::make_win32_error_code(rk::win::kErrorInvalidName),
                                rk::text::format(std::string_view("Invalid file name '%ls'"), file_name_));
    }
    try {
        if (const auto bytes = folder_.read_file(file_name_ + kMetadataSuffix, kMaxMetadataFileBytes)) {
            metadata_ = decode_metadata(*bytes);
            if (metadata_.get(kKeyHost) != host_ || metadata_.get(kKeyPath) != path_) {
                XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__,
                              L"Cached object '%ls' was fetched from another address; it is fetched again",
                              data_path());
                reset_metadata();
            }
            return;
        }
    } catch (const std::exception& error) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__,
                      L"Metadata of cached object '%ls' is unreadable (%hs); it is fetched again", data_path(),
                      error.what());
    }
    reset_metadata();
}

std::wstring Cached_object::data_path() const { return folder_.path_of(file_name_); }

std::wstring Cached_object::metadata_path() const { return folder_.path_of(file_name_ + kMetadataSuffix); }

void Cached_object::save_metadata() { folder_.replace_file(file_name_ + kMetadataSuffix, encode_metadata(metadata_)); }

std::uint64_t Cached_object::data_size() const { return folder_.file_size(file_name_); }

void Cached_object::begin_data(bool append) { writer_ = folder_.open_writer(file_name_, !append); }

void Cached_object::write_data(std::span<const std::uint8_t> bytes) { writer_->write(bytes); }

void Cached_object::end_data() {
    if (writer_) {
        auto writer = std::move(writer_);
        writer->close();
    }
}

void Cached_object::reset_metadata() {
    metadata_.clear();
    metadata_.set(kKeyHost, host_);
    metadata_.set(kKeyPath, path_);
}

void Cached_object::discard() {
    writer_.reset();
    folder_.open_writer(file_name_, true)->close();
    reset_metadata();
    save_metadata();
}

void Cached_object::remove() {
    writer_.reset();
    folder_.remove_file(file_name_);
    folder_.remove_file(file_name_ + kMetadataSuffix);
}

}  // namespace XMLUpdater::v2::web_cache
