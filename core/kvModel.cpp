#include "kvModel.h"

#include "kvBulkMemory.h"
#include "kvPlatform.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Makes room for pMore entries, growing four times over rather than the container's
// doubling: a large mesh is copied fewer times, and capacity not yet written costs
// address space only.
template <typename T> void makeRoom(QVector<T> &pVector, int pMore)
{
    const qint64 tNeeded = qint64(pVector.size()) + pMore;
    if (tNeeded <= pVector.capacity())
        return;
    const qint64 tLimit = (std::numeric_limits<int>::max() - 64) / qint64(sizeof(T));
    const qint64 tWanted = qMin(qMax<qint64>(1024, tNeeded * 4), tLimit);
    pVector.reserve(int(qMax(tNeeded, tWanted)));
}

// From this many facets the normals are computed side by side.
constexpr int kSharedNormals = 1 << 18;

// Runs pTask(0) to pTask(pCount - 1) on the cores, this thread among them; a thread that
// cannot be started leaves its tasks to the others.
void onThreads(int pCount, const std::function<void(int)> &pTask)
{
    std::atomic<int> tNext {0};
    const auto tWork = [&] {
        for (int i = tNext++; i < pCount; i = tNext++)
            pTask(i);
    };
    std::vector<std::thread> tThreads;
    const unsigned tCores = qMin(Kv::Platform::usableCores(), 8u);
    for (unsigned t = 1; t < tCores; ++t) {
        try {
            tThreads.emplace_back(tWork);
        } catch (const std::system_error &) {
            break;
        }
    }
    tWork();
    for (std::thread &tThread : tThreads)
        tThread.join();
}

bool isFinitePoint(const QVector3D &pPoint)
{
    return std::isfinite(pPoint.x()) && std::isfinite(pPoint.y()) && std::isfinite(pPoint.z());
}

} // namespace

kvModel::kvModel(const QString &pName)
    : m_name(pName)
{ }

void kvModel::addVertex(const kvVertex &pVertex)
{
    // A lone corner: the stream no longer holds whole facets only.
    keepNormals();
    addCorner(pVertex);
}

void kvModel::addCorner(const kvVertex &pVertex)
{
    const kvVector3D tPosition = pVertex.position();
    makeRoom(m_vertexStream, 1);
    m_vertexStream.append(tPosition);
    // A corner that is not finite cannot be placed; it must not spoil the box of the others.
    if (m_vertices.addUnique(pVertex) && isFinitePoint(tPosition))
        m_boundingBox.add(tPosition);
}

void kvModel::addVertex(const kvVector3D &pPoint)
{
    addVertex(kvVertex(pPoint));
}

void kvModel::addVertex(const QVector3D &pPoint)
{
    addVertex(kvVertex(pPoint));
}

void kvModel::addTriangle(
    const kvVertex &pA, const kvVertex &pB, const kvVertex &pC, kvVector3D pNormal)
{
    // The same steps as addTriangle(kvTriangle), without copying the new triangle's corners.
    // The three index lookups are started first, so that their memory loads overlap.
    m_vertices.prefetch(pA.position(), false);
    m_vertices.prefetch(pB.position(), false);
    m_vertices.prefetch(pC.position(), false);
    kvTriangle tTriangle(pA, pB, pC, pNormal);
    addCorner(pA);
    addCorner(pB);
    addCorner(pC);
    if (m_normalsKept)
        appendNormals(tTriangle.normal());
    makeRoom(m_triangles, 1);
    m_triangles.append(std::move(tTriangle));
}

void kvModel::addTriangles(const kvVector3D *pCorners, int pCount, const kvTaskRunner &pRun)
{
    if (pCount <= 0)
        return;
    const int tBlock = 1 << 16;
    Appender tAppender(*this, pCount, tBlock, pRun);
    for (int tDone = 0; tDone < pCount;) {
        const int tCount = qMin(tBlock, pCount - tDone);
        std::memcpy(static_cast<void *>(tAppender.next()), pCorners + 3 * qint64(tDone),
            3 * size_t(tCount) * sizeof(kvVector3D));
        tAppender.add(tCount);
        tDone += tCount;
    }
    tAppender.finish();
}

kvModel::Appender::Appender(kvModel &pModel, qint64 pMost, int pBlock, const kvTaskRunner &pRun)
    : m_model(pModel)
    , m_run(pRun)
    , m_most(qMax<qint64>(0, pMost))
    , m_block(qMax(1, pBlock))
{
    // Each array in one piece from the start, never grown; nothing is written before the
    // facets come, and then by the tasks that make them.
    if (m_most == 0)
        return;
    m_streamData = Kv::BulkMemory::withRoom(pModel.m_vertexStream, 3 * m_most);
    m_triangleData = Kv::BulkMemory::withRoom(pModel.m_triangles, m_most);
    m_stream = m_streamData->begin() + m_streamData->size;
    m_triangles = m_triangleData->begin() + m_triangleData->size;
    Kv::Platform::adviseLargePages(m_stream, 3 * size_t(m_most) * sizeof(kvVector3D));
    Kv::Platform::adviseLargePages(m_triangles, size_t(m_most) * sizeof(kvTriangle));
    if (pModel.m_normalsKept) {
        m_normalData = Kv::BulkMemory::withRoom(pModel.m_normals, 3 * m_most);
        m_normals = m_normalData->begin() + m_normalData->size;
        Kv::Platform::adviseLargePages(m_normals, 3 * size_t(m_most) * sizeof(kvVector3D));
    }
    // A closed mesh has about half as many corners as facets.
    pModel.m_vertices.beginBatch(m_batch, m_stream, 3 * m_most, 3 * m_block, m_most / 2);
}

void kvModel::Appender::chunkFacets(int pCount, int pChunk, int &pBegin, int &pEnd)
{
    kvVertexList::chunkRange(3 * pCount, 3, pChunk, pBegin, pEnd);
    pBegin /= 3;
    pEnd /= 3;
}

void kvModel::Appender::add(int pCount)
{
    if (pCount <= 0)
        return;
    runTasks(m_run, Chunks, [&](int pChunk) { makeChunk(pCount, pChunk); });
    addMade(pCount);
}

void kvModel::Appender::makeChunk(int pCount, int pChunk)
{
    Q_ASSERT(pCount <= m_block && m_added + pCount <= m_most);
    m_model.m_vertices.prepareChunk(
        m_batch, 3 * pCount, 3, pChunk, [this](int pChunkMade, qint64 pFirst, int pCorners) {
            makeFacets(pChunkMade, pFirst, pCorners);
        });
}

void kvModel::Appender::makeFacets(int pChunk, qint64 pFirst, int pCorners)
{
    Box &tBox = m_boxes[pChunk];
    tBox.empty = true;
    for (qint64 i = pFirst / 3; i < (pFirst + pCorners) / 3; ++i) {
        const kvVector3D *tCorner = m_stream + 3 * i;
        new (m_triangles + i) kvTriangle(tCorner[0], tCorner[1], tCorner[2], kvVector3D());
        if (m_normals) {
            const kvVector3D tNormal = kvTriangle::cornerNormal(tCorner, 3);
            m_normals[3 * i] = tNormal;
            m_normals[3 * i + 1] = tNormal;
            m_normals[3 * i + 2] = tNormal;
        }
        for (int c = 0; c < 3; ++c) {
            const float tPoint[3] = {tCorner[c].x(), tCorner[c].y(), tCorner[c].z()};
            if (!(std::isfinite(tPoint[0]) && std::isfinite(tPoint[1]) && std::isfinite(tPoint[2])))
                continue;
            if (tBox.empty) {
                for (int a = 0; a < 3; ++a)
                    tBox.low[a] = tBox.high[a] = tPoint[a];
                tBox.empty = false;
                continue;
            }
            // Strictly smaller or larger only, as kvVector3D::storeMinimum does.
            for (int a = 0; a < 3; ++a) {
                if (tPoint[a] < tBox.low[a])
                    tBox.low[a] = tPoint[a];
                if (tPoint[a] > tBox.high[a])
                    tBox.high[a] = tPoint[a];
            }
        }
    }
}

void kvModel::Appender::addMade(int pCount)
{
    if (pCount <= 0)
        return;
    // The box of all corners in order is the box of the new vertices in order: a corner of a
    // position seen before cannot move it. Each chunk's box in turn, its low corner first,
    // gives the box the corners one by one give.
    for (int c = 0; c < Chunks; ++c) {
        int tBegin, tEnd;
        chunkFacets(pCount, c, tBegin, tEnd);
        const Box &tBox = m_boxes[c];
        if (tEnd > tBegin && !tBox.empty) {
            m_model.m_boundingBox.add(kvVector3D(tBox.low[0], tBox.low[1], tBox.low[2]));
            m_model.m_boundingBox.add(kvVector3D(tBox.high[0], tBox.high[1], tBox.high[2]));
        }
    }
    m_model.m_vertices.indexParts(m_batch, 3 * pCount, m_run);
    m_added += pCount;
    m_streamData->size += 3 * pCount;
    m_triangleData->size += pCount;
    if (m_normalData)
        m_normalData->size += 3 * pCount;
}

void kvModel::Appender::finish()
{
    if (m_most > 0)
        m_model.m_vertices.endBatch(m_batch, m_run);
}

void kvModel::reserveTriangles(int pCount)
{
    const auto tRoom
        = [](qint64 pElement) { return (std::numeric_limits<int>::max() - 64) / pElement; };
    const qint64 tTriangles = qMin<qint64>(qint64(m_triangles.size()) + qMax(0, pCount),
        qMin(tRoom(sizeof(kvTriangle)), tRoom(3 * sizeof(kvVector3D))));
    if (tTriangles > m_triangles.capacity())
        m_triangles.reserve(int(tTriangles));
    const qint64 tCorners = qint64(m_vertexStream.size()) + 3 * (tTriangles - m_triangles.size());
    if (tCorners > m_vertexStream.capacity())
        m_vertexStream.reserve(int(tCorners));
}

void kvModel::addTriangle(const kvTriangle &pTriangle)
{
    // Its normal is its own, and it may have any number of corners.
    keepNormals();
    const QVector<kvVertex> tCorners = pTriangle.vertices();
    for (const kvVertex &tCorner : tCorners)
        addCorner(tCorner);
    appendNormals(pTriangle.normal());
    makeRoom(m_triangles, 1);
    m_triangles.append(pTriangle);
}

void kvModel::appendNormals(const kvVector3D &pNormal)
{
    makeRoom(m_normals, 3);
    m_normals.append(pNormal);
    m_normals.append(pNormal);
    m_normals.append(pNormal);
}

void kvModel::keepNormals()
{
    if (m_normalsKept)
        return;
    m_normals = streamNormals();
    m_normalsKept = true;
}

QVector<kvVector3D> kvModel::streamNormals() const
{
    QVector<kvVector3D> tNormals;
    const int tCount = m_vertexStream.size();
    if (tCount == 0)
        return tNormals;
    // Each normal written once, by the thread that computes it.
    QTypedArrayData<kvVector3D> *tData = Kv::BulkMemory::withRoom(tNormals, tCount);
    kvVector3D *tOut = tData->begin();
    Kv::Platform::adviseLargePages(tOut, size_t(tCount) * sizeof(kvVector3D));
    const kvVector3D *tCorners = m_vertexStream.constData();
    const int tFacets = tCount / 3;
    const int tChunks = 64;
    const int tChunk = (tFacets + tChunks - 1) / tChunks;
    const auto tTask = [&](int pChunk) {
        const int tEnd = qMin(tFacets, (pChunk + 1) * tChunk);
        for (int i = pChunk * tChunk; i < tEnd; ++i) {
            const kvVector3D tNormal = kvTriangle::cornerNormal(tCorners + 3 * i, 3);
            tOut[3 * i] = tNormal;
            tOut[3 * i + 1] = tNormal;
            tOut[3 * i + 2] = tNormal;
        }
    };
    if (tFacets >= kSharedNormals)
        onThreads(tChunks, tTask);
    else
        runTasks({}, tChunks, tTask);
    // Corners after the last whole facet have no plane.
    for (int i = 3 * tFacets; i < tCount; ++i)
        new (tOut + i) kvVector3D();
    tData->size = tCount;
    return tNormals;
}

QVector<kvVector3D> kvModel::normals() const
{
    return m_normalsKept ? m_normals : streamNormals();
}

void kvModel::setNormals(const QVector<kvVector3D> &pNormals)
{
    m_normals.clear();
    m_normals = pNormals;
    m_normalsKept = true;
}

void kvModel::setTriangles(const QVector<kvTriangle> &pTriangles)
{
    m_triangles.clear();
    m_triangles = pTriangles;
}

void kvModel::setVertices(const kvVertexList &pVertices)
{
    m_vertices.clear();
    m_vertices = pVertices;
}

kvBoundingBox kvModel::boudningBoxFromMatrix(const QMatrix4x4 &pMatrix) const
{
    kvBoundingBox tBox;
    for (const kvVector3D &tPoint : m_vertexStream) {
        const QVector3D tMapped = pMatrix * static_cast<const QVector3D &>(tPoint);
        if (isFinitePoint(tMapped))
            tBox.add(tMapped);
    }
    return tBox;
}

double kvModel::surface()
{
    m_surface = 0.0;
    for (kvTriangle &tTriangle : m_triangles)
        m_surface += tTriangle.area();
    return m_surface;
}

double kvModel::volume()
{
    m_volume = 0.0;
    for (kvTriangle &tTriangle : m_triangles)
        m_volume += tTriangle.volume();
    m_volume = std::fabs(m_volume);
    return m_volume;
}

int kvModel::shells()
{
    m_shells = 0;
    for (kvTriangle &tTriangle : m_triangles)
        tTriangle.setShell(0);
    return m_shells;
}

void kvModel::updateVertexNumbers()
{
    m_vertices.renumber();
}

void kvModel::clear()
{
    m_name = QStringLiteral("");
    m_vertices.clear();
    m_triangles.clear();
    m_boundingBox.clear();
}

QString kvModel::toString()
{
    const double tSurface = surface();
    const double tVolume = volume();
    return QStringLiteral("kvModel[V:%1 N:%2 T:%3 S:%4 Vol:%5]")
        .arg(m_vertices.count())
        .arg(m_normalsKept ? m_normals.size() : m_vertexStream.size())
        .arg(m_triangles.size())
        .arg(QString::number(tSurface, 'g', 6), QString::number(tVolume, 'g', 6));
}
