#include "kvGLPrinterArea.h"

#include <QtOpenGL>

kvGLPrinterArea::kvGLPrinterArea(QObject *pParent)
    : kvGLObject(pParent)
{
    m_silent = true;
    setColor(Qt::darkGray);
    setDimensions(kvVector3D(200, 200, 200));
    setLineWidth(1.0f);
    m_silent = false;
}

QVector<kvVector3D> kvGLPrinterArea::edges(kvVector3D pDimensions)
{
    const float tX = pDimensions.x() / 2, tY = pDimensions.y() / 2, tZ = pDimensions.z() / 2;
    const float tCorners[4][2] = {{-tX, tY}, {tX, tY}, {tX, -tY}, {-tX, -tY}};
    QVector<kvVector3D> tEdges;
    tEdges.reserve(24);
    for (float tFace : {tZ, -tZ}) {
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            tEdges << kvVector3D(tCorners[i][0], tCorners[i][1], tFace)
                   << kvVector3D(tCorners[j][0], tCorners[j][1], tFace);
        }
    }
    for (const auto &tCorner : tCorners)
        tEdges << kvVector3D(tCorner[0], tCorner[1], tZ) << kvVector3D(tCorner[0], tCorner[1], -tZ);
    return tEdges;
}

void kvGLPrinterArea::rebuild()
{
    setVertices(edges(m_dimensions));
    uploadBuffer(Reserve::Once);
}

void kvGLPrinterArea::setDimensions(kvVector3D pValue)
{
    m_dimensions = pValue;
    rebuild();
    if (!m_silent)
        emit DimensionsChanged();
}

void kvGLPrinterArea::setLineWidth(float pValue)
{
    m_lineWidth = pValue;
    if (!m_silent)
        emit LineWidthChanged();
}

void kvGLPrinterArea::initializeGL()
{
    rebuild();
    buildProgram("kvBoundingBoxVertexShader.vert", "kvBoundingBoxFragmentShader.frag");
}

void kvGLPrinterArea::paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView)
{
    paintTranslated(pProjection, pView, m_lineWidth, GL_LINES);
}
