#include "kvPrinterFile.h"

#include "kvDialogs.h"
#include "kvLogger.h"
#include "kvPaths.h"
#include "kvPlacement.h"
#include "kvPlatform.h"
#include "kvSlic3rConfig.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

using namespace Kv::Defines;

namespace {

const qint64 kHeaderSize = 84;
const qint64 kFacetSize = 50;
const int kGCodeBlock = 1 << 20;
const int kLongestGCodeLine = 1 << 20;

QString timeStamp(const QDateTime &pTime)
{
    return pTime.toString(QStringLiteral("MM-dd-yyyy hh:mm:ss:zzz"));
}

qint64 elapsedSeconds(const QDateTime &pStart, const QDateTime &pEnd)
{
    return pStart.msecsTo(pEnd) / 1000;
}

bool isBlankByte(char pChar)
{
    return pChar == ' ' || pChar == '\t' || pChar == '\n' || pChar == '\r' || pChar == '\v'
        || pChar == '\f';
}

void trim(const char *&pBegin, const char *&pEnd)
{
    while (pBegin < pEnd && isBlankByte(*pBegin))
        ++pBegin;
    while (pEnd > pBegin && isBlankByte(pEnd[-1]))
        --pEnd;
}

// A number in the C locale's notation, or 0 when the whole text does not read as one.
float parseNumber(const char *pBegin, const char *pEnd)
{
    trim(pBegin, pEnd);
    if (pBegin < pEnd && *pBegin == '+') {
        ++pBegin;
        if (pBegin == pEnd || *pBegin == '-')
            return 0.0f;
    }
    float tValue = 0.0f;
    const auto tResult = std::from_chars(pBegin, pEnd, tValue, std::chars_format::general);
    if (tResult.ec != std::errc() || tResult.ptr != pEnd)
        return 0.0f;
    return tValue;
}

// Three numbers separated by runs of white space.
kvVector3D parseVectorBytes(const char *pBegin, const char *pEnd)
{
    float tValues[2] = {0.0f, 0.0f};
    for (float &tValue : tValues) {
        trim(pBegin, pEnd);
        const char *tBlank = std::find_if(pBegin, pEnd, isBlankByte);
        tValue = parseNumber(pBegin, tBlank);
        // Without a blank the whole text is read again for the next number.
        if (tBlank != pEnd)
            pBegin = tBlank + 1;
    }
    return kvVector3D(tValues[0], tValues[1], parseNumber(pBegin, pEnd));
}

// Next position at or after a start where one byte occurs; remembers its last answer.
class ByteFinder
{
public:
    ByteFinder(const char *pText, qint64 pSize, char pByte)
        : m_text(pText)
        , m_size(pSize)
        , m_byte(pByte)
    { }

    qint64 find(qint64 pFrom)
    {
        if (m_lastFrom >= 0 && pFrom >= m_lastFrom && (m_lastHit < 0 || pFrom <= m_lastHit))
            return m_lastHit;
        m_lastFrom = pFrom;
        m_lastHit = -1;
        if (pFrom < m_size) {
            const void *tHit = std::memchr(m_text + pFrom, m_byte, size_t(m_size - pFrom));
            if (tHit)
                m_lastHit = static_cast<const char *>(tHit) - m_text;
        }
        return m_lastHit;
    }

private:
    const char *m_text;
    qint64 m_size;
    char m_byte;
    qint64 m_lastFrom = -1;
    qint64 m_lastHit = -1;
};

// Forward search of an upper-case keyword in any letter case over the whole text;
// remembers its last answer so that repeated searches from nearby positions do not
// scan the same text again.
class KeywordFinder
{
public:
    KeywordFinder(const char *pText, qint64 pSize, const char *pKeyword)
        : m_text(pText)
        , m_size(pSize)
        , m_keyword(pKeyword)
        , m_length(qstrlen(pKeyword))
        , m_upper(pText, pSize, pKeyword[0])
        , m_lower(pText, pSize, char(pKeyword[0] | 0x20))
    { }

    qint64 find(qint64 pFrom)
    {
        if (pFrom < 0)
            pFrom = 0;
        if (m_lastFrom >= 0 && pFrom >= m_lastFrom && (m_lastHit < 0 || pFrom <= m_lastHit))
            return m_lastHit;
        m_lastFrom = pFrom;
        m_lastHit = -1;
        qint64 tPos = pFrom;
        while (tPos + m_length <= m_size) {
            const qint64 tUpper = m_upper.find(tPos);
            const qint64 tLower = m_lower.find(tPos);
            const qint64 tHit = tUpper < 0 ? tLower
                : tLower < 0               ? tUpper
                                           : std::min(tUpper, tLower);
            if (tHit < 0 || tHit + m_length > m_size)
                break;
            if (matches(tHit)) {
                m_lastHit = tHit;
                break;
            }
            tPos = tHit + 1;
        }
        return m_lastHit;
    }

private:
    bool matches(qint64 pAt) const
    {
        for (qint64 i = 1; i < m_length; ++i) {
            const char tKey = m_keyword[i];
            const char tChar = m_text[pAt + i];
            if (tKey == ' ' ? tChar != ' ' : (tChar | 0x20) != (tKey | 0x20))
                return false;
        }
        return true;
    }

    const char *m_text;
    qint64 m_size;
    const char *m_keyword;
    qint64 m_length;
    ByteFinder m_upper;
    ByteFinder m_lower;
    qint64 m_lastFrom = -1;
    qint64 m_lastHit = -1;
};

const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool startsWithByteOrderMark(const char *pData, qint64 pSize)
{
    return pSize >= 3 && std::memcmp(pData, kByteOrderMark, 3) == 0;
}

bool startsWithNoCase(const char *pData, qint64 pSize, const char *pWord)
{
    const qint64 tLength = qstrlen(pWord);
    if (pSize < tLength)
        return false;
    for (qint64 i = 0; i < tLength; ++i) {
        if ((pData[i] | 0x20) != (pWord[i] | 0x20))
            return false;
    }
    return true;
}

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

QString droppedFacets(const QString &pReader, qint64 pCount)
{
    return QStringLiteral("%1: %2 facets with coordinates that are not finite numbers dropped.")
        .arg(pReader)
        .arg(pCount);
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

kvPrinterFile::kvPrinterFile(QObject *pParent)
    : QObject(pParent)
{
    Initialize(QString());
}

kvPrinterFile::kvPrinterFile(QString pFileName, QObject *pParent)
    : QObject(pParent)
{
    Initialize(pFileName);
}

kvPrinterFile::~kvPrinterFile()
{
    m_parsedQueue.clear();
    clearGCodeQueue();
    // No slot may run on a half-destroyed file.
    m_slic3rProcess->disconnect(this);
    m_slic3rConfig->disconnect(this);
    delete m_slic3rProcess;
    delete m_slic3rConfig;
}

void kvPrinterFile::Initialize(QString pFileName)
{
    m_slic3rProcess = new QProcess(this);
    connect(m_slic3rProcess, SIGNAL(finished(int)), this, SLOT(onSlic3rProcessFinished()));
    connect(m_slic3rProcess, SIGNAL(error(QProcess::ProcessError)), this,
        SLOT(onSlic3rProcessError(QProcess::ProcessError)));
    connect(m_slic3rProcess, SIGNAL(readyRead()), this, SLOT(onSlic3rProcessRead()));
    connect(m_slic3rProcess, SIGNAL(started()), this, SLOT(onSlic3rProcessStarted()));
    m_slic3rConfig = new kvSlic3rConfig(nullptr);
    connect(m_slic3rConfig, SIGNAL(ConfigChanged()), this, SLOT(onConfigChanged()));
    setSlic3rPath(Kv::Paths::Slic3rExe);
    m_useRawGCode = false;
    m_scale = 1.0f;
    setFileName(pFileName);
    m_sliceKilled = false;
    m_sliced = false;
    m_slicing = false;
    m_logger = nullptr;
    m_slic3rProgress = 0.0f;
    m_slicerError = -1;
}

void kvPrinterFile::setFileName(const QString &pFileName)
{
    m_fileName = pFileName;
    m_file.setFileName(pFileName);
    m_slic3rConfig->setInput(pFileName);
}

void kvPrinterFile::setTempGCodeFileName(const QString &pFileName)
{
    m_tempGCodeFileName = pFileName;
    m_slic3rConfig->setOutput(pFileName);
}

void kvPrinterFile::setSlic3rPath(QString pPath)
{
    m_slic3rConfig->setPath(pPath);
}

void kvPrinterFile::statusUpdate(QString pMessage)
{
    const QString tText = QStringLiteral("kvPrinterFile::") + pMessage;
    if (m_logger && m_logger->isCreated())
        m_logger->log(tText);
    emit StatusUpdate(tText);
}

kvModel kvPrinterFile::loadFile(QString pFileName)
{
    setFileName(pFileName);
    return loadFile();
}

kvModel kvPrinterFile::loadFile()
{
    const QDateTime tStart = QDateTime::currentDateTime();
    statusUpdate(QStringLiteral("loadFile: start [%1].").arg(timeStamp(tStart)));
    if (!m_file.open(QIODevice::ReadOnly))
        statusUpdate(QStringLiteral("loadFile: Failed to open file!"));

    kvModel tModel = determineFileType();
    tModel.setName(QFileInfo(m_fileName).fileName());
    tModel.setFilename(m_fileName);
    m_file.close();

    const QDateTime tEnd = QDateTime::currentDateTime();
    statusUpdate(QStringLiteral("loadFile: end [%1]. Elapsed time: %2 seconds.")
                     .arg(timeStamp(tEnd))
                     .arg(elapsedSeconds(tStart, tEnd)));
    return tModel;
}

kvModel kvPrinterFile::determineFileType()
{
    const QString tSuffix = QFileInfo(m_fileName).completeSuffix().toUpper();
    if (tSuffix.contains(QLatin1String("STL"))) {
        m_fileType = FileTypeSTL;
        return parseSTL();
    }
    if (tSuffix.contains(QLatin1String("GCODE"))) {
        m_fileType = FileTypeGCode;
        setTempGCodeFileName(m_fileName);
        parseGCode();
    }
    return kvModel();
}

kvModel kvPrinterFile::parseSTL()
{
    determineSTLType();
    if (m_stlFileType == STLFileTypeBinary)
        return parseSTLBinary();
    return parseSTLAscii();
}

void kvPrinterFile::determineSTLType()
{
    m_stlFileType = STLFileTypeASCII;
    qint32 tCount = 0;
    if (!readFacetCount(&m_file, tCount))
        return;
    const qint64 tSize = m_file.size();
    if (tCount >= 0 && tSize == kHeaderSize + kFacetSize * qint64(tCount)) {
        m_stlFileType = STLFileTypeBinary;
        return;
    }
    // The size does not match the count: text that begins like an ASCII STL is one,
    // whatever else it holds (some exporters pad it with NUL bytes).
    m_file.seek(0);
    const QByteArray tStart = m_file.read(kHeaderSize + 64 * kFacetSize);
    const char *tData = tStart.constData();
    qint64 tLength = tStart.size();
    if (startsWithByteOrderMark(tData, tLength)) {
        tData += 3;
        tLength -= 3;
    }
    while (tLength > 0 && isBlankByte(*tData)) {
        ++tData;
        --tLength;
    }
    if (startsWithNoCase(tData, tLength, "solid")
        && KeywordFinder(tData, tLength, "FACET").find(5) >= 0)
        return;
    // Other text never holds a NUL byte; binary data nearly always does. Such a file is
    // a binary STL whose count does not match its size (truncated, or a wrong header).
    if (tStart.contains('\0'))
        m_stlFileType = STLFileTypeBinary;
}

kvModel kvPrinterFile::parseSTLAscii()
{
    return parseSTLAscii(&m_file);
}

kvModel kvPrinterFile::parseSTLAscii(QIODevice *pDevice)
{
    kvModel tModel;
    const QDateTime tStart = QDateTime::currentDateTime();
    statusUpdate(
        QStringLiteral("parseSTLAscii: Begin parse STL Ascii [%1].").arg(timeStamp(tStart)));

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
        statusUpdate(QStringLiteral("parseSTLAscii: Cannot read the file (%1 bytes): %2")
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
    bool tTruncated = false;
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
        const qint64 a = o < 0 ? -1 : tVertex.find(o + 10);
        const qint64 b = a < 0 ? -1 : tVertex.find(a + 6);
        const qint64 c = b < 0 ? -1 : tVertex.find(b + 7);
        qint64 d = c < 0 ? -1 : tEndLoop.find(c + 7);
        if (d < 0) {
            tTruncated = true;
            // A text cut after the third vertex's line still holds the whole facet; the
            // vertex ends with its line.
            const void *tLineEnd = c < 0 || c + 7 > tLength
                ? nullptr
                : std::memchr(tData + c + 7, '\n', size_t(tLength - c - 7));
            if (!tLineEnd)
                break;
            d = static_cast<const char *>(tLineEnd) - tData;
        }
        const kvVector3D tA = parseVectorBytes(tData + a + 6, tData + b);
        const kvVector3D tB = parseVectorBytes(tData + b + 7, tData + c);
        const kvVector3D tC = parseVectorBytes(tData + c + 7, tData + d);
        if (tA.isFinite() && tB.isFinite() && tC.isFinite()) {
            tModel.addTriangle(kvVertex(tA), kvVertex(tB), kvVertex(tC),
                parseVectorBytes(tData + n + 6, tData + o));
            ++tCount;
        } else {
            ++tDropped;
        }

        int tProgress = 99;
        if (tPerFacet > 0) {
            const float tValue = float(tCount + tDropped) / float(tPerFacet) * 100.0f;
            tProgress = tValue > 100.0f ? 99 : int(tValue);
        }
        emit LoadFileProgress(tProgress);

        if (e < 0 || d == tLength) {
            tTruncated = true;
            break;
        }
        tPos = e + 8;
    }
    if (tMapped)
        tFile->unmap(tMapped);
    if (tTruncated)
        statusUpdate(
            QStringLiteral("parseSTLAscii: File ends inside a facet; %1 facets read.").arg(tCount));
    if (tDropped > 0)
        statusUpdate(droppedFacets(QStringLiteral("parseSTLAscii"), tDropped));

    emit LoadFileProgress(100);
    const QDateTime tEnd = QDateTime::currentDateTime();
    const qint64 tSeconds = elapsedSeconds(tStart, tEnd);
    statusUpdate(
        QStringLiteral("parseSTLAscii: End parse STL Ascii [%1]. Elapsed time: %2 seconds.")
            .arg(timeStamp(tEnd))
            .arg(tSeconds));
    emit STLParseComplete(float(tSeconds));
    return tModel;
}

kvVector3D kvPrinterFile::parseVector(QString pText)
{
    const QByteArray tBytes
        = pText.trimmed().replace(QLatin1String("  "), QLatin1String(" ")).toUtf8();
    return parseVectorBytes(tBytes.constData(), tBytes.constData() + tBytes.size());
}

void kvPrinterFile::parseGCode()
{
    if (!QFileInfo::exists(m_tempGCodeFileName) || m_slicerError != -1)
        return;
    QFile tFile(m_tempGCodeFileName);
    parseGCode(&tFile);
}

void kvPrinterFile::parseGCode(QIODevice *pDevice)
{
    const QDateTime tStart = QDateTime::currentDateTime();
    statusUpdate(QStringLiteral("parseGCode: Begin parse gcode [%1].").arg(timeStamp(tStart)));

    QString tReadError;
    if (pDevice->isOpen() || pDevice->open(QIODevice::ReadOnly)) {
        const int tFirstLine = m_parsedQueue.size();
        // The file is read in blocks, so its size has no limit.
        QByteArray tBlock(kGCodeBlock, Qt::Uninitialized);
        qint64 tBreaks = 0;
        qint64 tGot = 0;
        pDevice->seek(0);
        while ((tGot = pDevice->read(tBlock.data(), kGCodeBlock)) > 0)
            tBreaks += std::count(tBlock.constData(), tBlock.constData() + tGot, '\n');
        const float tTotal = float(tBreaks + 1);
        // Room for every line and the closing ones; capacity never written costs nothing.
        const qint64 tRoom = qint64(m_parsedQueue.size()) + tBreaks + 8;
        if (tRoom < qint64(std::numeric_limits<int>::max()) / qint64(sizeof(kvGCode)))
            m_parsedQueue.reserve(int(tRoom));

        qint64 tQueued = 0;
        qint64 tTooLong = 0;
        const auto tLine = [&](const char *pData, qint64 pSize) {
            if (pSize > 0 && pData[pSize - 1] == '\r')
                --pSize;
            if (pSize == 0 || *pData == ';')
                return;
            if (!m_useRawGCode && mentionsHeating(pData, pSize))
                return;
            enqueueGCode(kvGCode(QString::fromUtf8(pData, int(pSize))));
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
        while ((tGot = pDevice->read(tBlock.data(), kGCodeBlock)) > 0) {
            const char *tData = tBlock.constData();
            const char *tEnd = tData + tGot;
            while (tData < tEnd) {
                const char *tBreak
                    = static_cast<const char *>(std::memchr(tData, '\n', size_t(tEnd - tData)));
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
            }
        }
        if (!tPassOver && !tPartial.isEmpty())
            tLine(tPartial.constData(), tPartial.size());
        // A file cut short by a read error is not printed in part.
        if (tGot < 0 || pDevice->pos() < pDevice->size()) {
            tReadError = QStringLiteral("parseGCode: Read error: ") + pDevice->errorString()
                + QStringLiteral("; nothing of the file was queued.");
            m_parsedQueue.resize(tFirstLine);
        }
        if (tTooLong > 0)
            statusUpdate(QStringLiteral("parseGCode: %1 lines longer than %2 bytes skipped.")
                             .arg(tTooLong)
                             .arg(kLongestGCodeLine));
        pDevice->close();
        if (!m_useRawGCode && tReadError.isEmpty()) {
            enqueueGCode(kvGCode(QStringLiteral("G28") + QStringLiteral(" X159 Y150")));
            enqueueGCode(kvGCode(QStringLiteral("G91")));
            enqueueGCode(kvGCode(QStringLiteral("G90")));
            if (m_machineType.contains(QLatin1String("Tovra")))
                enqueueGCode(kvGCode(QStringLiteral("M101")));
        }
    }
    resetQueue();

    emit LoadFileProgress(100);
    const QDateTime tEnd = QDateTime::currentDateTime();
    const qint64 tSeconds = elapsedSeconds(tStart, tEnd);
    statusUpdate(QStringLiteral("parseGCode: End parse gcode [%1]. Elapsed time: %2 seconds.")
                     .arg(timeStamp(tEnd))
                     .arg(tSeconds));
    if (!tReadError.isEmpty())
        statusUpdate(tReadError);
    emit GCodeParseComplete(float(tSeconds));
}

void kvPrinterFile::enqueueGCode(kvGCode pGCode)
{
    m_parsedQueue.append(std::move(pGCode));
    // What analyzeGCode does with the line, without two copies of it.
    const kvGCode &tLine = m_parsedQueue.constLast();
    if (tLine.CommandNumber() == 1 && tLine.Command() == QLatin1String("G"))
        m_estimator.estimate(tLine);
}

void kvPrinterFile::analyzeGCode(kvGCode pPrevious, kvGCode pGCode)
{
    Q_UNUSED(pPrevious)
    if (pGCode.Command() == QLatin1String("G") && pGCode.CommandNumber() == 1)
        m_estimator.estimate(pGCode);
}

kvGCode kvPrinterFile::dequeueGCode()
{
    // An empty queue has no line to give; the default line is never sent as G-code.
    if (isGCodeQueueEmpty())
        return kvGCode();
    const kvGCode tLine = m_parsedQueue.at(m_printBegin++);
    if (isGCodeQueueEmpty())
        emit GCodeQueueIsEmpty();
    return tLine;
}

void kvPrinterFile::resetQueue()
{
    m_printBegin = 0;
    m_printEnd = m_parsedQueue.size();
}

void kvPrinterFile::clearGCodeQueue()
{
    m_printBegin = m_printEnd = 0;
}

QQueue<kvGCode> kvPrinterFile::gcodeQueue() const
{
    QQueue<kvGCode> tQueue;
    tQueue.reserve(PrintQueueCount());
    for (int i = m_printBegin; i < m_printEnd; ++i)
        tQueue.enqueue(m_parsedQueue.at(i));
    return tQueue;
}

void kvPrinterFile::setGcodeQueue(const QQueue<kvGCode> &pQueue)
{
    m_parsedQueue.clear();
    m_parsedQueue.reserve(pQueue.size());
    for (const kvGCode &tLine : pQueue)
        m_parsedQueue.append(tLine);
    resetQueue();
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

// Slicer run: writing the temporary STL and running the slicer.

namespace {

// Time the killed slicer gets to end before Stop returns.
const int kKillWaitMs = 3000;
const int kStartWaitMs = 30000;

QString processErrorName(int pError)
{
    switch (pError) {
    case QProcess::FailedToStart:
        return QStringLiteral("Failed To Start");
    case QProcess::Crashed:
        return QStringLiteral("Crashed");
    case QProcess::Timedout:
        return QStringLiteral("Timedout");
    case QProcess::ReadError:
        return QStringLiteral("Read Error");
    case QProcess::WriteError:
        return QStringLiteral("Write Error");
    case QProcess::UnknownError:
        return QStringLiteral("Unknown Error");
    default:
        return QStringLiteral("None");
    }
}

struct ProgressWord
{
    const char *word;
    float progress; // negative: keep the previous value
};

const ProgressWord kProgressWords[] = {
    {"triangulated", 100.0f / 7.0f},
    {"perimeters", 200.0f / 7.0f},
    {"Preparing", 300.0f / 7.0f},
    {"Infilling", 400.0f / 7.0f},
    {"Generating", 500.0f / 7.0f},
    {"Exporting", 600.0f / 7.0f},
    {"Done", 100.0f},
    {"Filament required:", -1.0f},
};

const int kWriteBlock = 1 << 20;

// The default text stream form of a float: six significant digits, the shorter of
// fixed and exponent notation. Adding +0 turns a negative zero into 0.
void appendNumber(QByteArray &pOut, float pValue)
{
    const double tValue = double(pValue + 0.0f);
    if (std::isnan(tValue)) {
        pOut.append("nan");
    } else if (std::isinf(tValue)) {
        pOut.append(tValue < 0 ? "-inf" : "inf");
    } else {
        char tText[32];
        const auto tResult
            = std::to_chars(tText, tText + sizeof(tText), tValue, std::chars_format::general, 6);
        pOut.append(tText, int(tResult.ptr - tText));
    }
}

} // namespace

void kvPrinterFile::sliceFile(
    kvVector3D pRotation, kvModel pModel, kvVector3D pOffset, float pScale)
{
    const bool tSaved = saveSTL(pRotation, pModel, pScale);
    if (m_sliced) {
        resetQueue();
        return;
    }
    if (!tSaved) {
        // The file on disk is an earlier part, or half of this one.
        m_parsedQueue.clear();
        clearGCodeQueue();
        m_errorReported = false;
        failSlice(QProcess::WriteError, QStringLiteral("sliceFile: No STL file to slice."));
        return;
    }
    m_slic3rConfig->setPrintCenter(
        kvVector3D(m_bedCenter.x() + pOffset.x(), m_bedCenter.y() - pOffset.z(), 0.0f));
    m_parsedQueue.clear();
    clearGCodeQueue();
    sliceSTL();
}

void kvPrinterFile::sliceFile(kvVector3D pRotation, kvModel pModel, kvVector3D pOffset)
{
    sliceFile(pRotation, pModel, pOffset, 1.0f);
}

void kvPrinterFile::sliceFile()
{
    m_parsedQueue.clear();
    clearGCodeQueue();
    sliceSTL();
}

bool kvPrinterFile::saveSTL(kvVector3D pRotation, kvModel pModel, float pScale)
{
    return saveSTL(STLFileTypeBinary, pRotation, pModel, pScale);
}

bool kvPrinterFile::saveSTL(kvVector3D pRotation, kvModel pModel)
{
    return saveSTL(pRotation, pModel, 1.0f);
}

bool kvPrinterFile::saveSTL(
    kvSTLFileTypes pType, kvVector3D pRotation, kvModel pModel, float pScale)
{
    const QString tFolder = QDir(Kv::Platform::appDataLocation()).absolutePath();
    // The main window makes the folder at start; a file used on its own may come first.
    QDir().mkpath(tFolder);
    setTempSTLFileName(tFolder + QDir::separator() + QStringLiteral("Kestrova.stl"));
    return saveFile(pType, m_tempSTLFileName, pRotation, pModel, pScale);
}

bool kvPrinterFile::saveFile(
    kvSTLFileTypes pType, QString pFileName, kvVector3D pRotation, kvModel pModel, float pScale)
{
    Q_UNUSED(pType)
    QFile tFile(pFileName);
    if (!tFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        statusUpdate(QStringLiteral("saveFile: Failed to open file!"));
        return false;
    }
    statusUpdate(QStringLiteral("saveFile: Saving temporary STL file."));

    // Normals turn with the corners but are not scaled.
    const QMatrix4x4 tRotation = Kv::placementMatrix(pRotation, 1.0f);
    const QMatrix4x4 tMatrix = Kv::placementMatrix(pRotation, pScale);

    // Lines are gathered into blocks; numbers are written as a text stream writes them.
    QByteArray tOut;
    tOut.reserve(kWriteBlock + 1024);
    // Closing the file forgets why a write failed: the text is kept at the failure.
    QString tWriteError;
    const auto tFlush = [&] {
        if (tWriteError.isEmpty() && (tFile.write(tOut) != tOut.size() || !tFile.flush()))
            tWriteError = tFile.errorString();
        tOut.clear();
    };
    const auto tVector = [&](const char *pLead, const QVector3D &pValue) {
        tOut.append(pLead);
        appendNumber(tOut, pValue.x());
        tOut.append(' ');
        appendNumber(tOut, pValue.y());
        tOut.append(' ');
        appendNumber(tOut, pValue.z());
        tOut.append('\n');
    };

    tOut.append("solid\n");
    const QVector<kvTriangle> tTriangles = pModel.triangles();
    const float tTotal = float(tTriangles.size());
    int tIndex = 0;
    for (const kvTriangle &tTriangle : tTriangles) {
        const kvVector3D tN = tTriangle.normal();
        tVector(" facet normal ", tRotation.mapVector(QVector3D(tN.x(), tN.y(), tN.z())));
        tOut.append("  outer loop\n");
        const QVector<kvVertex> tCorners = tTriangle.vertices();
        for (const kvVertex &tVertex : tCorners) {
            const kvVector3D tP = tVertex.position();
            tVector("   vertex ", tMatrix.map(QVector3D(tP.x(), tP.y(), tP.z())));
        }
        tOut.append("  endloop\n endfacet\n");
        if (tOut.size() >= kWriteBlock)
            tFlush();
        ++tIndex;
        emit SaveFileProgress(int(float(tIndex) / tTotal * 100.0f));
    }
    tOut.append("endsolid\n");
    tFlush();
    tFile.close();
    if (tWriteError.isEmpty() && tFile.error() != QFile::NoError)
        tWriteError = tFile.errorString();
    if (!tWriteError.isEmpty()) {
        statusUpdate(QStringLiteral("saveFile: Failed to write file! ") + tWriteError);
        return false;
    }
    emit SaveFileProgress(100);
    return true;
}

bool kvPrinterFile::saveFile(QString pFileName, kvVector3D pRotation, kvModel pModel, float pScale)
{
    return saveFile(STLFileTypeASCII, pFileName, pRotation, pModel, pScale);
}

bool kvPrinterFile::saveFile(QString pFileName, kvVector3D pRotation, kvModel pModel)
{
    return saveFile(pFileName, pRotation, pModel, 1.0f);
}

void kvPrinterFile::sliceSTL()
{
    // One slicer at a time: a run still going belongs to an earlier request.
    if (m_slic3rProcess->state() != QProcess::NotRunning)
        killSlice();

    if (m_tempSTLFileName.isEmpty()) {
        m_errorReported = false;
        failSlice(QProcess::FailedToStart, QStringLiteral("sliceSTL: No STL file to slice."));
        return;
    }
    setTempGCodeFileName(m_tempSTLFileName.left(m_tempSTLFileName.size() - 3) + "gcode");
    m_slic3rConfig->setInput(m_tempSTLFileName);
    m_slic3rConfig->setOutput(m_tempGCodeFileName);
    const QString tCommand = m_slic3rConfig->toSlic3rString();
    statusUpdate(QStringLiteral("sliceSTL: ") + tCommand);
    m_slicerError = -1;
    m_errorReported = false;
    m_slic3rProgress = 0.0f;

    if (tCommand.isEmpty()) {
        failSlice(QProcess::FailedToStart,
            QStringLiteral("onSlicerProcessError: ") + processErrorName(QProcess::FailedToStart));
        return;
    }
    const QString tProgram = Kv::Platform::slicerProgram(m_slic3rConfig->Path());
    if (tProgram.isEmpty()) {
        failSlice(QProcess::FailedToStart,
            QStringLiteral("sliceSTL: Slic3r not found at \"%1\" nor on the PATH.")
                .arg(m_slic3rConfig->Path()));
        return;
    }
    // A G-code file left by an earlier part must never be printed for this one.
    if (QFileInfo::exists(m_tempGCodeFileName) && !QFile::remove(m_tempGCodeFileName)) {
        failSlice(QProcess::WriteError,
            QStringLiteral("sliceSTL: Cannot remove the previous G-code file %1.")
                .arg(m_tempGCodeFileName));
        return;
    }

    if (m_slic3rProcess->state() != QProcess::NotRunning) {
        failSlice(
            QProcess::Timedout, QStringLiteral("sliceSTL: The previous Slic3r does not end."));
        return;
    }
    m_sliceStale = false;
    m_slic3rProcess->setProgram(tProgram);
    m_slic3rProcess->setArguments(m_slic3rConfig->toSlic3rArguments());
    m_slic3rProcess->setProcessChannelMode(QProcess::SeparateChannels);
    m_slic3rProcess->setReadChannel(QProcess::StandardOutput);
    m_slic3rProcess->start(QIODevice::ReadWrite);
    m_slic3rProcess->waitForStarted(kStartWaitMs);
}

void kvPrinterFile::failSlice(int pError, const QString &pMessage)
{
    m_slicerError = pError;
    m_sliced = false;
    statusUpdate(pMessage);
    if (!m_errorReported) {
        m_errorReported = true;
        emit Slic3rError();
    }
}

void kvPrinterFile::killSlice()
{
    if (!m_slic3rProcess->isOpen())
        return;
    m_sliceKilled = true;
    m_slic3rProcess->kill();
    m_sliced = false;
    m_slicerError = -1;
    // So that a new slice can start right after Stop.
    m_slic3rProcess->waitForFinished(kKillWaitMs);
}

void kvPrinterFile::resetSliced()
{
    m_sliced = false;
    // The running slice was made for what has just changed.
    if (m_slicing)
        m_sliceStale = true;
    m_slicerError = -1;
}

void kvPrinterFile::onSlic3rProcessFinished()
{
    statusUpdate(QStringLiteral("onSlicerProcessFinished"));
    m_slicing = false;
    const int tExitCode = m_slic3rProcess->exitCode();
    const bool tCrashed = m_slic3rProcess->exitStatus() == QProcess::CrashExit;
    const QString tErrors = QString::fromUtf8(m_slic3rProcess->readAllStandardError()).trimmed();
    m_slic3rProcess->close();

    if (m_sliceKilled) {
        // A killed run's output is incomplete, however the process ended.
        m_sliced = false;
    } else if (m_slicerError == -1) {
        if (tCrashed || tExitCode != 0) {
            failSlice(tCrashed ? QProcess::Crashed : QProcess::UnknownError,
                QStringLiteral("onSlicerProcessFinished: Slic3r failed with exit code %1: %2")
                    .arg(tExitCode)
                    .arg(tErrors));
        } else if (!QFileInfo::exists(m_tempGCodeFileName)) {
            failSlice(QProcess::UnknownError,
                QStringLiteral("onSlicerProcessFinished: Slic3r wrote no G-code file %1. %2")
                    .arg(m_tempGCodeFileName, tErrors)
                    .trimmed());
        } else {
            m_sliced = !m_sliceStale;
            parseGCode();
        }
    } else if (!tErrors.isEmpty()) {
        statusUpdate(QStringLiteral("onSlicerProcessFinished: ") + tErrors);
    }
    m_sliceKilled = false;
}

void kvPrinterFile::onSlic3rProcessError(QProcess::ProcessError pError)
{
    m_slicerError = int(pError);
    const QString tMessage = QStringLiteral("onSlicerProcessError: ") + processErrorName(pError);
    if (m_sliceKilled) {
        statusUpdate(tMessage);
        return;
    }
    // Without the signal the main window would wait for a parse that never comes.
    failSlice(int(pError), tMessage);
}

void kvPrinterFile::onSlic3rProcessRead()
{
    QByteArray tBytes = m_slic3rProcess->readAllStandardOutput();
    // Output after an error or a kill is not judged again.
    if (m_sliceKilled || m_slicerError != -1)
        return;
    const int tNul = tBytes.indexOf('\0');
    if (tNul >= 0)
        tBytes.truncate(tNul);
    const QString tText = QString::fromUtf8(tBytes);

    for (const ProgressWord &tEntry : kProgressWords) {
        if (tText.contains(QLatin1String(tEntry.word))) {
            if (tEntry.progress >= 0.0f)
                m_slic3rProgress = tEntry.progress;
            statusUpdate(QStringLiteral("onSlic3rProcessRead: ") + tText);
            emit Slic3rProcessingProgress(int(m_slic3rProgress));
            return;
        }
    }

    m_slic3rProgress = 0.0f;
    m_slicerError = QProcess::UnknownError;
    // Its end arrives through the process slots; closing here would tear the process
    // down inside its own read notification.
    m_slic3rProcess->kill();
    emit Slic3rProcessingProgress(0);
    m_errorReported = true;
    emit Slic3rError();
    kvDialogs::message(QStringLiteral("Slic3r Error"),
        QStringLiteral("Unknown Slic3r error has occurred:\n") + tText);
}

void kvPrinterFile::onSlic3rProcessStarted()
{
    statusUpdate(QStringLiteral("onSlic3rProcessStarted: slic3r process start with PID: ")
        + QString::number(m_slic3rProcess->processId()));
    m_slicing = true;
}

void kvPrinterFile::onConfigChanged()
{
    resetSliced();
}
