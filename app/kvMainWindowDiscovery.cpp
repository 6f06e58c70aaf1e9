// Printer discovery and selection: the port poll, lost and replugged printers, the
// printer box (each item keyed by its port) and the connect button.
#include "kvMainWindow.h"

#include "kvFirmware.h"
#include "kvGLWindow.h"
#include "kvPlatform.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"
#include "kvSlic3rConfig.h"
#include "kvSliceOptions.h"
#include "ui_kvMainWindow.h"

#include <QSerialPortInfo>

namespace {

kvMainWindow::PortProvider &portProvider()
{
    static kvMainWindow::PortProvider tProvider;
    return tProvider;
}

// The port of a printer box item; the heading has none.
constexpr int PortRole = Qt::UserRole;

const QString NoTemperature = QStringLiteral("0 \u00B0C");

} // namespace

void kvMainWindow::setPortProvider(PortProvider pProvider)
{
    portProvider() = std::move(pProvider);
}

QVector<kvMainWindow::PortInfo> kvMainWindow::availablePorts()
{
    if (portProvider())
        return portProvider()();
    QVector<PortInfo> tPorts;
    const auto tInfos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &tInfo : tInfos)
        tPorts.append({tInfo.systemLocation(), tInfo.portName(), tInfo.isBusy()});
    return tPorts;
}

void kvMainWindow::onPollUSBTimerTick()
{
    removePrinters();
    const QVector<PortInfo> tPorts = availablePorts();
    // A board may reset each time its port opens: an unknown one is left alone until its
    // port disappears. A silent port that comes back is named again.
    for (QStringList *tList : {&m_unknownTypePorts, &m_silentPorts}) {
        for (int i = tList->size() - 1; i >= 0; --i) {
            bool tListed = false;
            for (const PortInfo &tPort : tPorts)
                tListed = tListed || tPort.portName == tList->at(i);
            if (!tListed)
                tList->removeAt(i);
        }
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
    // The print state follows the printer's, and its buttons during a slice.
    connect(
        pPrinter, &kvPrinter::PrintStateChanged, this, &kvMainWindow::onPrinterPrintStateChanged);
    connect(pPrinter, &kvPrinter::ButtonPressed, this, &kvMainWindow::onPrinterButtonPressed);
    connect(pPrinter, &kvPrinter::PrintStopped, this, &kvMainWindow::onPrinterPrintStopped);
}

int kvMainWindow::printerItem(const QString &pPortName) const
{
    if (pPortName.isEmpty())
        return -1;
    const QComboBox *tBox = ui->printerSelectionComboBox;
    for (int i = 1; i < tBox->count(); ++i) {
        if (tBox->itemData(i, PortRole).toString() == pPortName)
            return i;
    }
    return -1;
}

void kvMainWindow::removePrinters()
{
    QComboBox *tBox = ui->printerSelectionComboBox;
    while (!m_printersToRemove.isEmpty()) {
        kvPrinter *tPrinter = m_printersToRemove.takeFirst();
        const int tItem = printerItem(tPrinter->serialPortName());
        if (tItem > 0)
            tBox->removeItem(tItem);
        if (tBox->count() == 1)
            tBox->setItemText(0, QStringLiteral("Searching for printers..."));
        // A timed-out printer that was chosen meanwhile must not be left dangling.
        if (m_currentPrinter == tPrinter) {
            m_currentPrinter = nullptr;
            clearReadOuts();
        }
        delete tPrinter;
    }
}

void kvMainWindow::onPrinterConnectionTimeOut(kvPrinter *pPrinter)
{
    const QString tType = pPrinter->machineType();
    const QString tPort = pPrinter->serialPortName();
    // A reply without a machine type still named its firmware.
    const bool tAnswered = !pPrinter->firmware()->MachineTypeOrName().isEmpty();
    if (tAnswered && !kvPrinter::getPrinterSettings(tType) && !m_unknownTypePorts.contains(tPort))
        m_unknownTypePorts.append(tPort);
    // Said once per port while searching; a printer that gave its own reason (a port it
    // cannot open) keeps it, and the chosen printer has its own texts.
    if (!tAnswered && m_pollUSBTimer.isActive() && pPrinter != m_currentPrinter
        && pPrinter->statusString().isEmpty() && !m_silentPorts.contains(tPort)) {
        m_silentPorts.append(tPort);
        setStatusMessage(QStringLiteral("Nothing identified itself on ")
            + pPrinter->serialPortPath() + QStringLiteral("; still searching."));
    }
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
        if (printerItem(tPort) < 0) {
            tBox->addItem(
                pPrinter->name() + QStringLiteral(" (") + tPort + QStringLiteral(")"), tPort);
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
        // Unplugged: discovery looks for it again.
        if (pPrinter == m_currentPrinter && !isPortListed(pPrinter->serialPortName()))
            dropLostPrinter(pPrinter);
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
    // The printer has ended its own print; a slice for it is of no use now.
    if (isPrintUnderWay())
        endPrintForWindow(QStringLiteral("printer lost"));
    m_currentPrinter = nullptr;
    m_printers.removeOne(pPrinter);
    // Deleted by the next poll, outside the printer's own signal.
    if (!m_printersToRemove.contains(pPrinter))
        m_printersToRemove.append(pPrinter);
    ui->printerSelectionComboBox->setCurrentIndex(0);
    clearReadOuts();
    updatePrintControls();
    if (!m_pollUSBTimer.isActive())
        m_pollUSBTimer.start(1000);
}

void kvMainWindow::clearReadOuts()
{
    for (QLabel *tLabel : {ui->extruder0TempLabel, ui->extruder0DesiredTempLabel,
             ui->extruder1TempLabel, ui->extruder1DesiredTempLabel, ui->lBedTemp, ui->lBedTemp_2})
        tLabel->setText(NoTemperature);
}

kvPrinter *kvMainWindow::getPrinterFromCombo() const
{
    const QString tPort = ui->printerSelectionComboBox->currentData(PortRole).toString();
    if (tPort.isEmpty())
        return nullptr;
    for (kvPrinter *tPrinter : m_printers) {
        if (tPrinter->serialPortName() == tPort)
            return tPrinter;
    }
    return nullptr;
}

void kvMainWindow::onPrinterSelectionTextChanged(QString pString)
{
    log(QStringLiteral("onPrinterSelectionTextChanged(QString pString)"));
    if (isPrintUnderWay()) {
        // The print stays with its printer; the box shows that printer again.
        const int tIndex = m_currentPrinter ? printerItem(m_currentPrinter->serialPortName()) : -1;
        if (tIndex >= 0)
            ui->printerSelectionComboBox->setCurrentIndex(tIndex);
        setStatusMessage(QStringLiteral("Stop the print before choosing another printer."));
        return;
    }
    const QString tPort = ui->printerSelectionComboBox->currentData(PortRole).toString();
    kvPrinter *tPrinter = Kv::Platform::isSelectablePort(tPort) && pString.contains(tPort)
        ? getPrinterFromCombo()
        : nullptr;
    if (!tPrinter) {
        if (m_currentPrinter)
            clearReadOuts();
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
