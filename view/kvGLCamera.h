#pragma once

#include "kvDefines.h"
#include "kvVector3D.h"

#include <QMatrix4x4>
#include <QObject>

// Orbit camera: the eye looks at the scene's origin from center + distance,
// turned by theta about Y and phi about X.
class kvGLCamera : public QObject
{
    Q_OBJECT
public:
    explicit kvGLCamera(QObject *pParent = nullptr);

    float distance() const { return m_distance; }
    float angle() const { return m_angle; }
    float nearPlane() const { return m_nearPlane; }
    float farPlane() const { return m_farPlane; }
    float theta() const { return m_theta; }
    float phi() const { return m_phi; }
    kvVector3D center() const { return m_center; }
    kvVector3D up() const { return m_up; }
    QMatrix4x4 matrix() const { return m_matrix; }
    Kv::Defines::kvGLProjectionType projectionType() const { return m_projectionType; }

    void setDistance(float pValue);
    void setAngle(float pValue);
    void setNearPlane(float pValue);
    void setFarPlane(float pValue);
    void setTheta(float pValue);
    void setPhi(float pValue);
    void setCenter(kvVector3D pValue);
    void setUp(kvVector3D pValue);
    // Rebuilds the view matrix from the fields; emits nothing.
    void setMatrix();
    void setProjectionType(Kv::Defines::kvGLProjectionType pValue);
    void reset();

    // Eye position and view matrix for the given fields.
    static kvVector3D eyePosition(kvVector3D pCenter, float pDistance, float pTheta, float pPhi);
    static QMatrix4x4 viewMatrix(
        kvVector3D pCenter, kvVector3D pUp, float pDistance, float pTheta, float pPhi);

signals:
    void DistanceChanged();
    void AngleChanged();
    void NearPlaneChanged();
    void FarPlaneChanged();
    void CenterChanged();
    void UpChanged();
    void MatrixChanged();
    void ThetaChanged();
    void PhiChanged();
    void ProjectionTypeChanged();
    void ResetTriggered();

private:
    void applyPreset(kvVector3D pCenter, kvVector3D pUp, float pDistance, float pTheta, float pPhi);

    float m_distance = 1;
    float m_angle = 90;
    float m_nearPlane = 0.1f;
    float m_farPlane = 10000;
    float m_theta = 0;
    float m_phi = 0;
    kvVector3D m_center {0, 0, 250};
    kvVector3D m_up {0, 1, 0};
    QMatrix4x4 m_matrix;
    Kv::Defines::kvGLProjectionType m_projectionType = Kv::Defines::GLProjectionTypePerspective;
};
