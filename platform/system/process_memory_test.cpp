// Giving memory back: what the process wrote survives, clean file pages are
// dropped and read back unchanged.
#include "platform/system/process_memory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/test/temp_root.h"

namespace rk::sys {
namespace {

constexpr std::size_t kBytes = 64 * 1024;

struct Unmap {
    std::size_t size;
    void operator()(void* p) const { ::munmap(p, size); }
};
using Mapping = std::unique_ptr<void, Unmap>;

TEST(ProcessMemory, EmptyWorkingSetKeepsEveryByteTheProcessSees) {
    test::TempRoot root;
    const auto file = root.path() / "pages";
    std::string content(kBytes, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>('a' + i % 23);
    }
    std::ofstream(file, std::ios::binary) << content;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);

    struct Case {
        const char* name;
        int prot;
        int flags;
        bool written;     // a private copy of the first page
        bool read_only;   // made read-only afterwards (as relocated library data is)
    };
    const Case cases[] = {
        {"read-only file mapping", PROT_READ, MAP_PRIVATE, false, false},
        {"shared read-only file mapping", PROT_READ, MAP_SHARED, false, false},
        {"private writable mapping, written", PROT_READ | PROT_WRITE, MAP_PRIVATE, true, false},
        {"written, then made read-only", PROT_READ | PROT_WRITE, MAP_PRIVATE, true, true},
        {"anonymous memory", PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, true, false},
    };
    struct Live {
        Mapping mapping;
        std::string expected;
    };
    std::vector<Live> live;
    for (const auto& c : cases) {
        const bool anonymous = (c.flags & MAP_ANONYMOUS) != 0;
        void* p = ::mmap(nullptr, kBytes, c.prot, c.flags, anonymous ? -1 : fd, 0);
        ASSERT_NE(p, MAP_FAILED) << c.name;
        Live entry{Mapping(p, Unmap{kBytes}), anonymous ? std::string(kBytes, '\0') : content};
        if (c.written) {
            std::memset(p, 'W', 4096);
            std::memset(entry.expected.data(), 'W', 4096);
        }
        if (c.read_only) {
            ASSERT_EQ(::mprotect(p, kBytes, PROT_READ), 0);
        }
        // Every page resident before the release.
        volatile char sink = 0;
        for (std::size_t i = 0; i < kBytes; i += 4096) {
            sink = sink + static_cast<const char*>(p)[i];
        }
        live.push_back(std::move(entry));
    }
    ::close(fd);

    // At least the two clean file mappings went.
    EXPECT_GE(empty_working_set(), 2 * kBytes);
    compact_heaps();
    for (std::size_t i = 0; i < live.size(); ++i) {
        EXPECT_EQ(std::memcmp(live[i].mapping.get(), live[i].expected.data(), kBytes), 0) << cases[i].name;
    }
}

}  // namespace
}  // namespace rk::sys
