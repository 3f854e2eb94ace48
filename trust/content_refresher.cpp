#include "trust/content_refresher.h"

#include <atomic>
#include <filesystem>
#include <vector>

#include "framework_client/component_logger.h"
#include "platform/errors/error_report.h"
#include "platform/errors/windows_error_category.h"
#include "platform/system/cabinet/cabinet_extractor.h"
#include "platform/system/file.h"
#include "platform/system/files.h"
#include "platform/system/known_folders.h"
#include "platform/system/paths.h"
#include "platform/system/process_info.h"
#include "platform/text/format.h"
#include "trust/classification.h"
#include "trust/content_version.h"
#include "trust/trust_words.h"

namespace rk::trust {

namespace {

constexpr LogLevel kProgress = rk::log_level::kProgress;
namespace fs = std::filesystem;

void report(std::error_code code, std::wstring message) {
    ctp::detail::component_logger::instance().report(RK_ERROR_REPORT(code, std::move(message), kComponent));
}

std::error_code win32(DWORD error) { return dira_doro::make_win32_error_code(error); }

// Reads a whole file of at most `limit` bytes.
DWORD read_file(const fs::path& host, std::uint64_t limit, std::vector<std::uint8_t>& out) {
    sys::File file;
    DWORD err = sys::File::open_host(host, {}, file);
    std::uint64_t size = 0;
    if (err != 0 || (err = file.size(size)) != 0) {
        return err;
    }
    if (size > limit) {
        return win::kErrorFileTooLarge;
    }
    out.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < out.size()) {
        std::size_t n = 0;
        if ((err = file.read(out.data() + done, out.size() - done, n)) != 0) {
            return err;
        }
        if (n == 0) {
            return win::kErrorHandleEof;  // cut short while read
        }
        done += n;
    }
    return 0;
}

// A scratch folder of its own below the temporary folder, removed with
// the object.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<unsigned> counter{0};
        const std::wstring temp = sys::temp_dir();
        if (!temp.empty()) {
            path_ = temp + L"\\rk-trust-" + std::to_wstring(sys::current_process_id()) + L"-" +
                    std::to_wstring(++counter);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        if (!path_.empty()) {
            sys::delete_tree(path_);
        }
    }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

}  // namespace

std::wstring ContentRefresher::latest_version_folder() const {
    CTP_LOG(kProgress, kLogLookingForContent, root_);
    std::wstring latest;
    std::optional<ContentVersion> best;
    const auto host_root = sys::to_host_path(root_);
    std::error_code ec;
    if (host_root) {
        for (fs::directory_iterator it(*host_root, ec), end; !ec && it != end; it.increment(ec)) {
            const std::wstring name = sys::wide_path(it->path().filename());
            const std::wstring item = root_ + L"\\" + name;
            CTP_LOG(kProgress, kLogCheckingFolder, item);
            std::error_code status_ec;
            // A link is not a folder of ours, whatever it points at.
            const auto status = it->symlink_status(status_ec);
            if (status_ec) {
                report(status_ec, text::format(kIsDirectoryFailed, item));
                continue;
            }
            if (!fs::is_directory(status)) {
                CTP_LOG(kProgress, kLogSkipNonDirectory, item);
                continue;
            }
            const auto version = parse_content_version(name);
            if (!version) {
                report(win32(win::kErrorInvalidName), text::format(kIgnoringFolder, item));
                continue;
            }
            if (!best || *version > *best) {
                best = version;
                latest = item;
            }
        }
    }
    if (latest.empty()) {
        report(win32(win::kErrorPathNotFound), kNoVersionFolder);
        return {};
    }
    CTP_LOG(kProgress, kLogLatestFolder, latest);
    return latest;
}

std::optional<TrustContent> ContentRefresher::refresh(std::uint64_t current_version, const ClassifyBytes& classify,
                                                      std::wstring& latest_folder) const {
    latest_folder = latest_version_folder();
    if (latest_folder.empty()) {
        return std::nullopt;
    }
    const std::wstring cab = latest_folder + L"\\" + kCabName;
    const int cab_len = static_cast<int>(cab.size());
    std::vector<std::uint8_t> bytes;
    const auto host = sys::to_host_path(cab);
    const DWORD err = host ? read_file(*host, kMaxCabinetBytes, bytes) : win::kErrorBadPathname;
    if (err != 0) {
        report(win32(err), text::format(kValidateCabFailed, cab_len, cab));
        return std::nullopt;
    }
    const std::uint64_t flags = classify(bytes);
    const bool by_maker = (flags & flag::kIsCorvane) != 0;
    CTP_LOG(kProgress, kLogValidatedCab, cab_len, cab, flags, by_maker ? "is" : "is not", by_maker ? 1 : 0);
    if (!by_maker) {
        CTP_LOG(kProgress, kLogCabNotSigned, cab_len, cab);
        return std::nullopt;
    }
    auto content = read_cabinet(cab, bytes);
    if (!content) {
        CTP_LOG(kProgress, kLogNoContentContinue, cab_len, cab);
        return std::nullopt;
    }
    if (content->version <= current_version) {
        CTP_LOG(kProgress, kLogNotNewer, cab_len, cab, content->version, current_version);
        return std::nullopt;
    }
    return content;
}

std::optional<TrustContent> ContentRefresher::read_cabinet(const std::wstring& cab,
                                                           std::span<const std::uint8_t> bytes) const {
    const int cab_len = static_cast<int>(cab.size());
    ScratchFolder scratch;
    std::vector<std::wstring> names;
    fs::path content_path;
    sys::cabinet::ExtractOptions options;
    options.filter = [&](const sys::cabinet::CabinetFile& f) {
        names.push_back(f.name);
        return f.name == kContentName;
    };
    options.on_file = [&](const sys::cabinet::CabinetFile& f, const fs::path& path) {
        if (f.name == kContentName) {
            content_path = path;
        }
        return true;
    };
    options.max_unpacked_bytes = kMaxContentBytes;
    sys::cabinet::ExtractResult result;
    result.fdi = dira_doro::FdiError::target_file;
    if (!scratch.path().empty()) {
        result = sys::cabinet::extract_cabinet(bytes, scratch.path(), options);
    }
    if (!result.ok()) {
        report(result.error(), text::format(kReadCabFailed, cab_len, cab));
        return std::nullopt;
    }
    CTP_LOG(kProgress, kLogReadFiles, names.size(), cab_len, cab);
    if (names.empty()) {
        report(win32(win::kErrorFileNotFound), text::format(kNoContentAt, cab));
        return std::nullopt;
    }
    std::optional<TrustContent> found;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] != kContentName || content_path.empty() || found) {
            CTP_LOG(kProgress, kLogIgnoreFile, names[i], i + 1, names.size(), cab_len, cab);
            continue;
        }
        std::vector<std::uint8_t> text;
        TrustContent content;
        std::wstring why;
        const DWORD err = read_file(content_path, kMaxContentBytes, text);
        if (err == 0 &&
            parse_trust_content(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), content,
                                why)) {
            CTP_LOG(kProgress, kLogParsedContent, content.version, names[i], i + 1, names.size(), cab_len, cab);
            found = std::move(content);
        } else {
            if (!why.empty()) {
                report(win32(win::kErrorInvalidData), why);
            }
            report(win32(err != 0 ? err : win::kErrorInvalidData),
                   text::format(kParseContentFailed, names[i], i + 1, names.size(), cab_len, cab));
        }
    }
    if (!found) {
        report(win32(win::kErrorFileNotFound), text::format(kNoContentFrom, cab_len, cab));
    }
    return found;
}

}  // namespace rk::trust
