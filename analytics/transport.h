// Transports carry a sent record out of the tracker: internal::ITransport,
// the named base internal::CBaseTransport and CNullTransport, which takes
// and discards everything (the registry's last resort).
#pragma once

#include <cstdint>
#include <string>

#include "analytics/record.h"

namespace Halden::Analytics {
namespace internal {

class ITransport {
public:
    ITransport() = default;
    ITransport(const ITransport&) = delete;
    ITransport& operator=(const ITransport&) = delete;

    virtual ~ITransport() = default;
    // True when the transport can take records now.
    virtual bool Connect() = 0;
    virtual bool Send(const Record& record) = 0;
    virtual void Disconnect() = 0;
    virtual std::wstring GetName() const = 0;
    virtual std::uint32_t GetVersion() const = 0;
};

class CBaseTransport : public ITransport {
public:
    CBaseTransport(std::wstring name, std::uint32_t version) : name_(std::move(name)), version_(version) {}
    std::wstring GetName() const override { return name_; }
    std::uint32_t GetVersion() const override { return version_; }

private:
    std::wstring name_;
    std::uint32_t version_;
};

}  // namespace internal

inline constexpr wchar_t kNullTransportName[] = L"NULL-Pattern";

class CNullTransport final : public internal::CBaseTransport {
public:
    CNullTransport() : CBaseTransport(kNullTransportName, 1) {}
    bool Connect() override { return true; }
    bool Send(const Record&) override { return true; }
    void Disconnect() override {}
};

}  // namespace Halden::Analytics
