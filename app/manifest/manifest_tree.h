// The walk over a parsed manifest: the polling text and the four lists,
// taken by position as the product reads them. A missing element, or a
// list entry with too few attributes, is a ManifestShapeError.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include <rapidxml/rapidxml.hpp>

#include "app/manifest/manifest_words.h"

namespace rk::app {

// What the walk takes from a manifest. The polling text views the parsed
// document; the lists hold their own texts.
struct ManifestContent {
    std::wstring_view polling_minutes;
    StringMap prereq;
    StringMap reg_info;
    CompareMap compare_vals;
    StringMap update_commands;
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
