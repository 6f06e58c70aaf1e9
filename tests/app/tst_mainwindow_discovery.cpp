#include "kvDialogRecorder.h"
#include "kvFakeFirmware.h"
#include "kvGLWindow.h"
#include "kvLogger.h"
#include "kvMainWindow.h"
#include "kvMainWindowFixtures.h"
#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"
#include "kvPrinterSettings.h"
#include "kvSlic3rConfig.h"
#include "kvStartup.h"
#include "kvTestSupport.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace KvTest;

// The second process: "hold-lock" path, another copy of the program slicing.
int runHelper(const QString &pName, const QStringList &pArguments)
{
    if (pName == QLatin1String("hold-lock") && pArguments.size() == 1)
        return KvTest::holdLockFile(pArguments.at(0));
    return 2;
}

// The GL driver is built without frame pointers: a full unwind lets the leak check see
// its lifetime allocations as the driver's, which the suppressions cover.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

class tst_mainwindow_discovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(Kv::Startup::prepare()); }
    void init() { QVERIFY(useSourcePrinterTypes()); }

    void listsWithoutChoosing()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8"), QStringLiteral("Halvarn_6x6")});
        kvMainWindow tWindow;
        QCOMPARE(tWindow.printers().size(), 2);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 3; }));
        QCOMPARE(printerBox(tWindow)->itemText(0), QStringLiteral("Printer(s) Avaliable!"));
        QVERIFY(printerBox(tWindow)->itemText(1).endsWith(tBench.links[0] + QStringLiteral(")")));
        QVERIFY(!tWindow.currentPrinter());
        for (kvPrinter *tPrinter : tWindow.printers())
            QVERIFY(!tPrinter->isConnected());
        QVERIFY(tWindow.isPollingPrinters());
        QVERIFY(tDialogs.requests.isEmpty());

        // The heading chooses nothing.
        choose(tWindow, 0);
        QVERIFY(!tWindow.currentPrinter());
        QVERIFY(tWindow.isPollingPrinters());

        // A user's choice connects the printer again and ends discovery.
        choose(tWindow, 2);
        QVERIFY(tWindow.currentPrinter());
        QCOMPARE(tWindow.currentPrinter()->serialPortPath(), tBench.links[1]);
        QVERIFY(!tWindow.isPollingPrinters());
        QVERIFY(waitFor([&] { return tWindow.currentPrinter()->isConnected(); }));
        QCOMPARE(tWindow.statusMessage(), QStringLiteral("Connected To Printer!"));

        // Back to the heading: no printer, and discovery stays ended.
        choose(tWindow, 0);
        QVERIFY(!tWindow.currentPrinter());
        QVERIFY(!tWindow.isPollingPrinters());
    }

    // One port's name inside another's: each printer keeps its own item.
    void printersAreKeyedByTheirPort()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({});
        tBench.add(QStringLiteral("Halvarn_8x8"), QStringLiteral("ttyACM10"));
        tBench.add(QStringLiteral("Halvarn_6x6"), QStringLiteral("ttyACM1"));
        kvMainWindow tWindow;
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 3; }));
        for (int tItem : {1, 2}) {
            choose(tWindow, tItem);
            QVERIFY(tWindow.currentPrinter());
            QVERIFY(printerBox(tWindow)->itemText(tItem).endsWith(
                tWindow.currentPrinter()->serialPortName() + QStringLiteral(")")));
        }
        // The printer of the shorter name times out: only its own item goes.
        kvPrinter *tShort = nullptr;
        for (kvPrinter *tPrinter : tWindow.printers())
            if (tPrinter->serialPortName().endsWith(QStringLiteral("ttyACM1")))
                tShort = tPrinter;
        QVERIFY(tShort);
        tBench.unplugged.insert(1);
        emit tShort->ConnectionTimeOut(tShort);
        QMetaObject::invokeMethod(&tWindow, "onPollUSBTimerTick");
        QCOMPARE(printerBox(tWindow)->count(), 2);
        QVERIFY(printerBox(tWindow)->itemText(1).endsWith(QStringLiteral("ttyACM10)")));
    }

    void identificationIsLogged()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvMainWindow tWindow;
        tWindow.findChild<QAction *>(QStringLiteral("optionsMenuLogCreate"))->trigger();
        QVERIFY(tWindow.logger()->isCreated());
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        QFile tLog(
            Kv::Platform::appDataLocation() + QLatin1Char('/') + tWindow.logger()->fileName());
        QVERIFY(tLog.open(QIODevice::ReadOnly));
        const QString tText = QString::fromUtf8(tLog.readAll());
        const QString tStem = QStringLiteral("kvMainWindow::Printer: ")
            + tWindow.printers().first()->name() + QStringLiteral("[") + tBench.links[0]
            + QStringLiteral("]");
        const int tNot = tText.indexOf(tStem + QStringLiteral(" is NOT identified!"));
        const int tNow = tText.indexOf(tStem + QStringLiteral(" is now identified!"));
        QVERIFY2(tNot >= 0 && tNow > tNot, qPrintable(tText));
    }

    void timedOutPrintersAreProbedAgain()
    {
        KvTest::DialogRecorder tDialogs;
        // The second port has not answered yet.
        kvPortBench tBench({QStringLiteral("Halvarn_8x8"), QStringLiteral("Halvarn_6x6")});
        tBench.firmwares[1]->setSilent(true);
        kvMainWindow tWindow;
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        const QVector<kvPrinter *> tOld = tWindow.printers();
        QCOMPARE(tOld.size(), 2);
        QList<QPointer<kvPrinter>> tGone {tOld[0], tOld[1]};
        emit tOld[0]->ConnectionTimeOut(tOld[0]);
        emit tOld[1]->ConnectionTimeOut(tOld[1]);
        QVERIFY(tWindow.printers().isEmpty());
        QVERIFY(waitFor([&] { return tGone[0].isNull() && tGone[1].isNull(); }, 20000));
        // The same poll dropped their item and made new printers for both ports; the
        // port is listed once again.
        QCOMPARE(tWindow.printers().size(), 2);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
    }

    void unknownTypeIsNotProbedAgain()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Unknown_Type")});
        kvMainWindow tWindow;
        const QString tSaid = QStringLiteral("Unknown printer type Unknown_Type on ")
            + tBench.links[0] + QStringLiteral(".");
        QVERIFY(waitFor([&] { return tWindow.statusMessage() == tSaid; }));
        kvPrinter *tPrinter = tWindow.printers().value(0);
        QVERIFY(tPrinter);
        emit tPrinter->ConnectionTimeOut(tPrinter);
        QMetaObject::invokeMethod(&tWindow, "onPollUSBTimerTick");
        QMetaObject::invokeMethod(&tWindow, "onPollUSBTimerTick");
        QVERIFY(tWindow.printers().isEmpty());
        QCOMPARE(tBench.countOf(0, QStringLiteral("M115")), 1);

        // The port goes away and comes back: it is probed once more.
        const QString tLink = tBench.links.takeFirst();
        QMetaObject::invokeMethod(&tWindow, "onPollUSBTimerTick");
        QVERIFY(tWindow.printers().isEmpty());
        tBench.links.append(tLink);
        QMetaObject::invokeMethod(&tWindow, "onPollUSBTimerTick");
        QCOMPARE(tWindow.printers().size(), 1);
        QVERIFY(tBench.firmwares[0]->waitFor(
            [&] { return tBench.countOf(0, QStringLiteral("M115")) == 2; }, 20000));
    }

    // A port where nothing answers is named once; probing goes on.
    void silentPortIsNamedOnce()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvFakeFirmware *tFirmware = tBench.firmwares[0].get();
        tFirmware->setSilent(true);
        const QString tPath = tBench.links[0];
        const QString tNamed = QStringLiteral("Nothing identified itself on ") + tPath
            + QStringLiteral("; still searching.");
        const QString tOther = QStringLiteral("No Connection To Printer!");
        auto tHandshakes = [&](int pCount) {
            return tFirmware->waitFor(
                [&] { return tBench.countOf(0, QStringLiteral("M115")) == pCount; }, 20000);
        };
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(tHandshakes(1));
        QVERIFY(probeTimesOut(tWindow, tPath));
        QCOMPARE(tWindow.statusMessage(), tNamed);
        QCOMPARE(printerBox(tWindow)->itemText(0), QStringLiteral("Searching for printers..."));

        // Another text meanwhile: the port's next time-out leaves it.
        click(tWindow, "connectToPrinterButton");
        QCOMPARE(tWindow.statusMessage(), tOther);
        QVERIFY(tHandshakes(2));
        QVERIFY(probeTimesOut(tWindow, tPath));
        QCOMPARE(tWindow.statusMessage(), tOther);
        QVERIFY(tHandshakes(3));

        // Gone and back, the port is named again.
        tBench.unplugged.insert(0);
        QVERIFY(probeTimesOut(tWindow, tPath));
        QMetaObject::invokeMethod(&tWindow, "onPollUSBTimerTick");
        QVERIFY(tWindow.printers().isEmpty());
        click(tWindow, "connectToPrinterButton");
        QCOMPARE(tWindow.statusMessage(), tOther);
        tBench.unplugged.remove(0);
        QVERIFY(tHandshakes(4));
        QVERIFY(probeTimesOut(tWindow, tPath));
        QCOMPARE(tWindow.statusMessage(), tNamed);
        QVERIFY(tDialogs.requests.isEmpty());
    }

    // A port that answered, or that could not be opened, keeps what its printer said.
    void answeringPortIsNotCalledSilent_data()
    {
        QTest::addColumn<QString>("machineType"); // empty: the reply has no MACHINE_TYPE
        QTest::addColumn<bool>("inUse");
        QTest::addColumn<QString>("shown"); // %1: the port
        QTest::addColumn<bool>("probedAgain");
        QTest::newRow("type not in the table")
            << "Unknown_Type" << false << "Unknown printer type Unknown_Type on %1." << false;
        QTest::newRow("no machine type")
            << "" << false << "Unknown printer type Kv Test Firmware 2.0 on %1." << false;
        QTest::newRow("port in use")
            << "Halvarn_8x8" << true << "Cannot open %1: it is in use by another program." << true;
    }
    void answeringPortIsNotCalledSilent()
    {
        QFETCH(QString, machineType);
        QFETCH(bool, inUse);
        QFETCH(QString, shown);
        QFETCH(bool, probedAgain);
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({machineType});
        kvFakeFirmware *tFirmware = tBench.firmwares[0].get();
        tFirmware->setFirmwareName(QStringLiteral("Kv Test Firmware 2.0"));
        if (machineType.isEmpty())
            tFirmware->setOmittedIdentityKeys({QStringLiteral("MACHINE_TYPE")});
        if (inUse)
            QVERIFY(tFirmware->setPortLocked(true, tBench.links[0]));
        kvMainWindow tWindow;
        const QString tShown = shown.arg(tBench.links[0]);
        QVERIFY(waitFor([&] { return tWindow.statusMessage() == tShown; }));
        QVERIFY(probeTimesOut(tWindow, tBench.links[0]));
        QCOMPARE(tWindow.statusMessage(), tShown);

        // An answer leaves the port alone until it goes away.
        QMetaObject::invokeMethod(&tWindow, "onPollUSBTimerTick");
        QCOMPARE(tWindow.printers().size(), probedAgain ? 1 : 0);
        QCOMPARE(tBench.countOf(0, QStringLiteral("M115")), inUse ? 0 : 1);
        QVERIFY(tDialogs.requests.isEmpty());
    }

    // With a printer chosen the search has ended: a probe timing out then says nothing.
    void silentPortAfterAChoiceIsNotNamed()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8"), QStringLiteral("Halvarn_6x6")});
        tBench.firmwares[1]->setSilent(true);
        kvMainWindow tWindow;
        QVERIFY(showAndChoose(tWindow, 1));
        QVERIFY(!tWindow.isPollingPrinters());
        const QString tConnected = QStringLiteral("Connected To Printer!");
        QVERIFY(waitFor([&] { return tWindow.statusMessage() == tConnected; }));
        QVERIFY(probeTimesOut(tWindow, tBench.links[1]));
        QCOMPARE(tWindow.statusMessage(), tConnected);
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void twoExtruders()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        tBench.firmwares[0]->setExtruderCount(2);
        kvMainWindow tWindow;
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        choose(tWindow, 1);
        QVERIFY(waitFor([&] { return tWindow.currentPrinter()->isConnected(); }));
        choose(tWindow, 1);
        QVERIFY(waitFor([&] { return tWindow.currentPrinter()->isConnected(); }));
        QCOMPARE(tWindow.currentPrinter()->extruderCount(), 2);
        auto *tBox = tWindow.findChild<QComboBox *>(QStringLiteral("activeExtruderCombobox"));
        QCOMPARE(tBox->count(), 3);
        QCOMPARE(tBox->itemText(2), QStringLiteral("Extruder 2"));
        QVERIFY(!tWindow.findChild<QWidget *>(QStringLiteral("extruder1Widget"))->isHidden());

        // "Both" refuses a single-extruder command.
        QVERIFY(drain(tWindow.currentPrinter(), tBench.firmwares[0].get()));
        int tFrom = tBench.firmwares[0]->lineCount();
        tWindow.findChild<QAction *>(QStringLiteral("extrude10mm"))->trigger();
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Active Extruder"));
        QVERIFY(drain(tWindow.currentPrinter(), tBench.firmwares[0].get()));
        QVERIFY(!tBench.sentFromContains(0, tFrom, QStringLiteral("T")));

        tBox->setCurrentIndex(2);
        emit tBox->textActivated(tBox->currentText());
        QCOMPARE(tWindow.currentPrinter()->activeExtruder(), Kv::Defines::ActiveExtruderSecond);
        tFrom = tBench.firmwares[0]->lineCount();
        tWindow.findChild<QAction *>(QStringLiteral("extrude10mm"))->trigger();
        QVERIFY(tBench.firmwares[0]->waitForLine(QStringLiteral("T1"), 20000, tFrom));
    }

    void tovraIsChosen()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_Tovra")});
        kvMainWindow tWindow;
        QVERIFY(waitFor([&] { return tWindow.currentPrinter() != nullptr; }));
        QVERIFY(waitFor([&] { return tWindow.currentPrinter()->isConnected(); }));
        QVERIFY(!tWindow.isPollingPrinters());
        QCOMPARE(printerBox(tWindow)->currentIndex(), 1);
        QVERIFY(waitFor([&] { return tBench.countOf(0, QStringLiteral("M115")) == 2; }));
        QVERIFY(drain(tWindow.currentPrinter(), tBench.firmwares[0].get()));
        QCOMPARE(tBench.countOf(0, QStringLiteral("M115")), 2);
        QVERIFY(tWindow.currentPrinter()->isConnected());
        QCOMPARE(printerBox(tWindow)->count(), 2);
    }

    void bluetoothAndBusyPortsAreNotProbed()
    {
        kvPortBench tBench({});
        tBench.extra.append({QStringLiteral("/dev/tty.BlueTooth-Incoming"),
            QStringLiteral("tty.BlueTooth-Incoming"), false});
        tBench.extra.append({QStringLiteral("/dev/ttyACM9"), QStringLiteral("ttyACM9"), true});
        // Legacy serial ports may be a modem or a console: never written to.
        tBench.extra.append({QStringLiteral("/dev/ttyS0"), QStringLiteral("ttyS0"), false});
        tBench.extra.append({QStringLiteral("/dev/ttyAMA0"), QStringLiteral("ttyAMA0"), false});
        kvMainWindow tWindow;
        QVERIFY(tWindow.printers().isEmpty());
        // A USB serial port is probed.
        tBench.extra.append({QStringLiteral("/dev/ttyUSB7"), QStringLiteral("ttyUSB7"), false});
        QVERIFY(waitFor([&] { return tWindow.printers().size() == 1; }, 20000));
    }

    void exitAsksWhilePrinting_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("printing") << 0
                                  << "You are currently printing a model, are you sure you wish "
                                     "to exit Kestrova?";
        QTest::newRow("paused") << 1
                                << "You have a print in progress paused, are you sure you wish "
                                   "to exit Kestrova?";
        QTest::newRow("waiting") << 2
                                 << "You are currently waiting to print, are you sure you wish "
                                    "to exit Kestrova?";
    }
    void exitAsksWhilePrinting()
    {
        QFETCH(int, state);
        QFETCH(QString, text);
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_Tovra")});
        kvMainWindow tWindow;
        QVERIFY(waitFor(
            [&] { return tWindow.currentPrinter() && tWindow.currentPrinter()->isConnected(); }));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        if (state == 0)
            tPrinter->setIsPrinting(true);
        else if (state == 1)
            tPrinter->setIsPaused(true);
        else
            tPrinter->setIsWaitingToPrint(true);
        tWindow.findChild<QAction *>(QStringLiteral("fileMenuExit"))->trigger();
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Exit Kestrova"));
        QCOMPARE(tDialogs.requests.first().text, text);
        QCOMPARE(tDialogs.requests.first().defaultButton, kvDialogs::NoDefault);
        QVERIFY(tPrinter->isConnected());
        tPrinter->setIsPrinting(false);
        tPrinter->setIsPaused(false);
        tPrinter->setIsWaitingToPrint(false);
    }

    void exitWithYesSwitchesHeatersOff()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_Tovra")});
        kvMainWindow tWindow;
        QVERIFY(waitFor(
            [&] { return tWindow.currentPrinter() && tWindow.currentPrinter()->isConnected(); }));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        QMetaObject::invokeMethod(
            tWindow.findChild<QWidget *>(QStringLiteral("heatPrinterButton")), "click");
        tPrinter->setIsWaitingToPrint(true);
        const int tFrom = tBench.firmwares[0]->lineCount();
        tDialogs.answers << true;
        tWindow.findChild<QAction *>(QStringLiteral("fileMenuExit"))->trigger();
        QCOMPARE(tDialogs.requests.size(), 1);
        QVERIFY(!tPrinter->isHeating());
        QVERIFY(tBench.firmwares[0]->waitForLine(
            [](const QString &pLine) { return pLine.startsWith(QStringLiteral("M140 S0")); }, 20000,
            tFrom));
        tPrinter->setIsWaitingToPrint(false);
    }

    void closeSwitchesHeatersOff()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_Tovra")});
        kvMainWindow tWindow;
        QVERIFY(waitFor(
            [&] { return tWindow.currentPrinter() && tWindow.currentPrinter()->isConnected(); }));
        QMetaObject::invokeMethod(
            tWindow.findChild<QWidget *>(QStringLiteral("heatPrinterButton")), "click");
        QVERIFY(tWindow.currentPrinter()->isHeating());
        const int tFrom = tBench.firmwares[0]->lineCount();
        QCloseEvent tClose;
        QCoreApplication::sendEvent(&tWindow, &tClose);
        QVERIFY(tClose.isAccepted());
        QVERIFY(!tWindow.currentPrinter()->isConnected());
        QVERIFY(tBench.firmwares[0]->waitForLine(
            [](const QString &pLine) { return pLine.startsWith(QStringLiteral("M140 S0")); }, 20000,
            tFrom));
    }

    void destructionDisconnectsAndDeletes()
    {
        kvPortBench tBench({QStringLiteral("Halvarn_Tovra"), QStringLiteral("Halvarn_8x8"),
            QStringLiteral("Halvarn_6x6")});
        QList<QPointer<kvPrinter>> tPrinters;
        {
            kvMainWindow tWindow;
            QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 4; }));
            QVERIFY(tWindow.currentPrinter());
            for (kvPrinter *tPrinter : tWindow.printers())
                tPrinters.append(tPrinter);
            QCOMPARE(tPrinters.size(), 3);
        }
        for (const QPointer<kvPrinter> &tPrinter : qAsConst(tPrinters))
            QVERIFY(tPrinter.isNull());
        QVERIFY(kvPrinter::PrinterTypes.isEmpty());
        QVERIFY(waitFor([&] { return !tBench.firmwares[0]->isHostAttached(); }, 20000));
    }

    void printOfGCodeFile()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvMainWindow tWindow;
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        choose(tWindow, 1);
        QVERIFY(waitFor([&] { return tWindow.currentPrinter()->isConnected(); }));
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("few-lines.gcode")));
        auto *tPrint = tWindow.findChild<QPushButton *>(QStringLiteral("pbPrint"));
        tPrint->click();
        QVERIFY(tDialogs.requests.isEmpty());
        QCOMPARE(tPrint->toolTip(), QStringLiteral("Stop"));
        QCOMPARE(tWindow.currentPrinter()->currentPrinterFile(), tWindow.printerFile());
        QVERIFY(
            tWindow.currentPrinter()->isWaitingToPrint() || tWindow.currentPrinter()->isPrinting());

        // The file being printed stays while the print runs.
        kvPrinterFile *tFile = tWindow.printerFile();
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        QCOMPARE(tWindow.printerFile(), tFile);
        QCOMPARE(tWindow.statusMessage(),
            QStringLiteral("Stop the print before loading another model."));
        tWindow.findChild<QAction *>(QStringLiteral("fileMenuClearModel"))->trigger();
        QCOMPARE(tWindow.printerFile(), tFile);
        QCOMPARE(tWindow.currentPrinter()->currentPrinterFile(), tFile);

        tPrint->click();
        QCOMPARE(tPrint->toolTip(), QStringLiteral("Print"));
        QVERIFY(!tWindow.currentPrinter()->isWaitingToPrint());

        // A new load leaves the printer without the deleted file.
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        QVERIFY(!tWindow.currentPrinter()->currentPrinterFile());
    }

    void printOfPartSlicesFirst_data()
    {
        QTest::addColumn<bool>("stopWhileSlicing");
        QTest::newRow("sliced, then printed") << false;
        QTest::newRow("stopped while slicing") << true;
    }
    void printOfPartSlicesFirst()
    {
        QFETCH(bool, stopWhileSlicing);
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvMainWindow tWindow;
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        choose(tWindow, 1);
        QVERIFY(waitFor([&] { return tWindow.currentPrinter()->isConnected(); }));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        kvPrinterFile *tFile = tWindow.printerFile();
        QSignalSpy tParsed(tFile, &kvPrinterFile::GCodeParseComplete);
        auto *tPrint = tWindow.findChild<QPushButton *>(QStringLiteral("pbPrint"));
        tPrint->click();
        QCOMPARE(tPrint->toolTip(), QStringLiteral("Stop"));
        QVERIFY(tFile->isSlicing());
        QVERIFY(!tPrinter->currentPrinterFile());

        if (stopWhileSlicing) {
            tPrint->click();
            QVERIFY(!tFile->isSlicing());
            QCOMPARE(tPrint->toolTip(), QStringLiteral("Print"));
            QVERIFY(drain(tPrinter, tBench.firmwares[0].get()));
            QVERIFY(!tPrinter->isWaitingToPrint() && !tPrinter->isPrinting());
            QVERIFY(!tPrinter->currentPrinterFile());
            return;
        }
        QVERIFY(waitFor([&] { return !tParsed.isEmpty(); }, 60000));
        QVERIFY(tFile->isSliced());
        QCOMPARE(tPrinter->currentPrinterFile(), tFile);
        QVERIFY(tPrinter->isWaitingToPrint() || tPrinter->isPrinting());
        tPrint->click();
        QCOMPARE(tPrint->toolTip(), QStringLiteral("Print"));
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void tovraQualityWarning_data()
    {
        QTest::addColumn<int>("quality");
        QTest::addColumn<bool>("warns");
        QTest::newRow("Low") << 0 << false;
        QTest::newRow("Medium") << 1 << true;
        QTest::newRow("High") << 2 << true;
    }
    void tovraQualityWarning()
    {
        QFETCH(int, quality);
        QFETCH(bool, warns);
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_Tovra")});
        kvMainWindow tWindow;
        QVERIFY(waitFor(
            [&] { return tWindow.currentPrinter() && tWindow.currentPrinter()->isConnected(); }));
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("few-lines.gcode")));
        auto *tQuality = tWindow.findChild<QComboBox *>(QStringLiteral("qualityComboBox"));
        tQuality->setCurrentIndex(quality);
        auto *tPrint = tWindow.findChild<QPushButton *>(QStringLiteral("pbPrint"));
        tPrint->click();
        QCOMPARE(tDialogs.requests.size(), warns ? 1 : 0);
        if (warns) {
            QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Filament Settings"));
            QCOMPARE(tDialogs.requests.first().kind, kvDialogs::Question);
        }
        // The unanswered warning means No.
        QCOMPARE(tPrint->toolTip(), warns ? QStringLiteral("Print") : QStringLiteral("Stop"));
        if (!warns)
            tPrint->click();
    }

    void printerStaysDuringPrint()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8"), QStringLiteral("Halvarn_8x8")});
        for (auto &tFirmware : tBench.firmwares)
            tFirmware->setReplyDelayMs(10);
        QTemporaryDir tDir;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 3; }));
        QVERIFY(startPrint(tWindow, writeGCode(tDir, 3000)));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        const int tIndex = tBench.indexOfPath(tPrinter->serialPortPath());
        const int tHandshakes = tBench.countOf(tIndex, QStringLiteral("M115"));
        QComboBox *tBox = printerBox(tWindow);
        const int tItem = tBox->currentIndex();
        QVERIFY(!tBox->isEnabled());
        QVERIFY(!child<QWidget>(tWindow, "connectToPrinterButton")->isEnabled());

        // Clicks and keys on the box and the connect button change nothing.
        click(tWindow, "connectToPrinterButton");
        QTest::mouseClick(tBox, Qt::LeftButton);
        QTest::keyClick(tBox, Qt::Key_Up);
        QCOMPARE(tBox->currentIndex(), tItem);
        QVERIFY(tPrinter->isConnected());

        // A choice that reaches the window all the same is refused: the heading, the
        // other printer, the printing printer again.
        for (int tChoice : {0, 3 - tItem, tItem}) {
            choose(tWindow, tChoice);
            QCOMPARE(tWindow.currentPrinter(), tPrinter);
            QCOMPARE(tBox->currentIndex(), tItem);
            QCOMPARE(tWindow.statusMessage(),
                QStringLiteral("Stop the print before choosing another printer."));
        }
        QVERIFY(tPrinter->isPrinting());
        QVERIFY(tPrinter->isConnected());
        QCOMPARE(tBench.countOf(tIndex, QStringLiteral("M115")), tHandshakes);
        for (kvPrinter *tOther : tWindow.printers())
            QVERIFY(tOther == tPrinter || !tOther->isConnected());

        // Stop frees them again.
        click(tWindow, "pbPrint");
        QCOMPARE(printTip(tWindow), QStringLiteral("Print"));
        QVERIFY(!tPrinter->isPrinting());
        QVERIFY(tBox->isEnabled());
        QVERIFY(child<QWidget>(tWindow, "connectToPrinterButton")->isEnabled());
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void otherPrintersEndDoesNotStopThePrint()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8"), QStringLiteral("Halvarn_8x8")});
        for (auto &tFirmware : tBench.firmwares)
            tFirmware->setReplyDelayMs(10);
        QTemporaryDir tDir;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 3; }));
        QVERIFY(startPrint(tWindow, writeGCode(tDir, 3000)));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        kvPrinter *tOther = tWindow.printers().at(tWindow.printers().at(0) == tPrinter ? 1 : 0);
        auto *tBar = child<QProgressBar>(tWindow, "progressBar");
        QVERIFY(waitFor([&] { return counterShown(tWindow); }));

        emit tOther->PrinterPrintingProgressChanged(77);
        QVERIFY(tBar->value() != 77);
        const int tIndex = tBench.indexOfPath(tPrinter->serialPortPath());
        const int tFrom = tBench.firmwares[tIndex]->lineCount();
        emit tOther->PrintProcessFinished();
        QCOMPARE(printTip(tWindow), QStringLiteral("Stop"));
        QVERIFY(tPrinter->isPrinting());
        QVERIFY(counterShown(tWindow));
        QVERIFY(drain(tPrinter, tBench.firmwares[tIndex].get()));
        QVERIFY(!tBench.sentFromContains(tIndex, tFrom, QStringLiteral("M84")));
        click(tWindow, "pbPrint");
    }

    void printEndsByItself()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvFakeFirmware *tFirmware = tBench.firmwares[0].get();
        QTemporaryDir tDir;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        pick(printerBox(tWindow), 1);
        kvPrinter *tPrinter = tWindow.currentPrinter();
        QVERIFY(tPrinter);
        QVERIFY(waitFor([&] { return tPrinter->isConnected(); }));
        tWindow.loadModel(writeGCode(tDir, 20));
        click(tWindow, "pbPrint");
        QVERIFY(waitFor([&] {
            QMetaObject::invokeMethod(tPrinter, "onCheckHeatTimerTick", Q_ARG(bool, true));
            return tFirmware->indexOfLine(QStringLiteral("G1 X29 Y10 E19")) >= 0;
        }));
        // Ended the way Stop ends a print: the stop sequence after the last line.
        QVERIFY(tFirmware->waitForLine(QStringLiteral("M84"), 20000,
            tFirmware->indexOfLine(QStringLiteral("G1 X29 Y10 E19"))));
        QVERIFY(waitFor([&] { return !tPrinter->isPrinting(); }));
        QCOMPARE(printTip(tWindow), QStringLiteral("Print"));
        QVERIFY(!counterShown(tWindow));
        QCOMPARE(child<QProgressBar>(tWindow, "progressBar")->value(), 0);
        QVERIFY(printerBox(tWindow)->isEnabled());
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void pausedPrintKeepsTheWindow()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvFakeFirmware *tFirmware = tBench.firmwares[0].get();
        tFirmware->setReplyDelayMs(10);
        QTemporaryDir tDir;
        kvMainWindow tWindow;
        QVERIFY(startPrint(tWindow, writeGCode(tDir, 3000)));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        kvPrinterFile *tFile = tWindow.printerFile();
        QVERIFY(tFirmware->waitForLine(QStringLiteral("G1 X10 Y10 E0")));

        // The printer's pause button: the print is still under way for the window.
        tFirmware->sendButtonCode(kvFakeFirmware::ButtonPause);
        QVERIFY(waitFor([&] { return tPrinter->isPaused(); }));
        QVERIFY(drain(tPrinter, tFirmware));
        QCOMPARE(printTip(tWindow), QStringLiteral("Stop"));
        QVERIFY(!printerBox(tWindow)->isEnabled());
        QVERIFY(!child<QWidget>(tWindow, "connectToPrinterButton")->isEnabled());
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        QCOMPARE(tWindow.printerFile(), tFile);
        QCOMPARE(tWindow.statusMessage(),
            QStringLiteral("Stop the print before loading another model."));
        tWindow.findChild<QAction *>(QStringLiteral("fileMenuClearModel"))->trigger();
        QCOMPARE(tWindow.printerFile(), tFile);
        QCOMPARE(tPrinter->currentPrinterFile(), tFile);

        // Resumed, the same print goes on from the line after the last one sent.
        const QStringList tBefore = tFirmware->lines();
        int tLast = -1;
        for (const QString &tLine : tBefore)
            if (tLine.startsWith(QStringLiteral("G1 X")))
                tLast = tLine.section(QLatin1Char('E'), 1).toInt();
        QVERIFY(tLast >= 0);
        const int tFrom = tFirmware->lineCount();
        tFirmware->sendButtonCode(kvFakeFirmware::ButtonResume);
        QVERIFY(tFirmware->waitForLine(
            [](const QString &pLine) { return pLine.startsWith(QStringLiteral("G1 X")); }, 20000,
            tFrom));
        const QStringList tAfter = tFirmware->linesFrom(tFrom);
        const QString tNext = *std::find_if(tAfter.begin(), tAfter.end(),
            [](const QString &pLine) { return pLine.startsWith(QStringLiteral("G1 X")); });
        QCOMPARE(tNext.section(QLatin1Char('E'), 1).toInt(), tLast + 1);
        QVERIFY(!tAfter.contains(QStringLiteral("M114")));
        QVERIFY(!tAfter.contains(QStringLiteral("G21")));
        QVERIFY(tPrinter->isPrinting());
        QCOMPARE(printTip(tWindow), QStringLiteral("Stop"));

        // Paused again, a click on the button stops the print; nothing starts again.
        tFirmware->sendButtonCode(kvFakeFirmware::ButtonPause);
        QVERIFY(waitFor([&] { return tPrinter->isPaused(); }));
        QVERIFY(drain(tPrinter, tFirmware));
        const int tStop = tFirmware->lineCount();
        click(tWindow, "pbPrint");
        QVERIFY(tFirmware->waitForLine(QStringLiteral("M84"), 20000, tStop));
        QVERIFY(drain(tPrinter, tFirmware));
        QVERIFY(!tFirmware->linesFrom(tStop).contains(QStringLiteral("M114")));
        QVERIFY(!tPrinter->isPrinting());
        QCOMPARE(printTip(tWindow), QStringLiteral("Print"));
        QVERIFY(!counterShown(tWindow));

        // Stopped, the window is free again.
        QVERIFY(printerBox(tWindow)->isEnabled());
        const QString tCube = KvTest::dataPath(QStringLiteral("cube10.stl"));
        tWindow.loadModel(tCube);
        QCOMPARE(tWindow.printerFile()->fileName(), tCube);
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void cancelOnThePrinterFreesTheWindow()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvFakeFirmware *tFirmware = tBench.firmwares[0].get();
        tFirmware->setReplyDelayMs(10);
        QTemporaryDir tDir;
        kvMainWindow tWindow;
        QVERIFY(startPrint(tWindow, writeGCode(tDir, 3000)));
        QVERIFY(waitFor([&] { return counterShown(tWindow); }));
        const int tFrom = tFirmware->lineCount();
        tFirmware->sendButtonCode(kvFakeFirmware::ButtonCancel);
        QVERIFY(tFirmware->waitForLine(QStringLiteral("M84"), 20000, tFrom));
        QVERIFY(waitFor([&] { return printTip(tWindow) == QStringLiteral("Print"); }));
        QVERIFY(!counterShown(tWindow));
        QVERIFY(printerBox(tWindow)->isEnabled());
        const QString tCube = KvTest::dataPath(QStringLiteral("cube10.stl"));
        tWindow.loadModel(tCube);
        QCOMPARE(tWindow.printerFile()->fileName(), tCube);
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void lostPrinterFreesTheWindowAndIsFoundAgain()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        tBench.firmwares[0]->setReplyDelayMs(10);
        QTemporaryDir tDir;
        kvMainWindow tWindow;
        QVERIFY(startPrint(tWindow, writeGCode(tDir, 3000)));
        QPointer<kvPrinter> tPrinter = tWindow.currentPrinter();
        QVERIFY(!tWindow.isPollingPrinters());
        QVERIFY(waitFor([&] { return counterShown(tWindow); }));

        tBench.unplug(0);
        QVERIFY(waitFor([&] { return printTip(tWindow) == QStringLiteral("Print"); }));
        // Back to idle by itself: no counter, no progress, and the window works.
        QVERIFY(!counterShown(tWindow));
        QCOMPARE(child<QProgressBar>(tWindow, "progressBar")->value(), 0);
        QVERIFY(printerBox(tWindow)->isEnabled());
        const QString tCube = KvTest::dataPath(QStringLiteral("cube10.stl"));
        tWindow.loadModel(tCube);
        QCOMPARE(tWindow.printerFile()->fileName(), tCube);

        // Discovery looks again and finds the printer when it comes back.
        QVERIFY(!tWindow.currentPrinter());
        QVERIFY(tWindow.isPollingPrinters());
        QVERIFY(waitFor([&] { return tPrinter.isNull(); }, 20000));
        QCOMPARE(printerBox(tWindow)->count(), 1);
        tBench.replug(0);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        pick(printerBox(tWindow), 1);
        QVERIFY(waitFor(
            [&] { return tWindow.currentPrinter() && tWindow.currentPrinter()->isConnected(); }));
        QVERIFY(!tWindow.isPollingPrinters());
        QVERIFY(tDialogs.requests.isEmpty());
    }

    // A device unplugged while it is probed is probed again when it comes back.
    void lostWhileProbedIsProbedAgain()
    {
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvFakeFirmware *tFirmware = tBench.firmwares[0].get();
        tFirmware->setSilent(true);
        kvMainWindow tWindow;
        kvPrinter *tPrinter = nullptr;
        QVERIFY(waitFor([&] {
            tPrinter = tWindow.printers().value(0);
            return tPrinter != nullptr;
        }));
        tPrinter->setConnectTimeOutInterval(1000);
        QVERIFY(tFirmware->waitForLine(QStringLiteral("M115"), 20000));
        tBench.unplug(0);
        QVERIFY(waitFor([&] {
            return tPrinter->statusString().startsWith(QLatin1String("Lost the connection"));
        }));
        tBench.replug(0);
        QVERIFY(tFirmware->waitForLine(QStringLiteral("M115"), 20000, tFirmware->lineCount()));
    }

    // A printer that is gone shows no temperatures: the read-outs are those of no printer.
    void lostPrinterClearsReadOuts()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvFakeFirmware *tFirmware = tBench.firmwares[0].get();
        tFirmware->setTemperature(0, 230.0);
        tFirmware->setTemperature(-1, 110.0);
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        pick(printerBox(tWindow), 1);
        kvPrinter *tPrinter = tWindow.currentPrinter();
        QVERIFY(tPrinter);
        QVERIFY(waitFor([&] {
            QMetaObject::invokeMethod(tPrinter, "onCheckHeatTimerTick", Q_ARG(bool, true));
            return child<QLabel>(tWindow, "extruder0TempLabel")->text().startsWith("230");
        }));
        QVERIFY(child<QLabel>(tWindow, "lBedTemp")->text().startsWith(QStringLiteral("110")));

        tBench.unplug(0);
        QVERIFY(waitFor([&] { return !tWindow.currentPrinter(); }));
        QVERIFY(tWindow.statusMessage().startsWith(QStringLiteral("Lost the connection")));
        for (const char *tName :
            {"extruder0TempLabel", "extruder0DesiredTempLabel", "lBedTemp", "lBedTemp_2"})
            QCOMPARE(child<QLabel>(tWindow, tName)->text(), QStringLiteral("0 \u00B0C"));
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void stopAfterLinkEndedThePrint()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        tBench.firmwares[0]->setReplyDelayMs(10);
        QTemporaryDir tDir;
        kvMainWindow tWindow;
        QVERIFY(startPrint(tWindow, writeGCode(tDir, 3000)));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        // The port stays listed: only the link went down.
        tBench.firmwares[0]->hangUp();
        QVERIFY(waitFor([&] { return !tPrinter->isConnected(); }));
        QCOMPARE(tWindow.currentPrinter(), tPrinter);
        QCOMPARE(printTip(tWindow), QStringLiteral("Print"));
        QVERIFY(!counterShown(tWindow));
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void closingMidPrintAsks_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void closingMidPrintAsks()
    {
        QFETCH(bool, yes);
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        tBench.firmwares[0]->setReplyDelayMs(10);
        QTemporaryDir tDir;
        kvMainWindow tWindow;
        QVERIFY(startPrint(tWindow, writeGCode(tDir, 3000)));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        kvFakeFirmware *tFirmware = tBench.firmwares[0].get();
        const int tFrom = tFirmware->lineCount();
        tDialogs.answers << yes;
        QCOMPARE(tWindow.close(), yes);
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Exit Kestrova"));
        QCOMPARE(tDialogs.requests.first().text,
            QStringLiteral("You are currently printing a model, are you sure you wish to exit "
                           "Kestrova?"));
        if (!yes) {
            QVERIFY(tWindow.isVisible());
            QVERIFY(tPrinter->isPrinting());
            QVERIFY(tPrinter->isConnected());
            click(tWindow, "pbPrint");
            return;
        }
        QVERIFY(!tPrinter->isPrinting());
        QVERIFY(!tPrinter->isConnected());
        // The stop sequence first, then the heaters off.
        QVERIFY(tFirmware->waitForLine(
            [](const QString &pLine) { return pLine.startsWith(QStringLiteral("M140 S0")); }, 20000,
            tFrom));
        const QStringList tSent = tFirmware->linesFrom(tFrom);
        const int tStop = tSent.indexOf(QStringLiteral("M84"));
        int tCool = -1;
        for (int i = 0; i < tSent.size() && tCool < 0; ++i)
            if (tSent[i].startsWith(QStringLiteral("M104 S0")))
                tCool = i;
        QVERIFY2(tStop >= 0 && tCool > tStop, qPrintable(tSent.join(QLatin1Char('|'))));
    }

    void coolingMidPrintAsks_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void coolingMidPrintAsks()
    {
        QFETCH(bool, yes);
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        tBench.firmwares[0]->setReplyDelayMs(10);
        QTemporaryDir tDir;
        kvMainWindow tWindow;
        QVERIFY(startPrint(tWindow, writeGCode(tDir, 3000)));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        const int tFrom = tBench.firmwares[0]->lineCount();
        tDialogs.answers << yes;
        click(tWindow, "heatPrinterButton");
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().kind, kvDialogs::Question);
        QCOMPARE(tDialogs.requests.first().defaultButton, kvDialogs::DefaultNo);
        QVERIFY(drain(tPrinter, tBench.firmwares[0].get()));
        QCOMPARE(tBench.sentFromContains(0, tFrom, QStringLiteral("M140 S0")), yes);
        QCOMPARE(tBench.sentFromContains(0, tFrom, QStringLiteral("M104 S0")), yes);
        QVERIFY(tPrinter->isPrinting());
        click(tWindow, "pbPrint");
    }

    void connectButton()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        // Without a printer chosen the button does nothing.
        click(tWindow, "connectToPrinterButton");
        QCOMPARE(tWindow.statusMessage(), QStringLiteral("No Connection To Printer!"));
        pick(printerBox(tWindow), 1);
        kvPrinter *tPrinter = tWindow.currentPrinter();
        QVERIFY(tPrinter);
        QVERIFY(waitFor([&] { return tPrinter->isConnected(); }));
        QCOMPARE(tWindow.statusMessage(), QStringLiteral("Connected To Printer!"));

        click(tWindow, "connectToPrinterButton");
        QVERIFY(!tPrinter->isConnected());
        QCOMPARE(tWindow.statusMessage(), QStringLiteral("No Connection To Printer!"));
        QVERIFY(waitFor([&] { return !tBench.firmwares[0]->isHostAttached(); }, 20000));
        // A user's disconnection is not a lost printer.
        QCOMPARE(tWindow.currentPrinter(), tPrinter);
        QVERIFY(!tWindow.isPollingPrinters());

        const int tFrom = tBench.firmwares[0]->lineCount();
        click(tWindow, "connectToPrinterButton");
        QVERIFY(tBench.firmwares[0]->waitForLine(QStringLiteral("M115"), 20000, tFrom));
        QVERIFY(waitFor([&] { return tPrinter->isConnected(); }));
        QCOMPARE(tWindow.statusMessage(), QStringLiteral("Connected To Printer!"));
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void choosingWithModelLoaded()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_Tovra")});
        kvMainWindow tWindow;
        // Loaded before the printer is identified and chosen.
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        kvPrinterFile *tFile = tWindow.printerFile();
        kvSlic3rConfig *tConfig = tFile->slic3rConfig();
        QStringList tPrinterSteps;
        QStringList tPrintSteps;
        connect(tConfig, &kvSlic3rConfig::ConfigChanged, this, [&] {
            tPrinterSteps << tConfig->PrinterIni();
            tPrintSteps << tConfig->PrintIni();
        });
        QVERIFY(waitFor([&] { return tWindow.currentPrinter() != nullptr; }));
        kvPrinter *tPrinter = tWindow.currentPrinter();
        QCOMPARE(tPrinter->currentPrinterFile(), tFile);
        kvPrinterSettings *tSettings = tPrinter->settings();
        QVERIFY(tSettings);
        QVERIFY(!tSettings->slic3rPrinterSetting().isEmpty());
        QCOMPARE(tConfig->PrinterIni(), tSettings->slic3rPrinterSetting());
        QCOMPARE(tConfig->FilamentIni(), tSettings->slic3rFilamentSetting());
        QCOMPARE(tConfig->PrintIni(), QStringLiteral("Halvarn Tovra Low.ini"));
        // The printer's profiles are in place before the quality is chosen for it.
        const int tPrinterSet = tPrinterSteps.indexOf(tSettings->slic3rPrinterSetting());
        const int tQualitySet = tPrintSteps.indexOf(QStringLiteral("Halvarn Tovra Low.ini"));
        QVERIFY2(tPrinterSet >= 0 && tQualitySet > tPrinterSet,
            qPrintable(tPrinterSteps.join(QLatin1Char('|')) + QStringLiteral(" / ")
                + tPrintSteps.join(QLatin1Char('|'))));
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void filamentHeatAndReadOuts()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvFakeFirmware *tFirmware = tBench.firmwares[0].get();
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        pick(printerBox(tWindow), 1);
        kvPrinter *tPrinter = tWindow.currentPrinter();
        QVERIFY(tPrinter);
        QVERIFY(waitFor([&] { return tPrinter->isConnected(); }));
        auto *tDesired = child<QLabel>(tWindow, "extruder0DesiredTempLabel");

        auto *tFilament = child<QComboBox>(tWindow, "filamentBox");
        QCOMPARE(tFilament->currentText(), QStringLiteral("ABS"));
        const float tAbs = tPrinter->extruderDesiredTemp(0);
        pick(tFilament, 1);
        QCOMPARE(tPrinter->filamentType(), Kv::Defines::FilamentTypePLA);
        const float tTarget = tPrinter->extruderDesiredTemp(0);
        QVERIFY(tTarget > 0.0f && tTarget != tAbs);
        QCOMPARE(tDesired->text(), QString::number(tTarget, 'g', 6) + QStringLiteral(" \u00B0C"));

        // The read-out follows the printer's reports.
        tFirmware->setTemperature(0, 123.5);
        auto *tCurrent = child<QLabel>(tWindow, "extruder0TempLabel");
        QVERIFY(waitFor([&] {
            QMetaObject::invokeMethod(tPrinter, "onCheckHeatTimerTick", Q_ARG(bool, true));
            return tCurrent->text() == QStringLiteral("123.5 \u00B0C");
        }));

        // Heat: the target goes out.
        int tFrom = tFirmware->lineCount();
        click(tWindow, "heatPrinterButton");
        QVERIFY(tPrinter->isHeating() || tPrinter->isHeated());
        QVERIFY(tFirmware->waitForLine(
            [&](const QString &pLine) {
                return pLine.startsWith(QStringLiteral("M104 S") + QString::number(tTarget));
            },
            20000, tFrom));
        // A second click cools, with no question while nothing prints.
        tFrom = tFirmware->lineCount();
        click(tWindow, "heatPrinterButton");
        QVERIFY(tFirmware->waitForLine(
            [](const QString &pLine) { return pLine.startsWith(QStringLiteral("M104 S0")); }, 20000,
            tFrom));
        QVERIFY(!tPrinter->isHeating() && !tPrinter->isHeated());
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void changeWhileSlicingSlicesAgain_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("rotation typed") << 0;
        QTest::newRow("quality chosen") << 1;
        QTest::newRow("scale stepped") << 2;
    }
    void changeWhileSlicingSlicesAgain()
    {
        QFETCH(int, change);
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        pick(printerBox(tWindow), 1);
        kvPrinter *tPrinter = tWindow.currentPrinter();
        QVERIFY(tPrinter);
        QVERIFY(waitFor([&] { return tPrinter->isConnected(); }));
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        kvPrinterFile *tFile = tWindow.printerFile();
        QSignalSpy tParsed(tFile, &kvPrinterFile::GCodeParseComplete);
        click(tWindow, "pbPrint");
        QVERIFY(tFile->isSlicing());
        if (change == 0)
            QTest::keyClicks(child<QLineEdit>(tWindow, "leXRot"), QStringLiteral("5"));
        else if (change == 1)
            pick(child<QComboBox>(tWindow, "qualityComboBox"), 1);
        else
            QTest::keyClick(child<QWidget>(tWindow, "sbScale"), Qt::Key_Up);
        QVERIFY(tFile->isSlicing());

        // The slice made before the change is not printed: a new one runs.
        QVERIFY(waitFor([&] { return !tParsed.isEmpty(); }, 60000));
        QVERIFY(!tPrinter->currentPrinterFile());
        QVERIFY(tFile->isSlicing());
        QVERIFY(waitFor([&] { return tParsed.size() == 2; }, 60000));
        QVERIFY(tFile->isSliced());
        QCOMPARE(tPrinter->currentPrinterFile(), tFile);
        QVERIFY(tPrinter->isWaitingToPrint() || tPrinter->isPrinting());
        if (change == 1)
            QVERIFY(tFile->slic3rConfig()->PrintIni().endsWith(QStringLiteral("Medium.ini")));
        click(tWindow, "pbPrint");
        QCOMPARE(printTip(tWindow), QStringLiteral("Print"));
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void slicerFailureIsShown_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("shown");
        QTest::newRow("missing") << QByteArray() << false << QStringLiteral("Slic3r was not found");
        QTest::newRow("failing") << QByteArray("echo boom >&2\nexit 1\n") << false
                                 << QStringLiteral("exit code 1: boom");
        QTest::newRow("another copy slicing")
            << QByteArray("echo 'Done. Process took 0.1 seconds'\n") << true
            << QStringLiteral("Another Kestrova is slicing; try again when it has finished.");
    }
    void slicerFailureIsShown()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, locked);
        QFETCH(QString, shown);
        QProcess tOtherCopy;
        if (locked) {
            QVERIFY(QDir().mkpath(Kv::Paths::dataFolder()));
            QVERIFY(KvTest::startHelper(tOtherCopy, QStringLiteral("hold-lock"),
                {Kv::Paths::dataFolder() + QStringLiteral("/Kestrova.lock")}));
            QVERIFY(tOtherCopy.waitForReadyRead(8000));
        }
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        QTemporaryDir tDir;
        const QString tOldPath = Kv::Paths::Slic3rExe;
        const QByteArray tOldEnv = qgetenv("PATH");
        Kv::Paths::Slic3rExe = script.isEmpty() ? QStringLiteral("/nonexistent/Slic3r.app")
                                                : fakeSlicer(tDir, script);
        if (script.isEmpty())
            qputenv("PATH", tDir.path().toLocal8Bit());
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        pick(printerBox(tWindow), 1);
        kvPrinter *tPrinter = tWindow.currentPrinter();
        QVERIFY(tPrinter);
        QVERIFY(waitFor([&] { return tPrinter->isConnected(); }));
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        click(tWindow, "pbPrint");
        const bool tBack = waitFor([&] { return printTip(tWindow) == QStringLiteral("Print"); });
        const QString tStatus = tWindow.statusMessage();
        Kv::Paths::Slic3rExe = tOldPath;
        qputenv("PATH", tOldEnv);
        QVERIFY(tBack);
        QVERIFY2(tStatus.contains(shown), qPrintable(tStatus));
        if (script.isEmpty())
            QVERIFY2(
                tStatus.contains(QStringLiteral("/nonexistent/Slic3r.app")), qPrintable(tStatus));
        QVERIFY(!tPrinter->isWaitingToPrint() && !tPrinter->isPrinting());
        QVERIFY(!tPrinter->currentPrinterFile());
        QVERIFY(printerBox(tWindow)->isEnabled());
        QVERIFY(tDialogs.requests.isEmpty());
        if (locked) {
            tOtherCopy.closeWriteChannel();
            QVERIFY(tOtherCopy.waitForFinished(8000));
        }
    }

    void stopWhileSlicingWithTheLinkDown()
    {
        KvTest::DialogRecorder tDialogs;
        kvPortBench tBench({QStringLiteral("Halvarn_8x8")});
        QTemporaryDir tDir;
        const QString tOldPath = Kv::Paths::Slic3rExe;
        // A slicer that takes its time.
        Kv::Paths::Slic3rExe = fakeSlicer(tDir, "exec sleep 30\n");
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(waitFor([&] { return printerBox(tWindow)->count() == 2; }));
        pick(printerBox(tWindow), 1);
        kvPrinter *tPrinter = tWindow.currentPrinter();
        QVERIFY(tPrinter);
        QVERIFY(waitFor([&] { return tPrinter->isConnected(); }));
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        Kv::Paths::Slic3rExe = tOldPath;
        click(tWindow, "pbPrint");
        QVERIFY(tWindow.printerFile()->isSlicing());
        tBench.firmwares[0]->hangUp();
        QVERIFY(waitFor([&] { return !tPrinter->isConnected(); }));
        QCOMPARE(printTip(tWindow), QStringLiteral("Stop"));

        // Stop needs no printer: it ends the slice.
        click(tWindow, "pbPrint");
        QVERIFY(tDialogs.requests.isEmpty());
        QCOMPARE(printTip(tWindow), QStringLiteral("Print"));
        QVERIFY(!tWindow.printerFile()->isSlicing());
        QVERIFY(printerBox(tWindow)->isEnabled());
    }
};

KV_TEST_MAIN_WITH_HELPER(tst_mainwindow_discovery, runHelper)
#include "tst_mainwindow_discovery.moc"
