#include "kvGLModelCenter.h"

#include <QtOpenGL>

kvGLModelCenter::kvGLModelCenter(QObject *pParent)
    : kvGLObject(pParent)
{
    m_silent = true;
    setColor(Qt::red);
    m_silent = false;
    setLineWidth(2.0f);
}

void kvGLModelCenter::setLineWidth(float pValue)
{
    m_lineWidth = pValue;
    emit LineWidthChanged();
}

void kvGLModelCenter::initializeGL()
{
    buildProgram("kvBoundingBoxVertexShader.vert", "kvBoundingBoxFragmentShader.frag");
}

void kvGLModelCenter::updateBuffer(kvPrinterFile *)
{
    setVertices(QVector<kvVector3D>());
    uploadBuffer(Reserve::EveryTime);
}

void kvGLModelCenter::paintGL(QMatrix4x4 pMatrix, kvPrinterFile *pFile)
{
    if (!m_visible)
        return;
    updateBuffer(pFile);
    paintLines(pMatrix, m_lineWidth, GL_LINES);
}

void kvGLModelCenter::paintGL(QMatrix4x4, kvModel) { }
