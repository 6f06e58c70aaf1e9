#pragma once

#include "kvGCode.h"

#include <QByteArray>
#include <QQueue>
#include <QSignalSpy>
#include <QStringList>
#include <QtEndian>

#include <cstring>

namespace KvPrinterFileTest {

// The int first arguments of the signals a spy saw (progress values).
inline QList<int> progressValues(const QSignalSpy &pSpy)
{
    QList<int> tValues;
    for (const QList<QVariant> &tArgs : pSpy)
        tValues << tArgs.at(0).toInt();
    return tValues;
}

// The text first arguments of the signals a spy saw (status texts).
inline QStringList statusTexts(const QSignalSpy &pSpy)
{
    QStringList tTexts;
    for (const QList<QVariant> &tArgs : pSpy)
        tTexts << tArgs.at(0).toString();
    return tTexts;
}

inline QStringList cleanedTexts(QQueue<kvGCode> pQueue)
{
    QStringList tTexts;
    for (const kvGCode &tLine : pQueue)
        tTexts << tLine.Cleaned();
    return tTexts;
}

// A binary STL whose facet count says pCount.
inline QByteArray withCount(QByteArray pData, qint32 pCount)
{
    char tBytes[4];
    qToLittleEndian(pCount, tBytes);
    return pData.replace(80, 4, tBytes, 4);
}

// A binary STL with one corner coordinate of one facet (0 to 8 after the normal) replaced.
inline QByteArray withCorner(QByteArray pData, int pFacet, int pCoordinate, float pValue)
{
    quint32 tBits;
    std::memcpy(&tBits, &pValue, 4);
    char tBytes[4];
    qToLittleEndian(tBits, tBytes);
    return pData.replace(84 + 50 * pFacet + 12 + 4 * pCoordinate, 4, tBytes, 4);
}

// One ASCII STL facet.
inline const char *const tOneFacet = "  facet normal 0 0 1\n"
                                     "    outer loop\n"
                                     "      vertex 0 0 0\n"
                                     "      vertex 1 0 0\n"
                                     "      vertex 0 1 0\n"
                                     "    endloop\n"
                                     "  endfacet\n";

} // namespace KvPrinterFileTest
