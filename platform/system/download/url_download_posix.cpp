#include "platform/system/download/url_download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <span>
#include <string>

#include "platform/errors/errno_map.h"
#include "platform/system/http/http_session.h"
#include "platform/system/http/url_parts.h"
#include "platform/system/paths.h"

namespace rk::sys {
namespace {

constexpr mode_t kDownloadedFileMode = 0644;
constexpr char kTemporarySuffix[] = ".rkdownload-XXXXXX";

HRESULT hresult_from_errno(int error) { return win::hresult_from_win32(win::from_errno(error)); }

// The temporary file beside the destination; removed unless kept.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target) : path_(target.native() + kTemporarySuffix) {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        created_ = fd_ >= 0;
        if (!created_) {
            error_ = errno;
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (created_ && !kept_) {
            ::unlink(path_.c_str());
        }
    }

    bool ok() const { return fd_ >= 0; }
    int error() const { return error_; }

    bool write(std::span<const std::uint8_t> bytes) {
        while (!bytes.empty()) {
            const auto written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error_ = errno;
                return false;
            }
            bytes = bytes.subspan(static_cast<std::size_t>(written));
        }
        return true;
    }

    // Makes the data durable and moves it to `target`.
    HRESULT commit(const std::filesystem::path& target) {
        if (::fchmod(fd_, kDownloadedFileMode) != 0 || ::fdatasync(fd_) != 0) {
            return hresult_from_errno(errno);
        }
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            return hresult_from_errno(errno);
        }
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            return hresult_from_errno(errno);
        }
        kept_ = true;
        return win::kSOk;
    }

private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
    bool created_ = false;
    bool kept_ = false;
};

}  // namespace

HRESULT inet_error_from_winhttp(DWORD error) {
    switch (error) {
        case win::kErrorSuccess:
            return win::kSOk;
        case win::kWinHttpErrorNameNotResolved:
            return win::kInetEResourceNotFound;
        case win::kWinHttpErrorCannotConnect:
            return win::kInetECannotConnect;
        case win::kWinHttpErrorTimeout:
            return win::kInetEConnectionTimeout;
        case win::kWinHttpErrorSecureFailure:
        case win::kWinHttpErrorSecureCertDateInvalid:
        case win::kWinHttpErrorSecureCertCnInvalid:
        case win::kWinHttpErrorSecureInvalidCa:
        case win::kWinHttpErrorSecureInvalidCert:
        case win::kWinHttpErrorSecureCertRevoked:
        case win::kWinHttpErrorSecureChannelError:
        case win::kWinHttpErrorClientAuthCertNeeded:
            return win::kInetESecurityProblem;
        case win::kWinHttpErrorInvalidUrl:
            return win::kInetEInvalidUrl;
        case win::kWinHttpErrorUnrecognizedScheme:
            return win::kInetEUnknownProtocol;
        case win::kWinHttpErrorOperationCancelled:
            return win::kEAbort;
        case win::kErrorNotEnoughMemory:
        case win::kErrorOutOfMemory:
            return win::kEOutOfMemory;
        case win::kErrorInvalidParameter:
            return win::kEInvalidArg;
        default:
            return win::kInetEDownloadFailure;
    }
}

HRESULT inet_error_from_status(DWORD status) {
    if (status >= 200 && status < 300) {
        return win::kSOk;
    }
    switch (status) {
        case 401:
        case 407:
            return win::kInetEAuthenticationRequired;
        case 403:
            return win::kEAccessDenied;
        case 404:
        case 410:
            return win::kInetEObjectNotFound;
        default:
            return win::kInetEDownloadFailure;
    }
}

HRESULT download_url_to_file(std::wstring_view url, std::wstring_view file, const DownloadOptions& options) {
    http::UrlParts parts;
    if (const DWORD error = http::crack_url(url, parts); error != 0) {
        return inet_error_from_winhttp(error);
    }
    const auto target = to_host_path(file);
    if (!target) {
        return win::hresult_from_win32(win::kErrorBadPathname);
    }
    TemporaryFile temporary(*target);
    if (!temporary.ok()) {
        // Creating a new name fails with ENOENT only when a folder is missing.
        if (temporary.error() == ENOENT) {
            return win::hresult_from_win32(win::kErrorPathNotFound);
        }
        return hresult_from_errno(temporary.error());
    }

    http::SessionOptions session_options;
    session_options.user_agent = options.user_agent;
    session_options.proxy = options.proxy;
    session_options.timeouts = options.timeouts;
    session_options.secure_protocols = options.secure_protocols;
    session_options.ca_file = options.ca_file;
    DWORD error = 0;
    const auto session = http::open_http_session(session_options, error);
    if (!session) {
        return inet_error_from_winhttp(error);
    }
    const auto connection = session->connect(parts.host, parts.port, error);
    if (!connection) {
        return inet_error_from_winhttp(error);
    }
    const auto request = connection->open_request(http::kVerbGet, parts.request_target(), parts.secure(), error);
    if (!request) {
        return inet_error_from_winhttp(error);
    }
    request->set_security_flags(options.security_flags);
    if ((error = request->send()) != 0 || (error = request->receive_response()) != 0) {
        return inet_error_from_winhttp(error);
    }
    if (const HRESULT status = inet_error_from_status(request->status_code()); win::failed(status)) {
        return status;
    }
    bool write_failed = false;
    error = request->read_body([&](std::span<const std::uint8_t> piece) {
        write_failed = !temporary.write(piece);
        return !write_failed;
    });
    if (write_failed) {
        return hresult_from_errno(temporary.error());
    }
    if (error != 0) {
        return inet_error_from_winhttp(error);
    }
    return temporary.commit(*target);
}

}  // namespace rk::sys
