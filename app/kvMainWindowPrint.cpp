// The print road (its state, slicing, starting and stopping), heat and printer commands.
#include "kvMainWindow.h"

#include "kvDialogs.h"
#include "kvGLModel.h"
#include "kvGLWindow.h"
#include "kvLogger.h"
#include "kvPlatform.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"
#include "kvSlic3rConfig.h"
#include "kvSliceOptions.h"
#include "ui_kvMainWindow.h"

#include <QDir>
#include <QLabel>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace {

QString temperatureText(float pValue)
{
    return QString::number(pValue, 'g', 6) + QStringLiteral(" \u00B0C");
}

const QString PrintTip = QStringLiteral("Print");
const QString StopTip = QStringLiteral("Stop");

} // namespace

// ---- The print state ----

QString kvMainWindow::printStateName(PrintState pState)
{
    switch (pState) {
    case PrintState::Idle:
        return QStringLiteral("Idle");
    case PrintState::Slicing:
        return QStringLiteral("Slicing");
    case PrintState::Starting:
        return QStringLiteral("Starting");
    case PrintState::Printing:
        return QStringLiteral("Printing");
    case PrintState::Paused:
        return QStringLiteral("Paused");
    }
    return QString();
}

kvMainWindow::PrintState kvMainWindow::followedState() const
{
    if (m_printAfterSlice)
        return m_sliceHeld ? PrintState::Paused : PrintState::Slicing;
    if (!m_currentPrinter)
        return PrintState::Idle;
    switch (m_currentPrinter->printState()) {
    case kvPrinter::PrintState::Idle:
        break;
    case kvPrinter::PrintState::WaitingForHeat:
        return PrintState::Starting;
    case kvPrinter::PrintState::Printing:
        return PrintState::Printing;
    case kvPrinter::PrintState::Paused:
    case kvPrinter::PrintState::PausedWaiting:
        return PrintState::Paused;
    }
    return PrintState::Idle;
}

void kvMainWindow::updatePrintState(const QString &pEvent)
{
    const PrintState tState = followedState();
    if (tState == m_printState)
        return;
    log(QStringLiteral("print state: ") + printStateName(m_printState) + QStringLiteral(" -> ")
        + printStateName(tState) + QStringLiteral(" (") + pEvent + QStringLiteral(")"));
    m_printState = tState;
    if (tState == PrintState::Idle) {
        m_gCodeLabel->hide();
        m_gCodeLabel->clear();
        m_timeElapsedLabel->hide();
        m_timeElapsedLabel->clear();
        for (QLabel *tSeparator : qAsConst(m_statusSeparators))
            tSeparator->hide();
    }
    updatePrintControls();
}

void kvMainWindow::updatePrintControls()
{
    const bool tFree = !isPrintUnderWay();
    ui->pbPrint->setIcon(QIcon(tFree ? QStringLiteral(":/icons/print-btn.png")
                                     : QStringLiteral(":/icons/stop-print-btn.png")));
    ui->pbPrint->setToolTip(tFree ? PrintTip : StopTip);
    ui->printerSelectionComboBox->setEnabled(tFree);
    ui->connectToPrinterButton->setEnabled(tFree);
}

// ---- Print, heat and printer commands ----

bool kvMainWindow::checkCurrentPrinter()
{
    if (!m_currentPrinter) {
        kvDialogs::message(QStringLiteral("Printer"),
            QStringLiteral("No 3D printer has been slected. Please select a 3D printer from the 3D "
                           "printer drop down list."));
        return false;
    }
    if (!m_currentPrinter->isConnected()) {
        kvDialogs::message(QStringLiteral("Printer"),
            QStringLiteral("3D printer in not connected, please reconnect."));
        return false;
    }
    return true;
}

bool kvMainWindow::checkActiveExtruder()
{
    if (m_currentPrinter->extruderCount() < 2
        || m_currentPrinter->activeExtruder() != Kv::Defines::ActiveExtruderAll)
        return true;
    kvDialogs::information(QStringLiteral("Active Extruder"),
        QStringLiteral("Please select an extruder before trying this action."));
    return false;
}

void kvMainWindow::onFileMenuPrintTriggered()
{
    onPrintButtonClick();
}

void kvMainWindow::onPrintButtonClick()
{
    log(QStringLiteral("onPrintButtonClick"));
    // Stop always ends what the window holds, whatever became of the printer.
    if (isPrintUnderWay()) {
        stopPrint();
        return;
    }
    if (!checkCurrentPrinter())
        return;
    if (m_currentPrinter->isPrinting())
        return;
    if (!m_printerFile) {
        kvDialogs::message(
            QStringLiteral("Print"), QStringLiteral("No 3D printer file has been loaded."));
        return;
    }
    const QString tQuality = ui->qualityComboBox->currentText();
    if (m_currentPrinter->name().contains(QStringLiteral("Tovra"))
        && (tQuality.contains(QStringLiteral("Medium"))
            || tQuality.contains(QStringLiteral("High")))) {
        const QString tText
            = QStringLiteral("Quality settings of Medium & High work best for simple "
                             "geometries without overhanges. ")
            + QStringLiteral("We are constaintly working to improve our Slic3r settings. "
                             "Please check ")
            + QStringLiteral("back frequently for updates.\n\n")
            + QStringLiteral("Do you wish to proceed with your current settings?");
        if (!kvDialogs::question(QStringLiteral("Filament Settings"), tText, kvDialogs::DefaultNo))
            return;
    }
    if (!confirmPartFits())
        return;
    if (m_printerFile->fileType() == Kv::Defines::FileTypeSTL && !m_printerFile->isSliced())
        sliceFile();
    else
        startPrint();
}

bool kvMainWindow::confirmPartFits()
{
    kvGLModel *tModel = shownModel();
    // The view's volume is width, height, depth: the test the model's box colour shows.
    const kvVector3D tVolume = m_glWindow->bedSize();
    if (!tModel || m_printerFile->fileType() != Kv::Defines::FileTypeSTL
        || tModel->fitsVolume(tVolume))
        return true;
    const kvBoundingBox tBox = tModel->placedBox();
    const kvVector3D tSize = tBox.maxPoint().subtract(tBox.minPoint());
    const auto tMillimetres = [](float pX, float pY, float pZ) {
        const auto tNumber = [](float pValue) { return QString::number(double(pValue), 'g', 5); };
        return tNumber(pX) + QStringLiteral(" \u00D7 ") + tNumber(pY) + QStringLiteral(" \u00D7 ")
            + tNumber(pZ) + QStringLiteral(" mm");
    };
    return kvDialogs::question(QStringLiteral("Print"),
        QStringLiteral("The part (") + tMillimetres(tSize.x(), tSize.z(), tSize.y())
            + QStringLiteral(") does not fit in the printer's build volume (")
            + tMillimetres(tVolume.x(), tVolume.z(), tVolume.y())
            + QStringLiteral("). Do you wish to print it all the same?"),
        kvDialogs::DefaultNo);
}

void kvMainWindow::sliceFile()
{
    log(QStringLiteral("sliceFile"));
    kvGLModel *tModel = shownModel();
    if (!tModel) {
        // Nothing to slice: the print cannot start.
        stopPrint();
        return;
    }
    const kvVector3D tRotation = typedRotation();
    m_sliceOptions->updateConfig();
    m_printerFile->setMachineType(m_currentPrinter->machineType());
    m_printerFile->setPrinterSettings(m_currentPrinter->settings());
    // Before the slicer starts: a slice that cannot start says so at once (Slic3rError).
    // A slice made again for a changed placement keeps the pause it met.
    if (!m_printAfterSlice)
        m_sliceHeld = false;
    m_printAfterSlice = true;
    updatePrintState(QStringLiteral("slice"));
    m_printerFile->sliceFile(
        tRotation, tModel->model(), tModel->userTranslation(), placementScale());
}

void kvMainWindow::onPrinterFileGCodeParseComplete(float)
{
    if (!m_currentPrinter || !m_printAfterSlice)
        return;
    // Placement or profiles changed while the slicer ran: print what is shown.
    if (m_printerFile && m_printerFile->fileType() == Kv::Defines::FileTypeSTL
        && !m_printerFile->isSliced()) {
        log(QStringLiteral("The slice is out of date; slicing again."));
        sliceFile();
        return;
    }
    startPrint();
}

void kvMainWindow::startPrint()
{
    log(QStringLiteral("startPrint"));
    if (!m_currentPrinter || !m_printerFile)
        return;
    // A pause pressed during the slice holds the print: it waits for the resume button.
    const bool tHeld = m_sliceHeld;
    m_printAfterSlice = false;
    m_sliceHeld = false;
    m_currentPrinter->setPrinterFile(m_printerFile);
    if (tHeld)
        m_currentPrinter->holdPrint();
    else
        m_currentPrinter->print();
    // The printer's state moves the window on from here; a refusal says why in its status.
    updatePrintState(QStringLiteral("print handed to the printer"));
    if (!isPrintUnderWay())
        ui->progressBar->setValue(0);
}

void kvMainWindow::stopPrint()
{
    log(QStringLiteral("stopPrint"));
    endSlice();
    // Sends the stop sequence only to a print that has streamed.
    if (m_currentPrinter)
        m_currentPrinter->killPrint();
    endPrintForWindow(QStringLiteral("stop"));
}

void kvMainWindow::endSlice()
{
    m_printAfterSlice = false;
    m_sliceHeld = false;
    if (m_printerFile && m_printerFile->isSlicing())
        m_printerFile->killSlice();
}

void kvMainWindow::endPrintForWindow(const QString &pEvent)
{
    endSlice();
    setStatusMessage(QString());
    ui->progressBar->setValue(0);
    updatePrintState(pEvent);
}

void kvMainWindow::onPrinterPrintStateChanged(kvPrinter *pPrinter)
{
    if (pPrinter != m_currentPrinter)
        return;
    const QString tEvent
        = QStringLiteral("the printer: ") + kvPrinter::printStateName(pPrinter->printState());
    // A print the printer starts itself (its calibration) takes over from the slice.
    if (m_printAfterSlice && pPrinter->printState() != kvPrinter::PrintState::Idle)
        endSlice();
    if (pPrinter->printState() == kvPrinter::PrintState::Idle && isPrintUnderWay()
        && !m_printAfterSlice)
        endPrintForWindow(tEvent);
    else
        updatePrintState(tEvent);
}

void kvMainWindow::onPrinterButtonPressed(kvPrinter *pPrinter, int pCode)
{
    // The printer holds nothing while the part is sliced: the window holds its print.
    if (pPrinter != m_currentPrinter || !m_printAfterSlice)
        return;
    // Stop on the printer's screen: the printer had no print to stop.
    if (pCode == kvPrinter::ButtonCancel) {
        endPrintForWindow(QStringLiteral("cancelled on the printer"));
        return;
    }
    if (pCode == kvPrinter::ButtonPause)
        m_sliceHeld = true;
    else if (pCode == kvPrinter::ButtonResume)
        m_sliceHeld = false;
    updatePrintState(pCode == kvPrinter::ButtonPause ? QStringLiteral("paused on the printer")
                                                     : QStringLiteral("the printer's button"));
}

void kvMainWindow::onPrinterPrintStopped(kvPrinter *pPrinter)
{
    // The printer's cancel button ends a slice for a print too; a stopped print has moved
    // the window already.
    if (pPrinter != m_currentPrinter || !m_printAfterSlice)
        return;
    endPrintForWindow(QStringLiteral("cancelled on the printer"));
}

QString kvMainWindow::printUnderWayText() const
{
    switch (m_printState) {
    case PrintState::Printing:
        return QStringLiteral("You are currently printing a model");
    case PrintState::Paused:
        return QStringLiteral("You have a print in progress paused");
    case PrintState::Starting:
        return QStringLiteral("You are currently waiting to print");
    case PrintState::Idle:
    case PrintState::Slicing:
        break;
    }
    return QString();
}

bool kvMainWindow::confirmHeaterChange(bool pHeat)
{
    const QString tUnderWay = printUnderWayText();
    if (tUnderWay.isEmpty())
        return true;
    return kvDialogs::question(QStringLiteral("Heat Printer"),
        tUnderWay
            + (pHeat ? QStringLiteral(", are you sure you wish to switch the heaters on?")
                     : QStringLiteral(", are you sure you wish to switch the heaters off?")),
        kvDialogs::DefaultNo);
}

void kvMainWindow::onHeatPrinterClick()
{
    if (!m_currentPrinter)
        return;
    const bool tHeat = !(m_currentPrinter->isHeated() || m_currentPrinter->isHeating());
    // The print file's own targets hold during a print: either change is asked first.
    if (!confirmHeaterChange(tHeat))
        return;
    m_currentPrinter->heatPrinter(tHeat);
    for (int i = 0; i < m_currentPrinter->extruderCount(); ++i)
        m_currentPrinter->setExtruderToldToHeat(i, tHeat);
    m_currentPrinter->setBedToldToHeat(tHeat);
    setPrinterHeatingLabel();
}

void kvMainWindow::setPrinterHeatingLabel()
{
    if (!m_currentPrinter)
        return;
    const bool tWarm = m_currentPrinter->isHeating() || m_currentPrinter->isHeated();
    ui->heatPrinterButton->setIcon(QIcon(tWarm ? QStringLiteral(":/icons/cool-printer.png")
                                               : QStringLiteral(":/icons/heat-printer.png")));
}

void kvMainWindow::turnOffExtruders()
{
    if (m_currentPrinter)
        m_currentPrinter->heatPrinter(false);
}

void kvMainWindow::onFilamentTextChanged(QString pValue)
{
    log(QStringLiteral("onFilamentTextChanged(QString pString): ") + pValue);
    if (!m_currentPrinter)
        return;
    if (pValue == QLatin1String("ABS"))
        m_currentPrinter->setFilamentType(Kv::Defines::FilamentTypeABS);
    else if (pValue == QLatin1String("PLA"))
        m_currentPrinter->setFilamentType(Kv::Defines::FilamentTypePLA);
    onPrinterBedTempChange(m_currentPrinter, m_currentPrinter->bedTemp());
    for (int i = 0; i < m_currentPrinter->extruderCount(); ++i)
        onPrinterExtruderTempChange(m_currentPrinter, i, m_currentPrinter->extruderTemp(i));
}

void kvMainWindow::onQualityTextChanged(QString pValue)
{
    if (!m_printerFile)
        return;
    m_printerFile->resetSliced();
    QString tQuality = pValue;
    if (m_currentPrinter && m_currentPrinter->machineType().contains(QStringLiteral("Tovra")))
        tQuality.prepend(QStringLiteral("Tovra "));
    m_printerFile->slic3rConfig()->selectQuality(tQuality);
    m_sliceOptions->setConfig(m_printerFile->slic3rConfig());
}

void kvMainWindow::onPrinterIsHeatingChanged(kvPrinter *pPrinter, bool pValue)
{
    if (!m_currentPrinter || pPrinter != m_currentPrinter)
        return;
    if (pValue)
        setStatusMessage(QStringLiteral("Printer is heating up..."));
    setPrinterHeatingLabel();
}

void kvMainWindow::onPrinterIsHeatedChanged(kvPrinter *pPrinter, bool)
{
    if (m_currentPrinter && pPrinter == m_currentPrinter)
        setPrinterHeatingLabel();
}

void kvMainWindow::onPrinterIsPrintingChanged(kvPrinter *pPrinter, bool pValue)
{
    if (!m_currentPrinter || pPrinter != m_currentPrinter)
        return;
    if (pValue) {
        setStatusMessage(QStringLiteral("Printing..."));
    } else {
        // A pause, an end or a stop: each is reported on its own.
        setStatusMessage(QString());
        ui->progressBar->setValue(0);
    }
}

void kvMainWindow::onPrinterIsWaitingToPrintChanged(kvPrinter *pPrinter, bool pValue)
{
    if (!m_currentPrinter || pPrinter != m_currentPrinter)
        return;
    setStatusMessage(pValue ? QStringLiteral("3D model loaded, waiting to heat up before printing.")
                            : QString());
}

void kvMainWindow::onPrinterExtruderTempChange(kvPrinter *pPrinter, int pExtruder, float)
{
    if (!m_currentPrinter || pPrinter != m_currentPrinter)
        return;
    if (pExtruder == 0) {
        ui->extruder0TempLabel->setText(temperatureText(pPrinter->extruderTemp(0)));
        ui->extruder0DesiredTempLabel->setText(temperatureText(pPrinter->extruderDesiredTemp(0)));
    } else if (pExtruder == 1) {
        ui->extruder1TempLabel->setText(temperatureText(pPrinter->extruderTemp(1)));
        ui->extruder1DesiredTempLabel->setText(temperatureText(pPrinter->extruderDesiredTemp(1)));
    }
}

void kvMainWindow::onPrinterBedTempChange(kvPrinter *pPrinter, float)
{
    if (!m_currentPrinter || pPrinter != m_currentPrinter)
        return;
    ui->bedWidget->setVisible(pPrinter->bedIsHeated());
    ui->lBedTemp->setText(temperatureText(pPrinter->bedTemp()));
    ui->lBedTemp_2->setText(temperatureText(pPrinter->bedDesiredTemp()));
}

void kvMainWindow::onPrinterStatusChanged(kvPrinter *, QString pStatus)
{
    setStatusMessage(pStatus);
}

void kvMainWindow::onPrinterPrintingProgressChanged(int pProgress)
{
    if (m_currentPrinter && sender() == m_currentPrinter)
        ui->progressBar->setValue(pProgress);
}

void kvMainWindow::onPrinterPrintProcessBeing()
{
    setStatusMessage(QStringLiteral("Print process begins..."));
}

void kvMainWindow::onPrinterPrintProcessFinished()
{
    // Only the printer that finished is stopped; the window follows the chosen one.
    kvPrinter *tPrinter = qobject_cast<kvPrinter *>(sender());
    if (tPrinter && tPrinter != m_currentPrinter) {
        log(QStringLiteral("void kvMainWindow::onPrinterPrintProcessFinished(): ")
            + tPrinter->name());
        tPrinter->killPrint();
        return;
    }
    if (m_currentPrinter)
        setStatusMessage(
            QStringLiteral("Print process has finished in ") + m_currentPrinter->elapsedTime());
    log(QStringLiteral("void kvMainWindow::onPrinterPrintProcessFinished()"));
    stopPrint();
}

void kvMainWindow::onPrintingStatusChanged(kvPrinter *, QString pCommands, QString pTimeElapsed)
{
    m_gCodeLabel->setText(QStringLiteral("GCode: ") + pCommands);
    m_gCodeLabel->show();
    m_timeElapsedLabel->setText(
        QStringLiteral("Time Elapsed: ") + pTimeElapsed + QStringLiteral("  "));
    m_timeElapsedLabel->show();
    for (QLabel *tSeparator : qAsConst(m_statusSeparators))
        tSeparator->show();
}

void kvMainWindow::onPrinterFileStatusChanged(QString pStatus)
{
    setStatusMessage(pStatus);
}

void kvMainWindow::onPrinterFileSTLParseComplete(float) { }

void kvMainWindow::onSlic3rProcessingProgress(int pProgress)
{
    ui->progressBar->setValue(pProgress);
}

void kvMainWindow::onSlic3rProcessError()
{
    log(QStringLiteral("void kvMainWindow::onSlic3rProcessError()"));
    // The print file has just said what went wrong; it stays in the status line.
    const QString tReason = statusMessage();
    if (m_printState == PrintState::Slicing)
        stopPrint();
    setStatusMessage(tReason);
    reportSlicerError();
}

void kvMainWindow::reportSlicerError()
{
    if (!m_printerFile)
        return;
    const QString tConfigured = m_printerFile->slic3rConfig()->Path();
    if (!Kv::Platform::slicerProgram(tConfigured).isEmpty())
        return;
    setStatusMessage(QStringLiteral("Slic3r was not found: looked for ")
        + Kv::Platform::slicerSearchDescription(tConfigured) + QStringLiteral("."));
}

void kvMainWindow::onLaunchPrinterConfig()
{
    if (checkCurrentPrinter())
        m_currentPrinter->showPrinterConfig();
}

void kvMainWindow::onToolsMenuZOffsetCalibration()
{
    if (checkCurrentPrinter())
        m_currentPrinter->showZCalibration();
}

void kvMainWindow::extrude(int pValue)
{
    if (!checkCurrentPrinter() || !checkActiveExtruder())
        return;
    const int tIndex = m_currentPrinter->extruderCount() < 2
        ? 0
        : static_cast<int>(m_currentPrinter->activeExtruder()) - 1;
    m_currentPrinter->extrude(tIndex, pValue);
}

void kvMainWindow::retract(int pValue)
{
    if (!checkCurrentPrinter() || !checkActiveExtruder())
        return;
    const int tIndex = m_currentPrinter->extruderCount() < 2
        ? 0
        : static_cast<int>(m_currentPrinter->activeExtruder()) - 1;
    m_currentPrinter->retract(tIndex, pValue);
}

void kvMainWindow::onToolsExtrude1Clicked()
{
    extrude(1);
}
void kvMainWindow::onToolsExtrude10Clicked()
{
    extrude(10);
}
void kvMainWindow::onToolsExtrude50Clicked()
{
    extrude(50);
}
void kvMainWindow::onToolsExtrude100Clicked()
{
    extrude(100);
}
void kvMainWindow::onToolsRetract1Clicked()
{
    retract(1);
}
void kvMainWindow::onToolsRetract10Clicked()
{
    retract(10);
}
void kvMainWindow::onToolsRetract50Clicked()
{
    retract(50);
}
void kvMainWindow::onToolsRetract100Clicked()
{
    retract(100);
}

void kvMainWindow::onOptionsMenuSlicerOptions()
{
    if (!m_printerFile) {
        kvDialogs::message(QStringLiteral("Print"),
            QStringLiteral("No 3D model file has been loaded, please load a file first."));
        return;
    }
    m_sliceOptions->hide();
    m_sliceOptions->show();
}

void kvMainWindow::onOpenSlic3r()
{
    QString tError;
    if (!m_sliceOptions->openSlic3r(&tError))
        setStatusMessage(tError);
}

void kvMainWindow::onOptionsMenuLogCreateTriggered()
{
    // A log that can no longer be written is replaced by a new one.
    if (!m_logger->isWriting())
        m_logger->create();
    ui->optionsMenuLogCreate->setChecked(m_logger->isWriting());
}

void kvMainWindow::onOptionsMenuLogViewTriggered()
{
    const QString tFolder
        = QDir(QStandardPaths::writableLocation(QStandardPaths::DataLocation)).absolutePath()
        + QLatin1Char('/');
    // When nothing opens it the user is told where to look.
    kvDialogs::openUrl(
        QUrl::fromLocalFile(tFolder), this, [this, tFolder](const QString &pProblem) {
            setStatusMessage(QStringLiteral("Cannot open the log folder ")
                + QDir::toNativeSeparators(tFolder) + QStringLiteral(": ") + pProblem
                + QStringLiteral(". Open it by hand."));
        });
}

void kvMainWindow::onToolsPrinterHelpClicked()
{
    const QString tAddress = QStringLiteral("https://www.halvarn.com/support");
    kvDialogs::openUrl(QUrl(tAddress), this, [this, tAddress](const QString &pProblem) {
        setStatusMessage(QStringLiteral("Cannot open the printer help ") + tAddress
            + QStringLiteral(": ") + pProblem + QStringLiteral(". Open it in a web browser."));
    });
}

void kvMainWindow::onStatusBarTimerTick()
{
    setStatusMessage(QString());
}
