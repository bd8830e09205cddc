#include "platform/Allocator.h"

// Any header of the C library says whether it is glibc.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tanvill {

namespace {

constexpr int kMappedFromBytes = 256 * 1024;
constexpr int kHeapGrowthBytes = 4 * 1024 * 1024;

} // namespace

void setUpAllocator()
{
#if defined(__GLIBC__)
    // Setting the threshold also stops the library from raising it.
    mallopt(M_MMAP_THRESHOLD, kMappedFromBytes);
    mallopt(M_TOP_PAD, kHeapGrowthBytes);
#endif
}

void giveBackFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace tanvill
