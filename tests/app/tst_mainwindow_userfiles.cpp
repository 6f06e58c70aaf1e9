// The main window on a simulated printer with what a user's machine hands it: files written
// by other programs, a slicer the system kills, a disk that fills up.
#include "kvDialogRecorder.h"
#include "kvFileSizeLimit.h"
#include "kvLogger.h"
#include "kvMainWindowFixtures.h"
#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvPrinterFile.h"
#include "kvStartup.h"

#include <QAction>
#include <QDir>
#include <QSignalSpy>

#include <cerrno>
#include <cstring>

using namespace KvTest;

namespace {

// The main window with the printer of one simulated firmware chosen, and a stand-in slicer.
class kvUserRoad
{
public:
    ~kvUserRoad() { Kv::Paths::Slic3rExe = m_oldSlicer; }

    // pSlicer: the stand-in slicer's script, after the lines that find its output ($out).
    bool setUp(const QByteArray &pSlicer = QByteArray("exit 1\n"))
    {
        m_oldSlicer = Kv::Paths::Slic3rExe;
        Kv::Paths::Slic3rExe = fakeSlicer(dir,
            "out=\nwhile [ $# -gt 0 ]; do [ \"$1\" = -o ] && out=\"$2\"; shift; done\n" + pSlicer);
        bench.reset(new kvPortBench({QStringLiteral("Halvarn_8x8")}));
        firmware = bench->firmwares.front().get();
        window.reset(new kvMainWindow);
        // Generous waits: the sanitizer build on a busy machine is slow to identify.
        return showAndChoose(*window, 1, 20000);
    }

    // File > Load Model, its dialog answered with pPath.
    void load(const QString &pPath)
    {
        dialogs.answers << pPath;
        child<QAction>(*window, "fileMenuLoadModel")->trigger();
    }

    void trigger(const char *pAction) { child<QAction>(*window, pAction)->trigger(); }

    bool isIdle() const { return window->printState() == kvMainWindow::PrintState::Idle; }

    QTemporaryDir dir;
    DialogRecorder dialogs;
    std::unique_ptr<kvPortBench> bench;
    std::unique_ptr<kvMainWindow> window;
    kvFakeFirmware *firmware = nullptr;

private:
    QString m_oldSlicer;
};

} // namespace

// The GL driver is built without frame pointers: a full unwind lets the leak check see
// its lifetime allocations as the driver's, which the suppressions cover.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

class tst_mainwindow_userfiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(Kv::Startup::prepare()); }
    void init() { QVERIFY(useSourcePrinterTypes()); }

    void fileLinesReachThePrinterAsTheFileHoldsThem_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArrayList>("sent"); // lines the printer gets, in this order
        QTest::newRow("CR line ends, as old Mac tools write them")
            << QByteArray("G21\rG90\rG1 X10 Y10 E1\r;layer 2\rG1 X20 Y10 E2\r")
            << QByteArrayList {"G21", "G90", "G1 X10 Y10 E1", "G1 X20 Y10 E2"};
        QTest::newRow("bytes that are not UTF-8")
            << QByteArray("G21\nM117 Gr\xFC\xDF"
                          "e\nM117 \xF0\x9F\x96\xA8 \xC0\xAF\nG1 X20 Y10 E2\n")
            << QByteArrayList {"G21",
                   "M117 Gr\xFC\xDF"
                   "e",
                   "M117 \xF0\x9F\x96\xA8 \xC0\xAF", "G1 X20 Y10 E2"};
        // U+1F4A1: its second half looks like a byte that is not UTF-8 on its own.
        QTest::newRow("a character outside the basic plane")
            << QByteArray("G21\nM117 Idea \xF0\x9F\x92\xA1 on\nG1 X20 Y10 E2\n")
            << QByteArrayList {"G21", "M117 Idea \xF0\x9F\x92\xA1 on", "G1 X20 Y10 E2"};
    }
    // Each line of the file reaches the printer as a line of its own, byte for byte.
    void fileLinesReachThePrinterAsTheFileHoldsThem()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArrayList, sent);
        kvUserRoad tRoad;
        QVERIFY(tRoad.setUp());
        tRoad.load(writeFile(tRoad.dir, QStringLiteral("part.gcode"), file));
        QVERIFY(tRoad.window->printerFile());
        const int tFrom = tRoad.firmware->rawReceived().size();
        kvPrinter *tPrinter = tRoad.window->currentPrinter();
        QSignalSpy tFinished(tPrinter, &kvPrinter::PrintProcessFinished);
        click(*tRoad.window, "pbPrint");
        // Heated, the print streams; it ends when its last line is out.
        QVERIFY(waitForPrinting(tPrinter));
        QVERIFY(waitFor([&] { return !tFinished.isEmpty() && tRoad.isIdle(); }));

        const QByteArray tReceived = tRoad.firmware->rawReceived().mid(tFrom);
        int tAt = 0;
        for (const QByteArray &tLine : sent) {
            const int tFound = tReceived.indexOf("\n" + tLine + "\n", tAt);
            QVERIFY2(tFound >= 0, tLine.toPercentEncoding().constData());
            tAt = tFound + 1;
        }
        QVERIFY(!tReceived.contains('\r'));
        QVERIFY(!tReceived.contains("\xEF\xBF\xBD"));
    }

    // A slicer that the system kills (as the out-of-memory killer does) says so and that
    // nothing was sliced; nothing is printed and no part of its G-code stays behind.
    void killedSlicerIsReported()
    {
        kvUserRoad tRoad;
        QVERIFY(tRoad.setUp("printf 'G28\\nG1 X10 Y10 E1\\n' > \"$out.tmp\"\n"
                            "echo '=> Processing triangulated mesh'\n"
                            "kill -KILL $$\n"));
        tRoad.load(dataPath(QStringLiteral("cube10.stl")));
        QVERIFY(tRoad.window->printerFile());
        QSignalSpy tFailed(tRoad.window->printerFile(), &kvPrinterFile::Slic3rError);
        const int tFrom = tRoad.firmware->lineCount();
        click(*tRoad.window, "pbPrint");
        QVERIFY(waitFor([&] { return !tFailed.isEmpty() && tRoad.isIdle(); }, 30000));
        QVERIFY(drain(tRoad.window->currentPrinter(), tRoad.firmware));

        QCOMPARE(tRoad.window->statusMessage(),
            QStringLiteral("kvPrinterFile::onSlicerProcessFinished: Slic3r crashed or was killed; "
                           "nothing was sliced."));
        QCOMPARE(tFailed.count(), 1);
        const QString tData = Kv::Paths::dataFolder();
        QVERIFY(!QFile::exists(tData + QStringLiteral("/Kestrova.gcode.tmp")));
        QVERIFY(!QFile::exists(tData + QStringLiteral("/Kestrova.gcode")));
        QVERIFY(!tRoad.bench->sentFromContains(0, tFrom, QStringLiteral("G1 ")));
        QVERIFY(tRoad.dialogs.requests.size() == 1);
    }

    // A print log that the disk has no more room for is said once on the status line; the
    // print goes on to its end, Log > Create is no longer ticked, and a click on it makes a
    // new log.
    void fullLogIsSaidOnceAndThePrintGoesOn()
    {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("needs /dev/full");
        kvUserRoad tRoad;
        QVERIFY(tRoad.setUp());
        auto *tCreate = child<QAction>(*tRoad.window, "optionsMenuLogCreate");
        tRoad.trigger("optionsMenuLogCreate");
        kvLogger *tLogger = tRoad.window->logger();
        QVERIFY(tLogger->isWriting());
        QVERIFY(tCreate->isChecked());
        const QString tPath
            = Kv::Platform::appDataLocation() + QLatin1Char('/') + tLogger->fileName();
        QVERIFY(QFile::exists(tPath));

        const int tMoves = 300;
        tRoad.firmware->setReplyDelayMs(2);
        tRoad.load(writeGCode(tRoad.dir, tMoves));
        QStringList tShown;
        QSignalSpy tFailed(tLogger, &kvLogger::WriteFailed);
        // Read as soon as it is said, before the print's own texts follow it.
        connect(tLogger, &kvLogger::WriteFailed, this,
            [&] { tShown << tRoad.window->statusMessage(); });
        click(*tRoad.window, "pbPrint");
        QVERIFY(waitForPrinting(tRoad.window->currentPrinter()));
        QVERIFY(tRoad.firmware->waitForLine(QStringLiteral("G1 X20 Y10 E10"), 15000));

        // The disk fills up.
        QVERIFY(QFile::rename(tPath, tPath + QStringLiteral(".kept")));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), tPath));
        const QString tLast
            = QStringLiteral("G1 X%1 Y10 E%2").arg(10 + (tMoves - 1) % 50).arg(tMoves - 1);
        QVERIFY(tRoad.firmware->waitForLine(tLast, 30000));
        QVERIFY(waitFor([&] { return tRoad.isIdle(); }, 20000));

        QCOMPARE(tFailed.count(), 1);
        QCOMPARE(tShown,
            QStringList {QStringLiteral("The print log ") + QDir::toNativeSeparators(tPath)
                + QStringLiteral(" cannot be written: ") + QString::fromLocal8Bit(strerror(ENOSPC))
                + QStringLiteral(". Its lines are lost until it can be written again.")});
        QVERIFY(!tCreate->isChecked());
        QVERIFY(!tLogger->isWriting());

        // Log > Create again: a new log, ticked, that takes the lines.
        const QString tOld = tLogger->fileName();
        tRoad.trigger("optionsMenuLogCreate");
        QVERIFY(tCreate->isChecked());
        QVERIFY(tLogger->isWriting());
        QVERIFY(tLogger->fileName() != tOld);
        tRoad.load(dataPath(QStringLiteral("cube10.stl")));
        QVERIFY(readFile(Kv::Platform::appDataLocation() + QLatin1Char('/') + tLogger->fileName())
                    .contains("kvMainWindow::loadModel: "));
        QVERIFY(tRoad.dialogs.requests.size() == 2);
    }

    // A lock file that the disk has no room for gives the system's reason, on Print and on
    // Save STL; it is no missing STL file.
    void lockWithoutRoomGivesTheSystemsReason()
    {
        kvUserRoad tRoad;
        QVERIFY(tRoad.setUp());
        tRoad.load(dataPath(QStringLiteral("cube10.stl")));
        QVERIFY(tRoad.window->printerFile());
        QVERIFY(QDir().mkpath(Kv::Paths::dataFolder()));
        const QString tLock
            = QDir::toNativeSeparators(Kv::Paths::dataFolder() + QStringLiteral("/Kestrova.lock"));
        const QString tReason = QStringLiteral("Failed to open file! ") + tLock
            + QStringLiteral(": Cannot create the lock file: ")
            + QString::fromLocal8Bit(strerror(EFBIG));
        QString tPrinted;
        QString tSaved;
        {
            FileSizeLimit tFull(0);
            QVERIFY(tFull.isActive());
            click(*tRoad.window, "pbPrint");
            QVERIFY(waitFor([&] { return tRoad.isIdle(); }));
            tPrinted = tRoad.window->statusMessage();
            tRoad.trigger("fileMenuSaveSTL");
            tSaved = tRoad.window->statusMessage();
        }
        QCOMPARE(tPrinted, QStringLiteral("kvPrinterFile::sliceFile: ") + tReason);
        QCOMPARE(tSaved, QStringLiteral("kvPrinterFile::saveFile: ") + tReason);
        QVERIFY(!QFile::exists(Kv::Paths::dataFolder() + QStringLiteral("/Kestrova.lock")));
    }
};

KV_TEST_MAIN(tst_mainwindow_userfiles)
#include "tst_mainwindow_userfiles.moc"
