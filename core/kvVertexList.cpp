#include "kvVertexList.h"

#include "kvPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

QT_WARNING_DISABLE_DEPRECATED

namespace {

// Truncates toward zero into pOut when the result fits a 32-bit int.
bool truncateToInt(double pValue, std::uint32_t &pOut)
{
    if (!(pValue > -2147483649.0 && pValue < 2147483648.0))
        return false; // NaN, infinite or out of range
    pOut = static_cast<std::uint32_t>(static_cast<std::int32_t>(pValue));
    return true;
}

std::uint32_t floatBits(float pValue)
{
    if (pValue == 0.0f)
        pValue = 0.0f; // -0 and 0 are one position
    std::uint32_t tBits;
    std::memcpy(&tBits, &pValue, sizeof tBits);
    return tBits;
}

// How many of the pCount bytes from pBytes are not zero; each is 0 or 1.
int countOnes(const char *pBytes, int pCount)
{
    int tOnes = 0;
    int i = 0;
    for (; i + 8 <= pCount; i += 8) {
        std::uint64_t tWord;
        std::memcpy(&tWord, pBytes + i, sizeof tWord);
        tOnes += int((tWord * 0x0101010101010101ull) >> 56);
    }
    for (; i < pCount; ++i)
        tOnes += pBytes[i];
    return tOnes;
}

// Corners of the numbering at the end of a batch per task; a whole number of groups.
constexpr int kGroup = 64;
constexpr qint64 kNumberChunk = qint64(kGroup) * 1024;

} // namespace

int kvVertexList::hashVertex(const kvVertex &pVertex)
{
    const kvVector3D tPosition = pVertex.position();
    std::uint32_t tKx, tKy, tKz;
    if (!truncateToInt(double(tPosition.x()) * 4.0, tKx) || !truncateToInt(tPosition.y(), tKy)
        || !truncateToInt(tPosition.z(), tKz))
        return InvalidKey;
    const std::uint32_t tKey = tKx ^ (tKy << 16) ^ (tKy << 8) ^ tKz ^ (tKz << 8);
    return static_cast<std::int32_t>(tKey);
}

void kvVertexList::add(const kvVertex &pVertex)
{
    ++m_count;
    const kvVector3D tPosition = pVertex.position();
    int tSlot = -1;
    if (indexable(tPosition)) {
        const uint tHash = positionHash(tPosition);
        growIndex(tHash);
        tSlot = findSlot(tPosition, tHash);
    }
    store(pVertex, tSlot);
}

void kvVertexList::add(const kvVector3D &pPoint)
{
    add(kvVertex(pPoint));
}

void kvVertexList::add(const QVector3D &pPoint)
{
    add(kvVertex(pPoint));
}

bool kvVertexList::contains(const kvVertex &pVertex, kvVertex &pFound) const
{
    const kvVector3D tPosition = pVertex.position();
    if (!indexable(tPosition) || !m_index)
        return false;
    const uint tHash = positionHash(tPosition);
    const int tSlot = findSlot(tPosition, tHash);
    if (tSlot < 0)
        return false;
    const Slot &tEntry = m_index->parts[partOf(tHash)].table[tSlot];
    if (!tEntry.used())
        return false;
    pFound = m_stored.at(tEntry.ref - 1);
    return true;
}

bool kvVertexList::contains(const kvVector3D &pPoint, kvVertex &pFound) const
{
    return contains(kvVertex(pPoint), pFound);
}

bool kvVertexList::contains(const QVector3D &pPoint, kvVertex &pFound) const
{
    return contains(kvVertex(pPoint), pFound);
}

void kvVertexList::remove(const kvVertex &pVertex)
{
    makeBuckets();
    const auto tBucket = m_buckets.find(hashVertex(pVertex));
    if (tBucket == m_buckets.end())
        return;
    int tRemoved = 0;
    for (auto tIt = tBucket->begin(); tIt != tBucket->end();) {
        if (*tIt == pVertex) {
            tIt = tBucket->erase(tIt);
            ++tRemoved;
        } else {
            ++tIt;
        }
    }
    if (tRemoved == 0)
        return;
    m_count -= tRemoved;
    // The array follows the buckets; the index then finds the first vertex of each
    // position in its bucket.
    m_stored.clear();
    for (const kvVertexBucket &tList : qAsConst(m_buckets)) {
        for (const kvVertex &tVertex : tList)
            m_stored.append(tVertex);
    }
    rebuildIndex();
}

void kvVertexList::remove(const kvVector3D &pPoint)
{
    remove(kvVertex(pPoint));
}

void kvVertexList::remove(const QVector3D &pPoint)
{
    remove(kvVertex(pPoint));
}

void kvVertexList::clear()
{
    m_buckets.clear();
    m_bucketsMade = false;
    m_stored.clear();
    m_count = 0;
    m_index.reset();
}

QHash<int, kvVertexBucket> kvVertexList::vertices() const
{
    makeBuckets();
    return m_buckets;
}

void kvVertexList::makeBuckets() const
{
    if (m_bucketsMade)
        return;
    // In the order added, as if each vertex had gone into its bucket when it came.
    for (const kvVertex &tVertex : m_stored)
        m_buckets[hashVertex(tVertex)].append(tVertex);
    m_bucketsMade = true;
}

QVector<kvVector3D> kvVertexList::vertexVector()
{
    makeBuckets();
    QVector<kvVertex> tVertices;
    tVertices.reserve(m_count);
    for (const kvVertexBucket &tBucket : qAsConst(m_buckets)) {
        for (const kvVertex &tVertex : tBucket)
            tVertices.append(tVertex);
    }
    std::stable_sort(tVertices.begin(), tVertices.end(),
        [](const kvVertex &pA, const kvVertex &pB) { return pA.id() < pB.id(); });
    m_positions.clear();
    m_positions.reserve(tVertices.size());
    for (const kvVertex &tVertex : qAsConst(tVertices))
        m_positions.append(tVertex.position());
    return m_positions;
}

bool kvVertexList::addUnique(const kvVertex &pVertex)
{
    const kvVector3D tPosition = pVertex.position();
    // A position that is not finite is never equal to anything, so always a new vertex.
    int tSlot = -1;
    if (indexable(tPosition)) {
        const uint tHash = positionHash(tPosition);
        growIndex(tHash);
        tSlot = findSlot(tPosition, tHash);
        if (m_index->parts[partOf(tHash)].table[tSlot].used())
            return false;
    }
    kvVertex tVertex(pVertex);
    tVertex.setId(m_count + 1);
    ++m_count;
    store(tVertex, tSlot);
    return true;
}

void kvVertexList::store(const kvVertex &pVertex, int pSlot)
{
    if (m_stored.size() == m_stored.capacity())
        m_stored.reserve(qMax(1024, m_stored.size() * 2));
    m_stored.append(pVertex);
    if (m_bucketsMade)
        m_buckets[hashVertex(pVertex)].append(pVertex);
    if (pSlot < 0)
        return;
    const uint tHash = positionHash(pVertex.position());
    IndexPart &tPart = writableIndex().parts[partOf(tHash)];
    Slot &tSlot = tPart.table[pSlot];
    if (!tSlot.used()) {
        tSlot.hash = tHash;
        tSlot.ref = m_stored.size();
        ++tPart.used;
    }
}

void kvVertexList::prefetch(const kvVector3D &pPoint, bool pStored) const
{
    if (!m_index)
        return;
    const uint tHash = positionHash(pPoint);
    const IndexPart &tPart = m_index->parts[partOf(tHash)];
    if (tPart.size == 0)
        return;
    const Slot *tSlot = tPart.table + homeSlot(tHash, tPart.size);
    if (!pStored) {
        __builtin_prefetch(tSlot);
        return;
    }
    // The entry has been asked for earlier: the vertex it names comes next.
    if (tSlot->ref > 0 && tSlot->hash == tHash)
        __builtin_prefetch(m_stored.constData() + tSlot->ref - 1);
}

void kvVertexList::renumber()
{
    makeBuckets();
    int tId = 0;
    m_stored.clear();
    for (kvVertexBucket &tBucket : m_buckets) {
        for (kvVertex &tVertex : tBucket) {
            tVertex.setId(++tId);
            m_stored.append(tVertex);
        }
    }
    rebuildIndex();
}

uint kvVertexList::positionHash(const kvVector3D &pPoint)
{
    std::uint64_t tHash = floatBits(pPoint.x());
    tHash = (tHash * 0x9E3779B97F4A7C15ull) ^ floatBits(pPoint.y());
    tHash = (tHash * 0xC2B2AE3D27D4EB4Full) ^ floatBits(pPoint.z());
    tHash *= 0x165667B19E3779F9ull;
    return static_cast<uint>(tHash ^ (tHash >> 32));
}

int kvVertexList::findSlot(const kvVector3D &pPoint, uint pHash) const
{
    if (!m_index)
        return -1;
    const IndexPart &tPart = m_index->parts[partOf(pHash)];
    if (tPart.size == 0)
        return -1;
    const Slot *tSlots = tPart.table;
    const kvVertex *tStored = m_stored.constData();
    for (int i = homeSlot(pHash, tPart.size);; i = i + 1 == tPart.size ? 0 : i + 1) {
        const Slot &tSlot = tSlots[i];
        if (!tSlot.used()
            || (tSlot.hash == pHash && samePosition(tStored[tSlot.ref - 1].position(), pPoint)))
            return i;
    }
}

kvVertexList::Index::Index(const Index &pOther)
{
    qint64 tSlots = 0;
    for (const IndexPart &tPart : pOther.parts)
        tSlots += tPart.size;
    if (tSlots == 0)
        return;
    blocks.emplace_back(size_t(tSlots));
    Slot *tNext = blocks.back().data();
    for (int p = 0; p < IndexParts; ++p) {
        const IndexPart &tFrom = pOther.parts[p];
        IndexPart &tTo = parts[p];
        tTo.size = tFrom.size;
        tTo.used = tFrom.used;
        if (tFrom.size == 0)
            continue;
        tTo.table = tNext;
        std::memcpy(tTo.table, tFrom.table, size_t(tFrom.size) * sizeof(Slot));
        tNext += tFrom.size;
    }
}

void kvVertexList::Index::dropUnusedBlocks()
{
    for (auto tBlock = blocks.begin(); tBlock != blocks.end();) {
        const Slot *tStart = tBlock->data();
        const Slot *tEnd = tStart + tBlock->size();
        const bool tUsed = std::any_of(std::begin(parts), std::end(parts),
            [&](const IndexPart &pPart) { return pPart.table >= tStart && pPart.table < tEnd; });
        tBlock = tUsed ? tBlock + 1 : blocks.erase(tBlock);
    }
}

kvVertexList::Index &kvVertexList::writableIndex()
{
    if (!m_index)
        m_index = std::make_shared<Index>();
    else if (m_index.use_count() > 1)
        m_index = std::make_shared<Index>(*m_index);
    return *m_index;
}

void kvVertexList::growIndex(uint pHash)
{
    // One at a time, a table is kept at most half full, so that probe chains stay short; a
    // batch, which knows how many come, sizes its tables itself.
    IndexPart &tPart = writableIndex().parts[partOf(pHash)];
    if (2 * (qint64(tPart.used) + 1) > tPart.size)
        growPart(tPart);
}

void kvVertexList::growPart(IndexPart &pPart, int pSize)
{
    const qint64 tMost = std::numeric_limits<int>::max() / 2;
    const qint64 tSize = std::max<qint64>(pSize, std::min<qint64>(tMost, qMax(16, 2 * pPart.size)));
    if (tSize <= pPart.size)
        return;
    kvZeroedArray<Slot> tTable {size_t(tSize)};
    Slot *tSlots = tTable.data();
    const int tNewSize = int(tSize);
    for (int i = 0; i < pPart.size; ++i) {
        const Slot &tEntry = pPart.table[i];
        if (!tEntry.used())
            continue;
        int s = homeSlot(tEntry.hash, tNewSize);
        while (tSlots[s].used())
            s = s + 1 == tNewSize ? 0 : s + 1;
        tSlots[s] = tEntry;
    }
    pPart.own = std::move(tTable);
    pPart.table = tSlots;
    pPart.size = tNewSize;
}

void kvVertexList::rebuildIndex()
{
    m_index.reset();
    for (int i = 0; i < m_stored.size(); ++i) {
        const kvVector3D tPosition = m_stored.at(i).position();
        if (!indexable(tPosition))
            continue;
        const uint tHash = positionHash(tPosition);
        growIndex(tHash);
        IndexPart &tPart = m_index->parts[partOf(tHash)];
        Slot &tSlot = tPart.table[findSlot(tPosition, tHash)];
        if (!tSlot.used()) {
            tSlot.hash = tHash;
            tSlot.ref = i + 1;
            ++tPart.used;
        }
    }
}

void kvVertexList::beginBatch(
    Batch &pBatch, const kvVector3D *pCorners, qint64 pRoom, int pBlockRoom, qint64 pExpected)
{
    pBatch.corners = pCorners;
    pBatch.room = pRoom;
    pBatch.count = 0;
    // Whole groups, so that counting them never reads past the end.
    pBatch.isNew = kvZeroedArray<char>(size_t((pRoom + kGroup - 1) / kGroup * kGroup));
    pBatch.blockRoom = pBlockRoom;
    for (auto &tEntries : pBatch.entries)
        tEntries.reset(new Batch::Entry[size_t(qMax(1, pBlockRoom))]);
    pBatch.chunkRoom = pBlockRoom / BlockChunks + 64;
    pBatch.localSize = 16;
    while (pBatch.localSize < pBatch.chunkRoom * 4 / 3 + 1)
        pBatch.localSize *= 2;
    // Per chunk: the table, then each first corner with its hash.
    pBatch.local.reset(new uint[size_t(BlockChunks) * (pBatch.localSize + 2 * pBatch.chunkRoom)]);
    pBatch.partCounts.reset(new int[BlockChunks * IndexParts]);
    pBatch.partStarts.reset(new int[BlockChunks * IndexParts]);

    // Every part that would be more than about 60 % full with its share of the new
    // positions gets a table of that size now, all of them in one block.
    Index &tIndex = writableIndex();
    const qint64 tShare = std::max<qint64>(0, pExpected) / IndexParts;
    qint64 tWanted[IndexParts];
    qint64 tBlock = 0;
    for (int p = 0; p < IndexParts; ++p) {
        const IndexPart &tPart = tIndex.parts[p];
        const qint64 tSize = (tPart.used + tShare) * 5 / 3 + 16;
        tWanted[p] = 0;
        if (tShare == 0 || tSize <= tPart.size)
            continue;
        tWanted[p] = std::min<qint64>(
            std::numeric_limits<int>::max() / 2, std::max<qint64>(tSize, qint64(tPart.size) * 2));
        tBlock += tWanted[p];
    }
    if (tBlock == 0)
        return;
    tIndex.blocks.emplace_back(size_t(tBlock));
    Slot *tNext = tIndex.blocks.back().data();
    for (int p = 0; p < IndexParts; ++p) {
        if (tWanted[p] == 0)
            continue;
        IndexPart &tPart = tIndex.parts[p];
        const int tSize = int(tWanted[p]);
        for (int i = 0; i < tPart.size; ++i) {
            const Slot &tEntry = tPart.table[i];
            if (!tEntry.used())
                continue;
            int s = homeSlot(tEntry.hash, tSize);
            while (tNext[s].used())
                s = s + 1 == tSize ? 0 : s + 1;
            tNext[s] = tEntry;
        }
        tPart.own = kvZeroedArray<Slot>();
        tPart.table = tNext;
        tPart.size = tSize;
        tNext += tSize;
    }
    tIndex.dropUnusedBlocks();
}

void kvVertexList::chunkRange(int pCount, int pAlign, int pChunk, int &pBegin, int &pEnd)
{
    const int tUnits = (pCount + pAlign - 1) / pAlign;
    const int tChunk = (tUnits + BlockChunks - 1) / BlockChunks * pAlign;
    pBegin = qMin(pCount, pChunk * tChunk);
    pEnd = qMin(pCount, pBegin + tChunk);
}

void kvVertexList::prepareChunk(Batch &pBatch, int pCount, int pAlign, int pChunk,
    const std::function<void(int pChunk, qint64 pFirst, int pCount)> &pAlso)
{
    Q_ASSERT(pCount <= pBatch.blockRoom && pBatch.count + pCount <= pBatch.room);
    const qint64 tFirst = pBatch.count;
    const kvVector3D *tCorners = pBatch.corners + tFirst;
    char *tIsNew = pBatch.isNew.data() + tFirst;
    Batch::Entry *tEntries = pBatch.entries[pBatch.blocks % 2].get();
    int tBegin, tEnd;
    chunkRange(pCount, pAlign, pChunk, tBegin, tEnd);
    int *tCount = pBatch.partCounts.get() + pChunk * IndexParts;
    int *tStart = pBatch.partStarts.get() + pChunk * IndexParts;
    std::fill(tCount, tCount + IndexParts, 0);
    // The claims of this chunk's part of the block before go to isNew first.
    if (pBatch.blocks > 0)
        markClaims(pBatch, pChunk);
    if (pAlso && tEnd > tBegin)
        pAlso(pChunk, tFirst + tBegin, tEnd - tBegin);
    // The first corner of each position within the chunk; a later corner of the same
    // position can never be the first of the batch.
    uint *tTable = pBatch.local.get() + size_t(pChunk) * (pBatch.localSize + 2 * pBatch.chunkRoom);
    uint *tFirsts = tTable + pBatch.localSize;
    const uint tMask = uint(pBatch.localSize - 1);
    Q_ASSERT(tEnd - tBegin <= pBatch.chunkRoom);
    std::fill(tTable, tTable + pBatch.localSize, 0u);
    int tMany = 0;
    for (int i = tBegin; i < tEnd; ++i) {
        const kvVector3D &tPoint = tCorners[i];
        if (!indexable(tPoint)) {
            tIsNew[i] = 1;
            continue;
        }
        const uint tHash = positionHash(tPoint);
        uint s = tHash & tMask;
        for (; tTable[s] != 0; s = (s + 1) & tMask) {
            if (samePosition(tCorners[tTable[s] - 1], tPoint))
                break;
        }
        if (tTable[s] != 0)
            continue;
        tTable[s] = uint(i + 1);
        tFirsts[2 * tMany] = uint(i);
        tFirsts[2 * tMany + 1] = tHash;
        ++tMany;
        ++tCount[partOf(tHash)];
    }
    // Those first corners, ordered by part.
    int tNext = tBegin;
    int tPlace[IndexParts];
    for (int p = 0; p < IndexParts; ++p) {
        tStart[p] = tNext;
        tPlace[p] = tNext;
        tNext += tCount[p];
    }
    for (int k = 0; k < tMany; ++k) {
        const int i = int(tFirsts[2 * k]);
        const uint tHash = tFirsts[2 * k + 1];
        tEntries[tPlace[partOf(tHash)]++] = {tCorners[i], tHash, i};
    }
    pBatch.nextMarkBegin[pChunk] = tBegin;
    pBatch.nextMarkCount[pChunk] = tMany;
}

void kvVertexList::indexParts(Batch &pBatch, int pCount, const kvTaskRunner &pRun)
{
    const qint64 tFirst = pBatch.count;
    Batch::Entry *tEntries = pBatch.entries[pBatch.blocks % 2].get();
    const int *tCounts = pBatch.partCounts.get();
    const int *tStarts = pBatch.partStarts.get();
    // Each part, on its own, finds its corners' positions in corner order; the first corner
    // of a position that is not there yet claims an entry.
    Index &tIndex = writableIndex();
    const kvVertex *tStored = m_stored.constData();
    const kvVector3D *tBatch = pBatch.corners;
    runTasks(pRun, IndexParts, [&](int pPart) {
        IndexPart &tPart = tIndex.parts[pPart];
        for (int c = 0; c < BlockChunks; ++c) {
            Batch::Entry *tMine = tEntries + tStarts[c * IndexParts + pPart];
            const int tMany = tCounts[c * IndexParts + pPart];
            for (int k = 0; k < tMany; ++k) {
                if (!tPart.hasRoom())
                    growPart(tPart);
                // Memory is slow to come: the slot of the corner 16 ahead is asked for, and
                // the position named by the slot of the corner 8 ahead, which is there by now.
                if (k + 16 < tMany)
                    __builtin_prefetch(tPart.table + homeSlot(tMine[k + 16].hash, tPart.size));
                if (k + 8 < tMany) {
                    const Batch::Entry &tAhead = tMine[k + 8];
                    const Slot &tHome = tPart.table[homeSlot(tAhead.hash, tPart.size)];
                    if (tHome.hash == tAhead.hash && tHome.ref != 0)
                        __builtin_prefetch(tHome.ref > 0
                                ? static_cast<const void *>(tStored + tHome.ref - 1)
                                : static_cast<const void *>(tBatch - 1 - tHome.ref));
                }
                Batch::Entry &tEntry = tMine[k];
                const uint tHash = tEntry.hash;
                Slot *tSlots = tPart.table;
                for (int s = homeSlot(tHash, tPart.size);; s = s + 1 == tPart.size ? 0 : s + 1) {
                    Slot &tSlot = tSlots[s];
                    if (!tSlot.used()) {
                        tSlot.hash = tHash;
                        tSlot.ref = int(-1 - (tFirst + tEntry.corner));
                        ++tPart.used;
                        tEntry.corner = ~tEntry.corner;
                        break;
                    }
                    if (tSlot.hash != tHash)
                        continue;
                    const kvVector3D &tThere = tSlot.ref > 0 ? tStored[tSlot.ref - 1].position()
                                                             : tBatch[-1 - tSlot.ref];
                    if (samePosition(tThere, tEntry.point))
                        break;
                }
            }
        }
    });
    pBatch.markFirst = tFirst;
    std::copy(pBatch.nextMarkBegin, pBatch.nextMarkBegin + BlockChunks, pBatch.markBegin);
    std::copy(pBatch.nextMarkCount, pBatch.nextMarkCount + BlockChunks, pBatch.markCount);
    ++pBatch.blocks;
    pBatch.count += pCount;
}

void kvVertexList::markClaims(Batch &pBatch, int pChunk)
{
    const Batch::Entry *tEntries = pBatch.entries[(pBatch.blocks - 1) % 2].get();
    char *tIsNew = pBatch.isNew.data() + pBatch.markFirst;
    const int tEnd = pBatch.markBegin[pChunk] + pBatch.markCount[pChunk];
    for (int k = pBatch.markBegin[pChunk]; k < tEnd; ++k) {
        if (tEntries[k].corner < 0)
            tIsNew[~tEntries[k].corner] = 1;
    }
}

void kvVertexList::endBatch(Batch &pBatch, const kvTaskRunner &pRun)
{
    if (pBatch.blocks > 0)
        runTasks(pRun, BlockChunks, [&](int pChunk) { markClaims(pBatch, pChunk); });
    const qint64 tCorners = pBatch.count;
    const char *tIsNew = pBatch.isNew.data();
    const int tGroups = int((tCorners + kGroup - 1) / kGroup);
    const int tChunks = int((tCorners + kNumberChunk - 1) / kNumberChunk);
    const int tGroupsPerChunk = int(kNumberChunk / kGroup);
    // For each group, the new vertices before it in its chunk; for each chunk, before it.
    std::unique_ptr<int[]> tBefore(new int[size_t(qMax(1, tGroups))]);
    std::unique_ptr<qint64[]> tChunkBefore(new qint64[size_t(tChunks + 1)]);
    runTasks(pRun, tChunks, [&](int pChunk) {
        const int tEnd = qMin(tGroups, (pChunk + 1) * tGroupsPerChunk);
        int tOnes = 0;
        for (int g = pChunk * tGroupsPerChunk; g < tEnd; ++g) {
            tBefore[g] = tOnes;
            tOnes += countOnes(tIsNew + qint64(g) * kGroup, kGroup);
        }
        tChunkBefore[pChunk + 1] = tOnes;
    });
    tChunkBefore[0] = 0;
    for (int c = 0; c < tChunks; ++c)
        tChunkBefore[c + 1] += tChunkBefore[c];
    const qint64 tNew = tChunkBefore[tChunks];
    if (tNew == 0) {
        pBatch = Batch();
        return;
    }
    // The place among the new vertices of the new vertex of corner i.
    const auto tRank = [&](qint64 i) {
        const qint64 tGroup = i / kGroup;
        return tChunkBefore[tGroup / tGroupsPerChunk] + tBefore[tGroup]
            + countOnes(tIsNew + tGroup * kGroup, int(i - tGroup * kGroup));
    };

    // The new vertices, once each, by the tasks that number them; the claims in the index
    // become their places.
    const int tOld = m_stored.size();
    QTypedArrayData<kvVertex> *tData = Kv::BulkMemory::withRoom(m_stored, tNew);
    kvVertex *tStored = tData->begin() + tOld;
    Kv::Platform::adviseLargePages(tStored, size_t(tNew) * sizeof(kvVertex));
    const kvVector3D *tBatch = pBatch.corners;
    const int tFirstId = m_count + 1;
    Index &tIndex = writableIndex();
    runTasks(pRun, tChunks + IndexParts, [&](int pTask) {
        if (pTask >= tChunks) {
            IndexPart &tPart = tIndex.parts[pTask - tChunks];
            for (int s = 0; s < tPart.size; ++s) {
                Slot &tSlot = tPart.table[s];
                if (tSlot.ref < 0)
                    tSlot.ref = int(tOld + tRank(-1 - qint64(tSlot.ref)) + 1);
            }
            return;
        }
        qint64 tRankNow = tChunkBefore[pTask];
        const qint64 tEnd = qMin(tCorners, (pTask + 1) * kNumberChunk);
        for (qint64 i = pTask * kNumberChunk; i < tEnd; ++i) {
            if (!tIsNew[i])
                continue;
            new (tStored + tRankNow) kvVertex(int(tFirstId + tRankNow), tBatch[i]);
            ++tRankNow;
        }
    });
    tData->size = tOld + int(tNew);
    m_count += int(tNew);
    if (m_bucketsMade) {
        for (qint64 r = 0; r < tNew; ++r)
            m_buckets[hashVertex(tStored[r])].append(tStored[r]);
    }
    pBatch = Batch();
}
