#pragma once

#include "kvDefines.h"
#include "kvVector3D.h"

#include <QMatrix4x4>
#include <QPoint>
#include <QRect>

// The view's arithmetic, free of any GL context.
namespace kvGLViewMath {

// Camera distance step for a vertical wheel turn of pDelta eighths of a degree.
int wheelStep(int pDelta);
// An orbit angle brought into [0, 360) in one step; a non-finite angle is returned as is.
float wrapAngle(float pDegrees);
// An elevation limited to [-90, 90].
float clampElevation(float pDegrees);
// The orthographic rectangle of a widget: x1 left, y1 bottom (positive), x2 right, y2 top.
QRect orthographicRect(int pWidth, int pHeight);
// Projection for a camera type; the identity for an unknown type.
QMatrix4x4 projectionMatrix(Kv::Defines::kvGLProjectionType pType, float pAngle, float pAspect,
    float pNear, float pFar, const QRect &pOrthographic);
// The framebuffer row of a widget row (framebuffer rows count from the bottom).
int framebufferRow(int pViewportHeight, int pY);
// The scene point at framebuffer pixel (pX, pRow) with depth pDepth in 0..1.
kvVector3D unproject(int pX, int pRow, float pDepth, const QMatrix4x4 &pProjection,
    const QMatrix4x4 &pView, const QRect &pViewport);

} // namespace kvGLViewMath
