#include "platform/system/process_memory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace rk::sys {
namespace {

// Blocks from this size on get mappings of their own.
constexpr int kOwnMappingBytes = 256 * 1024;

// glibc reads its tunables from the environment when an image starts.
constexpr char kTunables[] = "GLIBC_TUNABLES";
constexpr char kLeanTunables[] = "glibc.malloc.tcache_count=0:glibc.malloc.mxfast=0:glibc.pthread.stack_cache_size=0";

struct Mapping {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    bool releasable = false;  // file-backed and not writable
    std::size_t rss_kib = 0;
    std::size_t anonymous_kib = 0;
};

// "start-end perms offset dev inode [path]"
Mapping parse_header(const std::string& line) {
    Mapping m;
    char* next = nullptr;
    m.start = std::strtoull(line.c_str(), &next, 16);
    m.end = std::strtoull(next + 1, &next, 16);
    const std::string perms(next + 1, 4);
    // Skip offset and device, read the inode.
    std::strtoull(next + 6, &next, 16);
    while (*next == ' ') ++next;
    while (*next != ' ' && *next != '\0') ++next;
    const unsigned long long inode = std::strtoull(next, nullptr, 10);
    m.releasable = inode != 0 && perms[1] != 'w';
    return m;
}

std::size_t field_kib(const std::string& line) { return std::strtoull(line.c_str() + line.find(':') + 1, nullptr, 10); }

}  // namespace

void compact_heaps() { ::malloc_trim(0); }

// Setting the threshold turns glibc's dynamic adjustment of it off.
void return_large_blocks_to_system() { ::mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes); }

void use_one_heap() { ::mallopt(M_ARENA_MAX, 1); }

void lean_allocator_in_next_image() { ::setenv(kTunables, kLeanTunables, 1); }

void clear_allocator_settings() { ::unsetenv(kTunables); }

std::size_t empty_working_set() {
    // Only mappings of files that the process cannot write and whose pages
    // all still match the file (no private copy: "Anonymous: 0", e.g. not the
    // relocated read-only data of a library) are released: dropping them
    // loses nothing, as the kernel's own reclaim would.
    std::vector<Mapping> mappings;
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    while (std::getline(smaps, line)) {
        if (line.empty()) {
            continue;
        }
        // Field names start with a capital; a mapping's line with its address.
        if (const char c = line.front(); (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) {
            mappings.push_back(parse_header(line));
            continue;
        }
        if (mappings.empty()) {
            continue;
        }
        if (line.rfind("Rss:", 0) == 0) {
            mappings.back().rss_kib = field_kib(line);
        } else if (line.rfind("Anonymous:", 0) == 0) {
            mappings.back().anonymous_kib = field_kib(line);
        }
    }
    std::size_t released = 0;
    for (const Mapping& m : mappings) {
        if (m.releasable && m.anonymous_kib == 0 && m.rss_kib > 0 &&
            ::madvise(reinterpret_cast<void*>(m.start), m.end - m.start, MADV_DONTNEED) == 0) {
            released += m.rss_kib * 1024;
        }
    }
    return released;
}

}  // namespace rk::sys
