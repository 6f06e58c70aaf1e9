#pragma once

#include "kvGCode.h"
#include "kvSliceFixtures.h"

#include <QByteArray>
#include <QQueue>
#include <QSignalSpy>
#include <QStringList>
#include <QtEndian>

#include <cstring>

namespace KvPrinterFileTest {

using KvTest::intValues;
using KvTest::textValues;

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
