#pragma once

#include "kvVector3D.h"
#include "kvVertex.h"

#include <QVector>

// A facet: its corners in order, a unit normal and the stored measures.
// A mesh holds millions of facets, so the usual facet (up to three corners that are bare
// positions, with the normal of its corners) is kept in 48 bytes; any other corner list
// or normal is kept apart as it was given.
class kvTriangle
{
public:
    kvTriangle();
    // The normal argument is replaced at once by the normal of the corner order.
    kvTriangle(kvVector3D pA, kvVector3D pB, kvVector3D pC, kvVector3D pNormal);
    kvTriangle(const kvVertex &pA, const kvVertex &pB, const kvVertex &pC, kvVector3D pNormal);
    kvTriangle(const kvTriangle &pOther);
    kvTriangle(kvTriangle &&pOther) noexcept;
    kvTriangle &operator=(const kvTriangle &pOther);
    kvTriangle &operator=(kvTriangle &&pOther) noexcept;
    ~kvTriangle();

    QVector<kvVertex> vertices() const;
    void setVertices(const QVector<kvVertex> &pVertices);
    void addVertex(const kvVertex &pVertex);

    void recomputeNormal();
    kvVector3D normal() const;
    void setNormal(kvVector3D pNormal);
    void setNormal(float pX, float pY, float pZ) { setNormal(kvVector3D(pX, pY, pZ)); }

    double area();
    double volume();
    // Sum of the three corners (not their mean).
    kvVector3D center();

    int shell() const { return m_shell; }
    void setShell(int pShell) { m_shell = pShell; }

    bool operator==(const kvTriangle &pOther) const;
    bool operator!=(const kvTriangle &pOther) const { return !(*this == pOther); }

private:
    // The model computes the normals of its facets the same way.
    friend class kvModel;

    // How the corners and the normal are kept.
    enum Form : quint8
    {
        CornerNormal, // bare corners in m_data; the normal of the corner order
        ZeroNormal, // bare corners in m_data; the normal (0, 0, 0)
        Separate // corner list and normal in a block of their own
    };
    struct Block;

    static bool isBare(const kvVertex &pVertex);
    static kvVector3D cornerNormal(const kvVector3D *pCorners, int pCount);
    // Keeps the corner list and the normal in the smallest form that holds them exactly.
    // Three bare corners, the normal that of their order.
    void setBareCorners(const kvVector3D &pA, const kvVector3D &pB, const kvVector3D &pC);
    void assign(const QVector<kvVertex> &pCorners, const kvVector3D &pNormal);
    void release();
    void copyFrom(const kvTriangle &pOther);
    // Moves pOther's storage here, leaving it empty; this holds nothing before.
    void takeFrom(kvTriangle &pOther) noexcept;
    int cornerCount() const;
    // Positions of corners 0 to 2 (those present).
    void positions(kvVector3D *pOut) const;
    Block *separate() const;

    // Three corners of three floats each, or a pointer to the separate block.
    alignas(8) float m_data[9];
    int m_shell = 0;
    quint8 m_form = ZeroNormal;
    quint8 m_count = 0;
};

Q_DECLARE_TYPEINFO(kvTriangle, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(kvTriangle)
