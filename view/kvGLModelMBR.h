#pragma once

#include "kvBoundingBox.h"
#include "kvGLObject.h"

// Outline of the displayed model's box; green inside the printable volume, red outside.
class kvGLModelMBR : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLModelMBR(QObject *pParent = nullptr);

    void initializeGL() override;
    using kvGLObject::paintGL;
    void paintGL(QMatrix4x4 pMatrix, kvBoundingBox pBox);

    float lineWidth() const { return m_lineWidth; }
    void setLineWidth(float pValue);

signals:
    void ColorChanged();
    void LineWidthChnaged();

private:
    float m_lineWidth = 2.0f;
};
