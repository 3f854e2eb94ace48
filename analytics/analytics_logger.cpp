#include "analytics/analytics_logger.h"

#include "analytics/analytics_log.h"
#include "platform/text/utf.h"

namespace Halden::Analytics {
namespace {
constexpr wchar_t kFile[] = L"AnalyticsLogger.cpp";
constexpr wchar_t kFunction[] = L"CAnalyticsLogger::Log";
}  // namespace

bool CAnalyticsLogger::Log(const LogStream* log_stream, const std::wstring& entry) {
    if (log_stream == nullptr || log_stream->stream == nullptr) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, kMsgNullStream);
        return false;
    }
    if (!log_stream->open) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, kMsgStreamNotOpen);
        return false;
    }
    std::ostream& out = *log_stream->stream;
    if (!out.good()) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, kMsgStreamNotGood);
        return false;
    }
    const std::string line = rk::text::wide_to_utf8(entry) + "\n";
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.flush();
    return out.good();
}

}  // namespace Halden::Analytics
