#include "kvGLOrigin.h"

#include <QtOpenGL>

kvGLOrigin::kvGLOrigin(QObject *pParent)
    : kvGLObject(pParent)
{
    m_silent = true;
    setColor(Qt::lightGray);
    setLineWidth(1.0f);
    m_silent = false;
}

void kvGLOrigin::setLineWidth(float pValue)
{
    m_lineWidth = pValue;
    if (!m_silent)
        emit LineWidthChanged();
}

void kvGLOrigin::initializeGL()
{
    setVertices({kvVector3D(-5, 0, 0), kvVector3D(5, 0, 0), kvVector3D(0, -5, 0),
        kvVector3D(0, 5, 0), kvVector3D(0, 0, -5), kvVector3D(0, 0, 5)});
    buildProgram("kvBoundingBoxVertexShader.vert", "kvBoundingBoxFragmentShader.frag");
    uploadBuffer(Reserve::EveryTime);
}

void kvGLOrigin::paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView)
{
    paintTranslated(pProjection, pView, m_lineWidth, GL_LINES);
}
