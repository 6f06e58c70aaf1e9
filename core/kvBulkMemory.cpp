#include "kvBulkMemory.h"

#include "kvPlatform.h"

#include <cstdlib>

namespace {

// Below this a block comes from the heap, whose pages are often in use already.
constexpr std::size_t kSystemBlock = std::size_t(1) << 20;

} // namespace

namespace Kv {
namespace BulkMemory {

void *allocateZeroed(std::size_t pBytes)
{
    void *tData = pBytes >= kSystemBlock ? Kv::Platform::allocatePages(pBytes)
                                         : std::calloc(1, pBytes ? pBytes : 1);
    if (!tData)
        throw std::bad_alloc();
    if (pBytes >= kSystemBlock)
        Kv::Platform::adviseLargePages(tData, pBytes);
    return tData;
}

void freeZeroed(void *pData, std::size_t pBytes)
{
    if (pBytes >= kSystemBlock)
        Kv::Platform::freePages(pData, pBytes);
    else
        std::free(pData);
}

} // namespace BulkMemory
} // namespace Kv
