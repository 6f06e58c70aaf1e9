#pragma once

#include "kvGLObject.h"

// Grid on the floor of the printable volume.
class kvGLPrinterBed : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLPrinterBed(QObject *pParent = nullptr);

    void initializeGL() override;
    void paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView) override;

    kvVector3D dimensions() const { return m_dimensions; }
    void setDimensions(kvVector3D pValue);
    float lineWidth() const { return m_lineWidth; }
    void setLineWidth(float pValue);

    // Line spacing for a bed width: 7.5 mm for exactly 150 mm, else 10 mm.
    static double spacing(float pWidth);
    // Grid segments for a size; empty when the width is below the spacing.
    static QVector<kvVector3D> grid(kvVector3D pDimensions);

signals:
    void DimensionsChanged();
    void LineWidthChanged();

private:
    void rebuild();

    kvVector3D m_dimensions {200, 200, 200};
    float m_lineWidth = 1.0f;
};
