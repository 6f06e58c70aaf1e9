#pragma once

#include "kvGLObject.h"

// The scene's light: its position lights the displayed model; a pyramid marks it.
class kvGLLightSource : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLLightSource(QObject *pParent = nullptr);

    void initializeGL() override;
    using kvGLObject::paintGL;
    void paintGL(QMatrix4x4 pMatrix);

    kvVector3D angle() const { return m_angle; }
    void setAngle(kvVector3D pValue);
    kvVector3D position() const { return m_position; }
    void setPosition(kvVector3D pValue);
    QVector<kvVector3D> vertexColor() const { return m_vertexColor; }
    void setVertexColor(QVector<kvVector3D> pValue);
    QMatrix4x4 modelMatrix() const { return m_modelMatrix; }

signals:
    void ColorChanged();
    void ModelMatrixChanged();
    void AngleChanged();
    void WorldCoordinatesChanged();
    void PositionChanged();

private:
    QVector<kvVector3D> m_vertexColor;
    QMatrix4x4 m_modelMatrix;
    kvVector3D m_angle {45, 0, 0};
    kvVector3D m_position {0, 0, 1};
};
