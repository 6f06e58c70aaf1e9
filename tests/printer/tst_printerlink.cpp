#include "kvFirmware.h"
#include "kvPrinterTestRig.h"
#include "kvTestSupport.h"

#include <QSignalSpy>

// Connection, identification, the response dispatcher and what happens when the line
// misbehaves.
class tst_printerlink : public QObject
{
    Q_OBJECT

private slots:
    void identification_data();
    void identification();
    void secondIdentificationUsesOwnTargets();
    void twoExtruders();
    void unknownTypeTimesOut();
    void unknownTypeIsNamed_data();
    void unknownTypeIsNamed();
    void emptyPortNameDoesNothing();
    void missingDeviceTimesOut();
    void rehandshakeTimeOutClearsConnected();
    void timeOutEndsThePrint();
    void splitIdentityReply();
    void splitOkKeepsStreaming();
    void resetDuringHandshakeRepeatsIt();
    void heatersOffReachPrinterBeforeClose();
    void disconnectMidPrint();
    void garbageOnTheLine();
    void silenceMidPrint();
    void resetMidPrint_data();
    void resetMidPrint();
    void identityWithMoreKeys();
    void disconnectEndsThePrint_data();
    void disconnectEndsThePrint();
    void replyReadWhileDisconnecting();
    void disconnectSwitchesHeatersOff_data();
    void disconnectSwitchesHeatersOff();
    void closedPortKeepsHeaterState();
    void noSecondIdentificationDuringAPrint_data();
    void noSecondIdentificationDuringAPrint();
    void noPrintDuringIdentification();
    void longPrintArrivesWhole();
    void destroyingLeavesBorrowedFileAlive();
};

void tst_printerlink::identification_data()
{
    QTest::addColumn<QString>("machineType");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("wire");

    QTest::newRow("Tovra") << "Halvarn_Tovra"
                           << "Halvarn Tovra"
                           << QStringList {
                                  "M115", "M203 E3.0", "M92 E105", "M500", "M111 6", "M105"};
    QTest::newRow("8x8") << "Halvarn_8x8"
                         << "Halvarn 8x8" << QStringList {"M115", "M111 6", "M105"};
}

void tst_printerlink::identification()
{
    QFETCH(QString, machineType);
    QFETCH(QString, name);
    QFETCH(QStringList, wire);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    QSignalSpy tConnected(tRig.printer, &kvPrinter::IsConnectedChanged);
    QVERIFY(tRig.connect(machineType));

    QCOMPARE(tRig.sentFrom(0), wire);
    QCOMPARE(tRig.printer->name(), name);
    QCOMPARE(tRig.printer->machineType(), machineType);
    QCOMPARE(tRig.printer->extruderCount(), 1);
    QCOMPARE(tConnected.count(), 1);
    QCOMPARE(tConnected.at(0).at(1).toBool(), true);
    // The first report was read: the bed reads the simulated room temperature.
    QCOMPARE(tRig.printer->bedTemp(), 25.0f);
}

void tst_printerlink::secondIdentificationUsesOwnTargets()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    // The first identification picks the targets of the type held before it.
    QCOMPARE(tRig.printer->extruderDesiredTemp(0), 215.0f);
    QCOMPARE(tRig.printer->bedDesiredTemp(), 105.0f);

    const int tFrom = tRig.firmware.lineCount();
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    QCOMPARE(tRig.sentFrom(tFrom),
        (QStringList {"M115", "M203 E3.0", "M92 E105", "M500", "M111 6", "M105"}));
    QCOMPARE(tRig.printer->extruderDesiredTemp(0), 230.0f);
    QCOMPARE(tRig.printer->bedDesiredTemp(), 100.0f);
}

void tst_printerlink::twoExtruders()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8"), 2));
    QCOMPARE(tRig.printer->extruderCount(), 2);
    QCOMPARE(tRig.printer->extruderTemp(1), 25.0f);
    QCOMPARE(tRig.printer->extruderTemp(2), -100.0f);
}

void tst_printerlink::unknownTypeTimesOut()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    tRig.firmware.setMachineType(QStringLiteral("Nobody_Knows"));
    tRig.printer->setConnectTimeOutInterval(300);
    QSignalSpy tTimeOut(tRig.printer, &kvPrinter::ConnectionTimeOut);
    QSignalSpy tConnected(tRig.printer, &kvPrinter::IsConnectedChanged);
    tRig.printer->connectToPrinter();

    QVERIFY(tTimeOut.wait(3000));
    QCOMPARE(tRig.sentFrom(0), QStringList {"M115"});
    QVERIFY(!tRig.printer->isConnected());
    QCOMPARE(tConnected.count(), 0);
    QVERIFY(tRig.firmware.waitFor([&] { return !tRig.firmware.isHostAttached(); }, 3000));
}

void tst_printerlink::unknownTypeIsNamed_data()
{
    QTest::addColumn<QStringList>("omitted");
    QTest::addColumn<QString>("named");
    QTest::newRow("type not in the table") << QStringList() << "Nobody_Knows";
    // A reply without a machine type is named by its firmware.
    QTest::newRow("no machine type") << QStringList {"MACHINE_TYPE"} << "Kv Test Firmware 2.0";
}

void tst_printerlink::unknownTypeIsNamed()
{
    QFETCH(QStringList, omitted);
    QFETCH(QString, named);
    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    tRig.firmware.setMachineType(QStringLiteral("Nobody_Knows"));
    tRig.firmware.setFirmwareName(QStringLiteral("Kv Test Firmware 2.0"));
    tRig.firmware.setOmittedIdentityKeys(omitted);
    QSignalSpy tStatus(tRig.printer, &kvPrinter::StatusChanged);
    tRig.printer->connectToPrinter();

    QVERIFY(tRig.firmware.waitFor([&] { return !tStatus.isEmpty(); }, 20000));
    QCOMPARE(tRig.printer->statusString(),
        QStringLiteral("Unknown printer type ") + named + QStringLiteral(" on ")
            + tRig.firmware.portPath() + QStringLiteral("."));
    QVERIFY(!tRig.printer->isConnected());
}

void tst_printerlink::emptyPortNameDoesNothing()
{
    kvPrinter tPrinter {QString()};
    tPrinter.setConnectTimeOutInterval(50);
    QSignalSpy tTimeOut(&tPrinter, &kvPrinter::ConnectionTimeOut);
    QSignalSpy tConnected(&tPrinter, &kvPrinter::IsConnectedChanged);
    tPrinter.connectToPrinter();
    QVERIFY(!tTimeOut.wait(300));
    QCOMPARE(tConnected.count(), 0);
}

void tst_printerlink::missingDeviceTimesOut()
{
    kvPrinter tPrinter {QStringLiteral("/dev/pts/does-not-exist")};
    tPrinter.setConnectTimeOutInterval(100);
    QSignalSpy tTimeOut(&tPrinter, &kvPrinter::ConnectionTimeOut);
    tPrinter.connectToPrinter();
    QVERIFY(tTimeOut.wait(2000));
    QVERIFY(!tPrinter.isConnected());
}

void tst_printerlink::rehandshakeTimeOutClearsConnected()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.firmware.setSilent(true);
    tRig.printer->setConnectTimeOutInterval(200);
    QSignalSpy tConnected(tRig.printer, &kvPrinter::IsConnectedChanged);
    QSignalSpy tTimeOut(tRig.printer, &kvPrinter::ConnectionTimeOut);
    tRig.printer->connectToPrinter();

    QVERIFY(tTimeOut.wait(3000));
    QVERIFY(!tRig.printer->isConnected());
    QCOMPARE(tConnected.count(), 1);
    QCOMPARE(tConnected.at(0).at(1).toBool(), false);

    // A print now is refused instead of "starting" with nothing sent.
    const int tFrom = tRig.firmware.lineCount();
    tRig.printer->setPrinterFile(tRig.makeFile({"G1 X1"}));
    tRig.printer->print();
    QVERIFY(!tRig.printer->isPrinting());
    QVERIFY(!tRig.printer->isWaitingToPrint());
    QCOMPARE(tRig.printer->statusString(), QStringLiteral("The printer is not connected."));
    QCOMPARE(tRig.firmware.lineCount(), tFrom);
}

void tst_printerlink::timeOutEndsThePrint()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    // The printer stops answering during a new handshake; a print waits for its heaters.
    tRig.firmware.setSilent(true);
    tRig.printer->setConnectTimeOutInterval(300);
    QSignalSpy tTimeOut(tRig.printer, &kvPrinter::ConnectionTimeOut);
    tRig.printer->connectToPrinter();
    tRig.printer->setPrinterFile(tRig.makeFile({"G1 X1", "G1 X2"}));
    tRig.printer->print();
    QVERIFY(tRig.printer->isWaitingToPrint());
    QSignalSpy tWaiting(tRig.printer, &kvPrinter::IsWaitingToPrintChanged);

    QVERIFY(tTimeOut.wait(3000));
    QVERIFY(!tRig.printer->isWaitingToPrint());
    QCOMPARE(tWaiting.count(), 1);
    QVERIFY(tRig.printer->statusString().endsWith(QStringLiteral("the print was stopped.")));
}

void tst_printerlink::splitIdentityReply()
{
    kvPrinterTestRig tRig;
    // The reply arrives in two reads, cut inside the machine type.
    tRig.firmware.setSplitMode(kvFakeFirmware::SplitAt, 135);
    tRig.firmware.setSplitDelayMs(30);
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    QCOMPARE(
        tRig.printer->firmware()->UUID(), QStringLiteral("00000000-0000-0000-0000-000000000000"));
}

void tst_printerlink::splitOkKeepsStreaming()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    // "o", then "k\n" in a later read.
    tRig.firmware.setSplitMode(kvFakeFirmware::SplitAt, 1);
    tRig.firmware.setSplitDelayMs(20);
    const QStringList tLines {"G1 X1", "G1 X2", "G1 X3", "G1 X4"};
    QVERIFY(tRig.startPrint(tLines));
    QVERIFY(tRig.waitForPrintEnd(5000));
    const QStringList tSent = tRig.sentFrom(0);
    const int tAt = tSent.indexOf(QStringLiteral("M114"));
    QVERIFY(tAt > 0);
    QCOMPARE(tSent.mid(tAt + 1, 4), tLines);
}

void tst_printerlink::resetDuringHandshakeRepeatsIt()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    tRig.firmware.setMachineType(QStringLiteral("Halvarn_8x8"));
    // A board that restarts when the port opens misses the first "M115".
    tRig.firmware.setReply(QStringLiteral("M115"), QByteArray());
    tRig.printer->connectToPrinter();
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M115")));
    tRig.firmware.clearReplies();
    tRig.firmware.sendReset();
    QVERIFY(tRig.firmware.waitFor([&] { return tRig.printer->isConnected(); }, 3000));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M105")));
    QCOMPARE(tRig.sentFrom(0).mid(0, 3), (QStringList {"M115", "M115", "M111 6"}));
}

void tst_printerlink::heatersOffReachPrinterBeforeClose()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.printer->heatPrinter(true);
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S105")));
    const int tFrom = tRig.firmware.lineCount();
    // As the main window does when it closes: heaters off, then disconnect at once.
    tRig.printer->heatPrinter(false);
    tRig.printer->disconnectFromPrinter();
    QVERIFY(tRig.firmware.waitForLineCount(tFrom + 2, 3000));
    QCOMPARE(tRig.sentFrom(tFrom), (QStringList {"M104 S0 T0", "M140 S0"}));
    QVERIFY(!tRig.printer->isConnected());
    QCOMPARE(tRig.printer->bedTemp(), 0.0f);
}

void tst_printerlink::disconnectMidPrint()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    QStringList tLines;
    for (int i = 0; i < 2000; ++i) {
        tLines << QStringLiteral("G1 X%1").arg(i);
    }
    tRig.firmware.setReplyDelayMs(5);
    QVERIFY(tRig.startPrint(tLines));
    QSignalSpy tConnected(tRig.printer, &kvPrinter::IsConnectedChanged);
    QSignalSpy tPrinting(tRig.printer, &kvPrinter::IsPrintingChanged);
    QVERIFY(tRig.firmware.waitForLineCount(20));

    tRig.firmware.hangUp();
    QVERIFY(tConnected.wait(3000));
    const double tCpu = kvPrinterTestRig::cpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(kvPrinterTestRig::cpuSeconds() - tCpu < 0.5, "busy after the device went away");

    QCOMPARE(tConnected.count(), 1);
    QCOMPARE(tConnected.at(0).at(1).toBool(), false);
    QVERIFY(!tPrinting.isEmpty());
    QCOMPARE(tPrinting.last().at(1).toBool(), false);
    QVERIFY(!tRig.printer->isPrinting());
    QVERIFY(!tRig.printer->isWaitingToPrint());
    QVERIFY(tRig.printer->statusString().startsWith(QStringLiteral("Lost the connection")));
    // The next print starts from the first line.
    QCOMPARE(tRig.printer->currentPrinterFile()->PrintQueueCount(), tLines.size());

    // Commands are dropped, nothing crashes; a new handshake can follow.
    tRig.printer->move(Kv::Defines::CoordinateX, 1.0f);
    tRig.printer->print();
    QVERIFY(!tRig.printer->isPrinting());
}

void tst_printerlink::garbageOnTheLine()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.firmware.setGarbageEvery(3);
    QStringList tLines;
    for (int i = 0; i < 300; ++i) {
        tLines << QStringLiteral("G1 X%1 Y%1").arg(i);
    }
    QVERIFY(tRig.startPrint(tLines));
    QVERIFY(tRig.waitForPrintEnd(20000));
    const QStringList tSent = tRig.sentFrom(0);
    const int tAt = tSent.indexOf(QStringLiteral("M114"));
    QCOMPARE(tSent.mid(tAt + 1, tLines.size()), tLines);
    QVERIFY(tRig.printer->isConnected());
}

void tst_printerlink::silenceMidPrint()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    QStringList tLines;
    for (int i = 0; i < 100; ++i) {
        tLines << QStringLiteral("G1 X%1").arg(i);
    }
    tRig.firmware.setSilentAfterLines(10);
    QVERIFY(tRig.startPrint(tLines));
    QVERIFY(tRig.settle(300));

    const double tCpu = kvPrinterTestRig::cpuSeconds();
    QTest::qWait(500);
    QVERIFY(kvPrinterTestRig::cpuSeconds() - tCpu < 0.3);
    QMetaObject::invokeMethod(tRig.printer, "onWaitingResponseTimerTimeout");
    QVERIFY(tRig.printer->isPrinting());
    QCOMPARE(tRig.printer->statusString(), QStringLiteral("Waiting for the printer to answer..."));

    // The printer answers again: the stream goes on, and Stop still works.
    const int tFrom = tRig.firmware.lineCount();
    tRig.firmware.setSilent(false);
    tRig.firmware.sendLine(QStringLiteral("ok"));
    QVERIFY(tRig.firmware.waitForLineCount(tFrom + 5));
    tRig.printer->killPrint();
    QVERIFY(!tRig.printer->isPrinting());
}

void tst_printerlink::resetMidPrint_data()
{
    QTest::addColumn<QByteArray>("cut"); // what the reset cut short, right before "start"
    QTest::newRow("start on its own line") << QByteArray();
    QTest::newRow("after a cut line") << QByteArray("echo:busy: proc");
    QTest::newRow("after a cut ok") << QByteArray("ok T:2");
    QTest::newRow("after a junk byte") << QByteArray("~");
}

// A board that resets mid-print (a power glitch; the USB link stays) forgot the print: no
// further line of it goes out, and it is not said to be finished.
void tst_printerlink::resetMidPrint()
{
    QFETCH(QByteArray, cut);
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    QStringList tLines;
    for (int i = 0; i < 2000; ++i) {
        tLines << QStringLiteral("G1 X%1").arg(i);
    }
    tRig.firmware.setReplyDelayMs(5);
    QVERIFY(tRig.startPrint(tLines));
    QVERIFY(tRig.firmware.waitForLineCount(20));
    QSignalSpy tPrinting(tRig.printer, &kvPrinter::IsPrintingChanged);
    QSignalSpy tFinished(tRig.printer, &kvPrinter::PrintProcessFinished);
    tRig.firmware.sendResetCutting(cut);
    QVERIFY(tPrinting.wait(3000));

    QVERIFY(!tRig.printer->isPrinting());
    QVERIFY(!tRig.printer->isHeating());
    // The firmware forgot its targets: the printer is not heated any more either.
    QVERIFY(!tRig.printer->isHeated());
    QVERIFY(tRig.printer->isConnected());
    QCOMPARE(tRig.printer->statusString(),
        QStringLiteral("The printer restarted; the print was stopped."));
    QCOMPARE(tRig.printer->currentPrinterFile()->PrintQueueCount(), tLines.size());
    // What came before the greeting was of the firmware before the reset: a report cut
    // short is not read.
    QVERIFY(tRig.printer->extruderTemp(0) > 2.0f);
    // Behind a sentinel, nothing more of the print went out.
    const int tFrom = tRig.firmware.lineCount();
    tRig.printer->sendCommandToPrinter(QStringLiteral("M400"));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M400"), 5000, tFrom));
    QVERIFY(tRig.settle());
    for (const QString &tLine : tRig.sentFrom(tFrom))
        QVERIFY2(!tLine.startsWith(QLatin1String("G1 X")), qPrintable(tLine));
    QCOMPARE(tFinished.count(), 0);
}

void tst_printerlink::identityWithMoreKeys()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    tRig.firmware.setReply(QStringLiteral("M115"),
        "FIRMWARE_NAME:Marlin 2.1.2 (Jan 1 2024) SOURCE_CODE_URL:github.com/MarlinFirmware/Marlin "
        "PROTOCOL_VERSION:1.0 MACHINE_TYPE:Halvarn_8x8 EXTRUDER_COUNT:2 TEMP_SENSOR_COUNT:2 "
        "HEATER_COUNT:2 UUID:cede2a2f-41a2-4748-9b12-c55c62f367ff\n"
        "Cap:SERIAL_XON_XOFF:0\nCap:AUTOREPORT_TEMP:1\nok\n");
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8"), 2));
    QCOMPARE(tRig.printer->extruderCount(), 2);
    QCOMPARE(tRig.printer->firmware()->Name(), QStringLiteral("Marlin 2.1.2 (Jan 1 2024)"));
    QCOMPARE(
        tRig.printer->firmware()->UUID(), QStringLiteral("cede2a2f-41a2-4748-9b12-c55c62f367ff"));
}

void tst_printerlink::disconnectEndsThePrint_data()
{
    QTest::addColumn<QString>("state");

    QTest::newRow("printing") << "printing";
    QTest::newRow("waiting") << "waiting";
    QTest::newRow("paused") << "paused";
}

void tst_printerlink::disconnectEndsThePrint()
{
    QFETCH(QString, state);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("G1 X"));
    QStringList tLines;
    for (int i = 1; i <= 50; ++i) {
        tLines << QStringLiteral("G1 X%1").arg(i);
    }
    if (state == QLatin1String("waiting")) {
        tRig.printer->setPrinterFile(tRig.makeFile(tLines));
        tRig.printer->print();
        QVERIFY(tRig.printer->isWaitingToPrint());
    } else {
        QVERIFY(tRig.startPrint(tLines));
        // Twenty lines in, the print is in the middle of its file.
        for (int i = 1; i <= 20; ++i) {
            QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X%1").arg(i)));
            tRig.firmware.sendLine(QStringLiteral("ok"));
        }
        QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X21")));
        if (state == QLatin1String("paused")) {
            tRig.firmware.sendButtonCode(kvFakeFirmware::ButtonPause);
            QVERIFY(tRig.firmware.waitFor([&] { return tRig.printer->isPaused(); }));
        }
    }
    QVERIFY(tRig.settle());
    QSignalSpy tPrinting(tRig.printer, &kvPrinter::IsPrintingChanged);
    QSignalSpy tPaused(tRig.printer, &kvPrinter::IsPausedChanged);
    QSignalSpy tWaiting(tRig.printer, &kvPrinter::IsWaitingToPrintChanged);
    QSignalSpy tStatus(tRig.printer, &kvPrinter::PrintingStatusChanged);

    tRig.printer->disconnectFromPrinter();
    QVERIFY(!tRig.printer->isPrinting());
    QVERIFY(!tRig.printer->isPaused());
    QVERIFY(!tRig.printer->isWaitingToPrint());
    QCOMPARE(tPrinting.count(), state == QLatin1String("printing") ? 1 : 0);
    QCOMPARE(tPaused.count(), state == QLatin1String("paused") ? 1 : 0);
    QCOMPARE(tWaiting.count(), state == QLatin1String("waiting") ? 1 : 0);
    QVERIFY(tRig.printer->statusString().endsWith(QStringLiteral("the print was stopped.")));
    QCOMPARE(tRig.printer->currentPrinterFile()->PrintQueueCount(), tLines.size());
    // The print status does not tick on.
    QTest::qWait(1200);
    QCOMPARE(tStatus.count(), 0);

    // Connected again: identified, and no line of the old print goes out.
    const int tFrom = tRig.firmware.lineCount();
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    QVERIFY(tRig.settle(200));
    const QStringList tSent = tRig.sentFrom(tFrom);
    QCOMPARE(tSent.first(), QStringLiteral("M115"));
    for (const QString &tLine : tSent) {
        QVERIFY2(!tLine.startsWith(QLatin1String("G1 X")), qPrintable(tLine));
    }
    QVERIFY(!tRig.printer->isPrinting());
}

void tst_printerlink::replyReadWhileDisconnecting()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    // An identity reply is already on the line when the disconnect begins.
    tRig.firmware.setReply(QStringLiteral("M115"), QByteArray());
    const int tFrom = tRig.firmware.lineCount();
    tRig.printer->connectToPrinter();
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M115"), 3000, tFrom));
    QVERIFY(tRig.settle());
    tRig.firmware.sendRaw(tRig.firmware.identityReply() + "\nok\n");
    QSignalSpy tConnected(tRig.printer, &kvPrinter::IsConnectedChanged);
    tRig.printer->sendCommandToPrinter(QStringLiteral("M400"));
    tRig.printer->disconnectFromPrinter();

    QVERIFY(!tRig.printer->isConnected());
    QCOMPARE(tConnected.count(), 1);
    QCOMPARE(tConnected.at(0).at(1).toBool(), false);
    QVERIFY(tRig.firmware.waitFor([&] { return !tRig.firmware.isHostAttached(); }, 3000));
}

void tst_printerlink::disconnectSwitchesHeatersOff_data()
{
    QTest::addColumn<bool>("heatButton");
    QTest::newRow("heat button") << true;
    QTest::newRow("bed heated from the printer window") << false;
}

void tst_printerlink::disconnectSwitchesHeatersOff()
{
    QFETCH(bool, heatButton);
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8"), 2));
    if (heatButton) {
        tRig.printer->heatPrinter(true);
        QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S105")));
    } else {
        QMetaObject::invokeMethod(
            tRig.printer, "onPrinterConfigHeatBed", Q_ARG(bool, true), Q_ARG(float, 60.0f));
        QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S60")));
    }
    QVERIFY(tRig.settle());
    const int tFrom = tRig.firmware.lineCount();
    QSignalSpy tHeating(tRig.printer, &kvPrinter::IsHeatingChanged);

    // The user disconnects, then closes the program.
    tRig.printer->disconnectFromPrinter();
    tRig.printer->heatPrinter(false);
    QVERIFY(tRig.firmware.waitFor([&] { return !tRig.firmware.isHostAttached(); }, 3000));
    QCOMPARE(tRig.sentFrom(tFrom), (QStringList {"M104 S0 T0", "M104 S0 T1", "M140 S0"}));
    QCOMPARE(tRig.firmware.target(0), 0.0);
    QCOMPARE(tRig.firmware.target(1), 0.0);
    QCOMPARE(tRig.firmware.target(-1), 0.0);
    QVERIFY(!tRig.printer->isHeating());
    if (heatButton)
        QCOMPARE(tHeating.count(), 1);
}

void tst_printerlink::closedPortKeepsHeaterState()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    tRig.printer->heatPrinter(true);
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S105")));
    QVERIFY(tRig.settle());
    // The printer stops answering; a new handshake times out and closes the port.
    tRig.firmware.setSilent(true);
    tRig.printer->setConnectTimeOutInterval(200);
    QSignalSpy tTimeOut(tRig.printer, &kvPrinter::ConnectionTimeOut);
    tRig.printer->connectToPrinter();
    QVERIFY(tTimeOut.wait(3000));
    QSignalSpy tHeating(tRig.printer, &kvPrinter::IsHeatingChanged);

    // Heaters off cannot be sent: the printer is still heating as far as anyone knows.
    tRig.printer->heatPrinter(false);
    QVERIFY(tRig.printer->isHeating());
    QCOMPARE(tHeating.count(), 0);
    QCOMPARE(tRig.firmware.target(-1), 105.0);
}

void tst_printerlink::noSecondIdentificationDuringAPrint_data()
{
    QTest::addColumn<QString>("state");

    QTest::newRow("printing") << "printing";
    QTest::newRow("waiting") << "waiting";
    QTest::newRow("paused") << "paused";
}

void tst_printerlink::noSecondIdentificationDuringAPrint()
{
    QFETCH(QString, state);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("G1 X"));
    tRig.printer->setFilamentType(Kv::Defines::FilamentTypePLA);
    QVERIFY(tRig.enterPrintState(state, {"G1 X1", "G1 X2", "G1 X3", "G1 X4"}));
    if (state == QLatin1String("paused")) {
        QVERIFY(tRig.settle());
        tRig.firmware.sendLine(QStringLiteral("ok"));
    }
    QVERIFY(tRig.settle());
    const int tFrom = tRig.firmware.lineCount();
    QSignalSpy tConnected(tRig.printer, &kvPrinter::IsConnectedChanged);
    QSignalSpy tStatus(tRig.printer, &kvPrinter::StatusChanged);

    tRig.printer->connectToPrinter();
    // The move in flight ends: anything queued meanwhile would go now.
    if (tRig.firmware.line(tFrom - 1).startsWith(QLatin1String("G1 X"))) {
        tRig.firmware.sendLine(QStringLiteral("ok"));
    }
    QVERIFY(tRig.settle(200));
    for (const QString &tLine : tRig.sentFrom(tFrom)) {
        QVERIFY2(
            tLine != QLatin1String("M115") && tLine != QLatin1String("M500"), qPrintable(tLine));
    }
    QCOMPARE(tConnected.count(), 0);
    QVERIFY(tRig.printer->isConnected());
    QVERIFY(!tStatus.isEmpty());
    QVERIFY(tStatus.first().at(1).toString().startsWith(QStringLiteral("The printer is busy")));
    // The targets of the print stay.
    QCOMPARE(tRig.printer->extruderDesiredTemp(0), 190.0f);
    QCOMPARE(tRig.printer->bedDesiredTemp(), 50.0f);
}

void tst_printerlink::noPrintDuringIdentification()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    // The printer is chosen again: its identity reply is still on its way when Print comes.
    tRig.firmware.setReplyDelayMs(100);
    const int tFrom = tRig.firmware.lineCount();
    tRig.printer->connectToPrinter();
    tRig.printer->setPrinterFile(tRig.makeFile({"G1 X1", "G1 X2"}));
    tRig.printer->print();
    QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick", Q_ARG(bool, true));
    QVERIFY(!tRig.printer->isPrinting());
    QVERIFY(tRig.printer->isWaitingToPrint());

    // Once identified, the next temperature checks heat and start it, after the set-up lines.
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M111 6"), 5000, tFrom));
    QVERIFY(tRig.settle(300));
    QVERIFY(!tRig.printer->isPrinting());
    for (int i = 0; i < 3 && !tRig.printer->isPrinting(); ++i) {
        QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick", Q_ARG(bool, true));
        QVERIFY(tRig.settle(300));
    }
    QVERIFY2(tRig.firmware.waitForLine(QStringLiteral("G1 X2"), 5000, tFrom),
        qPrintable(tRig.sentFrom(tFrom).join(QLatin1Char('|'))));
    const QStringList tSent = tRig.sentFrom(tFrom);
    const int tSetUp = tSent.indexOf(QStringLiteral("M111 6"));
    QVERIFY2(tSetUp > tSent.indexOf(QStringLiteral("M500"))
            && tSetUp < tSent.indexOf(QStringLiteral("M114")),
        qPrintable(tSent.join(QLatin1Char('|'))));
}

void tst_printerlink::longPrintArrivesWhole()
{
    // The sanitizer build is several times slower; it checks a shorter print.
    const int tCount = kvPrinterTestRig::underSanitizer() ? 20000 : 100000;
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.firmware.setSplitMode(kvFakeFirmware::SplitRandom);
    tRig.firmware.setRandomSeed(7);
    QObject::connect(
        tRig.printer, &kvPrinter::PrintProcessFinished, tRig.printer, &kvPrinter::killPrint);

    QStringList tLines;
    tLines.reserve(tCount);
    for (int i = 0; i < tCount; ++i) {
        tLines << QStringLiteral("G1 X%1.5 Y%2 E%3 ; move").arg(i % 200).arg(i % 97).arg(i);
    }
    QVERIFY(tRig.startPrint(tLines));
    tRig.firmware.setFastOk(true);
    QVERIFY(tRig.waitForPrintEnd(240000));

    QStringList tExpected {"M114"};
    for (const QString &tLine : qAsConst(tLines)) {
        tExpected << kvGCode(tLine).Cleaned();
    }
    tExpected << QStringList {
        "M101", "M84", "G91", "G1 Z20 F4800", "G90", "G28 X0", "G28 Y0", "M104 S0 T0", "M140 S0"};
    const QStringList tSent = tRig.sentFrom(0);
    const int tAt = tSent.indexOf(QStringLiteral("M114"));
    QVERIFY(tAt > 0);
    const QStringList tStream = tSent.mid(tAt);
    QCOMPARE(tStream.size(), tExpected.size());
    QVERIFY(tStream == tExpected);
    QCOMPARE(tRig.printer->printingProgress(), 100);
}

void tst_printerlink::destroyingLeavesBorrowedFileAlive()
{
    kvPrinterFile tFile;
    QPointer<kvPrinterFile> tOwn;
    {
        kvPrinter tPrinter {QStringLiteral("/dev/null-printer")};
        tPrinter.setPrinterFile(&tFile);
        tPrinter.setPrinterFile(QStringLiteral("batch.gcode"));
        tOwn = tPrinter.currentPrinterFile();
        QVERIFY(tOwn);
        QCOMPARE(tPrinter.printerFile(), QStringLiteral("batch.gcode"));
    }
    QVERIFY(!tOwn);
    QCOMPARE(tFile.fileName(), QString());
}

KV_TEST_MAIN(tst_printerlink)
#include "tst_printerlink.moc"
