#include "ZelMemory.h"

#include <cstdlib>
#include <sys/mman.h>

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
}

void* AllocLargeBuffer(size_t bytes)
{
    if (bytes == 0)
        bytes = 1;
    if (bytes < kHugePage)
        return std::malloc(bytes);
    // Whole huge pages, aligned to them, so the kernel can back them so.
    const size_t size = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    void* p = std::aligned_alloc(kHugePage, size);
    if (p)
        madvise(p, size, MADV_HUGEPAGE);   // advice only: failure changes nothing
    return p;
}

void FreeLargeBuffer(void* p, size_t) noexcept { std::free(p); }
