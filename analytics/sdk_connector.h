// CSDKConnector: the transport chosen for one send. Send() adds
// "__caller.name" (the host executable's path, every "\" doubled) and
// "__transport.name" ("<name> v<version>") before handing the record over.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "analytics/record.h"
#include "analytics/transport.h"

namespace Halden::Analytics {

class CSDKConnector {
public:
    CSDKConnector() = default;
    CSDKConnector(const CSDKConnector&) = delete;
    CSDKConnector& operator=(const CSDKConnector&) = delete;

    virtual ~CSDKConnector();
    // Drops any previous transport and chooses one; true when one was found.
    virtual bool Connect();
    // False without a transport; else the transport's answer.
    virtual bool Send(Record& record);
    virtual void Disconnect();
    virtual std::shared_ptr<internal::ITransport> GetTransport();

private:
    std::shared_ptr<internal::ITransport> transport_;
};

// Sees every record as it goes to its transport (stamped, with the caller
// and transport names), on the sending thread; for operator tools. Empty:
// none. Returns the previous one.
using RecordObserver = std::function<void(const Record&)>;
RecordObserver SetRecordObserver(RecordObserver observer);

namespace internal {
// "C:\A\b.exe" -> "C:\\A\\b.exe".
std::wstring DoubleBackslashes(std::wstring_view path);
}  // namespace internal

}  // namespace Halden::Analytics
