// Reading binary STL files.
#include "kvPrinterFile.h"

#include <QDateTime>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// Layout of a binary STL file.
const qint64 kHeaderSize = 84;
const qint64 kFacetSize = 50;
// How many facets ahead the binary reader announces corners.
const qint64 kFarAhead = 24;
const qint64 kNearAhead = 8;

QString timeStamp(const QDateTime &pTime)
{
    return pTime.toString(QStringLiteral("MM-dd-yyyy hh:mm:ss:zzz"));
}

qint64 elapsedSeconds(const QDateTime &pStart, const QDateTime &pEnd)
{
    return pStart.msecsTo(pEnd) / 1000;
}

QString droppedFacets(const QString &pReader, qint64 pCount)
{
    return QStringLiteral("%1: %2 facets with coordinates that are not finite numbers dropped.")
        .arg(pReader)
        .arg(pCount);
}

float readFloat(const char *pData)
{
    quint32 tBits;
    std::memcpy(&tBits, pData, sizeof(tBits));
    tBits = qFromLittleEndian(tBits);
    float tValue;
    std::memcpy(&tValue, &tBits, sizeof(tValue));
    return tValue;
}

kvVector3D readVector(const char *pData)
{
    return kvVector3D(readFloat(pData), readFloat(pData + 4), readFloat(pData + 8));
}

// Triangle count at offset 80, or false when the device does not hold it.
bool readFacetCount(QIODevice *pDevice, qint32 &pCount)
{
    char tBytes[4];
    if (!pDevice->isOpen() || !pDevice->seek(80) || pDevice->read(tBytes, 4) != 4)
        return false;
    quint32 tCount;
    std::memcpy(&tCount, tBytes, sizeof(tCount));
    pCount = qint32(qFromLittleEndian(tCount));
    return true;
}

} // namespace

kvModel kvPrinterFile::parseSTLBinary()
{
    return parseSTLBinary(&m_file);
}

kvModel kvPrinterFile::parseSTLBinary(QIODevice *pDevice)
{
    kvModel tModel;
    const QDateTime tStart = QDateTime::currentDateTime();
    statusUpdate(
        QStringLiteral("parseSTLBinary: Begin parse STL Binary [%1].").arg(timeStamp(tStart)));

    qint32 tCount = 0;
    const bool tHasCount = readFacetCount(pDevice, tCount);
    const qint64 tAvailable = tHasCount ? (pDevice->size() - kHeaderSize) / kFacetSize : 0;
    // Never trust the count further than the data goes.
    const qint64 tFacets = tCount < 0 ? tAvailable : std::min<qint64>(tCount, tAvailable);
    if (tHasCount && tCount < 0) {
        statusUpdate(QStringLiteral("parseSTLBinary: Invalid facet count %1, reading %2 facets.")
                         .arg(tCount)
                         .arg(tAvailable));
    } else if (tHasCount && tCount > tAvailable) {
        statusUpdate(QStringLiteral("parseSTLBinary: File is truncated: %1 of %2 facets present.")
                         .arg(tAvailable)
                         .arg(tCount));
    } else if (tHasCount && pDevice->size() != kHeaderSize + kFacetSize * qint64(tCount)) {
        statusUpdate(QStringLiteral(
            "parseSTLBinary: File is longer than its %1 facets; the rest is ignored.")
                         .arg(tCount));
    }

    const qint64 tBlockFacets = 8192;
    QByteArray tBlock;
    qint64 tRead = 0;
    qint64 tDropped = 0;
    int tShown = -1;
    while (tRead < tFacets) {
        const qint64 tWant = std::min(tBlockFacets, tFacets - tRead);
        tBlock.resize(int(tWant * kFacetSize));
        const qint64 tGot = pDevice->read(tBlock.data(), tBlock.size());
        const qint64 tComplete = tGot > 0 ? tGot / kFacetSize : 0;
        const char *tData = tBlock.constData();
        for (qint64 i = 0; i < tComplete; ++i, tData += kFacetSize) {
            for (int c = 0; c < 3; ++c) {
                if (i + kFarAhead < tComplete)
                    tModel.prepareCorner(readVector(tData + kFarAhead * kFacetSize + 12 + 12 * c), false);
                if (i + kNearAhead < tComplete)
                    tModel.prepareCorner(readVector(tData + kNearAhead * kFacetSize + 12 + 12 * c), true);
            }
            const kvVector3D tA = readVector(tData + 12);
            const kvVector3D tB = readVector(tData + 24);
            const kvVector3D tC = readVector(tData + 36);
            if (tA.isFinite() && tB.isFinite() && tC.isFinite())
                tModel.addTriangle(kvVertex(tA), kvVertex(tB), kvVertex(tC), readVector(tData));
            else
                ++tDropped;
            ++tRead;
            // The bar only sees a change of the value.
            const int tProgress = int(float(tRead) / float(tFacets) * 100.0f);
            if (tProgress != tShown) {
                tShown = tProgress;
                emit LoadFileProgress(tProgress);
            }
        }
        if (tComplete < tWant) {
            statusUpdate(QStringLiteral("parseSTLBinary: Read error after %1 facets.").arg(tRead));
            break;
        }
    }
    if (tDropped > 0)
        statusUpdate(droppedFacets(QStringLiteral("parseSTLBinary"), tDropped));

    emit LoadFileProgress(100);
    const QDateTime tEnd = QDateTime::currentDateTime();
    const qint64 tSeconds = elapsedSeconds(tStart, tEnd);
    statusUpdate(
        QStringLiteral("parseSTLBinary: End parse STL Binary [%1]. Elapsed time: %2 seconds.")
            .arg(timeStamp(tEnd))
            .arg(tSeconds));
    emit STLParseComplete(float(tSeconds));
    return tModel;
}

kvVector3D kvPrinterFile::parseVector(QFile *pFile)
{
    char tBytes[12];
    if (!pFile || pFile->read(tBytes, sizeof(tBytes)) != qint64(sizeof(tBytes)))
        return kvVector3D();
    return readVector(tBytes);
}
