#pragma once
// Memory for the many small blocks of a loaded mail (header lines, fields,
// parts: hundreds of thousands for a mail of many parts) and for its buffers. The C library's
// heap hands them out from pages that fault in one by one, and on a virtual
// machine the faults cost more than the work on the text. Here they come
// from large areas that the kernel may back with huge pages, in size
// classes (16-byte steps up to kMaxSmallBlock, powers of two above), each
// class carved from spans of its own and reused through a free list.
//
// Each thread keeps its own free lists and spans; a block may be freed by
// any thread. Memory goes back to the system only when the process ends.

#include <cstddef>

namespace small_block_pool {

// The largest block served in steps of 16 bytes.
constexpr std::size_t kMaxSmallBlock = 512;
// The largest block served; larger requests belong elsewhere.
constexpr std::size_t kMaxBlock = 256 * 1024;

// A block of at least size bytes (1..kMaxBlock), aligned to 16; nullptr
// when no more memory can be had.
void* Allocate(std::size_t size) noexcept;
// Takes p back when the pool handed it out; false for any other pointer.
bool Free(void* p) noexcept;

// Takes the memory of a large block that its owner has freed as spans for
// small blocks, instead of giving it back: a growing array of lines leaves
// its earlier, already touched copies behind, and the lines that follow
// would otherwise fault in fresh pages. False when the pool does not take
// it (too small, or enough taken already); the caller frees it then.
bool Adopt(void* p, std::size_t size) noexcept;

// Advises the kernel to back the whole 2 MiB pages inside [p, p + size)
// with huge pages when they are first touched; for fresh large blocks.
void AdviseHugePages(void* p, std::size_t size) noexcept;

}  // namespace small_block_pool
