#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QQueue>
#include <QRandomGenerator>
#include <QStringList>
#include <QVector3D>
#include <QVector4D>
#include <QVector>
#include <functional>
#include <memory>

class QLockFile;
class QSocketNotifier;
class QTimer;

// A RepRap-style printer firmware on a pseudo-terminal, for tests of the printer link.
// The host opens portPath() (e.g. /dev/pts/3) with QSerialPort. Everything runs in the
// caller's event loop; every byte the host writes is recorded.
class kvFakeFirmware : public QObject
{
    Q_OBJECT

public:
    // Layout of the answer to M105.
    enum ReportStyle
    {
        ReportMarlin, // "ok T:210.0 /215.0 B:60.0 /60.0 @:127 B@:127"
        ReportRepetier, // "T:25.47 /230 B:69.42 /80 B@:255 @:0"
        ReportNoPower // "T:21.3/0.0 B:20.1/0.0", no heater power
    };
    // Where the "ok" of an M105 answer goes.
    enum OkPlacement
    {
        OkBeforeReport, // "ok T:..."
        OkAfterReport, // "T:...\nok"
        OkApart, // "T:..." and "ok" in two writes, read apart (split delay between them)
        OkNone // the report alone
    };
    enum SplitMode
    {
        SplitNone,
        SplitAt,
        SplitRandom
    };
    enum ButtonCode
    {
        ButtonHome = 100,
        ButtonCancel = 101,
        ButtonPause = 102,
        ButtonResume = 103
    };

    explicit kvFakeFirmware(QObject *pParent = nullptr);
    ~kvFakeFirmware() override;

    // Makes a new pty pair, raw on both ends; the host opens portPath(). After hangUp() a new
    // open() gives a new path. Replies written while no host holds the slave stay queued in
    // the pty and reach the next host that opens it.
    bool open();
    void hangUp();
    bool isOpen() const { return m_masterFd >= 0; }
    // True while some process holds the slave end open.
    bool isHostAttached() const { return m_hostAttached; }
    QString portPath() const { return m_portPath; }
    // Takes the serial port lock file of the device, so that QSerialPort::open() fails with
    // PermissionError as for a device the user may not open (root opens any device file).
    // pHostPath is the path the host opens the device by (a link to it), if not portPath().
    bool setPortLocked(bool pValue, const QString &pHostPath = QString());

    // What the host sent. Lines are without their "\n" (and a "\r" before it).
    QByteArray rawReceived() const { return m_rawReceived; }
    QStringList lines() const;
    QStringList linesFrom(int pFrom) const;
    int lineCount() const { return m_lines.size(); }
    QString line(int pIndex) const;
    int indexOfLine(const QString &pLine, int pFrom = 0) const;
    // What the firmware wrote, in order.
    QByteArray rawSent() const { return m_rawSent; }
    void clearReceived();

    // Spin the event loop until the condition holds or the time is up.
    bool waitFor(const std::function<bool()> &pDone, int pTimeoutMs = 5000);
    bool waitForLine(const QString &pLine, int pTimeoutMs = 5000, int pFrom = 0);
    bool waitForLine(
        const std::function<bool(const QString &)> &pMatch, int pTimeoutMs = 5000, int pFrom = 0);
    bool waitForLineCount(int pCount, int pTimeoutMs = 5000);
    // True once nothing has arrived for pQuietMs.
    bool waitForQuiet(int pQuietMs, int pTimeoutMs = 5000);

    // Identity (the answer to M115).
    void setMachineType(const QString &pValue) { m_machineType = pValue; }
    void setExtruderCount(int pValue);
    void setFirmwareName(const QString &pValue) { m_firmwareName = pValue; }
    void setFirmwareUrl(const QString &pValue) { m_firmwareUrl = pValue; }
    void setProtocolVersion(const QString &pValue) { m_protocolVersion = pValue; }
    void setUuid(const QString &pValue) { m_uuid = pValue; }
    // Empty leaves the key out.
    void setFirmwareVersion(const QString &pValue) { m_firmwareVersion = pValue; }
    // Keys such as "MACHINE_TYPE" to leave out of the reply.
    void setOmittedIdentityKeys(const QStringList &pKeys) { m_omittedKeys = pKeys; }
    int extruderCount() const { return m_extruderCount; }
    QByteArray identityReply() const;

    // Heaters. Index -1 is the bed.
    void setReportStyle(ReportStyle pStyle);
    void setOkPlacement(OkPlacement pValue) { m_okPlacement = pValue; }
    // Degrees per second towards the target (and down to ambient at target 0);
    // 0 jumps to a non-zero target at once and leaves the reading where it is at target 0.
    void setHeatingRate(double pDegreesPerSecond) { m_heatingRate = pDegreesPerSecond; }
    void setAmbientTemperature(double pValue) { m_ambient = pValue; }
    // Without a bed the report carries "B:0.0 /0.0" and M140/M190 change nothing.
    void setHasBed(bool pValue);
    void setTemperature(int pHeater, double pValue);
    double temperature(int pHeater) const;
    double target(int pHeater) const;
    int activeExtruder() const { return m_activeExtruder; }
    // The report for the present state, without an "ok".
    QByteArray temperatureReport();
    // Interval of the reports sent while M109/M190 wait.
    void setWaitReportIntervalMs(int pValue) { m_waitReportMs = pValue; }

    // Position (M114), Z offset (M851) and bed probing (G29).
    QVector4D position() const { return QVector4D(m_pos[0], m_pos[1], m_pos[2], m_pos[3]); }
    void setZOffset(double pValue) { m_zOffset = pValue; }
    double zOffset() const { return m_zOffset; }
    void setProbePoints(const QVector<QVector3D> &pPoints) { m_probePoints = pPoints; }
    void setEquationCoefficients(double pA, double pB, double pD);
    void setProbeLineIntervalMs(int pValue) { m_probeIntervalMs = pValue; }

    // Wire behaviour.
    // The answer to a command word (e.g. "M105") in place of the usual one; the command still
    // takes effect. An empty reply answers nothing.
    void setReply(const QString &pCommand, const QByteArray &pReply);
    void clearReplies() { m_replies.clear(); }
    // Each reply goes out in two writes, cut after pAt bytes (SplitAt) or at a seeded random
    // point (SplitRandom); the second part waits the split delay (0: the next pass of the
    // event loop, after the host has read the first part).
    void setSplitMode(SplitMode pMode, int pAt = 1);
    void setSplitDelayMs(int pValue) { m_splitDelayMs = pValue; }
    void setRandomSeed(quint32 pSeed) { m_random.seed(pSeed); }
    void setReplyDelayMs(int pValue) { m_replyDelayMs = pValue; }
    // Silent: lines are still recorded but nothing is answered.
    void setSilent(bool pValue) { m_silent = pValue; }
    bool isSilent() const { return m_silent; }
    // Answer the next pCount lines, then go silent; -1 turns it off.
    void setSilentAfterLines(int pCount);
    // "ok\n" for every non-empty line, nothing else (for throughput).
    void setFastOk(bool pValue) { m_fastOk = pValue; }
    // Lines that begin with pPrefix (e.g. "G1 X") take effect but are not answered, as moves
    // still running; empty turns it off.
    void setUnansweredPrefix(const QString &pPrefix) { m_unansweredPrefix = pPrefix.toUtf8(); }
    // Every reply goes out one byte per write, each read apart.
    void setByteAtATime(bool pValue) { m_byteAtATime = pValue; }
    // A receive ring of pBytes, as on an 8-bit controller: the lines not yet answered with
    // "ok" fill it, and a line that does not fit is lost. 0: no limit.
    void setReceiveRing(int pBytes) { m_ringBytes = pBytes; }
    QStringList lostLines() const;
    // Lines the host sent that have no "ok" yet (a line holding only a comment needs none),
    // and the most there were at once since the last reset.
    int unanswered() const { return m_unanswered.size(); }
    int maxUnanswered() const { return m_maxUnanswered; }
    void resetMaxUnanswered() { m_maxUnanswered = m_unanswered.size(); }
    // A line of random bytes before every n-th reply; 0 turns it off.
    void setGarbageEvery(int pValue) { m_garbageEvery = pValue; }
    // pBytes of line noise (random bytes, NUL and 0xFF among them, no line end) right
    // before the next reply, as a loose cable or a board starting up gives.
    void setNoiseBeforeNextReply(int pBytes) { m_noiseBytes = pBytes; }
    // Every line goes out ending in CR LF, as some firmwares end them.
    void setCrLf(bool pValue) { m_crLf = pValue; }
    // Repetier's idle line: "wait" every pMs while nothing arrives; 0 turns it off.
    void setIdleWaitMs(int pMs);
    // Moves whose end lies outside 0 to pMax on an axis (a 0 leaves the axis free) are
    // refused as Klipper refuses them: "!! Move out of range: x y z [e]", then "ok"; the
    // position stays.
    void setMoveLimits(const QVector3D &pMax) { m_moveLimits = pMax; }

    // On demand, written at once (ahead of replies that are still delayed).
    void sendRaw(const QByteArray &pBytes);
    void sendLine(const QString &pLine) { sendRaw(pLine.toUtf8() + '\n'); }
    // pLength random bytes (never "\n"), then "\n".
    void sendGarbage(int pLength = 32);
    void sendButtonCode(ButtonCode pCode);
    // As after a reset: pending work and heater targets dropped, then "start".
    void sendReset();
    // A reset that cuts a reply short: pCut (the first bytes of a line, without its line
    // end), then the reset.
    void sendResetCutting(const QByteArray &pCut);
    // As Marlin's kill() after a thermal fault (and M112): heaters off, the halt reported,
    // then silence until sendReset().
    void sendHalt();

signals:
    void LineReceived(const QString &pLine);
    void HostAttached();
    void HostDetached();

private:
    struct Heater
    {
        double current = 25.0;
        double target = 0.0;
    };
    struct Chunk
    {
        QByteArray bytes;
        qint64 due = 0;
        bool breakAfter = false;
    };

    void onReadable();
    void onWritable();
    void onAttachPoll();
    void onPump();
    void onWaitTick();
    void onProbeTick();
    void onIdleWaitTick();
    void setHostAttached(bool pValue);
    bool readAvailable(bool pDrain);
    void takeBytes(const QByteArray &pBytes);
    void handleLine(const QByteArray &pLine);
    void handleCommand(const QByteArray &pLine);
    void reply(QByteArray pBytes);
    void replyApart(const QByteArray &pFirst, const QByteArray &pSecond);
    void writeNow(const QByteArray &pBytes);
    void writeBytes(const QByteArray &pBytes);
    void noteSent(const QByteArray &pBytes);
    void forgetUnanswered();
    void schedulePump();
    void setBusy(bool pValue);
    void advanceHeaters();
    Heater &heater(int pIndex);
    const Heater &heater(int pIndex) const;
    int heaterPower(const Heater &pHeater) const;
    QByteArray okReport();
    QByteArray eepromReport() const;
    QByteArray garbage(int pLength);
    void resetMachine();
    // Pending replies, waits and heater targets dropped, as on a reset or a halt.
    void dropWork();
    void closeFd();

    int m_masterFd = -1;
    std::unique_ptr<QLockFile> m_portLock;
    QString m_portPath;
    bool m_hostAttached = false;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_attachPoll = nullptr;
    QTimer *m_pumpTimer = nullptr;
    QTimer *m_waitTimer = nullptr;
    QTimer *m_probeTimer = nullptr;
    QTimer *m_idleWaitTimer = nullptr;
    QElapsedTimer m_clock;
    qint64 m_lastReceiveMs = 0;

    QByteArray m_rawReceived;
    QByteArray m_partial;
    QByteArrayList m_lines;
    QByteArray m_rawSent;
    QByteArray m_outBuffer;
    QQueue<Chunk> m_outQueue;
    qint64 m_lastDue = 0;

    QString m_machineType = QStringLiteral("Halvarn Tovra");
    int m_extruderCount = 1;
    QString m_firmwareName = QStringLiteral("Marlin V1; Sprinter/grbl mashup for gen6");
    QString m_firmwareUrl = QStringLiteral("http://localhost/firmware");
    QString m_protocolVersion = QStringLiteral("1.0");
    QString m_uuid = QStringLiteral("00000000-0000-0000-0000-000000000000");
    QString m_firmwareVersion;
    QStringList m_omittedKeys;

    ReportStyle m_reportStyle = ReportMarlin;
    OkPlacement m_okPlacement = OkBeforeReport;
    double m_heatingRate = 0.0;
    double m_ambient = 25.0;
    bool m_hasBed = true;
    QVector<Heater> m_extruders;
    Heater m_bed;
    QElapsedTimer m_heatClock;
    int m_activeExtruder = 0;
    int m_waitReportMs = 1000;
    int m_waitHeater = 0;

    double m_pos[4] = {0, 0, 0, 0};
    bool m_relative = false;
    bool m_relativeE = false;
    double m_zOffset = -0.25;
    QMap<char, double> m_steps;
    QMap<char, double> m_maxFeed;
    QMap<char, double> m_maxAccel;
    QVector<QVector3D> m_probePoints;
    double m_eqnA = 0.0005, m_eqnB = -0.0003, m_eqnD = 0.12;
    int m_probeIntervalMs = 20;
    int m_probeNext = 0;

    QHash<QString, QByteArray> m_replies;
    SplitMode m_splitMode = SplitNone;
    int m_splitAt = 1;
    int m_splitDelayMs = 0;
    QRandomGenerator m_random {1};
    int m_replyDelayMs = 0;
    bool m_silent = false;
    int m_silentAfter = -1;
    bool m_fastOk = false;
    QByteArray m_unansweredPrefix;
    bool m_byteAtATime = false;
    int m_ringBytes = 0;
    int m_ringFill = 0;
    QQueue<int> m_unanswered; // sizes of the lines, oldest first
    int m_maxUnanswered = 0;
    QByteArray m_sentLineHead; // first bytes of the line being written
    QByteArrayList m_lost;
    bool m_crLf = false;
    QVector3D m_moveLimits;
    int m_garbageEvery = 0;
    int m_noiseBytes = 0;
    int m_replyCount = 0;

    bool m_halted = false;
    bool m_busy = false;
    QByteArrayList m_deferred;
};
