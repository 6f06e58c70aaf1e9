#pragma once

#include "kvModel.h"
#include "kvPrinterFile.h"

#include <QFile>
#include <QSignalSpy>
#include <QStringList>
#include <QtTest>

namespace KvTest {

// A mesh of the one facet pA, pB, pC.
inline kvModel oneTriangle(kvVector3D pA, kvVector3D pB, kvVector3D pC)
{
    kvModel tModel;
    tModel.addTriangle(kvVertex(pA), kvVertex(pB), kvVertex(pC), kvVector3D());
    return tModel;
}

// Axis-aligned cube from the origin to (pEdge, pEdge, pEdge), outward normals.
inline kvModel cubeModel(float pEdge)
{
    static const int tFaces[12][3][3] = {
        {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}},
        {{0, 0, 0}, {1, 1, 0}, {1, 0, 0}},
        {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}},
        {{0, 0, 1}, {1, 1, 1}, {0, 1, 1}},
        {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}},
        {{0, 0, 0}, {1, 0, 1}, {0, 0, 1}},
        {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}},
        {{0, 1, 0}, {1, 1, 1}, {1, 1, 0}},
        {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}},
        {{0, 0, 0}, {0, 1, 1}, {0, 1, 0}},
        {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}},
        {{1, 0, 0}, {1, 1, 1}, {1, 0, 1}},
    };
    kvModel tModel;
    for (const auto &tFace : tFaces) {
        kvVertex tCorners[3];
        for (int c = 0; c < 3; ++c)
            tCorners[c] = kvVertex(tFace[c][0] * pEdge, tFace[c][1] * pEdge, tFace[c][2] * pEdge);
        tModel.addTriangle(tCorners[0], tCorners[1], tCorners[2], kvVector3D());
    }
    return tModel;
}

inline QList<int> intValues(const QSignalSpy &pSpy)
{
    QList<int> tValues;
    for (const QList<QVariant> &tArgs : pSpy)
        tValues << tArgs.at(0).toInt();
    return tValues;
}

inline QStringList textValues(const QSignalSpy &pSpy)
{
    QStringList tTexts;
    for (const QList<QVariant> &tArgs : pSpy)
        tTexts << tArgs.at(0).toString();
    return tTexts;
}

inline QByteArray fileBytes(const QString &pPath)
{
    QFile tFile(pPath);
    return tFile.open(QIODevice::ReadOnly) ? tFile.readAll() : QByteArray();
}

} // namespace KvTest
