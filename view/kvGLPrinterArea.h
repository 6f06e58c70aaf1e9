#pragma once

#include "kvGLObject.h"

// Outline of the printable volume: the 12 edges of a box centred on the origin.
class kvGLPrinterArea : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLPrinterArea(QObject *pParent = nullptr);

    void initializeGL() override;
    void paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView) override;

    kvVector3D dimensions() const { return m_dimensions; }
    void setDimensions(kvVector3D pValue);
    float lineWidth() const { return m_lineWidth; }
    void setLineWidth(float pValue);

    // The 24 end points of the volume's edges for a size.
    static QVector<kvVector3D> edges(kvVector3D pDimensions);

signals:
    void DimensionsChanged();
    void LineWidthChanged();

private:
    void rebuild();

    kvVector3D m_dimensions {200, 200, 200};
    float m_lineWidth = 1.0f;
};
