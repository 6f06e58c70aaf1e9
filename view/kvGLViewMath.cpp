#include "kvGLViewMath.h"

#include <QtMath>
#include <cmath>

namespace kvGLViewMath {

int wheelStep(int pDelta)
{
    // The factor is the double nearest 0.1 * 3, as the distance step has always used.
    return int(-(pDelta * 0.30000000000000004 + 0.7));
}

float wrapAngle(float pDegrees)
{
    if (!std::isfinite(pDegrees))
        return pDegrees;
    double tWrapped = std::fmod(double(pDegrees), 360.0);
    if (tWrapped < 0)
        tWrapped += 360.0;
    const float tResult = float(tWrapped);
    return tResult >= 360.0f ? 0.0f : tResult;
}

float clampElevation(float pDegrees)
{
    if (pDegrees < -90)
        return -90;
    if (pDegrees > 90)
        return 90;
    return pDegrees;
}

float zoomedDistance(float pDistance, float pStep, kvVector3D pCenter, float pFarPlane)
{
    constexpr float kNearest = 10.0f;
    const float tFarthest = qMax(kNearest, pFarPlane * 0.5f);
    const float tEye = pCenter.z() + pDistance;
    const float tSide = tEye < 0 ? -1.0f : 1.0f;
    const float tRange = tSide * tEye;
    float tNew = tSide * (tEye + pStep);
    if (!std::isfinite(tNew))
        return pDistance;
    // An eye already beyond a limit (set elsewhere) is not pulled back, only held.
    if (tNew < tRange)
        tNew = qMax(tNew, qMin(tRange, kNearest));
    else
        tNew = qMin(tNew, qMax(tRange, tFarthest));
    return tSide * tNew - pCenter.z();
}

QPointF plateDrag(int pDx, int pDy, float pTheta, bool pEyeAbovePlate)
{
    const double tAngle = qDegreesToRadians(double(pTheta));
    const double tCos = std::cos(tAngle), tSin = std::sin(tAngle);
    // Screen right is the camera's X axis on the plate; screen down comes toward the eye
    // when the plate is seen from above and goes away from it when seen from below.
    const double tDown = pEyeAbovePlate ? pDy : -pDy;
    return QPointF(pDx * tCos + tDown * tSin, -pDx * tSin + tDown * tCos);
}

QRect orthographicRect(int pWidth, int pHeight)
{
    const int tHeight = pHeight == 0 ? 1 : pHeight;
    QRect tRect;
    tRect.setCoords(int(std::trunc(-pWidth * 0.5)), int(std::trunc(tHeight * 0.5)),
        int(std::trunc(pWidth * 0.5)), int(std::trunc(-tHeight * 0.5)));
    return tRect;
}

QMatrix4x4 projectionMatrix(Kv::Defines::kvGLProjectionType pType, float pAngle, float pAspect,
    float pNear, float pFar, const QRect &pOrthographic)
{
    QMatrix4x4 tProjection;
    if (pType == Kv::Defines::GLProjectionTypePerspective) {
        tProjection.perspective(pAngle, pAspect, pNear, pFar);
    } else if (pType == Kv::Defines::GLProjectionTypeOrthographic) {
        int tLeft, tBottom, tRight, tTop;
        pOrthographic.getCoords(&tLeft, &tBottom, &tRight, &tTop);
        tProjection.ortho(tLeft, tRight, qMin(tBottom, tTop), qMax(tBottom, tTop), pNear, pFar);
    }
    return tProjection;
}

int framebufferRow(int pViewportHeight, int pY)
{
    return pViewportHeight - 1 - pY;
}

kvVector3D unproject(int pX, int pRow, float pDepth, const QMatrix4x4 &pProjection,
    const QMatrix4x4 &pView, const QRect &pViewport)
{
    return QVector3D(pX, pRow, pDepth).unproject(pView, pProjection, pViewport);
}

} // namespace kvGLViewMath
