#include "tools/small_block_pool.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <mutex>

namespace small_block_pool {
namespace {

// Classes 1..32 hold c * 16 bytes; the classes above hold the powers of two
// from 1 KiB to kMaxBlock.
constexpr std::size_t kGranule = 16;
constexpr std::size_t kSmallClasses = kMaxSmallBlock / kGranule + 1;
constexpr int kFirstPowerShift = 10;
constexpr int kLastPowerShift = std::countr_zero(kMaxBlock);
static_assert(std::has_single_bit(kMaxBlock) && kLastPowerShift >= kFirstPowerShift);
constexpr std::size_t kClasses = kSmallClasses + (kLastPowerShift - kFirstPowerShift + 1);
static_assert(kClasses <= 256, "a span's class is one byte");

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
// One page for the blocks up to a page; a larger block takes a run of spans.
constexpr std::size_t kSpan = 4096;
constexpr std::size_t kAreaSize = 64 * 1024 * 1024;
constexpr std::size_t kSpansPerArea = kAreaSize / kSpan;
// 16 GiB of small blocks; beyond that the caller falls back to the heap.
constexpr int kMaxAreas = 256;
// Adopted blocks are areas too, and every free looks through the areas.
constexpr int kMaxAdopted = 32;
constexpr std::size_t kMinAdoptedSpans = 64;

std::size_t ClassOf(std::size_t size) {
    if (size <= kMaxSmallBlock) return size == 0 ? 1 : (size + kGranule - 1) / kGranule;
    return kSmallClasses + static_cast<std::size_t>(std::bit_width(size - 1) - kFirstPowerShift);
}

std::size_t BlockSize(std::size_t c) {
    return c < kSmallClasses ? c * kGranule : std::size_t{1} << (c - kSmallClasses + kFirstPowerShift);
}

struct Area {
    std::uintptr_t base = 0;
    std::size_t spanCount = 0;
    std::size_t spansUsed = 0;
    std::uint8_t spanClass[kSpansPerArea] = {};
};

// Areas are only ever added; a reader sees an area once the count covers it.
Area gAreas[kMaxAreas];
std::atomic<int> gAreaCount{0};
std::mutex gCarveMutex;
// Under gCarveMutex: the area of our own that spans are carved from (-1:
// none yet), adopted areas that may still have spans, and how many were
// adopted.
int gOwnArea = -1;
int gAdoptedWithRoom[kMaxAdopted];
int gAdoptedWithRoomCount = 0;
int gAdoptedCount = 0;
std::size_t gSpansCarved = 0;

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

// Makes area number count visible to every thread.
void PublishArea(int count, std::uintptr_t base, std::size_t spanCount) {
    gAreas[count].base = base;
    gAreas[count].spanCount = spanCount;
    gAreaCount.store(count + 1, std::memory_order_release);
}

// A new area, aligned to the huge page size; false when none can be had.
// Huge pages from the first byte on: on a virtual machine one fault that
// zeroes 2 MiB costs about as much as six faults of 4 KiB, and even a small
// mail touches dozens of pages (lines, part records, the read and output
// buffers).
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
    AdviseRange(base, tail);
    PublishArea(count, base, kSpansPerArea);
    gOwnArea = count;
    return true;
}

bool HasRoom(const Area& area, std::size_t spans) { return area.spanCount - area.spansUsed >= spans; }

// The area to carve the next spans from: adopted memory first, as it is
// already touched.
Area* AreaWithRoom(std::size_t spans) {
    while (gAdoptedWithRoomCount > 0 && !HasRoom(gAreas[gAdoptedWithRoom[gAdoptedWithRoomCount - 1]], 1))
        --gAdoptedWithRoomCount;
    for (int i = gAdoptedWithRoomCount; i-- > 0;) {
        Area& area = gAreas[gAdoptedWithRoom[i]];
        if (HasRoom(area, spans)) return &area;
    }
    // The rest of a full area stays unused; it was never touched.
    if (gOwnArea < 0 || !HasRoom(gAreas[gOwnArea], spans)) {
        if (!AddArea()) return nullptr;
    }
    return &gAreas[gOwnArea];
}

// Gives the calling thread fresh room for class c: one span, or for a
// block larger than a span the run of spans it needs.
bool CarveSpan(std::size_t c) {
    const std::size_t block = BlockSize(c);
    const std::size_t spans = block > kSpan ? block / kSpan : 1;
    std::lock_guard<std::mutex> lock(gCarveMutex);
    Area* const found = AreaWithRoom(spans);
    if (found == nullptr) return false;
    Area& area = *found;
    const std::size_t first = area.spansUsed;
    area.spansUsed += spans;
    gSpansCarved += spans;
    std::fill_n(area.spanClass + first, spans, static_cast<std::uint8_t>(c));
    char* const start = reinterpret_cast<char*>(area.base + first * kSpan);
    const std::size_t room = spans * kSpan;
    tCache.next[c] = start;
    tCache.end[c] = start + room - room % block;
    return true;
}

const Area* FindArea(const void* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    const int count = gAreaCount.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i)
        if (address - gAreas[i].base < gAreas[i].spanCount * kSpan) return &gAreas[i];
    return nullptr;
}

}  // namespace

void* Allocate(std::size_t size) noexcept {
    const std::size_t c = ClassOf(size);
    if (FreeBlock* block = tCache.free[c]) {
        tCache.free[c] = block->next;
        return block;
    }
    if (tCache.next[c] == tCache.end[c] && !CarveSpan(c)) return nullptr;
    char* const block = tCache.next[c];
    tCache.next[c] = block + BlockSize(c);
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

bool Adopt(void* p, std::size_t size) noexcept {
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t base = (start + kSpan - 1) & ~(kSpan - 1);
    const std::uintptr_t end = (start + size) & ~(kSpan - 1);
    if (end <= base || (end - base) / kSpan < kMinAdoptedSpans) return false;
    std::lock_guard<std::mutex> lock(gCarveMutex);
    // Only while small blocks have used at least as much memory as the
    // block holds: then more of them are likely to follow. A long line's
    // buffer freed in a mail of few lines would only keep memory in use.
    if (gSpansCarved * kSpan < size) return false;
    const int count = gAreaCount.load(std::memory_order_relaxed);
    if (count == kMaxAreas || gAdoptedCount == kMaxAdopted) return false;
    // A span index fits the area's table; a larger block is taken in part.
    PublishArea(count, base, std::min((end - base) / kSpan, kSpansPerArea));
    gAdoptedWithRoom[gAdoptedWithRoomCount++] = count;
    ++gAdoptedCount;
    return true;
}

void AdviseHugePages(void* p, std::size_t size) noexcept {
    const auto from = reinterpret_cast<std::uintptr_t>(p);
    AdviseRange(from, from + size);
}

}  // namespace small_block_pool
