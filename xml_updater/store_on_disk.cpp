// NDownloadFile::StoreOnDisk (DOWNLOAD's file download).
#include <algorithm>
#include <system_error>
#include <vector>

#include "platform/system/files.h"
#include "platform/system/http/http_types.h"
#include "platform/system/http/url_parts.h"
#include "xml_updater/background_md5.h"
#include "xml_updater/download_file.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/web_cache/block_buffer.h"
#include "xml_updater/web_cache/object_folder.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2::NHttp::NDownloadFile {
namespace {

namespace http = rk::sys::http;
using web_cache::ObjectFolder;
constexpr wchar_t kFile[] = L"store_on_disk.cpp";
constexpr wchar_t kFunction[] = L"NDownloadFile::StoreOnDisk";
constexpr wchar_t kBakSuffix[] = L".bak";

template <typename... A>
void log_error(int line, const wchar_t* format, const A&... args) {
    XmlUpdaterLog(kXmlLogError, kFile, kFunction, line, format, args...);
}

rk::DWORD error_number(const std::system_error& error) { return static_cast<rk::DWORD>(error.code().value()); }

class Attempt {
public:
    Attempt(const std::wstring& url, const std::wstring& directory, const std::wstring& file_name, bool overwrite,
            const ProxySettings* proxy, DownloadProgress& progress)
        : url_(url), directory_(directory), file_name_(file_name), overwrite_(overwrite), proxy_(proxy),
          progress_(progress) {}

    // True when the file is on disk.
    bool run(bool ignore_proxy, std::wstring& md5, std::wstring& stored_path);

private:
    bool connection_failed(int line, const wchar_t* format, rk::DWORD error) {
        log_error(line, format, error, url_);
        progress_.status(kProgressConnectionFailed);
        return false;
    }
    bool request(bool ignore_proxy, std::uint32_t& length);
    bool receive(ObjectFolder& folder, const std::wstring& name, std::uint32_t length, std::wstring& md5);

    const std::wstring& url_;
    const std::wstring& directory_;
    const std::wstring& file_name_;
    bool overwrite_;
    const ProxySettings* proxy_;
    DownloadProgress& progress_;
    CHttpTransaction transaction_;
};

bool Attempt::request(bool ignore_proxy, std::uint32_t& length) {
    if (!transaction_.Open(kAgent, proxy_, 0, ignore_proxy)) {
        log_error(__LINE__, L"Unable to open HTTP transaction");
        progress_.status(kProgressConnectionFailed);
        return false;
    }
    http::UrlParts parts;
    if (const rk::DWORD error = http::crack_url(url_, parts); error != 0) {
        return connection_failed(__LINE__, L"WinHttpCrackUrl failed (%d), url: %s", error);
    }
    if (!transaction_.Connect(parts.host, parts.port, proxy_)) {
        return connection_failed(__LINE__, L"HTTP connection failed (%d), url: %s", transaction_.LastError());
    }
    if (!transaction_.OpenRequest(L"GET", parts.request_target(), parts.secure())) {
        return connection_failed(__LINE__, L"HTTP GET request failed (%d), url: %s", transaction_.LastError());
    }
    if (!transaction_.AddRequestHeaders(kHeaderNoCache, http::kAddReqFlagAdd | http::kAddReqFlagCoalesceWithComma)) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, L"HTTP add request headers failed (%d), url: %s",
                      transaction_.LastError(), url_);
    }
    if (!transaction_.SendRequest()) {
        log_error(__LINE__, L"HTTP send request failed (%d), url: %s, ignore proxy flag %s", transaction_.LastError(),
                  url_, ignore_proxy ? L"true" : L"false");
        progress_.status(kProgressConnectionFailed);
        return false;
    }
    if (!transaction_.ReceiveResponse()) {
        return connection_failed(__LINE__, L"HTTP receive response failed (%d), url: %s", transaction_.LastError());
    }
    int status = 0;
    if (!transaction_.QueryStatusCode(status) || status != kStatusOk) {
        log_error(__LINE__, L"HTTP status (%d) error (%d), url: %s", status, transaction_.LastError(), url_);
        progress_.status(kProgressConnectionFailed);
        return false;
    }
    if (!transaction_.QueryContentLength(length)) {
        return connection_failed(__LINE__, L"HTTP query content length (%d), url: %s", transaction_.LastError());
    }
    return true;
}

bool Attempt::receive(ObjectFolder& folder, const std::wstring& name, std::uint32_t length, std::wstring& md5) {
    std::unique_ptr<web_cache::DataWriter> writer;
    try {
        writer = folder.open_writer(name, true);
    } catch (const std::system_error& error) {
        log_error(__LINE__, L"CreateFile failed (%d)", error_number(error));
        progress_.status(kProgressFileFailed);
        return false;
    }
    // The body arrives straight from the transport and is written in 64 KiB
    // blocks while still in the cache; the digest runs on its own thread.
    // Progress is reported per chunk of min(Content-Length, 1 MiB) and at
    // the end.
    const std::uint64_t chunk_size = std::max<std::uint32_t>(1, std::min(length, kStoreChunkBytes));
    web_cache::BlockBuffer blocks;
    BackgroundMd5 digest;  // overlaps the reads and writes
    std::uint64_t received = 0;
    std::uint64_t reported = 0;
    std::error_code write_error;
    const auto write_block = [&](std::span<const std::uint8_t> block) {
        try {
            writer->write(block);
        } catch (const std::system_error& error) {
            write_error = error.code();
            return false;
        }
        digest.Update(block);
        received += block.size();
        if (received - reported >= chunk_size || received == length) {
            reported = received;
            progress_.progress(received, length, received);
        }
        return true;
    };
    const bool read = transaction_.ReadBody([&](std::span<const std::uint8_t> piece) {
        return blocks.add(piece, write_block);
    }) && blocks.flush(write_block);
    if (write_error) {
        log_error(__LINE__, L"WriteFile failed (%d)", static_cast<rk::DWORD>(write_error.value()));
        progress_.status(kProgressFileFailed);
        return false;
    }
    if (!read) {
        log_error(__LINE__, L"HTTP read data failed (%d), url: %s", transaction_.LastError(), url_);
        progress_.status(kProgressConnectionFailed);
        return false;
    }
    try {
        writer->close();
    } catch (const std::system_error& error) {
        log_error(__LINE__, L"WriteFile failed (%d)", error_number(error));
        progress_.status(kProgressFileFailed);
        return false;
    }
    md5 = digest.Final();
    progress_.status(kProgressSuccess);
    return true;
}

bool Attempt::run(bool ignore_proxy, std::wstring& md5, std::wstring& stored_path) {
    std::uint32_t length = 0;
    if (!request(ignore_proxy, length)) {
        return false;
    }
    std::wstring name = file_name_;
    if (name.empty()) {
        const auto slash = url_.rfind(L'/');
        if (slash == std::wstring::npos) {
            log_error(__LINE__, L"Unable to extract the filename from url (%s)", url_);
            progress_.status(kProgressNoFileName);
            return false;
        }
        name = url_.substr(slash + 1);
        if (name.empty()) {
            log_error(__LINE__, L"empty filename");
            progress_.status(kProgressNoFileName);
            return false;
        }
    }
    if (!ObjectFolder::is_plain_name(name) || !ObjectFolder::is_plain_name(name + kBakSuffix)) {
        log_error(__LINE__, L"Invalid file name '%s'", name);
        progress_.status(kProgressNoFileName);
        return false;
    }
    try {
        ObjectFolder folder(directory_);
        stored_path = folder.path_of(name);
        if (folder.exists(name)) {
            if (!overwrite_) {
                XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, L"File already exists: %s", stored_path);
                progress_.status(kProgressAlreadyExists);
                md5.clear();
                return true;
            }
            try {
                folder.remove_file(name + kBakSuffix);
                folder.rename_file(name, name + kBakSuffix);
            } catch (const std::system_error& error) {
                log_error(__LINE__, L"Unable to rename the old file (%d): %s", error_number(error), stored_path);
                progress_.status(kProgressRenameFailed);
                return false;
            }
        }
        if (receive(folder, name, length, md5)) {
            return true;
        }
        folder.remove_file(name);  // what this attempt began
    } catch (const std::system_error& error) {
        log_error(__LINE__, L"CreateFile failed (%d)", error_number(error));
        progress_.status(kProgressFileFailed);
    }
    return false;
}

}  // namespace

int StoreOnDisk(const std::wstring& url, const std::wstring& directory, const std::wstring& file_name, bool overwrite,
                const ProxySettings* proxy, DownloadProgress& progress, std::wstring& md5,
                std::wstring& stored_path) {
    if (!rk::sys::is_directory(directory)) {
        log_error(__LINE__, L"Destination directory does not exist");
        return 0;
    }
    progress.begin();
    for (const bool ignore_proxy : {false, true}) {
        Attempt attempt(url, directory, file_name, overwrite, proxy, progress);
        if (attempt.run(ignore_proxy, md5, stored_path)) {
            return 1;
        }
    }
    return 0;
}

}  // namespace XMLUpdater::v2::NHttp::NDownloadFile
