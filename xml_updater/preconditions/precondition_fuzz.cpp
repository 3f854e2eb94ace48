// Fuzzes precondition evaluation: the input is split at '\n' into Type,
// Name, Compare and Value (missing parts stay absent), evaluated by the
// manager with every built-in type, in a temporary root.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/text/strings.h"
#include "platform/text/utf.h"
#include "xml_updater/precondition_manager.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/test/quiet_logger.h"

namespace {

XMLUpdater::v2::CPreconditionManager* manager() {
    static std::unique_ptr<XMLUpdater::v2::CPreconditionManager> instance = [] {
        std::string root = (std::filesystem::temp_directory_path() / "rk-precondition-fuzz-XXXXXX").string();
        if (::mkdtemp(root.data()) != nullptr) {
            ::setenv("RK_ROOT", root.c_str(), 1);
        }
        static XMLUpdater::v2::QuietLogger logger;  // errors would be appended to log.txt in the root
        XMLUpdater::v2::SetXmlUpdaterLogger(&logger);
        auto substitutions = std::make_shared<XMLUpdater::v2::CSubstitutionManager>();
        substitutions->SetVariable(L"self", L"[self]");
        return std::make_unique<XMLUpdater::v2::CPreconditionManager>(substitutions);
    }();
    return instance.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace XMLUpdater::v2;
    const std::wstring text = rk::text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto parts = rk::text::split(text, L'\n');
    AttributeMap attributes;
    const wchar_t* keys[] = {kAttrName, kAttrCompare, kAttrValue};
    for (std::size_t i = 1; i < parts.size() && i <= 3; ++i) {
        attributes[keys[i - 1]] = parts[i];
    }
    (void)manager()->IsPreconditionSatisfied(parts.empty() ? std::wstring() : parts[0], attributes);
    return 0;
}
