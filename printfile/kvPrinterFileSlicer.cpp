// The slicer run: the temporary files, the slicer process and its progress.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include "kvDialogs.h"
#include "kvLogger.h"
#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvSlic3rConfig.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryFile>

using namespace Kv::Defines;
using namespace Kv::PrinterFile;

namespace {

// Time the killed slicer gets to end before Stop returns.
const int kKillWaitMs = 3000;
const int kStartWaitMs = 30000;
// A lock file younger than this may still be being written by its holder.
const int kLockSettleSecs = 2;

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

// Why the system lets no file be written in pFolder (a full disk, say), as it says it.
QString fileWriteProblem(const QString &pFolder)
{
    QTemporaryFile tProbe(pFolder + QStringLiteral("/Kestrova.lock.XXXXXX"));
    // As much as a lock file holds.
    const QByteArray tData(256, 'x');
    if (!tProbe.open() || tProbe.write(tData) != tData.size() || !tProbe.flush())
        return tProbe.errorString();
    return QStringLiteral("the system refused it");
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

} // namespace

void kvPrinterFile::sliceFile(
    kvVector3D pRotation, kvModel pModel, kvVector3D pOffset, float pScale)
{
    if (!m_sliced) {
        // A run still going belongs to an earlier request; it must not read this part.
        if (m_slic3rProcess->state() != QProcess::NotRunning)
            killSlice();
        QString tReason;
        bool tFinal = false;
        // Without the data folder saveSTL refuses and says why.
        if (!lockSliceFiles(tReason, tFinal) && tFinal) {
            m_parsedQueue.clear();
            clearGCodeQueue();
            m_errorReported = false;
            failSlice(QProcess::FailedToStart, QStringLiteral("sliceFile: ") + tReason);
            return;
        }
    }
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
        failSlice(QProcess::WriteError,
            QStringLiteral("sliceFile: No STL file to slice. ") + m_saveError);
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
    QString tReason;
    bool tFinal = false;
    if (!lockSliceFiles(tReason, tFinal)) {
        m_errorReported = false;
        failSlice(QProcess::FailedToStart, QStringLiteral("sliceSTL: ") + tReason);
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
    unlockSliceFiles();
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
        removeSlicerOutput();
    } else if (tCrashed && !m_errorReported) {
        // Said last, so that the end of the run does not hide it.
        removeSlicerOutput();
        failSlice(QProcess::Crashed,
            (QStringLiteral("onSlicerProcessFinished: Slic3r crashed or was killed; nothing "
                            "was sliced. ")
                + tErrors)
                .trimmed());
    } else if (m_slicerError == -1) {
        if (tCrashed || tExitCode != 0) {
            removeSlicerOutput();
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
    } else {
        removeSlicerOutput();
        if (!tErrors.isEmpty())
            statusUpdate(QStringLiteral("onSlicerProcessFinished: ") + tErrors);
    }
    m_sliceKilled = false;
    // Not when the end of the parse has started the next slice.
    unlockSliceFiles();
}

void kvPrinterFile::removeSlicerOutput()
{
    // Only the slicer's own output: a loaded G-code file is the user's.
    if (m_tempSTLFileName.isEmpty()
        || m_tempGCodeFileName != m_tempSTLFileName.left(m_tempSTLFileName.size() - 3) + "gcode")
        return;
    // Slic3r writes its G-code beside the output's name first and renames it when done.
    for (const QString &tPath :
        {m_tempGCodeFileName + QStringLiteral(".tmp"), m_tempGCodeFileName}) {
        if (QFileInfo(tPath).isFile())
            QFile::remove(tPath);
    }
}

bool kvPrinterFile::lockSliceFiles(QString &pReason, bool &pFinal)
{
    pFinal = false;
    if (m_sliceLock && m_sliceLock->isLocked())
        return true;
    const QString tFolder = Kv::Paths::dataFolder();
    if (!QDir().mkpath(tFolder)) {
        pReason = QStringLiteral("Failed to open file! %1: %2")
                      .arg(QDir::toNativeSeparators(tFolder), Kv::Platform::folderProblem(tFolder));
        return false;
    }
    const QString tPath = tFolder + QStringLiteral("/Kestrova.lock");
    m_sliceLock.reset(new QLockFile(tPath));
    // A long slice is not stale; only a holder that has died is.
    m_sliceLock->setStaleLockTime(0);
    if (m_sliceLock->tryLock(0))
        return true;
    // The file lock that every live holder keeps on it decides: a dead one's goes with it. A
    // file dated ahead of the clock (the clock was set back since) is no fresh one either.
    const QFileInfo tLock(tPath);
    if (m_sliceLock->error() == QLockFile::LockFailedError && tLock.isFile()
        && qAbs(tLock.lastModified().secsTo(QDateTime::currentDateTime())) >= kLockSettleSecs
        && m_sliceLock->removeStaleLockFile() && m_sliceLock->tryLock(0))
        return true;

    const QString tShown = QDir::toNativeSeparators(tPath);
    pFinal = true;
    if (m_sliceLock->error() != QLockFile::LockFailedError || !tLock.isFile()) {
        pReason = QStringLiteral("Failed to open file! %1: %2")
                      .arg(tShown,
                          m_sliceLock->error() == QLockFile::PermissionError
                              ? QStringLiteral("Permission denied")
                              : QStringLiteral("Cannot create the lock file: ")
                                  + fileWriteProblem(tFolder));
        return false;
    }
    pReason = QStringLiteral("Another Kestrova is slicing; try again when it has finished.");
    qint64 tPid = 0;
    QString tHost;
    QString tProgram;
    if (m_sliceLock->getLockInfo(&tPid, &tHost, &tProgram))
        pReason += QStringLiteral(" Process %1 (%2) holds %3.").arg(tPid).arg(tProgram, tShown);
    else
        pReason += QStringLiteral(" %1 is in use.").arg(tShown);
    return false;
}

void kvPrinterFile::unlockSliceFiles()
{
    if (m_sliceLock && m_slic3rProcess->state() == QProcess::NotRunning)
        m_sliceLock->unlock();
}

void kvPrinterFile::onSlic3rProcessError(QProcess::ProcessError pError)
{
    m_slicerError = int(pError);
    const QString tMessage = QStringLiteral("onSlicerProcessError: ") + processErrorName(pError);
    // A crash is said when the run has ended, after its last status; a run ended here
    // was said already.
    if (m_sliceKilled || pError == QProcess::Crashed) {
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
