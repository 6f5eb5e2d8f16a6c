#include "tools/small_block_pool.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace small_block_pool {
namespace {

constexpr std::size_t kGranule = 16;
constexpr std::size_t kClasses = kMaxBlock / kGranule + 1;  // class c holds c * 16 bytes
constexpr std::size_t kHugePage = 2 * 1024 * 1024;
// One page: a small mail touches one page per size class it uses.
constexpr std::size_t kSpan = 4096;
constexpr std::size_t kAreaSize = 64 * 1024 * 1024;
constexpr std::size_t kSpansPerArea = kAreaSize / kSpan;
// 16 GiB of small blocks; beyond that the caller falls back to the heap.
constexpr int kMaxAreas = 256;

struct Area {
    std::uintptr_t base = 0;
    std::size_t spansUsed = 0;
    std::uint8_t spanClass[kSpansPerArea] = {};
};

// Areas are only ever added; a reader sees an area once the count covers it.
Area gAreas[kMaxAreas];
std::atomic<int> gAreaCount{0};
std::mutex gCarveMutex;

struct FreeBlock {
    FreeBlock* next;
};

// Plain data, so that thread-local access needs no initialisation guard.
struct ThreadCache {
    FreeBlock* free[kClasses];
    char* next[kClasses];
    char* end[kClasses];
};
thread_local ThreadCache tCache;

void AdviseRange(std::uintptr_t from, std::uintptr_t to) {
    from = (from + kHugePage - 1) & ~(kHugePage - 1);
    to &= ~(kHugePage - 1);
    // Without transparent huge pages this fails, and plain pages serve.
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

// A new area, aligned to the huge page size; false when none can be had.
bool AddArea() {
    const int count = gAreaCount.load(std::memory_order_relaxed);
    if (count == kMaxAreas) return false;
    void* raw = ::mmap(nullptr, kAreaSize + kHugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED) return false;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t base = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (base > start) ::munmap(raw, base - start);
    const std::uintptr_t tail = base + kAreaSize;
    if (start + kAreaSize + kHugePage > tail) ::munmap(reinterpret_cast<void*>(tail), start + kAreaSize + kHugePage - tail);
    // The first 2 MiB stay in small pages: a small mail should not pay for
    // zeroing a huge page it barely uses.
    AdviseRange(count == 0 ? base + kHugePage : base, tail);
    gAreas[count].base = base;
    gAreaCount.store(count + 1, std::memory_order_release);
    return true;
}

// Gives the calling thread a fresh span for class c.
bool CarveSpan(std::size_t c) {
    std::lock_guard<std::mutex> lock(gCarveMutex);
    int count = gAreaCount.load(std::memory_order_relaxed);
    if (count == 0 || gAreas[count - 1].spansUsed == kSpansPerArea) {
        if (!AddArea()) return false;
        ++count;
    }
    Area& area = gAreas[count - 1];
    const std::size_t span = area.spansUsed++;
    area.spanClass[span] = static_cast<std::uint8_t>(c);
    char* const start = reinterpret_cast<char*>(area.base + span * kSpan);
    tCache.next[c] = start;
    tCache.end[c] = start + kSpan - kSpan % (c * kGranule);
    return true;
}

const Area* FindArea(const void* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    const int count = gAreaCount.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i)
        if (address - gAreas[i].base < kAreaSize) return &gAreas[i];
    return nullptr;
}

}  // namespace

void* Allocate(std::size_t size) noexcept {
    const std::size_t c = size == 0 ? 1 : (size + kGranule - 1) / kGranule;
    if (FreeBlock* block = tCache.free[c]) {
        tCache.free[c] = block->next;
        return block;
    }
    if (tCache.next[c] == tCache.end[c] && !CarveSpan(c)) return nullptr;
    char* const block = tCache.next[c];
    tCache.next[c] = block + c * kGranule;
    return block;
}

bool Free(void* p) noexcept {
    const Area* area = FindArea(p);
    if (area == nullptr) return false;
    const std::size_t span = (reinterpret_cast<std::uintptr_t>(p) - area->base) / kSpan;
    const std::size_t c = area->spanClass[span];
    auto* block = static_cast<FreeBlock*>(p);
    block->next = tCache.free[c];
    tCache.free[c] = block;
    return true;
}

void AdviseHugePages(void* p, std::size_t size) noexcept {
    const auto from = reinterpret_cast<std::uintptr_t>(p);
    AdviseRange(from, from + size);
}

}  // namespace small_block_pool
