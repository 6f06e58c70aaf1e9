#include "kvPrinterTestRig.h"
#include "kvTestSupport.h"

#include <QSignalSpy>

Q_DECLARE_METATYPE(kvFakeFirmware::OkPlacement)

namespace {

QStringList numberedMoves(int pCount)
{
    QStringList tLines;
    for (int i = 1; i <= pCount; ++i) {
        tLines << QStringLiteral("G1 X%1").arg(i);
    }
    return tLines;
}

// The lines of pSent from the first "M114" on, without the link's own temperature checks.
QStringList streamOf(const QStringList &pSent)
{
    QStringList tStream = pSent.mid(pSent.indexOf(QStringLiteral("M114")));
    tStream.removeAll(QStringLiteral("M105"));
    return tStream;
}

} // namespace

// Every line the link writes waits for the "ok" of the one before, whatever else the
// firmware says in between.
class tst_printerpacing : public QObject
{
    Q_OBJECT

private slots:
    void temperatureChecksDuringAPrint_data();
    void temperatureChecksDuringAPrint();
    void reportsWhileTheBedHeats();
    void commandWaitsForTheMoveInFlight();
    void printEndFitsASmallReceiveRing();
    void lostOkAfterLongSilence_data();
    void lostOkAfterLongSilence();
    void lostOkOfATemperatureCheck();
    void silentPrintLine();
    void noAnswer_data();
    void noAnswer();
    void lostOkOnAFirmwareThatWaits();
};

void tst_printerpacing::temperatureChecksDuringAPrint_data()
{
    QTest::addColumn<kvFakeFirmware::OkPlacement>("placement");
    QTest::addColumn<bool>("byteAtATime");
    QTest::addColumn<bool>("crLf");

    QTest::newRow("ok, then the report, one line")
        << kvFakeFirmware::OkBeforeReport << false << false;
    QTest::newRow("report, then ok, one read") << kvFakeFirmware::OkAfterReport << false << false;
    QTest::newRow("report and ok read apart") << kvFakeFirmware::OkApart << false << false;
    QTest::newRow("report and ok, byte by byte") << kvFakeFirmware::OkAfterReport << true << false;
    // Lines that end in CR LF: the CR is part of the line end, no noise.
    QTest::newRow("CR LF: ok, then the report") << kvFakeFirmware::OkBeforeReport << false << true;
    QTest::newRow("CR LF: report, then ok") << kvFakeFirmware::OkAfterReport << false << true;
    QTest::newRow("CR LF: byte by byte") << kvFakeFirmware::OkAfterReport << true << true;
}

void tst_printerpacing::temperatureChecksDuringAPrint()
{
    QFETCH(kvFakeFirmware::OkPlacement, placement);
    QFETCH(bool, byteAtATime);
    QFETCH(bool, crLf);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    QVERIFY(tRig.startLog());
    tRig.firmware.setCrLf(crLf);
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.firmware.setOkPlacement(placement);
    tRig.firmware.setSplitDelayMs(5);
    tRig.firmware.setByteAtATime(byteAtATime);
    // Every fourth move comes 5 s after the one before: the link checks the temperatures.
    int tMoves = 0;
    QObject::connect(&tRig.firmware, &kvFakeFirmware::LineReceived, [&](const QString &pLine) {
        if (pLine.startsWith(QLatin1String("G1")) && ++tMoves % 4 == 0) {
            tRig.advance(5000);
        }
    });
    QObject::connect(
        tRig.printer, &kvPrinter::PrintProcessFinished, tRig.printer, &kvPrinter::killPrint);
    tRig.firmware.resetMaxUnanswered();

    const QStringList tLines = numberedMoves(40);
    QVERIFY(tRig.startPrint(tLines));
    QVERIFY(tRig.waitForPrintEnd(20000));
    QVERIFY(tRig.settle());

    QCOMPARE(tRig.firmware.maxUnanswered(), 1);
    const QStringList tSent = tRig.sentFrom(0);
    QVERIFY(tSent.mid(tSent.indexOf(QStringLiteral("M114"))).count(QStringLiteral("M105")) >= 9);
    const QStringList tStop {"M84", "G91", "G1 Z20 F4800", "G90", "G28 X0", "G28 Y0"};
    QCOMPARE(streamOf(tSent),
        (QStringList {"M114"} + tLines + tStop + QStringList {"M104 S0 T0", "M140 S0"}));
    // Every reply was read whole: the checks' reports reached the readouts, and nothing of
    // them was taken for noise.
    QCOMPARE(tRig.printer->bedTemp(), 105.0f);
    QVERIFY(!tRig.log().contains("line noise"));
}

void tst_printerpacing::reportsWhileTheBedHeats()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("G1 X1"));
    QVERIFY(tRig.startPrint({"G1 X1", "M190 S60", "G1 X2", "G1 X3", "G1 X4"}));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X1")));
    // The bed is cool again and takes a while; the firmware reports on its own meanwhile.
    tRig.firmware.setTemperature(-1, 40.0);
    tRig.firmware.setHeatingRate(40.0);
    tRig.firmware.setWaitReportIntervalMs(20);
    tRig.firmware.setUnansweredPrefix(QString());
    tRig.firmware.resetMaxUnanswered();
    QSignalSpy tBed(tRig.printer, &kvPrinter::BedTempChange);
    tRig.firmware.sendLine(QStringLiteral("ok"));

    QVERIFY(tRig.waitForPrintEnd(10000));
    QVERIFY(tRig.settle());
    QCOMPARE(tRig.firmware.maxUnanswered(), 1);
    // The reports were read: the bed climbed on the way.
    QVERIFY(tBed.count() >= 5);
    const QStringList tSent = tRig.sentFrom(0);
    QCOMPARE(tSent.mid(tSent.indexOf(QStringLiteral("M114"))),
        (QStringList {
            "M114", "G1 X1", "M190 S60", "G1 X2", "G1 X3", "G1 X4", "M104 S0 T0", "M140 S0"}));
}

void tst_printerpacing::commandWaitsForTheMoveInFlight()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("G1 X"));
    QVERIFY(tRig.startPrint(numberedMoves(5)));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X1")));
    QVERIFY(tRig.settle());
    const int tFrom = tRig.firmware.lineCount();

    tRig.printer->move(Kv::Defines::CoordinateZ, 1.0f);
    tRig.printer->sendCommandToPrinter(QStringLiteral("M400"));
    QVERIFY(tRig.settle(100));
    QCOMPARE(tRig.sentFrom(tFrom), QStringList());
    QCOMPARE(tRig.printer->queuedLines(), 4);

    // The move ends: the commands go, one by one, then the print goes on.
    tRig.firmware.sendLine(QStringLiteral("ok"));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X2"), 3000, tFrom));
    QVERIFY(tRig.settle());
    QCOMPARE(tRig.sentFrom(tFrom), (QStringList {"G91", "G1 Z1 F4800", "G90", "M400", "G1 X2"}));
    QCOMPARE(tRig.firmware.maxUnanswered(), 1);
}

void tst_printerpacing::printEndFitsASmallReceiveRing()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra"), 2));
    QObject::connect(
        tRig.printer, &kvPrinter::PrintProcessFinished, tRig.printer, &kvPrinter::killPrint);
    // An 8-bit controller still busy with its moves.
    tRig.firmware.setReceiveRing(64);
    tRig.firmware.setReplyDelayMs(20);

    QVERIFY(tRig.startPrint({"G1 X10 Y10 F3000", "G1 X20 Y20 E1.5"}));
    QVERIFY(tRig.waitForPrintEnd(10000));
    QVERIFY(tRig.settle(100));
    QCOMPARE(tRig.firmware.lostLines(), QStringList());
    const QStringList tSent = tRig.sentFrom(0);
    QCOMPARE(tSent.mid(tSent.indexOf(QStringLiteral("M114"))),
        (QStringList {"M114", "G1 X10 Y10 F3000", "G1 X20 Y20 E1.5", "M101", "M84", "G91",
            "G1 Z20 F4800", "G90", "G28 X0", "G28 Y0", "M104 S0 T0", "M104 S0 T1", "M140 S0"}));
}

// A print whose line goes unanswered: at the link's time-out the response watchdog's own check
// shows the printer as not answering and its readouts at 0; at 30 seconds the print goes on,
// and the status still says that the printer does not answer.
void tst_printerpacing::silentPrintLine()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    QVERIFY(tRig.startStalledPrint());
    QVERIFY(tRig.printer->bedTemp() > 0.0f);
    QSignalSpy tStatus(tRig.printer, &kvPrinter::StatusChanged);

    // The temperature poll is stopped while lines stream: the watchdog is the one to see it.
    tRig.advance(10000);
    QMetaObject::invokeMethod(tRig.printer, "onWaitingResponseTimerTimeout");
    QCOMPARE(tRig.printer->statusString(), tRig.notAnswering());
    QCOMPARE(tRig.printer->bedTemp(), 0.0f);
    QCOMPARE(tRig.printer->extruderTemp(0), 0.0f);

    const int tFrom = tRig.firmware.lineCount();
    tRig.advance(kvPrinter::LostOkMs - 10000);
    QMetaObject::invokeMethod(tRig.printer, "onWaitingResponseTimerTimeout");
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X2"), 5000, tFrom));
    QVERIFY(!tRig.statusSaid(tStatus, QStringLiteral("did not answer")));
    QVERIFY(tRig.statusSaid(tStatus, QStringLiteral(" answers again.")));
}

void tst_printerpacing::noAnswer_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("answers");
    QTest::newRow("Repetier's idle wait") << QByteArray("wait\n") << false;
    QTest::newRow("idle waits, CR LF") << QByteArray("wait\r\nwait\r\n") << false;
    QTest::newRow("NUL and 0xFF") << QByteArray("\0\xff\xff\0\xff\n", 6) << false;
    QTest::newRow("noise, CR LF") << QByteArray("\xff\0\r\n", 4) << false;
    QTest::newRow("noise, then a wait") << QByteArray("\0\xff\xffwait\n", 8) << false;
    QTest::newRow("Marlin keeping the host waiting")
        << QByteArray("echo:busy: processing\n") << true;
    QTest::newRow("noise, then an echo") << QByteArray("\0\xff"
                                                       "echo:busy: processing\n",
        24) << true;
}

// What a firmware says while a line goes unanswered, and whether it is an answer that
// ends "does not answer".
void tst_printerpacing::noAnswer()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, answers);
    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    QVERIFY(tRig.startLog());
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    QVERIFY(tRig.startStalledPrint());
    tRig.advance(10000);
    QMetaObject::invokeMethod(tRig.printer, "onWaitingResponseTimerTimeout");
    QCOMPARE(tRig.printer->statusString(), tRig.notAnswering());

    // The rig counts the replies before the firmware's bytes are read.
    tRig.firmware.sendRaw(reply);
    QVERIFY(tRig.waitForReply());
    QCOMPARE(tRig.printer->statusString(),
        answers ? QStringLiteral("The printer on ") + tRig.firmware.portPath()
                + QStringLiteral(" answers again.")
                : tRig.notAnswering());
    // Silence is measured from the last answer: at 30 seconds of it the print goes on.
    tRig.advance(kvPrinter::LostOkMs - 10000);
    const int tFrom = tRig.firmware.lineCount();
    QMetaObject::invokeMethod(tRig.printer, "onWaitingResponseTimerTimeout");
    QCOMPARE(tRig.log().contains("goOnAfterSilence: no answer to G1 X1"), !answers);
    if (!answers)
        QVERIFY(tRig.firmware.waitFor([&] { return tRig.firmware.lineCount() > tFrom; }));
}

// Repetier says "wait" every second while its buffer is empty and nothing comes. When the
// "ok" of a line is lost the link notices it as on a silent firmware: the watchdog tells,
// the printer is shown as not answering, and the print goes on after 30 seconds.
void tst_printerpacing::lostOkOnAFirmwareThatWaits()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    QVERIFY(tRig.startLog());
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    QVERIFY(tRig.startStalledPrint());
    QSignalSpy tStatus(tRig.printer, &kvPrinter::StatusChanged);
    tRig.firmware.setIdleWaitMs(20);
    // Time passes, a "wait" comes, and the watchdog looks.
    const auto tLater = [&](qint64 pMs) {
        tRig.advance(pMs);
        if (!tRig.waitForReply("wait"))
            return false;
        QMetaObject::invokeMethod(tRig.printer, "onWaitingResponseTimerTimeout");
        return true;
    };
    QVERIFY(tLater(5000));
    QVERIFY(tRig.statusSaid(tStatus, QStringLiteral("Waiting for the printer to answer...")));
    QVERIFY(tLater(5000));
    QCOMPARE(tRig.printer->statusString(), tRig.notAnswering());
    QCOMPARE(tRig.printer->bedTemp(), 0.0f);
    const int tFrom = tRig.firmware.lineCount();
    QVERIFY(tLater(kvPrinter::LostOkMs - 10000));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X2"), 5000, tFrom));
    tRig.firmware.setIdleWaitMs(0);
}

KV_TEST_MAIN(tst_printerpacing)
#include "tst_printerpacing.moc"

void tst_printerpacing::lostOkAfterLongSilence_data()
{
    QTest::addColumn<QString>("silentLine");
    QTest::addColumn<bool>("goesOn");

    QTest::newRow("move whose ok was lost") << "G1 X1" << true;
    QTest::newRow("bed wait without reports") << "M190 S60" << false;
    QTest::newRow("homing") << "G28" << false;
    QTest::newRow("homing, no blank before the axis") << "G28X0" << false;
    QTest::newRow("mesh levelling") << "G80" << false;
    QTest::newRow("delta calibration") << "G33" << false;
    QTest::newRow("tramming") << "G35" << false;
    QTest::newRow("probe temperature calibration") << "G76" << false;
    QTest::newRow("nozzle cleaning") << "G12" << false;
    QTest::newRow("chamber wait") << "M191 S40" << false;
    QTest::newRow("filament load") << "M701" << false;
    QTest::newRow("filament unload") << "M702" << false;
    QTest::newRow("a move of the same first digits") << "G280" << true;
}

void tst_printerpacing::lostOkAfterLongSilence()
{
    QFETCH(QString, silentLine);
    QFETCH(bool, goesOn);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.firmware.setUnansweredPrefix(silentLine);
    QVERIFY(tRig.startPrint({silentLine, "G1 X2"}));
    QVERIFY(tRig.firmware.waitForLine(silentLine));
    QVERIFY(tRig.settle());
    const int tFrom = tRig.firmware.lineCount();

    // Stop: the stop sequence waits behind the silent line.
    tRig.printer->killPrint();
    QSignalSpy tStatus(tRig.printer, &kvPrinter::StatusChanged);
    const auto tSaid = [&](const QString &pText) { return tRig.statusSaid(tStatus, pText); };
    tRig.advance(kvPrinter::LostOkMs - 1000);
    QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick", Q_ARG(bool, true));
    QVERIFY(tRig.settle(100));
    QCOMPARE(tRig.sentFrom(tFrom), QStringList());
    const int tQueued = tRig.printer->queuedLines();
    QVERIFY(tQueued > 0);

    tRig.advance(2000);
    QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick", Q_ARG(bool, true));
    QVERIFY(tRig.settle(100));
    // A firmware that waits, homes or probes is neither given up on nor shown as silent.
    if (!goesOn) {
        QCOMPARE(tRig.printer->queuedLines(), tQueued);
        QVERIFY(!tSaid(QStringLiteral("answer")));
        QCOMPARE(tRig.printer->bedTemp(), 105.0f);
        return;
    }
    QVERIFY2(tRig.firmware.waitForLine(QStringLiteral("G28 Y0"), 3000, tFrom),
        qPrintable(tRig.sentFrom(tFrom).join(QLatin1Char('|'))));
    QCOMPARE(tRig.sentFrom(tFrom).first(), QStringLiteral("M84"));
    // Silent past the link's time-out, it was shown as not answering, until it answered.
    QVERIFY(tSaid(QStringLiteral("does not answer.")));
    QVERIFY(tRig.firmware.waitFor([&] { return tSaid(QStringLiteral("answers again.")); }));
}

// The "ok" of the link's own temperature check is lost mid-print: the print goes on.
void tst_printerpacing::lostOkOfATemperatureCheck()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    QVERIFY(tRig.startPrint(numberedMoves(400)));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X1")));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("M105"));
    const int tFrom = tRig.firmware.lineCount();
    tRig.advance(kvPrinter::HeatCheckIntervalMs);
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M105"), 3000, tFrom));
    QVERIFY(tRig.settle(100));
    const int tStalled = tRig.firmware.lineCount();
    QCOMPARE(tRig.firmware.line(tStalled - 1), QStringLiteral("M105"));

    tRig.advance(kvPrinter::LostOkMs + 1000);
    tRig.firmware.setUnansweredPrefix(QString());
    // The watchdog (every 5 s) finds the silence too long; the moves go on.
    QVERIFY(tRig.firmware.waitForLine(
        [](const QString &pLine) { return pLine.startsWith(QStringLiteral("G1 X")); }, 8000,
        tStalled));
    QVERIFY(tRig.printer->isPrinting());
}
