#include "raster/HugePages.h"

#include <algorithm>
#include <sys/mman.h>

void* AllocateLarge(std::size_t bytes)
{
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    if (bytes < kHugePage)
        return std::malloc(std::max<std::size_t>(bytes, 1));
    const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = std::aligned_alloc(kHugePage, size);
#if defined(MADV_HUGEPAGE)
    if (memory)
        ::madvise(memory, size, MADV_HUGEPAGE);
#endif
    return memory;
}
