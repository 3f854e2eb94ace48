#include "analytics/sdk_connector.h"

#include <mutex>
#include <utility>

#include "analytics/transport_registry.h"
#include "platform/macros/common_replacements.h"

namespace Halden::Analytics {
namespace {

std::mutex& observer_mutex() {
    static std::mutex mutex;
    return mutex;
}

RecordObserver& observer() {
    static RecordObserver value;
    return value;
}

std::wstring caller_name() {
    std::wstring path(DiraDoro::kMacroAppPath);
    DiraDoro::CommonReplacements().Replace(path);
    return internal::DoubleBackslashes(path);
}

}  // namespace

namespace internal {

std::wstring DoubleBackslashes(std::wstring_view path) {
    std::wstring doubled;
    doubled.reserve(path.size());
    for (const wchar_t c : path) {
        doubled.push_back(c);
        if (c == L'\\') {
            doubled.push_back(L'\\');
        }
    }
    return doubled;
}

}  // namespace internal

RecordObserver SetRecordObserver(RecordObserver value) {
    const std::lock_guard lock(observer_mutex());
    return std::exchange(observer(), std::move(value));
}

CSDKConnector::~CSDKConnector() = default;

bool CSDKConnector::Connect() {
    transport_.reset();
    transport_ = GetTransport();
    return transport_ != nullptr;
}

bool CSDKConnector::Send(Record& record) {
    if (!transport_) {
        return false;
    }
    record[kAttrCallerName] = caller_name();
    record[kAttrTransportName] = transport_->GetName() + L" v" + std::to_wstring(transport_->GetVersion());
    {
        const std::lock_guard lock(observer_mutex());
        if (observer()) {
            observer()(record);
        }
    }
    return transport_->Send(record);
}

void CSDKConnector::Disconnect() {
    if (transport_) {
        transport_->Disconnect();
        transport_.reset();
    }
}

std::shared_ptr<internal::ITransport> CSDKConnector::GetTransport() { return internal::ChooseTransport(); }

}  // namespace Halden::Analytics
