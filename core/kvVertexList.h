#pragma once

#include "kvVertex.h"

#include <QHash>
#include <QVector>
#include <cmath>

// The bucket type is part of the list's interface; the container is deprecated in Qt 5.15.
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QLinkedList>
using kvVertexBucket = QLinkedList<kvVertex>;

// The distinct vertices of a mesh, grouped into buckets by a key of their truncated
// coordinates. A second index on the exact position makes the lookup independent of
// how many vertices share a bucket.
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
    QHash<int, kvVertexBucket> vertices() const { return m_buckets; }
    // Positions of the stored vertices, ordered by id (equal ids in bucket order).
    QVector<kvVector3D> vertexVector();

private:
    friend class kvModel;

    // An index entry: a position and where its vertex is kept in m_indexed.
    struct Slot
    {
        kvVector3D position;
        int vertex = -1; // -1: free
        bool used() const { return vertex >= 0; }
    };

    // Adds a copy of pVertex with the id count + 1 unless a vertex of exactly its position
    // is stored. Returns whether it was added.
    bool addUnique(const kvVertex &pVertex);
    // Starts loading the index entry of pPoint, so that a lookup soon after does not wait.
    void prefetch(const kvVector3D &pPoint) const;
    void renumber();

    // Only finite positions can ever be found again.
    static bool indexable(const kvVector3D &pPoint)
    {
        return std::isfinite(pPoint.x()) && std::isfinite(pPoint.y()) && std::isfinite(pPoint.z());
    }
    static uint positionHash(const kvVector3D &pPoint);
    // Exact float equality: -0 equals 0, NaN equals nothing.
    static bool samePosition(const kvVector3D &pA, const kvVector3D &pB)
    {
        return pA.x() == pB.x() && pA.y() == pB.y() && pA.z() == pB.z();
    }
    int findSlot(const kvVector3D &pPoint, uint pHash) const;
    void indexInsert(int pSlot, const kvVertex &pVertex);
    void indexErase(int pSlot);
    void growIndex();
    void rebuildIndex();

    int m_count = 0;
    QVector<kvVector3D> m_positions;
    QHash<int, kvVertexBucket> m_buckets;
    // Open addressing by exact position: the first stored vertex of every finite position.
    QVector<Slot> m_index;
    // The vertices the index refers to; an entry dropped from the index stays unused here.
    QVector<kvVertex> m_indexed;
    int m_indexUsed = 0;
};

QT_WARNING_POP
