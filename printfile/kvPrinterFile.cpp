// The print file: its state, its status texts and the load of a file.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include "kvLogger.h"
#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvSlic3rConfig.h"

#include <QFileInfo>
#include <QLockFile>

#include <new>

using namespace Kv::Defines;
using namespace Kv::PrinterFile;

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

void kvPrinterFile::warn(const QString &pMessage)
{
    m_warnings << pMessage;
}

void kvPrinterFile::sayWarnings()
{
    if (m_loading || m_warnings.isEmpty())
        return;
    const QString tText = m_warnings.join(QLatin1Char(' '));
    m_warnings.clear();
    statusUpdate(tText);
}

void kvPrinterFile::refuseLoad(const QString &pStatus, const QString &pReason)
{
    m_loadRefusal = pReason;
    warn(pStatus);
}

void kvPrinterFile::refuseTooLarge(const QString &pReader, const QString &pSize)
{
    refuseLoad(pReader + QStringLiteral(": The file is too large: ") + pSize + QLatin1Char('.'),
        tooLargeReason(pSize));
}

void kvPrinterFile::setLoadLimits(int pFacets, int pGCodeLines)
{
    m_mostFacets = qBound(0, pFacets, int(kvModel::MostTriangles));
    m_mostGCodeLines = qBound(0, pGCodeLines, int(MostGCodeLines));
}

kvModel kvPrinterFile::loadFile(QString pFileName)
{
    setFileName(pFileName);
    return loadFile();
}

kvModel kvPrinterFile::loadFile()
{
    const kvLoadClock tClock;
    statusUpdate(QStringLiteral("loadFile: start [%1].").arg(timeStamp(tClock.started())));
    m_warnings.clear();
    m_loadRefusal.clear();
    m_gcodeRefusal.clear();
    m_loading = true;
    kvModel tModel;
    // A pipe would block its opening, a device never end: neither is opened.
    const QString tNotAFile = Kv::Platform::notRegularFileReason(m_fileName);
    if (!tNotAFile.isEmpty()) {
        refuseLoad(QStringLiteral("loadFile: The file is not read: %1.").arg(tNotAFile), tNotAFile);
    } else if (!m_file.open(QIODevice::ReadOnly)) {
        warn(QStringLiteral("loadFile: Failed to open file!"));
    }

    try {
        if (tNotAFile.isEmpty())
            tModel = determineFileType();
    } catch (const std::bad_alloc &) {
        // The readers free what they hold on their own; nothing of the file is kept.
        tModel = kvModel();
        refuseLoad(
            QStringLiteral("loadFile: Not enough memory to load the file."), noMemoryReason());
    }
    tModel.setName(QFileInfo(m_fileName).fileName());
    tModel.setFilename(m_fileName);
    m_file.close();

    m_loading = false;
    statusUpdate(QStringLiteral("loadFile: end [%1]. Elapsed time: %2 seconds.")
                     .arg(timeStamp(QDateTime::currentDateTime()))
                     .arg(tClock.elapsedSeconds()));
    // A clean end must not hide what went wrong on the way.
    sayWarnings();
    return tModel;
}
