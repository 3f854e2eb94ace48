// The walk over a parsed manifest: the polling text and the four lists,
// taken by position as the product reads them. A missing element, or a
// list entry with too few attributes, is a ManifestShapeError.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include <rapidxml/rapidxml.hpp>

#include "app/manifest/list_arena.h"
#include "app/manifest/manifest_words.h"

namespace rk::app {

// What the walk takes from a manifest. The lists live in `memory`, which
// starts in the object itself (enough for a typical manifest), so the
// content is filled in place and never copied or moved.
struct ManifestContent {
    ManifestContent() = default;
    ManifestContent(const ManifestContent&) = delete;
    ManifestContent& operator=(const ManifestContent&) = delete;

    static constexpr std::size_t kInitialBytes = 4096;
    alignas(std::max_align_t) std::byte initial[kInitialBytes];
    ListArena memory{initial};

    std::wstring polling_minutes;
    StringMap prereq{&memory};
    StringMap reg_info{&memory};
    CompareMap compare_vals{&memory};
    StringMap update_commands{&memory};
};

class ManifestShapeError : public std::runtime_error {
public:
    explicit ManifestShapeError(const std::wstring& what_is_missing);
    const std::wstring& missing() const { return missing_; }

private:
    std::wstring missing_;
};

void read_manifest(const rapidxml::xml_document<wchar_t>& document, ManifestContent& content);

}  // namespace rk::app
