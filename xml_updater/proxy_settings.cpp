#include "xml_updater/proxy_settings.h"

#include <cstdlib>
#include <cwchar>

namespace XMLUpdater::v2 {

wchar_t* GlobalAllocString(const std::wstring& text) {
    auto* copy = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    if (copy != nullptr) {
        std::wmemcpy(copy, text.c_str(), text.size() + 1);
    }
    return copy;
}

void GlobalFreeString(wchar_t* text) { std::free(text); }

}  // namespace XMLUpdater::v2
