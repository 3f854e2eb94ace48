// The polling loop of the updater module: fetch the manifest (three attempts
// 300 seconds apart), process it on a worker task that the loop waits for,
// report each decision as a telemetry event, and sleep the polling interval.
//
// The flags and the stored polling value are process-wide state of the loop;
// the worker and the main thread never run at the same time, so they need no
// lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/daemon/loop_clock.h"
#include "app/http/rk_win_http_client.h"
#include "app/manifest/rk_xml_processor_if.h"
#include "platform/errors/win_error.h"

namespace rk::app {

inline constexpr int kFetchAttempts = 3;
inline constexpr std::int64_t kRetryWaitSeconds = 300;
inline constexpr std::int32_t kSecondsPerMinute = 60;
inline constexpr wchar_t kInitialPollingValue[] = L"1440";

struct UpdaterLoopParts {
    std::shared_ptr<RkWinHttpClient> client;
    std::wstring manifest_url;
    RkXMLProcessorFactory make_processor;
    std::shared_ptr<LoopClock> clock;
    // Runs before each polling sleep (not the retry waits), when the round's
    // work is done: gives back what it used. May be empty.
    std::function<void()> release_before_sleep;
};

class UpdaterLoop {
public:
    explicit UpdaterLoop(UpdaterLoopParts parts);

    // Polls for ever; only an exception (or the process's end) leaves it.
    [[noreturn]] void Run();
    // One round: the fetch attempts, the processing pass when a manifest
    // came, the polling sleep.
    void RunOnce();

    // One manifest processing pass; returns the polling value to store.
    // Never throws.
    std::wstring ProcessUpdateManifest(const std::wstring& body);

    const std::wstring& StoredPollingValue() const { return stored_polling_value_; }
    bool HeartBeatFlag() const { return heart_beat_; }
    bool FirstAttemptPending() const { return first_attempt_; }
    bool RetryFlag() const { return retry_; }

private:
    // The fetch attempts; true when a manifest arrived.
    bool FetchManifest();
    void UpdateAttempt(IRkXMLProcessor& processor);

    UpdaterLoopParts parts_;
    std::wstring stored_polling_value_{kInitialPollingValue};
    bool heart_beat_ = true;
    bool first_attempt_ = true;
    bool retry_ = true;
};

// Whether a request's outcome is a fetched manifest: error code 0 and a
// status text whose leading number (wcstol rules) is 200 to 299.
bool IsSuccessfulFetch(DWORD error_code, std::wstring_view status_text);

// The sleep after a round: the polling value's leading number (wcstol rules)
// times 60, formed in 32-bit signed arithmetic as the product always did (so
// it wraps); 0 when the result is 0 or less.
std::int64_t PollingSleepSeconds(std::wstring_view polling_value);

}  // namespace rk::app
