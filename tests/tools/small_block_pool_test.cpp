// The pool behind kqv-dump's small allocations.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/small_block_pool.h"

namespace {

TEST(SmallBlockPool, BlocksStayApartAndAreReused) {
    struct Held {
        unsigned char* p;
        std::size_t size;
    };
    std::vector<Held> held;
    // Enough of every size to need more than one span per class.
    for (int round = 0; round < 300; ++round) {
        for (std::size_t size = 1; size <= small_block_pool::kMaxSmallBlock; size += 7) {
            auto* p = static_cast<unsigned char*>(small_block_pool::Allocate(size));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
            std::memset(p, static_cast<int>(held.size() & 0xFF), size);
            held.push_back({p, size});
        }
    }
    for (std::size_t i = 0; i < held.size(); ++i) {
        const unsigned char mark = static_cast<unsigned char>(i & 0xFF);
        for (std::size_t k = 0; k < held[i].size; ++k) ASSERT_EQ(held[i].p[k], mark) << "block " << i;
    }
    for (const Held& h : held) EXPECT_TRUE(small_block_pool::Free(h.p));
    // The last block given back is the next one handed out in its class.
    EXPECT_EQ(small_block_pool::Allocate(held.back().size), held.back().p);

    void* foreign = std::malloc(16);
    EXPECT_FALSE(small_block_pool::Free(foreign));
    std::free(foreign);
}

// Buffers up to kMaxBlock come in powers of two, each its own run of memory.
TEST(SmallBlockPool, LargerBlocksStayApartAndAreReused) {
    const std::size_t sizes[] = {513, 4096, 5000, 70000, small_block_pool::kMaxBlock};
    std::vector<unsigned char*> held;
    for (int round = 0; round < 3; ++round)
        for (const std::size_t size : sizes) {
            auto* p = static_cast<unsigned char*>(small_block_pool::Allocate(size));
            ASSERT_NE(p, nullptr);
            std::memset(p, static_cast<int>(held.size()), size);
            held.push_back(p);
        }
    for (std::size_t i = 0; i < held.size(); ++i) {
        const std::size_t size = sizes[i % std::size(sizes)];
        EXPECT_EQ(held[i][0], i & 0xFF);
        EXPECT_EQ(held[i][size - 1], i & 0xFF);
    }
    for (unsigned char* p : held) EXPECT_TRUE(small_block_pool::Free(p));
    EXPECT_EQ(small_block_pool::Allocate(small_block_pool::kMaxBlock), held.back());
}

// A freed large block becomes room for small blocks, but only once small
// blocks have used as much memory: a lone large buffer stays the heap's.
TEST(SmallBlockPool, AdoptsFreedLargeBlocksOnceSmallBlocksUseAsMuch) {
    constexpr std::size_t kLarge = 1024 * 1024;
    auto* large = static_cast<char*>(std::malloc(kLarge));
    ASSERT_NE(large, nullptr);
    EXPECT_FALSE(small_block_pool::Adopt(large, 64 * 1024)) << "too small to be worth an area";

    std::vector<void*> held;
    for (std::size_t used = 0; used < 2 * kLarge; used += 512) held.push_back(small_block_pool::Allocate(512));
    ASSERT_TRUE(small_block_pool::Adopt(large, kLarge));

    // The next span comes from the adopted memory.
    bool inside = false;
    for (int i = 0; i < 64 && !inside; ++i) {
        char* p = static_cast<char*>(small_block_pool::Allocate(512));
        held.push_back(p);
        inside = p >= large && p + 512 <= large + kLarge;
    }
    EXPECT_TRUE(inside);
    for (void* q : held) EXPECT_TRUE(small_block_pool::Free(q));
}

}  // namespace
