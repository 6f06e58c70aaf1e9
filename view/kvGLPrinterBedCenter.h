#pragma once

#include "kvGLObject.h"

// Marker for the plate's centre; holds its properties but no geometry.
class kvGLPrinterBedCenter : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLPrinterBedCenter(QObject *pParent = nullptr);

    void initializeGL() override;
    void paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView) override;
    void setTranslation(kvVector3D pValue) override;

    double size() const { return m_size; }
    void setSize(double pValue);
    int slices() const { return m_slices; }
    void setSlices(int pValue);

signals:
    void SizeChanged();
    void SlicesChanged();

private:
    void rebuild();

    double m_size = 5.0;
    int m_slices = 16;
};
