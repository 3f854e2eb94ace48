// libmspack's I/O and memory callbacks over a cabinet held in memory: the
// cabinet can be opened as often as the library likes, output goes to a
// caller-supplied sink, and the library's allocations are bounded.
#pragma once

#include <mspack.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace rk::sys::cabinet {

class MspackMemorySystem {
public:
    // The names the library is given: the cabinet and the current output.
    static constexpr char kCabinetName[] = "cabinet";
    static constexpr char kOutputName[] = "output";

    // Receives the bytes of the file being extracted; false fails the write.
    using Sink = std::function<bool(std::span<const std::uint8_t>)>;

    // One instance per thread at a time: the library hands its callbacks
    // copies of the structure, so they find their instance through the
    // thread.
    MspackMemorySystem(std::span<const std::uint8_t> cabinet, std::size_t allocation_limit);
    MspackMemorySystem(const MspackMemorySystem&) = delete;
    MspackMemorySystem& operator=(const MspackMemorySystem&) = delete;
    ~MspackMemorySystem();

    mspack_system* system() { return &callbacks_; }
    void set_sink(Sink sink) { sink_ = std::move(sink); }
    // True once an allocation was refused because of the limit.
    bool allocation_refused() const { return allocation_refused_; }

private:
    struct Handle;

    static mspack_file* open(mspack_system* self, const char* name, int mode);
    static void close(mspack_file* file);
    static int read(mspack_file* file, void* buffer, int bytes);
    static int write(mspack_file* file, void* buffer, int bytes);
    static int seek(mspack_file* file, off_t offset, int mode);
    static off_t tell(mspack_file* file);
    static void message(mspack_file* file, const char* format, ...);
    static void* alloc(mspack_system* self, std::size_t bytes);
    static void release(void* pointer);
    static void copy(void* source, void* target, std::size_t bytes);

    mspack_system callbacks_;
    MspackMemorySystem* previous_;
    std::span<const std::uint8_t> cabinet_;
    Sink sink_;
    std::size_t allocation_limit_;
    std::size_t allocated_ = 0;
    bool allocation_refused_ = false;
};

}  // namespace rk::sys::cabinet
