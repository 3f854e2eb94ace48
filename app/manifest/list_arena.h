// ListArena: the memory the manifest's lists live in for one pass. Nodes and
// texts are carved one after the other from 16 KiB blocks of the heap and
// given back all at once when the arena goes, so a list of thousands of
// entries costs a few allocations instead of three per entry. The blocks stay
// below the allocator's mapping threshold: a large manifest reuses heap pages
// rather than mapping fresh ones, whose first touch is a page fault (several
// microseconds each on a virtual machine).
#pragma once

#include <cstddef>
#include <memory>
#include <memory_resource>
#include <span>
#include <vector>

namespace rk::app {

class ListArena final : public std::pmr::memory_resource {
public:
    static constexpr std::size_t kBlockBytes = 16 * 1024;

    ListArena() = default;
    // Carves from `initial` (e.g. a buffer on the caller's stack) first.
    explicit ListArena(std::span<std::byte> initial) : next_(initial.data()), left_(initial.size()) {}
    ListArena(const ListArena&) = delete;
    ListArena& operator=(const ListArena&) = delete;
    ~ListArena() override = default;

private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override;
    // Single blocks are never given back; the arena's end frees them all.
    void do_deallocate(void*, std::size_t, std::size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::byte* next_ = nullptr;
    std::size_t left_ = 0;
};

}  // namespace rk::app
