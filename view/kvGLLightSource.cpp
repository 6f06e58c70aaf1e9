#include "kvGLLightSource.h"

#include <QtOpenGL>

kvGLLightSource::kvGLLightSource(QObject *pParent)
    : kvGLObject(pParent)
{
    m_silent = true;
    setAngle(kvVector3D(45, 0, 0));
    setPosition(kvVector3D(0, 0, 1));
    setTranslation(kvVector3D(0, 100, 100));
    m_silent = false;
}

void kvGLLightSource::setAngle(kvVector3D pValue)
{
    m_angle = pValue;
    if (!m_silent)
        emit AngleChanged();
}

void kvGLLightSource::setPosition(kvVector3D pValue)
{
    m_position = pValue;
    if (!m_silent)
        emit PositionChanged();
}

void kvGLLightSource::setVertexColor(QVector<kvVector3D> pValue)
{
    m_vertexColor = pValue;
    if (!m_silent)
        emit ColorChanged();
}

void kvGLLightSource::initializeGL()
{
    const kvVector3D tApex(0, 10, 0);
    setVertices({tApex, {-5, 0, 5}, {5, 0, 5}, tApex, {5, 0, -5}, {-5, 0, -5}, tApex, {-5, 0, -5},
        {-5, 0, 5}, tApex, {5, 0, 5}, {5, 0, -5}, {-5, 0, -5}, {5, 0, -5}, {5, 0, 5}, {5, 0, 5},
        {-5, 0, 5}, {-5, 0, -5}});
    m_vertexColor.clear();
    for (int i = 0; i < 12; ++i)
        m_vertexColor << kvVector3D(0.2f, 0.2f, 0.2f);
    for (int i = 0; i < 6; ++i)
        m_vertexColor << kvVector3D(1, 1, 0);
    buildProgram("kvLightVertexShader.vert", "kvLightFragmentShader.frag");
    uploadBuffer(
        Reserve::Once, m_vertexColor.constData(), m_vertexColor.size() * int(sizeof(kvVector3D)));
}

void kvGLLightSource::paintGL(QMatrix4x4 pMatrix)
{
    if (!m_visible)
        return;
    m_modelMatrix = QMatrix4x4();
    m_modelMatrix.translate(m_translation);
    m_modelMatrix.rotate(m_angle.x(), 1, 0, 0);
    m_modelMatrix.rotate(m_angle.y(), 0, 1, 0);
    m_modelMatrix.rotate(m_angle.z(), 0, 0, 1);
    paintColored("pPVMMatrix", pMatrix * m_modelMatrix, 3, GL_TRIANGLES);
}
