#include "xml_updater/attribute_map.h"

#include <utility>
#include <vector>

#include "platform/text/utf.h"

namespace XMLUpdater::v2 {
namespace {

// Enough for the maps alive at once in a walk (an element's, a
// precondition's arguments, a REDIRECT's nested document); more are freed.
constexpr std::size_t kPooledNodes = 64;
// Strings grown past this are not kept (a huge value would stay allocated).
constexpr std::size_t kPooledCapacity = 256;

std::vector<AttributeMap::node_type>& pool() {
    thread_local std::vector<AttributeMap::node_type> nodes;
    return nodes;
}

void assign(std::wstring& out, std::wstring_view text) { out.assign(text); }

void assign(std::wstring& out, std::string_view utf8) {
    out.clear();
    rk::text::append_utf8_to_wide(out, utf8);
}

template <typename Key, typename Value>
void set_attribute(AttributeMap& map, Key key, Value value) {
    auto& nodes = pool();
    if (nodes.empty()) {
        std::wstring wide_key;
        assign(wide_key, key);
        const auto it = map.try_emplace(std::move(wide_key)).first;
        assign(it->second, value);
        return;
    }
    AttributeMap::node_type node = std::move(nodes.back());
    nodes.pop_back();
    assign(node.key(), key);
    assign(node.mapped(), value);
    auto result = map.insert(std::move(node));
    if (!result.inserted) {
        result.position->second.swap(result.node.mapped());
        nodes.push_back(std::move(result.node));
    }
}

}  // namespace

void SetAttribute(AttributeMap& map, std::wstring_view key, std::wstring_view value) {
    set_attribute(map, key, value);
}

void SetAttributeUtf8(AttributeMap& map, std::string_view key, std::string_view value) {
    set_attribute(map, key, value);
}

void SetAttributeUtf8(AttributeMap& map, std::wstring_view key, std::string_view value) {
    set_attribute(map, key, value);
}

void RecycleAttributes(AttributeMap& map) {
    auto& nodes = pool();
    while (!map.empty()) {
        AttributeMap::node_type node = map.extract(map.begin());
        if (nodes.size() < kPooledNodes && node.key().capacity() <= kPooledCapacity &&
            node.mapped().capacity() <= kPooledCapacity) {
            nodes.push_back(std::move(node));
        }
    }
}

}  // namespace XMLUpdater::v2
