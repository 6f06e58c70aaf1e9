#pragma once

#include "kvVector3D.h"

#include <QVector>

// Axis-aligned box grown point by point; the first point sets both corners.
class kvBoundingBox
{
public:
    kvBoundingBox() = default;

    void clear();
    kvVector3D minPoint() const { return m_minPoint; }
    kvVector3D maxPoint() const { return m_maxPoint; }
    bool isEmpty() const { return m_empty; }

    void add(kvVector3D pPoint);
    void add(float pX, float pY, float pZ);
    void add(const kvBoundingBox &pBox);

    bool containsPoint(kvVector3D pPoint) const;
    kvVector3D center() const;
    // The 24 end points of the 12 edges, two per edge.
    QVector<kvVector3D> box() const;

private:
    kvVector3D m_minPoint;
    kvVector3D m_maxPoint;
    bool m_empty = true;
};

Q_DECLARE_METATYPE(kvBoundingBox)
