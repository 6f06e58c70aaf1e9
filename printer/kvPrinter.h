#pragma once

#include "kvDefines.h"
#include "kvFirmwareLines.h"
#include "kvPrinterSettings.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QSerialPort>
#include <QString>
#include <QVector2D>
#include <QVector>

#include <functional>
#include <optional>

class QTimer;
class kvFirmware;
class kvLogger;
class kvPrinterConfig;
class kvPrinterFile;
class kvPrinterZOffsetCalibration;

// One printer on a serial port, and the printer types table all printers share.
// The link identifies the printer from its "M115" reply, polls and drives its heaters,
// streams a print file's queue and sends the manual commands of its windows. Every line
// goes out through one queue: the next is written once the firmware has answered "ok"
// to the one before.
class kvPrinter : public QObject
{
    Q_OBJECT

public:
    // The printer types table; it owns its entries.
    static QVector<kvPrinterSettings *> PrinterTypes;

    // Appends one entry per section of the printer types file. An empty path reads
    // "kvPrinterSettings.ini" in the executable's folder. A file that cannot be read
    // leaves the table as it is.
    static void loadPrinterTypes(const QString &pPath = QString());

    // The first entry whose section name is the machine type, or null.
    static kvPrinterSettings *getPrinterSettings(const QString &pMachineType);

    // Deletes the entries, last to first, and empties the table.
    static void clearPrinterTypes();

    // Where the print road stands; the printing, paused and waiting flags are views of it.
    enum class PrintState
    {
        Idle, // nothing under way
        WaitingForHeat, // the print starts once the heaters have reached their targets
        Printing, // lines stream
        Paused, // the pause button holds a print that has streamed
        PausedWaiting // the pause button holds a print that has not streamed yet
    };
    Q_ENUM(PrintState)
    // What moves the print road (one table, kvPrinterRoad.cpp).
    enum class PrintEvent
    {
        Print, // print(): start, heating first when cold
        Hold, // holdPrint(): a print handed over paused
        Refused, // print() refused: nothing to print, or no link
        HeatReached, // a report finds the heaters at their targets
        Pause, // the pause button
        Resume, // the resume button
        Cancel, // the cancel button
        Stop, // killPrint()
        EndOfFile, // the last line went out
        Halt, // the firmware halted itself (kill(), a stopped firmware, a shutdown)
        Error, // the firmware refused a line and goes on
        Restart, // the firmware restarted ("start")
        LostPort, // the device went away, or the link was closed
        TimeOut // the firmware did not answer the handshake
    };
    Q_ENUM(PrintEvent)
    // The printer's own buttons, as their codes arrive.
    enum ButtonCode
    {
        ButtonHome = 100,
        ButtonCancel = 101,
        ButtonPause = 102,
        ButtonResume = 103
    };
    static QString printStateName(PrintState pState);
    static QString printEventName(PrintEvent pEvent);

    // Interval of the temperature rule: a check is due this long after the last one.
    static constexpr int HeatCheckIntervalMs = 5000;
    // A firmware silent this long with a line unanswered has lost that line's "ok".
    static constexpr int LostOkMs = 30000;

    explicit kvPrinter(QString pPortName, QObject *pParent = nullptr);
    ~kvPrinter() override;

    // Connection and identification.
    void connectToPrinter();
    void disconnectFromPrinter();
    void setLogger(kvLogger *pLogger) { m_logger = pLogger; }
    bool isConnected() const { return m_isConnected; }
    void setIsConnected(bool pValue);
    QString name() const;
    QString serialPortName() const { return m_serialPort.portName(); }
    // The device path the port is opened by.
    QString serialPortPath() const { return m_portPath; }
    QString machineType() const;
    kvPrinterSettings *settings() const { return m_printerSettings; }
    kvFirmware *firmware() const { return m_firmware; }
    QVector2D bedCenter() const;
    int extruderCount() const { return m_extruderTemps.size(); }
    // Queues the command; it is written once the firmware has answered every line before it.
    // Dropped while the port is closed or closing.
    void sendCommandToPrinter(QString pCommand);
    void printerDebug(QString pMessage);
    void setStatusString(QString pStatus);
    void sendStatusChanged(QString pStatus);
    QString statusString() const { return m_statusString; }
    void setDebugLevel(int pLevel);
    void parseFirmware(QString pResponse);

    // Milliseconds on a monotonic clock: what the temperature rule, the lost-reply rule and
    // the print's elapsed time are measured on, so that a change of the computer's clock
    // changes none of them. Tests give a clock of their own; null restores the system's.
    using Clock = std::function<qint64()>;
    void setClock(Clock pClock);
    static qint64 monotonicNow();
    // The connection time-out (10000 ms by default).
    void setConnectTimeOutInterval(int pMilliseconds);

    // Temperatures and heating.
    static bool isTemperatureString(const QString &pResponse);
    void parseHeatResponse(QString pResponse);
    void startCheckHeatTimer();
    int getHeatTimerDelta() const;
    void sendHeatExtruder(bool pValue, int pExtruder, float pTemp);
    void sendHeatBed(bool pValue, float pTemp);
    void sendHeatExtruders(bool pValue, float pTemp);
    void heatPrinter(bool pValue);
    void updateDesiredTemps();
    void setFilamentType(Kv::Defines::kvFilamentType pType);
    Kv::Defines::kvFilamentType filamentType() const { return m_filamentType; }

    void setExtruderTemp(int pExtruder, float pValue);
    void setExtruderSetTemp(int pExtruder, float pValue);
    void setBedTemp(float pValue);
    void setBedSetTemp(float pValue);
    void setExtruderWatt(float pValue) { m_extruderWatt = pValue; }
    void setBedWatt(float pValue) { m_bedWatt = pValue; }
    void setIsHeating(bool pValue);
    void setIsHeated(bool pValue);
    void setDesiredBedTemp(float pValue) { m_desiredBedTemp = pValue; }
    void setDesiredExtruderTemp(float pValue);
    void setDesiredExtruderTemp(int pExtruder, float pValue);
    void setExtruderToldToHeat(int pExtruder, bool pValue);
    bool extruderToldToHeat(int pExtruder) const;
    void setBedToldToHeat(bool pValue) { m_bedToldToHeat = pValue; }
    bool bedToldToHeat() const { return m_bedToldToHeat; }
    float extruderTemp(int pExtruder) const;
    // 0 outside the extruder range.
    float extruderDesiredTemp(int pExtruder) const;
    float extruderSetTemp(int pExtruder) const;
    bool extruderTurnOffAfterPrint(int pExtruder) const;
    float extruderWatt() const { return m_extruderWatt; }
    float bedTemp() const { return m_bedTemp; }
    float bedDesiredTemp() const { return m_desiredBedTemp; }
    float bedSetTemp() const { return m_bedSetTemp; }
    float bedWatt() const { return m_bedWatt; }
    bool bedIsHeated() const { return m_bedIsHeated; }
    bool bedTurnOffAfterPrint() const { return m_bedTurnOffAfterPrint; }
    bool isHeating() const { return m_isHeating; }
    bool isHeated() const { return m_isHeated; }
    Kv::Defines::kvActiveExtruder activeExtruder() const { return m_activeExtruder; }
    void setActiveExtruder(Kv::Defines::kvActiveExtruder pValue) { m_activeExtruder = pValue; }

    // Printing and stopping.
    void setPrinterFile(kvPrinterFile *pFile);
    void setPrinterFile(QString pFileName);
    QString printerFile() const;
    kvPrinterFile *currentPrinterFile() const;
    void print();
    // Hands the held print file over paused: nothing goes out until the resume button,
    // which then starts it as print() does.
    void holdPrint();
    PrintState printState() const { return m_printState; }
    void sendQueuedGCode();
    QString elapsedTime() const { return m_elapsedTime; }
    void setPrintingProgress();
    int printingProgress() const { return m_printingProgress; }
    void killPrint();
    void parseHalvarnTovraResponse(QString pResponse);
    bool isPrinting() const { return m_printState == PrintState::Printing; }
    bool isPaused() const
    {
        return m_printState == PrintState::Paused || m_printState == PrintState::PausedWaiting;
    }
    bool isWaitingToPrint() const { return m_printState == PrintState::WaitingForHeat; }
    // Put the print road in the state the flag names, announced as every move is; nothing
    // is sent. The printer itself moves only by events.
    void setIsPrinting(bool pValue);
    void setIsPaused(bool pValue);
    void setIsWaitingToPrint(bool pValue);

    // Manual commands and the windows.
    void move(Kv::Defines::kvCoordinate pDirection, float pValue);
    void moveHome(Kv::Defines::kvCoordinate pDirection = Kv::Defines::CoordinateAll);
    void extrude(int pExtruder, int pValue);
    void retract(int pExtruder, int pValue);
    void setZOffset(float pValue);
    void handleZOffsetCalibration(QString pResponse);
    void handleEEPROMSettings(QString pResponse);
    void setPrinterCommand(QString pCommand);
    void setPrinterResponse(QString pResponse);
    void showPrinterConfig();
    void showZCalibration();
    void updateWindows();
    kvPrinterConfig *printerConfig() const { return m_printerConfig; }
    kvPrinterZOffsetCalibration *zOffsetCalibration() const { return m_zOffsetCalibration; }
    bool isAwaitingZOffset() const { return m_awaitingZOffset; }
    bool isCalibrationRunning() const { return m_calibrationRunning; }

    // Lines waiting for the firmware to answer the one before.
    int queuedLines() const { return m_outgoing.size(); }

signals:
    void IsConnectedChanged(kvPrinter *pPrinter, bool pValue);
    void StatusChanged(kvPrinter *pPrinter, QString pStatusMessage);
    void PrintingStatusChanged(kvPrinter *pPrinter, QString pCommands, QString pTimeElapsed);
    void IsHeatingChanged(kvPrinter *pPrinter, bool pValue);
    void IsHeatedChanged(kvPrinter *pPrinter, bool pValue);
    void IsWaitingToPrintChanged(kvPrinter *pPrinter, bool pValue);
    void IsPrintingChanged(kvPrinter *pPrinter, bool pValue);
    void IsPausedChanged(kvPrinter *pPrinter, bool pValue);
    void ExtruderTempChange(kvPrinter *pPrinter, int pExtruder, float pValue);
    void ExtruderSetTempChange(kvPrinter *pPrinter, int pExtruder, float pValue);
    void BedTempChange(kvPrinter *pPrinter, float pValue);
    void BedSetTempChange(kvPrinter *pPrinter, float pValue);
    void ConnectionTimeOut(kvPrinter *pPrinter);
    void PrinterFileSTLParseComplete(kvPrinter *pPrinter, kvPrinterFile *pFile, float pValue);
    void PrinterFileGCodeParseComplete(kvPrinter *pPrinter, kvPrinterFile *pFile, float pValue);
    void PrinterPrintingProgressChanged(int pProgress);
    void PrintProcessBegin();
    void PrintProcessFinished();
    // The print ended other than by its last line: killPrint, the cancel button, a halt,
    // a lost link, a restart or a time-out. Also sent for the cancel button with nothing
    // printing.
    void PrintStopped(kvPrinter *pPrinter);
    // After every move of the print road, once its flags have been announced.
    void PrintStateChanged(kvPrinter *pPrinter, kvPrinter::PrintState pState);
    // A button of the printer's own (its code, or a host action from its screen), once the
    // printer has acted on it. A host action with no print under way here leaves the print
    // that waits for its slice to the window.
    void ButtonPressed(kvPrinter *pPrinter, int pCode);

private slots:
    void onSerialReadData();
    void onSerialError(QSerialPort::SerialPortError pError);
    void onFirmwareExtruderCountUpdated();
    void onFirmwareMachineTypeUpdated();
    void onPrinterFileStatusChanged(QString pStatusMessage);
    void onCheckHeatTimerTick(bool pSkipIntervalCheck = false);
    void onPrinterConfigGCodeClicked(QString pGCode);
    void onPrinterConfigHeatBed(bool pValue, float pTemp);
    void onPrinterConfigHeatExtruder(int pExtruder, bool pValue, float pTemp);
    void onPrinterConfigMove(Kv::Defines::kvCoordinate pDirection, float pValue);
    void onPrinterConfigMoveHome(Kv::Defines::kvCoordinate pDirection = Kv::Defines::CoordinateAll);
    void onPrinterConfigExtrudeFilament(int pExtruder, int pValue);
    void onPrinterConfigRetractFilament(int pExtruder, int pValue);
    void onPrinterConfigMoveCenter();
    void onConnectTimeOutTimerTick();
    void onGCodeQueueIsEmpty();
    void onPrinterFileSTLParseComplete(float pValue);
    void onPrinterFileGCodeParseComplete(float pValue);
    void onShowZCalibration();
    void onRunZCalibrationTest();
    void onSetNewZOffset(float pValue);
    void onWaitingResponseTimerTimeout();
    void onUpdatePrintingStatus();
    void onSerialDestroyed();
    void onExtruderTurnOffAfterPrint(int pExtruder, bool pValue);
    void onBedTurnOffAfterPrint(bool pValue);

private:
    // A line waiting for its turn; the print's own are its file's lines and what the stream
    // sends in their place.
    struct Outgoing
    {
        QString text;
        bool ofPrint = false;
    };

    void handleResponse(const QString &pResponse);
    // Whether a firmware line of this scope acts now.
    bool actsNow(Kv::FirmwareLines::Scope pScope) const;
    void sendNextLine();
    void writeLine(const Outgoing &pLine);
    void acknowledge(int pCount);
    // How long the firmware has been silent with a line unanswered that it answers at once;
    // -1 while it owes nothing, or owes the answer to a wait, a homing or a probing.
    qint64 silenceMs() const;
    // How long the print has run; 0 before it starts.
    qint64 printElapsedMs() const { return m_printStart ? m_clock() - *m_printStart : 0; }
    bool goOnAfterSilence();
    // Silent for the link's time-out: the firmware is shown as not answering.
    void noteSilence();
    // Any reply ends that.
    void noteHeard();
    // The readouts of no printer: every extruder and the bed at 0.
    void clearReadings();
    void forgetOutgoing();
    bool canSend() const { return m_serialPort.isOpen() && !m_closing; }
    // Moves the print road by its table; false when the event changes nothing here.
    bool fire(PrintEvent pEvent);
    // Enters the state and announces the flags that changed, and those in pAnnounce.
    void enterState(PrintState pState, unsigned pAnnounce);
    // Refuses a print, with a status that says why, unless a file with lines is held and the
    // link can send them.
    bool canPrint();
    void handleDeviceLost();
    void handlePrinterReset();
    // The firmware's error lines: shown; a halt ends the print, as another error ends one
    // that has streamed when pStopsPrint (it refused a line of the print's). True after a
    // halt.
    bool handleFirmwareErrors(const QStringList &pErrors, bool pHalted, bool pStopsPrint);
    // A button of the printer's own (ButtonCode), as its code or a host action says it.
    void pressButton(int pCode);
    void closePort();
    bool isTovraType() const;
    bool isWatched(int pExtruder) const;
    void releasePrinterFile();

    kvFirmware *m_firmware = nullptr;
    kvLogger *m_logger = nullptr;
    QPointer<kvPrinterFile> m_printerFile;
    kvPrinterConfig *m_printerConfig = nullptr;
    QTimer *m_checkHeatTimer = nullptr;
    QTimer *m_connectTimeOutTimer = nullptr;
    QTimer *m_waitingResponseTimer = nullptr;
    QTimer *m_printingStatusTimer = nullptr;
    kvPrinterSettings *m_printerSettings = nullptr;
    kvPrinterSettings *m_placeholderSettings = nullptr;
    kvPrinterZOffsetCalibration *m_zOffsetCalibration = nullptr;
    QSerialPort m_serialPort;
    QString m_portPath;
    // Bytes of a reply whose line end has not arrived yet.
    QByteArray m_readBuffer;

    float m_lastTemp = 0.0f;
    float m_lastSetTemp = 0.0f;
    QVector<float> m_extruderTemps;
    QVector<float> m_desiredExtruderTemps;
    QVector<float> m_extruderSetTemps;
    QVector<bool> m_extruderTurnOffAfterPrint;
    QVector<bool> m_extruderToldToHeat;
    float m_extruderWatt = 0.0f;
    float m_bedTemp = 0.0f;
    float m_bedWatt = 0.0f;
    float m_bedSetTemp = 0.0f;
    float m_desiredBedTemp = 0.0f;
    bool m_bedTurnOffAfterPrint = true;
    bool m_bedToldToHeat = false;
    bool m_bedIsHeated = false;
    std::optional<qint64> m_lastTempCheck;
    std::optional<qint64> m_printStart;
    int m_timeCheckCount = 0;

    bool m_isConnected = false;
    bool m_isHeating = false;
    bool m_isHeated = false;
    PrintState m_printState = PrintState::Idle;
    bool m_awaitingZOffset = false;
    bool m_calibrationRunning = false;
    // Set while a line is taken from the queue; the queue's end is noted meanwhile.
    bool m_dequeuing = false;
    bool m_queueRanDry = false;
    // The response watchdog has reported this silence already.
    bool m_silenceReported = false;
    // The firmware fell silent for the link's time-out; its readouts show no printer.
    bool m_notAnswering = false;
    // A lost device is being handled; its further errors are ignored.
    bool m_deviceLost = false;
    // The port is being closed: nothing read is dispatched, nothing new is queued.
    bool m_closing = false;
    // Lines waiting for their turn, and lines written but not answered with "ok".
    QQueue<Outgoing> m_outgoing;
    int m_unacknowledged = 0;
    // Lines queued meanwhile are the print's own.
    bool m_queueingPrint = false;
    // Since when the firmware has been silent with a line unanswered, and that line.
    std::optional<qint64> m_waitingSince;
    QString m_lastWritten;
    bool m_lastWrittenOfPrint = false;

    Kv::Defines::kvFilamentType m_filamentType = Kv::Defines::kvFilamentType(0);
    int m_printingProgress = 0;
    QString m_elapsedTime;
    QString m_statusString;
    Kv::Defines::kvActiveExtruder m_activeExtruder = Kv::Defines::ActiveExtruderAll;
    Clock m_clock;
};
