#include "kvDialogRecorder.h"
#include "kvPrinterConfig.h"
#include "kvPrinterTestRig.h"
#include "kvPrinterZOffsetCalibration.h"
#include "kvTestSupport.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>

// Jogging, homing, centring, filament, Z offset, the control window and the calibration.
class tst_printercommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandFormats_data();
    void commandFormats();
    void controlWindow();
    void calibrationConversation();
    void calibrationOnlyWhenIdle_data();
    void calibrationOnlyWhenIdle();
    void stoppedCalibrationIsOver();
};

void tst_printercommands::initTestCase()
{
    kvPrinterTestRig::loadPrinterTypes();
    // A bed whose halves are not whole numbers.
    auto *tOdd = new kvPrinterSettings();
    tOdd->setFirmwareName(QStringLiteral("Odd_Bed"));
    tOdd->setPrinterName(QStringLiteral("Odd"));
    tOdd->setBedSize(kvVector3D(203.2f, 152.4f, 100.0f));
    kvPrinter::PrinterTypes.append(tOdd);
}

void tst_printercommands::commandFormats_data()
{
    QTest::addColumn<QString>("machineType");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("axis");
    QTest::addColumn<double>("value");
    QTest::addColumn<QStringList>("wire");

    using namespace Kv::Defines;
    QTest::newRow("move Y -10") << "Halvarn_8x8"
                                << "move" << int(CoordinateY) << -10.0
                                << QStringList {"G91", "G1 Y-10 F4800", "G90"};
    QTest::newRow("move Z 0.1") << "Halvarn_8x8"
                                << "move" << int(CoordinateZ) << 0.1
                                << QStringList {"G91", "G1 Z0.1 F4800", "G90"};
    QTest::newRow("move no axis") << "Halvarn_8x8"
                                  << "move" << int(CoordinateAll) << 10.0 << QStringList {};
    QTest::newRow("home all") << "Halvarn_8x8"
                              << "home" << int(CoordinateAll) << 0.0 << QStringList {"G28"};
    QTest::newRow("home Z") << "Halvarn_8x8"
                            << "home" << int(CoordinateZ) << 0.0 << QStringList {"G28 Z0"};
    QTest::newRow("centre 200x200")
        << "Halvarn_8x8"
        << "centre" << 0 << 0.0
        << QStringList {"G28 X0", "G28 Y0", "G91", "G1 X-100 Y-100 F4800", "G90"};
    QTest::newRow("centre 203.2x152.4")
        << "Odd_Bed"
        << "centre" << 0 << 0.0
        << QStringList {"G28 X0", "G28 Y0", "G91", "G1 X-101.6 Y-76.2 F4800", "G90"};
    QTest::newRow("extrude") << "Halvarn_8x8"
                             << "extrude" << 1 << 10.0
                             << QStringList {"T1", "G91", "G1 E10 F120", "G90"};
    QTest::newRow("retract") << "Halvarn_8x8"
                             << "retract" << 0 << 21.0
                             << QStringList {"T0", "G91", "G1 E-21 F1800", "G90"};
    QTest::newRow("Z offset") << "Halvarn_8x8"
                              << "zoffset" << 0 << -0.3 << QStringList {"M851 Z-0.3", "M500"};
    QTest::newRow("console") << "Halvarn_8x8"
                             << "console" << 0 << 0.0 << QStringList {"M84"};
}

void tst_printercommands::commandFormats()
{
    QFETCH(QString, machineType);
    QFETCH(QString, command);
    QFETCH(int, axis);
    QFETCH(double, value);
    QFETCH(QStringList, wire);

    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(machineType));
    const int tFrom = tRig.firmware.lineCount();
    kvPrinter *tPrinter = tRig.printer;
    const auto tAxis = Kv::Defines::kvCoordinate(axis);
    if (command == QLatin1String("move")) {
        tPrinter->move(tAxis, float(value));
    } else if (command == QLatin1String("home")) {
        tPrinter->moveHome(tAxis);
    } else if (command == QLatin1String("centre")) {
        QMetaObject::invokeMethod(tPrinter, "onPrinterConfigMoveCenter");
    } else if (command == QLatin1String("extrude")) {
        tPrinter->extrude(axis, int(value));
    } else if (command == QLatin1String("retract")) {
        tPrinter->retract(axis, int(value));
    } else if (command == QLatin1String("zoffset")) {
        tPrinter->setZOffset(float(value));
    } else if (command == QLatin1String("console")) {
        QMetaObject::invokeMethod(
            tPrinter, "onPrinterConfigGCodeClicked", Q_ARG(QString, QStringLiteral("  M84 \n")));
    }
    tPrinter->sendCommandToPrinter(QStringLiteral("M400"));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M400"), 3000, tFrom));
    QCOMPARE(tRig.sentFrom(tFrom), wire + QStringList {"M400"});
}

void tst_printercommands::controlWindow()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.printer->showPrinterConfig();
    kvPrinterConfig *tWindow = tRig.printer->printerConfig();
    QVERIFY(tWindow);
    tRig.printer->showPrinterConfig();
    QCOMPARE(tRig.printer->printerConfig(), tWindow);
    QVERIFY(tWindow->isVisible());
    QCOMPARE(tWindow->windowTitle(),
        QStringLiteral("Halvarn Tovra (") + tRig.printer->serialPortName() + QStringLiteral(")"));
    QVERIFY(!tWindow->isInitializing());

    // Wired once: one click, one command; the console shows both directions.
    const int tFrom = tRig.firmware.lineCount();
    emit tWindow->HeatBed(true, 60.0f);
    emit tWindow->HeatExtruder(5, true, 200.0f);
    emit tWindow->MoveHome(Kv::Defines::CoordinateZ);
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G28 Z0"), 3000, tFrom));
    QCOMPARE(tRig.sentFrom(tFrom), (QStringList {"M140 S60", "M104 S200 T5", "G28 Z0"}));
    QCOMPARE(tRig.printer->bedDesiredTemp(), 60.0f);
    QVERIFY(tRig.printer->bedToldToHeat());
    QVERIFY(!tRig.printer->extruderToldToHeat(5));
    QVERIFY(tRig.settle());
    QVERIFY(tWindow->consoleLines().contains(QStringLiteral("C: M140 S60")));
    QVERIFY(
        tWindow->consoleLines().indexOf(QRegularExpression(QStringLiteral("R: ok(\\nok)*"))) >= 0);

    tRig.printer->disconnectFromPrinter();
    QVERIFY(!tWindow->isVisible());
}

void tst_printercommands::calibrationConversation()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.firmware.setZOffset(-0.25);
    tRig.printer->showZCalibration();
    tRig.printer->showZCalibration();
    kvPrinterZOffsetCalibration *tWizard = tRig.printer->zOffsetCalibration();
    QVERIFY(tWizard);
    QCOMPARE(tWizard->bedSize(), kvVector3D(200.0f, 200.0f, 180.0f));
    QVERIFY(tRig.printer->isAwaitingZOffset());

    const int tFrom = tRig.firmware.lineCount();
    emit tWizard->RunZOffsetCalibration();
    QVERIFY(tRig.firmware.waitFor([&] { return !tRig.printer->isAwaitingZOffset(); }));
    QCOMPARE(tRig.sentFrom(tFrom).count(QStringLiteral("M851")), 1);
    QVERIFY(tRig.printer->isCalibrationRunning());
    // The whole number reaches the wizard.
    QCOMPARE(tWizard->zOffsetText(), QStringLiteral("-0.25"));
    QCOMPARE(tRig.printer->printerFile(), QStringLiteral(":/ZOffsetCalibration.gcode"));

    // The probe replies of a bed levelling, then its coefficients.
    tRig.printer->sendCommandToPrinter(QStringLiteral("G29"));
    QVERIFY(tRig.firmware.waitFor([&] { return !tRig.printer->isCalibrationRunning(); }));
    QCOMPARE(tWizard->probeData().size(), 9);
    QVERIFY(tWizard->probeData().first().startsWith(QStringLiteral("Bed X: 20.000 Y: 20.000")));
    QVERIFY(tWizard->egnCoefficients().startsWith(QStringLiteral("Eqn coefficients: a:")));

    const int tSetFrom = tRig.firmware.lineCount();
    emit tWizard->SetNewZOffset(-0.15f);
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M500"), 3000, tSetFrom));
    QCOMPARE(tRig.sentFrom(tSetFrom), (QStringList {"M851 Z-0.15", "M500"}));
    QVERIFY(tRig.settle());
    QCOMPARE(tRig.firmware.zOffset(), -0.15);
}

void tst_printercommands::calibrationOnlyWhenIdle_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("byButton");

    QTest::newRow("printing") << "printing" << false;
    QTest::newRow("waiting") << "waiting" << false;
    QTest::newRow("paused") << "paused" << false;
    QTest::newRow("paused, run button") << "paused" << true;
}

void tst_printercommands::calibrationOnlyWhenIdle()
{
    QFETCH(QString, state);
    QFETCH(bool, byButton);

    KvTest::DialogRecorder tDialogs;
    tDialogs.answers << true;
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.firmware.setUnansweredPrefix(QStringLiteral("G1 X"));
    QVERIFY(tRig.enterPrintState(state, {"G1 X1", "G1 X2", "G1 X3"}));
    QVERIFY(tRig.settle());
    kvPrinterFile *tPrint = tRig.printer->currentPrinterFile();
    tRig.printer->showZCalibration();
    kvPrinterZOffsetCalibration *tWizard = tRig.printer->zOffsetCalibration();
    const int tFrom = tRig.firmware.lineCount();
    QSignalSpy tStatus(tRig.printer, &kvPrinter::StatusChanged);

    if (byButton) {
        auto *tRun = tWizard->findChild<QPushButton *>(QStringLiteral("runCalibrationTestButton"));
        QVERIFY(tRun && tRun->isEnabled());
        QTest::mouseClick(tRun, Qt::LeftButton);
        QCOMPARE(tDialogs.requests.size(), 1);
    } else {
        emit tWizard->RunZOffsetCalibration();
    }
    // The move in flight ends; a calibration would now send its commands.
    if (tRig.firmware.line(tFrom - 1).startsWith(QLatin1String("G1 X"))) {
        tRig.firmware.sendLine(QStringLiteral("ok"));
    }
    QVERIFY(tRig.settle(200));
    QVERIFY(!tRig.sentFrom(tFrom).contains(QStringLiteral("M851")));
    QVERIFY(!tRig.printer->isCalibrationRunning());
    QCOMPARE(tRig.printer->currentPrinterFile(), tPrint);
    QVERIFY(!tStatus.isEmpty());
    QCOMPARE(tStatus.first().at(1).toString(),
        QStringLiteral("The calibration cannot run while the printer is busy with a print."));
}

void tst_printercommands::stoppedCalibrationIsOver()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.printer->showZCalibration();
    emit tRig.printer->zOffsetCalibration()->RunZOffsetCalibration();
    QVERIFY(tRig.printer->isCalibrationRunning());
    // The calibration print waits for its heaters; the user stops it.
    QVERIFY(tRig.firmware.waitFor([&] { return tRig.printer->isWaitingToPrint(); }));
    tRig.printer->killPrint();
    QVERIFY(!tRig.printer->isCalibrationRunning());

    // A G-code file parsed afterwards does not print by itself.
    tRig.printer->setPrinterFile(tRig.makeFile({"G1 X1"}));
    emit tRig.printer->currentPrinterFile()->GCodeParseComplete(1.0f);
    QVERIFY(!tRig.printer->isWaitingToPrint());
    QVERIFY(!tRig.printer->isPrinting());
}

KV_TEST_MAIN(tst_printercommands)
#include "tst_printercommands.moc"
