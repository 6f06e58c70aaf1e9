#pragma once

#include "kvModel.h"
#include "kvVertex.h"

#include <cmath>

namespace KvViewTest {

// A closed box mesh from pMin to pMax (12 outward-facing triangles, Z up as in STL).
inline kvModel boxMesh(kvVector3D pMin, kvVector3D pMax)
{
    const float x0 = pMin.x(), y0 = pMin.y(), z0 = pMin.z();
    const float x1 = pMax.x(), y1 = pMax.y(), z1 = pMax.z();
    const kvVector3D c[8] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}, {x0, y0, z1},
        {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
    const int f[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
        {2, 3, 7}, {2, 7, 6}, {1, 2, 6}, {1, 6, 5}, {3, 0, 4}, {3, 4, 7}};
    kvModel tModel;
    tModel.setName("box");
    for (const auto &t : f)
        tModel.addTriangle(
            kvVertex(c[t[0]]), kvVertex(c[t[1]]), kvVertex(c[t[2]]), kvVector3D(0, 0, 0));
    return tModel;
}

inline kvModel cube(float pEdge)
{
    return boxMesh(kvVector3D(0, 0, 0), kvVector3D(pEdge, pEdge, pEdge));
}

// A faceted sphere of radius pRadius around the origin (outward-facing, Z up as in STL).
inline kvModel sphere(float pRadius, int pSlices = 24, int pStacks = 12)
{
    const auto tPoint = [&](int pSlice, int pStack) {
        const double tLongitude = 2 * M_PI * pSlice / pSlices;
        const double tLatitude = -M_PI / 2 + M_PI * pStack / pStacks;
        return kvVector3D(float(pRadius * std::cos(tLatitude) * std::cos(tLongitude)),
            float(pRadius * std::cos(tLatitude) * std::sin(tLongitude)),
            float(pRadius * std::sin(tLatitude)));
    };
    kvModel tModel;
    tModel.setName("sphere");
    for (int j = 0; j < pStacks; ++j) {
        for (int i = 0; i < pSlices; ++i) {
            const kvVector3D a = tPoint(i, j), b = tPoint(i + 1, j), c = tPoint(i + 1, j + 1),
                             d = tPoint(i, j + 1);
            if (j > 0)
                tModel.addTriangle(kvVertex(a), kvVertex(b), kvVertex(c), kvVector3D(0, 0, 0));
            if (j < pStacks - 1)
                tModel.addTriangle(kvVertex(a), kvVertex(c), kvVertex(d), kvVector3D(0, 0, 0));
        }
    }
    return tModel;
}

} // namespace KvViewTest
