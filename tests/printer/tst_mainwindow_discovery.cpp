#include "kvDialogRecorder.h"
#include "kvFakeFirmware.h"
#include "kvLogger.h"
#include "kvMainWindow.h"
#include "kvPlatform.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"
#include "kvStartup.h"
#include "kvTestSupport.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

namespace {

// Simulated printers on ports whose names look like USB CDC devices.
class kvPortBench
{
public:
    explicit kvPortBench(const QStringList &pMachineTypes)
    {
        for (const QString &tType : pMachineTypes)
            add(tType);
        kvMainWindow::setPortProvider([this] {
            QVector<kvMainWindow::PortInfo> tPorts;
            for (const QString &tLink : qAsConst(links))
                tPorts.append({tLink, tLink, false});
            tPorts += extra;
            return tPorts;
        });
    }
    ~kvPortBench() { kvMainWindow::setPortProvider(nullptr); }

    kvFakeFirmware *add(const QString &pMachineType)
    {
        auto *tFirmware = new kvFakeFirmware;
        firmwares.emplace_back(tFirmware);
        if (!tFirmware->open())
            qFatal("no pty");
        tFirmware->setMachineType(pMachineType);
        const QString tLink
            = m_dir.filePath(QStringLiteral("ttyACM") + QString::number(links.size()));
        QFile::link(tFirmware->portPath(), tLink);
        links.append(tLink);
        return tFirmware;
    }
    bool sentFromContains(int pIndex, int pFrom, const QString &pStart) const
    {
        const QStringList tLines = firmwares[pIndex]->linesFrom(pFrom);
        for (const QString &tLine : tLines)
            if (tLine.startsWith(pStart))
                return true;
        return false;
    }
    int countOf(int pIndex, const QString &pLine) const
    {
        return firmwares[pIndex]->lines().count(pLine);
    }

    std::vector<std::unique_ptr<kvFakeFirmware>> firmwares;
    QStringList links;
    QVector<kvMainWindow::PortInfo> extra;

private:
    QTemporaryDir m_dir;
};

QComboBox *printerBox(kvMainWindow &pWindow)
{
    return pWindow.findChild<QComboBox *>(QStringLiteral("printerSelectionComboBox"));
}

bool waitFor(const std::function<bool()> &pDone, int pTimeoutMs = 8000)
{
    QElapsedTimer tTimer;
    tTimer.start();
    while (!pDone()) {
        if (tTimer.elapsed() > pTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Lets the window pick the chosen printer from the box as a user would.
void choose(kvMainWindow &pWindow, int pIndex)
{
    QComboBox *tBox = printerBox(pWindow);
    tBox->setCurrentIndex(pIndex);
    emit tBox->textActivated(tBox->currentText());
}

} // namespace

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
    void init()
    {
        // The window reads the table beside the executable; this one is the source's.
        kvPrinter::clearPrinterTypes();
        QFile::remove(
            QCoreApplication::applicationDirPath() + QStringLiteral("/kvPrinterSettings.ini"));
        QVERIFY(QFile::copy(QStringLiteral(KV_SOURCE_DIR "/resources/kvPrinterSettings.ini"),
            QCoreApplication::applicationDirPath() + QStringLiteral("/kvPrinterSettings.ini")));
    }

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
        QVERIFY(waitFor([&] { return tGone[0].isNull() && tGone[1].isNull(); }, 3000));
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
            [&] { return tBench.countOf(0, QStringLiteral("M115")) == 2; }, 3000));
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
        QVERIFY(tBench.firmwares[0]->waitForQuiet(100));
        int tFrom = tBench.firmwares[0]->lineCount();
        tWindow.findChild<QAction *>(QStringLiteral("extrude10mm"))->trigger();
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Active Extruder"));
        QVERIFY(tBench.firmwares[0]->waitForQuiet(100));
        QVERIFY(!tBench.sentFromContains(0, tFrom, QStringLiteral("T")));

        tBox->setCurrentIndex(2);
        emit tBox->textActivated(tBox->currentText());
        QCOMPARE(tWindow.currentPrinter()->activeExtruder(), Kv::Defines::ActiveExtruderSecond);
        tFrom = tBench.firmwares[0]->lineCount();
        tWindow.findChild<QAction *>(QStringLiteral("extrude10mm"))->trigger();
        QVERIFY(tBench.firmwares[0]->waitForLine(QStringLiteral("T1"), 3000, tFrom));
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
        QVERIFY(tBench.firmwares[0]->waitForQuiet(100));
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
        kvMainWindow tWindow;
        QVERIFY(tWindow.printers().isEmpty());
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
            [](const QString &pLine) { return pLine.startsWith(QStringLiteral("M140 S0")); }, 3000,
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
            [](const QString &pLine) { return pLine.startsWith(QStringLiteral("M140 S0")); }, 3000,
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
        QVERIFY(waitFor([&] { return !tBench.firmwares[0]->isHostAttached(); }, 3000));
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
            QTest::qWait(300);
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
};

KV_TEST_MAIN(tst_mainwindow_discovery)
#include "tst_mainwindow_discovery.moc"
