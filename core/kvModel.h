#pragma once

#include "kvBoundingBox.h"
#include "kvTriangle.h"
#include "kvVector3D.h"
#include "kvVertex.h"
#include "kvVertexList.h"

#include <QMatrix4x4>
#include <QString>
#include <QVector>

#include <algorithm>
#include <limits>

// The mesh of one part: its facets, its distinct corners and the flat arrays the view draws.
class kvModel
{
public:
    // The most facets a mesh holds: each is one entry of the facet array and three of the
    // corner stream, and neither array can pass 2 GiB.
    static constexpr int MostTriangles = int((std::numeric_limits<int>::max() - 64)
        / std::max(sizeof(kvTriangle), 3 * sizeof(kvVector3D)));

    kvModel() = default;
    explicit kvModel(const QString &pName);

    QString name() const { return m_name; }
    void setName(const QString &pName) { m_name = pName; }
    QString filename() const { return m_filename; }
    void setFilename(const QString &pFilename) { m_filename = pFilename; }

    void addVertex(const kvVertex &pVertex);
    void addVertex(const kvVector3D &pPoint);
    void addVertex(const QVector3D &pPoint);
    // Builds the facet from its corners; the normal is recomputed from the corner order.
    void addTriangle(
        const kvVertex &pA, const kvVertex &pB, const kvVertex &pC, kvVector3D pNormal);
    void addTriangle(const kvTriangle &pTriangle);
    // The same as addTriangle of the vertices made from the corners 3i, 3i + 1 and 3i + 2 for
    // each of the pCount facets in turn; the work is split into tasks for pRun.
    void addTriangles(const kvVector3D *pCorners, int pCount, const kvTaskRunner &pRun = {});
    // Makes room for pCount more facets, as a reader that knows their number can.
    void reserveTriangles(int pCount);

    QVector<kvVector3D> vertexVector() const { return m_vertexStream; }
    QVector<kvVector3D> normals() const;
    void setNormals(const QVector<kvVector3D> &pNormals);
    QVector<kvTriangle> triangles() const { return m_triangles; }
    void setTriangles(const QVector<kvTriangle> &pTriangles);
    kvVertexList vertices() const { return m_vertices; }
    void setVertices(const kvVertexList &pVertices);

    kvBoundingBox boundingBox() const { return m_boundingBox; }
    kvBoundingBox boudningBoxFromMatrix(const QMatrix4x4 &pMatrix) const;

    double surface();
    double volume();
    int shells();
    void updateVertexNumbers();
    void clear();
    QString toString();

private:
    // Appends a corner to the stream and, when its position is new, to the vertex list.
    void addCorner(const kvVertex &pVertex);
    // The facet normal once per corner.
    void appendNormals(const kvVector3D &pNormal);
    // From now on the normals are kept in m_normals.
    void keepNormals();
    // The normal of every facet of the stream, once per corner.
    QVector<kvVector3D> streamNormals() const;

    QString m_name;
    QString m_filename;
    QVector<kvVector3D> m_vertexStream;
    kvVertexList m_vertices;
    // Until m_normalsKept, every three stream entries are the corners of a facet added
    // from its corners, and the normals (those of the corner order) are computed when asked
    // for rather than kept: they would cost as much memory as the stream.
    QVector<kvVector3D> m_normals;
    bool m_normalsKept = false;
    QVector<kvTriangle> m_triangles;
    kvBoundingBox m_boundingBox;
    double m_surface = 0.0;
    double m_volume = 0.0;
    int m_shells = 0;
};

Q_DECLARE_METATYPE(kvModel)
