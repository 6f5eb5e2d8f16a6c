// kqv-dump's operator new and delete: small blocks from the pool, large ones
// from the C library with huge pages advised. Linked into the executable
// only, and not into sanitizer builds, whose allocator checks every block.

#include <malloc.h>

#include <cstdlib>
#include <new>

#include "tools/small_block_pool.h"

namespace {

// Large blocks (the blocks of a body's lines, very long lines) are fresh
// mappings of the C library; advising them costs one call and saves a fault
// per 4 KiB.
constexpr std::size_t kAdviseFrom = 4 * 1024 * 1024;
// Freed blocks from this size on become room for small blocks.
constexpr std::size_t kAdoptFrom = 1024 * 1024;

void* AllocateOrNull(std::size_t size) noexcept {
    if (size <= small_block_pool::kMaxBlock) {
        if (void* p = small_block_pool::Allocate(size)) return p;
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr && size >= kAdviseFrom) small_block_pool::AdviseHugePages(p, size);
    return p;
}

}  // namespace

void* operator new(std::size_t size) {
    for (;;) {
        if (void* p = AllocateOrNull(size)) return p;
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* p, std::size_t size) noexcept {
    if (p == nullptr || small_block_pool::Free(p)) return;
    if (size >= kAdoptFrom && small_block_pool::Adopt(p, size)) return;
    std::free(p);
}

void operator delete(void* p) noexcept {
    if (p == nullptr || small_block_pool::Free(p)) return;
    ::operator delete(p, malloc_usable_size(p));
}
void operator delete(void* p, const std::nothrow_t&) noexcept { ::operator delete(p); }
// The array forms of the C++ library forward to these.
