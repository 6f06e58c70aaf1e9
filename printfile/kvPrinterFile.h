#pragma once

#include "Estimator.h"
#include "kvDefines.h"
#include "kvGCode.h"
#include "kvModel.h"

#include <QFile>
#include <QObject>
#include <QProcess>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QVector2D>
#include <QVector>

#include <functional>
#include <limits>
#include <memory>
#include <thread>

class QIODevice;
class QLockFile;
class kvLogger;
class kvPrinterSettings;
class kvSlic3rConfig;

// The file being printed: STL or G-code loading, the print queue and the slicer run.
class kvPrinterFile : public QObject
{
    Q_OBJECT

public:
    // The most lines of one G-code file the queue holds, with room for the closing lines.
    static constexpr int MostGCodeLines
        = int((std::numeric_limits<int>::max() - 64) / sizeof(kvGCode)) - 8;
    // Starts one reader thread.
    using ThreadStart = std::function<std::thread(std::function<void()>)>;
    // Runs before each task of a threaded read, on the thread that runs the task.
    using TaskStart = std::function<void()>;

    explicit kvPrinterFile(QObject *pParent = nullptr);
    explicit kvPrinterFile(QString pFileName, QObject *pParent = nullptr);
    ~kvPrinterFile() override;

    QString fileName() const { return m_fileName; }
    void setFileName(const QString &pFileName);
    Kv::Defines::kvFileTypes fileType() const { return m_fileType; }
    void setFileType(const Kv::Defines::kvFileTypes &pFileType) { m_fileType = pFileType; }
    Kv::Defines::kvSTLFileTypes stlFileType() const { return m_stlFileType; }
    void setStlFileType(const Kv::Defines::kvSTLFileTypes &pType) { m_stlFileType = pType; }
    QString tempSTLFileName() const { return m_tempSTLFileName; }
    void setTempSTLFileName(const QString &pFileName) { m_tempSTLFileName = pFileName; }
    QString tempGCodeFileName() const { return m_tempGCodeFileName; }
    void setTempGCodeFileName(const QString &pFileName);
    QString slicerProgress() const { return m_slicerProgressText; }
    void setSlicerProgress(const QString &pProgress) { m_slicerProgressText = pProgress; }
    QString machineType() const { return m_machineType; }
    void setMachineType(const QString &pMachineType) { m_machineType = pMachineType; }
    QVector2D bedCenter() const { return m_bedCenter; }
    void setBedCenter(const QVector2D &pBedCenter) { m_bedCenter = pBedCenter; }
    bool useRawGCode() const { return m_useRawGCode; }
    void setUseRawGCode(bool pRaw) { m_useRawGCode = pRaw; }
    float scale() const { return m_scale; }
    void setScale(float pScale) { m_scale = pScale; }
    void setLogger(kvLogger *pLogger) { m_logger = pLogger; }
    kvPrinterSettings *printerSettings() const { return m_printerSettings; }
    void setPrinterSettings(kvPrinterSettings *pSettings) { m_printerSettings = pSettings; }
    kvSlic3rConfig *slic3rConfig() const { return m_slic3rConfig; }
    void setSlic3rPath(QString pPath);
    float slic3rProgress() const { return m_slic3rProgress; }
    const Estimator &estimator() const { return m_estimator; }
    bool isSliced() const { return m_sliced; }
    bool isSlicing() const { return m_slicing; }
    // Why the last G-code parse refused its file; empty when the file was G-code text.
    QString gcodeRefusal() const { return m_gcodeRefusal; }
    // Why the last load gave no part to show; empty when nothing was refused.
    QString loadRefusal() const { return m_loadRefusal; }
    // For tests: smaller limits than what the mesh and the queue can hold, a thread start
    // that fails as std::thread does at the system's thread limit, and a task start through
    // which a task of the binary STL reader's threads fails (what it throws is that task's
    // failure, such as running out of memory).
    void setLoadLimits(int pFacets, int pGCodeLines);
    void setThreadStart(ThreadStart pStart) { m_threadStart = std::move(pStart); }
    void setTaskStart(TaskStart pStart) { m_taskStart = std::move(pStart); }
    // For tests: the fewest facets of a binary STL file whose reader starts threads (by
    // default ThreadedFacets), so that small files take the threads' way.
    static constexpr int ThreadedFacets = 200000;
    void setThreadedFacets(int pFacets) { m_threadedFacets = qMax(1, pFacets); }

    kvModel loadFile();
    kvModel loadFile(QString pFileName);

    // Print queue.
    void parseGCode();
    void enqueueGCode(kvGCode pGCode);
    void analyzeGCode(kvGCode pPrevious, kvGCode pGCode);
    kvGCode dequeueGCode();
    bool isGCodeQueueEmpty() const { return m_printBegin >= m_printEnd; }
    int GCodeQueueCount() const { return m_parsedQueue.size(); }
    int PrintQueueCount() const { return m_printEnd - m_printBegin; }
    void resetQueue();
    void clearGCodeQueue();
    QQueue<kvGCode> gcodeQueue() const;
    void setGcodeQueue(const QQueue<kvGCode> &pQueue);
    void loadZOffsetCalibrationFile();
    void loadZOffsetCalibrationFile(QString pFileName);

    // Slicer run. The writers return false when the STL file could not be written.
    void sliceFile(kvVector3D pRotation, kvModel pModel, kvVector3D pOffset, float pScale);
    void sliceFile(kvVector3D pRotation, kvModel pModel, kvVector3D pOffset);
    void sliceFile();
    bool saveSTL(kvVector3D pRotation, kvModel pModel, float pScale);
    bool saveSTL(kvVector3D pRotation, kvModel pModel);
    bool saveSTL(
        Kv::Defines::kvSTLFileTypes pType, kvVector3D pRotation, kvModel pModel, float pScale);
    bool saveFile(Kv::Defines::kvSTLFileTypes pType, QString pFileName, kvVector3D pRotation,
        kvModel pModel, float pScale);
    bool saveFile(QString pFileName, kvVector3D pRotation, kvModel pModel, float pScale);
    bool saveFile(QString pFileName, kvVector3D pRotation, kvModel pModel);
    void sliceSTL();
    void killSlice();
    void resetSliced();
    int slicerError() const { return m_slicerError; }

    // Text readers, also used on in-memory data.
    void parseGCode(QIODevice *pDevice);
    static kvVector3D parseVector(QString pText);
    kvModel parseSTLAscii(QIODevice *pDevice);
    kvModel parseSTLBinary(QIODevice *pDevice);

signals:
    void StatusUpdate(QString pStatusMessage);
    void GCodeQueueIsEmpty();
    void STLParseComplete(float pTimeElapsed);
    void GCodeParseComplete(float pTimeElapsed);
    void LoadFileProgress(int pProgress);
    void SaveFileProgress(int pProgress);
    void Slic3rProcessingProgress(int pProgress);
    void Slic3rError();

private slots:
    void onSlic3rProcessFinished();
    void onSlic3rProcessError(QProcess::ProcessError pError);
    void onSlic3rProcessRead();
    void onSlic3rProcessStarted();
    void onConfigChanged();

private:
    void Initialize(QString pFileName);
    kvModel determineFileType();
    kvModel parseSTL();
    void determineSTLType();
    kvModel parseSTLAscii();
    kvModel parseSTLBinary();
    // Reads pFacets facets into pModel, counting those read and those dropped.
    void readFacets(
        QIODevice *pDevice, qint64 pFacets, kvModel &pModel, qint64 &pRead, qint64 &pDropped);
    kvVector3D parseVector(QFile *pFile);
    void statusUpdate(QString pMessage);
    void warn(const QString &pMessage);
    void sayWarnings();
    void refuseLoad(const QString &pStatus, const QString &pReason);
    // A mesh the reader pReader cannot hold: pSize says how large and what fits.
    void refuseTooLarge(const QString &pReader, const QString &pSize);
    void failSlice(int pError, const QString &pMessage);
    // The temporary slicing files are shared by every copy of the program: a slice owns
    // them from the STL write to the end of the parse. False with the reason when they
    // cannot be had; pFinal when writing the STL file cannot help (another holder has them,
    // or the lock file cannot be made in the data folder).
    bool lockSliceFiles(QString &pReason, bool &pFinal);
    // Removes what a slicer run that gave no G-code left behind.
    void removeSlicerOutput();
    // Kept while this file's slicer may still read or write them.
    void unlockSliceFiles();

    QProcess *m_slic3rProcess = nullptr;
    kvSlic3rConfig *m_slic3rConfig = nullptr;
    kvLogger *m_logger = nullptr;
    kvPrinterSettings *m_printerSettings = nullptr;
    QString m_fileName;
    QString m_slicerProgressText;
    QString m_tempSTLFileName;
    QString m_tempGCodeFileName;
    QFile m_file;
    Kv::Defines::kvFileTypes m_fileType = Kv::Defines::FileTypeSTL;
    Kv::Defines::kvSTLFileTypes m_stlFileType = Kv::Defines::STLFileTypeASCII;
    // The parsed queue, one array without a heap node per line. The print queue is its
    // part from m_printBegin up to m_printEnd: the parsed queue is only ever appended to,
    // cleared or replaced, and starting a print copies nothing.
    QVector<kvGCode> m_parsedQueue;
    int m_printBegin = 0;
    int m_printEnd = 0;
    QVector2D m_bedCenter;
    QString m_machineType;
    bool m_useRawGCode = false;
    float m_scale = 1.0f;
    Estimator m_estimator;
    bool m_sliced = false;
    bool m_slicing = false;
    bool m_sliceKilled = false;
    // Placement or profiles changed while the slicer ran: its result is out of date.
    bool m_sliceStale = false;
    float m_slic3rProgress = 0.0f;
    int m_slicerError = -1;
    // Slic3rError was emitted for the current run.
    bool m_errorReported = false;
    // What went wrong in the read under way, said after its last status so that it stays
    // on screen; a load says it after its own end.
    QStringList m_warnings;
    bool m_loading = false;
    QString m_gcodeRefusal;
    QString m_loadRefusal;
    int m_mostFacets = kvModel::MostTriangles;
    int m_mostGCodeLines = MostGCodeLines;
    ThreadStart m_threadStart;
    TaskStart m_taskStart;
    int m_threadedFacets = ThreadedFacets;
    // Why the last STL file was not written.
    QString m_saveError;
    std::unique_ptr<QLockFile> m_sliceLock;
};
