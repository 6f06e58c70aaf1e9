#include "kvModel.h"

#include <cmath>
#include <limits>

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
    const int tChunks = 16;
    const int tChunk = (pCount + tChunks - 1) / tChunks;
    const int tFirst = m_triangles.size();
    const int tStreamFirst = m_vertexStream.size();
    makeRoom(m_vertexStream, 3 * pCount);
    m_vertexStream.resize(tStreamFirst + 3 * pCount);
    makeRoom(m_triangles, pCount);
    m_triangles.resize(tFirst + pCount);
    if (m_normalsKept) {
        makeRoom(m_normals, 3 * pCount);
        m_normals.resize(m_normals.size() + 3 * pCount);
    }
    kvVector3D *tStream = m_vertexStream.data() + tStreamFirst;
    kvTriangle *tTriangles = m_triangles.data() + tFirst;
    kvVector3D *tNormals
        = m_normalsKept ? m_normals.data() + m_normals.size() - 3 * pCount : nullptr;
    runTasks(pRun, tChunks, [&](int pChunk) {
        const int tEnd = qMin(pCount, (pChunk + 1) * tChunk);
        for (int i = pChunk * tChunk; i < tEnd; ++i) {
            const kvVector3D *tCorner = pCorners + 3 * i;
            tStream[3 * i] = tCorner[0];
            tStream[3 * i + 1] = tCorner[1];
            tStream[3 * i + 2] = tCorner[2];
            tTriangles[i] = kvTriangle(tCorner[0], tCorner[1], tCorner[2], kvVector3D());
            if (tNormals) {
                const kvVector3D tNormal = kvTriangle::cornerNormal(tCorner, 3);
                tNormals[3 * i] = tNormal;
                tNormals[3 * i + 1] = tNormal;
                tNormals[3 * i + 2] = tNormal;
            }
        }
    });
    const int tStoredFirst = m_vertices.m_stored.size();
    m_vertices.addUnique(tStream, 3 * pCount, pRun);
    // The box grows by the new corners in the order they came.
    const kvVertex *tNew = m_vertices.m_stored.constData();
    for (int i = tStoredFirst; i < m_vertices.m_stored.size(); ++i) {
        const kvVector3D tPosition = tNew[i].position();
        if (isFinitePoint(tPosition))
            m_boundingBox.add(tPosition);
    }
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
    tNormals.resize(m_vertexStream.size());
    const kvVector3D *tCorners = m_vertexStream.constData();
    kvVector3D *tOut = tNormals.data();
    for (int i = 0; i + 2 < m_vertexStream.size(); i += 3) {
        const kvVector3D tNormal = kvTriangle::cornerNormal(tCorners + i, 3);
        tOut[i] = tNormal;
        tOut[i + 1] = tNormal;
        tOut[i + 2] = tNormal;
    }
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
