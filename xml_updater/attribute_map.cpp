#include "xml_updater/attribute_map.h"

#include <vector>

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

}  // namespace

void SetAttribute(AttributeMap& map, std::wstring_view key, std::wstring_view value) {
    auto& nodes = pool();
    if (nodes.empty()) {
        const auto [it, inserted] = map.try_emplace(std::wstring(key), value);
        if (!inserted) {
            it->second.assign(value);
        }
        return;
    }
    AttributeMap::node_type node = std::move(nodes.back());
    nodes.pop_back();
    node.key().assign(key);
    node.mapped().assign(value);
    auto result = map.insert(std::move(node));
    if (!result.inserted) {
        result.position->second.assign(value);
        nodes.push_back(std::move(result.node));
    }
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
