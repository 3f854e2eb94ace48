#include "platform/system/download/url_download.h"

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/system/file.h"
#include "platform/system/files.h"
#include "platform/system/http/http_session.h"
#include "platform/system/http/url_parts.h"
#include "platform/system/paths.h"
#include "platform/system/random.h"
#include "platform/system/root_prefix.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

constexpr unsigned kDownloadedFileMode = 0644;
constexpr unsigned kPartialFileMode = 0600;
constexpr std::wstring_view kTemporaryInfix = L".rkdownload-";
constexpr std::size_t kRandomNameLength = 6;
// libcurl hands the body over 16 KiB at a time; it is written 1 MiB at a time.
constexpr std::size_t kWriteBuffer = 1u << 20;
// A marker holds one host path.
constexpr std::size_t kMaxMarkerBytes = 4096;
constexpr wchar_t kMarkerGuard[] = L".guard";

HRESULT hresult(DWORD error) { return win::hresult_from_win32(error); }

std::wstring random_name(std::size_t length) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint8_t bytes[16] = {};
    random_bytes(std::span(bytes, length));
    std::wstring name;
    for (std::size_t i = 0; i < length; ++i) {
        name += static_cast<wchar_t>(kAlphabet[bytes[i] % (sizeof(kAlphabet) - 1)]);
    }
    return name;
}

// The marker folder, opened; its guard file serialises marker creation with
// the start-up cleanup.
DWORD open_marker_folder(Folder& folder, File& guard) {
    const std::filesystem::path path = interrupted_downloads_folder();
    if (const DWORD error = make_directories(path, 0700); error != win::kErrorSuccess) {
        return error;
    }
    if (const DWORD error = Folder::open_host(path, folder); error != win::kErrorSuccess) {
        return error;
    }
    FileOpenOptions options{kGenericRead | kGenericWrite, 0, kOpenAlways, 0600};
    if (const DWORD error = folder.open_file(kMarkerGuard, options, guard); error != win::kErrorSuccess) {
        return error;
    }
    return guard.lock(true, true);
}

// While a download runs, a locked marker names its temporary file; a marker
// left unlocked belongs to a process that died. Downloads go on without a
// marker when the folder cannot be written (an ordinary user on a real root).
class DownloadMarker {
public:
    explicit DownloadMarker(const std::filesystem::path& temporary) {
        File guard;
        if (open_marker_folder(folder_, guard) != win::kErrorSuccess) {
            return;
        }
        name_ = random_name(16);
        FileOpenOptions options{kGenericRead | kGenericWrite, 0, kCreateNew, 0600};
        if (folder_.open_file(name_, options, marker_) != win::kErrorSuccess ||
            marker_.lock(true, false) != win::kErrorSuccess ||
            marker_.write_all(temporary.c_str(), temporary.native().size()) != win::kErrorSuccess) {
            release();
        }
    }
    DownloadMarker(const DownloadMarker&) = delete;
    DownloadMarker& operator=(const DownloadMarker&) = delete;
    ~DownloadMarker() { release(); }

private:
    void release() {
        if (marker_.is_open()) {
            folder_.delete_file(name_);
            marker_.close();
        }
    }

    Folder folder_;
    std::wstring name_;
    File marker_;
};

// The temporary file beside the destination; removed unless committed.
class TemporaryFile {
public:
    TemporaryFile(const Folder& folder, std::wstring_view target) : folder_(folder) {
        FileOpenOptions options{kGenericWrite, 0, kCreateNew, kPartialFileMode};
        for (int attempt = 0; attempt < 8; ++attempt) {
            name_ = std::wstring(target) + std::wstring(kTemporaryInfix) + random_name(kRandomNameLength);
            // The marker first: a process killed right after creating the
            // file must already have named it.
            marker_ = std::make_unique<DownloadMarker>(folder_.host_path() / text::wide_to_utf8(name_));
            error_ = folder_.open_file(name_, options, file_);
            if (error_ == win::kErrorSuccess) {
                break;
            }
            marker_.reset();
            if (error_ != win::kErrorFileExists) {
                break;
            }
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (file_.is_open() || (error_ == win::kErrorSuccess && !committed_)) {
            file_.close();
            folder_.delete_file(name_);
        }
        marker_.reset();
    }

    DWORD error() const { return error_; }

    DWORD write(std::span<const std::uint8_t> bytes) {
        written_ += bytes.size();
        if (pending_.size() + bytes.size() < kWriteBuffer) {
            pending_.insert(pending_.end(), bytes.begin(), bytes.end());
            return win::kErrorSuccess;
        }
        if (const DWORD error = write_pending(); error != win::kErrorSuccess) {
            return error;
        }
        if (bytes.size() >= kWriteBuffer) {
            return write_through(bytes);
        }
        pending_.assign(bytes.begin(), bytes.end());
        return win::kErrorSuccess;
    }

    std::uint64_t written() const { return written_; }

    // Moves the whole body to `target`. No flush to disk: the file is used
    // (verified and started from one handle) in the pass that downloads it,
    // and every pass downloads it anew, so whatever a power loss leaves of
    // it is never used; waiting for the disk made a 200 MB download slower
    // than curl's.
    HRESULT commit(std::wstring_view target, FileIdentity* identity) {
        if (const DWORD error = write_pending(); error != win::kErrorSuccess) {
            return hresult(error);
        }
        if (const DWORD error = file_.set_mode(kDownloadedFileMode); error != win::kErrorSuccess) {
            return hresult(error);
        }
        if (identity != nullptr) {
            if (const DWORD error = file_.identity(*identity); error != win::kErrorSuccess) {
                return hresult(error);
            }
        }
        file_.close();
        if (const DWORD error = folder_.rename(name_, target); error != win::kErrorSuccess) {
            return hresult(error);
        }
        committed_ = true;
        return win::kSOk;
    }

private:
    DWORD write_pending() {
        const DWORD error = write_through(pending_);
        pending_.clear();
        return error;
    }

    DWORD write_through(std::span<const std::uint8_t> bytes) {
        return file_.write_all(bytes.data(), bytes.size());
    }

    const Folder& folder_;
    std::wstring name_;
    File file_;
    std::vector<std::uint8_t> pending_;  // written when it reaches kWriteBuffer
    DWORD error_ = win::kErrorSuccess;
    bool committed_ = false;
    std::uint64_t written_ = 0;  // received, pending included
    std::unique_ptr<DownloadMarker> marker_;  // (std::optional trips GCC 12's -Wmaybe-uninitialized at -O2)
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

std::filesystem::path interrupted_downloads_folder() { return under_root("/var/lib/rkupdater/downloads"); }

void clean_interrupted_downloads() {
    Folder folder;
    File guard;
    if (open_marker_folder(folder, guard) != win::kErrorSuccess) {
        return;
    }
    std::vector<std::wstring> names;
    folder.list(names);
    for (const std::wstring& name : names) {
        if (name == kMarkerGuard) {
            continue;
        }
        File marker;
        if (folder.open_file(name, {kGenericRead, 0, kOpenExisting}, marker) != win::kErrorSuccess ||
            marker.lock(true, false) != win::kErrorSuccess) {
            continue;  // a download that is still running
        }
        std::string path(kMaxMarkerBytes, '\0');
        std::size_t read = 0;
        marker.read_at(0, path.data(), path.size(), read);
        path.resize(read);
        // Only ever a temporary download file: a marker cannot make us
        // delete anything else.
        const std::filesystem::path temporary(path);
        if (temporary.is_absolute() &&
            text::utf8_to_wide(temporary.filename().native()).find(kTemporaryInfix) != std::wstring::npos) {
            delete_file(wide_path(temporary), true);
        }
        folder.delete_file(name);
    }
}

HRESULT download_url_to_file(std::wstring_view url, std::wstring_view file, const DownloadOptions& options) {
    http::UrlParts parts;
    if (const DWORD error = http::crack_url(url, parts); error != 0) {
        return inet_error_from_winhttp(error);
    }
    const auto target = to_host_path(file);
    if (!target || target->filename().empty()) {
        return hresult(win::kErrorBadPathname);
    }
    Folder folder;
    const std::filesystem::path parent = target->has_parent_path() ? target->parent_path() : ".";
    if (const DWORD error = Folder::open_host(parent, folder); error != win::kErrorSuccess) {
        return hresult(error == win::kErrorFileNotFound ? win::kErrorPathNotFound : error);
    }
    return download_url_to_folder(url, folder, wide_path(target->filename()), options);
}

HRESULT download_url_to_folder(std::wstring_view url, const Folder& folder, std::wstring_view name,
                               const DownloadOptions& options, FileIdentity* written) {
    http::UrlParts parts;
    if (const DWORD error = http::crack_url(url, parts); error != 0) {
        return inet_error_from_winhttp(error);
    }
    TemporaryFile temporary(folder, name);
    if (temporary.error() != win::kErrorSuccess) {
        return hresult(temporary.error());
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
    if (const auto announced = request->content_length()) {
        if (*announced > options.max_bytes) {
            return hresult(win::kErrorFileTooLarge);
        }
        std::uint64_t free_bytes = 0;
        if (folder.free_space(free_bytes) == win::kErrorSuccess && *announced > free_bytes) {
            return hresult(win::kErrorDiskFull);
        }
    }
    DWORD write_error = win::kErrorSuccess;
    error = request->read_body([&](std::span<const std::uint8_t> piece) {
        if (piece.size() > options.max_bytes - temporary.written()) {
            write_error = win::kErrorFileTooLarge;
            return false;
        }
        write_error = temporary.write(piece);
        return write_error == win::kErrorSuccess;
    });
    if (write_error != win::kErrorSuccess) {
        return hresult(write_error);
    }
    if (error != 0) {
        return inet_error_from_winhttp(error);
    }
    return temporary.commit(name, written);
}

}  // namespace rk::sys
