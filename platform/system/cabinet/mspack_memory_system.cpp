#include "platform/system/cabinet/mspack_memory_system.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace rk::sys::cabinet {

struct MspackMemorySystem::Handle {
    MspackMemorySystem* owner;
    bool output;
    std::size_t position;
};

namespace {

// Every block carries its size and its owner's counter in front, because
// the library's free() gets nothing else.
struct alignas(std::max_align_t) BlockHeader {
    std::size_t* counter;
    std::size_t size;
};

thread_local MspackMemorySystem* t_current = nullptr;

}  // namespace

MspackMemorySystem::MspackMemorySystem(std::span<const std::uint8_t> cabinet, std::size_t allocation_limit)
    : callbacks_{&open, &close, &read, &write, &seek, &tell, &message, &alloc, &release, &copy, nullptr},
      previous_(t_current),
      cabinet_(cabinet),
      allocation_limit_(allocation_limit) {
    t_current = this;
}

MspackMemorySystem::~MspackMemorySystem() { t_current = previous_; }

mspack_file* MspackMemorySystem::open(mspack_system* /*self*/, const char* name, int mode) {
    auto* owner = t_current;
    bool output = false;
    if (mode == MSPACK_SYS_OPEN_READ && std::strcmp(name, kCabinetName) == 0) {
        output = false;
    } else if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(name, kOutputName) == 0) {
        output = true;
    } else {
        return nullptr;
    }
    auto* handle = new (std::nothrow) Handle{owner, output, 0};
    return reinterpret_cast<mspack_file*>(handle);
}

void MspackMemorySystem::close(mspack_file* file) { delete reinterpret_cast<Handle*>(file); }

int MspackMemorySystem::read(mspack_file* file, void* buffer, int bytes) {
    auto* handle = reinterpret_cast<Handle*>(file);
    if (handle == nullptr || handle->output || bytes < 0) {
        return -1;
    }
    const auto data = handle->owner->cabinet_;
    const std::size_t left = data.size() - handle->position;
    const std::size_t count = std::min(left, static_cast<std::size_t>(bytes));
    if (count > 0) {
        std::memcpy(buffer, data.data() + handle->position, count);
    }
    handle->position += count;
    return static_cast<int>(count);
}

int MspackMemorySystem::write(mspack_file* file, void* buffer, int bytes) {
    auto* handle = reinterpret_cast<Handle*>(file);
    if (handle == nullptr || !handle->output || bytes < 0 || !handle->owner->sink_) {
        return -1;
    }
    const std::span<const std::uint8_t> chunk(static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(bytes));
    return handle->owner->sink_(chunk) ? bytes : -1;
}

int MspackMemorySystem::seek(mspack_file* file, off_t offset, int mode) {
    auto* handle = reinterpret_cast<Handle*>(file);
    if (handle == nullptr || handle->output) {
        return -1;
    }
    const auto size = static_cast<off_t>(handle->owner->cabinet_.size());
    off_t base = 0;
    switch (mode) {
        case MSPACK_SYS_SEEK_START: base = 0; break;
        case MSPACK_SYS_SEEK_CUR: base = static_cast<off_t>(handle->position); break;
        case MSPACK_SYS_SEEK_END: base = size; break;
        default: return -1;
    }
    if (offset < -base || offset > size - base) {
        return -1;
    }
    handle->position = static_cast<std::size_t>(base + offset);
    return 0;
}

off_t MspackMemorySystem::tell(mspack_file* file) {
    auto* handle = reinterpret_cast<Handle*>(file);
    return handle == nullptr ? -1 : static_cast<off_t>(handle->position);
}

void MspackMemorySystem::message(mspack_file* /*file*/, const char* /*format*/, ...) {}

void* MspackMemorySystem::alloc(mspack_system* /*self*/, std::size_t bytes) {
    auto* owner = t_current;
    if (bytes > owner->allocation_limit_ - owner->allocated_) {
        owner->allocation_refused_ = true;
        return nullptr;
    }
    void* block = std::malloc(sizeof(BlockHeader) + bytes);
    if (block == nullptr) {
        return nullptr;
    }
    owner->allocated_ += bytes;
    auto* header = static_cast<BlockHeader*>(block);
    header->counter = &owner->allocated_;
    header->size = bytes;
    return header + 1;
}

void MspackMemorySystem::release(void* pointer) {
    if (pointer == nullptr) {
        return;
    }
    auto* header = static_cast<BlockHeader*>(pointer) - 1;
    *header->counter -= header->size;
    std::free(header);
}

void MspackMemorySystem::copy(void* source, void* target, std::size_t bytes) { std::memmove(target, source, bytes); }

}  // namespace rk::sys::cabinet
