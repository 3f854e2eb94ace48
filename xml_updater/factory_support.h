// Factory support of the built-in handlers: a handler class derives from the
// template of its family instantiated with itself and so gets the static
// creator function the registries take (`&CFoo::Create`).
#pragma once

#include <memory>

#include "xml_updater/command_if.h"
#include "xml_updater/precondition_if.h"
#include "xml_updater/substitution_if.h"

namespace XMLUpdater::v2 {

template <typename T>
class CCommandFactorySupport {
public:
    static std::unique_ptr<ICommand> Create() { return std::make_unique<T>(); }
};

template <typename T>
class CPreconditionFactorySupport {
public:
    static std::unique_ptr<IPrecondition> Create() { return std::make_unique<T>(); }
};

template <typename T>
class CSubstitutionFactorySupport {
public:
    static std::unique_ptr<ISubstitution> Create() { return std::make_unique<T>(); }
};

}  // namespace XMLUpdater::v2
