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

// Blocks of 256 KiB and more are mapped one by one and returned to the
// system when freed, whatever sizes were freed before. (glibc otherwise
// raises that threshold to the largest block freed, up to 32 MiB, and keeps
// later blocks in the heap, where freed space between live blocks stays
// resident: parsing 48 MB of 1 MB lines peaked at 9 times the input instead
// of 3.) Programs that read large inputs call it once at start; Windows'
// heap releases large blocks on its own.
void return_large_blocks_to_system();

// Every thread allocates from the one process heap, as on Windows. (glibc
// otherwise gives threads heaps of their own, up to eight per core, and
// compact_heaps cannot return the free space at their tops: a daemon pass
// on a worker thread left about 0.4 MiB resident that way.) Called first
// thing, before the process starts a thread.
void use_one_heap();

// Allocator settings that only a starting program image reads: no
// per-thread caches of freed blocks, no "fast" lists of small freed blocks
// (every free merges with its free neighbours at once, so small blocks that
// live on are packed onto fewer pages), and no cache of finished threads'
// stacks, so that what a long-running process frees can all go back
// (compact_heaps; together about 0.21 MiB of the sleeping daemon). Set
// before the process executes itself (the secure start's second image);
// once that image runs, `clear_allocator_settings` removes them from the
// environment, so the programs it starts do not inherit them. (Windows'
// heap keeps no such caches: both do nothing there.)
void lean_allocator_in_next_image();
void clear_allocator_settings();

}  // namespace rk::sys
