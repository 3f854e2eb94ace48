#include "app/manifest/list_arena.h"

#include <cstdint>

namespace rk::app {
namespace {

// Bytes to skip from `at` to the next multiple of `alignment` (a power of two).
std::size_t padding(const std::byte* at, std::size_t alignment) {
    return (alignment - reinterpret_cast<std::uintptr_t>(at) % alignment) % alignment;
}

}  // namespace

void* ListArena::do_allocate(std::size_t bytes, std::size_t alignment) {
    std::size_t pad = padding(next_, alignment);
    if (next_ == nullptr || pad + bytes > left_) {
        // new[] aligns to the default new alignment; a request too large to
        // leave room for others in a block gets a block of its own.
        const std::size_t size = bytes + alignment;
        if (size > kBlockBytes / 4) {
            blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
            std::byte* own = blocks_.back().get();
            return own + padding(own, alignment);
        }
        blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kBlockBytes));
        next_ = blocks_.back().get();
        left_ = kBlockBytes;
        pad = padding(next_, alignment);
    }
    std::byte* at = next_ + pad;
    next_ = at + bytes;
    left_ -= pad + bytes;
    return at;
}

}  // namespace rk::app
