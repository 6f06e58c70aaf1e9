// Reading replies and dispatching them: temperature reports, firmware restarts;
// the heaters and the temperature rule.
#include "kvPrinter.h"

#include "kvFirmware.h"
#include "kvFirmwareLines.h"
#include "kvPrinterConfig.h"
#include "kvPrinterFile.h"
#include "kvTemperatureFields.h"
#include "kvWireNumber.h"

#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Kv::Wire::number;

// A reply fragment without a line end is given up as a response past this size.
constexpr int MaxFragmentBytes = 64 * 1024;

bool isBlank(char pChar)
{
    return pChar == ' ' || pChar == '\t' || pChar == '\r';
}

// The "ok" lines among complete lines: "ok" alone or at the start ("ok T:210.0 /215.0").
// A restart (a "start" line, or "start" right after a line the reset cut short) forgets
// those before it.
int okLines(const QByteArray &pLines)
{
    int tCount = 0;
    const char *tData = pLines.constData();
    const int tSize = pLines.size();
    int tStart = 0;
    while (tStart < tSize) {
        int tEnd = pLines.indexOf('\n', tStart);
        if (tEnd < 0) {
            tEnd = tSize;
        }
        int tFirst = tStart;
        while (tFirst < tEnd && isBlank(tData[tFirst])) {
            ++tFirst;
        }
        int tLast = tEnd;
        while (tLast > tFirst && isBlank(tData[tLast - 1])) {
            --tLast;
        }
        const int tLength = tLast - tFirst;
        const char *tText = tData + tFirst;
        if (tLength >= 5 && std::memcmp(tText + tLength - 5, "start", 5) == 0
            && Kv::FirmwareLines::meaningOf(QString::fromUtf8(tText, tLength))
                == Kv::FirmwareLines::Meaning::Restart) {
            tCount = 0;
        } else if (tLength >= 2 && tText[0] == 'o' && tText[1] == 'k'
            && (tLength == 2 || !std::isalpha(static_cast<unsigned char>(tText[2])))) {
            ++tCount;
        }
        tStart = tEnd + 1;
    }
    return tCount;
}

// Characters no firmware sends as text: control bytes other than the tab and the line
// ends, DEL, and bytes that are no UTF-8 (decoded as U+FFFD).
bool isNoise(QChar pChar)
{
    const ushort tCode = pChar.unicode();
    return (tCode < 0x20 && tCode != '\t' && tCode != '\r' && tCode != '\n') || tCode == 0x7F
        || tCode == 0xFFFD;
}

// Each line without the noise before its text: what follows its last noise character,
// from the "ok" in it when that is no answer yet ("Qx" + "ok"). pDropped counts the
// characters dropped.
QString withoutNoise(const QString &pText, int &pDropped)
{
    pDropped = 0;
    if (std::none_of(pText.cbegin(), pText.cend(), isNoise)) {
        return pText;
    }
    static const QRegularExpression tOk(QStringLiteral("ok(?=\\s|$)"));
    QStringList tLines = pText.split(QLatin1Char('\n'));
    for (QString &tLine : tLines) {
        int tLast = tLine.size() - 1;
        while (tLast >= 0 && !isNoise(tLine.at(tLast))) {
            --tLast;
        }
        if (tLast < 0) {
            continue;
        }
        QString tRest = tLine.mid(tLast + 1);
        if (!tRest.trimmed().startsWith(QLatin1String("ok"))) {
            const QRegularExpressionMatch tMatch = tOk.match(tRest);
            if (tMatch.hasMatch()) {
                tRest = tRest.mid(tMatch.capturedStart());
            }
        }
        pDropped += tLine.size() - tRest.size();
        tLine = tRest;
    }
    return tLines.join(QLatin1Char('\n'));
}

// "T:" or "T0:" at the start of a word, followed by a number.
bool hasTemperatureReading(const QString &pResponse)
{
    static const QRegularExpression tReading(
        QStringLiteral("(?:^|\\s)T0?:\\s*[-+]?(?:\\d|\\.\\d)"));
    return tReading.match(pResponse).hasMatch();
}

} // namespace

void kvPrinter::onSerialReadData()
{
    m_readBuffer.append(m_serialPort.readAll());

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
    // Line noise (a loose cable, a board starting up) must not hide the answer after it.
    int tDropped = 0;
    const QString tText
        = withoutNoise(QString::fromUtf8(tResponse.constData(), tResponse.size()), tDropped);
    if (tDropped > 0) {
        printerDebug(QStringLiteral("onReadData: dropped ") + QString::number(tDropped)
            + QStringLiteral(" characters of line noise"));
        tResponse = tText.toUtf8();
    }
    const int tOks = okLines(tResponse);
    if (m_closing) {
        // The port is closing: replies only pace the last lines out.
        acknowledge(tOks);
        return;
    }
    handleResponse(tText);
    acknowledge(tOks);
    sendNextLine();
}

bool kvPrinter::actsNow(Kv::FirmwareLines::Scope pScope) const
{
    using Kv::FirmwareLines::Scope;
    switch (pScope) {
    case Scope::Always:
        return true;
    case Scope::UnderWay:
        return m_printState != PrintState::Idle;
    case Scope::PrintLine:
        return m_unacknowledged > 0 && m_lastWrittenOfPrint;
    }
    return false;
}

void kvPrinter::handleResponse(const QString &pResponse)
{
    using Kv::FirmwareLines::Meaning;
    printerDebug(QStringLiteral("kvPrinter::onReadData(") + m_serialPort.portName()
        + QStringLiteral("): ") + pResponse);
    setPrinterResponse(pResponse.trimmed());

    // What the lines say about the print, in any firmware's dialect.
    const QStringList tLines = pResponse.split(QLatin1Char('\n'));
    bool tAnswers = false;
    QStringList tErrors;
    bool tHalted = false;
    bool tErrorStops = false;
    int tRestartedAt = -1;
    QStringList tButtons;
    for (int i = 0; i < tLines.size(); ++i) {
        const QString &tLine = tLines.at(i);
        const Kv::FirmwareLines::Rule tRule = Kv::FirmwareLines::ruleOf(tLine);
        tAnswers = tAnswers || Kv::FirmwareLines::isAnswer(tRule.meaning);
        switch (tRule.meaning) {
        case Meaning::Nothing:
        case Meaning::Blank:
        case Meaning::Waiting:
            break;
        case Meaning::Halt:
            tHalted = true;
            tErrors.append(tLine.trimmed());
            break;
        case Meaning::Error:
            tErrorStops = tErrorStops || actsNow(tRule.scope);
            tErrors.append(tLine.trimmed());
            break;
        case Meaning::Restart:
            tRestartedAt = i;
            break;
        case Meaning::Home:
        case Meaning::Cancel:
        case Meaning::Pause:
        case Meaning::Resume:
            tButtons.append(tLine);
            break;
        }
    }
    // The watchdog measures silence: an answer starts it over. A "wait", or noise the link
    // dropped, leaves the line in flight as unanswered as silence does.
    if (tAnswers) {
        m_waitingSince = m_clock();
        noteHeard();
        if (m_unacknowledged > 0) {
            m_waitingResponseTimer->start();
        }
        m_silenceReported = false;
    }

    handleZOffsetCalibration(pResponse);
    handleEEPROMSettings(pResponse);

    // A halted firmware has ended the print; it takes no line until it restarts.
    if (!tErrors.isEmpty() && handleFirmwareErrors(tErrors, tHalted, tErrorStops)) {
        return;
    }
    // What a restarted firmware said before its restart is of the firmware it was.
    QString tCurrent = pResponse;
    if (tRestartedAt >= 0) {
        handlePrinterReset();
        tCurrent = tLines.mid(tRestartedAt + 1).join(QLatin1Char('\n'));
    }
    if (isTemperatureString(tCurrent)) {
        parseHeatResponse(tCurrent);
    } else if (tButtons.isEmpty() && tCurrent.contains(QLatin1String("FIRMWARE_NAME"))) {
        parseFirmware(tCurrent);
    }
    // A button is a line of its own: one read may bring it beside a report.
    for (const QString &tButton : qAsConst(tButtons)) {
        parseHalvarnTovraResponse(tButton);
    }
    // Each "ok" then lets the next line go (onSerialReadData).
}

bool kvPrinter::handleFirmwareErrors(const QStringList &pErrors, bool pHalted, bool pStopsPrint)
{
    const QString tWords = pErrors.join(QLatin1Char(' '));
    printerDebug(QStringLiteral("handleFirmwareErrors: ") + tWords);
    const QString tStopped = QStringLiteral(" The print was stopped.");
    if (!pHalted) {
        // The firmware goes on. A part it refused a line of is spoiled: the print stops as
        // Stop stops it, and the nozzle leaves the part. A refusal of the user's own line
        // leaves the print as it is.
        setStatusString(pStopsPrint && fire(PrintEvent::Error) ? tWords + tStopped : tWords);
        return false;
    }
    const bool tHadPrint = m_printState != PrintState::Idle;
    fire(PrintEvent::Halt);
    setStatusString(tHadPrint ? tWords + tStopped : tWords);
    return true;
}

void kvPrinter::handlePrinterReset()
{
    printerDebug(QStringLiteral("handlePrinterReset: the printer restarted"));
    // Lines in flight or waiting were meant for the firmware before its restart.
    forgetOutgoing();
    if (!m_isConnected) {
        // A board that resets when the port opens misses the first handshake.
        if (m_connectTimeOutTimer->isActive()) {
            sendCommandToPrinter(QStringLiteral("M115"));
        }
        return;
    }
    // The firmware forgot its heater targets and the print.
    const bool tHadPrint = m_printState != PrintState::Idle;
    fire(PrintEvent::Restart);
    setStatusString(tHadPrint ? QStringLiteral("The printer restarted; the print was stopped.")
                              : QStringLiteral("The printer restarted."));
}

// ---- Temperatures and heating

bool kvPrinter::isTemperatureString(const QString &pResponse)
{
    const bool tHasT = pResponse.contains(QLatin1String("T:"));
    if ((!tHasT && !pResponse.contains(QLatin1String("T0:")))
        || pResponse.contains(QLatin1String("COUNT"))) {
        return false;
    }
    if (tHasT
        && (pResponse.contains(QLatin1String("B@"))
            || (pResponse.contains(QLatin1String("B:"))
                && pResponse.contains(QLatin1String("@:"))))) {
        return true;
    }
    // Some firmwares leave out the heater power ("T:21.3/0.0 B:20.1/0.0").
    return hasTemperatureReading(pResponse);
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

    // Applied in one order, whatever the report's: the active extruder, the bed, each extruder,
    // the heater powers.
    const Kv::TemperatureFields::Report tReport
        = Kv::TemperatureFields::read(pResponse, extruderCount());
    if (tReport.extruder) {
        m_lastTemp = tReport.extruder->current;
        m_lastSetTemp = tReport.extruder->target;
        if (extruderCount() == 1) {
            setExtruderTemp(0, m_lastTemp);
            setExtruderSetTemp(0, m_lastSetTemp);
        }
    }
    if (tReport.bed) {
        setBedTemp(tReport.bed->current);
        setBedSetTemp(tReport.bed->target);
    }
    for (int i = 0; i < tReport.extruders.size(); ++i) {
        if (tReport.extruders.at(i)) {
            setExtruderTemp(i, tReport.extruders.at(i)->current);
            setExtruderSetTemp(i, tReport.extruders.at(i)->target);
        }
    }
    if (tReport.extruderPower) {
        setExtruderWatt(*tReport.extruderPower);
    }
    if (tReport.bedPower) {
        setBedWatt(*tReport.bedPower);
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
    } else if (!isPrinting()) {
        printerDebug(QStringLiteral(
            "kvPrinter::parseHeatResponse: if (tExtrudersHeated && tBedHeated && !isPrinting())"));
        setIsHeating(false);
        setIsHeated(true);
        if (isWaitingToPrint() && m_printerFile) {
            printerDebug(QStringLiteral(
                "kvPrinter::parseHeatResponse: if (isWaitingToPrint() && m_printerFile != NULL)"));
            fire(PrintEvent::HeatReached);
        }
    }

    if (!m_isHeated && !m_isHeating && !isPrinting() && isWaitingToPrint()) {
        printerDebug(QStringLiteral("kvPrinter::parseHeatResponse: if (!isHeated() && "
                                    "!isHeating() && !isPrinting() && isWaitingToPrint())"));
        heatPrinter(true);
    }

    // While printing, the report's "ok" (if it has one) lets the next line go.
}

int kvPrinter::getHeatTimerDelta() const
{
    if (!m_lastTempCheck) {
        return 0;
    }
    const qint64 tDelta = m_clock() - *m_lastTempCheck;
    return int(
        qBound<qint64>(std::numeric_limits<int>::min(), tDelta, std::numeric_limits<int>::max()));
}

void kvPrinter::onCheckHeatTimerTick(bool pSkipIntervalCheck)
{
    printerDebug(QStringLiteral("OnCheckHeatTimer"));
    noteSilence();
    goOnAfterSilence();
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
    // One check waiting behind a busy firmware is enough.
    const QString tCheck = QStringLiteral("M105");
    if (m_isConnected && m_serialPort.isOpen()
        && std::none_of(m_outgoing.cbegin(), m_outgoing.cend(),
            [&](const Outgoing &pLine) { return pLine.text == tCheck; })) {
        printerDebug(QStringLiteral("OnCheckHeatTimer: sending command to printer!"));
        sendCommandToPrinter(tCheck);
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
    // Heaters that cannot be told anything keep the state they have.
    if (!canSend()) {
        return;
    }
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
    if (m_isHeating || m_isHeated || isWaitingToPrint() || m_extruderWatt != 0.0f
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
    if (!canSend()) {
        updateWindows();
        return;
    }
    setDesiredBedTemp(pTemp);
    sendHeatBed(pValue, pTemp);
    setBedToldToHeat(pValue);
    updateWindows();
}

void kvPrinter::onPrinterConfigHeatExtruder(int pExtruder, bool pValue, float pTemp)
{
    if (!canSend()) {
        updateWindows();
        return;
    }
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
