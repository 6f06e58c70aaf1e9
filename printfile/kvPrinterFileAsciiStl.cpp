// Reading ASCII STL files.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

using namespace Kv::Defines;
using namespace Kv::PrinterFile;

namespace {

// Whether a number that does not fit a float is too large for one, rather than too close to
// 0: the place of its first significant digit, with the exponent, is above the units.
bool isBeyondFloat(const char *pBegin, const char *pEnd)
{
    const char *tAt = pBegin;
    if (tAt < pEnd && (*tAt == '-' || *tAt == '+'))
        ++tAt;
    qint64 tPlace = 0;
    bool tSignificant = false;
    bool tFraction = false;
    for (; tAt < pEnd; ++tAt) {
        if (*tAt == '.') {
            tFraction = true;
            continue;
        }
        if (*tAt < '0' || *tAt > '9')
            break;
        tSignificant = tSignificant || *tAt != '0';
        if (tSignificant && !tFraction)
            ++tPlace;
        else if (!tSignificant && tFraction)
            --tPlace;
    }
    qint64 tExponent = 0;
    if (tAt < pEnd && (*tAt | 0x20) == 'e') {
        ++tAt;
        const bool tNegative = tAt < pEnd && *tAt == '-';
        if (tAt < pEnd && (*tAt == '-' || *tAt == '+'))
            ++tAt;
        for (; tAt < pEnd && *tAt >= '0' && *tAt <= '9'; ++tAt)
            tExponent = std::min<qint64>(tExponent * 10 + (*tAt - '0'), qint64(1) << 40);
        if (tNegative)
            tExponent = -tExponent;
    }
    return tPlace + tExponent > 0;
}

// A number in the C locale's notation at the start of a text, ended by a blank or the
// text's end: where it ends, or null (and 0) when no such number is there ("1.5mm", "1,5").
// A number too large for a float (1e400) is infinite, which no corner may be; one too close
// to 0 for it is 0.
const char *parseNumber(const char *pBegin, const char *pEnd, float &pValue)
{
    pValue = 0.0f;
    const char *tStart = pBegin;
    if (tStart < pEnd && *tStart == '+') {
        ++tStart;
        if (tStart == pEnd || *tStart == '-')
            return nullptr;
    }
    float tValue = 0.0f;
    const auto tResult = std::from_chars(tStart, pEnd, tValue, std::chars_format::general);
    if (tResult.ptr == tStart || (tResult.ptr < pEnd && !isBlankByte(*tResult.ptr)))
        return nullptr;
    if (tResult.ec == std::errc::result_out_of_range)
        tValue = isBeyondFloat(tStart, tResult.ptr) ? std::numeric_limits<float>::infinity() : 0.0f;
    else if (tResult.ec != std::errc())
        return nullptr;
    pValue = tValue;
    return tResult.ptr;
}

// Three numbers separated by runs of white space. False when the text holds fewer or more,
// or one that does not read whole: a corner would be made up. A number missing or unread
// is 0.
bool parseVectorBytes(const char *pBegin, const char *pEnd, kvVector3D &pVector)
{
    float tValues[3];
    bool tWhole = true;
    for (float &tValue : tValues) {
        while (pBegin < pEnd && isBlankByte(*pBegin))
            ++pBegin;
        const char *tNext = parseNumber(pBegin, pEnd, tValue);
        if (tNext) {
            pBegin = tNext;
            continue;
        }
        tWhole = false;
        while (pBegin < pEnd && !isBlankByte(*pBegin))
            ++pBegin;
    }
    while (pBegin < pEnd && isBlankByte(*pBegin))
        ++pBegin;
    pVector = kvVector3D(tValues[0], tValues[1], tValues[2]);
    return tWhole && pBegin >= pEnd;
}

} // namespace

kvModel kvPrinterFile::parseSTLAscii()
{
    return parseSTLAscii(&m_file);
}

kvModel kvPrinterFile::parseSTLAscii(QIODevice *pDevice)
{
    kvModel tModel;
    m_loadRefusal.clear();
    const kvLoadClock tClock;
    statusUpdate(QStringLiteral("parseSTLAscii: Begin parse STL Ascii [%1].")
                     .arg(timeStamp(tClock.started())));

    // A file is read through a mapping, which has no 2 GiB limit and no copy.
    QByteArray tBuffer;
    const char *tData = nullptr;
    qint64 tLength = 0;
    bool tUnreadable = false;
    QFile *tFile = qobject_cast<QFile *>(pDevice);
    uchar *tMapped = nullptr;
    if (pDevice->isOpen()) {
        const qint64 tSize = pDevice->size();
        if (tFile && tSize > 0)
            tMapped = tFile->map(0, tSize);
        if (tMapped) {
            tData = reinterpret_cast<const char *>(tMapped);
            tLength = tSize;
        } else if (tSize > qint64(std::numeric_limits<int>::max()) - 1024) {
            tUnreadable = true;
        } else if (pDevice->seek(0)) {
            tBuffer = pDevice->readAll();
            tData = tBuffer.constData();
            tLength = tBuffer.size();
        }
    }
    if (tUnreadable)
        warn(QStringLiteral("parseSTLAscii: Cannot read the file (%1 bytes): %2")
                 .arg(pDevice->size())
                 .arg(pDevice->errorString()));
    if (startsWithByteOrderMark(tData, tLength)) {
        tData += 3;
        tLength -= 3;
    }
    const qint64 tPerFacet = tLength / 256;

    KeywordFinder tFacet(tData, tLength, "FACET");
    KeywordFinder tEndFacet(tData, tLength, "ENDFACET");
    KeywordFinder tNormal(tData, tLength, "NORMAL");
    KeywordFinder tOuterLoop(tData, tLength, "OUTER LOOP");
    KeywordFinder tVertex(tData, tLength, "VERTEX");
    KeywordFinder tEndLoop(tData, tLength, "ENDLOOP");

    qint64 tPos = 0;
    qint64 tCount = 0;
    qint64 tDropped = 0;
    qint64 tMisshapen = 0;
    bool tTruncated = false;
    bool tTooMany = false;
    const auto emitProgress = [&] {
        int tProgress = 99;
        if (tPerFacet > 0) {
            const float tValue = float(tCount + tDropped + tMisshapen) / float(tPerFacet) * 100.0f;
            tProgress = tValue > 100.0f ? 99 : int(tValue);
        }
        emit LoadFileProgress(tProgress);
    };
    try {
        for (;;) {
            const qint64 f = tFacet.find(tPos);
            if (f <= 0)
                break;
            const qint64 e = tEndFacet.find(f + 5);
            // A keyword missing after the facet's start ends the reading; a search from -1
            // would start over at the top of the text and read the first facet again.
            const qint64 n = tNormal.find(f);
            if (n < 0)
                break;
            const qint64 o = tOuterLoop.find(n + 6);
            // The facet's text ends at its "endfacet", or with the whole text.
            const qint64 tFacetEnd = e < 0 ? tLength : e;
            const qint64 tLoopEnd = o < 0 || o > tFacetEnd ? -1 : tEndLoop.find(o + 10);
            const bool tClosed = tLoopEnd >= 0 && tLoopEnd < tFacetEnd;
            // Vertices are counted inside the loop: a vertex of the next facet is none of
            // this one's.
            const qint64 tLimit = tClosed ? tLoopEnd : tFacetEnd;
            const auto tInLoop = [&](qint64 pFrom) {
                const qint64 tAt = tVertex.find(pFrom);
                return tAt >= 0 && tAt < tLimit ? tAt : -1;
            };
            const qint64 a = o < 0 || o > tFacetEnd ? -1 : tInLoop(o + 10);
            const qint64 b = a < 0 ? -1 : tInLoop(a + 6);
            const qint64 c = b < 0 ? -1 : tInLoop(b + 7);
            const bool tFourth = c >= 0 && tInLoop(c + 7) >= 0;
            // More or fewer than three corners: the facet is dropped, no corner made up. A
            // text cut inside its first vertices ends the reading.
            if (tFourth || (c < 0 && (tClosed || e >= 0))) {
                ++tMisshapen;
                emitProgress();
                if (e < 0) {
                    tTruncated = true;
                    break;
                }
                tPos = e + 8;
                continue;
            }
            qint64 d = tLoopEnd;
            if (!tClosed) {
                // Without its "endloop" the third vertex ends with its line; a text cut after
                // that line still holds the whole facet.
                const void *tLineEnd = c < 0 || c + 7 > tFacetEnd
                    ? nullptr
                    : std::memchr(tData + c + 7, '\n', size_t(tFacetEnd - c - 7));
                if (!tLineEnd && e < 0) {
                    tTruncated = true;
                    break;
                }
                d = tLineEnd ? static_cast<const char *>(tLineEnd) - tData : tFacetEnd;
            }
            // A vertex without three whole numbers is dropped with the non-finite ones. The
            // normal is recomputed from the corners, so its text is not read.
            kvVector3D tA;
            kvVector3D tB;
            kvVector3D tC;
            if (parseVectorBytes(tData + a + 6, tData + b, tA)
                && parseVectorBytes(tData + b + 6, tData + c, tB)
                && parseVectorBytes(tData + c + 6, tData + d, tC) && tA.isFinite() && tB.isFinite()
                && tC.isFinite()) {
                if (tCount == m_mostFacets) {
                    tTooMany = true;
                    break;
                }
                tModel.addTriangle(kvVertex(tA), kvVertex(tB), kvVertex(tC), kvVector3D());
                ++tCount;
            } else {
                ++tDropped;
            }

            emitProgress();

            if (e < 0 || d == tLength) {
                tTruncated = true;
                break;
            }
            tPos = e + 8;
        }
    } catch (const std::bad_alloc &) {
        tModel = kvModel();
        refuseLoad(QStringLiteral("parseSTLAscii: Not enough memory to load the file after %1 "
                                  "facets.")
                       .arg(tCount),
            noMemoryReason());
        tTruncated = false;
        tDropped = 0;
        tMisshapen = 0;
    }
    if (tMapped)
        tFile->unmap(tMapped);
    if (tTooMany) {
        tModel = kvModel();
        refuseTooLarge(QStringLiteral("parseSTLAscii"),
            QStringLiteral("more than %1 facets, at most %1 can be loaded").arg(m_mostFacets));
        tTruncated = false;
        tDropped = 0;
        tMisshapen = 0;
    }
    if (tTruncated)
        warn(
            QStringLiteral("parseSTLAscii: File ends inside a facet; %1 facets read.").arg(tCount));
    if (tDropped > 0)
        warn(droppedFacets(QStringLiteral("parseSTLAscii"), tDropped));
    if (tMisshapen > 0)
        warn(QStringLiteral("parseSTLAscii: %1 facets without a loop of three vertices dropped.")
                 .arg(tMisshapen));

    emit LoadFileProgress(100);
    const qint64 tSeconds = tClock.elapsedSeconds();
    statusUpdate(
        QStringLiteral("parseSTLAscii: End parse STL Ascii [%1]. Elapsed time: %2 seconds.")
            .arg(timeStamp(QDateTime::currentDateTime()))
            .arg(tSeconds));
    sayWarnings();
    emit STLParseComplete(float(tSeconds));
    return tModel;
}

kvVector3D kvPrinterFile::parseVector(QString pText)
{
    const QByteArray tBytes
        = pText.trimmed().replace(QLatin1String("  "), QLatin1String(" ")).toUtf8();
    kvVector3D tVector;
    parseVectorBytes(tBytes.constData(), tBytes.constData() + tBytes.size(), tVector);
    return tVector;
}
