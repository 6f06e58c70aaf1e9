// The print road of the main window, event by event, on simulated printers: every order of
// Print, slice, heat, the printer's own buttons, Stop, end of file, cable and close leaves
// the window showing what the printer does, and each stopped print gets one stop sequence.
#include "kvDialogRecorder.h"
#include "kvMainWindowFixtures.h"
#include "kvPaths.h"
#include "kvPrinterConfig.h"
#include "kvPrinterFile.h"
#include "kvStartup.h"

#include <QAbstractButton>
#include <QAction>
#include <QIcon>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

using namespace KvTest;

namespace {

// The icon the print button shows, as an image to compare.
QImage iconImage(const QIcon &pIcon)
{
    return pIcon.pixmap(QSize(32, 32)).toImage();
}

// A stand-in slicer: each run is noted in pRuns; "ok" writes pGCode as its output,
// "gated" does so once the file pGate exists, "fail" ends with an error, "slow" takes its
// time.
QString stagedSlicer(const QTemporaryDir &pDir, const QString &pKind, const QString &pGCode,
    const QString &pRuns, const QString &pGate)
{
    QByteArray tBody = "echo run >> '" + pRuns.toLocal8Bit() + "'\n";
    if (pKind == QLatin1String("gated"))
        tBody += "while [ ! -e '" + pGate.toLocal8Bit() + "' ]; do sleep 0.05; done\n";
    if (pKind == QLatin1String("ok") || pKind == QLatin1String("gated"))
        tBody += "out=\nwhile [ $# -gt 0 ]; do [ \"$1\" = -o ] && out=\"$2\"; shift; done\n"
                 "echo Done\ncp '"
            + pGCode.toLocal8Bit() + "' \"$out\"\n";
    else if (pKind == QLatin1String("fail"))
        tBody += "echo boom >&2\nexit 1\n";
    else
        tBody += "exec sleep 30\n";
    return KvTest::writeProgram(pDir, QStringLiteral("slic3r"), tBody);
}

// An ASCII STL box of pX by pY by pZ millimetres.
QString writeBoxStl(const QTemporaryDir &pDir, float pX, float pY, float pZ)
{
    static const int tFaces[12][3][3]
        = {{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 0, 0}, {1, 1, 0}, {1, 0, 0}},
            {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}}, {{0, 0, 1}, {1, 1, 1}, {0, 1, 1}},
            {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}}, {{0, 0, 0}, {1, 0, 1}, {0, 0, 1}},
            {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}}, {{0, 1, 0}, {1, 1, 1}, {1, 1, 0}},
            {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}}, {{0, 0, 0}, {0, 1, 1}, {0, 1, 0}},
            {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}}, {{1, 0, 0}, {1, 1, 1}, {1, 0, 1}}};
    QByteArray tText("solid box\n");
    for (const auto &tFace : tFaces) {
        tText += "facet normal 0 0 0\nouter loop\n";
        for (const auto &tCorner : tFace)
            tText += "vertex " + QByteArray::number(tCorner[0] * pX) + ' '
                + QByteArray::number(tCorner[1] * pY) + ' ' + QByteArray::number(tCorner[2] * pZ)
                + '\n';
        tText += "endloop\nendfacet\n";
    }
    return KvTest::writeFile(pDir, QStringLiteral("box.stl"), tText + "endsolid box\n");
}

int runsOf(const QString &pRuns)
{
    return KvTest::readFile(pRuns).count("run");
}

// The main window with one chosen printer (or two printers) on simulated firmwares, a part
// loaded, and the steps of the print road as a user and a printer take them.
class kvPrintRoad
{
public:
    ~kvPrintRoad() { Kv::Paths::Slic3rExe = m_oldSlicer; }

    bool setUp(const QString &pPart, const QString &pSlicer, int pMoves, bool pTwoPrinters)
    {
        m_moves = qMax(pMoves, 1);
        const QString tGCode = writeGCode(m_dir, m_moves);
        runs = m_dir.filePath(QStringLiteral("runs"));
        m_gate = m_dir.filePath(QStringLiteral("gate"));
        m_oldSlicer = Kv::Paths::Slic3rExe;
        Kv::Paths::Slic3rExe = stagedSlicer(m_dir, pSlicer, tGCode, runs, m_gate);
        bench.reset(new kvPortBench(pTwoPrinters ? QStringList {"Halvarn_8x8", "Halvarn_8x8"}
                                                 : QStringList {"Halvarn_8x8"}));
        for (auto &tFirmware : bench->firmwares) {
            tFirmware->setReplyDelayMs(10);
            // The heaters reach their targets only when a step says so.
            tFirmware->setHeatingRate(0.01);
        }
        window.reset(new kvMainWindow);
        showControls(*window);
        // Generous waits: the sanitizer build on a busy machine is slow to identify.
        if (!waitFor([&] { return printerBox(*window)->count() == (pTwoPrinters ? 3 : 2); }, 20000))
            return fail("the printers were not listed");
        pick(printerBox(*window), 1);
        if (!waitFor(
                [&] { return window->currentPrinter() && window->currentPrinter()->isConnected(); },
                20000))
            return fail("the chosen printer was not identified");
        printer = window->currentPrinter();
        m_chosen = bench->indexOfPath(printer->serialPortPath());
        firmware = bench->firmwares[m_chosen].get();
        // "gcode", "stl" (a 10 mm cube), or the path of a part.
        window->loadModel(pPart == QLatin1String("gcode")
                ? tGCode
                : (pPart == QLatin1String("stl") ? KvTest::dataPath(QStringLiteral("cube10.stl"))
                                                 : pPart));
        if (!window->printerFile())
            return fail("the part did not load");
        m_parsed.reset(new QSignalSpy(window->printerFile(), &kvPrinterFile::GCodeParseComplete));
        m_failed.reset(new QSignalSpy(window->printerFile(), &kvPrinterFile::Slic3rError));
        from = firmware->lineCount();
        return true;
    }

    // What a firmware says for the steps "stopped" (Marlin 1.x stops on an error and answers
    // every line with an "ok" it ignores) and "refused" (Klipper refuses a move and goes on).
    static QString firmwareWords(const QString &pStep)
    {
        if (pStep == QLatin1String("stopped"))
            return QStringLiteral("Error:Printer stopped due to errors. Fix the error and use M999 "
                                  "to restart. (Temperature is reset. Set it after restarting)");
        if (pStep == QLatin1String("refused"))
            return QStringLiteral("!! Move out of range: 250.000 100.000 0.300 [10.000]");
        return QString();
    }

    // One step: print and stop (clicks on the print button), heated (the heaters reach
    // their targets), sliced (the slicer ends, and so does a slice made again), placement (an
    // angle typed while the part is sliced), pause, resume and cancel (the printer's buttons,
    // or "//action:" and the choice on the printer's screen), end (the last line goes out),
    // halt (the firmware's thermal fault), stopped and refused (firmwareWords), noise (line
    // noise before the firmware's next answer), unplug and replug (the cable), choose (the
    // other printer in the box), close (the window), exit (File > Exit); both answered Yes.
    // Each step waits for what it causes, never for a time.
    bool run(const QString &pStep)
    {
        if (pStep == QLatin1String("print")) {
            const int tRuns = runsOf(runs);
            click(*window, "pbPrint");
            // A slice has started once the slicer has noted its run.
            if (window->printState() == kvMainWindow::PrintState::Slicing)
                return waitFor([&] { return runsOf(runs) > tRuns; });
            // A cold print heats first: its heater lines reach the firmware.
            if (printer && printer->isWaitingToPrint())
                return firmware->waitFor([&] { return hasTargets(); });
        } else if (pStep == QLatin1String("stop")) {
            click(*window, "pbPrint");
        } else if (pStep == QLatin1String("heated")) {
            // The heaters reach their targets and the firmware reports so, unasked.
            if (!firmware->waitFor([&] { return hasTargets(); }))
                return fail("no heater targets");
            for (int tHeater : {-1, 0})
                firmware->setTemperature(tHeater, firmware->target(tHeater));
            const int tFrom = firmware->lineCount();
            firmware->sendLine(QString::fromLatin1(firmware->temperatureReport()));
            return waitFor([&] { return printer && printer->isPrinting(); }, 20000)
                && firmware->waitForLine(
                    [](const QString &pLine) { return pLine.startsWith(QStringLiteral("G1 X")); },
                    20000, tFrom);
        } else if (pStep == QLatin1String("sliced")) {
            QFile tGate(m_gate);
            tGate.open(QIODevice::WriteOnly);
            tGate.close();
            // Until the last slice has ended: one made again for a changed placement too.
            return waitFor(
                [&] {
                    return (!m_parsed->isEmpty() || !m_failed->isEmpty())
                        && !window->printerFile()->isSlicing();
                },
                30000);
        } else if (pStep == QLatin1String("placement")) {
            // An angle typed while the part is sliced: the slice under way is out of date.
            QTest::keyClicks(child<QLineEdit>(*window, "leZRot"), QStringLiteral("5"));
            return window->printerFile()->isSlicing();
        } else if (pStep == QLatin1String("pause")) {
            return pressButton(kvFakeFirmware::ButtonPause);
        } else if (pStep == QLatin1String("resume")) {
            return pressButton(kvFakeFirmware::ButtonResume);
        } else if (pStep == QLatin1String("cancel")) {
            return pressButton(kvFakeFirmware::ButtonCancel);
        } else if (pStep == QLatin1String("end")) {
            const QString tLast
                = QStringLiteral("G1 X%1 Y10 E%2").arg(10 + (m_moves - 1) % 50).arg(m_moves - 1);
            return firmware->waitForLine(tLast, 20000, from)
                && waitFor([&] { return !printer->isPrinting(); });
        } else if (pStep == QLatin1String("halt")) {
            firmware->sendHalt();
            return waitFor(
                [&] { return window->statusMessage().contains(QLatin1String("Printer halted")); });
        } else if (firmwareWords(pStep).size()) {
            // The firmware's error line, with whatever it goes on to do.
            firmware->sendLine(firmwareWords(pStep));
            return waitFor(
                [&] { return window->statusMessage().startsWith(firmwareWords(pStep)); });
        } else if (pStep.startsWith(QLatin1String("//action:"))) {
            // Chosen on the printer's own screen.
            if (!printer)
                return false;
            QSignalSpy tPressed(printer, &kvPrinter::ButtonPressed);
            firmware->sendLine(pStep);
            return tPressed.wait(20000);
        } else if (pStep == QLatin1String("jog")) {
            // Z up by 50 from the printer control window; Klipper refuses a move below 0.
            if (!printer)
                return false;
            firmware->setMoveLimits(QVector3D(200, 200, 200));
            QSignalSpy tStatus(printer, &kvPrinter::StatusChanged);
            click(*window, "printerConfigButton");
            kvPrinterConfig *tControls = printer->printerConfig();
            if (!tControls || !tControls->isVisible())
                return fail("no printer control window");
            for (const char *tButton : {"printControl50mmButton", "printControlZUpButton"})
                QTest::mouseClick(tControls->findChild<QAbstractButton *>(tButton), Qt::LeftButton);
            const auto tSaid = [&](const QString &pText) {
                for (const QList<QVariant> &tSignal : qAsConst(tStatus))
                    if (tSignal.at(1).toString().contains(pText))
                        return true;
                return false;
            };
            if (!waitFor([&] { return tSaid(QStringLiteral("!! Move out of range: ")); }))
                return fail("the refusal was not shown");
            tControls->close();
            return !tSaid(QStringLiteral("The print was stopped."));
        } else if (pStep == QLatin1String("reset")) {
            // The board resets mid-line (a power glitch; the USB link stays).
            firmware->sendResetCutting("echo:busy: proc");
            return waitFor([&] {
                return window->statusMessage()
                    == QLatin1String("The printer restarted; the print was stopped.");
            });
        } else if (pStep == QLatin1String("noise")) {
            firmware->setNoiseBeforeNextReply(10240);
        } else if (pStep == QLatin1String("unplug")) {
            bench->unplug(m_chosen);
            return waitFor([&] { return !window->currentPrinter(); });
        } else if (pStep == QLatin1String("replug")) {
            // The lost printer goes with the next poll; then the port comes back.
            if (!waitFor([&] { return printer.isNull(); }, 5000)
                || printerBox(*window)->count() != 1)
                return false;
            bench->replug(m_chosen);
            if (!waitFor([&] { return printerBox(*window)->count() == 2; }))
                return false;
            pick(printerBox(*window), 1);
            return waitFor([&] {
                return window->currentPrinter() && window->currentPrinter()->isConnected();
            });
        } else if (pStep == QLatin1String("choose")) {
            choose(*window, printerBox(*window)->currentIndex() == 1 ? 2 : 1);
        } else if (pStep == QLatin1String("close") || pStep == QLatin1String("exit")) {
            const int tFrom = firmware->lineCount();
            if (pStep == QLatin1String("close")) {
                if (!window->close())
                    return false;
            } else {
                // Exit ends the event loop; it runs here as in the program, so that the
                // loops of later waits are not ended at once.
                QTimer::singleShot(0, window.get(), [&] {
                    window->findChild<QAction *>(QStringLiteral("fileMenuExit"))->trigger();
                });
                if (QCoreApplication::exec() != 0)
                    return false;
            }
            // The heaters go off last.
            return firmware->waitForLine(QStringLiteral("M140 S0"), 5000, tFrom);
        } else {
            return false;
        }
        return true;
    }

    // Every line the chosen printer has to send has reached the firmware: a sentinel
    // "M400" behind them has arrived.
    bool drain()
    {
        if (!printer || !printer->isConnected())
            return true;
        const int tFrom = firmware->lineCount();
        printer->sendCommandToPrinter(QStringLiteral("M400"));
        return firmware->waitForLine(QStringLiteral("M400"), 20000, tFrom);
    }

    std::unique_ptr<kvPortBench> bench;
    std::unique_ptr<kvMainWindow> window;
    kvFakeFirmware *firmware = nullptr;
    QPointer<kvPrinter> printer;
    QString runs;
    int from = 0;

private:
    static bool fail(const char *pWhy)
    {
        qWarning("%s", pWhy);
        return false;
    }

    // The heater lines of a print have reached the firmware.
    bool hasTargets() const { return firmware->target(-1) > 0.0 && firmware->target(0) > 0.0; }

    // The printer's own button, once the printer has acted on it.
    bool pressButton(kvFakeFirmware::ButtonCode pCode)
    {
        if (!printer)
            return false;
        QSignalSpy tPressed(printer, &kvPrinter::ButtonPressed);
        firmware->sendButtonCode(pCode);
        return tPressed.wait(20000);
    }

    QTemporaryDir m_dir;
    QString m_oldSlicer;
    QString m_gate;
    int m_moves = 1;
    int m_chosen = 0;
    std::unique_ptr<QSignalSpy> m_parsed;
    std::unique_ptr<QSignalSpy> m_failed;
};

} // namespace

// The GL driver is built without frame pointers: a full unwind lets the leak check see
// its lifetime allocations as the driver's, which the suppressions cover.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

class tst_mainwindow_printstate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(Kv::Startup::prepare()); }
    void init() { QVERIFY(useSourcePrinterTypes()); }

    void eventsInAnyOrder_data()
    {
        // part: "gcode" (a ready print of `moves` moves) or "stl" (sliced by the stand-in).
        // Steps: print (a click on the print button), heated (the heaters reach their
        // targets), pause / resume / cancel (the printer's buttons), stop (a click on the
        // button), end (the last line goes out), unplug / replug (the cable), choose (the
        // other printer in the box), close (the window, answered Yes).
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("slicer");
        QTest::addColumn<int>("moves");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("state"); // the window's state at the end
        QTest::addColumn<int>("stops"); // stop sequences the firmware received
        QTest::addColumn<int>("starts"); // prints begun ("M114")
        QTest::addColumn<int>("slices"); // slicer runs

        const QStringList tRunning {"print", "heated"};
        QTest::newRow("cancel while paused")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"pause", "cancel"}) << "Idle" << 1 << 1
            << 0;
        QTest::newRow("cancel while paused, then Print")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"pause", "cancel", "print", "heated"})
            << "Printing" << 1 << 2 << 0;
        QTest::newRow("cancel while printing")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"cancel"}) << "Idle" << 1 << 1 << 0;
        QTest::newRow("pause then Stop")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"pause", "stop"}) << "Idle" << 1 << 1 << 0;
        QTest::newRow("pause, resume, end of file")
            << "gcode"
            << "ok" << 200 << (tRunning + QStringList {"pause", "resume", "end"}) << "Idle" << 1
            << 1 << 0;
        QTest::newRow("pause, then cable pulled")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"pause", "unplug"}) << "Idle" << 0 << 1
            << 0;
        QTest::newRow("pause, cable pulled, replugged")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"pause", "unplug", "replug"}) << "Idle" << 0
            << 1 << 0;
        QTest::newRow("paused") << "gcode"
                                << "ok" << 3000 << (tRunning + QStringList {"pause"}) << "Paused"
                                << 0 << 1 << 0;
        QTest::newRow("paused, then resumed")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"pause", "resume"}) << "Printing" << 0 << 1
            << 0;
        QTest::newRow("Stop while printing")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"stop"}) << "Idle" << 1 << 1 << 0;
        QTest::newRow("end of file")
            << "gcode"
            << "ok" << 20 << (tRunning + QStringList {"end"}) << "Idle" << 1 << 1 << 0;
        QTest::newRow("end of file, then Print again at once")
            << "gcode"
            << "ok" << 20 << (tRunning + QStringList {"end", "print", "heated"}) << "Printing" << 1
            << 2 << 0;
        QTest::newRow("waiting for heat")
            << "gcode"
            << "ok" << 3000 << QStringList {"print"} << "Starting" << 0 << 0 << 0;
        QTest::newRow("cancel while waiting for heat")
            << "gcode"
            << "ok" << 3000 << QStringList {"print", "cancel"} << "Idle" << 0 << 0 << 0;
        QTest::newRow("Stop while waiting for heat")
            << "gcode"
            << "ok" << 3000 << QStringList {"print", "stop"} << "Idle" << 0 << 0 << 0;
        QTest::newRow("cable pulled while printing")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"unplug"}) << "Idle" << 0 << 1 << 0;
        QTest::newRow("another printer chosen while printing")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"choose"}) << "Printing" << 0 << 1 << 0;
        QTest::newRow("window closed while paused")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"pause", "close"}) << "Idle" << 1 << 1 << 0;
        QTest::newRow("Exit while printing")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"exit"}) << "Idle" << 1 << 1 << 0;
        QTest::newRow("slicing") << "stl"
                                 << "slow" << 0 << QStringList {"print"} << "Slicing" << 0 << 0
                                 << 1;
        QTest::newRow("Stop while slicing")
            << "stl"
            << "slow" << 0 << QStringList {"print", "stop"} << "Idle" << 0 << 0 << 1;
        QTest::newRow("cancel while slicing")
            << "stl"
            << "slow" << 0 << QStringList {"print", "cancel"} << "Idle" << 0 << 0 << 1;
        QTest::newRow("cable pulled while slicing")
            << "stl"
            << "slow" << 0 << QStringList {"print", "unplug"} << "Idle" << 0 << 0 << 1;
        QTest::newRow("slice failed")
            << "stl"
            << "fail" << 0 << QStringList {"print", "sliced"} << "Idle" << 0 << 0 << 1;
        QTest::newRow("sliced, then printed")
            << "stl"
            << "ok" << 3000 << QStringList {"print", "sliced", "heated"} << "Printing" << 0 << 1
            << 1;
        // A firmware that halts ends the print; its words stay on the status line.
        QTest::newRow("halt mid-print")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"halt"}) << "Idle" << 0 << 1 << 0;
        // The pause holds, whatever it meets: nothing on an idle printer, the print that
        // follows a slice, a print waiting for heat until it is resumed and heated.
        QTest::newRow("pause on an idle printer")
            << "gcode"
            << "ok" << 3000 << QStringList {"pause"} << "Idle" << 0 << 0 << 0;
        QTest::newRow("pause on an idle printer, then Print")
            << "gcode"
            << "ok" << 3000 << QStringList {"pause", "print", "heated"} << "Printing" << 0 << 1
            << 0;
        QTest::newRow("pause while slicing, then the slice ends")
            << "stl"
            << "gated" << 3000 << QStringList {"print", "pause", "sliced"} << "Paused" << 0 << 0
            << 1;
        QTest::newRow("pause while slicing, the slice ends, resume")
            << "stl"
            << "gated" << 3000 << QStringList {"print", "pause", "sliced", "resume", "heated"}
            << "Printing" << 0 << 1 << 1;
        // A slice made again for a placement changed while it ran keeps the pause; a resume
        // before the slice ends leaves nothing held.
        QTest::newRow("pause while slicing, placement changed, the slice ends")
            << "stl"
            << "gated" << 3000 << QStringList {"print", "pause", "placement", "sliced"} << "Paused"
            << 0 << 0 << 2;
        QTest::newRow("paused on the printer's screen while slicing, placement changed")
            << "stl"
            << "gated" << 3000 << QStringList {"print", "//action:pause", "placement", "sliced"}
            << "Paused" << 0 << 0 << 2;
        QTest::newRow("pause and resume while slicing, the slice ends")
            << "stl"
            << "gated" << 3000 << QStringList {"print", "pause", "resume", "sliced"} << "Starting"
            << 0 << 0 << 1;
        QTest::newRow("paused and resumed on the printer's screen while slicing")
            << "stl"
            << "gated" << 3000
            << QStringList {"print", "//action:pause", "//action:resume", "sliced", "heated"}
            << "Printing" << 0 << 1 << 1;
        QTest::newRow("pause and resume while slicing, placement changed")
            << "stl"
            << "gated" << 3000
            << QStringList {"print", "pause", "resume", "placement", "sliced", "heated"}
            << "Printing" << 0 << 1 << 2;
        QTest::newRow("pause and resume while heating, heat reached, end of file")
            << "gcode"
            << "ok" << 20 << QStringList {"print", "pause", "resume", "heated", "end"} << "Idle"
            << 1 << 1 << 0;
        // Other firmwares: a stopped Marlin 1.x ends the print as a halt does; a move Klipper
        // refuses spoils the part, and the print stops with the stop sequence.
        QTest::newRow("stopped firmware mid-print")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"stopped"}) << "Idle" << 0 << 1 << 0;
        QTest::newRow("a move refused mid-print")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"refused"}) << "Idle" << 1 << 1 << 0;
        // Stop, Pause and Resume on the printer's own screen act as its buttons.
        QTest::newRow("Stop on the printer's screen")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"//action:cancel"}) << "Idle" << 1 << 1
            << 0;
        QTest::newRow("paused and resumed on the printer's screen")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"//action:paused", "//action:resumed"})
            << "Printing" << 0 << 1 << 0;
        QTest::newRow("paused on the printer's screen while slicing, resumed")
            << "stl"
            << "gated" << 3000
            << QStringList {"print", "//action:pause", "sliced", "//action:resume", "heated"}
            << "Printing" << 0 << 1 << 1;
        QTest::newRow("paused on the printer's screen while slicing")
            << "stl"
            << "gated" << 3000 << QStringList {"print", "//action:pause", "sliced"} << "Paused" << 0
            << 0 << 1;
        // A firmware's own filament change on an idle printer that holds the file of a print
        // stopped before it began starts nothing; Stop on its screen ends a slice for a print.
        QTest::newRow("paused and resumed on the printer's screen, nothing under way")
            << "gcode"
            << "ok" << 3000 << QStringList {"print", "stop", "//action:paused", "//action:resumed"}
            << "Idle" << 0 << 0 << 0;
        QTest::newRow("Stop on the printer's screen while slicing")
            << "stl"
            << "slow" << 0 << QStringList {"print", "//action:cancel"} << "Idle" << 0 << 0 << 1;
        // A jog the firmware refuses leaves the print as it was.
        QTest::newRow("paused, a jog refused, resumed")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"pause", "jog", "resume"}) << "Printing"
            << 0 << 1 << 0;
        QTest::newRow("paused, a jog refused")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"pause", "jog"}) << "Paused" << 0 << 1 << 0;
        // A board that resets mid-line has forgotten the print: it ends, no stop sequence.
        QTest::newRow("board reset mid-print, after a cut line")
            << "gcode"
            << "ok" << 3000 << (tRunning + QStringList {"reset"}) << "Idle" << 0 << 1 << 0;
        // Line noise before an "ok" does not stall the print.
        QTest::newRow("noise before an ok")
            << "gcode"
            << "ok" << 20 << (tRunning + QStringList {"noise", "end"}) << "Idle" << 1 << 1 << 0;
        QTest::newRow("sliced part: Print, Stop, Print slices once")
            << "stl"
            << "ok" << 3000 << QStringList {"print", "sliced", "heated", "stop", "print", "heated"}
            << "Printing" << 1 << 2 << 1;
    }
    void eventsInAnyOrder()
    {
        QFETCH(QString, part);
        QFETCH(QString, slicer);
        QFETCH(int, moves);
        QFETCH(QStringList, steps);
        QFETCH(QString, state);
        QFETCH(int, stops);
        QFETCH(int, starts);
        QFETCH(int, slices);

        KvTest::DialogRecorder tDialogs;
        kvPrintRoad tRoad;
        QVERIFY(tRoad.setUp(part, slicer, moves, steps.contains(QStringLiteral("choose"))));
        kvMainWindow &tWindow = *tRoad.window;
        kvFakeFirmware *tFirmware = tRoad.firmware;
        QPointer<kvPrinter> tPrinter = tRoad.printer;
        const bool tTwo = tRoad.bench->firmwares.size() == 2;
        const int tFrom = tRoad.from;
        for (const QString &tStep : qAsConst(steps)) {
            if (tStep == QLatin1String("close") || tStep == QLatin1String("exit"))
                tDialogs.answers << true;
            QVERIFY2(tRoad.run(tStep), qPrintable(tStep));
        }

        // What the window shows.
        QVERIFY(tRoad.drain());
        QCOMPARE(kvMainWindow::printStateName(tWindow.printState()), state);
        // A firmware's error stays on the status line, and the print is said to be stopped.
        for (const QString &tStep : qAsConst(steps)) {
            const QString tWords = tStep == QLatin1String("halt")
                ? QStringLiteral("Error:Printer halted. kill() called!")
                : kvPrintRoad::firmwareWords(tStep);
            if (tWords.isEmpty())
                continue;
            QVERIFY2(
                tWindow.statusMessage().startsWith(tWords), qPrintable(tWindow.statusMessage()));
            QVERIFY2(tWindow.statusMessage().endsWith(QLatin1String("The print was stopped.")),
                qPrintable(tWindow.statusMessage()));
        }
        const bool tIdle = state == QLatin1String("Idle");
        auto *tButton = child<QPushButton>(tWindow, "pbPrint");
        QCOMPARE(tButton->toolTip(), tIdle ? QStringLiteral("Print") : QStringLiteral("Stop"));
        QCOMPARE(iconImage(tButton->icon()),
            iconImage(QIcon(tIdle ? QStringLiteral(":/icons/print-btn.png")
                                  : QStringLiteral(":/icons/stop-print-btn.png"))));
        QCOMPARE(printerBox(tWindow)->isEnabled(), tIdle);
        QCOMPARE(child<QWidget>(tWindow, "connectToPrinterButton")->isEnabled(), tIdle);
        if (tIdle)
            QVERIFY(!counterShown(tWindow));
        if (tTwo)
            QCOMPARE(tWindow.currentPrinter(), tPrinter.data());

        // What was sent: one stop sequence per stopped print, one start per print.
        const QStringList tSent = tFirmware->linesFrom(tFrom);
        QCOMPARE(tSent.count(QStringLiteral("M84")), stops);
        QCOMPARE(tSent.count(QStringLiteral("G28 X0")), stops);
        QCOMPARE(tSent.count(QStringLiteral("M114")), starts);
        QCOMPARE(runsOf(tRoad.runs), slices);
        // No line of the print goes out before a print begins (its file's first line).
        if (starts == 0)
            QVERIFY(!tSent.contains(QStringLiteral("G21")));
        QVERIFY(tPrinter.isNull() || !tPrinter->isPaused() || state == QLatin1String("Paused"));
        // A pause shown is the printer's own, and a print never begun sent none of its moves.
        QCOMPARE(!tPrinter.isNull() && tPrinter->isPaused(), state == QLatin1String("Paused"));
        if (starts == 0)
            for (const QString &tLine : tSent)
                QVERIFY2(!tLine.startsWith(QStringLiteral("G1 X")), qPrintable(tLine));

        // Save STL writes the file a slice reads: refused while a print is under way.
        if (!tIdle) {
            tWindow.findChild<QAction *>(QStringLiteral("fileMenuSaveSTL"))->trigger();
            QCOMPARE(
                tWindow.statusMessage(), QStringLiteral("Stop the print before saving the model."));
        }

        // What Load does: refused while a print is under way, before a file is chosen, in a
        // box; the part kept.
        kvPrinterFile *tFile = tWindow.printerFile();
        const int tAsked = tDialogs.requests.size();
        if (tIdle)
            tDialogs.answers << KvTest::dataPath(QStringLiteral("few-lines.gcode"));
        tWindow.findChild<QAction *>(QStringLiteral("fileMenuLoadModel"))->trigger();
        QCOMPARE(tDialogs.requests.size(), tAsked + 1);
        if (tIdle) {
            QVERIFY(tWindow.printerFile() != tFile);
            QVERIFY(tWindow.printerFile()->fileName().endsWith(QStringLiteral("few-lines.gcode")));
        } else {
            QCOMPARE(tWindow.printerFile(), tFile);
            QCOMPARE(tDialogs.requests.last().kind, kvDialogs::Message);
            QCOMPARE(tDialogs.requests.last().title, QStringLiteral("Load Model"));
            QCOMPARE(tDialogs.requests.last().text,
                QStringLiteral("Stop the print before loading another model."));
        }

        // Stop ends whatever is left with at most the one stop sequence it owes: only a
        // print that has streamed owes one.
        if (!tIdle) {
            const bool tOwes = tPrinter
                && (tPrinter->printState() == kvPrinter::PrintState::Printing
                    || tPrinter->printState() == kvPrinter::PrintState::Paused);
            QVERIFY(tRoad.run(QStringLiteral("stop")));
            QVERIFY(tRoad.drain());
            QCOMPARE(tButton->toolTip(), QStringLiteral("Print"));
            QCOMPARE(
                tFirmware->linesFrom(tFrom).count(QStringLiteral("M84")), stops + (tOwes ? 1 : 0));
        }
        // No box on the way: only the file chooser and the question of a close.
        for (const kvDialogs::Request &tRequest : qAsConst(tDialogs.requests))
            QVERIFY2(tRequest.kind == kvDialogs::OpenFile
                    || tRequest.title == QLatin1String("Exit Kestrova")
                    || (tRequest.title == QLatin1String("Load Model") && !tIdle),
                qPrintable(tRequest.title + QStringLiteral(": ") + tRequest.text));
    }

    // Print on a part larger than the printer's volume asks first, default No; No leaves
    // everything as it was: nothing sliced, nothing heated.
    void partLargerThanThePrinterAsks_data()
    {
        QTest::addColumn<float>("width");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("asks");
        QTest::newRow("too large, No") << 250.0f << false << true;
        QTest::newRow("too large, Yes") << 250.0f << true << true;
        QTest::newRow("fits") << 150.0f << false << false;
    }
    void partLargerThanThePrinterAsks()
    {
        QFETCH(float, width);
        QFETCH(bool, yes);
        QFETCH(bool, asks);
        QTemporaryDir tDir;
        const QString tPart = writeBoxStl(tDir, width, width, 10.0f);
        KvTest::DialogRecorder tDialogs;
        kvPrintRoad tRoad;
        QVERIFY(tRoad.setUp(tPart, QStringLiteral("slow"), 0, false));
        const int tFrom = tRoad.firmware->lineCount();
        if (asks)
            tDialogs.answers << yes;
        click(*tRoad.window, "pbPrint");
        QCOMPARE(tDialogs.requests.size(), asks ? 1 : 0);
        if (asks) {
            const kvDialogs::Request tQuestion = tDialogs.requests.first();
            QCOMPARE(tQuestion.kind, kvDialogs::Question);
            QCOMPARE(tQuestion.defaultButton, kvDialogs::DefaultNo);
            const QString tSize = QString::number(double(width)) + QStringLiteral(" \u00D7 ")
                + QString::number(double(width)) + QStringLiteral(" \u00D7 10 mm");
            QVERIFY2(tQuestion.text.contains(tSize), qPrintable(tQuestion.text));
            QVERIFY2(tQuestion.text.contains(QStringLiteral("200 \u00D7 200 \u00D7 200 mm")),
                qPrintable(tQuestion.text));
        }
        const bool tGoesOn = !asks || yes;
        QCOMPARE(tRoad.window->printState(),
            tGoesOn ? kvMainWindow::PrintState::Slicing : kvMainWindow::PrintState::Idle);
        if (tGoesOn)
            QVERIFY(waitFor([&] { return runsOf(tRoad.runs) == 1; }));
        QVERIFY(tRoad.drain());
        QCOMPARE(runsOf(tRoad.runs), tGoesOn ? 1 : 0);
        for (const QString &tLine : tRoad.firmware->linesFrom(tFrom))
            QVERIFY2(!tLine.startsWith(QStringLiteral("M104"))
                    && !tLine.startsWith(QStringLiteral("M140")),
                qPrintable(tLine));
    }

    // The printer's cancel button with nothing under way cancels nothing: the status line and
    // the progress bar keep what they show.
    void cancelWithNothingUnderWay()
    {
        kvPrintRoad tRoad;
        QVERIFY(tRoad.setUp(QStringLiteral("gcode"), QStringLiteral("ok"), 3000, false));
        QVERIFY(tRoad.drain());
        auto *tProgress = child<QProgressBar>(*tRoad.window, "progressBar");
        tProgress->setValue(42);
        const QString tStatus = tRoad.window->statusMessage();
        QVERIFY(!tStatus.isEmpty());
        QVERIFY(tRoad.run(QStringLiteral("cancel")));
        QVERIFY(tRoad.drain());
        QCOMPARE(tRoad.window->statusMessage(), tStatus);
        QCOMPARE(tProgress->value(), 42);
        QCOMPARE(tRoad.window->printState(), kvMainWindow::PrintState::Idle);
    }

    // The print file's heater targets hold during a print: the heat button asks before it
    // changes the heaters either way, and No sends nothing.
    void heaterChangeAsksDuringPrint_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("warm"); // the printer reads as heated: the click cools
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("text");
        const QStringList tPrinting {"print", "heated"};
        const QStringList tPaused {"print", "heated", "pause"};
        const QString tPrintingText = QStringLiteral("You are currently printing a model");
        const QString tPausedText = QStringLiteral("You have a print in progress paused");
        QTest::newRow("printing, heat, no") << tPrinting << false << false << tPrintingText;
        QTest::newRow("printing, heat, yes") << tPrinting << false << true << tPrintingText;
        QTest::newRow("paused, cool, no") << tPaused << true << false << tPausedText;
        QTest::newRow("paused, cool, yes") << tPaused << true << true << tPausedText;
        QTest::newRow("paused, heat, no") << tPaused << false << false << tPausedText;
        QTest::newRow("waiting, cool, no") << QStringList {"print"} << true << false
                                           << QStringLiteral("You are currently waiting to print");
    }
    void heaterChangeAsksDuringPrint()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, warm);
        QFETCH(bool, yes);
        QFETCH(QString, text);
        KvTest::DialogRecorder tDialogs;
        kvPrintRoad tRoad;
        QVERIFY(tRoad.setUp(QStringLiteral("gcode"), QStringLiteral("ok"), 3000, false));
        for (const QString &tStep : qAsConst(steps))
            QVERIFY2(tRoad.run(tStep), qPrintable(tStep));
        // A print file's bed target below the window's reads as not heated.
        tRoad.printer->setIsHeating(false);
        tRoad.printer->setIsHeated(warm);
        const int tFrom = tRoad.firmware->lineCount();
        tDialogs.answers << yes;
        click(*tRoad.window, "heatPrinterButton");
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().kind, kvDialogs::Question);
        QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Heat Printer"));
        QCOMPARE(tDialogs.requests.first().defaultButton, kvDialogs::DefaultNo);
        QVERIFY2(tDialogs.requests.first().text.startsWith(text),
            qPrintable(tDialogs.requests.first().text));
        QVERIFY(tDialogs.requests.first().text.endsWith(warm
                ? QStringLiteral("switch the heaters off?")
                : QStringLiteral("switch the heaters on?")));
        QVERIFY(tRoad.drain());
        const QStringList tSent = tRoad.firmware->linesFrom(tFrom);
        const auto tHeaterLines = [&](const QString &pStart) {
            int tCount = 0;
            for (const QString &tLine : tSent)
                tCount += tLine.startsWith(pStart) ? 1 : 0;
            return tCount;
        };
        const bool tOff = warm;
        QCOMPARE(tHeaterLines(tOff ? QStringLiteral("M104 S0") : QStringLiteral("M104 S2")),
            yes ? 1 : 0);
        QCOMPARE(
            tHeaterLines(tOff ? QStringLiteral("M140 S0") : QStringLiteral("M140 S")), yes ? 1 : 0);
        QVERIFY(tRoad.window->printState() != kvMainWindow::PrintState::Idle);
    }
};

KV_TEST_MAIN(tst_mainwindow_printstate)
#include "tst_mainwindow_printstate.moc"
