#include "kvPrinterFile.h"

#include "kvLogger.h"
#include "kvPaths.h"
#include "kvSlic3rConfig.h"

#include <QDateTime>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cstring>

using namespace Kv::Defines;

namespace {

const qint64 kHeaderSize = 84;
const qint64 kFacetSize = 50;

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

// Three numbers separated by blanks.
kvVector3D parseVectorBytes(const char *pBegin, const char *pEnd)
{
    float tValues[2] = {0.0f, 0.0f};
    for (float &tValue : tValues) {
        trim(pBegin, pEnd);
        const char *tBlank = std::find(pBegin, pEnd, ' ');
        tValue = parseNumber(pBegin, tBlank);
        // Without a blank the whole text is read again for the next number.
        if (tBlank != pEnd)
            pBegin = tBlank + 1;
    }
    return kvVector3D(tValues[0], tValues[1], parseNumber(pBegin, pEnd));
}

// Forward keyword search over the whole text; remembers its last answer so that
// repeated searches from nearby positions do not scan the same text again.
class KeywordFinder
{
public:
    KeywordFinder(const QByteArray &pText, const char *pKeyword)
        : m_text(pText.constData())
        , m_size(pText.size())
        , m_keyword(pKeyword)
        , m_length(qstrlen(pKeyword))
    { }

    qint64 find(qint64 pFrom)
    {
        if (pFrom < 0)
            pFrom = 0;
        if (m_lastFrom >= 0 && pFrom >= m_lastFrom && (m_lastHit < 0 || pFrom <= m_lastHit))
            return m_lastHit;
        m_lastFrom = pFrom;
        m_lastHit = -1;
        if (pFrom + m_length <= m_size) {
            const void *tHit
                = memmem(m_text + pFrom, size_t(m_size - pFrom), m_keyword, size_t(m_length));
            if (tHit)
                m_lastHit = static_cast<const char *>(tHit) - m_text;
        }
        return m_lastHit;
    }

private:
    const char *m_text;
    qint64 m_size;
    const char *m_keyword;
    qint64 m_length;
    qint64 m_lastFrom = -1;
    qint64 m_lastHit = -1;
};

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
    m_printQueue.clear();
    m_parsedQueue.clear();
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
    // STL text never holds a NUL byte; binary data nearly always does. Such a file is
    // a binary STL whose count does not match its size (truncated, or a wrong header).
    m_file.seek(0);
    const QByteArray tStart = m_file.read(kHeaderSize + 64 * kFacetSize);
    if (tStart.contains('\0'))
        m_stlFileType = STLFileTypeBinary;
}

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
    while (tRead < tFacets) {
        const qint64 tWant = std::min(tBlockFacets, tFacets - tRead);
        tBlock.resize(int(tWant * kFacetSize));
        const qint64 tGot = pDevice->read(tBlock.data(), tBlock.size());
        const qint64 tComplete = tGot > 0 ? tGot / kFacetSize : 0;
        const char *tData = tBlock.constData();
        for (qint64 i = 0; i < tComplete; ++i, tData += kFacetSize) {
            const kvVector3D tNormal = readVector(tData);
            tModel.addTriangle(kvVertex(readVector(tData + 12)), kvVertex(readVector(tData + 24)),
                kvVertex(readVector(tData + 36)), tNormal);
            ++tRead;
            emit LoadFileProgress(int(float(tRead) / float(tFacets) * 100.0f));
        }
        if (tComplete < tWant) {
            statusUpdate(QStringLiteral("parseSTLBinary: Read error after %1 facets.").arg(tRead));
            break;
        }
    }

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

    QByteArray tText;
    if (pDevice->isOpen() && pDevice->seek(0))
        tText = pDevice->readAll();
    // Keywords and numbers are ASCII; upper-casing the bytes in place keeps one copy.
    for (char *tChar = tText.data(), *tEnd = tChar + tText.size(); tChar < tEnd; ++tChar) {
        if (*tChar >= 'a' && *tChar <= 'z')
            *tChar = char(*tChar - ('a' - 'A'));
    }
    const char *tData = tText.constData();
    const qint64 tLength = tText.size();
    const qint64 tPerFacet = tLength / 256;

    KeywordFinder tFacet(tText, "FACET");
    KeywordFinder tEndFacet(tText, "ENDFACET");
    KeywordFinder tNormal(tText, "NORMAL");
    KeywordFinder tOuterLoop(tText, "OUTER LOOP");
    KeywordFinder tVertex(tText, "VERTEX");
    KeywordFinder tEndLoop(tText, "ENDLOOP");

    qint64 tPos = 0;
    qint64 tCount = 0;
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
        const qint64 d = c < 0 ? -1 : tEndLoop.find(c + 7);
        if (d < 0) {
            tTruncated = true;
            break;
        }
        const kvVector3D tFileNormal = parseVectorBytes(tData + n + 6, tData + o);
        tModel.addTriangle(kvVertex(parseVectorBytes(tData + a + 6, tData + b)),
            kvVertex(parseVectorBytes(tData + b + 7, tData + c)),
            kvVertex(parseVectorBytes(tData + c + 7, tData + d)), tFileNormal);
        ++tCount;

        int tProgress = 99;
        if (tPerFacet > 0) {
            const float tValue = float(tCount) / float(tPerFacet) * 100.0f;
            tProgress = tValue > 100.0f ? 99 : int(tValue);
        }
        emit LoadFileProgress(tProgress);

        if (e < 0) {
            tTruncated = true;
            break;
        }
        tPos = e + 8;
    }
    if (tTruncated)
        statusUpdate(
            QStringLiteral("parseSTLAscii: File ends inside a facet; %1 facets read.").arg(tCount));

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

kvVector3D kvPrinterFile::parseVector(QFile *pFile)
{
    char tBytes[12];
    if (!pFile || pFile->read(tBytes, sizeof(tBytes)) != qint64(sizeof(tBytes)))
        return kvVector3D();
    return readVector(tBytes);
}

void kvPrinterFile::parseGCode()
{
    if (!QFileInfo::exists(m_tempGCodeFileName) || m_slicerError != -1)
        return;

    const QDateTime tStart = QDateTime::currentDateTime();
    statusUpdate(QStringLiteral("parseGCode: Begin parse gcode [%1].").arg(timeStamp(tStart)));

    QFile tFile(m_tempGCodeFileName);
    if (tFile.open(QIODevice::ReadOnly)) {
        const QByteArray tText = tFile.readAll();
        tFile.close();
        const float tTotal = float(tText.count('\n') + 1);
        const char *tData = tText.constData();
        const char *tEnd = tData + tText.size();
        qint64 tQueued = 0;
        while (tData < tEnd) {
            const char *tBreak
                = static_cast<const char *>(std::memchr(tData, '\n', size_t(tEnd - tData)));
            const char *tLineEnd = tBreak ? tBreak : tEnd;
            const char *tNext = tBreak ? tBreak + 1 : tEnd;
            if (tLineEnd > tData && tLineEnd[-1] == '\r')
                --tLineEnd;
            const qint64 tSize = tLineEnd - tData;
            if (tSize == 0 || *tData == ';') {
                tData = tNext;
                continue;
            }
            const QString tLine = QString::fromUtf8(tData, int(tSize));
            tData = tNext;
            if (!m_useRawGCode
                && (tLine.contains(QLatin1String("M104")) || tLine.contains(QLatin1String("M109"))))
                continue;
            enqueueGCode(kvGCode(tLine));
            ++tQueued;
            emit LoadFileProgress(int(float(tQueued) / tTotal * 100.0f));
        }
        if (!m_useRawGCode) {
            enqueueGCode(kvGCode(QStringLiteral("G28") + QStringLiteral(" X159 Y150")));
            enqueueGCode(kvGCode(QStringLiteral("G91")));
            enqueueGCode(kvGCode(QStringLiteral("G90")));
            if (m_machineType.contains(QLatin1String("Tovra")))
                enqueueGCode(kvGCode(QStringLiteral("M101")));
        }
    }
    m_printQueue = m_parsedQueue;

    emit LoadFileProgress(100);
    const QDateTime tEnd = QDateTime::currentDateTime();
    const qint64 tSeconds = elapsedSeconds(tStart, tEnd);
    statusUpdate(QStringLiteral("parseGCode: End parse gcode [%1]. Elapsed time: %2 seconds.")
                     .arg(timeStamp(tEnd))
                     .arg(tSeconds));
    emit GCodeParseComplete(float(tSeconds));
}

void kvPrinterFile::enqueueGCode(kvGCode pGCode)
{
    m_parsedQueue.enqueue(pGCode);
    analyzeGCode(m_parsedQueue.last(), pGCode);
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
    if (m_printQueue.isEmpty())
        return kvGCode();
    const kvGCode tLine = m_printQueue.dequeue();
    if (m_printQueue.isEmpty())
        emit GCodeQueueIsEmpty();
    return tLine;
}

void kvPrinterFile::resetQueue()
{
    m_printQueue = m_parsedQueue;
}

void kvPrinterFile::clearGCodeQueue()
{
    m_printQueue.clear();
}

void kvPrinterFile::setGcodeQueue(const QQueue<kvGCode> &pQueue)
{
    m_parsedQueue = pQueue;
    m_printQueue = pQueue;
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

void kvPrinterFile::sliceFile(
    kvVector3D pRotation, kvModel pModel, kvVector3D pOffset, float pScale)
{
    Q_UNUSED(pRotation)
    Q_UNUSED(pModel)
    Q_UNUSED(pOffset)
    Q_UNUSED(pScale)
}

void kvPrinterFile::sliceFile(kvVector3D pRotation, kvModel pModel, kvVector3D pOffset)
{
    sliceFile(pRotation, pModel, pOffset, 1.0f);
}

void kvPrinterFile::sliceFile() { }

void kvPrinterFile::saveSTL(kvVector3D pRotation, kvModel pModel, float pScale)
{
    saveSTL(STLFileTypeBinary, pRotation, pModel, pScale);
}

void kvPrinterFile::saveSTL(kvVector3D pRotation, kvModel pModel)
{
    saveSTL(pRotation, pModel, 1.0f);
}

void kvPrinterFile::saveSTL(
    kvSTLFileTypes pType, kvVector3D pRotation, kvModel pModel, float pScale)
{
    Q_UNUSED(pType)
    Q_UNUSED(pRotation)
    Q_UNUSED(pModel)
    Q_UNUSED(pScale)
}

void kvPrinterFile::saveFile(
    kvSTLFileTypes pType, QString pFileName, kvVector3D pRotation, kvModel pModel, float pScale)
{
    Q_UNUSED(pType)
    Q_UNUSED(pFileName)
    Q_UNUSED(pRotation)
    Q_UNUSED(pModel)
    Q_UNUSED(pScale)
}

void kvPrinterFile::saveFile(QString pFileName, kvVector3D pRotation, kvModel pModel, float pScale)
{
    saveFile(STLFileTypeASCII, pFileName, pRotation, pModel, pScale);
}

void kvPrinterFile::saveFile(QString pFileName, kvVector3D pRotation, kvModel pModel)
{
    saveFile(pFileName, pRotation, pModel, 1.0f);
}

void kvPrinterFile::sliceSTL() { }

void kvPrinterFile::killSlice()
{
    if (!m_slic3rProcess->isOpen())
        return;
    m_sliceKilled = true;
    m_slic3rProcess->kill();
    m_sliced = false;
    m_slicerError = -1;
}

void kvPrinterFile::resetSliced()
{
    m_sliced = false;
    m_slicerError = -1;
}

void kvPrinterFile::onSlic3rProcessFinished() { }

void kvPrinterFile::onSlic3rProcessError(QProcess::ProcessError pError)
{
    Q_UNUSED(pError)
}

void kvPrinterFile::onSlic3rProcessRead() { }

void kvPrinterFile::onSlic3rProcessStarted() { }

void kvPrinterFile::onConfigChanged()
{
    m_sliced = false;
    m_slicerError = -1;
}
