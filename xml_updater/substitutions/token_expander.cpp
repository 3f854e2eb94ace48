#include "xml_updater/substitutions/token_expander.h"

#include <algorithm>
#include <vector>

#include "xml_updater/substitutions/substitution_constants.h"

namespace XMLUpdater::v2 {

namespace {

// Scratch buffers grown past this many elements are released after use, so
// one huge value does not stay allocated for the rest of the document.
constexpr std::size_t kKeptScratch = 4096;

template <typename Buffer>
void release_if_large(Buffer& buffer) {
    if (buffer.capacity() > kKeptScratch) {
        Buffer().swap(buffer);
    }
}

}  // namespace

void expand_tokens(std::wstring& text, const TokenResolver& resolver) {
    ExpansionScratch scratch;
    expand_tokens(text, resolver, scratch);
}

void expand_tokens(std::wstring& text, const TokenResolver& resolver, ExpansionScratch& scratch) {
    if (text.find(L'[') == std::wstring::npos) {
        return;
    }
    const std::size_t max_chars = std::max(kMaxExpandedChars, text.size());

    // `left` is the part before the scan position (always a prefix of the
    // original text); `right` the rest, reversed, so right.back() is the
    // character at the scan position. `closes` lists the indexes of ']' in
    // `right` in ascending order: the first ']' after the scan position is
    // closes.back().
    std::wstring left = std::move(text);
    std::wstring& right = scratch.right;
    std::vector<std::size_t>& closes = scratch.closes;
    right.clear();
    closes.clear();
    struct Release {
        ExpansionScratch& scratch;
        ~Release() {
            release_if_large(scratch.right);
            release_if_large(scratch.closes);
            release_if_large(scratch.content);
            release_if_large(scratch.name);
            release_if_large(scratch.arguments);
        }
    } release{scratch};
    auto push = [&](wchar_t c) {
        if (c == L']') {
            closes.push_back(right.size());
        }
        right.push_back(c);
    };

    // A resolver that throws leaves the text as far as it was expanded.
    struct Restore {
        std::wstring& text;
        std::wstring& left;
        std::wstring& right;
        bool done = false;
        ~Restore() {
            if (!done) {
                text = std::move(left);
                text.append(right.rbegin(), right.rend());
            }
        }
    } restore{text, left, right};

    // Reused from token to token.
    std::wstring& content = scratch.content;
    std::wstring& name = scratch.name;
    std::wstring& arguments = scratch.arguments;
    std::size_t chain = 0;
    bool at_token = false;
    for (;;) {
        if (!at_token) {
            const auto open = left.rfind(L'[');
            if (open == std::wstring::npos) {
                break;
            }
            for (std::size_t i = left.size(); i-- > open;) {
                push(left[i]);
            }
            left.resize(open);
            chain = 0;
        }
        at_token = false;
        if (closes.empty()) {
            continue;  // no ']' after this '[': it stays as it is
        }
        const std::size_t close = closes.back();
        content.assign(right.rbegin() + 1, right.rbegin() + static_cast<std::ptrdiff_t>(right.size() - 1 - close));
        std::wstring replacement;
        const auto colon = content.find(L':');
        if (colon == std::wstring::npos) {
            replacement = resolver.resolve(content, nullptr);
        } else {
            name.assign(content, 0, colon);
            arguments.assign(content, colon + 1);
            replacement = resolver.resolve(name, &arguments);
        }
        closes.pop_back();
        right.resize(close);
        bool rescan = !replacement.empty() && replacement.front() == L'[';
        if (rescan && ++chain > kMaxChainedExpansions) {
            if (resolver.limit_hit) {
                resolver.limit_hit(ExpansionLimit::Chain, content.substr(0, colon));
            }
            replacement = kUnknownValue;
            rescan = false;
        }
        if (left.size() + right.size() + replacement.size() > max_chars) {
            if (resolver.limit_hit) {
                resolver.limit_hit(ExpansionLimit::Length, content.substr(0, colon));
            }
            replacement = kUnknownValue;
            rescan = false;
        }
        for (auto it = replacement.rbegin(); it != replacement.rend(); ++it) {
            push(*it);
        }
        at_token = rescan;
    }

    restore.done = true;
    text = std::move(left);
    text.append(right.rbegin(), right.rend());
}

}  // namespace XMLUpdater::v2
