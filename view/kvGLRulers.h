#pragma once

#include "kvDefines.h"
#include "kvGLObject.h"

// Millimetre ticks along one edge of the printable volume.
class kvGLRulers : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLRulers(QObject *pParent = nullptr);

    void paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView) override;
    using kvGLObject::initializeGL;
    void initializeGL(Kv::Defines::kvCoordinate pCoordinate, kvVector3D pBedSize);

    float lineWidth() const { return m_lineWidth; }
    void setLineWidth(float pValue);
    kvVector3D bedSize() const { return m_bedSize; }
    void setBedSize(kvVector3D pValue);
    Kv::Defines::kvCoordinate coordinate() const { return m_coordinate; }
    void setCoordinate(Kv::Defines::kvCoordinate pValue);

    // Length of the tick at millimetre pIndex: 4.5 every 10, 3.5 every 5, else 2.5.
    static float tickLength(int pIndex);
    // Tick segments of the ruler along pCoordinate for a bed size.
    static QVector<kvVector3D> ticks(Kv::Defines::kvCoordinate pCoordinate, kvVector3D pBedSize);

signals:
    void LineWidthChanged();
    void BedSizeChanged();
    void CoordinateChanged();

private:
    void rebuild();

    float m_lineWidth = 1.0f;
    kvVector3D m_bedSize {200, 200, 200};
    Kv::Defines::kvCoordinate m_coordinate = Kv::Defines::CoordinateAll;
};
