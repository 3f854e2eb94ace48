#include "app/manifest/manifest_tree.h"

#include <cstddef>
#include <memory>
#include <new>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text/utf.h"

namespace rk::app {
namespace {

using Node = rapidxml::xml_node<wchar_t>;
using Attribute = rapidxml::xml_attribute<wchar_t>;

std::wstring_view value_of(const Attribute* attribute) {
    return std::wstring_view(attribute->value(), attribute->value_size());
}

// Names are passed with their lengths: rapidxml measures a name given
// without one at every call.
const Node& child(const Node& parent, std::wstring_view name) {
    const Node* found = parent.first_node(name.data(), name.size());
    if (found == nullptr) {
        throw ManifestShapeError(std::wstring(name));
    }
    return *found;
}

// The next sibling of that name, as the product walks PRECONDITION.
const Node& next_sibling(const Node& node, std::wstring_view name) {
    const Node* found = node.next_sibling(name.data(), name.size());
    if (found == nullptr) {
        throw ManifestShapeError(std::wstring(name));
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

const Node* first_entry(const Node& list) {
    constexpr std::wstring_view kSetVar = manifest::kSetVar;
    return list.first_node(kSetVar.data(), kSetVar.size());
}

// The first SETVAR child and every sibling after it, whatever its name.
// Comments and text are not elements: rapidxml's default flags make no nodes
// of them, and data nodes are skipped.
template <typename Visit>
void for_each_entry(const Node& list, const wchar_t* list_name, Visit visit) {
    for (const Node* entry = first_entry(list); entry != nullptr; entry = entry->next_sibling()) {
        if (entry->type() != rapidxml::node_element) {
            continue;
        }
        if (entry->first_attribute() == nullptr) {
            throw ManifestShapeError(std::wstring(list_name) + L"/" + std::wstring(entry->name(), entry->name_size()));
        }
        visit(*entry);
    }
}

// How many entries for_each_entry can visit at most, to size their array.
std::size_t entry_bound(const Node& list) {
    std::size_t count = 0;
    for (const Node* entry = first_entry(list); entry != nullptr; entry = entry->next_sibling()) {
        ++count;
    }
    return count;
}

// A list element's entries in document order, as views into the document:
// on the stack for a typical list, else in a vector.
template <typename List>
class EntryBuffer {
public:
    using Entry = typename List::value_type;

    explicit EntryBuffer(std::size_t bound) {
        if (bound > kSmall) {
            large_.reserve(bound);
        }
    }
    void add(const Entry& entry) {
        if (large_.capacity() != 0) {
            large_.push_back(entry);
        } else {
            std::construct_at(small() + count_++, entry);  // at most the bound given
        }
    }
    List build(RepeatedKey repeated) {
        return List::FromEntries(large_.capacity() != 0 ? std::span(large_) : std::span(small(), count_), repeated);
    }

private:
    static constexpr std::size_t kSmall = 32;
    Entry* small() { return std::launder(reinterpret_cast<Entry*>(small_)); }

    // Left uninitialised: entries are made as they come.
    alignas(Entry) std::byte small_[kSmall * sizeof(Entry)];
    std::size_t count_ = 0;
    std::vector<Entry> large_;
};

// First attribute is the key, the last the value; a later key replaces.
StringMap read_pairs(const Node& list, const wchar_t* list_name) {
    EntryBuffer<StringMap> entries(entry_bound(list));
    for_each_entry(list, list_name, [&](const Node& entry) {
        entries.add({value_of(entry.first_attribute()), value_of(entry.last_attribute())});
    });
    return entries.build(RepeatedKey::kLaterWins);
}

// Key, expected value, type (last attribute); an earlier key stays.
CompareMap read_comparisons(const Node& list) {
    EntryBuffer<CompareMap> entries(entry_bound(list));
    for_each_entry(list, manifest::kCompareVals, [&](const Node& entry) {
        if (attribute_count(entry) < 2) {
            throw ManifestShapeError(std::wstring(manifest::kCompareVals) + L"/" +
                                     std::wstring(entry.name(), entry.name_size()));
        }
        const Attribute* first = entry.first_attribute();
        entries.add({value_of(first), {value_of(entry.last_attribute()), value_of(first->next_attribute())}});
    });
    return entries.build(RepeatedKey::kEarlierStays);
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
    content.prereq = read_pairs(prereq, manifest::kPrereq);
    content.reg_info = read_pairs(reg_info, manifest::kRegInfo);
    content.compare_vals = read_comparisons(compare_vals);
    content.update_commands = read_pairs(child(update, manifest::kUpdateCommands), manifest::kUpdateCommands);
}

}  // namespace rk::app
