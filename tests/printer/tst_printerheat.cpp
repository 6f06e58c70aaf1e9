#include "kvPrinterTestRig.h"
#include "kvTestSupport.h"

#include <QSignalSpy>

using Kv::Defines::kvActiveExtruder;
using Kv::Defines::kvFilamentType;

Q_DECLARE_METATYPE(kvActiveExtruder)
Q_DECLARE_METATYPE(kvFilamentType)

namespace {

// A printer identified from a reply alone; its port stays closed.
std::unique_ptr<kvPrinter> identifiedPrinter(int pExtruders)
{
    kvPrinterTestRig::loadPrinterTypes();
    std::unique_ptr<kvPrinter> tPrinter(new kvPrinter(QStringLiteral("/dev/null-printer")));
    tPrinter->parseFirmware(
        QStringLiteral("FIRMWARE_NAME:Marlin MACHINE_TYPE:Halvarn_8x8 EXTRUDER_COUNT:%1\nok\n")
            .arg(pExtruders));
    return tPrinter;
}

} // namespace

// Temperature reports, the heated test, heater commands, targets and the temperature poll.
class tst_printerheat : public QObject
{
    Q_OBJECT

private slots:
    void temperatureReport_data();
    void temperatureReport();
    void reportStartsPrint_data();
    void reportStartsPrint();
    void heatedTest_data();
    void heatedTest();
    void heaterCommands_data();
    void heaterCommands();
    void filamentType_data();
    void filamentType();
    void okAfterInterval_data();
    void okAfterInterval();
    void pollTick_data();
    void pollTick();
    void printHeatsWithReportsWithoutPower();
};

void tst_printerheat::temperatureReport_data()
{
    QTest::addColumn<int>("extruders");
    QTest::addColumn<QString>("report");
    QTest::addColumn<bool>("isReport");
    QTest::addColumn<QVector<float>>("extruder"); // current, target of each extruder
    QTest::addColumn<QVector<float>>("bed"); // current, target
    QTest::addColumn<QVector<float>>("power"); // extruder, bed

    const float u = 7.0f; // unchanged
    QTest::newRow("ok first") << 1 << "ok T:210.0 /215.0 B:60.0 /60.0 @:127 B@:127\n"
                              << true << QVector<float> {210, 215} << QVector<float> {60, 60}
                              << QVector<float> {127, 127};
    QTest::newRow("bed power first") << 1 << "T:25.47 /230 B:69.42 /80 B@:255 @:64\nok\n"
                                     << true << QVector<float> {25.47f, 230}
                                     << QVector<float> {69.42f, 80} << QVector<float> {64, 255};
    QTest::newRow("two extruders")
        << 2 << "ok T:210.0 /215.0 B:60.0 /60.0 T0:210.0 /215.0 T1:190.0 /200.0 @:127 B@:0\n"
        << true << QVector<float> {210, 215, 190, 200} << QVector<float> {60, 60}
        << QVector<float> {127, 0};
    QTest::newRow("no bed") << 1 << "ok T:200.0 /210.0 @:64 B@:0\n"
                            << true << QVector<float> {200, 210} << QVector<float> {u, u}
                            << QVector<float> {64, 0};
    QTest::newRow("no targets") << 1 << "T:200 B:50 @:3 B@:4\n"
                                << true << QVector<float> {200, 200} << QVector<float> {50, 50}
                                << QVector<float> {3, 4};
    QTest::newRow("no heater power")
        << 1 << "T:21.3/0.0 B:20.1/0.0\n"
        << true << QVector<float> {21.3f, 0} << QVector<float> {20.1f, 0} << QVector<float> {u, u};
    QTest::newRow("no heater power, report then ok")
        << 1 << "T:215.0 /215.0 B:60.0 /60.0\nok\n"
        << true << QVector<float> {215, 215} << QVector<float> {60, 60} << QVector<float> {u, u};
    QTest::newRow("no heater power, two extruders")
        << 2 << "ok T0:200.0/210.0 T1:25.0/0.0 B:60.5/60.0\n"
        << true << QVector<float> {200, 210, 25, 0} << QVector<float> {60.5f, 60}
        << QVector<float> {u, u};
    QTest::newRow("position reply")
        << 1 << "X:0.00 Y:0.00 Z:0.00 E:0.00 Count X:0 Y:0 Z:0\nok\n"
        << false << QVector<float> {u, u} << QVector<float> {u, u} << QVector<float> {u, u};
    QTest::newRow("capability line")
        << 1 << "Cap:REPEAT:0\nok\n"
        << false << QVector<float> {u, u} << QVector<float> {u, u} << QVector<float> {u, u};
    QTest::newRow("not numbers") << 1 << "T:abc /def B:x /y @:z B@:w\n"
                                 << true << QVector<float> {0, 0} << QVector<float> {0, 0}
                                 << QVector<float> {0, 0};
    QTest::newRow("identity reply")
        << 1 << "FIRMWARE_NAME:Marlin B@:0 B: @: MACHINE_TYPE:x EXTRUDER_COUNT:1\n"
        << false << QVector<float> {u, u} << QVector<float> {u, u} << QVector<float> {u, u};
    QTest::newRow("ok") << 1 << "ok\n"
                        << false << QVector<float> {u, u} << QVector<float> {u, u}
                        << QVector<float> {u, u};
}

void tst_printerheat::temperatureReport()
{
    QFETCH(int, extruders);
    QFETCH(QString, report);
    QFETCH(bool, isReport);
    QFETCH(QVector<float>, extruder);
    QFETCH(QVector<float>, bed);
    QFETCH(QVector<float>, power);

    auto tPrinter = identifiedPrinter(extruders);
    for (int i = 0; i < extruders; ++i) {
        tPrinter->setExtruderTemp(i, 7.0f);
        tPrinter->setExtruderSetTemp(i, 7.0f);
    }
    tPrinter->setBedTemp(7.0f);
    tPrinter->setBedSetTemp(7.0f);
    tPrinter->setExtruderWatt(7.0f);
    tPrinter->setBedWatt(7.0f);

    QCOMPARE(kvPrinter::isTemperatureString(report), isReport);
    if (isReport) {
        tPrinter->parseHeatResponse(report);
    }
    for (int i = 0; i < extruders; ++i) {
        QCOMPARE(tPrinter->extruderTemp(i), extruder.at(2 * i));
        QCOMPARE(tPrinter->extruderSetTemp(i), extruder.at(2 * i + 1));
    }
    QCOMPARE(tPrinter->bedTemp(), bed.at(0));
    QCOMPARE(tPrinter->bedSetTemp(), bed.at(1));
    QCOMPARE(tPrinter->extruderWatt(), power.at(0));
    QCOMPARE(tPrinter->bedWatt(), power.at(1));
}

void tst_printerheat::reportStartsPrint_data()
{
    QTest::addColumn<int>("extruders");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QVector<float>>("extruder"); // current, target of each extruder
    QTest::addColumn<QVector<float>>("bed"); // current, target
    QTest::addColumn<QVector<float>>("power"); // extruder, bed
    QTest::addColumn<bool>("starts");

    // Desired: 200 on each extruder, 60 on the bed. Fields of other names follow the numbers.
    const float u = 7.0f; // unchanged
    QTest::newRow("Smoothieware") << 1 << "ok T:215.0 /215.0 @255 B:105.0 /105.0 @128"
                                  << QVector<float> {215, 215} << QVector<float> {105, 105}
                                  << QVector<float> {u, u} << true;
    QTest::newRow("Repetier, two extruders")
        << 2 << "T:215.00 /215 B:105.00 /105 B@:0 @:127 T0:215.00 /215 @0:127 T1:215.00 /215 @1:127"
        << QVector<float> {215, 215, 215, 215} << QVector<float> {105, 105}
        << QVector<float> {127, 0} << true;
    QTest::newRow("Prusa heating wait")
        << 1 << "T:160.9 E:0 B:43.4" << QVector<float> {160.9f, 160.9f}
        << QVector<float> {43.4f, 43.4f} << QVector<float> {u, u} << false;
    QTest::newRow("Prusa heating wait, no bed")
        << 1 << "T:150.2 E:0 W:?" << QVector<float> {150.2f, 150.2f} << QVector<float> {u, u}
        << QVector<float> {u, u} << false;
    QTest::newRow("Marlin heating wait, heaters on")
        << 1 << "T:199.5 /200.0 B:59.5 /60.0 @:64 B@:127 W:?" << QVector<float> {199.5f, 200}
        << QVector<float> {59.5f, 60} << QVector<float> {64, 127} << true;
    QTest::newRow("chamber") << 1
                             << "ok T:200.00 /200.00 B:60.00 /60.00 C:30.00 /0.00 @:0 B@:0 C@:0"
                             << QVector<float> {200, 200} << QVector<float> {60, 60}
                             << QVector<float> {0, 0} << true;
    QTest::newRow("chamber, heaters on")
        << 1 << "ok T:199.00 /200.00 B:59.00 /60.00 C:30.00 /0.00 @:64 B@:127 C@:0"
        << QVector<float> {199, 200} << QVector<float> {59, 60} << QVector<float> {64, 127} << true;
    QTest::newRow("eight extruders on a printer of one")
        << 1
        << "T0:200.0 /200.0 T1:201.0 /0.0 T2:202.0 /0.0 T3:203.0 /0.0 T4:204.0 /0.0 "
           "T5:205.0 /0.0 T6:206.0 /0.0 T7:207.0 /0.0 B:60.0 /60.0"
        << QVector<float> {200, 200} << QVector<float> {60, 60} << QVector<float> {u, u} << true;
}

void tst_printerheat::reportStartsPrint()
{
    QFETCH(int, extruders);
    QFETCH(QString, report);
    QFETCH(QVector<float>, extruder);
    QFETCH(QVector<float>, bed);
    QFETCH(QVector<float>, power);
    QFETCH(bool, starts);

    kvPrinterTestRig tRig;
    // The only report is the row's.
    tRig.firmware.setReply(QStringLiteral("M105"), "ok\n");
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8"), extruders));
    tRig.printer->setDesiredExtruderTemp(200.0f);
    tRig.printer->setDesiredBedTemp(60.0f);
    tRig.printer->setPrinterFile(tRig.makeFile({"G1 X1"}));
    tRig.printer->print();
    QVERIFY(tRig.printer->isWaitingToPrint());
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S60")));
    for (int i = 0; i < extruders; ++i) {
        tRig.printer->setExtruderTemp(i, 7.0f);
        tRig.printer->setExtruderSetTemp(i, 7.0f);
    }
    tRig.printer->setBedTemp(7.0f);
    tRig.printer->setBedSetTemp(7.0f);
    tRig.printer->setExtruderWatt(7.0f);
    tRig.printer->setBedWatt(7.0f);

    // The row's line answers the next poll, an "ok" after it unless it has its own.
    const QByteArray tLine = report.toUtf8() + '\n';
    tRig.firmware.setReply(
        QStringLiteral("M105"), report.startsWith(QLatin1String("ok ")) ? tLine : tLine + "ok\n");
    const int tFrom = tRig.firmware.lineCount();
    QSignalSpy tRead(tRig.printer, &kvPrinter::ExtruderTempChange);
    QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick", Q_ARG(bool, true));
    QVERIFY(tRead.wait());
    for (int i = 0; i < extruders; ++i) {
        QCOMPARE(tRig.printer->extruderTemp(i), extruder.at(2 * i));
        QCOMPARE(tRig.printer->extruderSetTemp(i), extruder.at(2 * i + 1));
    }
    QCOMPARE(tRig.printer->bedTemp(), bed.at(0));
    QCOMPARE(tRig.printer->bedSetTemp(), bed.at(1));
    QCOMPARE(tRig.printer->extruderWatt(), power.at(0));
    QCOMPARE(tRig.printer->bedWatt(), power.at(1));
    QCOMPARE(tRig.printer->isPrinting(), starts);
    QCOMPARE(tRig.printer->isWaitingToPrint(), !starts);
    if (starts) {
        QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M114"), 5000, tFrom));
    }
}

void tst_printerheat::heatedTest_data()
{
    QTest::addColumn<int>("extruders");
    QTest::addColumn<kvActiveExtruder>("active");
    QTest::addColumn<float>("desiredBed");
    QTest::addColumn<QString>("report");
    QTest::addColumn<bool>("heated");

    const auto tAll = Kv::Defines::ActiveExtruderAll;
    const auto tFirst = Kv::Defines::ActiveExtruderFirst;
    const auto tSecond = Kv::Defines::ActiveExtruderSecond;
    // Desired extruder temperature 215 throughout.
    QTest::newRow("one less 1.0") << 1 << tAll << 105.0f << "T:214.0 /215.0 B:0.0 /0.0 B@:0"
                                  << true;
    QTest::newRow("one less 1.1") << 1 << tAll << 105.0f << "T:213.9 /215.0 B:0.0 /0.0 B@:0"
                                  << false;
    QTest::newRow("target 0") << 1 << tAll << 105.0f << "T:230.0 /0.0 B:0.0 /0.0 B@:0" << false;
    QTest::newRow("two hot") << 2 << tAll << 105.0f
                             << "T0:215.0 /215.0 T1:214.5 /215.0 B:0.0 /0.0 B@:0" << true;
    QTest::newRow("two, one cool")
        << 2 << tAll << 105.0f << "T0:215.0 /215.0 T1:213.0 /215.0 B:0.0 /0.0 B@:0" << false;
    QTest::newRow("two cold") << 2 << tAll << 105.0f
                              << "T0:25.0 /215.0 T1:25.0 /215.0 B:0.0 /0.0 B@:0" << false;
    QTest::newRow("two, second off")
        << 2 << tAll << 105.0f << "T0:215.0 /215.0 T1:25.0 /0.0 B:0.0 /0.0 B@:0" << true;
    QTest::newRow("first watched")
        << 2 << tFirst << 105.0f << "T0:215.0 /215.0 T1:25.0 /215.0 B:0.0 /0.0 B@:0" << true;
    QTest::newRow("second on one")
        << 1 << tSecond << 105.0f << "T:215.0 /215.0 B:0.0 /0.0 B@:0" << false;
    QTest::newRow("bed cool") << 1 << tAll << 105.0f << "T:215.0 /215.0 B:50.0 /105.0 B@:0"
                              << false;
    QTest::newRow("bed hot") << 1 << tAll << 105.0f << "T:215.0 /215.0 B:104.0 /105.0 B@:0" << true;
    QTest::newRow("bed at 0") << 1 << tAll << 105.0f << "T:215.0 /215.0 B:0.0 /105.0 B@:0" << true;
}

void tst_printerheat::heatedTest()
{
    QFETCH(int, extruders);
    QFETCH(kvActiveExtruder, active);
    QFETCH(float, desiredBed);
    QFETCH(QString, report);
    QFETCH(bool, heated);

    auto tPrinter = identifiedPrinter(extruders);
    tPrinter->setActiveExtruder(active);
    tPrinter->setDesiredBedTemp(desiredBed);
    tPrinter->setDesiredExtruderTemp(215.0f);
    QSignalSpy tHeated(tPrinter.get(), &kvPrinter::IsHeatedChanged);
    tPrinter->parseHeatResponse(report);
    QCOMPARE(tPrinter->isHeated(), heated);
    QCOMPARE(tHeated.count(), heated ? 1 : 0);
}

void tst_printerheat::heaterCommands_data()
{
    QTest::addColumn<int>("extruders");
    QTest::addColumn<kvActiveExtruder>("active");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QStringList>("wire");

    QTest::newRow("on, one") << 1 << Kv::Defines::ActiveExtruderAll << true
                             << QStringList {"M104 S215 T0", "M140 S105"};
    QTest::newRow("on, two") << 2 << Kv::Defines::ActiveExtruderAll << true
                             << QStringList {"M104 S215 T0", "M104 S215 T1", "M140 S105"};
    QTest::newRow("on, second of two") << 2 << Kv::Defines::ActiveExtruderSecond << true
                                       << QStringList {"M104 S215 T1", "M140 S105"};
    QTest::newRow("on, second of one")
        << 1 << Kv::Defines::ActiveExtruderSecond << true << QStringList {"M140 S105"};
    QTest::newRow("off, first of two") << 2 << Kv::Defines::ActiveExtruderFirst << false
                                       << QStringList {"M104 S0 T0", "M104 S0 T1", "M140 S0"};
}

void tst_printerheat::heaterCommands()
{
    QFETCH(int, extruders);
    QFETCH(kvActiveExtruder, active);
    QFETCH(bool, on);
    QFETCH(QStringList, wire);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8"), extruders));
    tRig.printer->setActiveExtruder(active);
    if (!on) {
        tRig.printer->heatPrinter(true);
        QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S105")));
    }
    const int tFrom = tRig.firmware.lineCount();
    QSignalSpy tHeating(tRig.printer, &kvPrinter::IsHeatingChanged);
    tRig.printer->heatPrinter(on);
    // Heating on twice sends nothing more.
    tRig.printer->heatPrinter(on);
    QVERIFY(tRig.firmware.waitForLine(wire.last(), 3000, tFrom));
    QVERIFY(tRig.settle());
    QCOMPARE(tRig.sentFrom(tFrom), on ? wire : wire + wire);
    QCOMPARE(tRig.printer->isHeating(), on);
    QCOMPARE(tHeating.count(), 1);
}

void tst_printerheat::filamentType_data()
{
    QTest::addColumn<QString>("machineType");
    QTest::addColumn<kvFilamentType>("type");
    QTest::addColumn<bool>("heating");
    QTest::addColumn<float>("bed");
    QTest::addColumn<float>("extruder");
    QTest::addColumn<QStringList>("wire");

    QTest::newRow("PLA heating") << "Halvarn_8x8" << Kv::Defines::FilamentTypePLA << true << 50.0f
                                 << 190.0f << QStringList {"M140 S50", "M104 S190 T0"};
    QTest::newRow("PLA idle") << "Halvarn_8x8" << Kv::Defines::FilamentTypePLA << false << 50.0f
                              << 190.0f << QStringList {};
    QTest::newRow("ABS Tovra") << "Halvarn_Tovra" << Kv::Defines::FilamentTypeABS << false << 100.0f
                               << 230.0f << QStringList {};
    QTest::newRow("ABS other") << "Halvarn_8x8" << Kv::Defines::FilamentTypeABS << true << 105.0f
                               << 215.0f << QStringList {"M140 S105", "M104 S215 T0"};
}

void tst_printerheat::filamentType()
{
    QFETCH(QString, machineType);
    QFETCH(kvFilamentType, type);
    QFETCH(bool, heating);
    QFETCH(float, bed);
    QFETCH(float, extruder);
    QFETCH(QStringList, wire);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(machineType));
    // The simulated heaters idle at 0 %: only the heating flag decides.
    if (heating) {
        tRig.printer->heatPrinter(true);
        QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S105")));
    }
    QVERIFY(tRig.settle());
    const int tFrom = tRig.firmware.lineCount();
    tRig.printer->setFilamentType(type);
    tRig.printer->sendCommandToPrinter(QStringLiteral("M400"));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M400"), 3000, tFrom));
    QCOMPARE(tRig.sentFrom(tFrom), wire + QStringList {"M400"});
    QCOMPARE(tRig.printer->bedDesiredTemp(), bed);
    QCOMPARE(tRig.printer->extruderDesiredTemp(0), extruder);
    QCOMPARE(tRig.printer->filamentType(), type);
}

void tst_printerheat::okAfterInterval_data()
{
    QTest::addColumn<int>("delay");
    QTest::addColumn<QStringList>("wire");

    QTest::newRow("4999 ms") << 4999 << QStringList {"G1 X2"};
    QTest::newRow("5000 ms") << 5000 << QStringList {"M105", "G1 X2"};
}

void tst_printerheat::okAfterInterval()
{
    QFETCH(int, delay);
    QFETCH(QStringList, wire);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    // Moves go unanswered; the test answers them itself.
    tRig.firmware.setReply(QStringLiteral("G1"), QByteArray());
    QVERIFY(tRig.startPrint({"G1 X1", "G1 X2", "G1 X3", "G1 X4"}));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X1")));
    QVERIFY(tRig.settle());
    const int tFrom = tRig.firmware.lineCount();

    tRig.advance(delay);
    tRig.firmware.sendLine(QStringLiteral("ok"));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G1 X2"), 3000, tFrom));
    QVERIFY(tRig.settle());
    QCOMPARE(tRig.sentFrom(tFrom), wire);
}

void tst_printerheat::pollTick_data()
{
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("sent");

    QTest::newRow("4999 ms") << 4999 << false;
    QTest::newRow("5000 ms") << 5000 << true;
    QTest::newRow("next day") << 86400000 << true;
}

void tst_printerheat::pollTick()
{
    QFETCH(int, delay);
    QFETCH(bool, sent);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    const int tFrom = tRig.firmware.lineCount();
    tRig.advance(delay);
    QCOMPARE(tRig.printer->getHeatTimerDelta(), delay);
    QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick");
    tRig.printer->sendCommandToPrinter(QStringLiteral("M400"));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M400"), 3000, tFrom));
    const QStringList tExpected = sent ? QStringList {"M105", "M400"} : QStringList {"M400"};
    QCOMPARE(tRig.sentFrom(tFrom), tExpected);
}

void tst_printerheat::printHeatsWithReportsWithoutPower()
{
    kvPrinterTestRig tRig;
    tRig.firmware.setReportStyle(kvFakeFirmware::ReportNoPower);
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_8x8")));
    QCOMPARE(tRig.printer->bedTemp(), 25.0f);
    QVERIFY(tRig.printer->bedIsHeated());
    QCOMPARE(tRig.printer->extruderTemp(0), 25.0f);

    // The reports alone show when the heaters are at their targets.
    QVERIFY(tRig.startPrint({"G1 X1", "G1 X2"}));
    QVERIFY(tRig.waitForPrintEnd(5000));
    QCOMPARE(tRig.printer->bedSetTemp(), 105.0f);
    const QStringList tSent = tRig.sentFrom(0);
    QCOMPARE(tSent.mid(tSent.indexOf(QStringLiteral("M114"))),
        (QStringList {"M114", "G1 X1", "G1 X2", "M104 S0 T0", "M140 S0"}));
}

KV_TEST_MAIN(tst_printerheat)
#include "tst_printerheat.moc"
