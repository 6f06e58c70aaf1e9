#pragma once

#include "kvVector3D.h"

#include <QtTest>

// Readable QCOMPARE failures for vectors.
inline char *toString(const kvVector3D &pVector)
{
    return QTest::toString(pVector.toString());
}

// Component-wise fuzzy comparison for computed geometry.
inline bool fuzzyEqual(const QVector3D &pA, const QVector3D &pB, float pTolerance = 1e-5f)
{
    return qAbs(pA.x() - pB.x()) <= pTolerance && qAbs(pA.y() - pB.y()) <= pTolerance
        && qAbs(pA.z() - pB.z()) <= pTolerance;
}
