// Makes the script host of one environment and the engine-side wrappers of
// plug-in objects. The type numbers are those the analytics engine's
// "Analytics.ScriptHost.Type" names map to.
#pragma once

#include <memory>

namespace Corvane::Script {

class IScriptHost;
class IScriptableObject;
class IPluginObjectWrapperImpl;

class IScriptEnvironmentFactory {
public:
    virtual int GetType() const = 0;
    virtual ~IScriptEnvironmentFactory() = default;
    // The host of this environment, created and initialised on the first
    // call (and again after it was shut down); null on failure. The factory
    // owns it: call on the thread that is to run scripts.
    virtual std::shared_ptr<IScriptHost> GetScriptHost() = 0;
    virtual std::shared_ptr<IPluginObjectWrapperImpl> CreatePluginWrapper(IScriptableObject& plugin) = 0;
};

}  // namespace Corvane::Script
