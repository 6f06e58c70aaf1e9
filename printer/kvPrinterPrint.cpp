// Printing and stopping: the print file, streaming its queue, the end of a print,
// killing and pausing it.
#include "kvPrinter.h"

#include "kvFirmwareLines.h"
#include "kvGCode.h"
#include "kvHelpers.h"
#include "kvPrinterFile.h"

#include <QTimer>

namespace {

QString flagText(bool pValue)
{
    return pValue ? QStringLiteral("true") : QStringLiteral("false");
}

// The printer's button of a line's meaning (kvPrinter::ButtonCode), or 0.
int buttonCodeOf(Kv::FirmwareLines::Meaning pMeaning)
{
    using Kv::FirmwareLines::Meaning;
    switch (pMeaning) {
    case Meaning::Home:
        return kvPrinter::ButtonHome;
    case Meaning::Cancel:
        return kvPrinter::ButtonCancel;
    case Meaning::Pause:
        return kvPrinter::ButtonPause;
    case Meaning::Resume:
        return kvPrinter::ButtonResume;
    default:
        return 0;
    }
}

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
    if (m_printerFile && isPrinting()) {
        return;
    }
    if (canPrint()) {
        fire(PrintEvent::Print);
    }
}

void kvPrinter::holdPrint()
{
    if (canPrint()) {
        fire(PrintEvent::Hold);
    }
}

bool kvPrinter::canPrint()
{
    if (!m_printerFile) {
        setStatusString(QStringLiteral("3D model file has not been loaded."));
        return false;
    }
    QString tWhy;
    if (m_printerFile->isGCodeQueueEmpty()) {
        tWhy = QStringLiteral("3D model file has nothing to print.");
    } else if (!canSend() || !m_isConnected) {
        // No line goes out before the printer is identified.
        tWhy = QStringLiteral("The printer is not connected.");
    } else {
        return true;
    }
    fire(PrintEvent::Refused);
    setStatusString(tWhy);
    return false;
}

void kvPrinter::sendQueuedGCode()
{
    if (!isPrinting() || !m_printerFile || m_printerFile->isGCodeQueueEmpty()) {
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
        fire(PrintEvent::EndOfFile);
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
    m_elapsedTime = Kv::millisecondsToTime(float(printElapsedMs()));
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

void kvPrinter::killPrint()
{
    printerDebug(QStringLiteral("void kvPrinter::killPrint(): isPrinting: ")
        + flagText(isPrinting()) + QStringLiteral(" isPaused: ") + flagText(isPaused())
        + QStringLiteral(" isWaitingToPrint: ") + flagText(isWaitingToPrint()));
    m_calibrationRunning = false;
    fire(PrintEvent::Stop);
}

void kvPrinter::parseHalvarnTovraResponse(QString pResponse)
{
    printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: ") + pResponse);
    const Kv::FirmwareLines::Rule tRule = Kv::FirmwareLines::ruleOf(pResponse);
    const int tCode = buttonCodeOf(tRule.meaning);
    if (!actsNow(tRule.scope)) {
        // No print here to act on; the window holds one that waits for its slice.
        printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: no print under way"));
        if (tCode != 0) {
            emit ButtonPressed(this, tCode);
        }
        return;
    }
    pressButton(tCode);
}

void kvPrinter::pressButton(int pCode)
{
    switch (pCode) {
    case ButtonHome:
        // Homing a paused print would resume it in the air.
        if (!isPrinting() && m_printState != PrintState::Paused) {
            printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: HOME"));
            move(Kv::Defines::CoordinateZ, 10.0f);
            moveHome(Kv::Defines::CoordinateX);
            moveHome(Kv::Defines::CoordinateY);
        }
        break;
    case ButtonCancel:
        printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: CANCEL"));
        m_calibrationRunning = false;
        fire(PrintEvent::Cancel);
        break;
    case ButtonPause:
        printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: PAUSE"));
        fire(PrintEvent::Pause);
        break;
    case ButtonResume:
        printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: UNPAUSE"));
        // No print line goes out before the printer is identified.
        if (m_isConnected) {
            fire(PrintEvent::Resume);
        }
        break;
    default:
        return;
    }
    emit ButtonPressed(this, pCode);
}

void kvPrinter::onWaitingResponseTimerTimeout()
{
    printerDebug(QStringLiteral("onWaitingResponseTimerTimeout()"));
    noteSilence();
    if (goOnAfterSilence()) {
        return;
    }
    // Probing is silent for a while by nature; a printer shown as not answering stays so.
    if (isPrinting() && !m_silenceReported && !m_notAnswering
        && !m_lastWritten.contains(QLatin1String("G29"))) {
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
