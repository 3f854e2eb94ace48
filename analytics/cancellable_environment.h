// An environment factory that gives the script thread a cancellation token
// for its HTTP requests (the thread asks for its host on start-up), so that
// a stopping engine ends requests still waiting on a server.
#pragma once

#include <memory>

#include "platform/system/http/cancellation.h"
#include "script_host/script_environment_factory_if.h"

namespace Halden::Analytics::internal {

class CancellableEnvironment final : public Corvane::Script::IScriptEnvironmentFactory {
public:
    explicit CancellableEnvironment(std::unique_ptr<Corvane::Script::IScriptEnvironmentFactory> inner)
        : inner_(std::move(inner)), token_(std::make_shared<rk::sys::http::CancelToken>()) {}

    int GetType() const override { return inner_->GetType(); }
    std::shared_ptr<Corvane::Script::IScriptHost> GetScriptHost() override {
        rk::sys::http::set_thread_cancel_token(token_);
        return inner_->GetScriptHost();
    }
    std::shared_ptr<Corvane::Script::IPluginObjectWrapperImpl> CreatePluginWrapper(
        Corvane::Script::IScriptableObject& plugin) override {
        return inner_->CreatePluginWrapper(plugin);
    }

    // Ends the script thread's pending and later requests.
    void CancelRequests() { token_->cancel(); }

private:
    std::unique_ptr<Corvane::Script::IScriptEnvironmentFactory> inner_;
    std::shared_ptr<rk::sys::http::CancelToken> token_;
};

}  // namespace Halden::Analytics::internal
