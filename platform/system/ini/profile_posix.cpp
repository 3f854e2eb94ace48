#include "platform/system/ini/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/errors/errno_map.h"
#include "platform/system/fd_posix.h"
#include "platform/system/ini/ini_document.h"
#include "platform/system/paths.h"
#include "platform/text/strings.h"

namespace rk::sys::ini {
namespace {

thread_local DWORD t_last_error = 0;

bool fail(DWORD error) {
    t_last_error = error;
    return false;
}

// Reads the file; a missing file gives an empty document and 2. Only a
// regular file of at most kMaxFileBytes is read: a larger one gives 223, a
// folder 5 and anything else (a FIFO, a device) 13, without blocking, and a
// write then leaves the file as it is.
DWORD load(const std::filesystem::path& path, IniDocument& doc) {
    doc = IniDocument();
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        return win::from_errno(errno);
    }
    struct stat st{};
    if (::fstat(fd.get(), &st) != 0) {
        return win::from_errno(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return S_ISDIR(st.st_mode) ? win::kErrorAccessDenied : win::kErrorInvalidData;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) {
        return win::kErrorFileTooLarge;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    if (const int error = read_bounded(fd.get(), bytes, kMaxFileBytes); error != 0) {
        return win::from_errno(error);  // EFBIG: grew since fstat
    }
    doc = IniDocument::parse({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    return 0;
}

// Writes the document to a temporary file beside `path` and renames it over
// the original, so readers see either the old or the new file.
DWORD store(const std::filesystem::path& path, const IniDocument& doc) {
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        return win::kErrorPathNotFound;
    }
    // Appended piece by piece: "." + name makes GCC 12 -O3 report a false
    // -Wrestrict overlap inside the string insert.
    std::string name = ".";
    name += path.filename().string();
    name += ".XXXXXX";
    std::string tmp = (dir / name).string();
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        return win::from_errno(errno);
    }
    struct stat st{};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    const std::vector<std::uint8_t> bytes = doc.serialize();
    const bool ok = write_all(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    const int write_errno = errno;
    ::close(fd);
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        const DWORD err = win::from_errno(ok ? errno : write_errno);
        ::unlink(tmp.c_str());
        return err == 0 ? win::kErrorCantwrite : err;
    }
    return 0;
}

std::optional<std::filesystem::path> host_path(const wchar_t* fileName) {
    if (fileName == nullptr) {
        return std::nullopt;
    }
    return to_host_path(fileName);
}

std::wstring strip_quotes(std::wstring value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Copies a '\0'-separated list ended by another '\0'; Windows cuts a list
// that does not fit and returns size - 2.
DWORD copy_list(const std::vector<std::wstring>& items, wchar_t* out, DWORD size) {
    if (out == nullptr || size == 0) {
        return 0;
    }
    if (size == 1) {
        out[0] = L'\0';
        return 0;
    }
    std::size_t pos = 0;
    for (const auto& item : items) {
        for (const wchar_t c : item) {
            if (pos + 2 >= size) {
                out[size - 2] = L'\0';
                out[size - 1] = L'\0';
                return size - 2;
            }
            out[pos++] = c;
        }
        if (pos + 2 > size) {
            out[size - 2] = L'\0';
            out[size - 1] = L'\0';
            return size - 2;
        }
        out[pos++] = L'\0';
    }
    out[pos] = L'\0';
    if (pos == 0) {
        out[1] = L'\0';
    }
    return static_cast<DWORD>(pos);
}

DWORD copy_string(std::wstring_view value, wchar_t* out, DWORD size) {
    if (out == nullptr || size == 0) {
        return 0;
    }
    const std::size_t n = std::min<std::size_t>(value.size(), size - 1);
    std::copy(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(n), out);
    out[n] = L'\0';
    return static_cast<DWORD>(n);
}

int hex_digit(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    return -1;
}

}  // namespace

DWORD profile_last_error() { return t_last_error; }

DWORD GetPrivateProfileStringW(const wchar_t* app, const wchar_t* key, const wchar_t* defaultValue,
                               wchar_t* returned, DWORD size, const wchar_t* fileName) {
    t_last_error = 0;
    const auto path = host_path(fileName);
    IniDocument doc;
    DWORD err = path ? load(*path, doc) : static_cast<DWORD>(win::kErrorBadPathname);
    if (app == nullptr) {
        t_last_error = err;
        return copy_list(doc.section_names(), returned, size);
    }
    if (key == nullptr) {
        if (err == 0 && !doc.has_section(app)) {
            err = win::kErrorFileNotFound;
        }
        t_last_error = err;
        return copy_list(doc.key_names(app), returned, size);
    }
    if (const auto value = doc.get(app, key)) {
        return copy_string(strip_quotes(*value), returned, size);
    }
    t_last_error = err != 0 ? err : win::kErrorFileNotFound;
    std::wstring_view def = defaultValue != nullptr ? defaultValue : L"";
    while (!def.empty() && def.back() == L' ') {
        def.remove_suffix(1);
    }
    return copy_string(def, returned, size);
}

bool WritePrivateProfileStringW(const wchar_t* app, const wchar_t* key, const wchar_t* value,
                                const wchar_t* fileName) {
    t_last_error = 0;
    if (app == nullptr) {
        // All null flushes the (non-existent) cache.
        return key == nullptr && value == nullptr && fileName == nullptr ? true : fail(win::kErrorInvalidParameter);
    }
    const auto path = host_path(fileName);
    if (!path) {
        return fail(win::kErrorBadPathname);
    }
    IniDocument doc;
    const DWORD err = load(*path, doc);
    if (err != 0 && err != win::kErrorFileNotFound) {
        return fail(err);
    }
    if (key == nullptr || value == nullptr) {
        const bool removed = key == nullptr ? doc.remove_section(app) : doc.remove_key(app, key);
        if (!removed) {
            return true;
        }
    } else {
        doc.set(app, key, value);
    }
    if (const DWORD stored = store(*path, doc); stored != 0) {
        return fail(stored);
    }
    return true;
}

bool GetPrivateProfileStructW(const wchar_t* app, const wchar_t* key, void* data, std::uint32_t size,
                              const wchar_t* fileName) {
    t_last_error = 0;
    if (app == nullptr || key == nullptr || data == nullptr) {
        return fail(win::kErrorInvalidParameter);
    }
    const auto path = host_path(fileName);
    if (!path) {
        return fail(win::kErrorBadPathname);
    }
    IniDocument doc;
    if (const DWORD err = load(*path, doc); err != 0) {
        return fail(err);
    }
    const auto value = doc.get(app, key);
    if (!value) {
        return fail(win::kErrorFileNotFound);
    }
    if (value->size() != 2 * static_cast<std::size_t>(size) + 2) {
        return fail(win::kErrorInvalidData);
    }
    std::vector<std::uint8_t> bytes(size + 1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int hi = hex_digit((*value)[2 * i]);
        const int lo = hex_digit((*value)[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return fail(win::kErrorInvalidData);
        }
        bytes[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    }
    if (sum != bytes[size]) {
        return fail(win::kErrorInvalidData);
    }
    std::copy(bytes.begin(), bytes.begin() + size, static_cast<std::uint8_t*>(data));
    return true;
}

bool WritePrivateProfileStructW(const wchar_t* app, const wchar_t* key, const void* data, std::uint32_t size,
                                const wchar_t* fileName) {
    if (data == nullptr) {
        return WritePrivateProfileStringW(app, key, nullptr, fileName);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < size; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    }
    std::wstring hex = text::to_hex_wide(std::span(bytes, size), true);
    hex += text::to_hex_wide(std::span(&sum, 1), true);
    return WritePrivateProfileStringW(app, key, hex.c_str(), fileName);
}

DWORD GetPrivateProfileSectionW(const wchar_t* app, wchar_t* returned, DWORD size, const wchar_t* fileName) {
    t_last_error = 0;
    if (app == nullptr) {
        fail(win::kErrorInvalidParameter);
        return copy_list({}, returned, size);
    }
    const auto path = host_path(fileName);
    IniDocument doc;
    const DWORD err = path ? load(*path, doc) : static_cast<DWORD>(win::kErrorBadPathname);
    t_last_error = err;
    return copy_list(doc.section_lines(app), returned, size);
}

}  // namespace rk::sys::ini
