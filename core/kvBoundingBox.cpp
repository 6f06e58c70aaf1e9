#include "kvBoundingBox.h"

void kvBoundingBox::clear()
{
    *this = kvBoundingBox();
}

void kvBoundingBox::add(kvVector3D pPoint)
{
    if (m_empty) {
        m_minPoint = pPoint;
        m_maxPoint = pPoint;
        m_empty = false;
        return;
    }
    m_minPoint.storeMinimum(pPoint);
    m_maxPoint.storeMaximum(pPoint);
}

void kvBoundingBox::add(float pX, float pY, float pZ)
{
    add(kvVector3D(pX, pY, pZ));
}

void kvBoundingBox::add(const kvBoundingBox &pBox)
{
    add(pBox.m_minPoint);
    add(pBox.m_maxPoint);
}

bool kvBoundingBox::containsPoint(kvVector3D pPoint) const
{
    return m_minPoint.x() <= pPoint.x() && pPoint.x() <= m_maxPoint.x()
        && m_minPoint.y() <= pPoint.y() && pPoint.y() <= m_maxPoint.y()
        && m_minPoint.z() <= pPoint.z() && pPoint.z() <= m_maxPoint.z();
}

kvVector3D kvBoundingBox::center() const
{
    kvVector3D tCenter = m_maxPoint.add(m_minPoint);
    tCenter.scale(0.5);
    return tCenter;
}

QVector<kvVector3D> kvBoundingBox::box() const
{
    const kvVector3D &m = m_minPoint;
    const kvVector3D &M = m_maxPoint;
    return {
        {m.x(), m.y(), m.z()}, {M.x(), m.y(), m.z()}, // 1
        {m.x(), m.y(), m.z()}, {m.x(), M.y(), m.z()}, // 2
        {m.x(), m.y(), m.z()}, {m.x(), m.y(), M.z()}, // 3
        {M.x(), M.y(), M.z()}, {m.x(), M.y(), M.z()}, // 4
        {M.x(), M.y(), M.z()}, {M.x(), m.y(), M.z()}, // 5
        {M.x(), M.y(), M.z()}, {M.x(), M.y(), m.z()}, // 6
        {m.x(), M.y(), M.z()}, {m.x(), M.y(), m.z()}, // 7
        {m.x(), M.y(), M.z()}, {m.x(), m.y(), M.z()}, // 8
        {M.x(), M.y(), m.z()}, {M.x(), m.y(), m.z()}, // 9
        {M.x(), M.y(), m.z()}, {m.x(), M.y(), m.z()}, // 10
        {M.x(), m.y(), M.z()}, {m.x(), m.y(), M.z()}, // 11
        {M.x(), m.y(), M.z()}, {M.x(), m.y(), m.z()}, // 12
    };
}
