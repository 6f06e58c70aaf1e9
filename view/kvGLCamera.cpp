#include "kvGLCamera.h"

namespace {
QMatrix4x4 turn(float pTheta, float pPhi)
{
    QMatrix4x4 tTurn;
    tTurn.rotate(pTheta, 0, 1, 0);
    tTurn.rotate(pPhi, 1, 0, 0);
    return tTurn;
}
} // namespace

kvGLCamera::kvGLCamera(QObject *pParent)
    : QObject(pParent)
{
    setDistance(1);
    setAngle(90);
    setNearPlane(0.1f);
    setFarPlane(10000);
    setTheta(0);
    setPhi(0);
    setCenter(kvVector3D(0, 0, 250));
    setUp(kvVector3D(0, 1, 0));
}

void kvGLCamera::setDistance(float pValue)
{
    m_distance = pValue;
    emit DistanceChanged();
}

void kvGLCamera::setAngle(float pValue)
{
    m_angle = pValue;
    emit AngleChanged();
}

void kvGLCamera::setNearPlane(float pValue)
{
    m_nearPlane = pValue;
    emit NearPlaneChanged();
}

void kvGLCamera::setFarPlane(float pValue)
{
    m_farPlane = pValue;
    emit FarPlaneChanged();
}

void kvGLCamera::setTheta(float pValue)
{
    m_theta = pValue;
    emit ThetaChanged();
}

void kvGLCamera::setPhi(float pValue)
{
    m_phi = pValue;
    emit PhiChanged();
}

void kvGLCamera::setCenter(kvVector3D pValue)
{
    m_center = pValue;
    emit CenterChanged();
}

void kvGLCamera::setUp(kvVector3D pValue)
{
    m_up = pValue;
    emit UpChanged();
}

kvVector3D kvGLCamera::eyePosition(kvVector3D pCenter, float pDistance, float pTheta, float pPhi)
{
    return turn(pTheta, pPhi).map(QVector3D(pCenter.x(), pCenter.y(), pCenter.z() + pDistance));
}

QMatrix4x4 kvGLCamera::viewMatrix(
    kvVector3D pCenter, kvVector3D pUp, float pDistance, float pTheta, float pPhi)
{
    const QMatrix4x4 tTurn = turn(pTheta, pPhi);
    const QVector3D tEye = tTurn.map(QVector3D(pCenter.x(), pCenter.y(), pCenter.z() + pDistance));
    const QVector3D tUp = tTurn.mapVector(pUp);
    QMatrix4x4 tMatrix;
    tMatrix.lookAt(tEye, QVector3D(0, 0, 0), tUp);
    return tMatrix;
}

void kvGLCamera::setMatrix()
{
    m_matrix = viewMatrix(m_center, m_up, m_distance, m_theta, m_phi);
}

void kvGLCamera::applyPreset(
    kvVector3D pCenter, kvVector3D pUp, float pDistance, float pTheta, float pPhi)
{
    setCenter(pCenter);
    setUp(pUp);
    setDistance(pDistance);
    setTheta(pTheta);
    setPhi(pPhi);
}

void kvGLCamera::setProjectionType(Kv::Defines::kvGLProjectionType pValue)
{
    m_projectionType = pValue;
    if (pValue == Kv::Defines::GLProjectionTypeOrthographic)
        // Far above the front corner, Y up, as the perspective camera sees the plate.
        applyPreset(kvVector3D(0, 0, 2500), kvVector3D(0, 1, 0), 1.6f, 315, -45);
    else if (pValue == Kv::Defines::GLProjectionTypePerspective)
        applyPreset(kvVector3D(0, 0, 250), kvVector3D(0, 1, 0), 1, 0, 0);
    emit ThetaChanged();
    emit PhiChanged();
    emit ProjectionTypeChanged();
}

void kvGLCamera::reset()
{
    if (m_projectionType == Kv::Defines::GLProjectionTypeOrthographic) {
        setDistance(1.6f);
        setTheta(315);
        setPhi(-45);
    } else if (m_projectionType == Kv::Defines::GLProjectionTypePerspective) {
        setDistance(1);
        setTheta(0);
        setPhi(0);
    }
    emit ResetTriggered();
}
