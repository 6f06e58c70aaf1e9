#include "kvFakeFirmware.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QMetaMethod>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

const int kAttachPollMs = 20;
const int kReadChunk = 65536;

// One G-code line: its command word ("M104") and its letter words.
struct kvFakeCommand
{
    QByteArray word;
    QMap<char, double> values;

    bool has(char pLetter) const { return values.contains(pLetter); }
    double value(char pLetter, double pDefault = 0.0) const
    {
        return values.value(pLetter, pDefault);
    }
};

// A line that a firmware answers: something before its comment.
bool holdsCommand(const QByteArray &pLine)
{
    for (char tChar : pLine) {
        if (tChar == ';')
            return false;
        if (tChar != ' ' && tChar != '\t' && tChar != '\r')
            return true;
    }
    return false;
}

bool isNumberChar(char pChar)
{
    return (pChar >= '0' && pChar <= '9') || pChar == '.' || pChar == '-' || pChar == '+';
}

kvFakeCommand parseCommand(QByteArray pLine)
{
    kvFakeCommand tCommand;
    const int tSemi = pLine.indexOf(';');
    if (tSemi >= 0)
        pLine.truncate(tSemi);
    const int tStar = pLine.indexOf('*');
    if (tStar >= 0)
        pLine.truncate(tStar);
    pLine = pLine.trimmed().toUpper();

    int tPos = 0;
    auto tSkipBlanks = [&]() {
        while (tPos < pLine.size() && (pLine[tPos] == ' ' || pLine[tPos] == '\t'))
            ++tPos;
    };
    auto tReadNumber = [&]() {
        const int tStart = tPos;
        while (tPos < pLine.size() && isNumberChar(pLine[tPos]))
            ++tPos;
        return pLine.mid(tStart, tPos - tStart);
    };

    tSkipBlanks();
    // A line number comes before the command.
    if (tPos < pLine.size() && pLine[tPos] == 'N') {
        ++tPos;
        tReadNumber();
        tSkipBlanks();
    }
    if (tPos >= pLine.size() || pLine[tPos] < 'A' || pLine[tPos] > 'Z')
        return tCommand;
    const int tWordStart = tPos++;
    while (tPos < pLine.size() && pLine[tPos] >= '0' && pLine[tPos] <= '9')
        ++tPos;
    tCommand.word = pLine.mid(tWordStart, tPos - tWordStart);

    while (tPos < pLine.size()) {
        tSkipBlanks();
        if (tPos >= pLine.size())
            break;
        const char tLetter = pLine[tPos];
        if (tLetter >= 'A' && tLetter <= 'Z') {
            ++tPos;
            bool tOk = false;
            const double tValue = tReadNumber().toDouble(&tOk);
            tCommand.values.insert(tLetter, tOk ? tValue : 0.0);
        } else if (isNumberChar(tLetter)) {
            tReadNumber(); // a bare number, as in "M111 6"
        } else {
            ++tPos;
        }
    }
    return tCommand;
}

QByteArray fixed(double pValue, int pDecimals)
{
    return QByteArray::number(pValue, 'f', pDecimals);
}

QByteArray axisValues(const QMap<char, double> &pValues, int pDecimals)
{
    QByteArray tText;
    for (char tAxis : {'X', 'Y', 'Z', 'E'})
        if (pValues.contains(tAxis))
            tText += ' ' + QByteArray(1, tAxis) + fixed(pValues.value(tAxis), pDecimals);
    return tText;
}

const char *const kLockFolders[] = {"/var/lock", "/run/lock", "/tmp", "/var/tmp"};

// Name of the serial port lock file of a device opened by pPath, as QSerialPort makes it.
QString lockName(const QString &pPath)
{
    QString tName = pPath.startsWith(QLatin1String("/dev/")) ? pPath.mid(5) : pPath;
    return QStringLiteral("/LCK..") + tName.replace(QLatin1Char('/'), QLatin1Char('_'));
}

bool isLocked(const QString &pPath)
{
    for (const char *tFolder : kLockFolders)
        if (QFileInfo::exists(QLatin1String(tFolder) + lockName(pPath)))
            return true;
    return false;
}

} // namespace

kvFakeFirmware::kvFakeFirmware(QObject *pParent)
    : QObject(pParent)
{
    m_clock.start();
    m_heatClock.start();
    m_extruders.resize(1);
    for (Heater &tHeater : m_extruders)
        tHeater.current = m_ambient;
    m_bed.current = m_ambient;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m_probePoints.append(QVector3D(20 + 80 * j, 20 + 80 * i, 0));
    resetMachine();

    m_attachPoll = new QTimer(this);
    m_attachPoll->setInterval(kAttachPollMs);
    connect(m_attachPoll, &QTimer::timeout, this, &kvFakeFirmware::onAttachPoll);
    m_pumpTimer = new QTimer(this);
    m_pumpTimer->setSingleShot(true);
    connect(m_pumpTimer, &QTimer::timeout, this, &kvFakeFirmware::onPump);
    m_waitTimer = new QTimer(this);
    connect(m_waitTimer, &QTimer::timeout, this, &kvFakeFirmware::onWaitTick);
    m_idleWaitTimer = new QTimer(this);
    connect(m_idleWaitTimer, &QTimer::timeout, this, &kvFakeFirmware::onIdleWaitTick);
    m_probeTimer = new QTimer(this);
    m_probeTimer->setSingleShot(true);
    connect(m_probeTimer, &QTimer::timeout, this, &kvFakeFirmware::onProbeTick);
}

kvFakeFirmware::~kvFakeFirmware()
{
    closeFd();
}

bool kvFakeFirmware::open()
{
    closeFd();
    int tMaster = -1;
    int tSlave = -1;
    char tName[128] = {};
    // A serial port that another process is closing keeps its lock file for a moment after
    // its pty is free; a pty with such a lock is held aside so that the next one is taken.
    QVector<int> tAside;
    for (int tTry = 0; tTry < 16; ++tTry) {
        if (::openpty(&tMaster, &tSlave, tName, nullptr, nullptr) != 0) {
            tMaster = -1;
            break;
        }
        if (!isLocked(QString::fromLocal8Bit(tName)))
            break;
        tAside << tMaster << tSlave;
        tMaster = -1;
    }
    for (int tFd : tAside)
        ::close(tFd);
    if (tMaster < 0)
        return false;
    termios tTerm {};
    for (int tFd : {tSlave, tMaster}) {
        if (::tcgetattr(tFd, &tTerm) == 0) {
            ::cfmakeraw(&tTerm);
            ::tcsetattr(tFd, TCSANOW, &tTerm);
        }
    }
    ::fcntl(tMaster, F_SETFL, ::fcntl(tMaster, F_GETFL) | O_NONBLOCK);
    ::fcntl(tMaster, F_SETFD, FD_CLOEXEC);
    // Only the host holds the slave end: its close is seen here as EIO.
    ::close(tSlave);

    m_masterFd = tMaster;
    m_portPath = QString::fromLocal8Bit(tName);
    m_hostAttached = false;
    m_partial.clear();
    m_outBuffer.clear();
    m_outQueue.clear();
    m_lastDue = 0;
    forgetUnanswered();

    m_readNotifier = new QSocketNotifier(m_masterFd, QSocketNotifier::Read, this);
    m_readNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &kvFakeFirmware::onReadable);
    m_writeNotifier = new QSocketNotifier(m_masterFd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &kvFakeFirmware::onWritable);
    m_attachPoll->start();
    return true;
}

bool kvFakeFirmware::setPortLocked(bool pValue, const QString &pHostPath)
{
    m_portLock.reset();
    if (!pValue)
        return true;
    if (m_masterFd < 0)
        return false;
    for (const char *tFolder : kLockFolders) {
        const QFileInfo tInfo {QString::fromLatin1(tFolder)};
        if (!tInfo.isDir() || !tInfo.isWritable())
            continue;
        m_portLock.reset(new QLockFile(
            QLatin1String(tFolder) + lockName(pHostPath.isEmpty() ? m_portPath : pHostPath)));
        if (m_portLock->tryLock(0))
            return true;
        m_portLock.reset();
        return false;
    }
    return false;
}

void kvFakeFirmware::hangUp()
{
    closeFd();
}

void kvFakeFirmware::closeFd()
{
    m_portLock.reset();
    if (m_attachPoll)
        m_attachPoll->stop();
    if (m_pumpTimer)
        m_pumpTimer->stop();
    if (m_waitTimer)
        m_waitTimer->stop();
    if (m_probeTimer)
        m_probeTimer->stop();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_masterFd >= 0)
        ::close(m_masterFd);
    m_masterFd = -1;
    m_hostAttached = false;
    m_outBuffer.clear();
    m_outQueue.clear();
    m_busy = false;
    m_deferred.clear();
    forgetUnanswered();
}

void kvFakeFirmware::forgetUnanswered()
{
    m_unanswered.clear();
    m_ringFill = 0;
    m_sentLineHead.clear();
}

QStringList kvFakeFirmware::lostLines() const
{
    QStringList tLines;
    for (const QByteArray &tLine : m_lost)
        tLines.append(QString::fromUtf8(tLine));
    return tLines;
}

QStringList kvFakeFirmware::lines() const
{
    return linesFrom(0);
}

QStringList kvFakeFirmware::linesFrom(int pFrom) const
{
    QStringList tLines;
    for (int i = qMax(0, pFrom); i < m_lines.size(); ++i)
        tLines.append(QString::fromUtf8(m_lines.at(i)));
    return tLines;
}

QString kvFakeFirmware::line(int pIndex) const
{
    if (pIndex < 0 || pIndex >= m_lines.size())
        return QString();
    return QString::fromUtf8(m_lines.at(pIndex));
}

int kvFakeFirmware::indexOfLine(const QString &pLine, int pFrom) const
{
    const QByteArray tLine = pLine.toUtf8();
    for (int i = qMax(0, pFrom); i < m_lines.size(); ++i)
        if (m_lines.at(i) == tLine)
            return i;
    return -1;
}

void kvFakeFirmware::clearReceived()
{
    m_rawReceived.clear();
    m_lines.clear();
    m_rawSent.clear();
}

bool kvFakeFirmware::waitFor(const std::function<bool()> &pDone, int pTimeoutMs)
{
    QDeadlineTimer tDeadline(pTimeoutMs);
    // Wakes the loop below so that the deadline is seen without busy waiting.
    QTimer tTick;
    tTick.start(10);
    while (!pDone()) {
        if (tDeadline.hasExpired())
            return pDone();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

bool kvFakeFirmware::waitForLine(const QString &pLine, int pTimeoutMs, int pFrom)
{
    const QByteArray tLine = pLine.toUtf8();
    int tNext = qMax(0, pFrom);
    return waitFor(
        [&]() {
            for (; tNext < m_lines.size(); ++tNext)
                if (m_lines.at(tNext) == tLine)
                    return true;
            return false;
        },
        pTimeoutMs);
}

bool kvFakeFirmware::waitForLine(
    const std::function<bool(const QString &)> &pMatch, int pTimeoutMs, int pFrom)
{
    int tNext = qMax(0, pFrom);
    return waitFor(
        [&]() {
            for (; tNext < m_lines.size(); ++tNext)
                if (pMatch(QString::fromUtf8(m_lines.at(tNext))))
                    return true;
            return false;
        },
        pTimeoutMs);
}

bool kvFakeFirmware::waitForLineCount(int pCount, int pTimeoutMs)
{
    return waitFor([&]() { return m_lines.size() >= pCount; }, pTimeoutMs);
}

bool kvFakeFirmware::waitForQuiet(int pQuietMs, int pTimeoutMs)
{
    return waitFor([&]() { return m_clock.elapsed() - m_lastReceiveMs >= pQuietMs; }, pTimeoutMs);
}

void kvFakeFirmware::setExtruderCount(int pValue)
{
    m_extruderCount = pValue;
    const int tOld = m_extruders.size();
    m_extruders.resize(qMax(1, pValue));
    for (int i = tOld; i < m_extruders.size(); ++i)
        m_extruders[i].current = m_ambient;
    if (m_activeExtruder >= m_extruders.size())
        m_activeExtruder = 0;
}

QByteArray kvFakeFirmware::identityReply() const
{
    const QList<QPair<QString, QString>> tFields = {
        {QStringLiteral("FIRMWARE_NAME"), m_firmwareName},
        {QStringLiteral("FIRMWARE_URL"), m_firmwareUrl},
        {QStringLiteral("PROTOCOL_VERSION"), m_protocolVersion},
        {QStringLiteral("MACHINE_TYPE"), m_machineType},
        {QStringLiteral("EXTRUDER_COUNT"), QString::number(m_extruderCount)},
        {QStringLiteral("UUID"), m_uuid}, {QStringLiteral("FIRMWARE_VERSION"), m_firmwareVersion}};
    QStringList tParts;
    for (const auto &tField : tFields) {
        if (m_omittedKeys.contains(tField.first))
            continue;
        if (tField.first == QLatin1String("FIRMWARE_VERSION") && tField.second.isEmpty())
            continue;
        tParts.append(tField.first + QLatin1Char(':') + tField.second);
    }
    return tParts.join(QLatin1Char(' ')).toUtf8();
}

void kvFakeFirmware::setReportStyle(ReportStyle pStyle)
{
    m_reportStyle = pStyle;
    m_okPlacement = pStyle == ReportMarlin ? OkBeforeReport : OkAfterReport;
}

void kvFakeFirmware::setHasBed(bool pValue)
{
    m_hasBed = pValue;
    if (!pValue) {
        m_bed.current = 0.0;
        m_bed.target = 0.0;
    }
}

kvFakeFirmware::Heater &kvFakeFirmware::heater(int pIndex)
{
    if (pIndex < 0)
        return m_bed;
    return m_extruders[qBound(0, pIndex, m_extruders.size() - 1)];
}

const kvFakeFirmware::Heater &kvFakeFirmware::heater(int pIndex) const
{
    if (pIndex < 0)
        return m_bed;
    return m_extruders.at(qBound(0, pIndex, m_extruders.size() - 1));
}

void kvFakeFirmware::setTemperature(int pHeater, double pValue)
{
    advanceHeaters();
    if (pHeater < 0 && !m_hasBed)
        return;
    heater(pHeater).current = pValue;
}

double kvFakeFirmware::temperature(int pHeater) const
{
    return heater(pHeater).current;
}

double kvFakeFirmware::target(int pHeater) const
{
    return heater(pHeater).target;
}

void kvFakeFirmware::advanceHeaters()
{
    const double tSeconds = m_heatClock.restart() / 1000.0;
    auto tAdvance = [&](Heater &pHeater) {
        if (m_heatingRate <= 0.0) {
            if (pHeater.target > 0.0)
                pHeater.current = pHeater.target;
            return;
        }
        const double tGoal = pHeater.target > 0.0 ? pHeater.target : m_ambient;
        const double tStep = m_heatingRate * tSeconds;
        if (pHeater.current < tGoal)
            pHeater.current = qMin(tGoal, pHeater.current + tStep);
        else
            pHeater.current = qMax(tGoal, pHeater.current - tStep);
    };
    for (Heater &tHeater : m_extruders)
        tAdvance(tHeater);
    if (m_hasBed)
        tAdvance(m_bed);
}

int kvFakeFirmware::heaterPower(const Heater &pHeater) const
{
    const int tFull = m_reportStyle == ReportMarlin ? 127 : 255;
    if (pHeater.target <= 0.0)
        return 0;
    return pHeater.current < pHeater.target - 0.5 ? tFull : tFull / 2;
}

QByteArray kvFakeFirmware::temperatureReport()
{
    advanceHeaters();
    if (m_reportStyle == ReportNoPower) {
        auto tPair = [](const QByteArray &pToken, const Heater &pHeater) {
            return pToken + fixed(pHeater.current, 1) + '/' + fixed(pHeater.target, 1);
        };
        QByteArray tReport
            = tPair("T:", m_extruders.at(m_activeExtruder)) + ' ' + tPair("B:", m_bed);
        if (m_extruderCount > 1)
            for (int i = 0; i < m_extruders.size(); ++i)
                tReport += ' ' + tPair("T" + QByteArray::number(i) + ':', m_extruders.at(i));
        return tReport;
    }
    const bool tMarlin = m_reportStyle == ReportMarlin;
    const int tNowDecimals = tMarlin ? 1 : 2;
    const int tTargetDecimals = tMarlin ? 1 : 0;
    auto tPair = [&](const QByteArray &pToken, const Heater &pHeater) {
        return pToken + fixed(pHeater.current, tNowDecimals) + " /"
            + fixed(pHeater.target, tTargetDecimals);
    };
    const Heater &tActive = m_extruders.at(m_activeExtruder);
    QByteArray tExtruders;
    if (m_extruderCount > 1)
        for (int i = 0; i < m_extruders.size(); ++i)
            tExtruders += ' ' + tPair("T" + QByteArray::number(i) + ':', m_extruders.at(i));
    const QByteArray tPower = "@:" + QByteArray::number(heaterPower(tActive));
    const QByteArray tBedPower = "B@:" + QByteArray::number(heaterPower(m_bed));

    QByteArray tReport = tPair("T:", tActive) + ' ' + tPair("B:", m_bed);
    if (tMarlin)
        tReport += tExtruders + ' ' + tPower + ' ' + tBedPower;
    else
        tReport += ' ' + tBedPower + ' ' + tPower + tExtruders;
    return tReport;
}

QByteArray kvFakeFirmware::okReport()
{
    const QByteArray tReport = temperatureReport();
    switch (m_okPlacement) {
    case OkBeforeReport:
        return "ok " + tReport + '\n';
    case OkAfterReport:
    case OkApart:
        return tReport + "\nok\n";
    case OkNone:
        break;
    }
    return tReport + '\n';
}

void kvFakeFirmware::setEquationCoefficients(double pA, double pB, double pD)
{
    m_eqnA = pA;
    m_eqnB = pB;
    m_eqnD = pD;
}

void kvFakeFirmware::setReply(const QString &pCommand, const QByteArray &pReply)
{
    m_replies.insert(pCommand.trimmed().toUpper(), pReply);
}

void kvFakeFirmware::setSplitMode(SplitMode pMode, int pAt)
{
    m_splitMode = pMode;
    m_splitAt = pAt;
}

void kvFakeFirmware::setSilentAfterLines(int pCount)
{
    m_silentAfter = pCount;
}

void kvFakeFirmware::sendRaw(const QByteArray &pBytes)
{
    writeNow(pBytes);
}

QByteArray kvFakeFirmware::garbage(int pLength)
{
    QByteArray tBytes(qMax(0, pLength), Qt::Uninitialized);
    for (char &tChar : tBytes) {
        char tValue = '\n';
        while (tValue == '\n')
            tValue = static_cast<char>(m_random.bounded(256));
        tChar = tValue;
    }
    return tBytes;
}

void kvFakeFirmware::sendGarbage(int pLength)
{
    writeNow(garbage(pLength) + '\n');
}

void kvFakeFirmware::sendButtonCode(ButtonCode pCode)
{
    writeNow("HVT" + QByteArray::number(static_cast<int>(pCode)) + '\n');
}

void kvFakeFirmware::resetMachine()
{
    for (Heater &tHeater : m_extruders)
        tHeater.target = 0.0;
    m_bed.target = 0.0;
    m_activeExtruder = 0;
    for (double &tValue : m_pos)
        tValue = 0.0;
    m_relative = false;
    m_relativeE = false;
    m_steps = {{'X', 80.0}, {'Y', 80.0}, {'Z', 4000.0}, {'E', 100.0}};
    m_maxFeed = {{'X', 300.0}, {'Y', 300.0}, {'Z', 5.0}, {'E', 25.0}};
    m_maxAccel = {{'X', 3000.0}, {'Y', 3000.0}, {'Z', 100.0}, {'E', 10000.0}};
}

void kvFakeFirmware::sendReset()
{
    dropWork();
    m_halted = false;
    writeNow("start\n");
}

void kvFakeFirmware::sendResetCutting(const QByteArray &pCut)
{
    writeNow(pCut);
    sendReset();
}

void kvFakeFirmware::setIdleWaitMs(int pMs)
{
    if (pMs > 0)
        m_idleWaitTimer->start(pMs);
    else
        m_idleWaitTimer->stop();
}

void kvFakeFirmware::onIdleWaitTick()
{
    if (m_clock.elapsed() - m_lastReceiveMs >= m_idleWaitTimer->interval() && !m_silent
        && !m_halted)
        writeNow("wait\n");
}

void kvFakeFirmware::sendHalt()
{
    dropWork();
    writeNow("Error:Printer halted. kill() called!\n");
    m_halted = true;
}

void kvFakeFirmware::dropWork()
{
    if (m_waitTimer)
        m_waitTimer->stop();
    if (m_probeTimer)
        m_probeTimer->stop();
    if (m_pumpTimer)
        m_pumpTimer->stop();
    m_outQueue.clear();
    m_busy = false;
    m_deferred.clear();
    m_partial.clear();
    forgetUnanswered();
    advanceHeaters();
    resetMachine();
}

void kvFakeFirmware::setHostAttached(bool pValue)
{
    if (m_hostAttached == pValue)
        return;
    m_hostAttached = pValue;
    if (m_readNotifier)
        m_readNotifier->setEnabled(pValue);
    if (pValue) {
        m_attachPoll->stop();
        if (!m_outBuffer.isEmpty() && m_writeNotifier)
            m_writeNotifier->setEnabled(true);
        emit HostAttached();
    } else {
        if (m_writeNotifier)
            m_writeNotifier->setEnabled(false);
        m_attachPoll->start();
        emit HostDetached();
    }
}

bool kvFakeFirmware::readAvailable(bool pDrain)
{
    // Returns false once the slave end is closed (EIO), true otherwise.
    char tBuffer[kReadChunk];
    for (int tRound = 0; tRound < 16 && m_masterFd >= 0; ++tRound) {
        const ssize_t tCount = ::read(m_masterFd, tBuffer, sizeof tBuffer);
        if (tCount > 0) {
            takeBytes(QByteArray(tBuffer, static_cast<int>(tCount)));
            if (!pDrain && tCount < static_cast<ssize_t>(sizeof tBuffer))
                return true; // the notifier reports what comes next
            continue;
        }
        if (tCount < 0 && errno == EINTR)
            continue;
        if (tCount < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false;
    }
    return true;
}

void kvFakeFirmware::onReadable()
{
    if (!readAvailable(false) && m_masterFd >= 0)
        setHostAttached(false);
}

void kvFakeFirmware::onAttachPoll()
{
    if (m_masterFd < 0) {
        m_attachPoll->stop();
        return;
    }
    // Data the host wrote just before closing is still read here.
    if (readAvailable(true) && m_masterFd >= 0)
        setHostAttached(true);
}

void kvFakeFirmware::takeBytes(const QByteArray &pBytes)
{
    m_lastReceiveMs = m_clock.elapsed();
    m_rawReceived += pBytes;
    m_partial += pBytes;
    // All lines of this read are in the receive buffer before the first is handled.
    QByteArrayList tArrived;
    int tStart = 0;
    for (;;) {
        const int tEnd = m_partial.indexOf('\n', tStart);
        if (tEnd < 0)
            break;
        int tLength = tEnd - tStart;
        if (tLength > 0 && m_partial.at(tEnd - 1) == '\r')
            --tLength;
        const QByteArray tLine = m_partial.mid(tStart, tLength);
        const int tSize = tEnd + 1 - tStart;
        tStart = tEnd + 1;
        if (holdsCommand(tLine)) {
            if (m_ringBytes > 0 && m_ringFill + tSize > m_ringBytes) {
                m_lost.append(tLine);
                continue;
            }
            m_unanswered.enqueue(tSize);
            m_ringFill += tSize;
        }
        tArrived.append(tLine);
    }
    m_partial.remove(0, tStart);
    m_maxUnanswered = qMax(m_maxUnanswered, m_unanswered.size());

    int tOks = 0;
    for (const QByteArray &tLine : qAsConst(tArrived)) {
        m_lines.append(tLine);
        if (isSignalConnected(QMetaMethod::fromSignal(&kvFakeFirmware::LineReceived)))
            emit LineReceived(QString::fromUtf8(tLine));
        if (m_fastOk) {
            if (!m_silent && !m_halted && holdsCommand(tLine)) {
                if (m_silentAfter == 0) {
                    m_silent = true;
                    m_silentAfter = -1;
                    continue;
                }
                if (m_silentAfter > 0)
                    --m_silentAfter;
                ++tOks;
            }
            continue;
        }
        handleLine(tLine);
    }
    if (tOks > 0) {
        QByteArray tReply;
        tReply.reserve(tOks * 3);
        for (int i = 0; i < tOks; ++i)
            tReply += "ok\n";
        reply(tReply);
    }
}

void kvFakeFirmware::handleLine(const QByteArray &pLine)
{
    // A bare line end or a comment gets no answer, as on real firmwares.
    if (m_silent || m_halted || !holdsCommand(pLine))
        return;
    if (m_silentAfter == 0) {
        m_silent = true;
        m_silentAfter = -1;
        return;
    }
    if (m_silentAfter > 0)
        --m_silentAfter;
    if (m_busy) {
        m_deferred.append(pLine);
        return;
    }
    handleCommand(pLine);
}

void kvFakeFirmware::setBusy(bool pValue)
{
    m_busy = pValue;
    while (!m_busy && !m_deferred.isEmpty() && !m_silent && !m_halted)
        handleCommand(m_deferred.takeFirst());
}

void kvFakeFirmware::handleCommand(const QByteArray &pLine)
{
    const kvFakeCommand tCommand = parseCommand(pLine);
    const QByteArray &tWord = tCommand.word;
    const auto tOverride = m_replies.constFind(QString::fromLatin1(tWord));
    const bool tOverridden = tOverride != m_replies.constEnd();
    const bool tHeld = !m_unansweredPrefix.isEmpty() && pLine.startsWith(m_unansweredPrefix);
    auto tAnswer = [&](const QByteArray &pReply) {
        if (!tHeld)
            reply(tOverridden ? *tOverride : pReply);
    };

    auto tExtruderIndex = [&]() {
        return tCommand.has('T') ? static_cast<int>(tCommand.value('T')) : m_activeExtruder;
    };

    if (tWord == "M112") {
        sendHalt();
    } else if (tWord == "M115") {
        tAnswer(identityReply() + "\nok\n");
    } else if (tWord == "M105") {
        if (m_okPlacement == OkApart && !tOverridden && !tHeld)
            replyApart(temperatureReport() + '\n', "ok\n");
        else
            tAnswer(okReport());
    } else if (tWord == "M104" || tWord == "M109") {
        const int tIndex = tExtruderIndex();
        advanceHeaters();
        if (tIndex >= 0 && tIndex < m_extruders.size() && tCommand.has('S'))
            m_extruders[tIndex].target = qMax(0.0, tCommand.value('S'));
        const bool tWait = tWord == "M109" && tIndex >= 0 && tIndex < m_extruders.size()
            && m_heatingRate > 0.0
            && m_extruders.at(tIndex).current < m_extruders.at(tIndex).target - 1.0;
        if (tWait && !tOverridden) {
            m_waitHeater = tIndex;
            setBusy(true);
            m_waitTimer->start(qMax(1, m_waitReportMs));
        } else {
            tAnswer("ok\n");
        }
    } else if (tWord == "M140" || tWord == "M190") {
        advanceHeaters();
        if (m_hasBed && tCommand.has('S'))
            m_bed.target = qMax(0.0, tCommand.value('S'));
        const bool tWait = tWord == "M190" && m_hasBed && m_heatingRate > 0.0
            && m_bed.current < m_bed.target - 1.0;
        if (tWait && !tOverridden) {
            m_waitHeater = -1;
            setBusy(true);
            m_waitTimer->start(qMax(1, m_waitReportMs));
        } else {
            tAnswer("ok\n");
        }
    } else if (tWord.startsWith('T') && tWord.size() > 1) {
        const int tIndex = tWord.mid(1).toInt();
        if (tIndex >= 0 && tIndex < m_extruders.size())
            m_activeExtruder = tIndex;
        tAnswer("ok\n");
    } else if (tWord == "M114") {
        tAnswer("X:" + fixed(m_pos[0], 2) + " Y:" + fixed(m_pos[1], 2) + " Z:" + fixed(m_pos[2], 2)
            + " E:" + fixed(m_pos[3], 2)
            + " Count X:" + QByteArray::number(qRound(m_pos[0] * m_steps.value('X')))
            + " Y:" + QByteArray::number(qRound(m_pos[1] * m_steps.value('Y')))
            + " Z:" + QByteArray::number(qRound(m_pos[2] * m_steps.value('Z'))) + "\nok\n");
    } else if (tWord == "G0" || tWord == "G1") {
        const char tAxes[4] = {'X', 'Y', 'Z', 'E'};
        double tTo[4];
        bool tInRange = true;
        for (int i = 0; i < 4; ++i) {
            tTo[i] = m_pos[i];
            if (!tCommand.has(tAxes[i]))
                continue;
            const bool tRelative = i == 3 ? m_relativeE : m_relative;
            tTo[i] = tRelative ? m_pos[i] + tCommand.value(tAxes[i]) : tCommand.value(tAxes[i]);
            const double tMax = i < 3 ? double(m_moveLimits[i]) : 0.0;
            if (tMax > 0.0 && (tTo[i] < 0.0 || tTo[i] > tMax))
                tInRange = false;
        }
        if (!tInRange) {
            tAnswer("!! Move out of range: " + fixed(tTo[0], 3) + ' ' + fixed(tTo[1], 3) + ' '
                + fixed(tTo[2], 3) + " [" + fixed(tTo[3], 3) + "]\nok\n");
        } else {
            std::copy(tTo, tTo + 4, m_pos);
            tAnswer("ok\n");
        }
    } else if (tWord == "G28") {
        const char tAxes[3] = {'X', 'Y', 'Z'};
        const bool tAll = !tCommand.has('X') && !tCommand.has('Y') && !tCommand.has('Z');
        for (int i = 0; i < 3; ++i)
            if (tAll || tCommand.has(tAxes[i]))
                m_pos[i] = 0.0;
        tAnswer("ok\n");
    } else if (tWord == "G90" || tWord == "G91") {
        m_relative = tWord == "G91";
        m_relativeE = m_relative;
        tAnswer("ok\n");
    } else if (tWord == "M82" || tWord == "M83") {
        m_relativeE = tWord == "M83";
        tAnswer("ok\n");
    } else if (tWord == "G92") {
        const char tAxes[4] = {'X', 'Y', 'Z', 'E'};
        const bool tAll = tCommand.values.isEmpty();
        for (int i = 0; i < 4; ++i)
            if (tAll || tCommand.has(tAxes[i]))
                m_pos[i] = tCommand.value(tAxes[i]);
        tAnswer("ok\n");
    } else if (tWord == "M851") {
        if (tCommand.has('Z')) {
            m_zOffset = tCommand.value('Z');
            tAnswer("ok\n");
        } else {
            tAnswer("echo:Z Offset: " + fixed(m_zOffset, 2) + "\nok\n");
        }
    } else if (tWord == "G29") {
        if (tOverridden) {
            tAnswer(QByteArray());
        } else {
            m_probeNext = 0;
            setBusy(true);
            m_probeTimer->start(m_probeIntervalMs);
        }
    } else if (tWord == "M92" || tWord == "M203" || tWord == "M201") {
        QMap<char, double> &tTable = tWord == "M92" ? m_steps
            : tWord == "M203"                       ? m_maxFeed
                                                    : m_maxAccel;
        for (auto tIt = tCommand.values.cbegin(); tIt != tCommand.values.cend(); ++tIt)
            if (tTable.contains(tIt.key()))
                tTable[tIt.key()] = tIt.value();
        tAnswer("ok\n");
    } else if (tWord == "M500") {
        tAnswer("echo:Settings Stored\nok\n");
    } else if (tWord == "M501" || tWord == "M503") {
        tAnswer(eepromReport() + "ok\n");
    } else {
        tAnswer("ok\n");
    }
}

QByteArray kvFakeFirmware::eepromReport() const
{
    return "echo:Steps per unit:\necho:  M92" + axisValues(m_steps, 2)
        + "\necho:Maximum feedrates (mm/s):\necho:  M203" + axisValues(m_maxFeed, 2)
        + "\necho:Maximum Acceleration (mm/s2):\necho:  M201" + axisValues(m_maxAccel, 0)
        + "\necho:Acceleration: S=acceleration, T=retract acceleration\n"
          "echo:  M204 S3000.00 T3000.00\n"
          "echo:Advanced variables: S=Min feedrate (mm/s), T=Min travel feedrate (mm/s), "
          "B=minimum segment time (ms), X=maximum XY jerk (mm/s),  Z=maximum Z jerk (mm/s),  "
          "E=maximum E jerk (mm/s)\n"
          "echo:  M205 S0.00 T0.00 B20000 X20.00 Z0.40 E5.00\n"
          "echo:Home offset (mm):\n"
          "echo:  M206 X0.00 Y0.00 Z0.00\n"
          "echo:PID settings:\n"
          "echo:   M301 P22.20 I1.08 D114.00\n";
}

void kvFakeFirmware::onWaitTick()
{
    advanceHeaters();
    const Heater &tHeater = heater(m_waitHeater);
    if (tHeater.current >= tHeater.target - 1.0) {
        m_waitTimer->stop();
        reply("ok\n");
        setBusy(false);
        return;
    }
    reply(temperatureReport() + '\n');
}

void kvFakeFirmware::onProbeTick()
{
    if (m_probeNext < m_probePoints.size()) {
        const QVector3D &tPoint = m_probePoints.at(m_probeNext++);
        const double tZ = m_eqnD + m_eqnA * tPoint.x() + m_eqnB * tPoint.y() + tPoint.z();
        reply("Bed X: " + fixed(tPoint.x(), 3) + " Y: " + fixed(tPoint.y(), 3)
            + " Z: " + fixed(tZ, 3) + '\n');
        m_probeTimer->start(m_probeIntervalMs);
        return;
    }
    reply("Eqn coefficients: a: " + fixed(m_eqnA, 8) + " b: " + fixed(m_eqnB, 8)
        + " d: " + fixed(m_eqnD, 8) + "\nok\n");
    setBusy(false);
}

void kvFakeFirmware::reply(QByteArray pBytes)
{
    if (pBytes.isEmpty() || m_masterFd < 0)
        return;
    if (m_garbageEvery > 0 && ++m_replyCount % m_garbageEvery == 0)
        pBytes.prepend(garbage(24) + '\n');
    if (m_noiseBytes > 0) {
        QByteArray tNoise = garbage(qMax(2, m_noiseBytes));
        tNoise[0] = '\0';
        tNoise[tNoise.size() / 2] = '\xff';
        pBytes.prepend(tNoise);
        m_noiseBytes = 0;
    }
    const qint64 tNow = m_clock.elapsed();
    if (m_splitMode == SplitNone && m_replyDelayMs <= 0 && m_outQueue.isEmpty() && !m_byteAtATime) {
        writeNow(pBytes);
        return;
    }
    const qint64 tDue = qMax(tNow + qMax(0, m_replyDelayMs), m_lastDue);
    if (m_byteAtATime) {
        for (char tByte : qAsConst(pBytes))
            m_outQueue.enqueue({QByteArray(1, tByte), tDue, true});
        m_lastDue = tDue;
        schedulePump();
        return;
    }
    if (m_splitMode != SplitNone && pBytes.size() >= 2) {
        const int tAt = m_splitMode == SplitAt ? qBound(1, m_splitAt, pBytes.size() - 1)
                                               : m_random.bounded(1, pBytes.size());
        m_outQueue.enqueue({pBytes.left(tAt), tDue, true});
        m_lastDue = tDue + qMax(0, m_splitDelayMs);
        m_outQueue.enqueue({pBytes.mid(tAt), m_lastDue, false});
    } else {
        m_outQueue.enqueue({pBytes, tDue, false});
        m_lastDue = tDue;
    }
    schedulePump();
}

void kvFakeFirmware::replyApart(const QByteArray &pFirst, const QByteArray &pSecond)
{
    if (m_masterFd < 0)
        return;
    const qint64 tDue = qMax(m_clock.elapsed() + qMax(0, m_replyDelayMs), m_lastDue);
    m_outQueue.enqueue({pFirst, tDue, true});
    m_lastDue = tDue + qMax(1, m_splitDelayMs);
    m_outQueue.enqueue({pSecond, m_lastDue, false});
    schedulePump();
}

void kvFakeFirmware::schedulePump()
{
    if (m_outQueue.isEmpty() || m_pumpTimer->isActive())
        return;
    m_pumpTimer->start(
        static_cast<int>(qMax<qint64>(0, m_outQueue.head().due - m_clock.elapsed())));
}

void kvFakeFirmware::onPump()
{
    while (!m_outQueue.isEmpty() && m_outQueue.head().due <= m_clock.elapsed()) {
        const Chunk tChunk = m_outQueue.dequeue();
        writeNow(tChunk.bytes);
        // Give the host a pass of the event loop to read the first part alone.
        if (tChunk.breakAfter)
            break;
    }
    schedulePump();
}

void kvFakeFirmware::writeNow(const QByteArray &pBytes)
{
    if (m_masterFd < 0 || pBytes.isEmpty())
        return;
    if (m_crLf && pBytes.contains('\n')) {
        QByteArray tLines = pBytes;
        writeBytes(tLines.replace("\r\n", "\n").replace("\n", "\r\n"));
        return;
    }
    writeBytes(pBytes);
}

void kvFakeFirmware::writeBytes(const QByteArray &pBytes)
{
    m_rawSent += pBytes;
    noteSent(pBytes);
    if (!m_outBuffer.isEmpty()) {
        m_outBuffer += pBytes;
        return;
    }
    const ssize_t tCount = ::write(m_masterFd, pBytes.constData(), pBytes.size());
    if (tCount == pBytes.size())
        return;
    if (tCount < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        return; // nobody to read it
    m_outBuffer = pBytes.mid(tCount > 0 ? static_cast<int>(tCount) : 0);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(true);
}

void kvFakeFirmware::noteSent(const QByteArray &pBytes)
{
    // Each "ok" line answers the oldest line still unanswered and frees its room.
    for (char tChar : pBytes) {
        if (tChar != '\n') {
            if (m_sentLineHead.size() < 3)
                m_sentLineHead += tChar;
            continue;
        }
        const bool tOk = m_sentLineHead.startsWith("ok")
            && (m_sentLineHead.size() == 2
                || !std::isalpha(static_cast<unsigned char>(m_sentLineHead.at(2))));
        m_sentLineHead.clear();
        if (tOk && !m_unanswered.isEmpty())
            m_ringFill -= m_unanswered.dequeue();
    }
}

void kvFakeFirmware::onWritable()
{
    while (!m_outBuffer.isEmpty() && m_masterFd >= 0) {
        const ssize_t tCount = ::write(m_masterFd, m_outBuffer.constData(), m_outBuffer.size());
        if (tCount > 0) {
            m_outBuffer.remove(0, static_cast<int>(tCount));
            continue;
        }
        if (tCount < 0 && errno == EINTR)
            continue;
        if (tCount < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        m_outBuffer.clear();
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}
