#include "platform/logging/development_logging.h"

#include <chrono>
#include <cstdlib>

#include "platform/logging/logging_errors.h"
#include "platform/logging/process_facts.h"
#include "platform/system/calendar_time.h"
#include "platform/system/descriptor_output.h"
#include "platform/text/numeric.h"
#include "platform/text/utf.h"

namespace ETWLogging {
namespace {

bool variable_is_set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' && std::string_view(value) != "0";
}

std::int64_t now_unix_millis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

CDevelopmentLogging::CDevelopmentLogging(int fd) : fd_(fd) {}

CDevelopmentLogging::~CDevelopmentLogging() = default;

int CDevelopmentLogging::OutputFromEnvironment() { return variable_is_set(kLogStderrVariable) ? rk::sys::kStandardErrorDescriptor : -1; }

std::string CDevelopmentLogging::FormatLine(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                                            std::wstring_view message, std::uint32_t processId,
                                            std::uint32_t threadId, std::int64_t unixMillis) {
    rk::sys::CalendarTime utc;
    rk::sys::utc_calendar_time(unixMillis / 1000, utc);
    const wchar_t* name = rk::log_level::name(level);
    const std::wstring file_name = rk::logging::file_name_of(file != nullptr ? file : L"");
    std::wstring text = rk::text::format(
        L"%04d-%02d-%02dT%02d:%02d:%02d.%03dZ %ls(%u) [%u:%u] %ls (%ls:%d): ", utc.year, utc.month, utc.day,
        utc.hour, utc.minute, utc.second, static_cast<int>(unixMillis % 1000),
        name != nullptr ? name : L"Level", level, processId, threadId, function != nullptr ? function : L"",
        file_name, line);
    text.append(message);
    if (text.empty() || text.back() != L'\n') {
        text.push_back(L'\n');
    }
    return rk::text::wide_to_utf8(text);
}

void CDevelopmentLogging::WriteLine(const std::string& line) const {
    // A log line is not worth failing the caller for.
    rk::sys::write_descriptor(fd_, line);
}

rk::DWORD CDevelopmentLogging::InitializeCommon(const wchar_t* group, ModuleHandle module, const wchar_t* host,
                                                std::unique_ptr<LoggingConfigListenerIf> listener) {
    if (const rk::DWORD err = BeginInitialize(group, host); err != rk::win::kErrorSuccess) {
        return err;
    }
    module_file_name_ = rk::logging::module_path(module);
    module_base_name_ = rk::logging::strip_extension(rk::logging::file_name_of(module_file_name_));
    BuildModuleKey();

    listener_ = std::move(listener);
    if (listener_ != nullptr && listener_->Attach(this)) {
        listener_->OnConfigurationChange(true, rk::log_level::kDefaultSeverity, 0);
    } else {
        SetEnabled(true);
        SetSeverity(rk::log_level::kDefaultSeverity);
        SetFlags(0);
    }
    ApplySeverityFromEnvironment();
    initialized_.store(true);
    return rk::win::kErrorSuccess;
}

rk::DWORD CDevelopmentLogging::Initialize(const wchar_t* group, ModuleHandle module, const wchar_t* host,
                                          rk::DWORD /*options*/) {
    return InitializeCommon(group, module, host, nullptr);
}

rk::DWORD CDevelopmentLogging::Initialize_ex(const wchar_t* /*applicationName*/, const wchar_t* group,
                                             ModuleHandle module, const wchar_t* host,
                                             std::unique_ptr<LoggingConfigListenerIf> listener) {
    return InitializeCommon(group, module, host, std::move(listener));
}

rk::DWORD CDevelopmentLogging::Start() { return rk::win::kErrorSuccess; }

rk::DWORD CDevelopmentLogging::Uninitialize() {
    if (!initialized_.load()) {
        return kErrorNotInitialized;
    }
    Shutdown();
    initialized_.store(false);
    return rk::win::kErrorSuccess;
}

rk::DWORD CDevelopmentLogging::LogV_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                                       const wchar_t* format, rk::text::FormatArgs args) {
    if (format == nullptr) {
        return rk::win::kErrorInvalidParameter;
    }
    if (!IsEnabled() || !IsLevelEnabled(level) || fd_ < 0) {
        return rk::win::kErrorSuccess;
    }
    std::wstring message = rk::text::vformat(format, args);
    if (message.size() > kMessageBufferChars) {
        message.resize(kMessageBufferChars);
    }
    WriteLine(FormatLine(level, file, function, line, message, rk::logging::current_process_id(),
                         rk::logging::current_thread_id(), now_unix_millis()));
    return rk::win::kErrorSuccess;
}

rk::DWORD CDevelopmentLogging::ControlCallback(rk::DWORD /*requestCode*/, void* /*context*/) {
    return rk::win::kErrorNotSupported;  // no trace system drives this logger
}

void CDevelopmentLogging::SetEventClassGuid() {}

rk::DWORD CDevelopmentLogging::GetModuleName(std::wstring& out, ModuleHandle module, bool stripExtension) const {
    const std::wstring path = rk::logging::module_path(module);
    if (path.empty()) {
        return rk::win::kErrorInvalidParameter;
    }
    out = rk::logging::file_name_of(path);
    if (stripExtension) {
        out = rk::logging::strip_extension(out);
    }
    return rk::win::kErrorSuccess;
}

rk::DWORD CDevelopmentLogging::StopTrace() { return rk::win::kErrorSuccess; }

void CDevelopmentLogging::FillRecord(const wchar_t* file, const wchar_t* function, int line,
                                     LogRecord& record) const {
    record.process_id = rk::logging::current_process_id();
    record.thread_id = rk::logging::current_thread_id();
    record.file = file != nullptr ? file : L"";
    record.function = function != nullptr ? function : L"";
    record.line = static_cast<std::uint32_t>(line);
    record.group = group_;
    if (record.module_file_name.empty()) {
        record.module_file_name = module_file_name_;
    }
    record.module_file_version.clear();
    record.image_name = image_name_;
}

}  // namespace ETWLogging
