#pragma once

#include "kvVertex.h"

#include <QHash>
#include <QVector>
#include <cmath>
#include <functional>

// Runs pTask(0) to pTask(pCount - 1), in any order and possibly side by side, and returns
// when all have run. An empty runner stands for running them one after the other.
using kvTaskRunner = std::function<void(int pCount, const std::function<void(int)> &pTask)>;

// Runs the tasks with pRun, or one after the other when it is empty.
inline void runTasks(const kvTaskRunner &pRun, int pCount, const std::function<void(int)> &pTask)
{
    if (pRun) {
        pRun(pCount, pTask);
    } else {
        for (int i = 0; i < pCount; ++i)
            pTask(i);
    }
}

// The bucket type is part of the list's interface; the container is deprecated in Qt 5.15.
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QLinkedList>
using kvVertexBucket = QLinkedList<kvVertex>;

// The distinct vertices of a mesh, grouped into buckets by a key of their truncated
// coordinates. The vertices are kept in one array in the order they came; the buckets are
// made from it when they are first asked for (adding them one by one costs a list node
// each), and kept from then on. An index on the exact position makes the lookup
// independent of how many vertices share a bucket.
class kvVertexList
{
public:
    // Key of every position with a coordinate that is not finite or too large to truncate.
    static constexpr int InvalidKey = 0x7fffffff;

    kvVertexList() = default;

    static int hashVertex(const kvVertex &pVertex);

    void add(const kvVertex &pVertex);
    void add(const kvVector3D &pPoint);
    void add(const QVector3D &pPoint);

    bool contains(const kvVertex &pVertex, kvVertex &pFound) const;
    bool contains(const kvVector3D &pPoint, kvVertex &pFound) const;
    bool contains(const QVector3D &pPoint, kvVertex &pFound) const;

    void remove(const kvVertex &pVertex);
    void remove(const kvVector3D &pPoint);
    void remove(const QVector3D &pPoint);

    void clear();
    int count() const { return m_count; }
    QHash<int, kvVertexBucket> vertices() const;
    // Positions of the stored vertices, ordered by id (equal ids in bucket order).
    QVector<kvVector3D> vertexVector();

private:
    friend class kvModel;

    // An index entry: where the first stored vertex of a position is kept in m_stored.
    struct Slot
    {
        uint hash = 0;
        int vertex = -1; // -1: free
        bool used() const { return vertex >= 0; }
    };

    // Adds a copy of pVertex with the id count + 1 unless a vertex of exactly its position
    // is stored. Returns whether it was added.
    bool addUnique(const kvVertex &pVertex);
    // addUnique of a vertex made from each of the pCount points in turn; the vertices added
    // are appended to m_stored in that order. The index parts are worked on through pRun,
    // one task per part.
    void addUnique(const kvVector3D *pPoints, int pCount, const kvTaskRunner &pRun);
    // Starts loading the index entry of pPoint, or (pStored) the stored vertex that entry
    // names, so that a lookup soon after does not wait.
    void prefetch(const kvVector3D &pPoint, bool pStored) const;
    void renumber();
    // Makes the buckets from the stored vertices, once.
    void makeBuckets() const;
    // Stores a vertex: in the array, in its bucket once the buckets exist, and in the
    // index when its position is new there.
    void store(const kvVertex &pVertex, int pSlot);

    // Only finite positions can ever be found again.
    static bool indexable(const kvVector3D &pPoint) { return pPoint.isFinite(); }
    static uint positionHash(const kvVector3D &pPoint);
    // Exact float equality: -0 equals 0, NaN equals nothing.
    static bool samePosition(const kvVector3D &pA, const kvVector3D &pB)
    {
        return pA.x() == pB.x() && pA.y() == pB.y() && pA.z() == pB.z();
    }
    // The index is split by the top bits of the position hash into parts that can be
    // worked on side by side.
    static constexpr int IndexParts = 8;
    static int partOf(uint pHash) { return int(pHash >> 29); }
    struct IndexPart
    {
        QVector<Slot> table;
        int used = 0;
    };
    // The slot of pPoint in its part: the one holding its position, or the free slot
    // where it would go.
    int findSlot(const kvVector3D &pPoint, uint pHash) const;
    // Makes room in the part of pHash for one more position.
    void growIndex(uint pHash);
    static void growPart(IndexPart &pPart);
    void rebuildIndex();

    int m_count = 0;
    QVector<kvVector3D> m_positions;
    // Every stored vertex; in the order added until the buckets are made, in bucket order
    // after a removal.
    QVector<kvVertex> m_stored;
    mutable QHash<int, kvVertexBucket> m_buckets;
    mutable bool m_bucketsMade = false;
    // Open addressing by exact position: the first stored vertex of every finite position.
    IndexPart m_index[IndexParts];
};

QT_WARNING_POP
