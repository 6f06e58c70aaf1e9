#include "kvGLPrinterBed.h"

#include <QtOpenGL>
#include <cmath>

namespace {
// More lines than this per direction (a bed of some hundred metres) draws no grid.
constexpr double kMaxLines = 100000;
} // namespace

kvGLPrinterBed::kvGLPrinterBed(QObject *pParent)
    : kvGLObject(pParent)
{
    m_silent = true;
    setColor(Qt::darkGray);
    setDimensions(kvVector3D(200, 200, 200));
    setLineWidth(1.0f);
    m_silent = false;
}

double kvGLPrinterBed::spacing(float pWidth)
{
    return pWidth == 150.0f ? 7.5 : 10.0;
}

QVector<kvVector3D> kvGLPrinterBed::grid(kvVector3D pDimensions)
{
    // The spacing follows the width; each family of lines stays on the plate.
    const double tSpacing = spacing(pDimensions.x());
    const double tAcross = std::trunc(double(pDimensions.x()) / tSpacing);
    const double tAlong = std::trunc(double(pDimensions.z()) / tSpacing);
    QVector<kvVector3D> tGrid;
    if (!(tAcross >= 1) || tAcross > kMaxLines || !(tAlong >= 0) || tAlong > kMaxLines)
        return tGrid;
    const double tX = pDimensions.x() / 2.0, tY = pDimensions.y() / 2.0, tZ = pDimensions.z() / 2.0;
    tGrid.reserve(int(tAcross + tAlong) * 2);
    const int tCount = int(qMax(tAcross, tAlong));
    for (int i = 1; i <= tCount; ++i) {
        const double tOffset = i * tSpacing;
        if (i <= tAlong)
            tGrid << kvVector3D(tX, -tY, tZ - tOffset) << kvVector3D(-tX, -tY, tZ - tOffset);
        if (i <= tAcross)
            tGrid << kvVector3D(tX - tOffset, -tY, tZ) << kvVector3D(tX - tOffset, -tY, -tZ);
    }
    return tGrid;
}

void kvGLPrinterBed::rebuild()
{
    setVertices(grid(m_dimensions));
    uploadBuffer(Reserve::EveryTime);
}

void kvGLPrinterBed::setDimensions(kvVector3D pValue)
{
    m_dimensions = pValue;
    rebuild();
    if (!m_silent)
        emit DimensionsChanged();
}

void kvGLPrinterBed::setLineWidth(float pValue)
{
    m_lineWidth = pValue;
    if (!m_silent)
        emit LineWidthChanged();
}

void kvGLPrinterBed::initializeGL()
{
    buildProgram("kvBoundingBoxVertexShader.vert", "kvBoundingBoxFragmentShader.frag");
    rebuild();
}

void kvGLPrinterBed::paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView)
{
    paintTranslated(pProjection, pView, m_lineWidth, GL_LINES);
}
