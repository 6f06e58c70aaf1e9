// Reading G-code files into the print queue: heater lines dropped, closing lines added.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

using namespace Kv::Defines;
using namespace Kv::PrinterFile;

namespace {

const int kGCodeBlock = 1 << 20;
const int kLongestGCodeLine = 1 << 20;

// The line holds "M104" or "M109" anywhere.
bool mentionsHeating(const char *pData, qint64 pSize)
{
    const char *tEnd = pData + pSize;
    for (const char *tAt = pData; tEnd - tAt >= 4;) {
        const void *tHit = memmem(tAt, size_t(tEnd - tAt), "M10", 3);
        if (!tHit)
            return false;
        const char *tM = static_cast<const char *>(tHit);
        if (tEnd - tM >= 4 && (tM[3] == '4' || tM[3] == '9'))
            return true;
        tAt = tM + 1;
    }
    return false;
}

// A line that begins, after blanks and a line number, with a G, M or T command.
bool isCommandLine(const char *pData, qint64 pSize)
{
    const char *tAt = pData;
    const char *const tEnd = pData + pSize;
    const auto tSkip = [&](auto pWhile) {
        while (tAt < tEnd && pWhile(*tAt))
            ++tAt;
    };
    const auto tBlank = [](char pChar) { return pChar == ' ' || pChar == '\t'; };
    const auto tDigit = [](char pChar) { return pChar >= '0' && pChar <= '9'; };
    tSkip(tBlank);
    if (tAt < tEnd && (*tAt | 0x20) == 'n') {
        ++tAt;
        tSkip(tDigit);
        tSkip(tBlank);
    }
    if (tEnd - tAt < 2)
        return false;
    const char tLetter = char(*tAt | 0x20);
    return (tLetter == 'g' || tLetter == 'm' || tLetter == 't') && tDigit(tAt[1]);
}

} // namespace

void kvPrinterFile::parseGCode()
{
    if (!QFileInfo::exists(m_tempGCodeFileName) || m_slicerError != -1)
        return;
    QFile tFile(m_tempGCodeFileName);
    parseGCode(&tFile);
}

void kvPrinterFile::parseGCode(QIODevice *pDevice)
{
    const kvLoadClock tClock;
    statusUpdate(
        QStringLiteral("parseGCode: Begin parse gcode [%1].").arg(timeStamp(tClock.started())));

    QString tFailure;
    m_gcodeRefusal.clear();
    if (pDevice->isOpen() || pDevice->open(QIODevice::ReadOnly)) {
        const int tFirstLine = m_parsedQueue.size();
        qint64 tTooLong = 0;
        bool tTooMany = false;
        try {
            // The file is read in blocks, so its size has no limit.
            QByteArray tBlock(kGCodeBlock, Qt::Uninitialized);
            qint64 tBreaks = 0;
            qint64 tGot = 0;
            // Text never holds a NUL byte; any other binary data nearly always does.
            bool tHasNul = false;
            pDevice->seek(0);
            // A line ends at a line feed, a carriage return and line feed, or a carriage
            // return alone (as old Mac tools write and firmwares read them).
            bool tAfterCr = false;
            while ((tGot = pDevice->read(tBlock.data(), kGCodeBlock)) > 0) {
                const char *tData = tBlock.constData();
                tBreaks += std::count(tData, tData + tGot, '\n')
                    + std::count(tData, tData + tGot, '\r');
                if (tAfterCr && tData[0] == '\n')
                    --tBreaks;
                for (const char *tCr = tData; (tCr = static_cast<const char *>(std::memchr(
                                                   tCr, '\r', size_t(tData + tGot - tCr))));
                     ++tCr) {
                    if (tCr + 1 < tData + tGot && tCr[1] == '\n')
                        --tBreaks;
                }
                tAfterCr = tData[tGot - 1] == '\r';
                tHasNul = tHasNul || std::memchr(tData, '\0', size_t(tGot));
            }
            const float tTotal = float(tBreaks + 1);
            // Room for every line and the closing ones; capacity never written costs nothing.
            const qint64 tRoom = qint64(m_parsedQueue.size()) + tBreaks + 8;
            if (tRoom < qint64(std::numeric_limits<int>::max()) / qint64(sizeof(kvGCode)))
                m_parsedQueue.reserve(int(tRoom));

            qint64 tQueued = 0;
            bool tHasCommand = false;
            const auto tLine = [&](const char *pData, qint64 pSize) {
                if (pSize > 0 && pData[pSize - 1] == '\r')
                    --pSize;
                if (pSize == 0 || *pData == ';')
                    return;
                tHasCommand = tHasCommand || isCommandLine(pData, pSize);
                if (!m_useRawGCode && mentionsHeating(pData, pSize))
                    return;
                if (m_parsedQueue.size() >= m_mostGCodeLines) {
                    tTooMany = true;
                    return;
                }
                enqueueGCode(kvGCode(kvGCode::textOfLine(pData, int(pSize))));
                ++tQueued;
                emit LoadFileProgress(int(float(tQueued) / tTotal * 100.0f));
            };

            pDevice->seek(0);
            if (pDevice->peek(3) == QByteArray(kByteOrderMark))
                pDevice->read(3);
            // The start of a line that goes on into the next block; a comment line or a line
            // too long to be G-code is passed over instead of being kept.
            QByteArray tPartial;
            bool tPassOver = false;
            bool tAtLineStart = true;
            // The block began right after a carriage return: a line feed there ends no line.
            bool tSkipLineFeed = false;
            while (
                !tHasNul && !tTooMany && (tGot = pDevice->read(tBlock.data(), kGCodeBlock)) > 0) {
                const char *tData = tBlock.constData();
                const char *tEnd = tData + tGot;
                if (tSkipLineFeed && *tData == '\n')
                    ++tData;
                tSkipLineFeed = false;
                ByteFinder tLineFeed(tData, tEnd - tData, '\n');
                ByteFinder tReturn(tData, tEnd - tData, '\r');
                const char *const tBlockStart = tData;
                while (tData < tEnd && !tTooMany) {
                    const qint64 tFeedAt = tLineFeed.find(tData - tBlockStart);
                    const qint64 tReturnAt = tReturn.find(tData - tBlockStart);
                    const qint64 tBreakAt = tFeedAt < 0 ? tReturnAt
                        : tReturnAt < 0                 ? tFeedAt
                                                        : std::min(tFeedAt, tReturnAt);
                    const char *tBreak = tBreakAt < 0 ? nullptr : tBlockStart + tBreakAt;
                    const char *tLineEnd = tBreak ? tBreak : tEnd;
                    if (tAtLineStart && *tData == ';')
                        tPassOver = true;
                    if (!tPassOver) {
                        if (tBreak && tPartial.isEmpty()) {
                            tLine(tData, tLineEnd - tData);
                        } else if (tPartial.size() + (tLineEnd - tData) > kLongestGCodeLine) {
                            tPartial.clear();
                            tPassOver = true;
                            ++tTooLong;
                        } else {
                            tPartial.append(tData, int(tLineEnd - tData));
                            if (tBreak) {
                                tLine(tPartial.constData(), tPartial.size());
                                tPartial.clear();
                            }
                        }
                    }
                    if (!tBreak) {
                        tAtLineStart = false;
                        break;
                    }
                    tPassOver = false;
                    tAtLineStart = true;
                    tData = tBreak + 1;
                    if (*tBreak == '\r') {
                        if (tData == tEnd)
                            tSkipLineFeed = true;
                        else if (*tData == '\n')
                            ++tData;
                    }
                }
            }
            if (!tPassOver && !tPartial.isEmpty())
                tLine(tPartial.constData(), tPartial.size());
            if (tTooMany) {
                const QString tSize = QStringLiteral("more than %1 lines, at most %1 can be loaded")
                                          .arg(m_mostGCodeLines);
                m_gcodeRefusal = tooLargeReason(tSize);
                tFailure = QStringLiteral("parseGCode: The file is too large: %1; nothing was "
                                          "queued.")
                               .arg(tSize);
                m_parsedQueue.resize(tFirstLine);
                m_parsedQueue.squeeze();
            } else if (!tHasNul && (tGot < 0 || pDevice->pos() < pDevice->size())) {
                // A file cut short by a read error is not printed in part.
                tFailure = QStringLiteral("parseGCode: Read error: ") + pDevice->errorString()
                    + QStringLiteral("; nothing of the file was queued.");
                m_parsedQueue.resize(tFirstLine);
            } else if (!tHasNul && !tHasCommand && tTooLong > 0) {
                // Its commands may be in the lines passed over: they are what it is refused for.
                m_gcodeRefusal = QStringLiteral("it holds lines longer than %1 bytes, which "
                                                "cannot be sent, and no other G, M or T command")
                                     .arg(kLongestGCodeLine);
                tFailure = QStringLiteral("parseGCode: Nothing is left to print once the lines "
                                          "longer than %1 bytes are skipped; nothing was queued.")
                               .arg(kLongestGCodeLine);
                m_parsedQueue.resize(tFirstLine);
            } else if (tHasNul || !tHasCommand) {
                // Binary data, or text that commands nothing: never streamed to a printer.
                const QString tReason = tHasNul ? QStringLiteral("it holds NUL bytes")
                                                : QStringLiteral("it holds no G, M or T command");
                m_gcodeRefusal = QStringLiteral("it is not G-code text (%1)").arg(tReason);
                tFailure
                    = QStringLiteral("parseGCode: The file is not G-code text (%1); nothing was "
                                     "queued.")
                          .arg(tReason);
                m_parsedQueue.resize(tFirstLine);
            }
            if (!m_useRawGCode && tFailure.isEmpty()) {
                enqueueGCode(kvGCode(QStringLiteral("G28") + QStringLiteral(" X159 Y150")));
                enqueueGCode(kvGCode(QStringLiteral("G91")));
                enqueueGCode(kvGCode(QStringLiteral("G90")));
                if (m_machineType.contains(QLatin1String("Tovra")))
                    enqueueGCode(kvGCode(QStringLiteral("M101")));
            }
        } catch (const std::bad_alloc &) {
            if (m_parsedQueue.size() > tFirstLine)
                m_parsedQueue.resize(tFirstLine);
            m_parsedQueue.squeeze();
            m_gcodeRefusal = noMemoryReason();
            tFailure = QStringLiteral("parseGCode: Not enough memory to load the file; nothing "
                                      "was queued.");
        }
        if (tTooLong > 0)
            warn(QStringLiteral("parseGCode: %1 lines longer than %2 bytes skipped.")
                     .arg(tTooLong)
                     .arg(kLongestGCodeLine));
        pDevice->close();
    }
    resetQueue();

    emit LoadFileProgress(100);
    const qint64 tSeconds = tClock.elapsedSeconds();
    statusUpdate(QStringLiteral("parseGCode: End parse gcode [%1]. Elapsed time: %2 seconds.")
                     .arg(timeStamp(QDateTime::currentDateTime()))
                     .arg(tSeconds));
    if (!tFailure.isEmpty())
        warn(tFailure);
    sayWarnings();
    emit GCodeParseComplete(float(tSeconds));
}

void kvPrinterFile::loadZOffsetCalibrationFile()
{
    loadFile();
}

void kvPrinterFile::loadZOffsetCalibrationFile(QString pFileName)
{
    setFileName(pFileName);
    loadZOffsetCalibrationFile();
}
