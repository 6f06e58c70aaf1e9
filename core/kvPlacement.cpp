#include "kvPlacement.h"

namespace Kv {

QMatrix4x4 placementMatrix(kvVector3D pRotation, float pScale)
{
    QMatrix4x4 tMatrix;
    tMatrix.rotate(pRotation.x(), 1.0f, 0.0f, 0.0f);
    tMatrix.rotate(pRotation.y(), 0.0f, 1.0f, 0.0f);
    tMatrix.rotate(pRotation.z(), 0.0f, 0.0f, 1.0f);
    tMatrix.scale(pScale);
    return tMatrix;
}

} // namespace Kv
