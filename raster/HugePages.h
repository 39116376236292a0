#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

// The one allocator of large pixel blocks: the bitmap's rows, undo steps and
// the kernels' work copies. Touching tens of megabytes of fresh memory page by
// page costs more than most operations on them, so a block of 2 MiB or more is
// aligned on 2 MiB and the system is advised to back it with huge pages (only
// advice: ordinary pages otherwise). The memory is uninitialised; nullptr when
// there is none. Free it with std::free.
void* AllocateLarge(std::size_t bytes);

struct FreeLarge {
    void operator()(void* memory) const { std::free(memory); }
};

// A block from AllocateLarge that frees itself.
template <typename T> using LargeBuffer = std::unique_ptr<T[], FreeLarge>;

template <typename T> LargeBuffer<T> AllocateLargeArray(std::size_t count)
{
    return LargeBuffer<T>(static_cast<T*>(AllocateLarge(count * sizeof(T))));
}
