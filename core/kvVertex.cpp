#include "kvVertex.h"

#include "kvTriangle.h"

kvVertex::kvVertex() = default;

kvVertex::kvVertex(float pX, float pY, float pZ)
    : m_position(pX, pY, pZ)
{ }

kvVertex::kvVertex(const QVector3D &pPosition)
    : m_position(pPosition)
{ }

kvVertex::kvVertex(const kvVector3D &pPosition)
    : m_position(pPosition)
{ }

kvVertex::kvVertex(int pId, float pX, float pY, float pZ)
    : m_position(pX, pY, pZ)
    , m_id(pId)
{ }

kvVertex::kvVertex(int pId, const QVector3D &pPosition)
    : m_position(pPosition)
    , m_id(pId)
{ }

kvVertex::kvVertex(int pId, const kvVector3D &pPosition)
    : m_position(pPosition)
    , m_id(pId)
{ }

kvVertex::kvVertex(const kvVertex &pOther) = default;
kvVertex::kvVertex(kvVertex &&pOther) noexcept = default;
kvVertex &kvVertex::operator=(const kvVertex &pOther) = default;
kvVertex &kvVertex::operator=(kvVertex &&pOther) noexcept = default;
kvVertex::~kvVertex() = default;

void kvVertex::initalize(int pId, kvVector3D pPosition)
{
    m_id = pId;
    m_position = pPosition;
}

QVector<kvTriangle> kvVertex::connectedFaces() const
{
    return m_faces;
}

void kvVertex::connectFace(const kvTriangle &pTriangle)
{
    m_faces.append(pTriangle);
}

void kvVertex::disconnectFace(const kvTriangle &pTriangle)
{
    const int tIndex = m_faces.indexOf(pTriangle);
    if (tIndex >= 0)
        m_faces.remove(tIndex);
}

double kvVertex::distance(const kvVertex &pOther) const
{
    return double(m_position.distanceToPoint(pOther.m_position));
}

double kvVertex::distance(kvVector3D pPoint) const
{
    return double(m_position.distanceToPoint(pPoint));
}

bool kvVertex::operator==(const kvVertex &pOther) const
{
    if (!(m_position.x() == pOther.m_position.x() && m_position.y() == pOther.m_position.y()
            && m_position.z() == pOther.m_position.z()))
        return false;
    if (m_faces.size() != pOther.m_faces.size())
        return false;
    for (int i = 0; i < m_faces.size(); ++i) {
        if (m_faces.at(i) != pOther.m_faces.at(i))
            return false;
    }
    return true;
}
