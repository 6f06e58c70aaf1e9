// The printer types table; construction, connection, handshake and identification;
// time-outs and a lost device.
#include "kvPrinter.h"

#include "kvFirmware.h"
#include "kvHelpers.h"
#include "kvLogger.h"
#include "kvLogging.h"
#include "kvPlatform.h"
#include "kvPrinterConfig.h"
#include "kvPrinterFile.h"
#include "kvPrinterZOffsetCalibration.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QTextStream>
#include <QTimer>

#include <cmath>

QVector<kvPrinterSettings *> kvPrinter::PrinterTypes;

namespace {

int readInt(const QString &pText)
{
    bool tOk = false;
    const int tValue = pText.trimmed().toInt(&tOk);
    return tOk ? tValue : 0;
}

// The quoted profile name of a line like key="name": drops "=", the opening and the
// closing quote.
QString readProfileName(const QString &pLine, int pEquals)
{
    const int tStart = pEquals + 2;
    const int tLength = pLine.size() - 1 - tStart;
    if (tLength <= 0) {
        return QString();
    }
    return pLine.mid(tStart, tLength).trimmed();
}

} // namespace

void kvPrinter::loadPrinterTypes(const QString &pPath)
{
    const QString tPath = pPath.isEmpty()
        ? QCoreApplication::applicationDirPath() + QStringLiteral("/kvPrinterSettings.ini")
        : pPath;
    QFile tFile(tPath);
    if (!tFile.open(QIODevice::ReadOnly)) {
        return;
    }

    // QTextStream takes "\n" and "\r\n" as line ends.
    QTextStream tStream(&tFile);
    tStream.setCodec("UTF-8");

    // The working bed size carries over from one entry to the next.
    float tX = 0.0f;
    float tY = 0.0f;
    float tZ = 0.0f;
    kvPrinterSettings *tCurrent = nullptr;

    QString tLine;
    while (tStream.readLineInto(&tLine)) {
        if (tLine.startsWith(QLatin1Char('['))) {
            tCurrent = new kvPrinterSettings();
            tCurrent->setFirmwareName(
                tLine.size() >= 2 ? tLine.mid(1, tLine.size() - 2) : QString());
            PrinterTypes.append(tCurrent);
            continue;
        }
        if (!tCurrent) {
            continue;
        }

        const int tEquals = tLine.indexOf(QLatin1Char('='));
        const QString tValue = tLine.mid(tEquals + 1);
        if (tLine.contains(QLatin1String("name"))) {
            tCurrent->setPrinterName(tValue);
        } else if (tLine.contains(QLatin1String("bedX"))) {
            tX = Kv::floatFromText(tValue);
        } else if (tLine.contains(QLatin1String("bedY"))) {
            tY = Kv::floatFromText(tValue);
        } else if (tLine.contains(QLatin1String("bedZ"))) {
            tZ = Kv::floatFromText(tValue);
            tCurrent->setBedSize(kvVector3D(tX, tY, tZ));
        } else if (tLine.contains(QLatin1String("probe"))) {
            tCurrent->setProbe(Kv::Defines::kvPrinterProbe(readInt(tValue)));
        } else if (tLine.contains(QLatin1String("slic3r_printer"))) {
            tCurrent->setSlic3rPrinterSetting(readProfileName(tLine, tEquals));
        } else if (tLine.contains(QLatin1String("slic3r_filament"))) {
            tCurrent->setSlic3rFilamentSetting(readProfileName(tLine, tEquals));
            tCurrent = nullptr;
        }
    }
}

kvPrinterSettings *kvPrinter::getPrinterSettings(const QString &pMachineType)
{
    const QString tType
        = pMachineType == QLatin1String("Mendel") ? QStringLiteral("Repetier_0.83") : pMachineType;
    for (kvPrinterSettings *tEntry : qAsConst(PrinterTypes)) {
        if (tEntry->firmwareName() == tType) {
            return tEntry;
        }
    }
    return nullptr;
}

void kvPrinter::clearPrinterTypes()
{
    while (!PrinterTypes.isEmpty()) {
        delete PrinterTypes.takeLast();
    }
}

namespace {

const char *errorSentence(QSerialPort::SerialPortError pError)
{
    switch (pError) {
    case QSerialPort::NoError:
        return "No error occurred.";
    case QSerialPort::DeviceNotFoundError:
        return "An error occurred while attempting to open an non-existing device.";
    case QSerialPort::PermissionError:
        return "An error occurred while attempting to open an already opened device by another "
               "process or a user not having enough permission and credentials to open.";
    case QSerialPort::OpenError:
        return "An error occurred while attempting to open an already opened device in this "
               "object.";
    case QSerialPort::ParityError:
        return "Parity error detected by the hardware while reading data.";
    case QSerialPort::FramingError:
        return "Framing error detected by the hardware while reading data.";
    case QSerialPort::BreakConditionError:
        return "Break condition detected by the hardware on the input line.";
    case QSerialPort::WriteError:
        return "An I/O error occurred while writing the data.";
    case QSerialPort::ReadError:
        return "An I/O error occurred while reading the data.";
    case QSerialPort::ResourceError:
        return "An I/O error occurred when a resource becomes unavailable, e.g. when the device "
               "is unexpectedly removed from the system.";
    case QSerialPort::UnsupportedOperationError:
        return "The requested device operation is not supported or prohibited by the running "
               "operating system.";
    case QSerialPort::UnknownError:
        return "An unidentified error occurred.";
    case QSerialPort::TimeoutError:
        return "A timeout error occurred. This value was introduced in QtSerialPort 5.2.";
    case QSerialPort::NotOpenError:
        return "This error occurs when an operation is executed that can only be successfully "
               "performed if the device is open. This value was introduced in QtSerialPort 5.2.";
    }
    return "Unknown.";
}

// How long closing the port waits for commands still queued to go out.
constexpr int FlushTimeoutMs = 1000;

} // namespace

kvPrinter::kvPrinter(QString pPortName, QObject *pParent)
    : QObject(pParent)
    , m_portPath(pPortName)
    , m_clock(&kvPrinter::monotonicNow)
{
    m_serialPort.setPortName(pPortName);
    m_serialPort.setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    m_serialPort.setDataBits(QSerialPort::Data8);
    m_serialPort.setParity(QSerialPort::NoParity);
    m_serialPort.setStopBits(QSerialPort::OneStop);
    m_serialPort.setFlowControl(QSerialPort::NoFlowControl);
    connect(&m_serialPort, &QSerialPort::readyRead, this, &kvPrinter::onSerialReadData);
    connect(&m_serialPort, &QSerialPort::errorOccurred, this, &kvPrinter::onSerialError);
    connect(&m_serialPort, &QObject::destroyed, this, &kvPrinter::onSerialDestroyed);

    m_firmware = new kvFirmware(this);
    connect(m_firmware, &kvFirmware::ExtruderCountUpdated, this,
        &kvPrinter::onFirmwareExtruderCountUpdated);
    connect(m_firmware, &kvFirmware::MachineTypeUpdated, this,
        &kvPrinter::onFirmwareMachineTypeUpdated);

    auto tMakeTimer = [this](int pInterval) {
        auto *tTimer = new QTimer(this);
        tTimer->setInterval(pInterval);
        tTimer->setSingleShot(false);
        return tTimer;
    };
    m_checkHeatTimer = tMakeTimer(HeatCheckIntervalMs);
    connect(m_checkHeatTimer, &QTimer::timeout, this, [this] { onCheckHeatTimerTick(false); });
    m_connectTimeOutTimer = tMakeTimer(10000);
    connect(m_connectTimeOutTimer, &QTimer::timeout, this, &kvPrinter::onConnectTimeOutTimerTick);
    m_waitingResponseTimer = tMakeTimer(5000);
    connect(
        m_waitingResponseTimer, &QTimer::timeout, this, &kvPrinter::onWaitingResponseTimerTimeout);
    m_printingStatusTimer = tMakeTimer(1000);
    connect(m_printingStatusTimer, &QTimer::timeout, this, &kvPrinter::onUpdatePrintingStatus);

    m_placeholderSettings = new kvPrinterSettings(this);
    m_printerSettings = m_placeholderSettings;
}

kvPrinter::~kvPrinter()
{
    // The port is a member: its signals must not reach a printer being destroyed.
    disconnect(&m_serialPort, nullptr, this, nullptr);
    m_logger = nullptr;
    m_printerSettings = m_placeholderSettings;

    if (m_printerFile) {
        disconnect(m_printerFile, nullptr, this, nullptr);
    }
    const auto tOwnFiles = findChildren<kvPrinterFile *>(QString(), Qt::FindDirectChildrenOnly);
    for (kvPrinterFile *tFile : tOwnFiles) {
        disconnect(tFile, nullptr, this, nullptr);
        delete tFile;
    }

    delete m_printerConfig;
    m_printerConfig = nullptr;
    delete m_zOffsetCalibration;
    m_zOffsetCalibration = nullptr;

    delete m_firmware;
    m_firmware = nullptr;
    // The last lines go out while the watchdog still exists; no timer fires meanwhile.
    closePort();
    delete m_checkHeatTimer;
    delete m_connectTimeOutTimer;
    delete m_waitingResponseTimer;
    delete m_printingStatusTimer;
    m_checkHeatTimer = m_connectTimeOutTimer = m_waitingResponseTimer = m_printingStatusTimer
        = nullptr;
}

// ---- Connection, handshake and identification

void kvPrinter::setClock(Clock pClock)
{
    m_clock = pClock ? std::move(pClock) : Clock(&kvPrinter::monotonicNow);
}

qint64 kvPrinter::monotonicNow()
{
    QElapsedTimer tTimer;
    tTimer.start();
    return tTimer.msecsSinceReference();
}

void kvPrinter::setConnectTimeOutInterval(int pMilliseconds)
{
    m_connectTimeOutTimer->setInterval(pMilliseconds);
}

void kvPrinter::connectToPrinter()
{
    if (m_portPath.isEmpty()) {
        printerDebug(QStringLiteral("connectToPrinter: no port name"));
        return;
    }
    // A second identification would reset the targets and write the EEPROM mid-print.
    if (m_printState != PrintState::Idle) {
        setStatusString(QStringLiteral("The printer is busy with a print; it is not identified "
                                       "again until the print is stopped."));
        return;
    }

    if (!m_serialPort.isOpen()) {
        m_readBuffer.clear();
        forgetOutgoing();
        m_closing = false;
        m_serialPort.setPortName(m_portPath);
        if (!m_serialPort.open(QIODevice::ReadWrite)) {
            qCDebug(lcPrinter) << m_serialPort.errorString();
            if (m_serialPort.error() == QSerialPort::PermissionError) {
                setStatusString(Kv::Platform::serialPortOpenProblem(m_portPath));
            }
        }
    }

    if (!m_serialPort.isOpen()) {
        printerDebug(QStringLiteral("connectToPrinter: port not open"));
    } else {
        sendCommandToPrinter(QStringLiteral("M115"));
    }
    m_connectTimeOutTimer->start();
}

void kvPrinter::disconnectFromPrinter()
{
    printerDebug(QStringLiteral("disconnectFromPrinter"));
    // A printer left alone does not keep its heaters on, whichever window turned them on.
    if (m_isHeating || m_isHeated || m_bedToldToHeat || m_extruderToldToHeat.contains(true)) {
        heatPrinter(false);
    }
    if (fire(PrintEvent::LostPort)) {
        setStatusString(QStringLiteral("Disconnected from the printer on ") + m_portPath
            + QStringLiteral("; the print was stopped."));
    }
    // From here on nothing read is dispatched: a late reply must not identify it again.
    m_closing = m_serialPort.isOpen();
    setIsConnected(false);
    clearReadings();
    closePort();
    m_checkHeatTimer->stop();
    m_connectTimeOutTimer->stop();
    if (m_printerConfig) {
        m_printerConfig->close();
    }
    if (m_zOffsetCalibration) {
        m_zOffsetCalibration->close();
    }
}

void kvPrinter::closePort()
{
    if (m_serialPort.isOpen()) {
        m_closing = true;
        // Commands still queued (heaters off) go out one per "ok" as usual; a firmware that
        // does not answer in time gets the rest at once.
        QElapsedTimer tWait;
        tWait.start();
        while (!m_outgoing.isEmpty() && tWait.elapsed() < FlushTimeoutMs) {
            if (m_unacknowledged == 0) {
                writeLine(m_outgoing.dequeue());
                continue;
            }
            const bool tRead = m_serialPort.waitForReadyRead(
                int(qMax<qint64>(1, FlushTimeoutMs - tWait.elapsed())));
            if (!m_serialPort.isOpen()) {
                break;
            }
            onSerialReadData();
            if (!tRead) {
                break;
            }
        }
        while (!m_outgoing.isEmpty() && m_serialPort.isOpen()) {
            writeLine(m_outgoing.dequeue());
        }
        // Commands just written still have to reach the printer.
        while (m_serialPort.isOpen() && m_serialPort.bytesToWrite() > 0
            && tWait.elapsed() < 2 * FlushTimeoutMs) {
            if (!m_serialPort.waitForBytesWritten(int(2 * FlushTimeoutMs - tWait.elapsed()))) {
                break;
            }
        }
        m_serialPort.close();
    }
    m_readBuffer.clear();
    forgetOutgoing();
    m_closing = false;
}

void kvPrinter::forgetOutgoing()
{
    m_notAnswering = false;
    m_outgoing.clear();
    m_unacknowledged = 0;
    m_waitingResponseTimer->stop();
}

void kvPrinter::setIsConnected(bool pValue)
{
    m_isConnected = pValue;
    emit IsConnectedChanged(this, pValue);
    updateWindows();
}

QString kvPrinter::name() const
{
    return m_printerSettings ? m_printerSettings->printerName() : QString();
}

QString kvPrinter::machineType() const
{
    return m_firmware ? m_firmware->MachineType() : QString();
}

QVector2D kvPrinter::bedCenter() const
{
    const kvVector3D tBed = m_printerSettings ? m_printerSettings->bedSize() : kvVector3D();
    return QVector2D(tBed.x() * 0.5f, tBed.y() * 0.5f);
}

void kvPrinter::sendCommandToPrinter(QString pCommand)
{
    if (!canSend()) {
        return;
    }
    m_outgoing.enqueue({pCommand.trimmed(), m_queueingPrint});
    sendNextLine();
}

void kvPrinter::writeLine(const Outgoing &pLine)
{
    const QString &tCommand = pLine.text;
    printerDebug(QStringLiteral("sendCommandToPrinter: ") + tCommand);
    setPrinterCommand(tCommand);
    // A line of a file goes out as the file's bytes.
    QByteArray tBytes = kvGCode::lineBytes(tCommand);
    tBytes.append('\n');
    m_serialPort.write(tBytes);
    // A firmware answers every line that holds a command with one "ok"; blank and
    // comment-only lines get none.
    if (!tCommand.isEmpty() && tCommand.at(0) != QLatin1Char(';')) {
        if (m_unacknowledged == 0) {
            m_waitingSince = m_clock();
            m_waitingResponseTimer->start();
        }
        ++m_unacknowledged;
        m_lastWritten = tCommand;
        m_lastWrittenOfPrint = pLine.ofPrint;
    }
}

void kvPrinter::sendNextLine()
{
    while (m_unacknowledged == 0 && canSend()) {
        if (!m_outgoing.isEmpty()) {
            writeLine(m_outgoing.dequeue());
            continue;
        }
        // The print goes on: its next line, or a temperature check when one is due.
        if (!isPrinting() || !m_isConnected || !m_printerFile) {
            return;
        }
        const QScopedValueRollback<bool> tOfPrint(m_queueingPrint, true);
        if (getHeatTimerDelta() >= HeatCheckIntervalMs) {
            printerDebug(QStringLiteral("OnReadSerial: ok returned but time to check the temp"));
            onCheckHeatTimerTick(false);
        } else {
            printerDebug(QStringLiteral("OnReadSerial: ok returned send next command"));
            sendQueuedGCode();
        }
        if (m_outgoing.isEmpty() && m_unacknowledged == 0) {
            return;
        }
    }
}

void kvPrinter::acknowledge(int pCount)
{
    m_unacknowledged = qMax(0, m_unacknowledged - pCount);
    if (m_unacknowledged == 0) {
        m_waitingResponseTimer->stop();
    }
}

namespace {

// Waits, homing, probing, levelling, calibrations, nozzle cleaning and filament loads may keep
// a firmware silent for minutes. A word may follow the command's number without a blank
// ("G28X0").
bool keepsSilent(const QString &pLine)
{
    static const QRegularExpression tBlocking(
        QStringLiteral("^(M0|M1|M48|M109|M116|M190|M191|M226|M303|M400|M600|M701|M702|G4|G12|"
                       "G28|G29|G30|G33|G34|G35|G76|G80)(?![0-9])"),
        QRegularExpression::CaseInsensitiveOption);
    return tBlocking.match(pLine).hasMatch();
}

} // namespace

qint64 kvPrinter::silenceMs() const
{
    if (m_unacknowledged == 0 || m_closing || !m_serialPort.isOpen() || !m_waitingSince
        || keepsSilent(m_lastWritten)) {
        return -1;
    }
    return m_clock() - *m_waitingSince;
}

bool kvPrinter::goOnAfterSilence()
{
    if (silenceMs() < LostOkMs) {
        return false;
    }
    // Otherwise its "ok" was lost: the link goes on rather than hold the print and the
    // commands behind it (the heaters off among them) for ever.
    printerDebug(QStringLiteral("goOnAfterSilence: no answer to ") + m_lastWritten);
    if (!m_notAnswering) {
        setStatusString(QStringLiteral("The printer did not answer \"") + m_lastWritten
            + QStringLiteral("\" for 30 seconds; going on."));
    }
    m_unacknowledged = 0;
    m_waitingResponseTimer->stop();
    sendNextLine();
    return true;
}

void kvPrinter::noteSilence()
{
    // The link's time-out, as for the handshake.
    if (m_notAnswering || !m_isConnected
        || silenceMs() < qint64(m_connectTimeOutTimer->interval())) {
        return;
    }
    // Its last temperatures are not shown as if live.
    m_notAnswering = true;
    printerDebug(QStringLiteral("noteSilence: no answer to ") + m_lastWritten);
    clearReadings();
    setStatusString(
        QStringLiteral("The printer on ") + m_portPath + QStringLiteral(" does not answer."));
}

void kvPrinter::clearReadings()
{
    setBedTemp(0.0f);
    for (int i = 0; i < extruderCount(); ++i) {
        setExtruderTemp(i, 0.0f);
    }
}

void kvPrinter::noteHeard()
{
    if (!m_notAnswering) {
        return;
    }
    m_notAnswering = false;
    setStatusString(
        QStringLiteral("The printer on ") + m_portPath + QStringLiteral(" answers again."));
}

void kvPrinter::printerDebug(QString pMessage)
{
    if (!m_logger || !m_logger->isCreated()) {
        return;
    }
    QString tLine = name() + QStringLiteral(" (")
        + (m_serialPort.isOpen() ? m_serialPort.portName() : QStringLiteral("N/A"))
        + QStringLiteral("): ") + pMessage.trimmed();
    if (!tLine.startsWith(QLatin1String("kvPrinter::"))) {
        tLine.prepend(QLatin1String("kvPrinter::"));
    }
    m_logger->log(tLine);
}

void kvPrinter::sendStatusChanged(QString pStatus)
{
    printerDebug(pStatus);
    m_statusString = pStatus;
    emit StatusChanged(this, pStatus);
}

void kvPrinter::setStatusString(QString pStatus)
{
    printerDebug(pStatus);
    sendStatusChanged(pStatus);
    updateWindows();
}

void kvPrinter::setDebugLevel(int pLevel)
{
    sendCommandToPrinter(QStringLiteral("M111 ") + QString::number(pLevel));
}

void kvPrinter::parseFirmware(QString pResponse)
{
    printerDebug(QStringLiteral("parseFirmware Parseing Firmware. ") + pResponse);
    m_firmware->parseM115Reply(pResponse);
    onFirmwareExtruderCountUpdated();
    onFirmwareMachineTypeUpdated();
}

void kvPrinter::onFirmwareExtruderCountUpdated()
{
    m_extruderTemps.clear();
    m_desiredExtruderTemps.clear();
    m_extruderSetTemps.clear();
    m_extruderTurnOffAfterPrint.clear();
    m_extruderToldToHeat.clear();
    const float tCount = m_firmware->ExtruderCount();
    if (tCount > 0.0f) {
        const int tEntries = int(std::ceil(tCount));
        m_extruderTemps.fill(0.0f, tEntries);
        m_desiredExtruderTemps.fill(0.0f, tEntries);
        m_extruderSetTemps.fill(0.0f, tEntries);
        m_extruderTurnOffAfterPrint.fill(true, tEntries);
        m_extruderToldToHeat.fill(false, tEntries);
    }
    updateDesiredTemps();
}

void kvPrinter::onFirmwareMachineTypeUpdated()
{
    kvPrinterSettings *tSettings = getPrinterSettings(m_firmware->MachineType());
    if (!tSettings) {
        printerDebug(QStringLiteral("printer not found"));
        const QString tStatus = QStringLiteral("Unknown printer type ")
            + m_firmware->MachineTypeOrName() + QStringLiteral(" on ") + m_portPath
            + QStringLiteral(".");
        if (m_statusString != tStatus) {
            setStatusString(tStatus);
        }
    } else {
        m_printerSettings = tSettings;
        if (isTovraType()) {
            sendCommandToPrinter(QStringLiteral("M203 E3.0"));
            sendCommandToPrinter(QStringLiteral("M92 E105"));
            sendCommandToPrinter(QStringLiteral("M500"));
        }
        setDebugLevel(6);
        setIsConnected(true);
        startCheckHeatTimer();
        m_connectTimeOutTimer->stop();
    }
    if (!m_isConnected) {
        printerDebug(QStringLiteral("Unknown printer!"));
    }
}
void kvPrinter::onConnectTimeOutTimerTick()
{
    printerDebug(QStringLiteral("onConnectTimeOutTimerTick"));
    m_checkHeatTimer->stop();
    m_connectTimeOutTimer->stop();
    if (fire(PrintEvent::TimeOut)) {
        setStatusString(QStringLiteral("The printer on ") + m_portPath
            + QStringLiteral(" did not answer; the print was stopped."));
    }
    // A printer that does not answer is not waited for.
    forgetOutgoing();
    closePort();
    if (m_isConnected) {
        setIsConnected(false);
    }
    emit ConnectionTimeOut(this);
}

void kvPrinter::onSerialError(QSerialPort::SerialPortError pError)
{
    printerDebug(QStringLiteral("onSerialError: ") + QLatin1String(errorSentence(pError)));
    // A device that went away keeps reporting errors until the port is closed.
    if ((pError == QSerialPort::ResourceError || pError == QSerialPort::ReadError)
        && m_serialPort.isOpen() && !m_deviceLost) {
        m_deviceLost = true;
        QMetaObject::invokeMethod(
            this, [this] { handleDeviceLost(); }, Qt::QueuedConnection);
    }
}

void kvPrinter::handleDeviceLost()
{
    m_deviceLost = false;
    if (!m_serialPort.isOpen()) {
        return;
    }
    printerDebug(QStringLiteral("handleDeviceLost"));
    m_serialPort.clearError();
    m_serialPort.close();
    m_readBuffer.clear();
    forgetOutgoing();
    // The connection time-out runs on: a port lost while it identifies itself times out as
    // any probe does, so that discovery drops it and looks at the port again when it comes
    // back.
    m_checkHeatTimer->stop();

    const bool tHadPrint = fire(PrintEvent::LostPort);
    setIsHeating(false);
    setIsHeated(false);
    setIsConnected(false);
    clearReadings();
    setStatusString(QStringLiteral("Lost the connection to the printer on ") + m_portPath
        + (tHadPrint ? QStringLiteral("; the print was stopped.") : QStringLiteral(".")));
}

void kvPrinter::onSerialDestroyed()
{
    printerDebug(QStringLiteral("onSerialDestroyed"));
}
