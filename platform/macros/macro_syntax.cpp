#include "platform/macros/macro_syntax.h"

namespace DiraDoro {

std::optional<MacroMatch> find_macro(std::wstring_view text, std::size_t from) {
    // Each attempt starts at a '$' and stops at the next '$', '(' or ')', so
    // every character is looked at a bounded number of times.
    for (std::size_t i = text.find(L'$', from); i != std::wstring_view::npos;
         i = text.find(L'$', i + 1)) {
        if (i + 1 >= text.size() || text[i + 1] != L'(') continue;
        std::size_t j = i + 2;
        while (j < text.size() && text[j] != L'$' && text[j] != L'(' && text[j] != L')') ++j;
        if (j > i + 2 && j < text.size() && text[j] == L')') return MacroMatch{i, j + 1 - i};
    }
    return std::nullopt;
}

}  // namespace DiraDoro
