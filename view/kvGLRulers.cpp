#include "kvGLRulers.h"

#include <QtOpenGL>
#include <cmath>

namespace {
// Rulers longer than this (half length, mm) get no ticks.
constexpr double kMaxHalfLength = 100000;
} // namespace

kvGLRulers::kvGLRulers(QObject *pParent)
    : kvGLObject(pParent)
{
    m_silent = true;
    setColor(Qt::darkGray);
    setLineWidth(1.0f);
    setBedSize(kvVector3D(200, 200, 200));
    m_silent = false;
}

float kvGLRulers::tickLength(int pIndex)
{
    if (pIndex % 10 == 0)
        return 4.5f;
    if (pIndex % 5 == 0)
        return 3.5f;
    return 2.5f;
}

QVector<kvVector3D> kvGLRulers::ticks(Kv::Defines::kvCoordinate pCoordinate, kvVector3D pBedSize)
{
    const double tX = pBedSize.x() / 2.0, tY = pBedSize.y() / 2.0, tZ = pBedSize.z() / 2.0;
    QVector<kvVector3D> tTicks;
    double tHalf = tX;
    if (pCoordinate == Kv::Defines::CoordinateY)
        tHalf = tY;
    else if (pCoordinate == Kv::Defines::CoordinateZ)
        tHalf = tZ;
    else if (pCoordinate != Kv::Defines::CoordinateX)
        return tTicks;
    if (!std::isfinite(tHalf) || std::fabs(tHalf) > kMaxHalfLength)
        return tTicks;
    for (int i = int(std::trunc(-tHalf)); i <= tHalf; ++i) {
        const double tLength = tickLength(i);
        switch (pCoordinate) {
        case Kv::Defines::CoordinateX:
            tTicks << kvVector3D(i, -tY, tZ) << kvVector3D(i, -tY, tZ + tLength);
            break;
        case Kv::Defines::CoordinateY:
            tTicks << kvVector3D(tX, i, tZ) << kvVector3D(tX + tLength, i, tZ);
            break;
        default:
            tTicks << kvVector3D(tX, -tY, i) << kvVector3D(tX + tLength, -tY, i);
            break;
        }
    }
    return tTicks;
}

void kvGLRulers::rebuild()
{
    setVertices(ticks(m_coordinate, m_bedSize));
    uploadBuffer(Reserve::EveryTime);
}

void kvGLRulers::setLineWidth(float pValue)
{
    m_lineWidth = pValue;
    if (!m_silent)
        emit LineWidthChanged();
}

void kvGLRulers::setBedSize(kvVector3D pValue)
{
    m_bedSize = pValue;
    rebuild();
    if (!m_silent)
        emit BedSizeChanged();
}

void kvGLRulers::setCoordinate(Kv::Defines::kvCoordinate pValue)
{
    m_coordinate = pValue;
    rebuild();
    if (!m_silent)
        emit CoordinateChanged();
}

void kvGLRulers::initializeGL(Kv::Defines::kvCoordinate pCoordinate, kvVector3D pBedSize)
{
    setBedSize(pBedSize);
    setCoordinate(pCoordinate);
    buildProgram("kvBoundingBoxVertexShader.vert", "kvBoundingBoxFragmentShader.frag");
}

void kvGLRulers::paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView)
{
    paintTranslated(pProjection, pView, m_lineWidth, GL_LINES);
}
