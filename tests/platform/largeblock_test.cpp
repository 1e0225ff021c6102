#include "platform/largeblock.h"

#include <gtest/gtest.h>

#include <cstdint>

using qor::LargeBlockAllocator;
using qor::LargeVector;

namespace {

constexpr size_t kMiB = size_t(1) << 20;

// Values given are kept, whatever the size class: a block read into after
// allocation may skip zeroing, but a fill asked for must happen.
TEST(LargeBlock, FillsWhenAValueIsGivenAtEverySize) {
    for (size_t bytes : {size_t(64), kMiB, 2 * kMiB, 3 * kMiB + 12, 5 * kMiB}) {
        LargeVector<uint32_t> v(bytes / 4, 0xA5A5A5A5u);
        ASSERT_EQ(v.size(), bytes / 4);
        EXPECT_EQ(v.front(), 0xA5A5A5A5u) << bytes;
        EXPECT_EQ(v.back(), 0xA5A5A5A5u) << bytes;
        v.resize(v.size() + 1000, 7u);
        EXPECT_EQ(v.back(), 7u) << bytes;
        EXPECT_EQ(v[bytes / 4 - 1], 0xA5A5A5A5u) << bytes;
        // Growing one element at a time keeps what was there.
        v.assign(10, 3u);
        for (uint32_t i = 0; i < 700'000; ++i) v.push_back(i);
        EXPECT_EQ(v[9], 3u);
        EXPECT_EQ(v.back(), 699'999u);
    }
}

// Large blocks start on a huge-page boundary, so the kernel can back them
// with huge pages from the first byte.
TEST(LargeBlock, LargeBlocksAreHugePageAligned) {
    LargeVector<uint64_t> big(3 * kMiB / 8);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(big.data()) % (2 * kMiB), 0u);
    std::vector<uint32_t, LargeBlockAllocator<uint32_t, false>> table(kMiB, 1u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(table.data()) % (2 * kMiB), 0u);
}

// A page's block freed is handed to the next page of the same size; a
// table that keeps no spare neither takes nor displaces it.
TEST(LargeBlock, OnlyPageBlocksAreKeptForTheNextRead) {
    const size_t n = 6 * kMiB / 8;
    const void* first = nullptr;
    {
        LargeVector<uint64_t> page(n);
        first = page.data();
    }
    {
        std::vector<uint64_t, LargeBlockAllocator<uint64_t, false>> table(n, 0);
        EXPECT_NE(static_cast<const void*>(table.data()), first);
    }
    LargeVector<uint64_t> next(n);
    EXPECT_EQ(static_cast<const void*>(next.data()), first);
}

}  // namespace
