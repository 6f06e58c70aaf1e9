#pragma once

#include "kvDefines.h"
#include "kvVector3D.h"

#include <QMatrix4x4>
#include <QPoint>
#include <QPointF>
#include <QRect>

// The view's arithmetic, free of any GL context.
namespace kvGLViewMath {

// Camera distance step for a vertical wheel turn of pDelta eighths of a degree.
int wheelStep(int pDelta);
// An orbit angle brought into [0, 360) in one step; a non-finite angle is returned as is.
float wrapAngle(float pDegrees);
// An elevation limited to [-90, 90].
float clampElevation(float pDegrees);
// The camera distance after a zoom step of pStep: the eye (pCenter moved by the distance
// along Z) stops 10 mm before the look-at point and at half the far plane, on its side.
float zoomedDistance(float pDistance, float pStep, kvVector3D pCenter, float pFarPlane);
// How far a drag of (pDx, pDy) pixels moves a part on the plate (x, z), one millimetre per
// pixel in the direction the mouse moves on screen, for a camera turned by pTheta degrees
// about Y; pEyeAbovePlate tells whether the plate is seen from above.
QPointF plateDrag(int pDx, int pDy, float pTheta, bool pEyeAbovePlate);
// The orthographic rectangle of a widget: x1 left, y1 bottom (positive), x2 right, y2 top.
QRect orthographicRect(int pWidth, int pHeight);
// Projection for a camera type; the identity for an unknown type. The orthographic one
// keeps Y up whichever way the rectangle's top and bottom are stored.
QMatrix4x4 projectionMatrix(Kv::Defines::kvGLProjectionType pType, float pAngle, float pAspect,
    float pNear, float pFar, const QRect &pOrthographic);
// The framebuffer row of a widget row (framebuffer rows count from the bottom).
int framebufferRow(int pViewportHeight, int pY);
// The scene point at framebuffer pixel (pX, pRow) with depth pDepth in 0..1.
kvVector3D unproject(int pX, int pRow, float pDepth, const QMatrix4x4 &pProjection,
    const QMatrix4x4 &pView, const QRect &pViewport);

} // namespace kvGLViewMath
