#pragma once

#include "kvVector3D.h"
#include "kvVertex.h"

#include <QVector>

// A facet: its corners in order, a unit normal and the stored measures.
class kvTriangle
{
public:
    kvTriangle() = default;
    // The normal argument is replaced at once by the normal of the corner order.
    kvTriangle(kvVector3D pA, kvVector3D pB, kvVector3D pC, kvVector3D pNormal);
    kvTriangle(const kvVertex &pA, const kvVertex &pB, const kvVertex &pC, kvVector3D pNormal);

    QVector<kvVertex> vertices() const { return m_vertices; }
    void setVertices(const QVector<kvVertex> &pVertices) { m_vertices = pVertices; }
    void addVertex(const kvVertex &pVertex);

    void recomputeNormal();
    kvVector3D normal() const { return m_normal; }
    void setNormal(kvVector3D pNormal) { m_normal = pNormal; }
    void setNormal(float pX, float pY, float pZ) { m_normal = kvVector3D(pX, pY, pZ); }

    double area();
    double volume();
    // Sum of the three corners (not their mean).
    kvVector3D center();

    int shell() const { return m_shell; }
    void setShell(int pShell) { m_shell = pShell; }

    bool operator==(const kvTriangle &pOther) const;
    bool operator!=(const kvTriangle &pOther) const { return !(*this == pOther); }

private:
    bool hasThreeCorners() const { return m_vertices.size() >= 3; }

    QVector<kvVertex> m_vertices;
    kvVector3D m_normal;
    kvVector3D m_center;
    double m_area = 0.0;
    double m_volume = 0.0;
    int m_shell = 0;
};

Q_DECLARE_TYPEINFO(kvTriangle, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(kvTriangle)
