#include "kvVertexList.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

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
    if (!indexable(tPosition))
        return false;
    const uint tHash = positionHash(tPosition);
    const QVector<Slot> &tSlots = m_index[partOf(tHash)].table;
    if (tSlots.isEmpty())
        return false;
    const Slot &tEntry = tSlots.at(findSlot(tPosition, tHash));
    if (!tEntry.used())
        return false;
    pFound = m_stored.at(tEntry.vertex);
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
    for (IndexPart &tPart : m_index)
        tPart = IndexPart();
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
        if (m_index[partOf(tHash)].table.at(tSlot).used())
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
    IndexPart &tPart = m_index[partOf(tHash)];
    if (!tPart.table.at(pSlot).used()) {
        Slot &tSlot = tPart.table[pSlot];
        tSlot.hash = tHash;
        tSlot.vertex = m_stored.size() - 1;
        ++tPart.used;
    }
}

void kvVertexList::prefetch(const kvVector3D &pPoint, bool pStored) const
{
    const uint tHash = positionHash(pPoint);
    const QVector<Slot> &tSlots = m_index[partOf(tHash)].table;
    if (tSlots.isEmpty())
        return;
    const Slot *tSlot = tSlots.constData() + (tHash & uint(tSlots.size() - 1));
    if (!pStored) {
        __builtin_prefetch(tSlot);
        return;
    }
    // The entry has been asked for earlier: the vertex it names comes next.
    if (tSlot->used() && tSlot->hash == tHash)
        __builtin_prefetch(m_stored.constData() + tSlot->vertex);
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
    const QVector<Slot> &tPart = m_index[partOf(pHash)].table;
    const int tMask = tPart.size() - 1;
    const Slot *tSlots = tPart.constData();
    const kvVertex *tStored = m_stored.constData();
    for (int i = int(pHash & uint(tMask));; i = (i + 1) & tMask) {
        const Slot &tSlot = tSlots[i];
        if (!tSlot.used()
            || (tSlot.hash == pHash && samePosition(tStored[tSlot.vertex].position(), pPoint)))
            return i;
    }
}

void kvVertexList::growIndex(uint pHash)
{
    IndexPart &tPart = m_index[partOf(pHash)];
    // At most half full, so probe chains stay short.
    if (2 * (tPart.used + 1) > tPart.table.size())
        growPart(tPart);
}

void kvVertexList::growPart(IndexPart &pPart)
{
    const QVector<Slot> tOld = pPart.table;
    pPart.table = QVector<Slot>(qMax(64, pPart.table.size() * 2));
    const int tMask = pPart.table.size() - 1;
    Slot *tSlots = pPart.table.data();
    for (const Slot &tEntry : tOld) {
        if (tEntry.vertex == -1)
            continue;
        int i = int(tEntry.hash & uint(tMask));
        while (tSlots[i].vertex != -1)
            i = (i + 1) & tMask;
        tSlots[i] = tEntry;
    }
}

void kvVertexList::rebuildIndex()
{
    for (IndexPart &tPart : m_index)
        tPart = IndexPart();
    for (int i = 0; i < m_stored.size(); ++i) {
        const kvVector3D tPosition = m_stored.at(i).position();
        if (!indexable(tPosition))
            continue;
        const uint tHash = positionHash(tPosition);
        growIndex(tHash);
        IndexPart &tPart = m_index[partOf(tHash)];
        Slot &tSlot = tPart.table[findSlot(tPosition, tHash)];
        if (!tSlot.used()) {
            tSlot.hash = tHash;
            tSlot.vertex = i;
            ++tPart.used;
        }
    }
}

void kvVertexList::addUnique(const kvVector3D *pPoints, int pCount, const kvTaskRunner &pRun)
{
    const int tChunks = 16;
    const int tChunk = (pCount + tChunks - 1) / tChunks;

    // The hash of every point; a point that cannot be indexed is always new.
    QVector<uint> tHashes(pCount);
    QVector<char> tNew(pCount);
    uint *tHash = tHashes.data();
    char *tIsNew = tNew.data();
    runTasks(pRun, tChunks, [&](int pChunk) {
        const int tEnd = qMin(pCount, (pChunk + 1) * tChunk);
        for (int i = pChunk * tChunk; i < tEnd; ++i) {
            tHash[i] = positionHash(pPoints[i]);
            tIsNew[i] = !indexable(pPoints[i]);
        }
    });

    // Each part, on its own, finds the points of its positions in order. The first point
    // of a position not stored yet goes in as a claim (-2 - its number) until it has its
    // place in m_stored.
    const kvVertex *tStored = m_stored.constData();
    for (IndexPart &tPart : m_index)
        tPart.table.detach();
    struct Claim
    {
        int point;
        int slot;
    };
    QVector<Claim> tClaims[IndexParts];
    bool tGrown[IndexParts] = {};
    runTasks(pRun, IndexParts, [&](int pPart) {
        IndexPart &tPart = m_index[pPart];
        QVector<Claim> &tMine = tClaims[pPart];
        for (int i = 0; i < pCount; ++i) {
            if (partOf(tHash[i]) != pPart || tIsNew[i])
                continue;
            if (2 * (tPart.used + 1) > tPart.table.size()) {
                growPart(tPart);
                tGrown[pPart] = true;
            }
            const int tMask = tPart.table.size() - 1;
            Slot *tSlots = tPart.table.data();
            for (int s = int(tHash[i] & uint(tMask));; s = (s + 1) & tMask) {
                Slot &tSlot = tSlots[s];
                if (tSlot.vertex == -1) {
                    tSlot.hash = tHash[i];
                    tSlot.vertex = -2 - i;
                    ++tPart.used;
                    tIsNew[i] = 1;
                    tMine.append({i, s});
                    break;
                }
                if (tSlot.hash != tHash[i])
                    continue;
                const kvVector3D &tThere = tSlot.vertex >= 0 ? tStored[tSlot.vertex].position()
                                                             : pPoints[-2 - tSlot.vertex];
                if (samePosition(tThere, pPoints[i]))
                    break;
            }
        }
    });

    // The new vertices in the order of their points, numbered on.
    QVector<int> tPlaces(pCount);
    int *tPlace = tPlaces.data();
    for (int i = 0; i < pCount; ++i) {
        if (!tIsNew[i])
            continue;
        kvVertex tVertex(pPoints[i]);
        tVertex.setId(++m_count);
        if (m_stored.size() == m_stored.capacity())
            m_stored.reserve(qMax(1024, m_stored.size() * 2));
        m_stored.append(tVertex);
        if (m_bucketsMade)
            m_buckets[hashVertex(tVertex)].append(tVertex);
        tPlace[i] = m_stored.size() - 1;
    }

    // The claims become the places; a part that grew finds its claims again.
    runTasks(pRun, IndexParts, [&](int pPart) {
        IndexPart &tPart = m_index[pPart];
        Slot *tSlots = tPart.table.data();
        const int tMask = tPart.table.size() - 1;
        for (const Claim &tClaim : qAsConst(tClaims[pPart])) {
            int s = tClaim.slot;
            if (tGrown[pPart]) {
                s = int(tHash[tClaim.point] & uint(tMask));
                while (tSlots[s].vertex != -2 - tClaim.point)
                    s = (s + 1) & tMask;
            }
            tSlots[s].vertex = tPlace[tClaim.point];
        }
    });
}
