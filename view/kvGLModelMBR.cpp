#include "kvGLModelMBR.h"

#include <QtOpenGL>

kvGLModelMBR::kvGLModelMBR(QObject *pParent)
    : kvGLObject(pParent)
{
    m_silent = true;
    setColor(Qt::darkGreen);
    setLineWidth(2.0f);
    m_silent = false;
}

void kvGLModelMBR::setLineWidth(float pValue)
{
    m_lineWidth = pValue;
    if (!m_silent)
        emit LineWidthChnaged();
}

void kvGLModelMBR::initializeGL()
{
    buildProgram("kvBoundingBoxVertexShader.vert", "kvBoundingBoxFragmentShader.frag");
}

void kvGLModelMBR::paintGL(QMatrix4x4 pMatrix, kvBoundingBox pBox)
{
    if (!m_visible)
        return;
    setVertices(pBox.box());
    uploadBuffer(Reserve::EveryTime);
    paintLines(pMatrix, m_lineWidth, GL_LINES);
}
