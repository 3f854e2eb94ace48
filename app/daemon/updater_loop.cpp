#include "app/daemon/updater_loop.h"

#include <future>
#include <utility>

#include "platform/logging/process_logger.h"
#include "platform/text/numeric.h"
#include "telemetry/rk_updater_module_events.h"
#include "telemetry/updater_events.h"

namespace rk::app {
namespace {

constexpr wchar_t kFile[] = L"updater_loop.cpp";
constexpr wchar_t kFunction[] = L"wWinMain";

template <typename... A>
void log_progress(int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(log_level::kProgress)) {
        LogMessage(log_level::kProgress, kFile, kFunction, line, format, args...);
    }
}

}  // namespace

bool IsSuccessfulFetch(DWORD error_code, std::wstring_view status_text) {
    if (status_text.empty() || error_code != 0) {
        return false;
    }
    const std::int32_t status = text::wcstol_like(status_text).value;
    return status >= 200 && status < 300;
}

std::int64_t PollingSleepSeconds(std::wstring_view polling_value) {
    const std::int32_t minutes = text::wcstol_like(polling_value).value;
    const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(minutes) *
                                                   static_cast<std::uint32_t>(kSecondsPerMinute));
    return product > 0 ? static_cast<std::int64_t>(product) : 0;
}

UpdaterLoop::UpdaterLoop(UpdaterLoopParts parts) : parts_(std::move(parts)) {}

void UpdaterLoop::Run() {
    for (;;) {
        RunOnce();
    }
}

bool UpdaterLoop::FetchManifest() {
    RkWinHttpClient& client = *parts_.client;
    int attempts = 0;
    while (attempts < kFetchAttempts) {
        client.SetUrl(parts_.manifest_url);
        ++attempts;
        client.SendHttpRequest(std::wstring(kMethodGet));
        const DWORD error = client.GetErrorCode();
        const std::wstring status = client.GetStatusText();
        if (IsSuccessfulFetch(error, status)) {
            log_progress(__LINE__, L"Response code is: %s", status);
            return true;
        }
        if (attempts < kFetchAttempts) {
            log_progress(__LINE__, L"Going to wait for 5minutes");
            parts_.clock->SleepSeconds(kRetryWaitSeconds);
        } else {
            log_progress(__LINE__, L"Retry count reached coming out of loop");
        }
    }
    return false;
}

void UpdaterLoop::RunOnce() {
    if (FetchManifest()) {
        const std::wstring body = parts_.client->GetBody();
        auto task = std::async(std::launch::async, [this, &body] { return ProcessUpdateManifest(body); });
        stored_polling_value_ = task.get();
    }
    if (const std::int64_t seconds = PollingSleepSeconds(stored_polling_value_); seconds > 0) {
        if (parts_.release_before_sleep) {
            parts_.release_before_sleep();
        }
        parts_.clock->SleepSeconds(seconds);
    }
}

std::wstring UpdaterLoop::ProcessUpdateManifest(const std::wstring& body) {
    std::wstring result = kInitialPollingValue;
    try {
        std::wstring detail;
        std::shared_ptr<IRkXMLProcessor> processor = parts_.make_processor();
        processor->SetXMLContent(body);
        if (!processor->ParseXMLContent(detail)) {
            SendRkUpdaterModuleEvents(telemetry::kEventParseXmlFailed, detail);
            return result;
        }
        result = processor->GetPollingTimeInMins();
        heart_beat_ = processor->IsHeartBeatEnabled();
        if (!processor->IsUpdaterEnabled()) {
            if (heart_beat_) {
                SendRkUpdaterModuleEvents(telemetry::kEventHeartBeat, L"");
            }
            return result;
        }
        retry_ = processor->IsRetryEnabled();
        if (!retry_ && !first_attempt_) {
            return result;
        }
        UpdateAttempt(*processor);
    } catch (...) {
        // The pass ends with the polling value as it stood.
    }
    return result;
}

void UpdaterLoop::UpdateAttempt(IRkXMLProcessor& processor) {
    first_attempt_ = false;
    std::wstring detail;
    SendRkUpdaterModuleEvents(telemetry::kEventPrecondCheckStarted, L"");
    if (processor.IsPreConditionSuccess(detail)) {
        SendRkUpdaterModuleEvents(telemetry::kEventPrecondCheckSuccess, std::wstring(detail));
        if (processor.DownloadAndExecuteInstaller(detail)) {
            SendRkUpdaterModuleEvents(telemetry::kEventDownloadExecuteSuccess, std::wstring(detail));
        } else {
            SendRkUpdaterModuleEvents(telemetry::kEventDownloadExecuteFailed, std::wstring(detail));
        }
        processor.DeleteIfNeeded();
    } else {
        SendRkUpdaterModuleEvents(telemetry::kEventPrecondCheckFailed, std::wstring(detail));
    }
}

}  // namespace rk::app
