#pragma once

#include "kvVector3D.h"

#include <QVector>

class kvTriangle;

// A position with an integer id and a list of connected faces.
class kvVertex
{
public:
    kvVertex();
    kvVertex(float pX, float pY, float pZ);
    kvVertex(const QVector3D &pPosition);
    kvVertex(const kvVector3D &pPosition);
    kvVertex(int pId, float pX, float pY, float pZ);
    kvVertex(int pId, const QVector3D &pPosition);
    kvVertex(int pId, const kvVector3D &pPosition);
    kvVertex(const kvVertex &pOther);
    kvVertex(kvVertex &&pOther) noexcept;
    kvVertex &operator=(const kvVertex &pOther);
    kvVertex &operator=(kvVertex &&pOther) noexcept;
    ~kvVertex();

    kvVector3D position() const { return m_position; }
    void setPosition(kvVector3D pPosition) { m_position = pPosition; }
    int id() const { return m_id; }
    void setId(int pId) { m_id = pId; }
    void initalize(int pId, kvVector3D pPosition);

    QVector<kvTriangle> connectedFaces() const;
    void connectFace(const kvTriangle &pTriangle);
    void disconnectFace(const kvTriangle &pTriangle);

    double distance(const kvVertex &pOther) const;
    double distance(kvVector3D pPoint) const;

    bool operator==(const kvVertex &pOther) const;
    bool operator!=(const kvVertex &pOther) const { return !(*this == pOther); }

private:
    kvVector3D m_position;
    int m_id = -1;
    QVector<kvTriangle> m_faces;
};

Q_DECLARE_TYPEINFO(kvVertex, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(kvVertex)
