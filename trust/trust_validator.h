// The content-trust validator: classifies a file's signatures against the
// current trusted certificate list (built in, replaced by newer signed
// content from disk), asks the content's validation library first when
// there is one, caches results per content version and can report them to
// the framework service's cache. One per process, created on first use.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "framework_client/controller.h"
#include "platform/system/file.h"
#include "trust/content_refresher.h"
#include "trust/signature_classifier.h"
#include "trust/trust_content.h"
#include "trust/validation_library.h"

namespace rk::trust {

struct ValidatorOptions {
    // Empty: the ProgramData known folder ("C:\ProgramData" when it cannot
    // be determined) + "Corvane\KTV\content\av-trust".
    std::wstring content_root;
    std::chrono::milliseconds refresh_interval{1000};
    // Where update_cache reaches the framework service.
    ctp::detail::connection_options framework;
    // Unset: asked of the system once.
    std::optional<std::uint32_t> code_integrity_options;
    std::optional<bool> protected_process;
};

struct ValidationResult {
    std::uint64_t flags = 0;
    std::uint64_t content_version = 0;
};

class TrustValidator {
public:
    // The process's validator with the deployment's options.
    static TrustValidator& instance();

    explicit TrustValidator(ValidatorOptions options);
    TrustValidator(const TrustValidator&) = delete;
    TrustValidator& operator=(const TrustValidator&) = delete;
    ~TrustValidator();

    // True when the file is signed by the maker, false when it is not,
    // nothing when that cannot be found out. The path form opens the file;
    // the File form validates the file the caller holds open (`path` names
    // it, for the library and the logs).
    std::optional<bool> validate(const std::wstring& path);
    std::optional<bool> validate(const sys::File& file, const std::wstring& path);

    // Classification flags of the file for the request flags (classification.h).
    std::error_code validate_file(const std::wstring& path, std::uint32_t request, ValidationResult& out);
    std::error_code validate_file(const sys::File& file, const std::wstring& path, std::uint32_t request,
                                  ValidationResult& out);

    // Reports one result to the framework service ("av.cache.set").
    std::error_code update_cache(const std::wstring& path, std::uint64_t flags);

    // The listed certificates that gave a file its flags, under the current
    // content (for operators).
    std::vector<CertificateHit> explain(const std::wstring& path);

    // What the last content refresh found.
    std::uint64_t content_version() const;
    std::wstring content_folder() const;

private:
    struct CacheEntry {
        std::uint64_t flags = 0;
        std::uint64_t content_version = 0;
    };

    std::optional<bool> validate_with_library(const sys::File& file, const std::wstring& path);
    std::optional<bool> ask_library(const sys::File& file, const std::wstring& path);
    bool library_trusted(const std::wstring& library_path, const sys::File& library_file);
    void refresh_if_due();
    std::uint64_t classify(std::span<const std::uint8_t> bytes, const std::wstring& path);
    std::error_code classify_file(const sys::File& file, const std::wstring& path, std::uint32_t request,
                                  std::uint64_t& flags);

    const ValidatorOptions options_;
    const std::uint32_t code_integrity_;
    const bool protected_process_;
    ContentRefresher refresher_;

    mutable std::recursive_mutex mutex_;  // everything below
    TrustContent content_;
    std::wstring content_folder_;
    std::optional<std::chrono::steady_clock::time_point> last_refresh_;
    std::map<std::wstring, CacheEntry> cache_;
    std::wstring library_path_;  // the library_ loaded (or refused) for content_folder_
    bool library_tried_ = false;
    std::unique_ptr<ValidationLibrary> library_;
};

}  // namespace rk::trust
