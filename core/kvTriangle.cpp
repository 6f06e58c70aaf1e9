#include "kvTriangle.h"

#include <cstring>

struct kvTriangle::Block
{
    QVector<kvVertex> corners;
    kvVector3D normal;
};

namespace {

bool sameBits(const kvVector3D &pA, const kvVector3D &pB)
{
    const float tA[3] = {pA.x(), pA.y(), pA.z()};
    const float tB[3] = {pB.x(), pB.y(), pB.z()};
    return std::memcmp(tA, tB, sizeof(tA)) == 0;
}

} // namespace

static_assert(sizeof(kvTriangle) == 48, "a facet of a large mesh stays small");

kvTriangle::kvTriangle()
{
    std::memset(m_data, 0, sizeof(m_data));
}

kvTriangle::kvTriangle(kvVector3D pA, kvVector3D pB, kvVector3D pC, kvVector3D pNormal)
{
    // Corners made from positions alone are bare.
    Q_UNUSED(pNormal)
    setBareCorners(pA, pB, pC);
}

kvTriangle::kvTriangle(
    const kvVertex &pA, const kvVertex &pB, const kvVertex &pC, kvVector3D pNormal)
{
    Q_UNUSED(pNormal)
    if (isBare(pA) && isBare(pB) && isBare(pC)) {
        setBareCorners(pA.position(), pB.position(), pC.position());
        return;
    }
    std::memset(m_data, 0, sizeof(m_data));
    const QVector<kvVertex> tCorners = {pA, pB, pC};
    const kvVector3D tPositions[3] = {pA.position(), pB.position(), pC.position()};
    assign(tCorners, cornerNormal(tPositions, 3));
}

void kvTriangle::setBareCorners(const kvVector3D &pA, const kvVector3D &pB, const kvVector3D &pC)
{
    const kvVector3D *tCorners[3] = {&pA, &pB, &pC};
    for (int i = 0; i < 3; ++i) {
        m_data[3 * i] = tCorners[i]->x();
        m_data[3 * i + 1] = tCorners[i]->y();
        m_data[3 * i + 2] = tCorners[i]->z();
    }
    m_count = 3;
    m_form = CornerNormal;
}

kvTriangle::kvTriangle(const kvTriangle &pOther)
{
    copyFrom(pOther);
}

kvTriangle::kvTriangle(kvTriangle &&pOther) noexcept
{
    takeFrom(pOther);
}

kvTriangle &kvTriangle::operator=(const kvTriangle &pOther)
{
    if (this != &pOther) {
        release();
        copyFrom(pOther);
    }
    return *this;
}

kvTriangle &kvTriangle::operator=(kvTriangle &&pOther) noexcept
{
    if (this != &pOther) {
        release();
        takeFrom(pOther);
    }
    return *this;
}

void kvTriangle::takeFrom(kvTriangle &pOther) noexcept
{
    std::memcpy(m_data, pOther.m_data, sizeof(m_data));
    m_shell = pOther.m_shell;
    m_form = pOther.m_form;
    m_count = pOther.m_count;
    pOther.m_form = ZeroNormal;
    pOther.m_count = 0;
}

kvTriangle::~kvTriangle()
{
    release();
}

void kvTriangle::copyFrom(const kvTriangle &pOther)
{
    m_shell = pOther.m_shell;
    m_form = pOther.m_form;
    m_count = pOther.m_count;
    if (pOther.m_form == Separate) {
        Block *tCopy = new Block(*pOther.separate());
        std::memset(m_data, 0, sizeof(m_data));
        std::memcpy(m_data, &tCopy, sizeof(tCopy));
    } else {
        std::memcpy(m_data, pOther.m_data, sizeof(m_data));
    }
}

void kvTriangle::release()
{
    if (m_form == Separate)
        delete separate();
    m_form = ZeroNormal;
    m_count = 0;
}

kvTriangle::Block *kvTriangle::separate() const
{
    Block *tBlock = nullptr;
    std::memcpy(&tBlock, m_data, sizeof(tBlock));
    return tBlock;
}

bool kvTriangle::isBare(const kvVertex &pVertex)
{
    return pVertex.id() == -1 && pVertex.connectedFaces().isEmpty();
}

kvVector3D kvTriangle::cornerNormal(const kvVector3D *pCorners, int pCount)
{
    // Fewer than three corners: no plane, a zero normal.
    if (pCount < 3)
        return kvVector3D();
    const kvVector3D tE1 = pCorners[1].subtract(pCorners[0]);
    const kvVector3D tE2 = pCorners[2].subtract(pCorners[1]);
    kvVector3D tNormal = QVector3D::crossProduct(tE1, tE2);
    tNormal.normalize();
    return tNormal;
}

int kvTriangle::cornerCount() const
{
    return m_form == Separate ? separate()->corners.size() : m_count;
}

void kvTriangle::positions(kvVector3D *pOut) const
{
    if (m_form == Separate) {
        const QVector<kvVertex> &tCorners = separate()->corners;
        for (int i = 0; i < 3 && i < tCorners.size(); ++i)
            pOut[i] = tCorners.at(i).position();
        return;
    }
    for (int i = 0; i < m_count; ++i)
        pOut[i] = kvVector3D(m_data[3 * i], m_data[3 * i + 1], m_data[3 * i + 2]);
}

void kvTriangle::assign(const QVector<kvVertex> &pCorners, const kvVector3D &pNormal)
{
    release();
    std::memset(m_data, 0, sizeof(m_data));
    bool tBare = pCorners.size() <= 3;
    for (int i = 0; tBare && i < pCorners.size(); ++i)
        tBare = isBare(pCorners.at(i));
    if (tBare) {
        kvVector3D tPositions[3];
        for (int i = 0; i < pCorners.size(); ++i)
            tPositions[i] = pCorners.at(i).position();
        Form tForm = Separate;
        if (sameBits(pNormal, cornerNormal(tPositions, pCorners.size())))
            tForm = CornerNormal;
        else if (sameBits(pNormal, kvVector3D()))
            tForm = ZeroNormal;
        if (tForm != Separate) {
            for (int i = 0; i < pCorners.size(); ++i) {
                m_data[3 * i] = tPositions[i].x();
                m_data[3 * i + 1] = tPositions[i].y();
                m_data[3 * i + 2] = tPositions[i].z();
            }
            m_form = tForm;
            m_count = quint8(pCorners.size());
            return;
        }
    }
    Block *tBlock = new Block {pCorners, pNormal};
    std::memcpy(m_data, &tBlock, sizeof(tBlock));
    m_form = Separate;
    m_count = 0;
}

QVector<kvVertex> kvTriangle::vertices() const
{
    if (m_form == Separate)
        return separate()->corners;
    QVector<kvVertex> tCorners;
    tCorners.reserve(m_count);
    for (int i = 0; i < m_count; ++i)
        tCorners.append(kvVertex(m_data[3 * i], m_data[3 * i + 1], m_data[3 * i + 2]));
    return tCorners;
}

void kvTriangle::setVertices(const QVector<kvVertex> &pVertices)
{
    assign(pVertices, normal());
}

void kvTriangle::addVertex(const kvVertex &pVertex)
{
    if (cornerCount() >= 3)
        return;
    QVector<kvVertex> tCorners = vertices();
    tCorners.append(pVertex);
    assign(tCorners, normal());
}

kvVector3D kvTriangle::normal() const
{
    if (m_form == Separate)
        return separate()->normal;
    if (m_form == ZeroNormal)
        return kvVector3D();
    kvVector3D tCorners[3];
    positions(tCorners);
    return cornerNormal(tCorners, m_count);
}

void kvTriangle::setNormal(kvVector3D pNormal)
{
    assign(vertices(), pNormal);
}

void kvTriangle::recomputeNormal()
{
    kvVector3D tCorners[3];
    positions(tCorners);
    assign(vertices(), cornerNormal(tCorners, cornerCount()));
}

double kvTriangle::area()
{
    if (cornerCount() < 3)
        return 0.0;
    kvVector3D tP[3];
    positions(tP);
    const QVector3D tCross = QVector3D::crossProduct(tP[1] - tP[0], tP[2] - tP[1]);
    return double(tCross.length()) * 0.5;
}

double kvTriangle::volume()
{
    if (cornerCount() < 3)
        return 0.0;
    kvVector3D tP[3];
    positions(tP);
    const kvVector3D tC = QVector3D::crossProduct(tP[1], tP[2]);
    return tP[0].scalarProduct(tC) / 6.0;
}

kvVector3D kvTriangle::center()
{
    if (cornerCount() < 3)
        return kvVector3D();
    kvVector3D tP[3];
    positions(tP);
    return tP[0].add(tP[1]).add(tP[2]);
}

bool kvTriangle::operator==(const kvTriangle &pOther) const
{
    const kvVector3D tN = normal();
    const kvVector3D tOtherN = pOther.normal();
    if (!(tN.x() == tOtherN.x() && tN.y() == tOtherN.y() && tN.z() == tOtherN.z()))
        return false;
    // Corners 0 to 2 compared pairwise; a missing corner only equals a missing one.
    const QVector<kvVertex> tHere = vertices();
    const QVector<kvVertex> tThere = pOther.vertices();
    for (int i = 0; i < 3; ++i) {
        const bool tHas = i < tHere.size();
        if (tHas != (i < tThere.size()))
            return false;
        if (tHas && tHere.at(i) != tThere.at(i))
            return false;
    }
    return true;
}
