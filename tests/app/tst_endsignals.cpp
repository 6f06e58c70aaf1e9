// The program told to end by the system (a logout, a shutdown, a closed terminal, Ctrl+C)
// while it prints: a child process runs the program's own start-up and window on a simulated
// printer, the test sends it the signal and reads what the printer received.
#include "kvFakeFirmware.h"
#include "kvProgramChild.h"

#include <QSignalSpy>
#include <QTemporaryDir>

using KvTest::kvProgramChild;

// The GL driver is built without frame pointers: a full unwind lets the leak check see
// its lifetime allocations as the driver's, which the suppressions cover.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

class tst_endsignals : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(KvTest::useSourcePrinterTypes()); }

    // Mid-print, each signal takes the way of File > Exit answered Yes: the stop sequence
    // once, then the heaters off, written out before the program ends.
    void signalMidPrintStopsAndCools_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM (shutdown)") << int(SIGTERM);
        QTest::newRow("SIGHUP (closed terminal, logout)") << int(SIGHUP);
        QTest::newRow("SIGINT (Ctrl+C)") << int(SIGINT);
    }
    void signalMidPrintStopsAndCools()
    {
        QFETCH(int, signal);
        QTemporaryDir tDir;
        KvTest::kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvFakeFirmware *tFirmware = tBench.firmwares.front().get();
        tFirmware->setReplyDelayMs(5);
        kvProgramChild tChild;
        QVERIFY(tChild.start(tBench.links.front(), KvTest::writeGCode(tDir, 3000), true));
        QVERIFY(tChild.waitToSay("printing"));
        QVERIFY(tFirmware->waitForLine(QStringLiteral("G1 X10 Y10 E0"), 20000));

        tChild.send(signal);
        QVERIFY(tChild.waitToEnd());
        QCOMPARE(tChild.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tChild.process.exitCode(), 0);
        QVERIFY(tChild.said.contains("quitting"));

        const QStringList tSent = tFirmware->lines();
        QCOMPARE(tSent.count(QStringLiteral("M84")), 1);
        QCOMPARE(tSent.count(QStringLiteral("G28 X0")), 1);
        int tLastMove = -1;
        for (int i = 0; i < tSent.size(); ++i)
            if (tSent.at(i).startsWith(QLatin1String("G1 X")) && tSent.at(i).contains('E'))
                tLastMove = i;
        const QStringList tAfter = tSent.mid(tLastMove + 1);
        const int tStop = tAfter.indexOf(QStringLiteral("M84"));
        QVERIFY2(tStop >= 0, qPrintable(tAfter.join(QLatin1Char('|'))));
        QVERIFY(tAfter.indexOf(QStringLiteral("M104 S0 T0"), tStop) > tStop);
        QVERIFY(tAfter.indexOf(QStringLiteral("M140 S0"), tStop) > tStop);
    }

    // An idle program just ends: nothing is stopped.
    void signalWhenIdleQuits()
    {
        KvTest::kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvFakeFirmware *tFirmware = tBench.firmwares.front().get();
        kvProgramChild tChild;
        QVERIFY(tChild.start(
            tBench.links.front(), KvTest::dataPath(QStringLiteral("few-lines.gcode")), false));
        QVERIFY(tChild.waitToSay("ready"));
        tChild.send(SIGTERM);
        QVERIFY(tChild.waitToEnd());
        QCOMPARE(tChild.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tChild.process.exitCode(), 0);
        QVERIFY(!tFirmware->lines().contains(QStringLiteral("M84")));
    }

    // A second signal, once the first has come, ends the program at once, as the signal
    // does by itself.
    void secondSignalEndsAtOnce()
    {
        QTemporaryDir tDir;
        KvTest::kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvProgramChild tChild;
        QVERIFY(tChild.start(tBench.links.front(), KvTest::writeGCode(tDir, 3000), true));
        QVERIFY(tChild.waitToSay("printing"));
        // Two signals of different kinds, so that the system does not merge them.
        tChild.send(SIGTERM);
        tChild.send(SIGINT);
        QVERIFY(tChild.waitToEnd());
        QCOMPARE(tChild.process.exitStatus(), QProcess::CrashExit);
    }
};

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("KV_TEST_HELPER"))
        return KvTest::runProgram(argc, argv);
    QApplication tApp(argc, argv);
    KvTest::setUpApplication();
    tst_endsignals tTest;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tTest, argc, argv);
}

#include "tst_endsignals.moc"
