#pragma once

#include "kvVector3D.h"

#include <QMatrix4x4>

namespace Kv {

// Where a mesh vertex goes when the user places the part: scaled uniformly by pScale, then
// turned about Z, then Y, then X by pRotation's angles (degrees). The view and the written
// STL both place vertices with this matrix; a normal is turned by it with a scale of 1.
QMatrix4x4 placementMatrix(kvVector3D pRotation, float pScale);

} // namespace Kv
