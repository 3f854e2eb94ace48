#include "trust/trust_validator.h"

#include "framework_client/client_instance_impl.h"
#include "framework_client/component_logger.h"
#include "framework_client/scoped_trace.h"
#include "platform/errors/error_report.h"
#include "platform/errors/windows_error_category.h"
#include "platform/system/code_integrity.h"
#include "platform/system/codesign/code_signature.h"
#include "platform/system/file_view.h"
#include "platform/system/known_folders.h"
#include "platform/text/format.h"
#include "platform/text/json.h"
#include "platform/text/utf.h"
#include "profile/profile_data.h"
#include "trust/classification.h"
#include "trust/signature_classifier.h"
#include "trust/trust_words.h"

namespace rk::trust {

namespace {

constexpr LogLevel kProgress = rk::log_level::kProgress;
using clock_type = std::chrono::steady_clock;

void report(std::error_code code, std::wstring message) {
    ctp::detail::component_logger::instance().report(RK_ERROR_REPORT(code, std::move(message), kComponent));
}

std::error_code win32(DWORD error) { return dira_doro::make_win32_error_code(error); }

int length(const std::wstring& s) { return static_cast<int>(s.size()); }

const sys::codesign::TrustPolicy& policy() {
    static const sys::codesign::TrustPolicy p = [] {
        sys::codesign::TrustPolicy t;
        t.publisher_names.assign(profile::kPublisherNames.begin(), profile::kPublisherNames.end());
        t.pinned_roots.assign(profile::kPinnedRootSha1.begin(), profile::kPinnedRootSha1.end());
        return t;
    }();
    return p;
}

std::wstring default_content_root() {
    std::wstring program_data;
    if (sys::KnownFolders().path(sys::KnownFolder::ProgramData, program_data) != 0 || program_data.empty()) {
        program_data = kDefaultProgramData;
    }
    return program_data + L"\\" + kContentRoot;
}

std::uint32_t code_integrity(const ValidatorOptions& options) {
    if (options.code_integrity_options) {
        return *options.code_integrity_options;
    }
    std::uint32_t value = 0;
    return sys::query_code_integrity_options(value) == 0 ? value : 0;
}

// The cache key of a file by its identity: what changes when the file is
// replaced or written (device, inode, size, change time).
bool identity_key(const sys::File& file, std::wstring& key) {
    sys::FileIdentity id;
    if (file.identity(id) != 0) {
        return false;
    }
    key = text::format(L"id:%llu:%llu:%llu:%lld", id.device, id.inode, id.size, id.change_time_ns);
    return true;
}

bool same_identity(const sys::File& file, const std::wstring& path) {
    sys::File again;
    sys::FileIdentity a;
    sys::FileIdentity b;
    return sys::File::open(path, {}, again) == 0 && again.identity(a) == 0 && file.identity(b) == 0 && a == b;
}

}  // namespace

TrustValidator& TrustValidator::instance() {
    static TrustValidator validator([] {
        ValidatorOptions options;
        options.framework = ctp::detail::default_client_options().communicator.connection;
        return options;
    }());
    return validator;
}

TrustValidator::TrustValidator(ValidatorOptions options)
    : options_(std::move(options)),
      code_integrity_(code_integrity(options_)),
      protected_process_(options_.protected_process.value_or(sys::is_protected_process())),
      refresher_(options_.content_root.empty() ? default_content_root() : options_.content_root),
      content_(builtin_content()) {}

TrustValidator::~TrustValidator() = default;

std::uint64_t TrustValidator::content_version() const {
    std::lock_guard lock(mutex_);
    return content_.version;
}

std::wstring TrustValidator::content_folder() const {
    std::lock_guard lock(mutex_);
    return content_folder_;
}

std::uint64_t TrustValidator::classify(std::span<const std::uint8_t> bytes, const std::wstring& path) {
    const auto signatures = sys::codesign::verify_signature_bytes(bytes, policy());
    return SignatureClassifier(content_).classify(signatures, [&](const CertificateHit& hit) {
        CTP_LOG(kProgress, kLogCert, length(path), path, static_cast<unsigned>(hit.index), hit.count, hit.name,
                static_cast<unsigned>(hit.type), hit.flags, flag_tags(hit.flags));
    });
}

std::error_code TrustValidator::classify_file(const sys::File& file, const std::wstring& path, std::uint32_t request,
                                              std::uint64_t& flags) {
    flags = 0;
    // Catalog signatures do not exist on this platform: only embedded ones.
    if ((request & request::kEmbedded) == 0) {
        return {};
    }
    sys::FileView view;
    DWORD err = sys::FileView::open(file, view);
    if (err == 0) {
        flags = classify(view.bytes(), path);
        if (!view.intact()) {
            err = win::kErrorHandleEof;  // changed while it was read: the answer means nothing
        }
    }
    if (err != 0) {
        flags = 0;
        report(win32(err), text::format(kSignaturesFailed, length(path), path));
        return win32(err);
    }
    return {};
}

void TrustValidator::refresh_if_due() {
    const auto now = clock_type::now();
    if (last_refresh_ && now - *last_refresh_ < options_.refresh_interval) {
        return;
    }
    last_refresh_ = now;
    std::wstring folder;
    auto newer = refresher_.refresh(
        content_.version, [&](std::span<const std::uint8_t> bytes) { return classify(bytes, folder + L"\\" + kCabName); },
        folder);
    if (folder != content_folder_) {
        content_folder_ = folder;
        library_.reset();
        library_tried_ = false;
    }
    if (newer) {
        content_ = std::move(*newer);
    }
}

std::error_code TrustValidator::validate_file(const std::wstring& path, std::uint32_t request, ValidationResult& out) {
    sys::File file;
    if (const DWORD err = sys::File::open(path, {}, file); err != 0) {
        report(win32(err), text::format(kSignaturesFailed, length(path), path));
        return win32(err);
    }
    return validate_file(file, path, request, out);
}

std::error_code TrustValidator::validate_file(const sys::File& file, const std::wstring& path, std::uint32_t request,
                                              ValidationResult& out) {
    ctp::detail::scoped_trace trace(kTraceComponent, "validate_file");
    std::wstring key = L"path:" + path;
    if ((request & request::kJournalIdentity) != 0 && !identity_key(file, key)) {
        const auto ec = win32(win::kErrorInvalidHandle);
        report(ec, text::format(kJournalInfoFailed, length(path), path, &file));
        return ec;
    }
    std::uint64_t flags = 0;
    std::uint64_t version = 0;
    {
        std::lock_guard lock(mutex_);
        refresh_if_due();
        version = content_.version;
        const auto hit = cache_.find(key);
        if (hit != cache_.end() && hit->second.content_version == version) {
            flags = hit->second.flags;
            CTP_LOG(kProgress, kLogCached, length(path), path, flags, flag_tags(flags));
            out = {flags, version};
            trace.set_exit_detail(text::format(kLogExitDetail, length(path), path, version, flags, flag_tags(flags)));
            return {};
        }
        if (auto ec = classify_file(file, path, request, flags)) {
            return ec;
        }
        cache_[key] = {flags, version};
    }
    if ((request & request::kReportToCache) != 0) {
        update_cache(path, flags);  // a failure never changes the answer
    }
    out = {flags, version};
    trace.set_exit_detail(text::format(kLogExitDetail, length(path), path, version, flags, flag_tags(flags)));
    return {};
}

bool TrustValidator::library_trusted(const std::wstring& library_path, const sys::File& library_file) {
    if (protected_process_) {
        CTP_LOG(kProgress, kLogSkipPpl, library_path);
        return true;
    }
    if ((code_integrity_ & (sys::kCodeIntegrityTestSign | sys::kCodeIntegrityDebugModeEnabled)) != 0) {
        CTP_LOG(kProgress, kLogSkipTestMode, library_path);
        return true;
    }
    std::uint64_t flags = 0;
    if (classify_file(library_file, library_path, request::kEmbedded, flags)) {
        report(win32(win::kErrorInvalidData), text::format(kDllValidateFailed, library_path));
        return false;
    }
    if ((flags & flag::kIsCorvane) == 0) {
        report(win32(win::kErrorAccessDenied), text::format(kDllNotSigned, library_path));
        return false;
    }
    return true;
}

std::optional<bool> TrustValidator::ask_library(const sys::File& file, const std::wstring& path) {
    std::lock_guard lock(mutex_);
    refresh_if_due();
    if (content_folder_.empty()) {
        return std::nullopt;
    }
    if (!library_tried_) {
        library_tried_ = true;
        library_path_ = content_folder_ + L"\\" + kLibraryName;
        sys::File library_file;
        const DWORD err = sys::File::open(library_path_, {}, library_file);
        if (err == win::kErrorFileNotFound) {
            return std::nullopt;  // the library is optional
        }
        if (err != 0) {
            report(win32(err), text::format(kDllLoadFailed, library_path_));
        } else if (library_trusted(library_path_, library_file)) {
            library_ = ValidationLibrary::load(library_path_, library_file);
        }
        if (!library_) {
            report(win32(win::kErrorInvalidFunction), kTrustDllFailed);
        }
    }
    if (!library_) {
        return std::nullopt;
    }
    // The library reads the file by its path: its answer counts only when
    // the path names the file we hold, unchanged, before and after.
    if (!same_identity(file, path)) {
        return std::nullopt;
    }
    std::uint64_t flags = 0;
    const int rc = library_->validate(path, flags);
    if (!same_identity(file, path)) {
        return std::nullopt;
    }
    CTP_LOG(kProgress, kLogValidatedDll, length(path), path, rc, flags, flag_tags(flags));
    if (rc == 0 && (flags & flag::kIsCorvane) != 0) {
        CTP_LOG(kProgress, kLogDllSigned, length(path), path);
        return true;
    }
    return false;
}

std::optional<bool> TrustValidator::validate(const std::wstring& path) {
    sys::File file;
    if (const DWORD err = sys::File::open(path, {}, file); err != 0) {
        report(win32(err), text::format(kSignaturesFailed, length(path), path));
        return std::nullopt;
    }
    return validate(file, path);
}

std::optional<bool> TrustValidator::validate(const sys::File& file, const std::wstring& path) {
    try {
        if (ask_library(file, path).value_or(false)) {
            return true;
        }
        ValidationResult result;
        if (auto ec = validate_file(file, path, request::kJournalIdentity | request::kEmbedded | request::kCatalog,
                                    result)) {
            report(ec, text::format(kLibValidateFailed, length(path), path));
            return std::nullopt;
        }
        CTP_LOG(kProgress, kLogValidatedLib, length(path), path, result.flags, flag_tags(result.flags));
        return (result.flags & flag::kIsCorvane) != 0;
    } catch (...) {
        report(win32(win::kErrorInvalidFunction), kExceptionInValidate);
        return std::nullopt;
    }
}

std::vector<CertificateHit> TrustValidator::explain(const std::wstring& path) {
    std::vector<CertificateHit> hits;
    sys::File file;
    sys::FileView view;
    if (sys::File::open(path, {}, file) != 0 || sys::FileView::open(file, view) != 0) {
        return hits;
    }
    std::lock_guard lock(mutex_);
    refresh_if_due();
    SignatureClassifier(content_).classify(sys::codesign::verify_signature_bytes(view.bytes(), policy()),
                                           [&](const CertificateHit& hit) { hits.push_back(hit); });
    return hits;
}

std::error_code TrustValidator::update_cache(const std::wstring& path, std::uint64_t flags) {
    // D-Bus needs no per-thread initialization ("failed to initialize COM"
    // cannot happen here).
    std::unique_ptr<ctp::detail::controller> controller;
    if (auto ec = ctp::detail::controller::create(options_.framework, controller)) {
        report(ec, kNoControllerNoCache);
        return ec;
    }
    const std::wstring payload =
        text::utf8_to_wide(text::json::ObjectWriter().add(kFieldTarget, path).add(kFieldFlags, flags).text());
    std::int32_t hr = 0;
    std::uint32_t result = 0;
    auto ec = controller->invoke_rpc(kCacheProcedure, payload, hr, result);
    CTP_LOG(kProgress, kLogUpdateCache, payload, hr, result);
    if (!ec && hr < 0) {
        ec = std::error_code(hr, dira_doro::win32_category());
    }
    if (ec) {
        report(ec, kUpdateCacheFailed);
    }
    return ec;
}

}  // namespace rk::trust
