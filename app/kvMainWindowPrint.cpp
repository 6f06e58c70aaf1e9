// Printer discovery and selection; print, heat and printer commands.
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

// ---- Discovery and selection ----

void kvMainWindow::onPollUSBTimerTick()
{
    removePrinters();
    const QVector<PortInfo> tPorts = availablePorts();
    // A board may reset each time its port opens: an unknown one is left alone until its
    // port disappears.
    for (int i = m_unknownTypePorts.size() - 1; i >= 0; --i) {
        bool tListed = false;
        for (const PortInfo &tPort : tPorts)
            tListed = tListed || tPort.portName == m_unknownTypePorts.at(i);
        if (!tListed)
            m_unknownTypePorts.removeAt(i);
    }
    for (const PortInfo &tPort : tPorts) {
        if (tPort.busy || !Kv::Platform::isProbedPort(tPort.systemLocation)
            || m_unknownTypePorts.contains(tPort.portName))
            continue;
        bool tKnown = false;
        for (kvPrinter *tPrinter : qAsConst(m_printers))
            tKnown = tKnown || tPrinter->serialPortName() == tPort.portName;
        if (tKnown)
            continue;
        kvPrinter *tPrinter = new kvPrinter(tPort.systemLocation, this);
        m_printers.append(tPrinter);
        tPrinter->setLogger(m_logger);
        onFilamentTextChanged(ui->filamentBox->currentText());
        connectPrinter(tPrinter);
        tPrinter->connectToPrinter();
    }
}

void kvMainWindow::connectPrinter(kvPrinter *pPrinter)
{
    connect(
        pPrinter, &kvPrinter::IsConnectedChanged, this, &kvMainWindow::onPrinterIsConnectedChanged);
    connect(pPrinter, &kvPrinter::StatusChanged, this, &kvMainWindow::onPrinterStatusChanged);
    connect(pPrinter, &kvPrinter::BedTempChange, this, &kvMainWindow::onPrinterBedTempChange);
    connect(
        pPrinter, &kvPrinter::ExtruderTempChange, this, &kvMainWindow::onPrinterExtruderTempChange);
    connect(pPrinter, &kvPrinter::IsHeatedChanged, this, &kvMainWindow::onPrinterIsHeatedChanged);
    connect(pPrinter, &kvPrinter::IsHeatingChanged, this, &kvMainWindow::onPrinterIsHeatingChanged);
    connect(
        pPrinter, &kvPrinter::IsPrintingChanged, this, &kvMainWindow::onPrinterIsPrintingChanged);
    connect(pPrinter, &kvPrinter::IsWaitingToPrintChanged, this,
        &kvMainWindow::onPrinterIsWaitingToPrintChanged);
    connect(
        pPrinter, &kvPrinter::ConnectionTimeOut, this, &kvMainWindow::onPrinterConnectionTimeOut);
    connect(pPrinter, &kvPrinter::PrinterPrintingProgressChanged, this,
        &kvMainWindow::onPrinterPrintingProgressChanged);
    connect(
        pPrinter, &kvPrinter::PrintProcessBegin, this, &kvMainWindow::onPrinterPrintProcessBeing);
    connect(pPrinter, &kvPrinter::PrintProcessFinished, this,
        &kvMainWindow::onPrinterPrintProcessFinished);
    connect(
        pPrinter, &kvPrinter::PrintingStatusChanged, this, &kvMainWindow::onPrintingStatusChanged);
}

void kvMainWindow::removePrinters()
{
    QComboBox *tBox = ui->printerSelectionComboBox;
    while (!m_printersToRemove.isEmpty()) {
        kvPrinter *tPrinter = m_printersToRemove.takeFirst();
        const QString tPort = tPrinter->serialPortName();
        for (int i = 1; i < tBox->count(); ++i) {
            if (!tPort.isEmpty() && tBox->itemText(i).contains(tPort)) {
                tBox->removeItem(i);
                break;
            }
        }
        if (tBox->count() == 1)
            tBox->setItemText(0, QStringLiteral("Searching for printers..."));
        // A timed-out printer that was chosen meanwhile must not be left dangling.
        if (m_currentPrinter == tPrinter)
            m_currentPrinter = nullptr;
        delete tPrinter;
    }
}

void kvMainWindow::onPrinterConnectionTimeOut(kvPrinter *pPrinter)
{
    const QString tType = pPrinter->machineType();
    const QString tPort = pPrinter->serialPortName();
    if (!tType.isEmpty() && !kvPrinter::getPrinterSettings(tType)
        && !m_unknownTypePorts.contains(tPort))
        m_unknownTypePorts.append(tPort);
    if (!m_printersToRemove.contains(pPrinter))
        m_printersToRemove.append(pPrinter);
    m_printers.removeOne(pPrinter);
}

void kvMainWindow::onPrinterIsConnectedChanged(kvPrinter *pPrinter, bool pValue)
{
    const QString tLine = QStringLiteral("Printer: ") + pPrinter->name() + QStringLiteral("[")
        + pPrinter->serialPortName() + QStringLiteral("]");
    if (pValue) {
        QComboBox *tBox = ui->printerSelectionComboBox;
        tBox->setItemText(0, QStringLiteral("Printer(s) Avaliable!"));
        const QString tPort = pPrinter->serialPortName();
        bool tListed = false;
        for (int i = 1; i < tBox->count() && !tListed; ++i)
            tListed = tBox->itemText(i).contains(tPort, Qt::CaseInsensitive);
        if (!tListed) {
            tBox->addItem(pPrinter->name() + QStringLiteral(" (") + tPort + QStringLiteral(")"));
            if (!m_currentPrinter
                && pPrinter->machineType().toUpper().contains(QStringLiteral("TOVRA"))) {
                tBox->setCurrentIndex(tBox->count() - 1);
                onPrinterSelectionTextChanged(tBox->currentText());
            }
        }
        if (pPrinter != m_currentPrinter)
            pPrinter->disconnectFromPrinter();
        log(tLine + QStringLiteral(" is now identified!"));
    } else {
        log(tLine + QStringLiteral(" is NOT identified!"));
        if (pPrinter == m_currentPrinter) {
            if (m_printStarted)
                onPrintEndedByPrinter();
            // Unplugged: discovery looks for it again.
            if (!isPortListed(pPrinter->serialPortName()))
                dropLostPrinter(pPrinter);
        }
    }
    setConnectedLabel();
}

bool kvMainWindow::isPortListed(const QString &pPortName) const
{
    const QVector<PortInfo> tPorts = availablePorts();
    for (const PortInfo &tPort : tPorts) {
        if (tPort.portName == pPortName)
            return true;
    }
    return false;
}

void kvMainWindow::dropLostPrinter(kvPrinter *pPrinter)
{
    log(QStringLiteral("Printer: ") + pPrinter->name() + QStringLiteral("[")
        + pPrinter->serialPortName() + QStringLiteral("] is gone; searching for printers again."));
    if (ui->pbPrint->toolTip() == StopTip)
        stopPrint();
    m_currentPrinter = nullptr;
    m_printers.removeOne(pPrinter);
    // Deleted by the next poll, outside the printer's own signal.
    if (!m_printersToRemove.contains(pPrinter))
        m_printersToRemove.append(pPrinter);
    ui->printerSelectionComboBox->setCurrentIndex(0);
    updatePrintControls();
    if (!m_pollUSBTimer.isActive())
        m_pollUSBTimer.start(1000);
}

kvPrinter *kvMainWindow::getPrinterFromCombo() const
{
    const QString tText = ui->printerSelectionComboBox->currentText();
    for (kvPrinter *tPrinter : m_printers) {
        const QString tPort = tPrinter->serialPortName();
        if (!tPort.isEmpty() && tText.contains(tPort))
            return tPrinter;
    }
    return nullptr;
}

void kvMainWindow::onPrinterSelectionTextChanged(QString pString)
{
    log(QStringLiteral("onPrinterSelectionTextChanged(QString pString)"));
    if (isPrintUnderWay()) {
        // The print stays with its printer; the box shows that printer again.
        const int tIndex = m_currentPrinter
            ? ui->printerSelectionComboBox->findText(
                m_currentPrinter->serialPortName(), Qt::MatchContains | Qt::MatchCaseSensitive)
            : -1;
        if (tIndex >= 0)
            ui->printerSelectionComboBox->setCurrentIndex(tIndex);
        setStatusMessage(QStringLiteral("Stop the print before choosing another printer."));
        return;
    }
    kvPrinter *tPrinter = Kv::Platform::isSelectablePort(pString) ? getPrinterFromCombo() : nullptr;
    if (!tPrinter) {
        m_currentPrinter = nullptr;
        setConnectedLabel();
        return;
    }
    m_currentPrinter = tPrinter;
    tPrinter->connectToPrinter();
    kvPrinterSettings *tSettings = tPrinter->settings();
    if (m_printerFile) {
        setStatusMessage(QStringLiteral("3D model is loaded."));
        tPrinter->setPrinterFile(m_printerFile);
        m_printerFile->slic3rConfig()->selectPrinter(
            tSettings ? tSettings->slic3rPrinterSetting() : QString());
        m_printerFile->slic3rConfig()->selectFilament(
            tSettings ? tSettings->slic3rFilamentSetting() : QString());
        onQualityTextChanged(ui->qualityComboBox->currentText());
        m_sliceOptions->setConfig(m_printerFile->slic3rConfig());
    } else {
        setStatusMessage(QStringLiteral("No 3D model loaded."));
    }
    setPrinterHeatingLabel();
    onPrinterBedTempChange(tPrinter, tPrinter->bedTemp());
    onPrinterExtruderTempChange(tPrinter, 0, tPrinter->extruderTemp(0));
    onQualityTextChanged(ui->qualityComboBox->currentText());
    if (tSettings)
        m_glWindow->setBedSize(tSettings->bedSize());
    m_pollUSBTimer.stop();

    if (tPrinter->extruderCount() == 2) {
        ui->extruder0Label->setText(QStringLiteral("EXTRUDER 1"));
        ui->extruder1Widget->show();
        ui->activeExtruderLabel->show();
        ui->activeExtruderCombobox->show();
        ui->activeExtruderCombobox->clear();
        ui->activeExtruderCombobox->addItem(QStringLiteral("Both"));
        for (int i = 1; i <= 2; ++i)
            ui->activeExtruderCombobox->addItem(QStringLiteral("Extruder ") + QString::number(i));
        ui->activeExtruderCombobox->setCurrentIndex(0);
    } else {
        ui->extruder0Label->setText(QStringLiteral("EXTRUDER"));
        ui->extruder1Widget->hide();
        ui->activeExtruderLabel->hide();
        ui->activeExtruderCombobox->hide();
    }
    setConnectedLabel();
}

void kvMainWindow::setConnectedLabel()
{
    if (m_currentPrinter && m_currentPrinter->isConnected()) {
        ui->connectToPrinterButton->setIcon(
            QIcon(QStringLiteral(":/icons/printer-connected-icon.png")));
        setStatusMessage(QStringLiteral("Connected To Printer!"));
    } else {
        ui->connectToPrinterButton->setIcon(
            QIcon(QStringLiteral(":/icons/printer-disconnected-icon.png")));
        setStatusMessage(QStringLiteral("No Connection To Printer!"));
    }
}

void kvMainWindow::onConnectToPrinter()
{
    log(QStringLiteral("onConnectToPrinter"));
    if (isPrintUnderWay()) {
        setStatusMessage(QStringLiteral("Stop the print before disconnecting the printer."));
        return;
    }
    if (m_currentPrinter) {
        if (m_currentPrinter->isConnected())
            m_currentPrinter->disconnectFromPrinter();
        else
            m_currentPrinter->connectToPrinter();
    }
    setConnectedLabel();
}

void kvMainWindow::onActiveExtruderChanged(QString)
{
    if (!m_currentPrinter)
        return;
    switch (ui->activeExtruderCombobox->currentIndex()) {
    case 0:
        m_currentPrinter->setActiveExtruder(Kv::Defines::ActiveExtruderAll);
        break;
    case 1:
        m_currentPrinter->setActiveExtruder(Kv::Defines::ActiveExtruderFirst);
        break;
    case 2:
        m_currentPrinter->setActiveExtruder(Kv::Defines::ActiveExtruderSecond);
        break;
    default:
        break;
    }
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
    const QString tTip = ui->pbPrint->toolTip();
    // Stop always ends what the window holds, whatever became of the printer.
    if (tTip == StopTip) {
        stopPrint();
        return;
    }
    if (!checkCurrentPrinter())
        return;
    if (!m_currentPrinter->isPrinting() && tTip == PrintTip) {
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
            if (!kvDialogs::question(
                    QStringLiteral("Filament Settings"), tText, kvDialogs::DefaultNo))
                return;
        }
        ui->pbPrint->setIcon(QIcon(QStringLiteral(":/icons/stop-print-btn.png")));
        ui->pbPrint->setToolTip(StopTip);
        updatePrintControls();
        if (m_printerFile->fileType() == Kv::Defines::FileTypeSTL && !m_printerFile->isSliced())
            sliceFile();
        else
            startPrint();
    }
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
    m_printAfterSlice = true;
    m_printerFile->sliceFile(
        tRotation, tModel->model(), tModel->userTranslation(), placementScale());
}

void kvMainWindow::onPrinterFileGCodeParseComplete(float)
{
    if (!m_currentPrinter || !m_printAfterSlice)
        return;
    m_printAfterSlice = false;
    // Placement or profiles changed while the slicer ran: print what is shown.
    if (ui->pbPrint->toolTip() == StopTip && m_printerFile
        && m_printerFile->fileType() == Kv::Defines::FileTypeSTL && !m_printerFile->isSliced()) {
        log(QStringLiteral("The slice is out of date; slicing again."));
        sliceFile();
        return;
    }
    startPrint();
}

void kvMainWindow::startPrint()
{
    log(QStringLiteral("startPrint"));
    if (ui->pbPrint->toolTip() != StopTip || !m_currentPrinter)
        return;
    m_currentPrinter->setPrinterFile(m_printerFile);
    m_printStarted = true;
    m_currentPrinter->print();
    // Refused by the printer (closed port, nothing to print): its status says why.
    if (!m_currentPrinter->isPrinting() && !m_currentPrinter->isWaitingToPrint()
        && !m_currentPrinter->isPaused()) {
        m_printStarted = false;
        ui->progressBar->setValue(0);
        resetPrintButton();
    }
}

void kvMainWindow::stopPrint()
{
    log(QStringLiteral("stopPrint"));
    m_printStarted = false;
    if (m_printerFile && m_printerFile->isSlicing())
        m_printerFile->killSlice();
    if (m_currentPrinter) {
        m_currentPrinter->killPrint();
        // Stopped, a paused print is over too.
        if (m_currentPrinter->isPaused())
            m_currentPrinter->setIsPaused(false);
    }
    setStatusMessage(QString());
    ui->progressBar->setValue(0);
    resetPrintButton();
}

void kvMainWindow::resetPrintButton()
{
    ui->pbPrint->setIcon(QIcon(QStringLiteral(":/icons/print-btn.png")));
    ui->pbPrint->setToolTip(PrintTip);
    m_gCodeLabel->hide();
    m_gCodeLabel->clear();
    m_timeElapsedLabel->hide();
    m_timeElapsedLabel->clear();
    for (QLabel *tSeparator : qAsConst(m_statusSeparators))
        tSeparator->hide();
    updatePrintControls();
}

void kvMainWindow::onPrintEndedByPrinter()
{
    if (!m_printStarted || !m_currentPrinter || m_currentPrinter->isPrinting()
        || m_currentPrinter->isWaitingToPrint() || m_currentPrinter->isPaused())
        return;
    log(QStringLiteral("The printer ended the print."));
    m_printStarted = false;
    m_printAfterSlice = false;
    setStatusMessage(QString());
    ui->progressBar->setValue(0);
    resetPrintButton();
}

void kvMainWindow::updatePrintControls()
{
    const bool tFree = !isPrintUnderWay();
    ui->printerSelectionComboBox->setEnabled(tFree);
    ui->connectToPrinterButton->setEnabled(tFree);
}

void kvMainWindow::onHeatPrinterClick()
{
    if (!m_currentPrinter)
        return;
    const bool tHeat = !(m_currentPrinter->isHeated() || m_currentPrinter->isHeating());
    if (!tHeat
        && (m_currentPrinter->isPrinting() || m_currentPrinter->isPaused()
            || m_currentPrinter->isWaitingToPrint())
        && !kvDialogs::question(QStringLiteral("Heat Printer"),
            QStringLiteral("You are currently printing a model, are you sure you wish to switch "
                           "the heaters off?"),
            kvDialogs::DefaultNo))
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
        setStatusMessage(QString());
        ui->progressBar->setValue(0);
        // A pause clears printing before it sets paused: judge once the printer's step is done.
        QTimer::singleShot(0, this, &kvMainWindow::onPrintEndedByPrinter);
    }
    updatePrintControls();
}

void kvMainWindow::onPrinterIsWaitingToPrintChanged(kvPrinter *pPrinter, bool pValue)
{
    if (!m_currentPrinter || pPrinter != m_currentPrinter)
        return;
    setStatusMessage(pValue ? QStringLiteral("3D model loaded, waiting to heat up before printing.")
                            : QString());
    if (!pValue)
        onPrintEndedByPrinter();
    updatePrintControls();
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
    if (!m_logger->isCreated())
        m_logger->create();
    ui->optionsMenuLogCreate->setChecked(m_logger->isCreated());
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
