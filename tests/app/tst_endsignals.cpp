// The program told to end by the system (a logout, a shutdown, a closed terminal, Ctrl+C)
// while it prints: a child process runs the program's own start-up and window on a simulated
// printer, the test sends it the signal and reads what the printer received.
#include "kvApplication.h"
#include "kvFakeFirmware.h"
#include "kvMainWindowFixtures.h"
#include "kvStartup.h"

#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>

namespace {

// What the child tells the test on its standard output, a line each.
void say(const char *pWhat)
{
    std::printf("%s\n", pWhat);
    std::fflush(stdout);
}

// Hides the 3D view as the window readies it for its first showing, before it has a GL
// context.
class kvUndrawnView : public QObject
{
public:
    bool eventFilter(QObject *pObject, QEvent *pEvent) override
    {
        if (pEvent->type() == QEvent::Polish) {
            if (auto *tView = qobject_cast<kvGLWindow *>(pObject))
                tView->hide();
        }
        return false;
    }
};

// The child: the program on the printer of KV_TEST_PORT, chosen in its box, with the part named on
// its command line; with KV_TEST_PRINT set it prints it. It says "ready" once the printer is
// chosen, "printing" once lines stream and "quitting" as its event loop ends.
int runProgram(int pArgc, char **pArgv)
{
    kvApplication tApp(pArgc, pArgv);
    KvTest::setUpApplication();
    const QString tPort = qEnvironmentVariable("KV_TEST_PORT");
    kvMainWindow::setPortProvider([tPort] {
        return QVector<kvMainWindow::PortInfo> {{tPort, tPort, false}};
    });
    // The view is left undrawn, as in the other window tests: the software GL's code
    // generator deadlocks under the sanitizers' full unwind.
    kvUndrawnView tUndrawn;
    tApp.installEventFilter(&tUndrawn);
    const bool tPrint = qEnvironmentVariableIsSet("KV_TEST_PRINT");
    QObject::connect(&tApp, &QCoreApplication::aboutToQuit, [] { say("quitting"); });
    // Drives the window as a user would, step by step, as each step becomes possible.
    QTimer tDriver;
    int tStep = 0;
    QObject::connect(&tDriver, &QTimer::timeout, [&] {
        kvMainWindow *tWindow = tApp.mainWindow();
        if (tWindow && !tWindow->currentPrinter() && KvTest::printerBox(*tWindow)->count() == 2)
            KvTest::pick(KvTest::printerBox(*tWindow), 1);
        kvPrinter *tPrinter = tWindow ? tWindow->currentPrinter() : nullptr;
        if (!tPrinter || !tPrinter->isConnected() || !tWindow->printerFile())
            return;
        if (tStep == 0) {
            say("ready");
            ++tStep;
            if (tPrint)
                QTest::mouseClick(
                    tWindow->findChild<QPushButton *>(QStringLiteral("pbPrint")), Qt::LeftButton);
        } else if (tStep == 1 && tPrinter->isWaitingToPrint() && tPrinter->queuedLines() == 0) {
            // The heater lines are out: one check finds the simulated heaters there.
            QMetaObject::invokeMethod(tPrinter, "onCheckHeatTimerTick", Q_ARG(bool, true));
            ++tStep;
        } else if (tStep == 2 && tPrinter->isPrinting()) {
            say("printing");
            ++tStep;
        }
    });
    tDriver.start(20);
    return Kv::Startup::run(tApp);
}

// The child started on pFirmware's port, and what it has said.
class kvChild
{
public:
    bool start(const QString &pPort, const QString &pPart, bool pPrint)
    {
        // startHelper hands the child this process's environment.
        qputenv("KV_TEST_PORT", pPort.toLocal8Bit());
        if (pPrint)
            qputenv("KV_TEST_PRINT", "1");
        else
            qunsetenv("KV_TEST_PRINT");
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
            [this] { said += process.readAllStandardOutput(); });
        return KvTest::startHelper(process, QStringLiteral("program"), {pPart});
    }
    bool waitToSay(const QByteArray &pLine)
    {
        return KvTest::waitFor([&] { return said.split('\n').contains(pLine); });
    }
    void send(int pSignal) { ::kill(pid_t(process.processId()), pSignal); }
    bool waitToEnd()
    {
        return KvTest::waitFor([&] { return process.state() == QProcess::NotRunning; });
    }

    QProcess process;
    QByteArray said;
};

} // namespace

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
        kvChild tChild;
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
        kvChild tChild;
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
        kvChild tChild;
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
        return runProgram(argc, argv);
    QApplication tApp(argc, argv);
    KvTest::setUpApplication();
    tst_endsignals tTest;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tTest, argc, argv);
}

#include "tst_endsignals.moc"
