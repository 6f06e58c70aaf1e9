#pragma once

#include "kvModel.h"
#include "kvVector3D.h"

#include <QVector>
#include <cmath>

namespace KvBench {

// Corner positions of a closed UV sphere centred on the origin, three per triangle,
// counter-clockwise from outside: 2 * pSlices * (pStacks - 1) triangles.
inline QVector<kvVector3D> sphereCorners(double pRadius, int pSlices, int pStacks)
{
    QVector<kvVector3D> tRing;
    tRing.reserve(pSlices * (pStacks - 1));
    for (int tStack = 1; tStack < pStacks; ++tStack) {
        const double tTheta = M_PI * tStack / pStacks;
        for (int tSlice = 0; tSlice < pSlices; ++tSlice) {
            const double tPhi = 2.0 * M_PI * tSlice / pSlices;
            tRing.append(kvVector3D(float(pRadius * std::sin(tTheta) * std::cos(tPhi)),
                float(pRadius * std::sin(tTheta) * std::sin(tPhi)),
                float(pRadius * std::cos(tTheta))));
        }
    }
    const kvVector3D tTop(0, 0, float(pRadius));
    const kvVector3D tBottom(0, 0, float(-pRadius));
    auto tAt = [&](int pStack, int pSlice) {
        return tRing.at((pStack - 1) * pSlices + (pSlice % pSlices));
    };

    QVector<kvVector3D> tCorners;
    tCorners.reserve(3 * 2 * pSlices * (pStacks - 1));
    for (int tSlice = 0; tSlice < pSlices; ++tSlice) {
        tCorners << tTop << tAt(1, tSlice) << tAt(1, tSlice + 1);
        tCorners << tBottom << tAt(pStacks - 1, tSlice + 1) << tAt(pStacks - 1, tSlice);
    }
    for (int tStack = 1; tStack < pStacks - 1; ++tStack) {
        for (int tSlice = 0; tSlice < pSlices; ++tSlice) {
            const kvVector3D tA = tAt(tStack, tSlice), tB = tAt(tStack, tSlice + 1);
            const kvVector3D tC = tAt(tStack + 1, tSlice), tD = tAt(tStack + 1, tSlice + 1);
            tCorners << tA << tC << tD;
            tCorners << tA << tD << tB;
        }
    }
    return tCorners;
}

// A wavy surface of pSide x pSide cells, two triangles each, about 120 mm across.
inline kvModel wavySurface(int pSide)
{
    kvModel tModel("surface");
    const float tStep = 120.0f / pSide;
    auto tPoint = [&](int i, int j) {
        const float tX = i * tStep - 60, tY = j * tStep - 60;
        return kvVertex(kvVector3D(tX, tY, 20 + 5 * std::sin(tX * 0.2f) * std::cos(tY * 0.2f)));
    };
    for (int i = 0; i < pSide; ++i) {
        for (int j = 0; j < pSide; ++j) {
            tModel.addTriangle(tPoint(i, j), tPoint(i + 1, j), tPoint(i + 1, j + 1), kvVector3D());
            tModel.addTriangle(tPoint(i, j), tPoint(i + 1, j + 1), tPoint(i, j + 1), kvVector3D());
        }
    }
    return tModel;
}

} // namespace KvBench
