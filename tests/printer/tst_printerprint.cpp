#include "kvPrinterTestRig.h"
#include "kvTestSupport.h"

#include <QSignalSpy>

namespace {

const QStringList StopSequence {"M84", "G91", "G1 Z20 F4800", "G90", "G28 X0", "G28 Y0"};

QStringList numberedMoves(int pCount)
{
    QStringList tLines;
    for (int i = 1; i <= pCount; ++i) {
        tLines << QStringLiteral("G1 X%1").arg(i);
    }
    return tLines;
}

} // namespace

// Starting, streaming, finishing and stopping a print, and the printer's own buttons.
class tst_printerprint : public QObject
{
    Q_OBJECT

private slots:
    void normalPrintEnd();
    void linesThatCleanToNothingAreSkipped();
    void emptyQueueIsRefused();
    void noFileIsRefused();
    void progress();
    void printTwiceWhileWaiting();
    void killPrint_data();
    void killPrint();
    void buttonCodes_data();
    void buttonCodes();
    void resumeBeforeIdentificationSendsNothing();
    void silenceAfterALine_data();
    void silenceAfterALine();
};

void tst_printerprint::normalPrintEnd()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    QSignalSpy tBegin(tRig.printer, &kvPrinter::PrintProcessBegin);
    QSignalSpy tPrinting(tRig.printer, &kvPrinter::IsPrintingChanged);
    // As the main window does: the end of a print stops it, with the printing flag still set.
    bool tPrintingAtFinish = false;
    QObject::connect(tRig.printer, &kvPrinter::PrintProcessFinished, tRig.printer, [&] {
        tPrintingAtFinish = tRig.printer->isPrinting();
        tRig.printer->killPrint();
    });

    const QStringList tLines {"G28", "G1 X10 Y10 F3000 ; start", "G1 X20 E1.5"};
    QVERIFY(tRig.startPrint(tLines));
    QVERIFY(tRig.waitForPrintEnd(5000));

    const QStringList tSent = tRig.sentFrom(0);
    const int tAt = tSent.indexOf(QStringLiteral("M114"));
    QVERIFY(tAt > 0);
    const QStringList tExpected
        = QStringList {"M114", "G28", "G1 X10 Y10 F3000", "G1 X20 E1.5", "M101"} + StopSequence
        + QStringList {"M104 S0 T0", "M140 S0"};
    QCOMPARE(tSent.mid(tAt), tExpected);
    QVERIFY(tPrintingAtFinish);
    QVERIFY(!tRig.printer->isPrinting());
    QCOMPARE(tBegin.count(), 1);
    QCOMPARE(tPrinting.last().at(1).toBool(), false);
    QCOMPARE(tRig.printer->printingProgress(), 100);
    QCOMPARE(tRig.printer->statusString(), QStringLiteral("Finished printing 3D model in 0secs"));
    // Stopped inside the end: the queue is whole again for the next print.
    QCOMPARE(tRig.printer->currentPrinterFile()->PrintQueueCount(), tLines.size());
}

void tst_printerprint::linesThatCleanToNothingAreSkipped()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    QVERIFY(tRig.startPrint({"G1 X1", "   ", " ; note", "G1 X2", " ; last"}));
    QVERIFY(tRig.waitForPrintEnd(5000));
    const QStringList tSent = tRig.sentFrom(0);
    const int tAt = tSent.indexOf(QStringLiteral("M114"));
    QCOMPARE(tSent.mid(tAt), (QStringList {"M114", "G1 X1", "G1 X2", "M104 S0 T0", "M140 S0"}));
    QVERIFY(!tRig.firmware.rawReceived().contains("\n\n"));
}

void tst_printerprint::emptyQueueIsRefused()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    const int tFrom = tRig.firmware.lineCount();
    QSignalSpy tPrinting(tRig.printer, &kvPrinter::IsPrintingChanged);
    tRig.printer->setPrinterFile(tRig.makeFile({}));
    tRig.printer->print();
    QVERIFY(!tRig.printer->isPrinting());
    QVERIFY(!tRig.printer->isWaitingToPrint());
    QVERIFY(!tRig.printer->isHeating());
    QCOMPARE(tPrinting.count(), 0);
    QCOMPARE(tRig.printer->statusString(), QStringLiteral("3D model file has nothing to print."));
    // Whatever the refusal sent would reach the firmware before the sentinel.
    tRig.printer->sendCommandToPrinter(QStringLiteral("M400"));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M400"), 3000, tFrom));
    QCOMPARE(tRig.sentFrom(tFrom), QStringList {"M400"});
}

void tst_printerprint::noFileIsRefused()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.printer->setPrinterFile(tRig.makeFile({"G1 X1"}));
    // The owner deletes its file: the printer holds none from then on.
    tRig.makeFile({});
    tRig.printer->print();
    QCOMPARE(tRig.printer->statusString(), QStringLiteral("3D model file has not been loaded."));
    QCOMPARE(tRig.printer->printerFile(), QString());
    QVERIFY(!tRig.printer->isWaitingToPrint());
}

void tst_printerprint::progress()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("G1 X"));
    QSignalSpy tProgress(tRig.printer, &kvPrinter::PrinterPrintingProgressChanged);
    QSignalSpy tStatus(tRig.printer, &kvPrinter::PrintingStatusChanged);
    QVERIFY(tRig.startPrint(numberedMoves(200)));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X1")));
    // Answer by hand until three lines are left.
    while (tRig.printer->currentPrinterFile()->PrintQueueCount() > 3) {
        const int tLeft = tRig.printer->currentPrinterFile()->PrintQueueCount();
        tRig.firmware.sendLine(QStringLiteral("ok"));
        QVERIFY(tRig.firmware.waitFor(
            [&] { return tRig.printer->currentPrinterFile()->PrintQueueCount() < tLeft; }));
    }
    QCOMPARE(tProgress.last().at(0).toInt(), 98);
    QCOMPARE(tStatus.last().at(1).toString(), QStringLiteral("[3/200]"));
    QCOMPARE(tStatus.last().at(2).toString(), QStringLiteral("00:00:00"));
    tRig.advance(3723000);
    tRig.firmware.sendLine(QStringLiteral("ok"));
    QVERIFY(tStatus.wait());
    QCOMPARE(tStatus.last().at(2).toString(), QStringLiteral("01:02:03"));
    QCOMPARE(tRig.printer->elapsedTime(), QStringLiteral("01:02:03"));
}

void tst_printerprint::printTwiceWhileWaiting()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    QSignalSpy tWaiting(tRig.printer, &kvPrinter::IsWaitingToPrintChanged);
    tRig.printer->setPrinterFile(tRig.makeFile({"G1 X1"}));
    // The same file handed over twice keeps one connection per signal.
    tRig.printer->setPrinterFile(tRig.printer->currentPrinterFile());
    tRig.printer->print();
    tRig.printer->print();
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S105")));
    QVERIFY(tRig.settle());
    QCOMPARE(tRig.sentFrom(0).mid(3), (QStringList {"M104 S215 T0", "M140 S105"}));
    QCOMPARE(tWaiting.count(), 2);
    QVERIFY(tRig.printer->isWaitingToPrint());

    QSignalSpy tFinished(tRig.printer, &kvPrinter::PrintProcessFinished);
    QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick", Q_ARG(bool, true));
    QVERIFY(tRig.waitForPrintEnd(5000));
    QCOMPARE(tFinished.count(), 1);
}

void tst_printerprint::killPrint_data()
{
    QTest::addColumn<QString>("machineType");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<bool>("paused");

    QTest::newRow("idle") << "Halvarn_Tovra"
                          << "idle" << QStringList {} << false;
    QTest::newRow("waiting") << "Halvarn_Tovra"
                             << "waiting" << QStringList {} << false;
    QTest::newRow("printing") << "Halvarn_Tovra"
                              << "printing" << QStringList {"M101"} + StopSequence << false;
    QTest::newRow("printing, other type") << "Halvarn_8x8"
                                          << "printing" << StopSequence << false;
    // A stopped print is over, paused or not: a later resume must not stream it again.
    QTest::newRow("paused") << "Halvarn_Tovra"
                            << "paused" << QStringList {"M101"} + StopSequence << false;
}

void tst_printerprint::killPrint()
{
    QFETCH(QString, machineType);
    QFETCH(QString, state);
    QFETCH(QStringList, wire);
    QFETCH(bool, paused);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(machineType));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("G1 X"));
    const QStringList tLines = numberedMoves(10);
    QVERIFY(tRig.enterPrintState(state, tLines));
    if (state == QLatin1String("waiting")) {
        QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S105")));
    } else if (state == QLatin1String("paused")) {
        // The move ends; the temperature check of the pause follows it.
        QVERIFY(tRig.waitForLineAnsweringMoves(
            QStringLiteral("M105"), tRig.firmware.indexOfLine(tLines.first())));
    }
    QVERIFY(tRig.settle());
    const bool tWasHeating = tRig.printer->isHeating();
    const int tFrom = tRig.firmware.lineCount();

    tRig.printer->killPrint();
    tRig.printer->sendCommandToPrinter(QStringLiteral("M400"));
    // The stop sequence waits for the move in flight.
    QVERIFY(tRig.waitForLineAnsweringMoves(QStringLiteral("M400"), tFrom));
    QCOMPARE(tRig.sentFrom(tFrom), wire + QStringList {"M400"});
    QVERIFY(!tRig.printer->isPrinting());
    QVERIFY(!tRig.printer->isWaitingToPrint());
    QCOMPARE(tRig.printer->isPaused(), paused);
    // No heater is switched off by stopping.
    QCOMPARE(tRig.printer->isHeating(), tWasHeating);
    if (tRig.printer->currentPrinterFile()) {
        QCOMPARE(tRig.printer->currentPrinterFile()->PrintQueueCount(), tLines.size());
    }
}

void tst_printerprint::buttonCodes_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<bool>("printing");
    QTest::addColumn<bool>("paused");

    const QStringList tStop = QStringList {"M101"} + StopSequence;
    QTest::newRow("home, idle") << "idle" << int(kvFakeFirmware::ButtonHome)
                                << QStringList {"G91", "G1 Z10 F4800", "G90", "G28 X0", "G28 Y0",
                                       "M400"}
                                << false << false;
    // The sentinel "M400" waits for the move in flight; a print goes on after it.
    QTest::newRow("home, printing") << "printing" << int(kvFakeFirmware::ButtonHome)
                                    << QStringList {"M400", "G1 X2"} << true << false;
    QTest::newRow("pause, printing") << "printing" << int(kvFakeFirmware::ButtonPause)
                                     << QStringList {"M105", "M400"} << false << true;
    QTest::newRow("resume, paused") << "paused" << int(kvFakeFirmware::ButtonResume)
                                    << QStringList {"G1 X2", "M400", "G1 X3"} << true << false;
    QTest::newRow("resume, idle") << "idle" << int(kvFakeFirmware::ButtonResume)
                                  << QStringList {"G1 X1", "M400", "G1 X2"} << true << false;
    QTest::newRow("cancel, printing") << "printing" << int(kvFakeFirmware::ButtonCancel)
                                      << tStop + QStringList {"M400"} << false << false;
    QTest::newRow("cancel, paused") << "paused" << int(kvFakeFirmware::ButtonCancel)
                                    << tStop + QStringList {"M400"} << false << false;
}

void tst_printerprint::buttonCodes()
{
    QFETCH(QString, state);
    QFETCH(int, code);
    QFETCH(QStringList, wire);
    QFETCH(bool, printing);
    QFETCH(bool, paused);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("G1 X"));
    if (state == QLatin1String("idle")) {
        tRig.printer->setPrinterFile(tRig.makeFile(numberedMoves(10)));
    } else {
        QVERIFY(tRig.startPrint(numberedMoves(10)));
        QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X1")));
        if (state == QLatin1String("paused")) {
            QSignalSpy tPaused(tRig.printer, &kvPrinter::ButtonPressed);
            const int tPausedAt = tRig.firmware.lineCount();
            tRig.firmware.sendButtonCode(kvFakeFirmware::ButtonPause);
            QVERIFY(tPaused.wait(5000));
            QVERIFY(tRig.waitForLineAnsweringMoves(QStringLiteral("M105"), tPausedAt));
        }
    }
    QVERIFY(tRig.settle());
    const int tFrom = tRig.firmware.lineCount();

    // The sentinel "M400" goes once the printer has acted on the code.
    QSignalSpy tPressed(tRig.printer, &kvPrinter::ButtonPressed);
    tRig.firmware.sendButtonCode(kvFakeFirmware::ButtonCode(code));
    QVERIFY(tPressed.wait(5000));
    tRig.printer->sendCommandToPrinter(QStringLiteral("M400"));
    QVERIFY(tRig.waitForLineAnsweringMoves(QStringLiteral("M400"), tFrom));
    // The line that follows the sentinel, where there is one, has arrived too.
    QVERIFY(
        tRig.firmware.waitFor([&] { return tRig.firmware.lineCount() - tFrom >= wire.size(); }));
    QCOMPARE(tRig.sentFrom(tFrom), wire);
    QCOMPARE(tRig.printer->isPrinting(), printing);
    QCOMPARE(tRig.printer->isPaused(), paused);
}

// A board that has not answered M115 yet is no printer of ours: its resume code must not
// start streaming the held queue into it.
void tst_printerprint::resumeBeforeIdentificationSendsNothing()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    tRig.firmware.setSilent(true);
    tRig.printer->setPrinterFile(tRig.makeFile(numberedMoves(10)));
    tRig.printer->connectToPrinter();
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M115")));
    const int tFrom = tRig.firmware.lineCount();
    tRig.firmware.sendButtonCode(kvFakeFirmware::ButtonResume);
    QTest::qWait(200);
    QVERIFY(!tRig.printer->isConnected());
    QVERIFY(!tRig.printer->isPrinting());
    QCOMPARE(tRig.sentFrom(tFrom), QStringList());
    QCOMPARE(tRig.printer->currentPrinterFile()->PrintQueueCount(), 10);
}

void tst_printerprint::silenceAfterALine_data()
{
    QTest::addColumn<QString>("silent"); // the line the firmware leaves unanswered
    QTest::addColumn<QString>("status"); // once the response watchdog fires
    QTest::newRow("homing") << QStringLiteral("G28 X0")
                            << QStringLiteral("Waiting for the printer to answer...");
    QTest::newRow("bed probing") << QStringLiteral("G29") << QStringLiteral("Probing Bed...");
}

void tst_printerprint::silenceAfterALine()
{
    QFETCH(QString, silent);
    QFETCH(QString, status);
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.firmware.setReply(silent.section(QLatin1Char(' '), 0, 0), QByteArray());
    QVERIFY(tRig.startPrint({QStringLiteral("G1 X1"), silent, QStringLiteral("G1 X2")}));
    QVERIFY(tRig.firmware.waitForLine(silent));
    QVERIFY(tRig.settle(100));
    QVERIFY(!tRig.firmware.lines().contains(QStringLiteral("G1 X2")));
    QMetaObject::invokeMethod(tRig.printer, "onWaitingResponseTimerTimeout");
    QVERIFY(tRig.printer->isPrinting());
    QCOMPARE(tRig.printer->statusString(), status);
}

KV_TEST_MAIN(tst_printerprint)
#include "tst_printerprint.moc"
