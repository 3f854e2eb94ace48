#include "platform/logging/etw_logging.h"

#include <cstdlib>

#include "platform/logging/development_logging.h"
#include "platform/logging/etw_configuration_listener.h"
#include "platform/logging/etw_record_blob.h"
#include "platform/logging/logging_errors.h"
#include "platform/logging/process_facts.h"
#include "platform/system/descriptor_output.h"
#include "platform/text/numeric.h"
#include "platform/text/utf.h"

#ifndef RK_PRODUCT_VERSION
#define RK_PRODUCT_VERSION "0.0.0.0"
#endif

namespace ETWLogging {
namespace {

// Thread IDs cost a system call; each thread asks once.
std::uint32_t cached_thread_id() {
    thread_local const std::uint32_t id = rk::logging::current_thread_id();
    return id;
}

std::int64_t now_unix_millis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Module file name and version are computed once per process.
struct ModuleFacts {
    std::wstring file_name;
    std::wstring version;
};

const ModuleFacts& module_facts(ModuleHandle module) {
    static const ModuleFacts facts{rk::logging::module_path(module), ModuleFileVersion()};
    return facts;
}

}  // namespace

const wchar_t* ModuleFileVersion() {
    static const std::wstring version = rk::text::utf8_to_wide(RK_PRODUCT_VERSION);
    return version.c_str();
}

CETWLogging::CETWLogging()
    : CETWLogging(internal::MakeTraceWriter(), CDevelopmentLogging::OutputFromEnvironment()) {}

CETWLogging::CETWLogging(std::unique_ptr<internal::TraceWriterIf> writer, int echoFd,
                         std::chrono::milliseconds pollInterval)
    : writer_(std::move(writer)), echo_fd_(echoFd), poll_interval_(pollInterval) {}

CETWLogging::~CETWLogging() { StopTrace(); }

rk::DWORD CETWLogging::Initialize(const wchar_t* group, ModuleHandle module, const wchar_t* host,
                                  rk::DWORD /*options*/) {
    // The fallback after a failed Initialize_ex keeps its application name,
    // so an unknown name does not silently become the default application.
    const std::wstring name = last_application_name_;
    return Initialize_ex(name.empty() ? nullptr : name.c_str(), group, module, host, nullptr);
}

rk::DWORD CETWLogging::Initialize_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                                     const wchar_t* host, std::unique_ptr<LoggingConfigListenerIf> listener) {
    if (const rk::DWORD err = BeginInitialize(group, host); err != rk::win::kErrorSuccess) {
        return err;
    }
    last_application_name_ = applicationName != nullptr ? applicationName : L"";
    if (const rk::DWORD err = properties_.Load(applicationName); err != rk::win::kErrorSuccess) {
        return err;
    }

    std::wstring base_name;
    GetModuleName(base_name, module, true);
    module_base_name_ = base_name;
    BuildModuleKey();

    if (listener != nullptr) {
        listener_ = std::move(listener);
    } else {
        listener_ = std::make_unique<CETWConfigurationListener>(properties_.provider_key_path, properties_.root_key);
    }
    listener_->Attach(this);
    listener_->OnConfigurationChange(true, rk::log_level::kDefaultSeverity, 0);
    ApplySeverityFromEnvironment();

    process_id_ = rk::logging::current_process_id();
    const ModuleFacts& facts = module_facts(module);
    module_file_name_ = facts.file_name;
    module_file_version_ = facts.version;
    SetEventClassGuid();

    image_utf8_ = rk::text::wide_to_utf8(image_name_);
    module_utf8_ = rk::text::wide_to_utf8(module_file_name_);
    version_utf8_ = rk::text::wide_to_utf8(module_file_version_);
    group_utf8_ = rk::text::wide_to_utf8(group_);
    initialized_.store(true);
    return rk::win::kErrorSuccess;
}

rk::DWORD CETWLogging::Start() {
    std::lock_guard lock(registration_mutex_);
    if (started_) {
        return rk::win::kErrorSuccess;
    }
    started_ = true;
    {
        std::lock_guard poller_lock(poller_mutex_);
        poller_stop_ = false;
    }
    // A session that was already recording when the process started is seen
    // before the first line is written.
    PollSession();
    try {
        poller_ = std::thread([this] { PollerLoop(); });
    } catch (const std::system_error&) {
        // Without the poller, sessions started later are not noticed; the
        // lines of a session seen above still flow.
    }
    return rk::win::kErrorSuccess;
}

void CETWLogging::PollerLoop() {
    std::unique_lock lock(poller_mutex_);
    while (!poller_wake_.wait_for(lock, poll_interval_, [this] { return poller_stop_; })) {
        lock.unlock();
        PollSession();
        lock.lock();
    }
}

bool CETWLogging::IsStarted() const {
    std::lock_guard lock(registration_mutex_);
    return started_;
}

rk::DWORD CETWLogging::StopTrace() {
    std::lock_guard lock(registration_mutex_);
    if (!started_) {
        return rk::win::kErrorSuccess;
    }
    {
        std::lock_guard poller_lock(poller_mutex_);
        poller_stop_ = true;
    }
    poller_wake_.notify_all();
    if (poller_.joinable()) {
        poller_.join();
    }
    started_ = false;
    // Unregistered: a later Start sees the sessions afresh.
    std::lock_guard poll_lock(poll_mutex_);
    last_session_ = {};
    trace_logger_handle_.store(0);
    return rk::win::kErrorSuccess;
}

void CETWLogging::PollSession() {
    if (writer_ == nullptr) {
        return;
    }
    std::lock_guard lock(poll_mutex_);
    const internal::TraceSessionState now = writer_->Poll();
    if (now == last_session_) {
        return;
    }
    const bool was_enabled = last_session_.enabled;
    last_session_ = now;
    if (now.enabled) {
        TraceEnableContext context{1, now.level, now.flags};
        ControlCallback(kWmiEnableEvents, &context);
    } else if (was_enabled) {
        ControlCallback(kWmiDisableEvents, nullptr);
    }
}

namespace {

// The trace system's last error, as GetTraceLoggerHandle leaves it: set by
// the handle lookup (invalid handle, or success), untouched by reading the
// level and flags of a valid handle.
thread_local rk::DWORD t_trace_last_error = rk::win::kErrorSuccess;

std::uint64_t TraceLoggerHandle(const TraceEnableContext* enable) {
    const std::uint64_t handle = enable != nullptr ? enable->logger_handle : 0;
    t_trace_last_error = handle == 0 ? rk::win::kErrorInvalidHandle : rk::win::kErrorSuccess;
    return handle;
}

}  // namespace

rk::DWORD CETWLogging::ControlCallback(rk::DWORD requestCode, void* context) {
    switch (requestCode) {
        case kWmiEnableEvents: {
            const auto* enable = static_cast<const TraceEnableContext*>(context);
            const std::uint64_t handle = TraceLoggerHandle(enable);
            if (handle == 0) {
                return t_trace_last_error;
            }
            trace_logger_handle_.store(handle);
            if (enable->enable_level == 0) {
                return t_trace_last_error;
            }
            if (listener_ != nullptr) {
                listener_->OnConfigurationChange(true, enable->enable_level, enable->enable_flags);
            }
            return rk::win::kErrorSuccess;
        }
        case kWmiDisableEvents:
            if (listener_ != nullptr) {
                listener_->OnConfigurationChange(false, GetSeverity(), 0);
            }
            trace_logger_handle_.store(0);
            return rk::win::kErrorSuccess;
        default:
            return rk::win::kErrorInvalidParameter;
    }
}

rk::DWORD CETWLogging::Uninitialize() {
    if (!initialized_.load()) {
        return kErrorNotInitialized;
    }
    Shutdown();
    structured_registered_.store(false);
    initialized_.store(false);
    return rk::win::kErrorSuccess;
}

bool CETWLogging::IsLevelEnabled(LogLevel level) const {
    return CLoggerBase::IsLevelEnabled(level);
}

void CETWLogging::SetFlags(rk::DWORD flags) {
    CLoggerBase::SetFlags(flags);
    structured_registered_.store((flags & kFlagStructuredProvider) != 0);
}

rk::DWORD CETWLogging::LogV_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                               const wchar_t* format, rk::text::FormatArgs args) {
    if (format == nullptr) {
        return rk::win::kErrorInvalidParameter;
    }
    if (!IsEnabled() || !IsLevelEnabled(level)) {
        return rk::win::kErrorSuccess;
    }
    const LogLevel etw_level = MapLevel(level);
    const bool classic = writer_ != nullptr && IsAttached() && writer_->IsClassicEnabled(etw_level);
    const bool structured = writer_ != nullptr && structured_registered_.load() && writer_->IsStructuredEnabled();
    if (!classic && !structured && echo_fd_ < 0) {
        return rk::win::kErrorSuccess;  // nobody would see the line
    }

    std::wstring message = rk::text::vformat(format, args);
    if (message.size() > kMessageBufferChars) {
        message.resize(kMessageBufferChars);
    }
    const wchar_t* const safe_file = file != nullptr ? file : L"";
    const wchar_t* const safe_function = function != nullptr ? function : L"";

    if (classic || structured) {
        const std::string message_utf8 = rk::text::wide_to_utf8(message);
        const std::string file_utf8 = rk::text::wide_to_utf8(safe_file);
        const std::string function_utf8 = rk::text::wide_to_utf8(safe_function);
        if (structured) {
            internal::StructuredEvent event;
            event.group = group_utf8_;
            event.module = module_utf8_;
            event.version = version_utf8_;
            event.file = file_utf8;
            event.function = function_utf8;
            event.line = static_cast<std::uint32_t>(line);
            event.message = message_utf8;
            writer_->WriteStructured(event);
        }
        if (classic) {
            LogRecord record;
            FillRecord(safe_file, safe_function, line, record);
            internal::CRecordBlob blob;
            blob.Build(record, message_utf8.size());
            internal::ClassicEvent event;
            event.etw_level = etw_level;
            event.process_id = record.process_id;
            event.thread_id = record.thread_id;
            event.image = image_utf8_;
            event.file = file_utf8;
            event.function = function_utf8;
            event.line = record.line;
            event.module = module_utf8_;
            event.version = version_utf8_;
            event.group = group_utf8_;
            event.message = message_utf8;
            event.record = blob.bytes().data();
            event.record_length = blob.size();
            writer_->WriteClassic(event);
        }
    }
    if (echo_fd_ >= 0) {
        rk::sys::write_descriptor(echo_fd_, CDevelopmentLogging::FormatLine(level, safe_file, safe_function, line, message,
                                                            process_id_, cached_thread_id(), now_unix_millis()));
    }
    return rk::win::kErrorSuccess;
}

void CETWLogging::SetEventClassGuid() { event_class_guid_ = kEventClassGuid; }

rk::DWORD CETWLogging::GetModuleName(std::wstring& out, ModuleHandle module, bool stripExtension) const {
    std::wstring name = rk::logging::file_name_of(rk::logging::module_path(module));
    out = stripExtension ? rk::logging::strip_extension(name) : name;
    return rk::win::kErrorSuccess;
}

void CETWLogging::FillRecord(const wchar_t* file, const wchar_t* function, int line, LogRecord& record) const {
    record.process_id = process_id_;
    record.thread_id = cached_thread_id();
    record.file = file != nullptr ? file : L"";
    record.function = function != nullptr ? function : L"";
    record.line = static_cast<std::uint32_t>(line);
    record.group = group_;
    if (record.module_file_name.empty()) {
        record.module_file_name = module_file_name_;
    }
    record.module_file_version = module_file_version_;
    record.image_name = image_name_;
}

}  // namespace ETWLogging
