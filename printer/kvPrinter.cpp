#include "kvPrinter.h"

#include "kvFirmware.h"
#include "kvGCode.h"
#include "kvHelpers.h"
#include "kvLogger.h"
#include "kvPlatform.h"
#include "kvPrinterConfig.h"
#include "kvPrinterFile.h"
#include "kvPrinterZOffsetCalibration.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

QVector<kvPrinterSettings *> kvPrinter::PrinterTypes;

namespace {

// A decimal number in the C locale; 0 for anything else, infinities and NaN included.
float readFloat(const QString &pText)
{
    bool tOk = false;
    const float tValue = pText.trimmed().toFloat(&tOk);
    return (tOk && std::isfinite(tValue)) ? tValue : 0.0f;
}

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
            tX = readFloat(tValue);
        } else if (tLine.contains(QLatin1String("bedY"))) {
            tY = readFloat(tValue);
        } else if (tLine.contains(QLatin1String("bedZ"))) {
            tZ = readFloat(tValue);
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

// Numbers on the wire: up to six significant digits, shortest form (215, 0.5, -75).
QString number(float pValue)
{
    return QString::number(double(pValue), 'g', 6);
}

QString flagText(bool pValue)
{
    return pValue ? QStringLiteral("true") : QStringLiteral("false");
}

QString axisLetter(Kv::Defines::kvCoordinate pAxis)
{
    switch (pAxis) {
    case Kv::Defines::CoordinateX:
        return QStringLiteral("X");
    case Kv::Defines::CoordinateY:
        return QStringLiteral("Y");
    case Kv::Defines::CoordinateZ:
        return QStringLiteral("Z");
    default:
        return QString();
    }
}

// A number that is not one reads as 0.
float readNumber(const QString &pText)
{
    bool tOk = false;
    const float tValue = pText.trimmed().toFloat(&tOk);
    return (tOk && std::isfinite(tValue)) ? tValue : 0.0f;
}

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

// A reply fragment without a line end is given up as a response past this size.
constexpr int MaxFragmentBytes = 64 * 1024;
// How long closing the port waits for commands still queued to go out.
constexpr int FlushTimeoutMs = 1000;

const char *const HeatingStatus
    = "Heating printer. Print will start when printer is heated to correct temperature.";

} // namespace

kvPrinter::kvPrinter(QString pPortName, QObject *pParent)
    : QObject(pParent)
    , m_portPath(pPortName)
    , m_clock([] { return QDateTime::currentDateTimeUtc(); })
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
    delete m_checkHeatTimer;
    delete m_connectTimeOutTimer;
    delete m_waitingResponseTimer;
    delete m_printingStatusTimer;
    m_checkHeatTimer = m_connectTimeOutTimer = m_waitingResponseTimer = m_printingStatusTimer
        = nullptr;
    closePort();
}

// ---- Connection, handshake and identification

void kvPrinter::setClock(std::function<QDateTime()> pClock)
{
    m_clock = pClock ? std::move(pClock) : [] { return QDateTime::currentDateTimeUtc(); };
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

    if (!m_serialPort.isOpen()) {
        m_readBuffer.clear();
        m_serialPort.setPortName(m_portPath);
        if (!m_serialPort.open(QIODevice::ReadWrite)) {
            qDebug() << m_serialPort.errorString();
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
    setIsConnected(false);
    setBedTemp(0.0f);
    for (int i = 0; i < extruderCount(); ++i) {
        setExtruderTemp(i, 0.0f);
    }
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
        // Commands just written (heaters off) still have to reach the printer.
        QElapsedTimer tWait;
        tWait.start();
        while (m_serialPort.bytesToWrite() > 0 && tWait.elapsed() < FlushTimeoutMs) {
            if (!m_serialPort.waitForBytesWritten(int(FlushTimeoutMs - tWait.elapsed()))) {
                break;
            }
        }
        m_serialPort.close();
    }
    m_readBuffer.clear();
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
    if (!m_serialPort.isOpen()) {
        return;
    }
    const QString tCommand = pCommand.trimmed();
    printerDebug(QStringLiteral("sendCommandToPrinter: ") + tCommand);
    setPrinterCommand(tCommand);
    QByteArray tBytes = tCommand.toUtf8();
    tBytes.append('\n');
    m_serialPort.write(tBytes);
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

void kvPrinter::onSerialReadData()
{
    QByteArray tData = m_serialPort.readAll();
    tData.resize(int(std::remove(tData.begin(), tData.end(), '\0') - tData.begin()));
    m_readBuffer.append(tData);

    // Complete lines of this read are one response; a trailing fragment waits for its end.
    const int tEnd = m_readBuffer.lastIndexOf('\n');
    QByteArray tResponse;
    if (tEnd >= 0) {
        tResponse = m_readBuffer.left(tEnd + 1);
        m_readBuffer.remove(0, tEnd + 1);
    } else if (m_readBuffer.size() > MaxFragmentBytes) {
        tResponse.swap(m_readBuffer);
    } else {
        return;
    }
    handleResponse(QString::fromUtf8(tResponse));
}

void kvPrinter::handleResponse(const QString &pResponse)
{
    m_waitingResponseTimer->stop();
    m_silenceReported = false;
    printerDebug(QStringLiteral("kvPrinter::onReadData(") + m_serialPort.portName()
        + QStringLiteral("): ") + pResponse);
    setPrinterResponse(pResponse.trimmed());

    handleZOffsetCalibration(pResponse);
    handleEEPROMSettings(pResponse);

    // A firmware that restarts says "start" on a line of its own.
    if (pResponse.contains(QLatin1String("start"))) {
        const QStringList tLines = pResponse.split(QLatin1Char('\n'));
        for (const QString &tLine : tLines) {
            if (tLine.trimmed() == QLatin1String("start")) {
                handlePrinterReset();
                break;
            }
        }
    }

    if (isTemperatureString(pResponse)) {
        parseHeatResponse(pResponse);
    } else if (pResponse.contains(QLatin1String("HVT100"))
        || pResponse.contains(QLatin1String("HVT102"))
        || pResponse.contains(QLatin1String("HVT103"))
        || pResponse.contains(QLatin1String("HVT101"))) {
        parseHalvarnTovraResponse(pResponse);
    } else if (pResponse.contains(QLatin1String("FIRMWARE_NAME"))) {
        parseFirmware(pResponse);
    } else if (m_isPrinting && pResponse.contains(QLatin1String("ok"))
        && !pResponse.contains(QLatin1String("FIRMWARE"))
        && !pResponse.contains(QLatin1String("B@"))) {
        if (getHeatTimerDelta() >= HeatCheckIntervalMs) {
            printerDebug(QStringLiteral("OnReadSerial: ok returned but time to check the temp"));
            onCheckHeatTimerTick(false);
        } else {
            printerDebug(QStringLiteral("OnReadSerial: ok returned send next command"));
            sendQueuedGCode();
        }
    }
}

void kvPrinter::handlePrinterReset()
{
    printerDebug(QStringLiteral("handlePrinterReset: the printer restarted"));
    if (!m_isConnected) {
        // A board that resets when the port opens misses the first handshake.
        if (m_connectTimeOutTimer->isActive()) {
            sendCommandToPrinter(QStringLiteral("M115"));
        }
        return;
    }
    const bool tHadPrint = m_isPrinting || m_isPaused || m_isWaitingToPrint;
    m_waitingResponseTimer->stop();
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
    // The firmware forgot its heater targets.
    setIsHeating(false);
    if (m_printerFile) {
        m_printerFile->resetQueue();
    }
    if (!m_checkHeatTimer->isActive()) {
        m_checkHeatTimer->start();
    }
    setStatusString(tHadPrint ? QStringLiteral("The printer restarted; the print was stopped.")
                              : QStringLiteral("The printer restarted."));
}

void kvPrinter::onConnectTimeOutTimerTick()
{
    printerDebug(QStringLiteral("onConnectTimeOutTimerTick"));
    m_checkHeatTimer->stop();
    m_connectTimeOutTimer->stop();
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
    m_checkHeatTimer->stop();
    m_connectTimeOutTimer->stop();
    m_waitingResponseTimer->stop();
    m_printingStatusTimer->stop();

    const bool tHadPrint = m_isPrinting || m_isPaused || m_isWaitingToPrint;
    if (m_isPrinting) {
        setIsPrinting(false);
    }
    if (m_isPaused) {
        setIsPaused(false);
    }
    if (m_isWaitingToPrint) {
        setIsWaitingToPrint(false);
    }
    setIsHeating(false);
    setIsHeated(false);
    if (m_printerFile) {
        m_printerFile->resetQueue();
    }
    setIsConnected(false);
    setBedTemp(0.0f);
    for (int i = 0; i < extruderCount(); ++i) {
        setExtruderTemp(i, 0.0f);
    }
    setStatusString(QStringLiteral("Lost the connection to the printer on ") + m_portPath
        + (tHadPrint ? QStringLiteral("; the print was stopped.") : QStringLiteral(".")));
}

void kvPrinter::onSerialDestroyed()
{
    printerDebug(QStringLiteral("onSerialDestroyed"));
}

// ---- Temperatures and heating

bool kvPrinter::isTemperatureString(const QString &pResponse)
{
    return pResponse.contains(QLatin1String("T:")) && !pResponse.contains(QLatin1String("COUNT"))
        && (pResponse.contains(QLatin1String("B@"))
            || (pResponse.contains(QLatin1String("B:"))
                && pResponse.contains(QLatin1String("@:"))));
}

bool kvPrinter::isWatched(int pExtruder) const
{
    switch (m_activeExtruder) {
    case Kv::Defines::ActiveExtruderFirst:
        return pExtruder == 0;
    case Kv::Defines::ActiveExtruderSecond:
        return pExtruder == 1;
    default:
        return true;
    }
}

bool kvPrinter::isTovraType() const
{
    return m_printerSettings
        && m_printerSettings->firmwareName().toUpper().contains(QLatin1String("TOVRA"));
}

void kvPrinter::parseHeatResponse(QString pResponse)
{
    printerDebug(QStringLiteral("kvPrinter::parseHeatResponse"));

    QStringList tTokens {QStringLiteral("T:"), QStringLiteral("B:")};
    for (int i = 0; i < extruderCount(); ++i) {
        tTokens.append(QStringLiteral("T%1:").arg(i));
    }
    tTokens.append(QStringLiteral("@:"));
    tTokens.append(QStringLiteral("B@:"));

    for (const QString &tToken : qAsConst(tTokens)) {
        const int tAt = pResponse.indexOf(tToken);
        if (tAt < 0) {
            continue;
        }
        QString tValue = pResponse.mid(tAt + tToken.size());
        int tCut = -1;
        for (const QString &tOther : qAsConst(tTokens)) {
            if (tOther == tToken) {
                continue;
            }
            const int tPos = tValue.indexOf(tOther);
            if (tPos > 0 && (tCut < 0 || tPos < tCut)) {
                tCut = tPos;
            }
        }
        // A value ends with its line too: "@:0\nok" reads 0.
        static const QRegularExpression tLineBreak(QStringLiteral("[\r\n]"));
        const int tLineEnd = tValue.indexOf(tLineBreak);
        if (tLineEnd > 0 && (tCut < 0 || tLineEnd < tCut)) {
            tCut = tLineEnd;
        }
        if (tCut > 0) {
            tValue.truncate(tCut);
        }
        tValue = tValue.trimmed();

        float tCurrent = 0.0f;
        float tTarget = 0.0f;
        if (tToken == QLatin1String("T:")) {
            Kv::parseTempAndSetTemp(tValue, m_lastTemp, m_lastSetTemp);
            if (extruderCount() == 1) {
                setExtruderTemp(0, m_lastTemp);
                setExtruderSetTemp(0, m_lastSetTemp);
            }
        } else if (tToken == QLatin1String("B:")) {
            Kv::parseTempAndSetTemp(tValue, tCurrent, tTarget);
            setBedTemp(tCurrent);
            setBedSetTemp(tTarget);
        } else if (tToken == QLatin1String("@:") || tToken == QLatin1String("B@:")) {
            // "@:" is found inside "B@:" first when the bed's power comes first.
            const int tAgain = tValue.indexOf(tToken);
            if (tAgain >= 0) {
                tValue = tValue.mid(tAgain + tToken.size());
            }
            const float tPower = readNumber(tValue);
            if (tToken == QLatin1String("@:")) {
                setExtruderWatt(tPower);
            } else {
                setBedWatt(tPower);
            }
        } else {
            const int tIndex = tToken.mid(1, tToken.size() - 2).toInt();
            Kv::parseTempAndSetTemp(tValue, tCurrent, tTarget);
            setExtruderTemp(tIndex, tCurrent);
            setExtruderSetTemp(tIndex, tTarget);
        }
    }

    bool tAnyHeating = false;
    bool tExtrudersHeated = true;
    for (int i = 0; i < extruderCount(); ++i) {
        if (!isWatched(i) || m_extruderSetTemps.at(i) == 0.0f) {
            continue;
        }
        tAnyHeating = true;
        if (m_extruderTemps.at(i) < m_desiredExtruderTemps.at(i) - 1.0f) {
            tExtrudersHeated = false;
        }
    }
    tExtrudersHeated = tExtrudersHeated && tAnyHeating;
    const bool tBedHeated = m_bedTemp <= 0.0f || m_bedTemp >= m_desiredBedTemp - 1.0f;

    if (!(tExtrudersHeated && tBedHeated)) {
        setIsHeated(false);
    } else if (!m_isPrinting) {
        printerDebug(QStringLiteral(
            "kvPrinter::parseHeatResponse: if (tExtrudersHeated && tBedHeated && !isPrinting())"));
        setIsHeating(false);
        setIsHeated(true);
        if (m_isWaitingToPrint && m_printerFile) {
            printerDebug(QStringLiteral(
                "kvPrinter::parseHeatResponse: if (isWaitingToPrint() && m_printerFile != NULL)"));
            print();
        }
    }

    if (!m_isHeated && !m_isHeating && !m_isPrinting && m_isWaitingToPrint) {
        printerDebug(QStringLiteral("kvPrinter::parseHeatResponse: if (!isHeated() && "
                                    "!isHeating() && !isPrinting() && isWaitingToPrint())"));
        heatPrinter(true);
    }

    if (m_isPrinting) {
        printerDebug(QStringLiteral("kvPrinter::parseHeatResponse sending next queued gcode"));
        sendQueuedGCode();
    }
}

int kvPrinter::getHeatTimerDelta() const
{
    if (m_lastTempCheck.isNull()) {
        return 0;
    }
    const qint64 tDelta = m_lastTempCheck.msecsTo(m_clock());
    return int(
        qBound<qint64>(std::numeric_limits<int>::min(), tDelta, std::numeric_limits<int>::max()));
}

void kvPrinter::onCheckHeatTimerTick(bool pSkipIntervalCheck)
{
    printerDebug(QStringLiteral("OnCheckHeatTimer"));
    const int tDelta = getHeatTimerDelta();
    printerDebug(QStringLiteral("OnCheckHeatTimer: tDelta: ") + QString::number(tDelta));
    if (tDelta < HeatCheckIntervalMs && !pSkipIntervalCheck) {
        if (m_timeCheckCount != 0) {
            printerDebug(QStringLiteral("OnCheckHeatTimer: did not check temp"));
            return;
        }
        m_timeCheckCount = 1;
    } else {
        ++m_timeCheckCount;
    }
    printerDebug(
        QStringLiteral("OnCheckHeatTimer: m_timeCheckCount: ") + QString::number(m_timeCheckCount));
    if (m_isConnected && m_serialPort.isOpen()) {
        printerDebug(QStringLiteral("OnCheckHeatTimer: sending command to printer!"));
        sendCommandToPrinter(QStringLiteral("M105"));
    }
    m_lastTempCheck = m_clock();
}

void kvPrinter::startCheckHeatTimer()
{
    if (!m_isConnected || !m_serialPort.isOpen()) {
        return;
    }
    m_lastTempCheck = m_clock();
    onCheckHeatTimerTick(true);
    m_checkHeatTimer->start();
}

void kvPrinter::sendHeatExtruder(bool pValue, int pExtruder, float pTemp)
{
    if (pValue) {
        sendCommandToPrinter(QStringLiteral("M104 S") + number(pTemp) + QStringLiteral(" T")
            + QString::number(pExtruder));
        setStatusString(QStringLiteral("Heating Extruder ") + QString::number(pExtruder));
    } else {
        sendCommandToPrinter(QStringLiteral("M104 S0 T") + QString::number(pExtruder));
        setStatusString(
            QStringLiteral("Tuning OFF heat to extruder ") + QString::number(pExtruder));
    }
}

void kvPrinter::sendHeatBed(bool pValue, float pTemp)
{
    if (pValue) {
        sendCommandToPrinter(QStringLiteral("M140 S") + number(pTemp));
        setStatusString(QStringLiteral("Heating Bed"));
    } else {
        sendCommandToPrinter(QStringLiteral("M140 S0"));
        setStatusString(QStringLiteral("Tunring OFF heat to the bed"));
    }
}

void kvPrinter::sendHeatExtruders(bool pValue, float pTemp)
{
    for (int i = 0; i < extruderCount(); ++i) {
        sendHeatExtruder(pValue, i, pTemp);
    }
}

void kvPrinter::heatPrinter(bool pValue)
{
    if (pValue) {
        if (m_isHeating) {
            return;
        }
        for (int i = 0; i < extruderCount(); ++i) {
            if (isWatched(i)) {
                sendHeatExtruder(true, i, m_desiredExtruderTemps.at(i));
            }
        }
        sendHeatBed(true, m_desiredBedTemp);
        setIsHeating(true);
    } else {
        for (int i = 0; i < extruderCount(); ++i) {
            sendHeatExtruder(false, i, 0.0f);
        }
        sendHeatBed(false, 0.0f);
        setIsHeating(false);
    }
}

void kvPrinter::updateDesiredTemps()
{
    if (isTovraType()) {
        setDesiredBedTemp(100.0f);
        setDesiredExtruderTemp(230.0f);
    } else {
        setDesiredBedTemp(105.0f);
        setDesiredExtruderTemp(215.0f);
    }
}

void kvPrinter::setFilamentType(Kv::Defines::kvFilamentType pType)
{
    const bool tTovra = isTovraType();
    m_filamentType = pType;
    if (pType == Kv::Defines::FilamentTypeABS) {
        setDesiredBedTemp(tTovra ? 100.0f : 105.0f);
        setDesiredExtruderTemp(tTovra ? 230.0f : 215.0f);
    } else if (pType == Kv::Defines::FilamentTypePLA) {
        setDesiredBedTemp(50.0f);
        setDesiredExtruderTemp(190.0f);
    }
    if (m_isHeating || m_isHeated || m_isWaitingToPrint || m_extruderWatt != 0.0f
        || m_bedWatt != 0.0f) {
        sendHeatBed(true, m_desiredBedTemp);
        for (int i = 0; i < extruderCount(); ++i) {
            sendHeatExtruder(true, i, m_desiredExtruderTemps.at(i));
        }
    }
}

void kvPrinter::setExtruderTemp(int pExtruder, float pValue)
{
    if (pExtruder < 0 || pExtruder >= extruderCount()) {
        return;
    }
    m_extruderTemps[pExtruder] = pValue;
    emit ExtruderTempChange(this, pExtruder, pValue);
    updateWindows();
}

void kvPrinter::setExtruderSetTemp(int pExtruder, float pValue)
{
    if (pExtruder < 0 || pExtruder >= extruderCount()) {
        return;
    }
    m_extruderSetTemps[pExtruder] = pValue;
    emit ExtruderSetTempChange(this, pExtruder, pValue);
    updateWindows();
}

void kvPrinter::setBedTemp(float pValue)
{
    m_bedTemp = pValue;
    m_bedIsHeated = pValue > 0.0f;
    emit BedTempChange(this, pValue);
    updateWindows();
}

void kvPrinter::setBedSetTemp(float pValue)
{
    m_bedSetTemp = pValue;
    emit BedSetTempChange(this, pValue);
    updateWindows();
}

void kvPrinter::setIsHeating(bool pValue)
{
    if (m_isHeating == pValue) {
        return;
    }
    m_isHeating = pValue;
    emit IsHeatingChanged(this, pValue);
    updateWindows();
}

void kvPrinter::setIsHeated(bool pValue)
{
    if (m_isHeated == pValue) {
        return;
    }
    m_isHeated = pValue;
    emit IsHeatedChanged(this, pValue);
    updateWindows();
}

void kvPrinter::setDesiredExtruderTemp(float pValue)
{
    printerDebug(QStringLiteral("setDesiredExtruderTemp(float pValue)"));
    m_desiredExtruderTemps.fill(pValue);
}

void kvPrinter::setDesiredExtruderTemp(int pExtruder, float pValue)
{
    if (pExtruder >= 0 && pExtruder < extruderCount()) {
        m_desiredExtruderTemps[pExtruder] = pValue;
    }
}

void kvPrinter::setExtruderToldToHeat(int pExtruder, bool pValue)
{
    if (pExtruder >= 0 && pExtruder < extruderCount()) {
        m_extruderToldToHeat[pExtruder] = pValue;
    }
}

bool kvPrinter::extruderToldToHeat(int pExtruder) const
{
    return pExtruder >= 0 && pExtruder < extruderCount() && m_extruderToldToHeat.at(pExtruder);
}

float kvPrinter::extruderTemp(int pExtruder) const
{
    return (pExtruder >= 0 && pExtruder < extruderCount()) ? m_extruderTemps.at(pExtruder)
                                                           : -100.0f;
}

float kvPrinter::extruderDesiredTemp(int pExtruder) const
{
    return (pExtruder >= 0 && pExtruder < extruderCount()) ? m_desiredExtruderTemps.at(pExtruder)
                                                           : 0.0f;
}

float kvPrinter::extruderSetTemp(int pExtruder) const
{
    return (pExtruder >= 0 && pExtruder < extruderCount()) ? m_extruderSetTemps.at(pExtruder)
                                                           : 0.0f;
}

bool kvPrinter::extruderTurnOffAfterPrint(int pExtruder) const
{
    return pExtruder >= 0 && pExtruder < extruderCount()
        && m_extruderTurnOffAfterPrint.at(pExtruder);
}

void kvPrinter::onPrinterConfigHeatBed(bool pValue, float pTemp)
{
    setDesiredBedTemp(pTemp);
    sendHeatBed(pValue, pTemp);
    setBedToldToHeat(pValue);
    updateWindows();
}

void kvPrinter::onPrinterConfigHeatExtruder(int pExtruder, bool pValue, float pTemp)
{
    const bool tKnown = pExtruder >= 0 && pExtruder < extruderCount();
    if (tKnown) {
        setDesiredExtruderTemp(pExtruder, pTemp);
    }
    sendHeatExtruder(pValue, pExtruder, pTemp);
    if (tKnown) {
        setExtruderToldToHeat(pExtruder, pValue);
    }
    updateWindows();
}

void kvPrinter::onExtruderTurnOffAfterPrint(int pExtruder, bool pValue)
{
    if (pExtruder >= 0 && pExtruder < extruderCount()) {
        m_extruderTurnOffAfterPrint[pExtruder] = pValue;
    }
}

void kvPrinter::onBedTurnOffAfterPrint(bool pValue)
{
    m_bedTurnOffAfterPrint = pValue;
}

// ---- Printing and stopping

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
    if (!m_serialPort.isOpen()) {
        if (m_isWaitingToPrint) {
            setIsWaitingToPrint(false);
        }
        setStatusString(QStringLiteral("The printer is not connected."));
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
        m_waitingResponseTimer->start();
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
    if (!m_isPrinting && !m_isPaused) {
        if (m_isWaitingToPrint) {
            setIsWaitingToPrint(false);
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
    m_waitingResponseTimer->stop();
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
        killPrint();
    } else if (pResponse.contains(QLatin1String("HVT102"))) {
        printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: PAUSE"));
        setIsPrinting(false);
        setIsPaused(true);
        startCheckHeatTimer();
        m_waitingResponseTimer->stop();
    } else if (pResponse.contains(QLatin1String("HVT103"))) {
        printerDebug(QStringLiteral("kvPrinter::parseHalvarnTovraResponse: UNPAUSE"));
        m_checkHeatTimer->stop();
        setIsPaused(false);
        setIsPrinting(true);
        sendQueuedGCode();
    }
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
    if (m_isPrinting && !m_silenceReported) {
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

// ---- Manual commands and the windows

void kvPrinter::move(Kv::Defines::kvCoordinate pDirection, float pValue)
{
    const QString tAxis = axisLetter(pDirection);
    if (tAxis.isEmpty()) {
        return;
    }
    sendCommandToPrinter(QStringLiteral("G91"));
    sendCommandToPrinter(QStringLiteral("G1 ") + tAxis + number(pValue) + QStringLiteral(" F4800"));
    sendCommandToPrinter(QStringLiteral("G90"));
}

void kvPrinter::moveHome(Kv::Defines::kvCoordinate pDirection)
{
    const QString tAxis = axisLetter(pDirection);
    sendCommandToPrinter(tAxis.isEmpty() ? QStringLiteral("G28")
                                         : QStringLiteral("G28 ") + tAxis + QStringLiteral("0"));
}

void kvPrinter::onPrinterConfigMoveCenter()
{
    moveHome(Kv::Defines::CoordinateX);
    moveHome(Kv::Defines::CoordinateY);
    const kvVector3D tBed = m_printerSettings->bedSize();
    sendCommandToPrinter(QStringLiteral("G91"));
    sendCommandToPrinter(QStringLiteral("G1 X") + number(tBed.x() * -0.5f) + QStringLiteral(" Y")
        + number(tBed.y() * -0.5f) + QStringLiteral(" F4800"));
    sendCommandToPrinter(QStringLiteral("G90"));
}

void kvPrinter::extrude(int pExtruder, int pValue)
{
    sendCommandToPrinter(QStringLiteral("T") + QString::number(pExtruder));
    sendCommandToPrinter(QStringLiteral("G91"));
    sendCommandToPrinter(
        QStringLiteral("G1 E") + QString::number(pValue) + QStringLiteral(" F120"));
    sendCommandToPrinter(QStringLiteral("G90"));
}

void kvPrinter::retract(int pExtruder, int pValue)
{
    sendCommandToPrinter(QStringLiteral("T") + QString::number(pExtruder));
    sendCommandToPrinter(QStringLiteral("G91"));
    sendCommandToPrinter(
        QStringLiteral("G1 E-") + QString::number(pValue) + QStringLiteral(" F1800"));
    sendCommandToPrinter(QStringLiteral("G90"));
}

void kvPrinter::setZOffset(float pValue)
{
    sendCommandToPrinter(QStringLiteral("M851 Z") + number(pValue));
    sendCommandToPrinter(QStringLiteral("M500"));
}

void kvPrinter::onPrinterConfigMove(Kv::Defines::kvCoordinate pDirection, float pValue)
{
    move(pDirection, pValue);
}

void kvPrinter::onPrinterConfigMoveHome(Kv::Defines::kvCoordinate pDirection)
{
    moveHome(pDirection);
}

void kvPrinter::onPrinterConfigExtrudeFilament(int pExtruder, int pValue)
{
    extrude(pExtruder, pValue);
}

void kvPrinter::onPrinterConfigRetractFilament(int pExtruder, int pValue)
{
    retract(pExtruder, pValue);
}

void kvPrinter::onPrinterConfigGCodeClicked(QString pGCode)
{
    sendCommandToPrinter(pGCode);
}

void kvPrinter::onShowZCalibration()
{
    showZCalibration();
}

void kvPrinter::onSetNewZOffset(float pValue)
{
    setZOffset(pValue);
}

void kvPrinter::onRunZCalibrationTest()
{
    m_awaitingZOffset = true;
    m_calibrationRunning = true;
    sendCommandToPrinter(QStringLiteral("M851"));

    auto *tFile = new kvPrinterFile(QStringLiteral(":/ZOffsetCalibration.gcode"), this);
    if (m_printerFile) {
        disconnect(m_printerFile, nullptr, this, nullptr);
    }
    m_printerFile = tFile;
    tFile->setMachineType(machineType());
    tFile->setPrinterSettings(m_printerSettings);
    tFile->setUseRawGCode(true);
    connect(tFile, &kvPrinterFile::GCodeQueueIsEmpty, this, &kvPrinter::onGCodeQueueIsEmpty);
    connect(tFile, &kvPrinterFile::GCodeParseComplete, this,
        &kvPrinter::onPrinterFileGCodeParseComplete);
    connect(tFile, &kvPrinterFile::StatusUpdate, this, &kvPrinter::onPrinterFileStatusChanged);
    tFile->setBedCenter(bedCenter());
    tFile->loadZOffsetCalibrationFile();
}

void kvPrinter::handleZOffsetCalibration(QString pResponse)
{
    if (m_awaitingZOffset && pResponse.contains(QLatin1String("Z Offset"))) {
        m_awaitingZOffset = false;
        const int tAt = pResponse.indexOf(QLatin1String(": "));
        const QString tRest = (tAt >= 0 ? pResponse.mid(tAt + 2) : pResponse.mid(1)).trimmed();
        // The whole number: up to the first blank or line end.
        static const QRegularExpression tBlank(QStringLiteral("\\s"));
        const QString tValue = tRest.section(tBlank, 0, 0);
        if (m_zOffsetCalibration) {
            m_zOffsetCalibration->setZOffset(tValue);
        }
        return;
    }
    const QString tUpper = pResponse.toUpper();
    if (!m_calibrationRunning) {
        if (m_isPrinting && tUpper.contains(QLatin1String("EQN COEFFICIENTS"))) {
            m_printingStatusTimer->start();
        }
        return;
    }
    if (tUpper.contains(QLatin1String("BED X:"))) {
        if (m_zOffsetCalibration) {
            m_zOffsetCalibration->setProbeData(pResponse);
        }
    } else if (tUpper.contains(QLatin1String("EQN COEFFICIENTS"))) {
        if (m_zOffsetCalibration) {
            m_zOffsetCalibration->setEgnCoefficients(pResponse);
        }
        m_calibrationRunning = false;
    }
}

void kvPrinter::handleEEPROMSettings(QString pResponse)
{
    if (!pResponse.contains(QLatin1String("echo:"))) {
        return;
    }
    static const char *const tCodes[] = {"M92", "M201", "M203", "M204", "M205", "M206", "M301"};
    for (const char *tCode : tCodes) {
        if (pResponse.contains(QLatin1String(tCode))) {
            qDebug().noquote() << pResponse.trimmed();
            return;
        }
    }
}

void kvPrinter::setPrinterCommand(QString pCommand)
{
    if (m_printerConfig) {
        m_printerConfig->setPrinterCommand(pCommand);
    }
}

void kvPrinter::setPrinterResponse(QString pResponse)
{
    if (m_printerConfig) {
        m_printerConfig->setPrinterResponse(pResponse);
    }
}

void kvPrinter::showPrinterConfig()
{
    if (!m_printerConfig) {
        m_printerConfig = new kvPrinterConfig();
        kvPrinterConfig *tWindow = m_printerConfig;
        connect(
            tWindow, &kvPrinterConfig::GCodeClicked, this, &kvPrinter::onPrinterConfigGCodeClicked);
        connect(tWindow, &kvPrinterConfig::HeatBed, this, &kvPrinter::onPrinterConfigHeatBed);
        connect(
            tWindow, &kvPrinterConfig::HeatExtruder, this, &kvPrinter::onPrinterConfigHeatExtruder);
        connect(tWindow, &kvPrinterConfig::Move, this, &kvPrinter::onPrinterConfigMove);
        connect(tWindow, &kvPrinterConfig::MoveHome, this, &kvPrinter::onPrinterConfigMoveHome);
        connect(tWindow, &kvPrinterConfig::ShowZCalibration, this, &kvPrinter::onShowZCalibration);
        connect(tWindow, &kvPrinterConfig::ExtrudeFilament, this,
            &kvPrinter::onPrinterConfigExtrudeFilament);
        connect(tWindow, &kvPrinterConfig::RetractFilament, this,
            &kvPrinter::onPrinterConfigRetractFilament);
        connect(tWindow, &kvPrinterConfig::ExtruderTurnOffAfterPrint, this,
            &kvPrinter::onExtruderTurnOffAfterPrint);
        connect(tWindow, &kvPrinterConfig::BedTurnOffAfterPrint, this,
            &kvPrinter::onBedTurnOffAfterPrint);
        connect(tWindow, &kvPrinterConfig::MoveCenter, this, &kvPrinter::onPrinterConfigMoveCenter);
    }
    m_printerConfig->setTitle(
        name() + QStringLiteral(" (") + m_serialPort.portName() + QStringLiteral(")"));
    updateWindows();
    m_printerConfig->hide();
    m_printerConfig->show();
}

void kvPrinter::showZCalibration()
{
    if (!m_zOffsetCalibration) {
        m_zOffsetCalibration = new kvPrinterZOffsetCalibration();
        connect(m_zOffsetCalibration, &kvPrinterZOffsetCalibration::RunZOffsetCalibration, this,
            &kvPrinter::onRunZCalibrationTest);
        connect(m_zOffsetCalibration, &kvPrinterZOffsetCalibration::SetNewZOffset, this,
            &kvPrinter::onSetNewZOffset);
    }
    m_zOffsetCalibration->setBedSize(m_printerSettings->bedSize());
    m_awaitingZOffset = true;
    m_zOffsetCalibration->show();
}

void kvPrinter::updateWindows()
{
    if (m_printerConfig) {
        kvPrinterConfig *tWindow = m_printerConfig;
        tWindow->setInitializing(true);
        tWindow->setFirmwareExtruderCountBox(number(m_firmware->ExtruderCount()));
        tWindow->setFirmwareMachineTypeBox(m_firmware->MachineType());
        tWindow->setFirmwareNameBox(m_firmware->Name());
        tWindow->setFirmwareProtocolVerBox(m_firmware->ProtocolVersion());
        tWindow->setFirmwareUrlBox(m_firmware->Url());
        tWindow->setFirmwareUUIDBox(m_firmware->UUID());
        tWindow->setIsConnected(m_isConnected);
        tWindow->setIsHeated(m_isHeated);
        tWindow->setIsHeating(m_isHeating);
        tWindow->setIsPrinting(m_isPrinting);
        tWindow->setIsPaused(m_isPaused);
        tWindow->setIsWaitingToPrint(m_isWaitingToPrint);
        if (extruderCount() == 1) {
            tWindow->setExtruderEnabled(1, false);
        }
        bool tAnyTurnOff = m_bedTurnOffAfterPrint;
        for (int i = 0; i < extruderCount(); ++i) {
            tWindow->setExtruderTemp(i, m_extruderTemps.at(i));
            tWindow->setExtruderWattage(i, m_extruderWatt);
            tWindow->setExtruderDesiredTemp(i, m_desiredExtruderTemps.at(i));
            tWindow->setExtruderSetTemp(i, m_extruderSetTemps.at(i));
            tWindow->setExtruderToldToHeat(i, m_extruderToldToHeat.at(i));
            tAnyTurnOff = tAnyTurnOff || m_extruderTurnOffAfterPrint.at(i);
        }
        tWindow->setBedIsHeated(m_bedIsHeated);
        tWindow->setBedTemp(m_bedTemp);
        tWindow->setBedWattage(m_bedWatt);
        tWindow->setBedDesiredTemp(m_desiredBedTemp);
        tWindow->setBedSetTemp(m_bedSetTemp);
        tWindow->setBedToldToHeat(m_bedToldToHeat);
        tWindow->setPowerTurnOffAfterPrint(tAnyTurnOff);
        tWindow->setInitializing(false);
    }
    if (m_zOffsetCalibration) {
        m_zOffsetCalibration->setIsPrinting(m_isPrinting);
        m_zOffsetCalibration->setIsWaitingToPrint(m_isWaitingToPrint);
    }
}
