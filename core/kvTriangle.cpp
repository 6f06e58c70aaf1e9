#include "kvTriangle.h"

kvTriangle::kvTriangle(kvVector3D pA, kvVector3D pB, kvVector3D pC, kvVector3D pNormal)
    : kvTriangle(kvVertex(pA), kvVertex(pB), kvVertex(pC), pNormal)
{ }

kvTriangle::kvTriangle(
    const kvVertex &pA, const kvVertex &pB, const kvVertex &pC, kvVector3D pNormal)
    : m_normal(pNormal)
{
    m_vertices.reserve(3);
    m_vertices.append(pA);
    m_vertices.append(pB);
    m_vertices.append(pC);
    recomputeNormal();
}

void kvTriangle::addVertex(const kvVertex &pVertex)
{
    if (m_vertices.size() < 3)
        m_vertices.append(pVertex);
}

void kvTriangle::recomputeNormal()
{
    // Fewer than three corners: no plane, a zero normal.
    if (!hasThreeCorners()) {
        m_normal = kvVector3D();
        return;
    }
    const kvVector3D tP0 = m_vertices.at(0).position();
    const kvVector3D tP1 = m_vertices.at(1).position();
    const kvVector3D tP2 = m_vertices.at(2).position();
    const kvVector3D tE1 = tP1.subtract(tP0);
    const kvVector3D tE2 = tP2.subtract(tP1);
    m_normal = QVector3D::crossProduct(tE1, tE2);
    m_normal.normalize();
}

double kvTriangle::area()
{
    m_area = 0.0;
    if (!hasThreeCorners())
        return m_area;
    const kvVector3D tP0 = m_vertices.at(0).position();
    const kvVector3D tP1 = m_vertices.at(1).position();
    const kvVector3D tP2 = m_vertices.at(2).position();
    const QVector3D tCross = QVector3D::crossProduct(tP1 - tP0, tP2 - tP1);
    m_area = double(tCross.length()) * 0.5;
    return m_area;
}

double kvTriangle::volume()
{
    m_volume = 0.0;
    if (!hasThreeCorners())
        return m_volume;
    const kvVector3D tP0 = m_vertices.at(0).position();
    const kvVector3D tC
        = QVector3D::crossProduct(m_vertices.at(1).position(), m_vertices.at(2).position());
    m_volume = tP0.scalarProduct(tC) / 6.0;
    return m_volume;
}

kvVector3D kvTriangle::center()
{
    m_center = kvVector3D();
    if (!hasThreeCorners())
        return m_center;
    m_center = m_vertices.at(0)
                   .position()
                   .add(m_vertices.at(1).position())
                   .add(m_vertices.at(2).position());
    return m_center;
}

bool kvTriangle::operator==(const kvTriangle &pOther) const
{
    if (!(m_normal.x() == pOther.m_normal.x() && m_normal.y() == pOther.m_normal.y()
            && m_normal.z() == pOther.m_normal.z()))
        return false;
    // Corners 0 to 2 compared pairwise; a missing corner only equals a missing one.
    for (int i = 0; i < 3; ++i) {
        const bool tHere = i < m_vertices.size();
        const bool tThere = i < pOther.m_vertices.size();
        if (tHere != tThere)
            return false;
        if (tHere && m_vertices.at(i) != pOther.m_vertices.at(i))
            return false;
    }
    return true;
}
