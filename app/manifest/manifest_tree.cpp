#include "app/manifest/manifest_tree.h"

#include <string_view>
#include <tuple>

#include "platform/text/utf.h"

namespace rk::app {
namespace {

using Node = rapidxml::xml_node<wchar_t>;
using Attribute = rapidxml::xml_attribute<wchar_t>;

std::wstring_view value_of(const Attribute* attribute) {
    return std::wstring_view(attribute->value(), attribute->value_size());
}

const Node& child(const Node& parent, const wchar_t* name) {
    const Node* found = parent.first_node(name);
    if (found == nullptr) {
        throw ManifestShapeError(name);
    }
    return *found;
}

// The next sibling of that name, as the product walks PRECONDITION.
const Node& next_sibling(const Node& node, const wchar_t* name) {
    const Node* found = node.next_sibling(name);
    if (found == nullptr) {
        throw ManifestShapeError(name);
    }
    return *found;
}

std::size_t attribute_count(const Node& node) {
    std::size_t count = 0;
    for (const Attribute* a = node.first_attribute(); a != nullptr; a = a->next_attribute()) {
        ++count;
    }
    return count;
}

// The first SETVAR child and every sibling after it, whatever its name.
// Comments and text are not elements: rapidxml's default flags make no nodes
// of them, and data nodes are skipped.
template <typename Visit>
void for_each_entry(const Node& list, const wchar_t* list_name, Visit visit) {
    for (const Node* entry = list.first_node(manifest::kSetVar); entry != nullptr; entry = entry->next_sibling()) {
        if (entry->type() != rapidxml::node_element) {
            continue;
        }
        if (entry->first_attribute() == nullptr) {
            throw ManifestShapeError(std::wstring(list_name) + L"/" + std::wstring(entry->name(), entry->name_size()));
        }
        visit(*entry);
    }
}

// First attribute is the key, the last the value; a later key replaces.
void read_pairs(const Node& list, const wchar_t* list_name, StringMap& map) {
    for_each_entry(list, list_name, [&](const Node& entry) {
        const std::wstring_view key = value_of(entry.first_attribute());
        const std::wstring_view value = value_of(entry.last_attribute());
        const auto at = map.lower_bound(key);
        if (at != map.end() && at->first == key) {
            at->second.assign(value);
        } else {
            map.emplace_hint(at, key, value);
        }
    });
}

// Key, expected value, type (last attribute); an earlier key stays.
void read_comparisons(const Node& list, CompareMap& map) {
    for_each_entry(list, manifest::kCompareVals, [&](const Node& entry) {
        if (attribute_count(entry) < 2) {
            throw ManifestShapeError(std::wstring(manifest::kCompareVals) + L"/" +
                                     std::wstring(entry.name(), entry.name_size()));
        }
        const Attribute* first = entry.first_attribute();
        const std::wstring_view key = value_of(first);
        if (!map.contains(key)) {
            map.emplace(std::piecewise_construct, std::forward_as_tuple(key),
                        std::forward_as_tuple(value_of(entry.last_attribute()), value_of(first->next_attribute())));
        }
    });
}

}  // namespace

ManifestShapeError::ManifestShapeError(const std::wstring& what_is_missing)
    : std::runtime_error(text::wide_to_utf8(what_is_missing)), missing_(what_is_missing) {}

void read_manifest(const rapidxml::xml_document<wchar_t>& document, ManifestContent& content) {
    const Node& updater = child(document, manifest::kUpdater);
    const Node& update = child(updater, manifest::kUpdate);

    const Node& polling = child(update, manifest::kPollingTimeInMins);
    if (polling.first_attribute() == nullptr) {
        throw ManifestShapeError(std::wstring(manifest::kPollingTimeInMins) + L"@");
    }
    content.polling_minutes = value_of(polling.first_attribute());

    const Node& precondition = child(update, manifest::kPrecondition);
    const Node& prereq = child(precondition, manifest::kPrereq);
    const Node& reg_info = next_sibling(prereq, manifest::kRegInfo);
    const Node& compare_vals = next_sibling(reg_info, manifest::kCompareVals);
    read_pairs(prereq, manifest::kPrereq, content.prereq);
    read_pairs(reg_info, manifest::kRegInfo, content.reg_info);
    read_comparisons(compare_vals, content.compare_vals);
    read_pairs(child(update, manifest::kUpdateCommands), manifest::kUpdateCommands, content.update_commands);
}

}  // namespace rk::app
