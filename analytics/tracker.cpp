#include "analytics/tracker.h"

#include <chrono>
#include <ctime>
#include <cwchar>

#include "analytics/sdk_connector.h"
#include "platform/system/calendar_time.h"

namespace Halden::Analytics {

bool IsReservedName(const std::wstring& name) { return name.starts_with(kReservedPrefix); }

namespace internal {

class CTracker::_Impl {
public:
    explicit _Impl(std::wstring type) : type_(std::move(type)) {}

    void SetAttribute(const std::wstring& name, const std::wstring& value) {
        if (!name.empty()) {
            record_[name] = value;
        }
    }

    void Send() {
        SetAttribute(kAttrTrackApiVersion, kTrackApiVersion);
        SetAttribute(kAttrTrackerType, type_);
        const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count();
        if (auto created = FormatRecordCreated(seconds)) {
            SetAttribute(kAttrRecordCreated, *created);
        } else {
            SetAttribute(kAttrRecordCreatedRaw, std::to_wstring(seconds));
        }
        const auto monotonic = std::chrono::steady_clock::now().time_since_epoch();
        SetAttribute(kAttrRecordCreatedSeconds,
                     std::to_wstring(std::chrono::duration_cast<std::chrono::seconds>(monotonic).count()));
        CSDKConnector connector;
        if (connector.Connect()) {
            connector.Send(record_);
        }
        connector.Disconnect();
    }

    const Record& record() const { return record_; }

private:
    std::wstring type_;
    Record record_;
};

std::optional<std::wstring> FormatRecordCreated(std::int64_t seconds) {
    if (seconds < 0) {
        return std::nullopt;
    }
    rk::sys::CalendarTime utc;
    if (!rk::sys::utc_calendar_time(seconds, utc)) {
        return std::nullopt;
    }
    const std::tm parts = rk::sys::to_tm(utc);
    wchar_t buffer[50];
    const std::size_t n = std::wcsftime(buffer, std::size(buffer), kRecordTimeFormat, &parts);
    if (n == 0) {
        return std::nullopt;
    }
    return std::wstring(buffer, n);
}

CTracker::CTracker(const std::wstring& type) : impl_(std::make_unique<_Impl>(type)) {}

CTracker::~CTracker() = default;

void CTracker::Send() { impl_->Send(); }

void CTracker::SetAttribute(const std::wstring& name, const std::wstring& value) {
    if (!IsReservedName(name)) {
        impl_->SetAttribute(name, value);
    }
}

const Record& CTracker::Attributes() const { return impl_->record(); }

}  // namespace internal
}  // namespace Halden::Analytics
