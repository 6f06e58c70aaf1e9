// The print road of one printer, state by event, on a simulated firmware: the state and
// flags it reads back afterwards and the lines that reach the wire. The firmware leaves the
// print's moves unanswered, as moves still running, so nothing streams past what a row says.
#include "kvPrinterTestRig.h"
#include "kvTestSupport.h"

#include <QSignalSpy>

namespace {

const QStringList StopSequence {"M101", "M84", "G91", "G1 Z20 F4800", "G90", "G28 X0", "G28 Y0"};
const QStringList HeatersOn {"M104 S215 T0", "M140 S105"};

QStringList numberedMoves(int pCount, int pFirst = 1)
{
    QStringList tLines;
    for (int i = pFirst; i <= pCount; ++i)
        tLines << QStringLiteral("G1 X%1").arg(i);
    return tLines;
}

// A printer of the Tovra type holding a print of ten moves, brought into a state.
class kvRoadRig : public kvPrinterTestRig
{
public:
    // idle (the file held), waiting (for heat), printing (the first move sent), paused (by
    // the button, during a move), paused waiting (paused while waiting for heat), held
    // (handed over paused, cold), ended (a print ran to its end: its queue is empty),
    // identifying (print while the handshake runs again).
    bool enter(const QString &pState)
    {
        if (!connect(QStringLiteral("Halvarn_Tovra")))
            return false;
        firmware.setUnansweredPrefix(QStringLiteral("G1 X"));
        const QStringList tMoves = numberedMoves(10);
        if (pState.startsWith(QLatin1String("identifying"))
            || pState == QLatin1String("waiting for identity")) {
            firmware.setSilent(true);
            printer->setConnectTimeOutInterval(500);
            const int tFrom = firmware.lineCount();
            printer->connectToPrinter();
            if (!firmware.waitForLine(QStringLiteral("M115"), 5000, tFrom))
                return false;
            printer->setPrinterFile(makeFile(tMoves));
            if (pState == QLatin1String("waiting for identity"))
                printer->print();
            return true;
        }
        if (pState == QLatin1String("idle")) {
            printer->setPrinterFile(makeFile(tMoves));
            return true;
        }
        if (pState == QLatin1String("ended")) {
            return startPrint(tMoves) && firmware.waitForLine(tMoves.first())
                && fire(QStringLiteral("end")) && waitForPrintEnd(5000);
        }
        if (pState == QLatin1String("held")) {
            printer->setPrinterFile(makeFile(tMoves));
            printer->holdPrint();
            return printer->isPaused();
        }
        if (pState == QLatin1String("waiting") || pState == QLatin1String("paused waiting")) {
            const int tFrom = firmware.lineCount();
            printer->setPrinterFile(makeFile(tMoves));
            printer->print();
            if (!firmware.waitForLine(HeatersOn.last(), 5000, tFrom))
                return false;
            return pState == QLatin1String("waiting") || pause();
        }
        if (!startPrint(tMoves) || !firmware.waitForLine(tMoves.first()))
            return false;
        return pState == QLatin1String("printing") || pause();
    }

    // The event, done as the printer meets it; true once the printer has acted on it.
    bool fire(const QString &pEvent)
    {
        QSignalSpy tButton(printer, &kvPrinter::ButtonPressed);
        const auto tButtonCode = [&](kvFakeFirmware::ButtonCode pCode) {
            firmware.sendButtonCode(pCode);
            return tButton.wait(5000);
        };
        if (pEvent == QLatin1String("print")) {
            printer->print();
        } else if (pEvent == QLatin1String("hold")) {
            printer->holdPrint();
        } else if (pEvent == QLatin1String("heated")) {
            // The heaters are at their targets; the firmware reports them unasked.
            QSignalSpy tReport(printer, &kvPrinter::BedTempChange);
            firmware.sendLine(QString::fromLatin1(firmware.temperatureReport()));
            return tReport.wait(5000);
        } else if (pEvent == QLatin1String("pause")) {
            return tButtonCode(kvFakeFirmware::ButtonPause);
        } else if (pEvent == QLatin1String("resume")) {
            return tButtonCode(kvFakeFirmware::ButtonResume);
        } else if (pEvent == QLatin1String("cancel")) {
            return tButtonCode(kvFakeFirmware::ButtonCancel);
        } else if (pEvent == QLatin1String("home")) {
            return tButtonCode(kvFakeFirmware::ButtonHome);
        } else if (pEvent.contains(QLatin1String("action:"))) {
            // A host action: what the user chose on the printer's own screen.
            firmware.sendLine(pEvent);
            return tButton.wait(5000);
        } else if (pEvent == QLatin1String("stop")) {
            printer->killPrint();
        } else if (pEvent == QLatin1String("end")) {
            // The moves are answered from here on: the print runs to its last line.
            firmware.setUnansweredPrefix(QString());
            firmware.sendLine(QStringLiteral("ok"));
            return firmware.waitFor([&] { return !printer->isPrinting(); });
        } else if (pEvent == QLatin1String("halt")) {
            firmware.sendHalt();
            return firmware.waitFor(
                [&] { return printer->statusString().contains(QLatin1String("Printer halted")); });
        } else if (pEvent == QLatin1String("restart")) {
            firmware.sendReset();
            return firmware.waitFor([&] {
                return printer->statusString().startsWith(QLatin1String("The printer restarted"));
            });
        } else if (pEvent == QLatin1String("lost")) {
            firmware.hangUp();
            return firmware.waitFor([&] { return !printer->isConnected(); });
        } else if (pEvent == QLatin1String("timeout")) {
            QSignalSpy tTimeOut(printer, &kvPrinter::ConnectionTimeOut);
            return tTimeOut.wait(5000);
        } else {
            return false;
        }
        return true;
    }

    // The lines sent from pFrom, as far as a sentinel "M400" that follows everything the
    // printer had to send; the move in flight is answered so that it can go. (A print that
    // has just begun sends its first line after the answer to "M114", so after the
    // sentinel.)
    bool drain(int pFrom, QStringList &pWire)
    {
        if (!printer->isConnected()) {
            pWire = sentFrom(pFrom);
            return true;
        }
        printer->sendCommandToPrinter(QStringLiteral("M400"));
        const bool tDone = waitForLineAnsweringMoves(QStringLiteral("M400"), pFrom);
        const QStringList tSent = sentFrom(pFrom);
        pWire = tSent.mid(0, tSent.indexOf(QStringLiteral("M400")));
        return tDone;
    }

private:
    // The pause button, and the temperature check it sends (after the move in flight).
    bool pause()
    {
        const int tFrom = firmware.lineCount();
        if (!fire(QStringLiteral("pause")))
            return false;
        QStringList tWire;
        return drain(tFrom, tWire) && tWire.contains(QStringLiteral("M105"));
    }
};

} // namespace

class tst_printroad : public QObject
{
    Q_OBJECT

private slots:
    void stateByEvent_data();
    void stateByEvent();
    void noiseBeforeAnOk();
    void buttonBesideAReport();
    void hostActionsActAsButtons_data();
    void hostActionsActAsButtons();
    void firmwareErrors_data();
    void firmwareErrors();
    void silentAfterHalt();
    void refusalOfTheUsersLine_data();
    void refusalOfTheUsersLine();
    void haltAndRestartInOneRead();
};

void tst_printroad::stateByEvent_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("printing");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<bool>("waiting");
    QTest::addColumn<int>("stopped"); // PrintStopped signals
    QTest::addColumn<QStringList>("wire");

    const QStringList tNone;
    const auto tRow = [](const char *pFrom, const char *pEvent) -> QTestData & {
        return QTest::newRow((QByteArray(pFrom) + ", " + pEvent).constData())
            << QString::fromLatin1(pFrom) << QString::fromLatin1(pEvent);
    };
    // An idle printer: the pause holds nothing; the resume streams what the queue holds.
    tRow("idle", "print") << "WaitingForHeat" << false << false << true << 0 << HeatersOn;
    tRow("idle", "hold") << "PausedWaiting" << false << true << false << 0 << tNone;
    tRow("idle", "heated") << "Idle" << false << false << false << 0 << tNone;
    tRow("idle", "pause") << "Idle" << false << false << false << 0 << tNone;
    tRow("idle", "resume") << "Printing" << true << false << false << 0 << QStringList {"G1 X1"};
    tRow("idle", "cancel") << "Idle" << false << false << false << 1 << tNone;
    tRow("idle", "stop") << "Idle" << false << false << false << 0 << tNone;
    tRow("idle", "home") << "Idle" << false << false << false << 0
                         << QStringList {"G91", "G1 Z10 F4800", "G90", "G28 X0", "G28 Y0"};
    tRow("idle", "halt") << "Idle" << false << false << false << 0 << tNone;
    tRow("idle", "restart") << "Idle" << false << false << false << 0 << tNone;
    // A print just ended: its queue is empty, the resume has nothing to stream.
    tRow("ended", "resume") << "Idle" << false << false << false << 0 << tNone;
    tRow("ended", "pause") << "Idle" << false << false << false << 0 << tNone;
    // Waiting for heat.
    tRow("waiting", "print") << "WaitingForHeat" << false << false << true << 0 << tNone;
    tRow("waiting", "heated") << "Printing" << true << false << false << 0 << QStringList {"M114"};
    tRow("waiting", "pause") << "PausedWaiting" << false << true << false << 0
                             << QStringList {"M105"};
    tRow("waiting", "resume") << "WaitingForHeat" << false << false << true << 0 << tNone;
    tRow("waiting", "cancel") << "Idle" << false << false << false << 1 << tNone;
    tRow("waiting", "stop") << "Idle" << false << false << false << 1 << tNone;
    tRow("waiting", "halt") << "Idle" << false << false << false << 1 << tNone;
    tRow("waiting", "restart") << "Idle" << false << false << false << 1 << tNone;
    tRow("waiting", "lost") << "Idle" << false << false << false << 1 << tNone;
    // Printing.
    tRow("printing", "print") << "Printing" << true << false << false << 0 << tNone;
    tRow("printing", "pause") << "Paused" << false << true << false << 0 << QStringList {"M105"};
    tRow("printing", "resume") << "Printing" << true << false << false << 0 << tNone;
    tRow("printing", "cancel") << "Idle" << false << false << false << 1 << StopSequence;
    tRow("printing", "stop") << "Idle" << false << false << false << 1 << StopSequence;
    tRow("printing", "home") << "Printing" << true << false << false << 0 << tNone;
    tRow("printing", "end") << "Idle" << false << false << false << 0
                            << numberedMoves(10, 2) + QStringList {"M104 S0 T0", "M140 S0"};
    tRow("printing", "halt") << "Idle" << false << false << false << 1 << tNone;
    tRow("printing", "restart") << "Idle" << false << false << false << 1 << tNone;
    tRow("printing", "lost") << "Idle" << false << false << false << 1 << tNone;
    // Paused after lines have streamed.
    tRow("paused", "resume") << "Printing" << true << false << false << 0 << QStringList {"G1 X2"};
    tRow("paused", "pause") << "Paused" << false << true << false << 0 << tNone;
    tRow("paused", "print") << "Paused" << false << true << false << 0 << tNone;
    tRow("paused", "cancel") << "Idle" << false << false << false << 1 << StopSequence;
    tRow("paused", "stop") << "Idle" << false << false << false << 1 << StopSequence;
    tRow("paused", "home") << "Paused" << false << true << false << 0 << tNone;
    tRow("paused", "halt") << "Idle" << false << false << false << 1 << tNone;
    // Paused before any line streamed: the resume starts the print as every print starts.
    tRow("paused waiting", "resume")
        << "Printing" << true << false << false << 0 << QStringList {"M114"};
    tRow("paused waiting", "heated") << "PausedWaiting" << false << true << false << 0 << tNone;
    tRow("paused waiting", "cancel") << "Idle" << false << false << false << 1 << tNone;
    tRow("paused waiting", "stop") << "Idle" << false << false << false << 1 << tNone;
    tRow("held", "resume") << "WaitingForHeat" << false << false << true << 0 << HeatersOn;
    tRow("held", "heated") << "PausedWaiting" << false << true << false << 0 << tNone;
    // A print asked for while the printer is identified again waits for the handshake.
    tRow("identifying", "print") << "WaitingForHeat" << false << false << true << 0 << tNone;
    tRow("waiting for identity", "timeout") << "Idle" << false << false << false << 1 << tNone;
}

void tst_printroad::stateByEvent()
{
    QFETCH(QString, from);
    QFETCH(QString, event);
    QFETCH(QString, state);
    QFETCH(bool, printing);
    QFETCH(bool, paused);
    QFETCH(bool, waiting);
    QFETCH(int, stopped);
    QFETCH(QStringList, wire);

    kvRoadRig tRig;
    QVERIFY(tRig.enter(from));
    QSignalSpy tStopped(tRig.printer, &kvPrinter::PrintStopped);
    const int tFrom = tRig.firmware.lineCount();
    QVERIFY2(tRig.fire(event), qPrintable(event));

    QCOMPARE(kvPrinter::printStateName(tRig.printer->printState()), state);
    QCOMPARE(tRig.printer->isPrinting(), printing);
    QCOMPARE(tRig.printer->isPaused(), paused);
    QCOMPARE(tRig.printer->isWaitingToPrint(), waiting);
    QCOMPARE(tStopped.count(), stopped);
    QStringList tWire;
    // A firmware that does not answer the handshake answers no sentinel either.
    if (tRig.firmware.isSilent())
        tWire = tRig.sentFrom(tFrom);
    else
        QVERIFY(tRig.drain(tFrom, tWire));
    QCOMPARE(tWire, wire);
}

// Line noise (NUL and 0xFF among it, no line end) right before an "ok" still lets that
// "ok" pace the next line.
void tst_printroad::noiseBeforeAnOk()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("G1 X"));
    QVERIFY(tRig.startPrint(numberedMoves(5)));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X1")));
    QSignalSpy tStatus(tRig.printer, &kvPrinter::StatusChanged);
    // The firmware's answer to the next move comes after ten kilobytes of noise.
    tRig.firmware.setUnansweredPrefix(QString());
    tRig.firmware.setNoiseBeforeNextReply(10240);
    tRig.firmware.sendLine(QStringLiteral("ok"));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X3")));
    QVERIFY(tRig.printer->isPrinting());
    // The noise reaches no status text.
    for (const QList<QVariant> &tSignal : qAsConst(tStatus))
        QVERIFY2(tSignal.at(1).toString().startsWith(QLatin1String("Printing")),
            qPrintable(tSignal.at(1).toString()));
}

// One read that brings a temperature report and the cancel button: the print is cancelled.
void tst_printroad::buttonBesideAReport()
{
    kvRoadRig tRig;
    QVERIFY(tRig.enter(QStringLiteral("printing")));
    QSignalSpy tPressed(tRig.printer, &kvPrinter::ButtonPressed);
    const int tFrom = tRig.firmware.lineCount();
    tRig.firmware.sendRaw(tRig.firmware.temperatureReport() + "\nHVT101\n");
    QVERIFY(tPressed.wait(5000));
    QCOMPARE(tRig.printer->printState(), kvPrinter::PrintState::Idle);
    QStringList tWire;
    QVERIFY(tRig.drain(tFrom, tWire));
    QCOMPARE(tWire, StopSequence);
}

// What the printer did about an event from a state: its state, its PrintStopped signals and
// the lines that reached the wire.
struct kvRoadOutcome
{
    QString state;
    int stopped = -1;
    QStringList wire;
};

kvRoadOutcome outcomeOf(const QString &pFrom, const QString &pEvent)
{
    kvRoadOutcome tOutcome;
    kvRoadRig tRig;
    if (!tRig.enter(pFrom))
        return tOutcome;
    QSignalSpy tStopped(tRig.printer, &kvPrinter::PrintStopped);
    const int tFrom = tRig.firmware.lineCount();
    if (!tRig.fire(pEvent) || !tRig.drain(tFrom, tOutcome.wire))
        return tOutcome;
    tOutcome.state = kvPrinter::printStateName(tRig.printer->printState());
    tOutcome.stopped = tStopped.count();
    return tOutcome;
}

void tst_printroad::hostActionsActAsButtons_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("button");
    const char *const tStates[]
        = {"idle", "ended", "waiting", "printing", "paused", "paused waiting", "held"};
    const char *const tActions[][2] = {{"//action:cancel", "cancel"}, {"//action:pause", "pause"},
        {"//action:paused", "pause"}, {"//action:resume", "resume"}, {"//action:resumed", "resume"},
        {"// action:cancel", "cancel"}, {"//action:cancel now", "cancel"},
        {"//action:paused filament change", "pause"}};
    for (const char *tState : tStates) {
        for (const auto &tAction : tActions) {
            QTest::newRow((QByteArray(tState) + ", " + tAction[0]).constData())
                << QString::fromLatin1(tState) << QString::fromLatin1(tAction[0])
                << QString::fromLatin1(tAction[1]);
        }
    }
}

// Stop, Pause and Resume chosen on the printer's own screen (host action commands) act as
// the printer's buttons of the same meaning on a print under way, words after the action
// or not. A firmware says them of its own doings too (a filament change of its own): with
// no print under way they act on nothing, where the buttons would.
void tst_printroad::hostActionsActAsButtons()
{
    QFETCH(QString, from);
    QFETCH(QString, action);
    QFETCH(QString, button);
    const kvRoadOutcome tByAction = outcomeOf(from, action);
    QVERIFY(tByAction.stopped >= 0);
    if (from == QLatin1String("idle") || from == QLatin1String("ended")) {
        QCOMPARE(tByAction.state, QStringLiteral("Idle"));
        QCOMPARE(tByAction.stopped, 0);
        QCOMPARE(tByAction.wire, QStringList());
        return;
    }
    const kvRoadOutcome tByButton = outcomeOf(from, button);
    QVERIFY(tByButton.stopped >= 0);
    QCOMPARE(tByAction.state, tByButton.state);
    QCOMPARE(tByAction.stopped, tByButton.stopped);
    QCOMPARE(tByAction.wire, tByButton.wire);
}

void tst_printroad::firmwareErrors_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("halts");
    // Halts: the firmware takes no line until it restarts.
    QTest::newRow("Marlin kill()") << "Error:Printer halted. kill() called!" << true;
    QTest::newRow("kill() alone") << "Error:kill() called!" << true;
    QTest::newRow("Marlin 1.x stopped")
        << "Error:Printer stopped due to errors. Fix the error and use M999 to restart. "
           "(Temperature is reset. Set it after restarting)\nok"
        << true;
    QTest::newRow("Klipper shutdown") << "!! Shutdown due to webhooks request" << true;
    QTest::newRow("Klipper MCU shutdown") << "!! MCU 'mcu' shutdown: Timer too close" << true;
    QTest::newRow("Klipper shut down") << "// Printer is shutdown\nok" << true;
    // Errors the firmware goes on after: the part is spoiled, the print stops as Stop does.
    QTest::newRow("Klipper refuses a move")
        << "!! Move out of range: 250.000 100.000 0.300 [10.000]\nok" << false;
    QTest::newRow("Marlin error") << "Error:Line Number is not Last Line Number+1, Last Line: 0"
                                  << false;
}

// A firmware's error ends the print and keeps the firmware's words on the status line. A
// halted firmware gets nothing more, not even the stop sequence; one that goes on gets the
// stop sequence, so that the nozzle leaves the part, and no further line of the print.
void tst_printroad::firmwareErrors()
{
    QFETCH(QString, reply);
    QFETCH(bool, halts);
    kvRoadRig tRig;
    QVERIFY(tRig.enter(QStringLiteral("printing")));
    QSignalSpy tStopped(tRig.printer, &kvPrinter::PrintStopped);
    QSignalSpy tFinished(tRig.printer, &kvPrinter::PrintProcessFinished);
    QSignalSpy tStatus(tRig.printer, &kvPrinter::StatusChanged);
    const int tFrom = tRig.firmware.lineCount();
    tRig.firmware.sendLine(reply);
    QVERIFY(tStatus.wait(5000));
    const QString tWords = reply.section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(
        tRig.printer->statusString().startsWith(tWords), qPrintable(tRig.printer->statusString()));
    QVERIFY(tRig.printer->statusString().endsWith(QLatin1String("The print was stopped.")));
    QCOMPARE(tRig.printer->printState(), kvPrinter::PrintState::Idle);
    QCOMPARE(tStopped.count(), 1);
    QCOMPARE(tFinished.count(), 0);
    QCOMPARE(tRig.printer->currentPrinterFile()->PrintQueueCount(), 10);
    QStringList tWire;
    QVERIFY(tRig.drain(tFrom, tWire));
    QCOMPARE(tWire, halts ? QStringList() : StopSequence);
}

// A halted firmware that falls silent: the temperature poll goes on, and once the link's
// time-out has passed without an answer the readouts no longer show its last temperatures.
// A firmware that answers again is shown again.
void tst_printroad::silentAfterHalt()
{
    kvRoadRig tRig;
    QVERIFY(tRig.enter(QStringLiteral("printing")));
    QVERIFY(tRig.printer->bedTemp() > 0.0f);
    QSignalSpy tStatus(tRig.printer, &kvPrinter::StatusChanged);
    tRig.firmware.sendHalt();
    QVERIFY(tRig.firmware.waitFor(
        [&] { return tRig.printer->statusString().contains(QLatin1String("Printer halted")); }));

    // The poll's own timer sends the next check.
    const int tFrom = tRig.firmware.lineCount();
    tRig.advance(kvPrinter::HeatCheckIntervalMs);
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M105"), 20000, tFrom));
    QVERIFY(tRig.printer->bedTemp() > 0.0f);
    QVERIFY(tRig.printer->extruderTemp(0) > 0.0f);

    tRig.advance(10000);
    QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick");
    QCOMPARE(tRig.printer->bedTemp(), 0.0f);
    QCOMPARE(tRig.printer->extruderTemp(0), 0.0f);
    QCOMPARE(tRig.printer->statusString(),
        QStringLiteral("The printer on ") + tRig.firmware.portPath()
            + QStringLiteral(" does not answer."));

    // Restarted, it answers the checks again.
    tRig.firmware.sendReset();
    QVERIFY(tRig.firmware.waitFor(
        [&] { return tRig.printer->statusString() == QLatin1String("The printer restarted."); }));
    tRig.advance(kvPrinter::HeatCheckIntervalMs);
    QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick");
    QVERIFY(tRig.firmware.waitFor([&] { return tRig.printer->bedTemp() > 0.0f; }));
    QVERIFY(tRig.statusSaid(tStatus, QStringLiteral(" answers again.")));
}

void tst_printroad::refusalOfTheUsersLine_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("line"); // jog (Z +500 from the control window) or console
    QTest::newRow("printing, jog") << "printing"
                                   << "jog";
    QTest::newRow("paused, jog") << "paused"
                                 << "jog";
    QTest::newRow("paused, console") << "paused"
                                     << "console";
}

// A firmware that refuses the user's own line (Klipper: a move out of range, then "ok")
// has its words shown, and the print stays as it was: printing goes on, a pause stays
// paused and resumes as usual. No stop sequence goes out.
void tst_printroad::refusalOfTheUsersLine()
{
    QFETCH(QString, from);
    QFETCH(QString, line);
    kvRoadRig tRig;
    QVERIFY(tRig.enter(from));
    tRig.firmware.setMoveLimits(QVector3D(200, 200, 200));
    QSignalSpy tStopped(tRig.printer, &kvPrinter::PrintStopped);
    const int tFrom = tRig.firmware.lineCount();
    if (line == QLatin1String("jog"))
        tRig.printer->move(Kv::Defines::CoordinateZ, 500.0f);
    else
        tRig.printer->sendCommandToPrinter(QStringLiteral("G1 Z500"));
    // The move in flight ends; the user's lines go; the print's next move waits unanswered.
    if (from == QLatin1String("printing"))
        tRig.firmware.sendLine(QStringLiteral("ok"));
    const QString tWords = QStringLiteral("!! Move out of range: 1.000 0.000 500.000 [0.000]");
    QVERIFY(tRig.firmware.waitFor([&] { return tRig.printer->statusString() == tWords; }));
    QCOMPARE(tStopped.count(), 0);
    QStringList tWire;
    QVERIFY(tRig.drain(tFrom, tWire));
    const QStringList tUsers = line == QLatin1String("jog")
        ? QStringList {"G91", "G1 Z500 F4800", "G90"}
        : QStringList {"G1 Z500"};
    QCOMPARE(tWire, tUsers);
    if (from == QLatin1String("printing")) {
        QCOMPARE(tRig.printer->printState(), kvPrinter::PrintState::Printing);
        QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X2"), 5000, tFrom));
        return;
    }
    QCOMPARE(tRig.printer->printState(), kvPrinter::PrintState::Paused);
    QVERIFY(tRig.fire(QStringLiteral("resume")));
    QCOMPARE(tRig.printer->printState(), kvPrinter::PrintState::Printing);
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X2"), 5000, tFrom));
}

// A halt and the board's restart in one read: the status keeps the halt's words.
void tst_printroad::haltAndRestartInOneRead()
{
    kvRoadRig tRig;
    QVERIFY(tRig.enter(QStringLiteral("printing")));
    QSignalSpy tStopped(tRig.printer, &kvPrinter::PrintStopped);
    tRig.firmware.sendRaw("Error:Printer halted. kill() called!\nstart\n");
    QVERIFY(tStopped.wait(5000));
    QVERIFY(tRig.settle());
    QCOMPARE(tRig.printer->statusString(),
        QStringLiteral("Error:Printer halted. kill() called! The print was stopped."));
    QCOMPARE(tRig.printer->printState(), kvPrinter::PrintState::Idle);
}

KV_TEST_MAIN(tst_printroad)
#include "tst_printroad.moc"
