#pragma once

// Large tables and buffers ask to be backed by large memory pages where the system offers them
// (Linux's transparent huge pages in their "madvise" mode, Debian's default). Filling 30 MB of
// fresh memory otherwise costs some 7,000 page faults, which on a virtual machine take longer
// than reading a family file itself.

#include <cstddef>
#include <new>
#include <vector>

namespace pq {

inline constexpr std::size_t kLargePage = std::size_t(2) << 20;

// Asks for large pages under the whole large pages inside [data, data + bytes); does nothing
// for a small range, or where the system has no such advice.
void adviseLargePages(void* data, std::size_t bytes);

// Blocks of a megabyte or more, aligned to a large page and given the advice before they are
// first written; smaller ones as std::allocator gives them.
void* allocateLarge(std::size_t bytes);
void deallocateLarge(void* block, std::size_t bytes) noexcept;

template<class T> struct LargePageAllocator {
    using value_type = T;

    LargePageAllocator() = default;
    template<class U> LargePageAllocator(const LargePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(allocateLarge(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { deallocateLarge(p, n * sizeof(T)); }

    template<class U> bool operator==(const LargePageAllocator<U>&) const noexcept { return true; }
};

template<class T> using LargeVector = std::vector<T, LargePageAllocator<T>>;

} // namespace pq
