#pragma once

#include "kvBulkMemory.h"
#include "kvVertex.h"

#include <QHash>
#include <QVector>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

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
// independent of how many vertices share a bucket; its parts can be filled side by side.
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

    // An index entry: where the first stored vertex of a position is. All-zero is a free
    // entry, so that a new table is memory that reads as zero and is not written before use.
    struct Slot
    {
        uint hash;
        // 0: free; n > 0: m_stored[n - 1]; -1 - i: corner i of the batch under way, whose
        // vertex is not stored yet.
        int ref;
        bool used() const { return ref != 0; }
    };

    // The index is split by the top bits of the position hash into parts that can be
    // worked on side by side; the other bits place a position in its part's table.
    static constexpr int IndexParts = 64;
    static constexpr int PartShift = 26;
    static int partOf(uint pHash) { return int(pHash >> PartShift); }
    // The slot where the search for pHash starts in a table of pSize slots (any size).
    static int homeSlot(uint pHash, int pSize)
    {
        return int((quint64(pHash & ((1u << PartShift) - 1)) * quint64(pSize)) >> PartShift);
    }
    // Open addressing by exact position: the first stored vertex of every finite position.
    struct IndexPart
    {
        Slot *table = nullptr;
        int size = 0;
        int used = 0;
        // The slots when they are not in a block of the index.
        kvZeroedArray<Slot> own;
        // Whether one more position keeps the table at most three quarters full.
        bool hasRoom() const { return 4 * qint64(used + 1) <= 3 * qint64(size); }
    };
    struct Index
    {
        Index() = default;
        Index(const Index &pOther);
        Index &operator=(const Index &) = delete;
        // Frees the blocks that no part uses any more.
        void dropUnusedBlocks();
        // The tables of the parts that a batch made room for at once, one block a batch.
        std::vector<kvZeroedArray<Slot>> blocks;
        IndexPart parts[IndexParts];
    };

    // The chunks (tasks) of a block.
    static constexpr int BlockChunks = 32;

    // The corners a reader adds in blocks (see kvModel::Appender), indexed as addUnique of
    // each in turn would, side by side. Each position's first corner claims its index
    // entry; the claims become stored vertices, numbered in corner order, at the end.
    struct Batch
    {
        // Corner 0 of the batch, in the model's stream, and the corners it can hold.
        const kvVector3D *corners = nullptr;
        qint64 room = 0;
        // Corners indexed so far.
        qint64 count = 0;
        // One byte a corner: 1 for the first corner of a position not stored before, and
        // for a corner that cannot be indexed (always a new vertex).
        kvZeroedArray<char> isNew;
        // The block under way: the corners that can be indexed, with their hashes, ordered
        // by chunk, then by part, then as they come, so that each part reads its own in
        // one run.
        struct Entry
        {
            kvVector3D point;
            uint hash;
            // Within the block; ~corner once the corner has claimed an index entry.
            int corner;
        };
        int blockRoom = 0;
        // Two blocks' entries: the part tasks mark the claims in the entries of the block
        // (each in its own), and the chunk task that has those corners copies the marks to
        // isNew in the next block's chunk job, so that no two threads write the same memory.
        std::unique_ptr<Entry[]> entries[2];
        qint64 blocks = 0;
        // The block whose marks are still to be copied: its first corner, and per chunk
        // where its entries begin and how many there are.
        qint64 markFirst = 0;
        int markBegin[BlockChunks] = {};
        int markCount[BlockChunks] = {};
        // The same for the block under way, once its chunks are prepared.
        int nextMarkBegin[BlockChunks] = {};
        int nextMarkCount[BlockChunks] = {};
        // Per chunk, room to find the first corner of each position within the chunk: only
        // those go on to the parts (neighbouring facets share most of their corners).
        int chunkRoom = 0;
        int localSize = 0;
        std::unique_ptr<uint[]> local;
        // Per chunk and part: how many entries of the chunk fall in the part, and where in
        // the order they begin.
        std::unique_ptr<int[]> partCounts;
        std::unique_ptr<int[]> partStarts;
    };

    // Adds a copy of pVertex with the id count + 1 unless a vertex of exactly its position
    // is stored. Returns whether it was added.
    bool addUnique(const kvVertex &pVertex);
    // Starts a batch of at most pRoom corners at pCorners, in blocks of at most pBlockRoom,
    // with room in the index for pExpected new positions at once.
    void beginBatch(
        Batch &pBatch, const kvVector3D *pCorners, qint64 pRoom, int pBlockRoom, qint64 pExpected);
    // Indexing the next pCount corners of the batch, which are written, takes two steps:
    // prepareChunk of each chunk (each in a task of its own), then indexParts. pAlso(chunk,
    // first, count) runs in the chunk's task on its corners (first counted in the batch),
    // which are a whole multiple of pAlign. prepareChunk can run again for the same block,
    // of another size: it then replaces what it did for that block.
    static void chunkRange(int pCount, int pAlign, int pChunk, int &pBegin, int &pEnd);
    void prepareChunk(Batch &pBatch, int pCount, int pAlign, int pChunk,
        const std::function<void(int pChunk, qint64 pFirst, int pCount)> &pAlso);
    void indexParts(Batch &pBatch, int pCount, const kvTaskRunner &pRun);
    // Stores the new vertices of the batch, in corner order, and points the index at them.
    void endBatch(Batch &pBatch, const kvTaskRunner &pRun);
    // Copies the claims of the last block's chunk pChunk to isNew.
    static void markClaims(Batch &pBatch, int pChunk);

    // Starts loading the index entry of pPoint, or (pStored) the stored vertex that entry
    // names, so that a lookup soon after does not wait.
    void prefetch(const kvVector3D &pPoint, bool pStored) const;
    void renumber();
    // Makes the buckets from the stored vertices, once.
    void makeBuckets() const;
    // Stores a vertex: in the array, in its bucket once the buckets exist, and in the
    // index entry pSlot of its part when that is free (no entry: -1).
    void store(const kvVertex &pVertex, int pSlot);

    // Only finite positions can ever be found again.
    static bool indexable(const kvVector3D &pPoint) { return pPoint.isFinite(); }
    static uint positionHash(const kvVector3D &pPoint);
    // Exact float equality: -0 equals 0, NaN equals nothing.
    static bool samePosition(const kvVector3D &pA, const kvVector3D &pB)
    {
        return pA.x() == pB.x() && pA.y() == pB.y() && pA.z() == pB.z();
    }
    // The slot of pPoint in its part: the one holding its position, or the free slot where
    // it would go; -1 when the part has no table.
    int findSlot(const kvVector3D &pPoint, uint pHash) const;
    // The index, made and not shared with a copy of this list.
    Index &writableIndex();
    // Makes room in the part of pHash for one more position.
    void growIndex(uint pHash);
    // A table of at least pSize slots for the part, its entries moved there.
    static void growPart(IndexPart &pPart, int pSize = 0);
    void rebuildIndex();

    int m_count = 0;
    QVector<kvVector3D> m_positions;
    // Every stored vertex; in the order added until the buckets are made, in bucket order
    // after a removal.
    QVector<kvVertex> m_stored;
    mutable QHash<int, kvVertexBucket> m_buckets;
    mutable bool m_bucketsMade = false;
    // Shared by copies of the list until one of them changes it; none while empty.
    std::shared_ptr<Index> m_index;
};

QT_WARNING_POP
