#pragma once

#include <QVector>

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

// Memory for the arrays of a large mesh, which hold millions of entries each. Every page of
// new memory costs a page fault when it is first touched, and on some machines (virtual ones
// above all) a fault costs as much as filling the page many times over; so such arrays are
// asked for in one piece, backed by large pages where the system has them, and first touched
// by the thread that fills them.
namespace Kv {
namespace BulkMemory {

// pBytes of memory that reads as zero; a large block comes from the system and no page of
// it is touched (or counted as used) before it is written. Throws std::bad_alloc.
void *allocateZeroed(std::size_t pBytes);
// Frees what allocateZeroed(pBytes) gave.
void freeZeroed(void *pData, std::size_t pBytes);

// Gives pVector room for pMore entries after its own, in one new allocation, and returns
// the header through which a filler counts the entries it made there (its size): the
// entries of [size, size + pMore) are raw memory until made. pMore is at least 1. Throws
// std::bad_alloc.
template <typename T> QTypedArrayData<T> *withRoom(QVector<T> &pVector, qint64 pMore)
{
    using Data = QTypedArrayData<T>;
    const qint64 tCapacity = qint64(pVector.size()) + pMore;
    if (pMore <= 0 || tCapacity > (qint64(1) << 31) / qint64(sizeof(T)))
        throw std::bad_alloc();
    Data *tData = Data::allocate(size_t(tCapacity));
    if (!tData)
        throw std::bad_alloc();
    T *tTo = tData->begin();
    try {
        for (const T &tEntry : qAsConst(pVector)) {
            new (tTo) T(tEntry);
            ++tTo;
        }
    } catch (...) {
        for (T *tMade = tData->begin(); tMade != tTo; ++tMade)
            tMade->~T();
        Data::deallocate(tData);
        throw;
    }
    tData->size = pVector.size();
    pVector = QVector<T>(QArrayDataPointerRef<T> {tData});
    return tData;
}

} // namespace BulkMemory
} // namespace Kv

// A fixed number of entries of a type whose all-zero bytes are a valid value, all zero at
// first, in memory from Kv::BulkMemory::allocateZeroed. It can be moved, not copied.
template <typename T> class kvZeroedArray
{
    static_assert(std::is_trivially_copyable<T>::value && std::is_trivially_destructible<T>::value,
        "the entries are made by zeroing bytes");

public:
    kvZeroedArray() = default;
    explicit kvZeroedArray(std::size_t pSize)
        : m_data(
            pSize ? static_cast<T *>(Kv::BulkMemory::allocateZeroed(pSize * sizeof(T))) : nullptr)
        , m_size(pSize)
    { }
    kvZeroedArray(kvZeroedArray &&pOther) noexcept
        : m_data(std::exchange(pOther.m_data, nullptr))
        , m_size(std::exchange(pOther.m_size, 0))
    { }
    kvZeroedArray &operator=(kvZeroedArray &&pOther) noexcept
    {
        if (this != &pOther) {
            release();
            m_data = std::exchange(pOther.m_data, nullptr);
            m_size = std::exchange(pOther.m_size, 0);
        }
        return *this;
    }
    kvZeroedArray(const kvZeroedArray &) = delete;
    kvZeroedArray &operator=(const kvZeroedArray &) = delete;
    ~kvZeroedArray() { release(); }

    T *data() { return m_data; }
    const T *data() const { return m_data; }
    std::size_t size() const { return m_size; }
    T &operator[](std::size_t pIndex) { return m_data[pIndex]; }
    const T &operator[](std::size_t pIndex) const { return m_data[pIndex]; }

private:
    void release()
    {
        if (m_data)
            Kv::BulkMemory::freeZeroed(m_data, m_size * sizeof(T));
        m_data = nullptr;
        m_size = 0;
    }

    T *m_data = nullptr;
    std::size_t m_size = 0;
};
