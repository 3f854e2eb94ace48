#include "xml_updater/download_file.h"

#include <cstring>
#include <new>

#include "platform/system/http/http_types.h"
#include "platform/system/http/url_parts.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2::NHttp::NDownloadFile {
namespace {
constexpr wchar_t kFile[] = L"download_file.cpp";
constexpr wchar_t kFunction[] = L"NDownloadFile::From";
constexpr std::size_t kReadChunk = 64 * 1024;
}  // namespace

std::vector<std::uint8_t> From(const std::wstring& url, const ProxySettings* proxy, bool ignore_proxy) {
    namespace http = rk::sys::http;
    CHttpTransaction transaction;
    if (!transaction.Open(kAgent, proxy, 0, ignore_proxy)) {
        return {};
    }
    http::UrlParts parts;
    if (const rk::DWORD error = http::crack_url(url, parts); error != 0) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"WinHttpCrackUrl failed (%d), url: %s", error, url);
        return {};
    }
    if (!transaction.Connect(parts.host, parts.port, proxy)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"HTTP connection failed (%d), url: %s",
                      transaction.LastError(), url);
        return {};
    }
    if (!transaction.OpenRequest(L"GET", parts.request_target(), parts.secure())) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"HTTP GET request failed (%d), url: %s",
                      transaction.LastError(), url);
        return {};
    }
    if (!transaction.AddRequestHeaders(kHeaderNoCache, http::kAddReqFlagAdd | http::kAddReqFlagCoalesceWithComma)) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, L"HTTP add request headers failed (%d), url: %s",
                      transaction.LastError(), url);
    }
    if (!transaction.SendRequest()) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"HTTP send request failed (%d), url: %s, proxy ignore flag %s",
                      transaction.LastError(), url, ignore_proxy ? L"true" : L"false");
        return {};
    }
    if (!transaction.ReceiveResponse()) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"HTTP receive response failed (%d), url: %s",
                      transaction.LastError(), url);
        return {};
    }
    int status = 0;
    if (!transaction.QueryStatusCode(status) || status != kStatusOk) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"HTTP status (%d) error (%d), url: %s", status,
                      transaction.LastError(), url);
        return {};
    }
    std::uint32_t length = 0;
    if (!transaction.QueryContentLength(length)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"HTTP query content length (%d), url: %s",
                      transaction.LastError(), url);
        return {};
    }
    if (length > kMaxDocumentBytes) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to allocate %d bytes", length);
        return {};
    }
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(length);
    } catch (const std::bad_alloc&) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to allocate %d bytes", length);
        return {};
    }
    std::vector<std::uint8_t> chunk(kReadChunk);
    std::size_t filled = 0;
    for (;;) {
        std::size_t read = 0;
        if (!transaction.ReadData(chunk.data(), chunk.size(), read)) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"HTTP read data failed (%d), url: %s",
                          transaction.LastError(), url);
            return {};
        }
        if (read == 0) {
            break;
        }
        if (read > buffer.size() - filled) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                          L"Not enough space in buffer: bufferLength(%d) Read(%d)", length, filled + read);
            return {};
        }
        std::memcpy(buffer.data() + filled, chunk.data(), read);
        filled += read;
    }
    return buffer;
}

}  // namespace XMLUpdater::v2::NHttp::NDownloadFile
