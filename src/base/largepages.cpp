#include "largepages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pq {

void adviseLargePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kLargePage - 1) & ~std::uintptr_t(kLargePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~std::uintptr_t(kLargePage - 1);
    // Advice only: where it is refused (no such pages, an old kernel) the memory stays as it is.
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

namespace {

constexpr std::size_t kLargeBlock = std::size_t(1) << 20;

} // namespace

void* allocateLarge(std::size_t bytes) {
    if (bytes < kLargeBlock)
        return ::operator new(bytes);
    // Aligned, so that the block's last, partly used large page is the only one not wholly
    // its own; that page is advised too, since the alignment left its rest unused.
    void* block = ::operator new(bytes, std::align_val_t(kLargePage));
    adviseLargePages(block, (bytes + kLargePage - 1) & ~(kLargePage - 1));
    return block;
}

void deallocateLarge(void* block, std::size_t bytes) noexcept {
    if (bytes < kLargeBlock)
        ::operator delete(block);
    else
        ::operator delete(block, std::align_val_t(kLargePage));
}

} // namespace pq
