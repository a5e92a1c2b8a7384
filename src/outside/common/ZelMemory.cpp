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
    // Aligned to huge pages, so the kernel can back every whole one so; the
    // tail takes small pages and no memory is wasted on rounding.
    void* p = nullptr;
    if (posix_memalign(&p, kHugePage, bytes) != 0)
        return nullptr;
    madvise(p, bytes & ~(kHugePage - 1), MADV_HUGEPAGE);   // advice only: failure changes nothing
    return p;
}

void FreeLargeBuffer(void* p, size_t) noexcept { std::free(p); }
