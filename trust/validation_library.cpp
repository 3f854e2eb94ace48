#include "trust/validation_library.h"

#include "framework_client/component_logger.h"
#include "platform/errors/error_report.h"
#include "platform/errors/windows_error_category.h"
#include "platform/system/paths.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"
#include "trust/trust_words.h"

namespace rk::trust {

namespace {

void report(DWORD error, std::wstring message) {
    ctp::detail::component_logger::instance().report(
        RK_ERROR_REPORT(dira_doro::make_win32_error_code(error), std::move(message), kComponent));
}

// Whether `path` still names the file `verified` holds, unchanged.
bool still_the_same(const std::wstring& path, const sys::File& verified) {
    sys::File again;
    sys::FileIdentity a;
    sys::FileIdentity b;
    return sys::File::open(path, {}, again) == 0 && again.identity(a) == 0 && verified.identity(b) == 0 && a == b;
}

}  // namespace

std::unique_ptr<ValidationLibrary> ValidationLibrary::load(const std::wstring& path, const sys::File& verified) {
    const auto host = sys::to_host_path(path);
    sys::SharedLibrary library;
    std::string loader_error;
    DWORD err = win::kErrorBadPathname;
    if (host && still_the_same(path, verified)) {
        err = sys::SharedLibrary::load(*host, false, library, loader_error);
    }
    if (err == 0 && !still_the_same(path, verified)) {
        library = sys::SharedLibrary();
        err = win::kErrorAccessDenied;
    }
    if (err != 0) {
        report(err, text::format(kDllLoadFailed, path));
        return nullptr;
    }
    const auto init = library.function<InitFn>(kExportInit);
    const auto validate_fn = library.function<ValidateFn>(kExportValidate);
    const auto uninit = library.function<UninitFn>(kExportUninit);
    bool complete = true;
    for (const auto& [name, found] : {std::pair{kExportInit, init != nullptr}, std::pair{kExportValidate, validate_fn != nullptr},
                                      std::pair{kExportUninit, uninit != nullptr}}) {
        if (!found) {
            report(sys::kErrorProcNotFound, text::format(kDllExportMissing, name));
            complete = false;
        }
    }
    if (!complete) {
        report(sys::kErrorProcNotFound, text::format(kDllNoExports, path));
        return nullptr;
    }
    if (const int rc = init(); rc != 0) {
        report(static_cast<DWORD>(rc), kDllInitFailed);
        return nullptr;
    }
    return std::unique_ptr<ValidationLibrary>(new ValidationLibrary(path, std::move(library), validate_fn, uninit));
}

ValidationLibrary::ValidationLibrary(std::wstring path, sys::SharedLibrary library, ValidateFn validate_fn,
                                     UninitFn uninit_fn)
    : path_(std::move(path)), library_(std::move(library)), validate_(validate_fn), uninit_(uninit_fn) {}

ValidationLibrary::~ValidationLibrary() { uninit_(); }

int ValidationLibrary::validate(const std::wstring& path, std::uint64_t& flags) const {
    unsigned long long out = 0;
    const std::string utf8 = text::wide_to_utf8(path);
    const int rc = validate_(utf8.c_str(), &out);
    flags = out;
    return rc;
}

}  // namespace rk::trust
