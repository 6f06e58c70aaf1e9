#pragma once

// The program itself in a second process: its own start-up and window on the simulated
// printer of KV_TEST_PORT, driven as a user would, telling the test what it shows; and the
// test's side of it.
#include "kvApplication.h"
#include "kvGLWindow.h"
#include "kvMainWindow.h"
#include "kvMainWindowFixtures.h"
#include "kvPrinter.h"
#include "kvStartup.h"

#include <QDateTime>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace KvTest {

// What the child tells the test on its standard output, a line each.
inline void say(const QString &pWhat)
{
    std::printf("%s\n", pWhat.toUtf8().constData());
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

// The child: the program on the printer of KV_TEST_PORT, chosen in its box, with the part
// named on its command line; with KV_TEST_PRINT set it prints it. It says "ready" once the
// printer is chosen, "printing" once lines stream and "quitting" as its event loop ends;
// from "ready" on, "status " and each new status text of the printer, "elapsed " and each
// new elapsed time the window shows, and once a second "wall " and its time of day in
// milliseconds since the epoch.
inline int runProgram(int pArgc, char **pArgv)
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
    QTimer tWall;
    QObject::connect(&tWall, &QTimer::timeout, [] {
        say(QStringLiteral("wall ") + QString::number(QDateTime::currentMSecsSinceEpoch()));
    });
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
            // Each text once, not once for every line printed.
            QObject::connect(tPrinter, &kvPrinter::StatusChanged,
                [tLast = QString()](kvPrinter *, QString pStatus) mutable {
                    if (pStatus != tLast)
                        say(QStringLiteral("status ") + pStatus);
                    tLast = pStatus;
                });
            // After the window's own slot: the label shows the time by now.
            auto *tElapsed = tWindow->findChild<QLabel *>(QStringLiteral("timeElapsedLabel"));
            QObject::connect(tPrinter, &kvPrinter::PrintingStatusChanged,
                [tElapsed, tLast = QString()]() mutable {
                    if (tElapsed->text() != tLast)
                        say(QStringLiteral("elapsed ") + tElapsed->text().trimmed());
                    tLast = tElapsed->text();
                });
            tWall.start(1000);
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

// The child started on a firmware's port, and what it has said.
class kvProgramChild
{
public:
    // pEnvironment is added to this process's own for the child.
    bool start(const QString &pPort, const QString &pPart, bool pPrint,
        const QProcessEnvironment &pEnvironment = QProcessEnvironment())
    {
        // startHelper hands the child this process's environment.
        qputenv("KV_TEST_PORT", pPort.toLocal8Bit());
        if (pPrint)
            qputenv("KV_TEST_PRINT", "1");
        else
            qunsetenv("KV_TEST_PRINT");
        const QStringList tKeys = pEnvironment.keys();
        for (const QString &tKey : tKeys)
            qputenv(tKey.toLocal8Bit().constData(), pEnvironment.value(tKey).toLocal8Bit());
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
            [this] { said += process.readAllStandardOutput(); });
        const bool tStarted = KvTest::startHelper(process, QStringLiteral("program"), {pPart});
        for (const QString &tKey : tKeys)
            qunsetenv(tKey.toLocal8Bit().constData());
        return tStarted;
    }
    // The lines said so far.
    QStringList lines() const
    {
        QStringList tLines = QString::fromUtf8(said).split(QLatin1Char('\n'));
        tLines.removeLast(); // a line not ended yet
        return tLines;
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
    ~kvProgramChild()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    QProcess process;
    QByteArray said;
};

} // namespace KvTest
