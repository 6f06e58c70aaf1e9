#include "kvGLRulersShade.h"

#include <QtOpenGL>

namespace {
constexpr int kCorners = 4;
constexpr int kStorageBytes = kCorners * 12 + kCorners * 16;

float clampTo(float pValue, float pLimit)
{
    const float tLimit = std::fabs(pLimit);
    return qBound(-tLimit, pValue, tLimit);
}
} // namespace

kvGLRulersShade::kvGLRulersShade(QObject *pParent)
    : kvGLObject(pParent)
{
    m_silent = true;
    setWidth(2.5f);
    setAlpha(0.5f);
    setBedSize(kvVector3D(200, 200, 200));
    setColor(Qt::green);
    m_silent = false;
}

QVector<kvVector3D> kvGLRulersShade::fixedStrip(
    Kv::Defines::kvCoordinate pCoordinate, kvVector3D pBedSize, float pWidth)
{
    const float tX = pBedSize.x() / 2, tY = pBedSize.y() / 2, tZ = pBedSize.z() / 2;
    const float w = pWidth;
    switch (pCoordinate) {
    case Kv::Defines::CoordinateX:
        return {{tX, -tY, tZ}, {50, -tY, tZ}, {50, -tY, tZ + w}, {tX, -tY, tZ + w}};
    case Kv::Defines::CoordinateY:
        return {{tX, -tY, tZ}, {tX, -tY, 50}, {tX + w, -tY, 50}, {tX + w, -tY, tZ}};
    case Kv::Defines::CoordinateZ:
        return {{tX, -tY, tZ}, {tX, -50, tZ}, {tX + w, -50, tZ}, {tX + w, -tY, tZ}};
    default:
        return {};
    }
}

QVector<kvVector3D> kvGLRulersShade::extentStrip(Kv::Defines::kvCoordinate pCoordinate,
    kvVector3D pBedSize, float pWidth, kvVector3D pMin, kvVector3D pMax)
{
    const float tX = pBedSize.x() / 2, tY = pBedSize.y() / 2, tZ = pBedSize.z() / 2;
    const float w = pWidth;
    for (int i = 0; i < 3; ++i) {
        pMin[i] = clampTo(pMin[i], pBedSize[i]);
        pMax[i] = clampTo(pMax[i], pBedSize[i]);
    }
    switch (pCoordinate) {
    case Kv::Defines::CoordinateX:
        return {{pMax.x(), -tY, tZ}, {pMin.x(), -tY, tZ}, {pMin.x(), -tY, tZ + w},
            {pMax.x(), -tY, tZ + w}};
    case Kv::Defines::CoordinateY:
        return {{tX, -tY, pMax.z()}, {tX, -tY, pMin.z()}, {tX + w, -tY, pMin.z()},
            {tX + w, -tY, pMax.z()}};
    case Kv::Defines::CoordinateZ:
        return {
            {tX, pMax.y(), tZ}, {tX, pMin.y(), tZ}, {tX + w, pMin.y(), tZ}, {tX + w, pMax.y(), tZ}};
    default:
        return {};
    }
}

void kvGLRulersShade::upload()
{
    uploadBuffer(Reserve::Once, m_colors.constData(), m_colors.size() * int(sizeof(QVector4D)),
        kStorageBytes);
}

void kvGLRulersShade::setCoordinate(Kv::Defines::kvCoordinate pValue)
{
    m_coordinate = pValue;
    setVertices(fixedStrip(m_coordinate, m_bedSize, m_width));
    upload();
    if (!m_silent)
        emit CoordinateChanged();
}

void kvGLRulersShade::setWidth(float pValue)
{
    m_width = pValue;
    setCoordinate(m_coordinate);
    if (!m_silent)
        emit WidthChanged();
}

void kvGLRulersShade::setAlpha(float pValue)
{
    m_alpha = pValue;
    setColor(m_color);
    if (!m_silent)
        emit AlphaChanged();
}

void kvGLRulersShade::setBedSize(kvVector3D pValue)
{
    m_bedSize = pValue;
    setCoordinate(m_coordinate);
}

void kvGLRulersShade::setColor(QColor pValue)
{
    kvGLObject::setColor(pValue);
    m_colors.clear();
    const QVector4D tColor(
        float(pValue.redF()), float(pValue.greenF()), float(pValue.blueF()), m_alpha);
    for (int i = 0; i < kCorners; ++i)
        m_colors << tColor;
    upload();
    if (!m_silent)
        emit kvGLObject::ColorChanged(this);
}

void kvGLRulersShade::updateVertices(kvVector3D pBedSize, kvVector3D pMin, kvVector3D pMax)
{
    m_bedSize = pBedSize;
    setCoordinate(m_coordinate);
    setVertices(extentStrip(m_coordinate, m_bedSize, m_width, pMin, pMax));
    upload();
}

void kvGLRulersShade::initializeGL(Kv::Defines::kvCoordinate pCoordinate, QColor pColor)
{
    setCoordinate(pCoordinate);
    setColor(pColor);
    buildProgram("kvOriginVertexShader.vert", "kvOriginFragmentShader.frag");
    upload();
}

void kvGLRulersShade::paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView)
{
    if (!m_visible)
        return;
    m_matrix = QMatrix4x4();
    m_matrix.translate(m_translation);
    if (!canDraw())
        return;
    glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    paintColored("pMatrix", pProjection * pView * m_matrix, 4, GL_QUADS);
    glDisable(GL_BLEND);
}
