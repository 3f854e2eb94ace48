// CPreconditionManager: the registry of precondition types, and the
// evaluation of one PRECONDITION element (reported to the test hook).
#pragma once

#include <map>
#include <memory>
#include <string>

#include "xml_updater/attribute_map.h"
#include "xml_updater/precondition_if.h"

namespace XMLUpdater::v2 {

class CSubstitutionManager;

class CPreconditionManager {
public:
    // Registers the built-in types STR, NUM, VER, CF, DATE, DATE_DELTA.
    explicit CPreconditionManager(std::shared_ptr<CSubstitutionManager> substitutions);
    CPreconditionManager(const CPreconditionManager&) = delete;
    CPreconditionManager& operator=(const CPreconditionManager&) = delete;
    ~CPreconditionManager();

    bool RegisterPrecondition(const std::wstring& keyword, std::unique_ptr<IPrecondition> handler);
    // False (logged) for a type that is not registered.
    bool IsPreconditionSatisfied(const std::wstring& type, const AttributeMap& attributes);

private:
    std::shared_ptr<CSubstitutionManager> substitutions_;
    std::map<std::wstring, std::unique_ptr<IPrecondition>> preconditions_;
};

}  // namespace XMLUpdater::v2
