#include "platform/logging/logger_base.h"

#include <cstdlib>

#include "platform/logging/development_logging.h"
#include "platform/logging/logging_errors.h"
#include "platform/logging/process_facts.h"
#include "platform/text/numeric.h"
#include "platform/text/utf.h"

namespace ETWLogging {
namespace {

bool given_but_empty(const wchar_t* text) { return text != nullptr && text[0] == L'\0'; }

}  // namespace

rk::DWORD CLoggerBase::BeginInitialize(const wchar_t* group, const wchar_t* host) {
    if (initialized_.load()) {
        return kErrorAlreadyInitialized;
    }
    if (given_but_empty(group) || given_but_empty(host)) {
        return rk::win::kErrorInvalidParameter;
    }
    group_ = group != nullptr ? group : L"";
    host_ = host != nullptr ? host : L"";
    image_name_ = rk::logging::file_name_of(rk::logging::process_image_path());
    return rk::win::kErrorSuccess;
}

void CLoggerBase::ApplySeverityFromEnvironment() {
    if (const char* severity = std::getenv(kLogSeverityVariable); severity != nullptr) {
        if (const auto value = rk::text::parse_uint32_exact(rk::text::utf8_to_wide(severity))) {
            SetSeverity(static_cast<LogLevel>(*value));
        }
    }
}

rk::DWORD CLoggerBase::GetModuleKey(std::wstring& out) const {
    out = module_key_;
    return rk::win::kErrorSuccess;
}

rk::DWORD CLoggerBase::GetGroup(std::wstring& out) const {
    out = group_;
    return rk::win::kErrorSuccess;
}

void CLoggerBase::SetEnabled(bool enabled) { enabled_.store(enabled); }

bool CLoggerBase::IsEnabled() const { return enabled_.load(); }

rk::DWORD CLoggerBase::Log(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                           const wchar_t* format, rk::text::FormatArgs args) {
    if (!IsEnabled() || !IsLevelEnabled(level) || format == nullptr || format[0] == L'\0') {
        return rk::win::kErrorSuccess;
    }
    return LogV_ex(level, file, function, line, format, args);
}

rk::DWORD CLoggerBase::Write(const wchar_t* file, const wchar_t* function, int line, LogLevel level,
                             const wchar_t* message) {
    return Write_ex(level, file, function, line, message);
}

bool CLoggerBase::IsLevelEnabled(LogLevel level) const {
    return rk::log_level::passes_filter(level, severity_.load(std::memory_order_relaxed));
}

void CLoggerBase::SetMaxEntries(rk::DWORD /*entries*/) {}
rk::DWORD CLoggerBase::GetMaxEntries() const { return 0; }
void CLoggerBase::SetMaxSize(rk::DWORD /*bytes*/) {}
rk::DWORD CLoggerBase::GetMaxSize() const { return 0; }

void CLoggerBase::SetSeverity(LogLevel severity) { severity_.store(rk::log_level::clamp_severity(severity)); }

LogLevel CLoggerBase::GetSeverity() const { return severity_.load(); }

void CLoggerBase::SetFlags(rk::DWORD flags) { flags_.store(flags); }

rk::DWORD CLoggerBase::AddRef() { return refs_.fetch_add(1) + 1; }

rk::DWORD CLoggerBase::Release() {
    rk::DWORD current = refs_.load();
    while (current > 0 && !refs_.compare_exchange_weak(current, current - 1)) {
    }
    return current > 0 ? current - 1 : 0;
}

void CLoggerBase::BuildModuleKey() {
    module_key_ = module_base_name_.empty() ? group_ : group_ + L"\\" + module_base_name_;
}

}  // namespace ETWLogging
