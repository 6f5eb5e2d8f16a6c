#pragma once
// Memory for the many small blocks of a loaded mail (one string per text
// line: millions for a large text). The C library's heap hands them out from
// pages that fault in one by one, and on a virtual machine the faults cost
// more than the work on the text. Here they come from large areas that the
// kernel may back with huge pages, in size classes of 16 bytes, each class
// carved from spans of its own and reused through a free list.
//
// Each thread keeps its own free lists and spans; a block may be freed by
// any thread. Memory goes back to the system only when the process ends.

#include <cstddef>

namespace small_block_pool {

// The largest block served; larger requests belong elsewhere.
constexpr std::size_t kMaxBlock = 512;

// A block of at least size bytes (1..kMaxBlock), aligned to 16; nullptr
// when no more memory can be had.
void* Allocate(std::size_t size) noexcept;
// Takes p back when the pool handed it out; false for any other pointer.
bool Free(void* p) noexcept;

// Advises the kernel to back the whole 2 MiB pages inside [p, p + size)
// with huge pages when they are first touched; for fresh large blocks.
void AdviseHugePages(void* p, std::size_t size) noexcept;

}  // namespace small_block_pool
