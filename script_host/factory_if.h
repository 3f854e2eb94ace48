// Registration side of a plug-in factory.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace Corvane::Script {

class IScriptableObject;
class IScriptEnvironmentFactory;

// Makes one plug-in object for the given environment (which may be null).
using PluginCreator = std::function<std::shared_ptr<IScriptableObject>(IScriptEnvironmentFactory*)>;

class IFactory {
public:
    virtual ~IFactory() = default;
    // Adds a creator, replacing one of the same name.
    virtual void Register(const std::wstring& name, PluginCreator creator) = 0;
};

}  // namespace Corvane::Script
