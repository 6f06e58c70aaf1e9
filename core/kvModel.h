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

    // Adds facets that a reader writes straight into the mesh, as addTriangles would add
    // them. It makes room for all of them at once, and every array is written by the task
    // that fills it, once. In turn: next() is where the corners of the next facets go, three
    // a facet; add(n) makes the n facets written there part of the mesh; finish() numbers
    // their new vertices. Until finish() has run the model is not to be used otherwise, and
    // a model whose appender failed is to be dropped.
    class Appender
    {
    public:
        // Room for pMost facets, in blocks of at most pBlock facets; throws std::bad_alloc.
        Appender(kvModel &pModel, qint64 pMost, int pBlock, const kvTaskRunner &pRun);
        Appender(const Appender &) = delete;
        Appender &operator=(const Appender &) = delete;

        // Room for the corners of min(pBlock, the facets still to come) facets.
        kvVector3D *next() const { return m_stream + 3 * m_added; }
        void add(int pCount);
        void finish();

        // add(pCount) in two steps, for a reader that parses a block in Chunks tasks: task c
        // writes the corners of the facets chunkFacets gives it and then calls makeChunk;
        // once every task has, addMade(pCount). A block whose count changes after some of
        // its chunks were made (a facet left out) is made once more by add().
        static constexpr int Chunks = kvVertexList::BlockChunks;
        static void chunkFacets(int pCount, int pChunk, int &pBegin, int &pEnd);
        void makeChunk(int pCount, int pChunk);
        void addMade(int pCount);

    private:
        // The box of a chunk's corners, as kvBoundingBox::add of each in turn makes it.
        struct Box
        {
            float low[3];
            float high[3];
            bool empty = true;
        };
        // The facets and normals of the corners [pFirst, pFirst + pCorners), with their box.
        void makeFacets(int pChunk, qint64 pFirst, int pCorners);

        kvModel &m_model;
        kvTaskRunner m_run;
        qint64 m_most;
        qint64 m_added = 0;
        int m_block;
        // The arrays' headers, and where their new entries go.
        QTypedArrayData<kvVector3D> *m_streamData = nullptr;
        QTypedArrayData<kvTriangle> *m_triangleData = nullptr;
        QTypedArrayData<kvVector3D> *m_normalData = nullptr;
        kvVector3D *m_stream = nullptr;
        kvTriangle *m_triangles = nullptr;
        kvVector3D *m_normals = nullptr;
        kvVertexList::Batch m_batch;
        Box m_boxes[Chunks];
    };

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
