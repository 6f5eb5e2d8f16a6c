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
        for (std::size_t size = 1; size <= small_block_pool::kMaxBlock; size += 7) {
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

}  // namespace
