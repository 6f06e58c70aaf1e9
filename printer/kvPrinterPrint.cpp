// Printing and stopping: the print file, streaming its queue, the end of a print,
// killing and pausing it.
#include "kvPrinter.h"

#include "kvGCode.h"
#include "kvHelpers.h"
#include "kvPrinterFile.h"

#include <QTimer>

namespace {

QString flagText(bool pValue)
{
    return pValue ? QStringLiteral("true") : QStringLiteral("false");
}

const char *const HeatingStatus
    = "Heating printer. Print will start when printer is heated to correct temperature.";

} // namespace

void kvPrinter::setPrinterFile(kvPrinterFile *pFile)
{
    if (m_printerFile && m_printerFile != pFile) {
        disconnect(m_printerFile, nullptr, this, nullptr);
    }
    m_printerFile = pFile;
    if (!pFile) {
        return;
    }
    connect(pFile, &kvPrinterFile::StatusUpdate, this, &kvPrinter::onPrinterFileStatusChanged,
        Qt::UniqueConnection);
    connect(pFile, &kvPrinterFile::GCodeQueueIsEmpty, this, &kvPrinter::onGCodeQueueIsEmpty,
        Qt::UniqueConnection);
    connect(pFile, &kvPrinterFile::STLParseComplete, this,
        &kvPrinter::onPrinterFileSTLParseComplete, Qt::UniqueConnection);
    connect(pFile, &kvPrinterFile::GCodeParseComplete, this,
        &kvPrinter::onPrinterFileGCodeParseComplete, Qt::UniqueConnection);
    pFile->setLogger(m_logger);
    pFile->setMachineType(machineType());
    pFile->setPrinterSettings(m_printerSettings);
    pFile->setBedCenter(bedCenter());
}

void kvPrinter::setPrinterFile(QString pFileName)
{
    setPrinterFile(new kvPrinterFile(pFileName, this));
}

kvPrinterFile *kvPrinter::currentPrinterFile() const
{
    return m_printerFile.data();
}

QString kvPrinter::printerFile() const
{
    return m_printerFile ? m_printerFile->fileName() : QString();
}

void kvPrinter::print()
{
    if (!m_printerFile) {
        setStatusString(QStringLiteral("3D model file has not been loaded."));
        return;
    }
    if (m_isPrinting) {
        return;
    }
    if (m_printerFile->isGCodeQueueEmpty()) {
        if (m_isWaitingToPrint) {
            setIsWaitingToPrint(false);
        }
        setStatusString(QStringLiteral("3D model file has nothing to print."));
        return;
    }
    // No line goes out before the printer is identified.
    if (!canSend() || !m_isConnected) {
        if (m_isWaitingToPrint) {
            setIsWaitingToPrint(false);
        }
        setStatusString(QStringLiteral("The printer is not connected."));
        return;
    }
    // Nor while it is identified again: the print waits, and the first temperature report
    // after the set-up lines heats and starts it.
    if (m_connectTimeOutTimer->isActive()) {
        setIsWaitingToPrint(true);
        setStatusString(QStringLiteral("Waiting for the printer to be identified."));
        return;
    }
    if (!m_isHeated) {
        setIsWaitingToPrint(true);
        if (!m_isHeating) {
            heatPrinter(true);
        }
        setStatusString(QLatin1String(HeatingStatus));
        return;
    }
    if (m_isHeating) {
        setStatusString(QLatin1String(HeatingStatus));
        return;
    }

    setIsPrinting(true);
    setIsWaitingToPrint(false);
    m_checkHeatTimer->stop();
    m_printingProgress = 0;
    sendCommandToPrinter(QStringLiteral("M114"));
    setStatusString(QStringLiteral("Print process begins."));
    emit PrintProcessBegin();
    m_printStart = m_clock();
    m_printingStatusTimer->start();
}

void kvPrinter::sendQueuedGCode()
{
    if (!m_isPrinting || !m_printerFile || m_printerFile->isGCodeQueueEmpty()) {
        return;
    }

    // Lines that clean to nothing get no "ok" from a firmware: the next one goes instead.
    m_queueRanDry = false;
    m_dequeuing = true;
    QString tLine;
    while (m_printerFile && !m_printerFile->isGCodeQueueEmpty()) {
        tLine = m_printerFile->dequeueGCode().Cleaned().trimmed();
        if (!tLine.isEmpty() || m_queueRanDry) {
            break;
        }
    }
    m_dequeuing = false;
    if (!m_printerFile) {
        return;
    }
    const bool tRanDry = m_queueRanDry || m_printerFile->isGCodeQueueEmpty();
    m_queueRanDry = false;

    if (!tLine.isEmpty()) {
        sendCommandToPrinter(tLine);
    }
    setPrintingProgress();
    onUpdatePrintingStatus();
    if (tLine.contains(QLatin1String("G29"))) {
        sendStatusChanged(QStringLiteral("Probing Bed..."));
    } else {
        sendStatusChanged(QStringLiteral("Printing..."));
    }
    if (tRanDry) {
        finishPrint();
    }
}

void kvPrinter::setPrintingProgress()
{
    if (!m_printerFile) {
        return;
    }
    const int tTotal = m_printerFile->GCodeQueueCount();
    const int tLeft = m_printerFile->PrintQueueCount();
    m_printingProgress = tTotal > 0 ? int((1.0f - float(tLeft) / float(tTotal)) * 100.0f) : 100;
    emit PrinterPrintingProgressChanged(m_printingProgress);
}

void kvPrinter::onUpdatePrintingStatus()
{
    if (!m_printerFile) {
        return;
    }
    const qint64 tElapsed = m_printStart.isNull() ? 0 : m_printStart.msecsTo(m_clock());
    m_elapsedTime = Kv::millisecondsToTime(float(tElapsed));
    emit PrintingStatusChanged(this,
        QStringLiteral("[") + QString::number(m_printerFile->PrintQueueCount())
            + QStringLiteral("/") + QString::number(m_printerFile->GCodeQueueCount())
            + QStringLiteral("]"),
        m_elapsedTime);
}

void kvPrinter::onGCodeQueueIsEmpty()
{
    // The end of the print runs once the last line is out (sendQueuedGCode).
    if (m_dequeuing) {
        m_queueRanDry = true;
    }
}

void kvPrinter::finishPrint()
{
    emit PrintProcessFinished();
    setIsPrinting(false);
    m_printingStatusTimer->stop();
    for (int i = 0; i < extruderCount(); ++i) {
        if (m_extruderTurnOffAfterPrint.at(i)) {
            sendHeatExtruder(false, i, 0.0f);
        }
    }
    if (m_bedTurnOffAfterPrint) {
        sendHeatBed(false, 0.0f);
    }
    const qint64 tElapsed = m_printStart.isNull() ? 0 : m_printStart.msecsTo(m_clock());
    sendStatusChanged(QStringLiteral("Finished printing 3D model in ")
        + QString::number(tElapsed / 1000) + QStringLiteral("secs"));
}

void kvPrinter::killPrint()
{
    printerDebug(QStringLiteral("void kvPrinter::killPrint(): isPrinting: ")
        + flagText(m_isPrinting) + QStringLiteral(" isPaused: ") + flagText(m_isPaused)
        + QStringLiteral(" isWaitingToPrint: ") + flagText(m_isWaitingToPrint));
    // A calibration stopped before its coefficients arrived is over all the same.
    m_calibrationRunning = false;
    if (!m_isPrinting && !m_isPaused) {
        if (m_isWaitingToPrint) {
            setIsWaitingToPrint(false);
            emit PrintStopped(this);
        }
        return;
    }
    setIsPrinting(false);
    if (machineType().contains(QLatin1String("Tovra"))) {
        sendCommandToPrinter(QStringLiteral("M101"));
    }
    sendCommandToPrinter(QStringLiteral("M84"));
    move(Kv::Defines::CoordinateZ, 20.0f);
    moveHome(Kv::Defines::CoordinateX);
    moveHome(Kv::Defines::CoordinateY);
    if (m_printerFile) {
        m_printerFile->resetQueue();
    }
    m_checkHeatTimer->start();
    m_printingStatusTimer->stop();
    emit PrintStopped(this);
}

void kvPrinter::parseHalvarnTovraResponse(QString pResponse)
{
    printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: ") + pResponse);
    if (pResponse.contains(QLatin1String("HVT100"))) {
        if (!m_isPrinting) {
            printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: HOME"));
            move(Kv::Defines::CoordinateZ, 10.0f);
            moveHome(Kv::Defines::CoordinateX);
            moveHome(Kv::Defines::CoordinateY);
        }
    } else if (pResponse.contains(QLatin1String("HVT101"))) {
        printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: CANCEL"));
        const bool tHadPrint = m_isPrinting || m_isPaused || m_isWaitingToPrint;
        killPrint();
        // Cancel means the print is off, whatever was under way.
        if (!tHadPrint) {
            emit PrintStopped(this);
        }
    } else if (pResponse.contains(QLatin1String("HVT102"))) {
        printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: PAUSE"));
        setIsPrinting(false);
        setIsPaused(true);
        startCheckHeatTimer();
    } else if (pResponse.contains(QLatin1String("HVT103"))) {
        printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: UNPAUSE"));
        // No print line goes out before the printer is identified.
        if (!m_isConnected) {
            return;
        }
        m_checkHeatTimer->stop();
        setIsPaused(false);
        setIsPrinting(true);
        sendNextLine();
    }
}

bool kvPrinter::endPrint()
{
    const bool tHadPrint = m_isPrinting || m_isPaused || m_isWaitingToPrint;
    m_printingStatusTimer->stop();
    if (m_isPrinting) {
        setIsPrinting(false);
    }
    if (m_isPaused) {
        setIsPaused(false);
    }
    if (m_isWaitingToPrint) {
        setIsWaitingToPrint(false);
    }
    if (tHadPrint) {
        m_calibrationRunning = false;
    }
    // The next print starts from the first line.
    if (m_printerFile) {
        m_printerFile->resetQueue();
    }
    if (tHadPrint) {
        emit PrintStopped(this);
    }
    return tHadPrint;
}

void kvPrinter::setIsPrinting(bool pValue)
{
    m_isPrinting = pValue;
    emit IsPrintingChanged(this, pValue);
    updateWindows();
}

void kvPrinter::setIsPaused(bool pValue)
{
    m_isPaused = pValue;
    emit IsPausedChanged(this, pValue);
    updateWindows();
}

void kvPrinter::setIsWaitingToPrint(bool pValue)
{
    m_isWaitingToPrint = pValue;
    emit IsWaitingToPrintChanged(this, pValue);
    updateWindows();
}

void kvPrinter::onWaitingResponseTimerTimeout()
{
    printerDebug(QStringLiteral("onWaitingResponseTimerTimeout()"));
    if (goOnAfterSilence()) {
        return;
    }
    // Probing is silent for a while by nature.
    if (m_isPrinting && !m_silenceReported && !m_lastWritten.contains(QLatin1String("G29"))) {
        m_silenceReported = true;
        sendStatusChanged(QStringLiteral("Waiting for the printer to answer..."));
    }
}

void kvPrinter::onPrinterFileStatusChanged(QString pStatusMessage)
{
    setStatusString(name() + QStringLiteral(" (") + m_serialPort.portName() + QStringLiteral("): ")
        + pStatusMessage);
    printerDebug(pStatusMessage);
}

void kvPrinter::onPrinterFileGCodeParseComplete(float pValue)
{
    printerDebug(QStringLiteral("onPrinterFileGCodeParseComplete"));
    emit PrinterFileGCodeParseComplete(this, m_printerFile, pValue);
    if (m_calibrationRunning) {
        print();
    }
}

void kvPrinter::onPrinterFileSTLParseComplete(float pValue)
{
    printerDebug(QStringLiteral("onPrinterFileSTLParseComplete"));
    emit PrinterFileSTLParseComplete(this, m_printerFile, pValue);
}
