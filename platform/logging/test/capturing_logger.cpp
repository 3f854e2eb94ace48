#include "platform/logging/test/capturing_logger.h"

#include "platform/logging/logging_errors.h"

namespace rk::logging::test {

CapturingLogger::CapturingLogger(LogLevel severity) { SetSeverity(severity); }

std::vector<LogEntry> CapturingLogger::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::vector<std::wstring> CapturingLogger::Messages() const {
    std::lock_guard lock(mutex_);
    std::vector<std::wstring> messages;
    messages.reserve(entries_.size());
    for (const auto& entry : entries_) {
        messages.push_back(entry.message);
    }
    return messages;
}

bool CapturingLogger::Contains(std::wstring_view fragment) const {
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries_) {
        if (entry.message.find(fragment) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

void CapturingLogger::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

void CapturingLogger::SetStartResult(rk::DWORD result) {
    std::lock_guard lock(mutex_);
    start_result_ = result;
}

rk::DWORD CapturingLogger::Initialize(const wchar_t*, ETWLogging::ModuleHandle, const wchar_t*, rk::DWORD) {
    return 0;
}

rk::DWORD CapturingLogger::Start() {
    std::lock_guard lock(mutex_);
    return start_result_;
}

rk::DWORD CapturingLogger::Uninitialize() { return 0; }

rk::DWORD CapturingLogger::Initialize_ex(const wchar_t*, const wchar_t*, ETWLogging::ModuleHandle, const wchar_t*,
                                         std::unique_ptr<ETWLogging::LoggingConfigListenerIf>) {
    return 0;
}

rk::DWORD CapturingLogger::LogV_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                                   const wchar_t* format, rk::text::FormatArgs args) {
    if (format == nullptr) {
        return rk::win::kErrorInvalidParameter;
    }
    if (!IsEnabled() || !IsLevelEnabled(level)) {
        return 0;
    }
    LogEntry entry{level, file != nullptr ? file : L"", function != nullptr ? function : L"", line,
                   rk::text::vformat(format, args)};
    if (entry.message.size() > ETWLogging::kMessageBufferChars) {
        entry.message.resize(ETWLogging::kMessageBufferChars);
    }
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
    return 0;
}

rk::DWORD CapturingLogger::ControlCallback(rk::DWORD, void*) { return rk::win::kErrorNotSupported; }
void CapturingLogger::SetEventClassGuid() {}

rk::DWORD CapturingLogger::GetModuleName(std::wstring& out, ETWLogging::ModuleHandle, bool) const {
    out.clear();
    return 0;
}

rk::DWORD CapturingLogger::StopTrace() { return 0; }

void CapturingLogger::FillRecord(const wchar_t* file, const wchar_t* function, int line,
                                 ETWLogging::LogRecord& record) const {
    record.file = file != nullptr ? file : L"";
    record.function = function != nullptr ? function : L"";
    record.line = static_cast<std::uint32_t>(line);
}

}  // namespace rk::logging::test
