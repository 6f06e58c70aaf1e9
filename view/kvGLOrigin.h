#pragma once

#include "kvGLObject.h"

// Axis cross of 10 mm at the origin.
class kvGLOrigin : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLOrigin(QObject *pParent = nullptr);

    void initializeGL() override;
    void paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView) override;

    float lineWidth() const { return m_lineWidth; }
    void setLineWidth(float pValue);

signals:
    void LineWidthChanged();

private:
    float m_lineWidth = 1.0f;
};
