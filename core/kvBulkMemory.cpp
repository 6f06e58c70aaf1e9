#include "kvBulkMemory.h"

#include <cstdint>
#include <cstdlib>

#include <algorithm>
#include <thread>

#ifdef __linux__
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Below this a block comes from the heap, whose pages are often in use already.
constexpr std::size_t kSystemBlock = std::size_t(1) << 20;
// Large pages pay off only for ranges that hold several of them.
constexpr std::size_t kLargePageRange = std::size_t(4) << 20;

} // namespace

namespace Kv {
namespace BulkMemory {

void adviseLargePages(void *pData, std::size_t pBytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (!pData || pBytes < kLargePageRange)
        return;
    const std::uintptr_t tPage = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t tStart = (std::uintptr_t(pData) + tPage - 1) & ~(tPage - 1);
    const std::uintptr_t tEnd = (std::uintptr_t(pData) + pBytes) & ~(tPage - 1);
    // A refusal (no such pages, an old kernel) leaves the range as it was.
    if (tEnd > tStart)
        madvise(reinterpret_cast<void *>(tStart), tEnd - tStart, MADV_HUGEPAGE);
#else
    (void)pData;
    (void)pBytes;
#endif
}

void *allocateZeroed(std::size_t pBytes)
{
#ifdef __linux__
    if (pBytes >= kSystemBlock) {
        // Anonymous pages read as zero and are made only when first written.
        void *tData
            = mmap(nullptr, pBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (tData == MAP_FAILED)
            throw std::bad_alloc();
        adviseLargePages(tData, pBytes);
        return tData;
    }
#endif
    void *tData = std::calloc(1, pBytes ? pBytes : 1);
    if (!tData)
        throw std::bad_alloc();
    return tData;
}

void freeZeroed(void *pData, std::size_t pBytes)
{
    if (!pData)
        return;
#ifdef __linux__
    if (pBytes >= kSystemBlock) {
        munmap(pData, pBytes);
        return;
    }
#endif
    std::free(pData);
}

unsigned usableCores()
{
#ifdef __linux__
    cpu_set_t tSet;
    CPU_ZERO(&tSet);
    if (sched_getaffinity(0, sizeof(tSet), &tSet) == 0 && CPU_COUNT(&tSet) > 0)
        return unsigned(CPU_COUNT(&tSet));
#endif
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace BulkMemory
} // namespace Kv
