// internal::CTracker: one record being built and sent. Sending stamps the
// record (api version, tracker type, creation times), picks a transport
// through CSDKConnector and hands the record over; the outcome is not
// reported. A record may be sent again: every send restamps it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "analytics/record.h"

namespace Halden::Analytics::internal {

class CTracker {
public:
    explicit CTracker(const std::wstring& type);
    CTracker(const CTracker&) = delete;
    CTracker& operator=(const CTracker&) = delete;

    virtual ~CTracker();
    virtual void Send();
    // Stores the value under the name (replacing); empty and reserved names
    // are ignored.
    virtual void SetAttribute(const std::wstring& name, const std::wstring& value);

    // The attributes as they stand (after a send: with its stamps).
    const Record& Attributes() const;

    class _Impl;

private:
    std::unique_ptr<_Impl> impl_;
};

// "__record.created" for a time in seconds since 1970-01-01 UTC; nullopt
// when the time cannot be converted (negative, or a field out of range).
std::optional<std::wstring> FormatRecordCreated(std::int64_t seconds);

}  // namespace Halden::Analytics::internal
