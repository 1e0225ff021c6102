#pragma once
// Storage for large arrays filled from a file straight after allocation:
// a report's page slots and cell format words, a compound file's
// allocation table and sector chains.
//
// Two costs dominate reading a full-size page: zeroing tens of megabytes
// that the read overwrites at once, and taking a page fault for every
// 4 KiB of it. This allocator leaves elements default-initialised (no
// zeroing unless a value is given) and asks for transparent huge pages on
// blocks of two megabytes or more, so a 30 MB page faults in some fifteen
// steps instead of thousands.

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace qor {

// The last large block freed, kept for the next allocation of the same
// size: reading page after page of one report then decodes each page into
// the memory the previous one left, where a fresh block would have every
// byte zeroed by the kernel first (most of a page load). One block of at
// most a full-size page is kept, so little memory lies idle.
class SpareLargeBlock {
public:
    static constexpr size_t kMaxBytes = size_t(32) << 20;

    // The kept block when it has exactly this size (it is then no longer
    // kept), else null.
    static void* take(size_t bytes) noexcept {
        SpareLargeBlock& s = instance();
        std::lock_guard<std::mutex> lock(s.m_mutex);
        if (!s.m_block || s.m_bytes != bytes) return nullptr;
        void* p = s.m_block;
        s.m_block = nullptr;
        return p;
    }
    // Keeps p (replacing the block kept before) or frees it.
    static void give(void* p, size_t bytes) noexcept {
        if (bytes > kMaxBytes) {
            std::free(p);
            return;
        }
        SpareLargeBlock& s = instance();
        void* old = nullptr;
        {
            std::lock_guard<std::mutex> lock(s.m_mutex);
            old = s.m_block;
            s.m_block = p;
            s.m_bytes = bytes;
        }
        std::free(old);
    }

private:
    // Never destroyed: vectors freed while the program ends still find it.
    static SpareLargeBlock& instance() {
        static SpareLargeBlock* s = new SpareLargeBlock;
        return *s;
    }
    std::mutex m_mutex;
    void* m_block = nullptr;
    size_t m_bytes = 0;
};

// KeepSpare: blocks freed go to SpareLargeBlock for the next page read.
// Arrays that are not decoded over and over (a compound file's tables)
// free theirs at once, so they never displace a page's block.
template <class T, bool KeepSpare = true>
class LargeBlockAllocator {
public:
    using value_type = T;
    template <class U>
    struct rebind {
        using other = LargeBlockAllocator<U, KeepSpare>;
    };

    LargeBlockAllocator() = default;
    template <class U>
    LargeBlockAllocator(const LargeBlockAllocator<U, KeepSpare>&) noexcept {}

    T* allocate(size_t n) {
        if (n > size_t(-1) / sizeof(T)) throw std::bad_alloc();
        const size_t bytes = n * sizeof(T);
        if (bytes >= kHugeFrom) {
            const size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
            if constexpr (KeepSpare)
                if (void* p = SpareLargeBlock::take(rounded)) return static_cast<T*>(p);
            if (void* p = std::aligned_alloc(kHuge, rounded)) {
                ::madvise(p, rounded, MADV_HUGEPAGE);  // advice only; failure changes nothing
                return static_cast<T*>(p);
            }
            throw std::bad_alloc();
        }
        if (void* p = std::malloc(bytes ? bytes : 1)) return static_cast<T*>(p);
        throw std::bad_alloc();
    }
    void deallocate(T* p, size_t n) noexcept {
        const size_t bytes = n * sizeof(T);
        if (KeepSpare && bytes >= kHugeFrom)
            SpareLargeBlock::give(p, (bytes + kHuge - 1) / kHuge * kHuge);
        else
            std::free(p);
    }

    // Default-initialise: vector(n) and resize(n) leave trivial elements
    // as they are; vector(n, v) and resize(n, v) still fill.
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <class U>
    bool operator==(const LargeBlockAllocator<U, KeepSpare>&) const noexcept {
        return true;
    }

private:
    static constexpr size_t kHuge = size_t(2) << 20;
    // From one huge page up: a block then wastes at most part of its last.
    static constexpr size_t kHugeFrom = kHuge;
};

template <class T>
using LargeVector = std::vector<T, LargeBlockAllocator<T>>;

}  // namespace qor
