#include "platform/logging/process_logger.h"

#include <new>
#include <string>

#include "platform/logging/logging_errors.h"
#include "platform/logging/logging_if_ex.h"
#include "platform/logging/message_buffer.h"
#include "platform/logging/process_logger_holder.h"

bool IsLogLevelEnabled(LogLevel level) {
    const ETWLogging::CLoggingIf* logger = rk::logging::ProcessLoggerOrNull();
    return logger != nullptr && logger->IsLevelEnabled(level);
}

rk::DWORD LogMessage(LogLevel level, const wchar_t* sourceFile, const wchar_t* function, int line,
                     const wchar_t* format, rk::text::FormatArgs args) {
    ETWLogging::CLoggingIf* logger = rk::logging::ProcessLoggerOrNull();
    if (logger == nullptr) {
        return rk::win::kErrorNoLogger;
    }
    if (const rk::DWORD error = logger->Start(); error != rk::win::kErrorSuccess) {
        return error;
    }
    if (auto* extended = dynamic_cast<ETWLogging::CLoggingIf_ex*>(logger)) {
        return extended->LogV_ex(level, sourceFile, function, line, format, args);
    }
    if (format == nullptr) {
        return rk::win::kErrorInvalidParameter;
    }
    try {
        rk::logging::MessageBuffer buffer;
        std::wstring& message = buffer.text();
        rk::text::vformat_to(message, format, args);
        if (message.size() > ETWLogging::kLongMessageChars) {
            message.resize(ETWLogging::kTruncatedMessageChars);
        }
        return logger->Write(sourceFile, function, line, level, message.c_str());
    } catch (const std::bad_alloc&) {
        return rk::win::kErrorNotEnoughMemory;
    }
}
