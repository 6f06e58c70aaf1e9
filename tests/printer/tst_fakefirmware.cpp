#include "kvFakeFirmware.h"
#include "kvTestSupport.h"

#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>

#include <ctime>

namespace {

// The host end: a plain serial port that keeps every read apart.
class kvHostPort : public QObject
{
public:
    explicit kvHostPort(QObject *pParent = nullptr)
        : QObject(pParent)
    {
        connect(&m_port, &QSerialPort::readyRead, this, [this]() {
            const QByteArray tRead = m_port.readAll();
            if (tRead.isEmpty())
                return;
            m_reads.append(tRead);
            m_all += tRead;
        });
    }

    bool open(const QString &pPath)
    {
        m_port.setPortName(pPath);
        m_port.setBaudRate(QSerialPort::Baud115200);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        if (m_port.open(QIODevice::ReadWrite))
            return true;
        qWarning("cannot open %s: %s", qPrintable(pPath), qPrintable(m_port.errorString()));
        return false;
    }

    void send(const QByteArray &pBytes)
    {
        m_port.write(pBytes);
        m_port.flush();
    }

    void clear()
    {
        m_reads.clear();
        m_all.clear();
    }

    QSerialPort m_port;
    QList<QByteArray> m_reads;
    QByteArray m_all;
};

double cpuSeconds()
{
    timespec tTime {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &tTime);
    return tTime.tv_sec + tTime.tv_nsec / 1e9;
}

} // namespace

class tst_fakefirmware : public QObject
{
    Q_OBJECT

private:
    // Opens both ends; the firmware has seen the host once this returns true.
    bool connectHost(kvFakeFirmware &pFirmware, kvHostPort &pHost)
    {
        return pFirmware.open() && pHost.open(pFirmware.portPath())
            && pFirmware.waitFor([&]() { return pFirmware.isHostAttached(); }, 5000);
    }

    // Sends the lines one by one, each after the answer to the one before.
    bool converse(kvFakeFirmware &pFirmware, kvHostPort &pHost, const QStringList &pLines)
    {
        for (const QString &tLine : pLines) {
            const int tOks = okCount(pHost.m_all);
            pHost.send(tLine.toUtf8() + '\n');
            if (!pFirmware.waitFor([&]() { return okCount(pHost.m_all) > tOks; }))
                return false;
        }
        return true;
    }

    // Complete lines that begin with "ok".
    static int okCount(const QByteArray &pWire)
    {
        QList<QByteArray> tLines = pWire.split('\n');
        tLines.removeLast();
        int tCount = 0;
        for (const QByteArray &tLine : tLines)
            tCount += tLine.startsWith("ok") ? 1 : 0;
        return tCount;
    }

private slots:
    void opensAPseudoTerminal()
    {
        kvFakeFirmware tFirmware;
        QVERIFY(tFirmware.open());
        QVERIFY(tFirmware.portPath().startsWith(QLatin1String("/dev/pts/")));
        QVERIFY(!tFirmware.isHostAttached());
        kvHostPort tHost;
        QVERIFY(tHost.open(tFirmware.portPath()));
        // The port keeps only the last part of the path.
        QCOMPARE(tHost.m_port.portName(), tFirmware.portPath().mid(5));
        QVERIFY(tFirmware.waitFor([&]() { return tFirmware.isHostAttached(); }));
    }

    void lockedPortCannotBeOpened()
    {
        kvFakeFirmware tFirmware;
        QVERIFY(tFirmware.open());
        QVERIFY(tFirmware.setPortLocked(true));
        kvHostPort tHost;
        QVERIFY(!tHost.open(tFirmware.portPath()));
        QCOMPARE(tHost.m_port.error(), QSerialPort::PermissionError);
        QVERIFY(tFirmware.setPortLocked(false));
        QVERIFY(tHost.open(tFirmware.portPath()));
    }

    void identity_data()
    {
        QTest::addColumn<QString>("machineType");
        QTest::addColumn<int>("extruders");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QStringList>("omitted");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray tName = "FIRMWARE_NAME:Marlin V1; Sprinter/grbl mashup for gen6 "
                                 "FIRMWARE_URL:http://localhost/firmware PROTOCOL_VERSION:1.0 ";
        const QByteArray tUuid = " UUID:00000000-0000-0000-0000-000000000000";
        QTest::newRow("Tovra, one extruder")
            << "Halvarn Tovra" << 1 << QString() << QStringList()
            << tName + "MACHINE_TYPE:Halvarn Tovra EXTRUDER_COUNT:1" + tUuid + "\nok\n";
        QTest::newRow("other type, two extruders, version")
            << "Mendel" << 2 << "1.2.3" << QStringList()
            << tName + "MACHINE_TYPE:Mendel EXTRUDER_COUNT:2" + tUuid
                + " FIRMWARE_VERSION:1.2.3\nok\n";
        QTest::newRow("keys missing")
            << "Mendel" << 1 << QString() << QStringList {"MACHINE_TYPE", "UUID"}
            << tName + "EXTRUDER_COUNT:1\nok\n";
    }

    void identity()
    {
        QFETCH(QString, machineType);
        QFETCH(int, extruders);
        QFETCH(QString, version);
        QFETCH(QStringList, omitted);
        QFETCH(QByteArray, expected);

        kvFakeFirmware tFirmware;
        tFirmware.setMachineType(machineType);
        tFirmware.setExtruderCount(extruders);
        tFirmware.setFirmwareVersion(version);
        tFirmware.setOmittedIdentityKeys(omitted);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));

        tHost.send("M115\n");
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.endsWith("ok\n"); }));
        QCOMPARE(tHost.m_all, expected);
        // The host reads an identity reply only when it comes whole in one read.
        QCOMPARE(tHost.m_reads.size(), 1);
        QCOMPARE(tFirmware.lines(), QStringList {"M115"});
    }

    void temperatureReport_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("extruders");
        QTest::addColumn<bool>("bed");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("Marlin, one extruder")
            << int(kvFakeFirmware::ReportMarlin) << 1 << true
            << QStringList {"M104 S215 T0", "M140 S60"}
            << QByteArray("ok T:215.0 /215.0 B:60.0 /60.0 @:63 B@:63\n");
        QTest::newRow("Repetier, one extruder")
            << int(kvFakeFirmware::ReportRepetier) << 1 << true
            << QStringList {"M104 S230", "M140 S80"}
            << QByteArray("T:230.00 /230 B:80.00 /80 B@:127 @:127\nok\n");
        QTest::newRow("Marlin, two extruders")
            << int(kvFakeFirmware::ReportMarlin) << 2 << true
            << QStringList {"M104 S215 T0", "M104 S190 T1"}
            << QByteArray("ok T:215.0 /215.0 B:25.0 /0.0 T0:215.0 /215.0 T1:190.0 /190.0 "
                          "@:63 B@:0\n");
        QTest::newRow("second extruder active")
            << int(kvFakeFirmware::ReportMarlin) << 2 << true << QStringList {"T1", "M104 S200"}
            << QByteArray("ok T:200.0 /200.0 B:25.0 /0.0 T0:25.0 /0.0 T1:200.0 /200.0 "
                          "@:63 B@:0\n");
        QTest::newRow("heater off keeps the reading")
            << int(kvFakeFirmware::ReportMarlin) << 1 << true
            << QStringList {"M104 S215 T0", "M140 S60", "M104 S0 T0", "M140 S0"}
            << QByteArray("ok T:215.0 /0.0 B:60.0 /0.0 @:0 B@:0\n");
        QTest::newRow("no bed") << int(kvFakeFirmware::ReportMarlin) << 1 << false
                                << QStringList {"M104 S215 T0", "M140 S60"}
                                << QByteArray("ok T:215.0 /215.0 B:0.0 /0.0 @:63 B@:0\n");
        QTest::newRow("waiting commands, instant heat")
            << int(kvFakeFirmware::ReportMarlin) << 1 << true
            << QStringList {"M109 S190 T0", "M190 S50"}
            << QByteArray("ok T:190.0 /190.0 B:50.0 /50.0 @:63 B@:63\n");
    }

    void temperatureReport()
    {
        QFETCH(int, style);
        QFETCH(int, extruders);
        QFETCH(bool, bed);
        QFETCH(QStringList, commands);
        QFETCH(QByteArray, expected);

        kvFakeFirmware tFirmware;
        tFirmware.setReportStyle(static_cast<kvFakeFirmware::ReportStyle>(style));
        tFirmware.setExtruderCount(extruders);
        tFirmware.setHasBed(bed);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        QVERIFY(converse(tFirmware, tHost, commands));
        tHost.clear();

        tHost.send("M105\n");
        QVERIFY(tFirmware.waitFor(
            [&]() { return tHost.m_all.endsWith("\n") && tHost.m_all.contains("ok"); }));
        QCOMPARE(tHost.m_all, expected);
    }

    void temperaturesApproachTheTarget()
    {
        kvFakeFirmware tFirmware;
        tFirmware.setHeatingRate(100.0);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        QVERIFY(converse(tFirmware, tHost, {"M104 S215 T0", "M105"}));
        QVERIFY(tFirmware.temperature(0) < 215.0);
        QVERIFY(tHost.m_all.contains("/215.0"));
        QVERIFY(!tHost.m_all.contains("T:215.0"));

        QVERIFY(tFirmware.waitFor(
            [&]() {
                tHost.clear();
                return converse(tFirmware, tHost, {"M105"}) && tHost.m_all.contains("T:215.0");
            },
            10000));

        // At target 0 the reading falls back to ambient.
        tFirmware.setHeatingRate(1000.0);
        QVERIFY(converse(tFirmware, tHost, {"M104 S0 T0"}));
        QVERIFY(tFirmware.waitFor([&]() {
            tHost.clear();
            return converse(tFirmware, tHost, {"M105"}) && tHost.m_all.contains("T:25.0 /0.0");
        }));
    }

    void waitingHeatReportsUntilReached()
    {
        kvFakeFirmware tFirmware;
        tFirmware.setHeatingRate(400.0);
        tFirmware.setWaitReportIntervalMs(20);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));

        // The second line waits in the firmware until the heater is at its target.
        tHost.send("M109 S215 T0\nG1 X5\n");
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.count("ok\n") == 2; }));
        const QList<QByteArray> tLines = tHost.m_all.split('\n');
        QVERIFY(tLines.size() > 3);
        QVERIFY(tLines.first().startsWith("T:"));
        QVERIFY(!tLines.first().contains("ok"));
        QCOMPARE(tLines.at(tLines.size() - 3), QByteArray("ok"));
        QCOMPARE(tLines.at(tLines.size() - 2), QByteArray("ok"));
        QVERIFY(tFirmware.temperature(0) >= 214.0);
        QCOMPARE(tFirmware.position().x(), 5.0f);
    }

    void position()
    {
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        QVERIFY(converse(tFirmware, tHost,
            {"G28", "G1 X10 Y20 Z0.3 E1 F1200", "G91", "G1 Z20 F4800", "G90", "G28 X0"}));
        tHost.clear();
        QVERIFY(converse(tFirmware, tHost, {"M114"}));
        QCOMPARE(tHost.m_all,
            QByteArray("X:0.00 Y:20.00 Z:20.30 E:1.00 Count X:0 Y:1600 Z:81200\nok\n"));
    }

    void zOffset()
    {
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        QVERIFY(converse(tFirmware, tHost, {"M851"}));
        QCOMPARE(tHost.m_all, QByteArray("echo:Z Offset: -0.25\nok\n"));

        QVERIFY(converse(tFirmware, tHost, {"M851 Z-0.3", "M500"}));
        QCOMPARE(tFirmware.zOffset(), -0.3);
        tHost.clear();
        QVERIFY(converse(tFirmware, tHost, {"M851"}));
        QCOMPARE(tHost.m_all, QByteArray("echo:Z Offset: -0.30\nok\n"));
    }

    void bedProbing()
    {
        kvFakeFirmware tFirmware;
        tFirmware.setProbePoints(
            {QVector3D(20, 20, 0), QVector3D(180, 20, 0.01f), QVector3D(100, 180, 0)});
        tFirmware.setEquationCoefficients(0.001, -0.002, 0.1);
        tFirmware.setProbeLineIntervalMs(30);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));

        // A command sent while probing is answered after it.
        tHost.send("G29\nM105\n");
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.count("ok") == 2; }));
        QCOMPARE(tHost.m_all.left(tHost.m_all.indexOf("ok T:")),
            QByteArray("Bed X: 20.000 Y: 20.000 Z: 0.080\n"
                       "Bed X: 180.000 Y: 20.000 Z: 0.250\n"
                       "Bed X: 100.000 Y: 180.000 Z: -0.160\n"
                       "Eqn coefficients: a: 0.00100000 b: -0.00200000 d: 0.10000000\nok\n"));
        // Each probe line comes on its own, as a probing firmware sends them.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(tHost.m_reads.at(i).count('\n'), 1);
    }

    void eepromEchoLines()
    {
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        QVERIFY(converse(tFirmware, tHost, {"M203 E3.0", "M92 E105", "M500"}));
        QVERIFY(tHost.m_all.contains("echo:Settings Stored\nok\n"));
        tHost.clear();
        QVERIFY(converse(tFirmware, tHost, {"M503"}));
        QVERIFY(tHost.m_all.contains("echo:  M92 X80.00 Y80.00 Z4000.00 E105.00\n"));
        QVERIFY(tHost.m_all.contains("echo:  M203 X300.00 Y300.00 Z5.00 E3.00\n"));
        for (const char *tCode : {"M201", "M204", "M205", "M206", "M301"}) {
            const QRegularExpression tLine(
                QStringLiteral("^echo: +%1 ").arg(tCode), QRegularExpression::MultilineOption);
            QVERIFY2(QString::fromUtf8(tHost.m_all).contains(tLine), tCode);
        }
        QVERIFY(tHost.m_all.endsWith("\nok\n"));
    }

    void recordsEveryByteAndSkipsBlankLines()
    {
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        const QByteArray tWire = "G1 X1 ; move\r\n\n   \nM84";
        tHost.send(tWire);
        QVERIFY(tFirmware.waitFor([&]() { return tFirmware.rawReceived() == tWire; }));
        tHost.send("\n");
        QVERIFY(tFirmware.waitForLineCount(4));
        QCOMPARE(tFirmware.rawReceived(), tWire + '\n');
        QCOMPARE(tFirmware.lines(), (QStringList {"G1 X1 ; move", "", "   ", "M84"}));
        QCOMPARE(tFirmware.indexOfLine("M84"), 3);
        // Blank lines get no answer, as on a real firmware.
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.size() >= 6; }));
        QCOMPARE(tHost.m_all, QByteArray("ok\nok\n"));
        QCOMPARE(tFirmware.rawSent(), tHost.m_all);
    }

    void replyOverride()
    {
        kvFakeFirmware tFirmware;
        tFirmware.setReply("M105", "T:abc /xyz B:\nok\n");
        tFirmware.setReply("M114", QByteArray());
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        tHost.send("M114\nM104 S200\nM105\n");
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.count("ok\n") == 2; }));
        QCOMPARE(tHost.m_all, QByteArray("ok\nT:abc /xyz B:\nok\n"));
        // The command still takes effect.
        QCOMPARE(tFirmware.target(0), 200.0);
    }

    void splitReplies_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::newRow("next loop pass") << 0;
        QTest::newRow("20 ms") << 20;
    }

    void splitReplies()
    {
        QFETCH(int, delayMs);
        kvFakeFirmware tFirmware;
        tFirmware.setSplitMode(kvFakeFirmware::SplitAt, 1);
        tFirmware.setSplitDelayMs(delayMs);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        for (int i = 0; i < 20; ++i) {
            tHost.clear();
            QVERIFY(converse(tFirmware, tHost, {"G1 X1"}));
            QCOMPARE(tHost.m_reads, (QList<QByteArray> {"o", "k\n"}));
        }
    }

    void randomSplitKeepsAStreamWhole()
    {
        kvFakeFirmware tFirmware;
        tFirmware.setSplitMode(kvFakeFirmware::SplitRandom);
        tFirmware.setRandomSeed(7);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));

        QByteArray tSent;
        QStringList tLines;
        for (int i = 0; i < 500; ++i)
            tLines.append(i % 50 == 0
                    ? QStringLiteral("M105")
                    : QStringLiteral("G1 X%1 Y%2 E%3").arg(i).arg(i % 7).arg(i * 0.01));
        for (const QString &tLine : tLines)
            tSent += tLine.toUtf8() + '\n';
        QVERIFY(converse(tFirmware, tHost, tLines));
        QCOMPARE(tFirmware.rawReceived(), tSent);
        QCOMPARE(tFirmware.lines(), tLines);
        QCOMPARE(tHost.m_all, tFirmware.rawSent());
        // Replies did arrive in pieces.
        int tPieces = 0;
        for (const QByteArray &tRead : tHost.m_reads)
            tPieces += tRead.endsWith('\n') ? 0 : 1;
        QVERIFY(tPieces > 100);
    }

    void garbage()
    {
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        tFirmware.sendGarbage(64);
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.size() == 65; }));
        QCOMPARE(tHost.m_all.count('\n'), 1);
        QVERIFY(tHost.m_all.endsWith('\n'));

        // Every second reply comes after a line of garbage; the firmware keeps answering.
        tFirmware.setGarbageEvery(2);
        tHost.clear();
        QVERIFY(converse(tFirmware, tHost, {"G1 X1", "G1 X2", "G1 X3", "G1 X4"}));
        const QList<QByteArray> tLines = tHost.m_all.split('\n');
        QCOMPARE(tLines.size(), 7);
        QCOMPARE(tLines.at(0), QByteArray("ok"));
        QCOMPARE(tLines.at(1).size(), 24);
        QCOMPARE(tLines.at(2), QByteArray("ok"));
        QCOMPARE(tLines.at(3), QByteArray("ok"));
        QCOMPARE(tLines.at(5), QByteArray("ok"));
        QCOMPARE(tFirmware.position().x(), 4.0f);
    }

    void silence()
    {
        kvFakeFirmware tFirmware;
        tFirmware.setSilentAfterLines(2);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        tHost.send("G1 X1\nG1 X2\nG1 X3\n");
        QVERIFY(tFirmware.waitForLineCount(3));
        // Replies are written as each line is read: the third got none.
        QCOMPARE(tFirmware.rawSent(), QByteArray("ok\nok\n"));
        QVERIFY(tFirmware.isSilent());
        tHost.send("M105\n");
        QVERIFY(tFirmware.waitForLine("M105"));
        QCOMPARE(tFirmware.rawSent(), QByteArray("ok\nok\n"));

        tFirmware.setSilent(false);
        tHost.clear();
        QVERIFY(converse(tFirmware, tHost, {"G1 X4"}));
        QCOMPARE(tHost.m_all, QByteArray("ok\n"));
    }

    void delayedReplies()
    {
        kvFakeFirmware tFirmware;
        tFirmware.setReplyDelayMs(150);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        tHost.send("G1 X1\nM105\n");
        QVERIFY(tFirmware.waitForLine("M105"));
        QVERIFY(tFirmware.rawSent().isEmpty());
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.count("ok") == 2; }));
        QVERIFY(tHost.m_all.startsWith("ok\nok T:"));
    }

    void buttonCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("home") << int(kvFakeFirmware::ButtonHome) << QByteArray("HVT100\n");
        QTest::newRow("cancel") << int(kvFakeFirmware::ButtonCancel) << QByteArray("HVT101\n");
        QTest::newRow("pause") << int(kvFakeFirmware::ButtonPause) << QByteArray("HVT102\n");
        QTest::newRow("resume") << int(kvFakeFirmware::ButtonResume) << QByteArray("HVT103\n");
    }

    void buttonCodes()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, expected);
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        tFirmware.sendButtonCode(static_cast<kvFakeFirmware::ButtonCode>(code));
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.endsWith('\n'); }));
        QCOMPARE(tHost.m_all, expected);
    }

    void resetSaysStartAndDropsTargets()
    {
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        QVERIFY(converse(tFirmware, tHost, {"M104 S215 T0", "M140 S60", "G1 X10"}));
        tHost.clear();
        tFirmware.sendReset();
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all == "start\n"; }));
        QVERIFY(converse(tFirmware, tHost, {"M105"}));
        QVERIFY(tHost.m_all.contains(" /0.0 B:"));
        QVERIFY(tHost.m_all.endsWith(" /0.0 @:0 B@:0\n"));
        QCOMPARE(tFirmware.position().x(), 0.0f);
    }

    // A halt (a thermal fault, or M112) says so, drops the heater targets and answers
    // nothing more until a reset.
    void haltSaysSoAndFallsSilent_data()
    {
        QTest::addColumn<bool>("byCommand");
        QTest::newRow("thermal fault") << false;
        QTest::newRow("M112") << true;
    }
    void haltSaysSoAndFallsSilent()
    {
        QFETCH(bool, byCommand);
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        QVERIFY(converse(tFirmware, tHost, {"M104 S215 T0"}));
        tHost.clear();
        if (byCommand)
            tHost.send("M112\n");
        else
            tFirmware.sendHalt();
        QVERIFY(tFirmware.waitFor(
            [&]() { return tHost.m_all == "Error:Printer halted. kill() called!\n"; }));
        QCOMPARE(tFirmware.target(0), 0.0);
        tHost.send("M105\n");
        QVERIFY(tFirmware.waitForLine("M105"));
        QCOMPARE(tHost.m_all, QByteArray("Error:Printer halted. kill() called!\n"));
        tFirmware.sendReset();
        tHost.clear();
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all == "start\n"; }));
        QVERIFY(converse(tFirmware, tHost, {"M105"}));
    }

    // Line noise before the next reply: the bytes asked for, NUL and 0xFF among them and
    // no line end, then the reply itself; the reply after it is clean.
    void noiseBeforeTheNextReply()
    {
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        tFirmware.setNoiseBeforeNextReply(10240);
        tHost.send("G1 X1\n");
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.endsWith('\n'); }));
        QCOMPARE(tHost.m_all.size(), 10240 + 3);
        QVERIFY(tHost.m_all.endsWith("ok\n"));
        QCOMPARE(tHost.m_all.count('\n'), 1);
        QVERIFY(tHost.m_all.contains('\0'));
        QVERIFY(tHost.m_all.contains('\xff'));
        tHost.clear();
        QVERIFY(converse(tFirmware, tHost, {"G1 X2"}));
        QCOMPARE(tHost.m_all, QByteArray("ok\n"));
    }

    void fastOk()
    {
        kvFakeFirmware tFirmware;
        tFirmware.setFastOk(true);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        QByteArray tBatch;
        for (int i = 0; i < 1000; ++i)
            tBatch += "M105\n";
        tHost.send(tBatch + "\n");
        QVERIFY(tFirmware.waitFor([&]() { return tHost.m_all.size() >= 3000; }));
        QCOMPARE(tHost.m_all, QByteArray("ok\n").repeated(1000));
        QCOMPARE(tFirmware.lineCount(), 1001);
        QCOMPARE(tFirmware.rawReceived(), tBatch + "\n");
    }

    void hostCloseIsNoBusyLoop()
    {
        kvFakeFirmware tFirmware;
        QSignalSpy tDetached(&tFirmware, &kvFakeFirmware::HostDetached);
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));

        // Written just before the close: it still reaches the firmware.
        tHost.send("M104 S0 T0\nM140 S0\n");
        tHost.m_port.close();
        QVERIFY(tFirmware.waitFor([&]() { return tDetached.count() == 1; }));
        QVERIFY(tFirmware.waitForLine("M140 S0"));

        const double tCpu = cpuSeconds();
        QElapsedTimer tWall;
        tWall.start();
        QVERIFY(!tFirmware.waitFor([]() { return false; }, 300));
        QVERIFY2((cpuSeconds() - tCpu) < 0.5 * (tWall.elapsed() / 1000.0),
            "the firmware spins while the host is away");
        QCOMPARE(tDetached.count(), 1);

        // The host comes back on the same path.
        kvHostPort tAgain;
        QVERIFY(tAgain.open(tFirmware.portPath()));
        QVERIFY(tFirmware.waitFor([&]() { return tFirmware.isHostAttached(); }));
        tAgain.send("M105\n");
        QVERIFY(tFirmware.waitFor([&]() { return tAgain.m_all.contains("ok T:"); }));
    }

    void hangUpIsSeenByTheHost()
    {
        kvFakeFirmware tFirmware;
        kvHostPort tHost;
        QVERIFY(connectHost(tFirmware, tHost));
        qRegisterMetaType<QSerialPort::SerialPortError>();
        QSignalSpy tErrors(&tHost.m_port, &QSerialPort::errorOccurred);
        tFirmware.hangUp();
        QVERIFY(!tFirmware.isOpen());
        QVERIFY(tFirmware.waitFor([&]() {
            for (const QList<QVariant> &tError : tErrors) {
                const auto tKind = tError.at(0).value<QSerialPort::SerialPortError>();
                if (tKind == QSerialPort::ResourceError || tKind == QSerialPort::ReadError)
                    return true;
            }
            return false;
        }));
        // The port stays open and repeats the error until the host closes it.
        QVERIFY(tHost.m_port.isOpen());
        tHost.m_port.close();

        // A new line end can be opened afterwards.
        QVERIFY(tFirmware.open());
        kvHostPort tAgain;
        QVERIFY(tAgain.open(tFirmware.portPath()));
        QVERIFY(converse(tFirmware, tAgain, {"G1 X1"}));
    }
};

KV_TEST_MAIN(tst_fakefirmware)
#include "tst_fakefirmware.moc"
