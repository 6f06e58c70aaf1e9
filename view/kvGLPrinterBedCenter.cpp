#include "kvGLPrinterBedCenter.h"

#include <QtOpenGL>

kvGLPrinterBedCenter::kvGLPrinterBedCenter(QObject *pParent)
    : kvGLObject(pParent)
{
    m_silent = true;
    setColor(Qt::darkGray);
    setSize(5.0);
    setSlices(16);
    setTranslation(kvVector3D(0, -100, 0));
    m_silent = false;
}

void kvGLPrinterBedCenter::rebuild()
{
    setVertices(QVector<kvVector3D>());
    uploadBuffer(Reserve::Once);
}

void kvGLPrinterBedCenter::setSize(double pValue)
{
    m_size = pValue;
    rebuild();
    if (!m_silent)
        emit SizeChanged();
}

void kvGLPrinterBedCenter::setSlices(int pValue)
{
    m_slices = pValue;
    rebuild();
    if (!m_silent)
        emit SlicesChanged();
}

void kvGLPrinterBedCenter::setTranslation(kvVector3D pValue)
{
    kvGLObject::setTranslation(pValue);
    rebuild();
}

void kvGLPrinterBedCenter::initializeGL()
{
    rebuild();
    buildProgram("kvBoundingBoxVertexShader.vert", "kvBoundingBoxFragmentShader.frag");
}

void kvGLPrinterBedCenter::paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView)
{
    paintTranslated(pProjection, pView, 0, GL_TRIANGLES);
}
