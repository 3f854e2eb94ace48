// Fuzzes the token expansion with every built-in handler, variables that
// refer to themselves and to each other, and a temporary root so registry,
// INI and file lookups stay inside it. The expansion must end, and its result
// must respect the growth bound.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/text/utf.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/test/quiet_logger.h"
#include "xml_updater/substitutions/token_expander.h"

namespace {

XMLUpdater::v2::CSubstitutionManager* manager() {
    static std::unique_ptr<XMLUpdater::v2::CSubstitutionManager> instance = [] {
        std::string root = (std::filesystem::temp_directory_path() / "rk-subst-fuzz-XXXXXX").string();
        if (::mkdtemp(root.data()) != nullptr) {
            ::setenv("RK_ROOT", root.c_str(), 1);
        }
        static XMLUpdater::v2::QuietLogger logger;  // errors would be appended to log.txt in the root
        XMLUpdater::v2::SetXmlUpdaterLogger(&logger);
        auto m = std::make_unique<XMLUpdater::v2::CSubstitutionManager>();
        m->SetVariable(L"self", L"[self]");
        m->SetVariable(L"a", L"[b]");
        m->SetVariable(L"b", L"[a]");
        m->SetVariable(L"twice", L"[twice][twice]");
        m->SetVariable(L"close", L"x]");
        m->SetVariable(L"open", L"[");
        m->SetVariable(L"date", L"[DATE:TODAY]");
        return m;
    }();
    return instance.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text = rk::text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::size_t limit = std::max(XMLUpdater::v2::kMaxExpandedChars, text.size());
    manager()->Substitute(text);
    if (text.size() > limit) {
        __builtin_trap();
    }
    return 0;
}
