#include "kvPrinterConfig.h"
#include "kvPrinterTestRig.h"

#include "kvTestSupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>

#include <cmath>
#include <limits>

using Kv::Defines::kvCoordinate;

Q_DECLARE_METATYPE(Kv::Defines::kvCoordinate)

class tst_printerconfig : public QObject
{
    Q_OBJECT

private:
    template <typename T> static T *child(kvPrinterConfig &pWindow, const char *pName)
    {
        T *tChild = pWindow.findChild<T *>(QLatin1String(pName));
        if (!tChild) {
            qFatal("no child %s", pName);
        }
        return tChild;
    }
    static void click(kvPrinterConfig &pWindow, const char *pName)
    {
        child<QPushButton>(pWindow, pName)->click();
    }

private slots:
    void initTestCase() { qRegisterMetaType<Kv::Defines::kvCoordinate>(); }

    void form();
    void jog_data();
    void jog();
    void homeCentreMotorsCalibration();
    void filament_data();
    void filament();
    void consoleLine();
    void heatControlsGuarded();
    void shownValues();
    void desiredTemperature_data();
    void desiredTemperature();
    void oneExtruderAndNoBed();
    void consoleBounded();
    void clicksReachTheWire();
    void refreshEchoesNothing();
};

void tst_printerconfig::form()
{
    kvPrinterConfig tWindow;
    QCOMPARE(tWindow.objectName(), QStringLiteral("kvPrinterConfig"));
    QCOMPARE(tWindow.size(), QSize(1028, 612));
    auto *tTabs = child<QTabWidget>(tWindow, "tabWidget");
    QCOMPARE(tTabs->count(), 3);
    QCOMPARE(tTabs->currentIndex(), 0);
    QCOMPARE(tTabs->tabText(1), QStringLiteral("G-Code"));
    QVERIFY(child<QPushButton>(tWindow, "printControl10mmButton")->isChecked());
    QVERIFY(child<QPushButton>(tWindow, "extruder5SecondButton")->isChecked());
    QVERIFY(child<QPushButton>(tWindow, "extruderExtruder1Button")->isChecked());
    QVERIFY(child<QCheckBox>(tWindow, "powerTurnOffCheckbox")->isChecked());
    QCOMPARE(child<QLabel>(tWindow, "label_2")->text(),
        QStringLiteral("If printer controls are unresponsive please Home X, Y, &amp; Z first."));
    auto *tExtruder = child<QSpinBox>(tWindow, "extruder0TempSpinBox");
    QCOMPARE(tExtruder->maximum(), 275);
    QCOMPARE(tExtruder->value(), 215);
    QCOMPARE(child<QSpinBox>(tWindow, "bedTempSpinBox")->maximum(), 130);
    QCOMPARE(child<QSpinBox>(tWindow, "bedTempSpinBox")->value(), 105);
    QCOMPARE(child<QLabel>(tWindow, "bedTempLabel")->text(), QStringLiteral("N/A"));
    QVERIFY(!child<QPushButton>(tWindow, "bedHeatButton")->isChecked());
    QVERIFY(!child<QLineEdit>(tWindow, "firmwareNameBox")->isEnabled());
    // Every picture the buttons name is embedded.
    const auto tButtons = tWindow.findChildren<QPushButton *>();
    for (const QPushButton *tButton : tButtons) {
        const QString tStyle = tButton->styleSheet();
        int tAt = 0;
        while ((tAt = tStyle.indexOf(QLatin1String("url("), tAt)) >= 0) {
            const int tEnd = tStyle.indexOf(QLatin1Char(')'), tAt);
            const QString tPath = tStyle.mid(tAt + 4, tEnd - tAt - 4);
            QVERIFY2(!QImage(tPath).isNull(), qPrintable(tPath));
            tAt = tEnd;
        }
    }
    QVERIFY(!QImage(QStringLiteral(":/printerConfig/printerConfig/Printer_noarrows.png")).isNull());
    QVERIFY(
        !QImage(QStringLiteral(":/printerConfig/printerConfig/Extruder_noarrows.png")).isNull());
}

void tst_printerconfig::jog_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("axis");
    QTest::addColumn<float>("distance");

    QTest::newRow("0.1 right") << "printControl01mmButton"
                               << "printControlXRightButton" << int(Kv::Defines::CoordinateX)
                               << 0.1f;
    QTest::newRow("10 forward") << "printControl10mmButton"
                                << "printControlYForwardButton" << int(Kv::Defines::CoordinateY)
                                << -10.0f;
    QTest::newRow("1 back") << "printControl1mmButton"
                            << "printControlYBackButton" << int(Kv::Defines::CoordinateY) << 1.0f;
    QTest::newRow("50 left") << "printControl50mmButton"
                             << "printControlXLeftButton" << int(Kv::Defines::CoordinateX)
                             << -50.0f;
    // The Z axis moves the build platform: up is negative.
    QTest::newRow("1 z up") << "printControl1mmButton"
                            << "printControlZUpButton" << int(Kv::Defines::CoordinateZ) << -1.0f;
    QTest::newRow("0.1 z down") << "printControl01mmButton"
                                << "printControlZDownButton" << int(Kv::Defines::CoordinateZ)
                                << 0.1f;
}

void tst_printerconfig::jog()
{
    QFETCH(QString, step);
    QFETCH(QString, button);
    QFETCH(int, axis);
    QFETCH(float, distance);

    kvPrinterConfig tWindow;
    QSignalSpy tMove(&tWindow, &kvPrinterConfig::Move);
    click(tWindow, qPrintable(step));
    QCOMPARE(tMove.count(), 0);
    QVERIFY(child<QPushButton>(tWindow, qPrintable(step))->isChecked());
    click(tWindow, qPrintable(button));
    QCOMPARE(tMove.count(), 1);
    QCOMPARE(int(tMove.at(0).at(0).value<kvCoordinate>()), axis);
    QCOMPARE(tMove.at(0).at(1).toFloat(), distance);
}

void tst_printerconfig::homeCentreMotorsCalibration()
{
    kvPrinterConfig tWindow;
    QSignalSpy tHome(&tWindow, &kvPrinterConfig::MoveHome);
    QSignalSpy tCentre(&tWindow, &kvPrinterConfig::MoveCenter);
    QSignalSpy tGCode(&tWindow, &kvPrinterConfig::GCodeClicked);
    QSignalSpy tCalibration(&tWindow, &kvPrinterConfig::ShowZCalibration);

    click(tWindow, "printControlHomeXYButton");
    QCOMPARE(tHome.count(), 2);
    QCOMPARE(tHome.at(0).at(0).value<kvCoordinate>(), Kv::Defines::CoordinateX);
    QCOMPARE(tHome.at(1).at(0).value<kvCoordinate>(), Kv::Defines::CoordinateY);
    click(tWindow, "printControlZHomeButton");
    QCOMPARE(tHome.count(), 3);
    QCOMPARE(tHome.at(2).at(0).value<kvCoordinate>(), Kv::Defines::CoordinateAll);

    click(tWindow, "printControlCenterButton");
    QCOMPARE(tCentre.count(), 1);
    click(tWindow, "printControlDisableMotorsButton");
    QCOMPARE(tGCode.count(), 1);
    QCOMPARE(tGCode.at(0).at(0).toString(), QStringLiteral("M84"));
    click(tWindow, "printControlZCalibrationButton");
    QCOMPARE(tCalibration.count(), 1);
}

void tst_printerconfig::filament_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("extruder");
    QTest::addColumn<bool>("extrude");
    QTest::addColumn<int>("wantExtruder");
    QTest::addColumn<int>("wantLength");

    QTest::newRow("defaults") << ""
                              << "" << true << 0 << 10;
    QTest::newRow("5 seconds after 1") << "extruder5SecondButton"
                                       << "" << true << 0 << 10;
    QTest::newRow("1 second, second extruder") << "extruder1SecondButton"
                                               << "extruderExtruder2Button" << false << 1 << 3;
    QTest::newRow("10 seconds, back to first") << "extruder10SecondButton"
                                               << "extruderExtruder1Button" << true << 0 << 21;
}

void tst_printerconfig::filament()
{
    QFETCH(QString, amount);
    QFETCH(QString, extruder);
    QFETCH(bool, extrude);
    QFETCH(int, wantExtruder);
    QFETCH(int, wantLength);

    kvPrinterConfig tWindow;
    QSignalSpy tExtrude(&tWindow, &kvPrinterConfig::ExtrudeFilament);
    QSignalSpy tRetract(&tWindow, &kvPrinterConfig::RetractFilament);
    // Another choice first, so that the row's choice has to replace it.
    click(tWindow, "extruder1SecondButton");
    click(tWindow, "extruderExtruder2Button");
    if (amount.isEmpty()) {
        click(tWindow, "extruder5SecondButton");
    } else {
        click(tWindow, qPrintable(amount));
    }
    click(tWindow, extruder.isEmpty() ? "extruderExtruder1Button" : qPrintable(extruder));
    QCOMPARE(tExtrude.count() + tRetract.count(), 0);

    click(tWindow, extrude ? "extruderExtrudeButton" : "extruderRetractButton");
    QSignalSpy &tSpy = extrude ? tExtrude : tRetract;
    QCOMPARE(tSpy.count(), 1);
    QCOMPARE(tSpy.at(0).at(0).toInt(), wantExtruder);
    QCOMPARE(tSpy.at(0).at(1).toInt(), wantLength);
    QCOMPARE((extrude ? tRetract : tExtrude).count(), 0);
}

void tst_printerconfig::consoleLine()
{
    kvPrinterConfig tWindow;
    tWindow.show();
    tWindow.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&tWindow));
    child<QTabWidget>(tWindow, "tabWidget")->setCurrentIndex(1);
    auto *tLine = child<QLineEdit>(tWindow, "gcodeText");
    QCOMPARE(QApplication::focusWidget(), tLine);
    QSignalSpy tGCode(&tWindow, &kvPrinterConfig::GCodeClicked);

    QTest::keyClicks(tLine, QStringLiteral("g1 x"));
    QCOMPARE(tLine->text(), QStringLiteral("G1 X"));
    // Typed in the middle: capitals, cursor at the end.
    tLine->setCursorPosition(2);
    QTest::keyClicks(tLine, QStringLiteral("0"));
    QCOMPARE(tLine->text(), QStringLiteral("G10 X"));
    QCOMPARE(tLine->cursorPosition(), tLine->text().size());
    QTest::keyClicks(tLine, QStringLiteral("5 "));
    QTest::keyClick(tLine, Qt::Key_Return);
    QCOMPARE(tGCode.count(), 1);
    QCOMPARE(tGCode.at(0).at(0).toString(), QStringLiteral("G10 X5 "));
    QVERIFY(tLine->text().isEmpty());

    QTest::keyClicks(tLine, QStringLiteral("m105"));
    QTest::keyClick(tLine, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(tGCode.count(), 2);
    QCOMPARE(tGCode.at(1).at(0).toString(), QStringLiteral("M105"));

    QTest::keyClick(tLine, Qt::Key_Return);
    QCOMPARE(tGCode.count(), 3);
    QCOMPARE(tGCode.at(2).at(0).toString(), QString());

    QTest::keyClicks(tLine, QStringLiteral("m84"));
    click(tWindow, "sendGCodeButton");
    QCOMPARE(tGCode.count(), 4);
    QCOMPARE(tGCode.at(3).at(0).toString(), QStringLiteral("M84"));

    child<QTabWidget>(tWindow, "tabWidget")->setCurrentIndex(0);
    QCOMPARE(QApplication::focusWidget(),
        static_cast<QWidget *>(child<QPushButton>(tWindow, "printControlDisableMotorsButton")));

    // Responses are shown as text, never as markup.
    tWindow.setPrinterCommand(QStringLiteral("M105"));
    tWindow.setPrinterResponse(QStringLiteral("<b>ok</b>"));
    QCOMPARE(tWindow.consoleLines(), (QStringList {"C: M105", "R: <b>ok</b>"}));
}

void tst_printerconfig::heatControlsGuarded()
{
    kvPrinterConfig tWindow;
    QSignalSpy tExtruder(&tWindow, &kvPrinterConfig::HeatExtruder);
    QSignalSpy tBed(&tWindow, &kvPrinterConfig::HeatBed);
    auto *tSpin1 = child<QSpinBox>(tWindow, "extruder1TempSpinBox");
    auto *tBedSpin = child<QSpinBox>(tWindow, "bedTempSpinBox");

    // A hand-made change heats even with the heat button up.
    tSpin1->setValue(230);
    QCOMPARE(tExtruder.count(), 1);
    QCOMPARE(tExtruder.at(0), (QVariantList {1, true, 230.0f}));
    tBedSpin->setValue(60);
    QCOMPARE(tBed.count(), 1);
    QCOMPARE(tBed.at(0), (QVariantList {true, 60.0f}));

    click(tWindow, "extruder0HeatButton");
    QCOMPARE(tExtruder.count(), 2);
    QCOMPARE(tExtruder.at(1), (QVariantList {0, true, 215.0f}));
    click(tWindow, "extruder0HeatButton");
    QCOMPARE(tExtruder.at(2), (QVariantList {0, false, 215.0f}));
    click(tWindow, "bedHeatButton");
    QCOMPARE(tBed.at(1), (QVariantList {true, 60.0f}));

    // The printer's refresh emits nothing.
    tExtruder.clear();
    tBed.clear();
    tWindow.setInitializing(true);
    tWindow.setExtruderDesiredTemp(0, 200.0f);
    tWindow.setExtruderDesiredTemp(1, 190.0f);
    tWindow.setBedDesiredTemp(80.0f);
    tWindow.setExtruderToldToHeat(0, true);
    tWindow.setBedToldToHeat(false);
    tWindow.setPowerTurnOffAfterPrint(false);
    tWindow.setInitializing(false);
    QCOMPARE(tExtruder.count(), 0);
    QCOMPARE(tBed.count(), 0);
    QVERIFY(child<QPushButton>(tWindow, "extruder0HeatButton")->isChecked());
    QVERIFY(!child<QPushButton>(tWindow, "bedHeatButton")->isChecked());
    QCOMPARE(tBedSpin->value(), 80);
    QVERIFY(!child<QCheckBox>(tWindow, "powerTurnOffCheckbox")->isChecked());
}

void tst_printerconfig::shownValues()
{
    kvPrinterConfig tWindow;
    const QString tDegree = QString(QChar(0x00B0));
    tWindow.setExtruderTemp(0, 0.0f);
    QCOMPARE(child<QLabel>(tWindow, "extruder0TempLabel")->text(), QStringLiteral("0") + tDegree);
    tWindow.setExtruderTemp(1, 214.56f);
    QCOMPARE(
        child<QLabel>(tWindow, "extruder1TempLabel")->text(), QStringLiteral("214.56") + tDegree);
    tWindow.setExtruderTemp(2, 99.0f);
    QCOMPARE(
        child<QLabel>(tWindow, "extruder1TempLabel")->text(), QStringLiteral("214.56") + tDegree);
    tWindow.setBedTemp(0.0f);
    QCOMPARE(child<QLabel>(tWindow, "bedTempLabel")->text(), QStringLiteral("N/A"));
    tWindow.setBedTemp(60.0f);
    QCOMPARE(child<QLabel>(tWindow, "bedTempLabel")->text(), QStringLiteral("60.0") + tDegree);

    tWindow.setExtruderWattage(0, 127.0f);
    QCOMPARE(
        child<QLineEdit>(tWindow, "extruder0WattageTextBox_2")->text(), QStringLiteral("100.0%"));
    tWindow.setExtruderWattage(1, 0.0f);
    QCOMPARE(
        child<QLineEdit>(tWindow, "extruder1WattageTextBox_2")->text(), QStringLiteral("0.0%"));
    tWindow.setBedWattage(63.5f);
    QCOMPARE(child<QLineEdit>(tWindow, "bedWattageTextBox_2")->text(), QStringLiteral("50.0%"));

    tWindow.setFirmwareNameBox(QStringLiteral("Marlin"));
    tWindow.setFirmwareUUIDBox(QStringLiteral("1234"));
    QCOMPARE(child<QLineEdit>(tWindow, "firmwareNameBox")->text(), QStringLiteral("Marlin"));
    QCOMPARE(child<QLineEdit>(tWindow, "firmwareUUIDBox")->text(), QStringLiteral("1234"));
    tWindow.setIsPrinting(true);
    tWindow.setIsWaitingToPrint(true);
    QVERIFY(child<QCheckBox>(tWindow, "printingCheckBox")->isChecked());
    QVERIFY(child<QCheckBox>(tWindow, "waitingCheckBox")->isChecked());
    QVERIFY(!child<QCheckBox>(tWindow, "pausedCheckBox")->isChecked());
}

void tst_printerconfig::desiredTemperature_data()
{
    QTest::addColumn<int>("extruder");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("shown");

    const float tNan = std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("cut toward zero") << 0 << 215.9f << "extruder0TempSpinBox" << 215;
    QTest::newRow("above range") << 0 << 300.0f << "extruder0TempSpinBox" << 275;
    QTest::newRow("below range") << 1 << -20.0f << "extruder1TempSpinBox" << 0;
    QTest::newRow("far above int") << 1 << 1e30f << "extruder1TempSpinBox" << 275;
    QTest::newRow("not a number keeps the box") << 0 << tNan << "extruder0TempSpinBox" << 215;
    QTest::newRow("other extruder uses the second box")
        << 3 << 180.4f << "extruder1TempSpinBox" << 180;
    QTest::newRow("bed") << -1 << 131.0f << "bedTempSpinBox" << 130;
}

void tst_printerconfig::desiredTemperature()
{
    QFETCH(int, extruder);
    QFETCH(float, value);
    QFETCH(QString, box);
    QFETCH(int, shown);

    kvPrinterConfig tWindow;
    tWindow.setInitializing(true);
    if (extruder < 0) {
        tWindow.setBedDesiredTemp(value);
    } else {
        tWindow.setExtruderDesiredTemp(extruder, value);
    }
    tWindow.setInitializing(false);
    QCOMPARE(child<QSpinBox>(tWindow, qPrintable(box))->value(), shown);
}

void tst_printerconfig::oneExtruderAndNoBed()
{
    kvPrinterConfig tWindow;
    tWindow.setExtruderEnabled(1, false);
    QVERIFY(child<QGroupBox>(tWindow, "extruder2GroupBox")->isHidden());
    QVERIFY(child<QPushButton>(tWindow, "extruderExtruder1Button")->isHidden());
    QVERIFY(child<QPushButton>(tWindow, "extruderExtruder2Button")->isHidden());
    QCOMPARE(child<QGroupBox>(tWindow, "extruder1GroupBox")->title(), QStringLiteral("Extruder"));
    tWindow.setExtruderEnabled(0, false);
    QVERIFY(!child<QGroupBox>(tWindow, "extruder1GroupBox")->isEnabled());
    tWindow.setExtruderEnabled(0, true);
    QVERIFY(child<QGroupBox>(tWindow, "extruder1GroupBox")->isEnabled());

    tWindow.setBedIsHeated(false);
    QVERIFY(child<QGroupBox>(tWindow, "bedGroupBox")->isHidden());
    tWindow.setBedIsHeated(true);
    QVERIFY(!child<QGroupBox>(tWindow, "bedGroupBox")->isHidden());
}

void tst_printerconfig::consoleBounded()
{
    kvPrinterConfig tWindow;
    for (int i = 0; i < kvPrinterConfig::ConsoleLineLimit + 10; ++i) {
        tWindow.setPrinterCommand(QStringLiteral("G1 X%1").arg(i));
    }
    const QStringList tLines = tWindow.consoleLines();
    QCOMPARE(tLines.size(), kvPrinterConfig::ConsoleLineLimit);
    QCOMPARE(tLines.last(), QStringLiteral("C: G1 X%1").arg(kvPrinterConfig::ConsoleLineLimit + 9));
}

void tst_printerconfig::clicksReachTheWire()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.printer->showPrinterConfig();
    kvPrinterConfig &tWindow = *tRig.printer->printerConfig();
    QVERIFY(tRig.settle());

    int tFrom = tRig.firmware.lineCount();
    click(tWindow, "printControl1mmButton");
    click(tWindow, "printControlXRightButton");
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G90"), 3000, tFrom));
    QCOMPARE(tRig.sentFrom(tFrom), (QStringList {"G91", "G1 X1 F4800", "G90"}));

    tFrom = tRig.firmware.lineCount();
    click(tWindow, "extruder10SecondButton");
    click(tWindow, "extruderRetractButton");
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G90"), 3000, tFrom));
    QCOMPARE(tRig.sentFrom(tFrom), (QStringList {"T0", "G91", "G1 E-21 F1800", "G90"}));

    tFrom = tRig.firmware.lineCount();
    auto *tLine = child<QLineEdit>(tWindow, "gcodeText");
    QTest::keyClicks(tLine, QStringLiteral("g28 x0"));
    QTest::keyClick(tLine, Qt::Key_Return);
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("G28 X0"), 3000, tFrom));

    // A character outside the basic plane, in a message and in a comment, goes out as typed.
    const int tBytesFrom = tRig.firmware.rawReceived().size();
    // The character comes as an input method commits it.
    const auto tCommit = [&](const QString &pText) {
        QInputMethodEvent tEvent;
        tEvent.setCommitString(pText);
        QApplication::sendEvent(tLine, &tEvent);
    };
    const QString tBulb = QString::fromUtf8("\xF0\x9F\x92\xA1");
    QTest::keyClicks(tLine, QStringLiteral("m117 "));
    tCommit(tBulb);
    QTest::keyClicks(tLine, QStringLiteral(" on ; "));
    tCommit(tBulb);
    QTest::keyClick(tLine, Qt::Key_Return);
    QVERIFY(tRig.firmware.waitFor(
        [&] { return tRig.firmware.rawReceived().indexOf('\n', tBytesFrom) >= 0; }));
    QCOMPARE(tRig.firmware.rawReceived().mid(tBytesFrom),
        QByteArray("M117 \xF0\x9F\x92\xA1 ON ; \xF0\x9F\x92\xA1\n"));

    tFrom = tRig.firmware.lineCount();
    click(tWindow, "bedHeatButton");
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M140 S105"), 3000, tFrom));
    QVERIFY(tRig.settle());
    // The refresh after the command shows the printer's state, and the console both ways.
    QVERIFY(child<QPushButton>(tWindow, "bedHeatButton")->isChecked());
    QVERIFY(tWindow.consoleLines().contains(QStringLiteral("C: M140 S105")));
    QVERIFY(tWindow.consoleLines().contains(QStringLiteral("R: ok")));
    QCOMPARE(child<QLineEdit>(tWindow, "firmwareMachineTypeBox")->text(),
        QStringLiteral("Halvarn_Tovra"));
}

void tst_printerconfig::refreshEchoesNothing()
{
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra"), 1));
    const int tFrom = tRig.firmware.lineCount();
    tRig.printer->showPrinterConfig();
    kvPrinterConfig &tWindow = *tRig.printer->printerConfig();
    // A hand-made untick of "Turn Off After Print" is set back by the next refresh.
    child<QCheckBox>(tWindow, "powerTurnOffCheckbox")->click();
    // New targets (idle and cold: nothing is sent) reach the temperature boxes by the
    // refresh, not by their edit signals.
    tRig.printer->setFilamentType(Kv::Defines::FilamentTypePLA);
    tRig.printer->updateWindows();
    QVERIFY(child<QCheckBox>(tWindow, "powerTurnOffCheckbox")->isChecked());
    QCOMPARE(child<QSpinBox>(tWindow, "extruder0TempSpinBox")->value(), 190);
    QCOMPARE(child<QSpinBox>(tWindow, "bedTempSpinBox")->value(), 50);
    tRig.advance(6000);
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M105"), 8000, tFrom));
    QVERIFY(tRig.settle());
    for (const QString &tLine : tRig.sentFrom(tFrom)) {
        QVERIFY2(
            !tLine.startsWith(QLatin1String("M104")) && !tLine.startsWith(QLatin1String("M140")),
            qPrintable(tLine));
    }
    QVERIFY(child<QGroupBox>(tWindow, "extruder2GroupBox")->isHidden());
    QCOMPARE(child<QGroupBox>(tWindow, "extruder1GroupBox")->title(), QStringLiteral("Extruder"));
    QVERIFY(!child<QGroupBox>(tWindow, "bedGroupBox")->isHidden());
}

KV_TEST_MAIN(tst_printerconfig)
#include "tst_printerconfig.moc"
