// Giving memory back while a long-running process idles: HeapCompact and
// EmptyWorkingSet.
#pragma once

#include <cstddef>

namespace rk::sys {

// HeapCompact on every heap of the process: free blocks of the allocator
// go back to the system (threads' heaps included).
void compact_heaps();

// EmptyWorkingSet: removes from the process's resident set every page that
// can come back unchanged on its next use (code and read-only data of the
// program and its libraries). They stay in the system's file cache, so a
// later touch costs a soft fault, not a read. Pages the process wrote are
// never touched. Returns how many bytes were resident in what was released.
std::size_t empty_working_set();

}  // namespace rk::sys
