// The analytics content plug-in's view of the XML update engine:
// IUpdateWrapper, implemented by CUpdateWrapper<XMLUpdater::v2::CUpdater>,
// which owns one engine and forwards every operation to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "xml_updater/command_if.h"
#include "xml_updater/event_sender_if.h"
#include "xml_updater/proxy_settings.h"
#include "xml_updater/substitution_if.h"
#include "xml_updater/xml_updater_log.h"

namespace Halden::Analytics::internal {

class IUpdateWrapper {
public:
    using EventSender = std::shared_ptr<XMLUpdater::v2::NTelemetry::NAdHoc::IEventSender>;

    virtual bool Initialize(EventSender sender, bool verify_signature,
                            std::shared_ptr<XMLUpdater::v2::IXmlUpdaterLogger> logger) = 0;
    virtual bool Update(const std::uint8_t* buffer, std::uint64_t length, int& exit_code) = 0;
    virtual bool Update(const std::wstring& url, int& exit_code) = 0;
    virtual bool RegisterSubstitution(const std::wstring& name, XMLUpdater::v2::SubstitutionCreator creator) = 0;
    virtual bool RegisterCommand(const std::wstring& name, XMLUpdater::v2::CommandCreator creator) = 0;
    virtual bool SetVariable(const std::wstring& name, const std::wstring& value) = 0;
    virtual bool GetVariable(const std::wstring& name, std::wstring& value) = 0;
    virtual bool SetProxySettings(const XMLUpdater::v2::WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config) = 0;
    virtual bool fill_proxy_data_for_specific_url(const std::wstring& url,
                                                  XMLUpdater::v2::WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& out) = 0;
    virtual ~IUpdateWrapper() = default;
};

template <typename Engine>
class CUpdateWrapper final : public IUpdateWrapper {
public:
    bool Initialize(EventSender sender, bool verify_signature,
                    std::shared_ptr<XMLUpdater::v2::IXmlUpdaterLogger> logger) override {
        return engine_.Initialize(std::move(sender), verify_signature, std::move(logger), nullptr, nullptr);
    }
    bool Update(const std::uint8_t* buffer, std::uint64_t length, int& exit_code) override {
        return engine_.Update(buffer, length, exit_code);
    }
    bool Update(const std::wstring& url, int& exit_code) override { return engine_.Update(url, exit_code); }
    bool RegisterSubstitution(const std::wstring& name, XMLUpdater::v2::SubstitutionCreator creator) override {
        return engine_.RegisterSubstitution(name, creator);
    }
    bool RegisterCommand(const std::wstring& name, XMLUpdater::v2::CommandCreator creator) override {
        return engine_.RegisterCommand(name, creator);
    }
    bool SetVariable(const std::wstring& name, const std::wstring& value) override {
        return engine_.SetVariable(name, value);
    }
    bool GetVariable(const std::wstring& name, std::wstring& value) override { return engine_.GetVariable(name, value); }
    bool SetProxySettings(const XMLUpdater::v2::WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config) override {
        return engine_.SetProxySettings(config);
    }
    bool fill_proxy_data_for_specific_url(const std::wstring& url,
                                          XMLUpdater::v2::WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& out) override {
        return engine_.fill_proxy_data_for_specific_url(url, out);
    }

    Engine& engine() { return engine_; }

private:
    Engine engine_;
};

}  // namespace Halden::Analytics::internal
