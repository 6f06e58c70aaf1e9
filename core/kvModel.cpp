#include "kvModel.h"

#include <cmath>

namespace {

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
    const kvVector3D tPosition = pVertex.position();
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
    addTriangle(kvTriangle(pA, pB, pC, pNormal));
}

void kvModel::addTriangle(const kvTriangle &pTriangle)
{
    const QVector<kvVertex> tCorners = pTriangle.vertices();
    for (const kvVertex &tCorner : tCorners)
        addVertex(tCorner);
    const kvVector3D tNormal = pTriangle.normal();
    m_normals.append(tNormal);
    m_normals.append(tNormal);
    m_normals.append(tNormal);
    m_triangles.append(pTriangle);
}

void kvModel::setNormals(const QVector<kvVector3D> &pNormals)
{
    m_normals.clear();
    m_normals = pNormals;
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
        .arg(m_normals.size())
        .arg(m_triangles.size())
        .arg(QString::number(tSurface, 'g', 6), QString::number(tVolume, 'g', 6));
}
