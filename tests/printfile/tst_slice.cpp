#include "kvDialogRecorder.h"
#include "kvFileSizeLimit.h"
#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvPrinterFile.h"
#include "kvSliceFixtures.h"
#include "kvTestSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <signal.h>

using KvTest::writeFile;

using namespace KvTest;

namespace {

// Stand-in slicers share this start: $out is the path after "-o".
const char *const kPrelude
    = "out=\"\"\n"
      "for a in \"$@\"; do [ \"$prev\" = \"-o\" ] && out=\"$a\"; prev=\"$a\"; done\n"
      "gcode() { printf 'G28\\nG1 X10 Y10 E1\\nG1 X20 Y10 E2\\n' > \"$out\"; }\n";

const int kWaitMs = 15000;

// The second process, another copy of the program:
// "hold-lock" path: holds the lock file path (holdLockFile);
// "slice" slicer: slices a 40 mm cube with that slicer, prints its status texts and
// answers 0 when the slice ended in Slic3rError.
int runHelper(const QString &pName, const QStringList &pArguments)
{
    if (pName == QLatin1String("hold-lock") && pArguments.size() == 1)
        return holdLockFile(pArguments.at(0));
    if (pName == QLatin1String("slice") && pArguments.size() == 1) {
        Kv::Paths::Initalize();
        kvPrinterFile tFile;
        tFile.setSlic3rPath(pArguments.at(0));
        QObject::connect(&tFile, &kvPrinterFile::StatusUpdate, [](const QString &pText) {
            std::printf("%s\n", qPrintable(pText));
            std::fflush(stdout);
        });
        bool tFailed = false;
        QEventLoop tLoop;
        QObject::connect(&tFile, &kvPrinterFile::Slic3rError, [&] {
            tFailed = true;
            tLoop.quit();
        });
        QObject::connect(&tFile, &kvPrinterFile::GCodeParseComplete, &tLoop, &QEventLoop::quit);
        QTimer::singleShot(kWaitMs, &tLoop, &QEventLoop::quit);
        tFile.sliceFile(kvVector3D(), cubeModel(40.0f), kvVector3D(), 1.0f);
        if (!tFailed)
            tLoop.exec();
        return tFailed ? 0 : 1;
    }
    return 2;
}

} // namespace

class tst_Slice : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;
    QByteArray m_path;

    // A data folder whose name needs quoting on a command line.
    QString dataHome() const { return m_dir->filePath(QStringLiteral("data dir \"q\"")); }
    QString tempStl() const { return dataHome() + QStringLiteral("/Kestrova/Kestrova.stl"); }
    QString tempGCode() const { return dataHome() + QStringLiteral("/Kestrova/Kestrova.gcode"); }
    QString lockFile() const { return dataHome() + QStringLiteral("/Kestrova/Kestrova.lock"); }
    QString okSlicer()
    {
        return slicerScript(
            QStringLiteral("ok.sh"), "gcode\necho 'Done. Process took 0.1 seconds'\n");
    }

    // A stand-in slicer: the shared start, then pBody.
    QString slicerScript(const QString &pName, const QByteArray &pBody)
    {
        return KvTest::writeProgram(*m_dir, pName, kPrelude + pBody);
    }

    // Waits until the run has ended one way or the other.
    static bool waitForEnd(kvPrinterFile &pFile, QSignalSpy &pParsed, QSignalSpy &pError)
    {
        QElapsedTimer tTimer;
        tTimer.start();
        while (tTimer.elapsed() < kWaitMs) {
            if (!pFile.isSlicing() && (pParsed.count() > 0 || pError.count() > 0))
                return true;
            QTest::qWait(10);
        }
        return false;
    }

    static void slice(kvPrinterFile &pFile, kvVector3D pOffset = kvVector3D())
    {
        pFile.sliceFile(kvVector3D(), cubeModel(10.0f), pOffset, 1.0f);
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        m_path = qgetenv("PATH");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        Kv::Paths::Initalize();
        QCOMPARE(Kv::Paths::KestrovaAppData, dataHome() + QStringLiteral("/Kestrova/"));
        for (const char *tProfile :
            {"print/Halvarn Low.ini", "filament/Halvarn 1.75mm.ini", "printer/Halvarn 6x6.ini"})
            writeFile(Kv::Paths::Slic3rAppData + tProfile, "print_center = 75,75\n");
    }

    void cleanup()
    {
        qputenv("PATH", m_path);
        delete m_dir;
        m_dir = nullptr;
    }

    // On Print, the slice that cannot have its STL file says why and starts no slicer.
    void partTooLargeIsNotSliced()
    {
        kvPrinterFile tFile;
        tFile.setSlic3rPath(slicerScript(
            QStringLiteral("ok.sh"), "gcode\necho 'Done. Process took 0.1 seconds'\n"));
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        tFile.sliceFile(kvVector3D(),
            oneTriangle(
                kvVector3D(3.5e36f, 0, 0), kvVector3D(3.5e36f, 1, 0), kvVector3D(3.5e36f, 0, 1)),
            kvVector3D(), 100.0f);
        QTest::qWait(50);
        QCOMPARE(tError.count(), 1);
        QVERIFY(!tFile.isSlicing());
        QVERIFY(!QFile::exists(tempStl()));
        QCOMPARE(textValues(tStatus).filter(QStringLiteral("onSlic3rProcessStarted")).size(), 0);
        QVERIFY2(textValues(tStatus).last().startsWith(
                     QStringLiteral("kvPrinterFile::sliceFile: No STL file to slice. The part is "
                                    "too large to save at scale 100")),
            qPrintable(textValues(tStatus).last()));
    }

    void saveSTLWritesTheTemporaryFile()
    {
        kvPrinterFile tFile;
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QVERIFY(tFile.saveSTL(kvVector3D(), cubeModel(10.0f)));
        QCOMPARE(tFile.tempSTLFileName(), tempStl());
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::saveFile: Saved the temporary STL file ")
                + QDir::toNativeSeparators(tempStl()) + QStringLiteral("."));
        QCOMPARE(fileBytes(tempStl()).count("endfacet\n"), 12);
        // The written file reads back as the same mesh.
        kvPrinterFile tReader(tempStl());
        QCOMPARE(tReader.loadFile().triangles().size(), 12);
    }

    void slicerRunEnds_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("dialog");

        QTest::newRow("success") << QByteArray("echo '=> Processing triangulated mesh'\n"
                                               "gcode\n"
                                               "echo 'Done. Process took 0.1 seconds'\n")
                                 << true << "onSlicerProcessFinished" << false;
        QTest::newRow("no progress word")
            << QByteArray("gcode\necho 'Warning: odd mesh'\n") << false << QString() << true;
        QTest::newRow("exit code with error output")
            << QByteArray("echo 'Cannot read the STL file' >&2\nexit 22\n") << false
            << "exit code 22: Cannot read the STL file" << false;
        QTest::newRow("crash") << QByteArray("echo '=> Processing triangulated mesh'\n"
                                             "gcode\nkill -SEGV $$\n")
                               << false << "onSlicerProcessError: Crashed" << false;
        QTest::newRow("no G-code written") << QByteArray("echo 'Done. Process took 0.1 seconds'\n")
                                           << false << "wrote no G-code file" << false;
    }

    // Every run ends in GCodeParseComplete or in one Slic3rError, and never prints the
    // G-code of the part sliced before.
    void slicerRunEnds()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, parsed);
        QFETCH(QString, status);
        QFETCH(bool, dialog);

        DialogRecorder tDialogs;
        writeFile(tempGCode(), "G1 X99 Y99 E9 ; previous part\n");
        kvPrinterFile tFile;
        tFile.setBedCenter(QVector2D(75, 75));
        tFile.setSlic3rPath(slicerScript(QStringLiteral("slicer.sh"), script));
        QSignalSpy tParsed(&tFile, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        // The main window stops the print on an error, which kills a running slice.
        connect(&tFile, &kvPrinterFile::Slic3rError, &tFile, &kvPrinterFile::killSlice);

        slice(tFile);
        QVERIFY(waitForEnd(tFile, tParsed, tError));
        QTest::qWait(50);

        QCOMPARE(tParsed.count(), parsed ? 1 : 0);
        QCOMPARE(tError.count(), parsed ? 0 : 1);
        QCOMPARE(tFile.isSliced(), parsed);
        QVERIFY(!tFile.isSlicing());
        if (!status.isEmpty())
            QVERIFY2(textValues(tStatus).filter(status).size() == 1,
                qPrintable(textValues(tStatus).join('\n')));
        for (const kvGCode &tLine : tFile.gcodeQueue())
            QVERIFY(!tLine.Raw().contains(QLatin1String("X99")));
        QCOMPARE(tFile.PrintQueueCount() > 0, parsed);
        // The next copy may slice.
        QVERIFY(!QFile::exists(lockFile()));

        QCOMPARE(tDialogs.requests.size(), dialog ? 1 : 0);
        if (dialog) {
            QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Slic3r Error"));
            QCOMPARE(tDialogs.requests.first().text,
                QStringLiteral("Unknown Slic3r error has occurred:\nWarning: odd mesh\n"));
        }
    }

    void slicerGetsSafeArguments()
    {
        const QString tArgsFile = m_dir->filePath(QStringLiteral("args.txt"));
        const QString tScript = slicerScript(QStringLiteral("record.sh"),
            "printf '%s\\n' \"$@\" > '" + tArgsFile.toUtf8()
                + "'\ngcode\necho 'Done. Process took 0.1 seconds'\n");
        kvPrinterFile tFile;
        tFile.setBedCenter(QVector2D(100, 80));
        tFile.setSlic3rPath(tScript);
        QSignalSpy tParsed(&tFile, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        slice(tFile, kvVector3D(12.5f, 3.0f, 5.0f));
        QVERIFY(waitForEnd(tFile, tParsed, tError));
        QCOMPARE(tParsed.count(), 1);

        const QString tMerged = Kv::Paths::KestrovaAppData + QStringLiteral("Kestrova.ini");
        QCOMPARE(QString::fromUtf8(fileBytes(tArgsFile)).split('\n', Qt::SkipEmptyParts),
            QStringList(
                {"--load", tMerged, "-o", tempGCode(), "--print-center", "112.5,75", tempStl()}));
        QCOMPARE(fileBytes(tMerged), QByteArray("print_center = 112.5,75\n").repeated(3));
        // The status line shows the command line text.
        QVERIFY(textValues(tStatus).contains(QStringLiteral("kvPrinterFile::sliceSTL: \"") + tScript
            + "\" --load \"" + tMerged + "\" -o \"" + tempGCode() + "\" \"" + tempStl() + "\""));
    }

    void slicedFileIsNotSlicedAgain()
    {
        kvPrinterFile tFile;
        tFile.setSlic3rPath(slicerScript(
            QStringLiteral("ok.sh"), "gcode\necho 'Done. Process took 0.1 seconds'\n"));
        QSignalSpy tParsed(&tFile, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        slice(tFile);
        QVERIFY(waitForEnd(tFile, tParsed, tError));
        QVERIFY(tFile.isSliced());
        const int tLines = tFile.GCodeQueueCount();
        tFile.dequeueGCode();
        tFile.dequeueGCode();

        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tSaved(&tFile, &kvPrinterFile::SaveFileProgress);
        slice(tFile);
        QVERIFY(!tFile.isSlicing());
        QVERIFY(tFile.isSliced());
        QCOMPARE(tFile.PrintQueueCount(), tLines);
        QCOMPARE(tParsed.count(), 1);
        QCOMPARE(textValues(tStatus).filter(QStringLiteral("sliceSTL")).size(), 0);
        QVERIFY(!tSaved.isEmpty()); // the STL file is written all the same

        // A moved part is sliced again.
        tFile.resetSliced();
        slice(tFile, kvVector3D(1.0f, 0.0f, 0.0f));
        QVERIFY(waitForEnd(tFile, tParsed, tError));
        QTRY_COMPARE_WITH_TIMEOUT(tParsed.count(), 2, kWaitMs);
        QCOMPARE(tFile.GCodeQueueCount(), tLines);
    }

    void killSliceEndsTheSlicer()
    {
        kvPrinterFile tFile;
        tFile.setSlic3rPath(slicerScript(QStringLiteral("sleep.sh"),
            "gcode\necho '=> Processing triangulated mesh'\nexec sleep 30\n"));
        QSignalSpy tProgress(&tFile, &kvPrinterFile::Slic3rProcessingProgress);
        QSignalSpy tParsed(&tFile, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        slice(tFile);
        QVERIFY(tFile.isSlicing());
        QTRY_COMPARE_WITH_TIMEOUT(intValues(tProgress), QList<int> {14}, kWaitMs);
        QVERIFY(QFile::exists(lockFile()));

        tFile.killSlice();
        QVERIFY(!tFile.isSlicing());
        QVERIFY(!tFile.isSliced());
        QVERIFY(!QFile::exists(lockFile()));
        QTest::qWait(50);
        QCOMPARE(tError.count(), 0);
        QCOMPARE(tParsed.count(), 0);
        QCOMPARE(tFile.PrintQueueCount(), 0);

        // Print right after Stop starts a new slicer.
        tFile.setSlic3rPath(slicerScript(
            QStringLiteral("ok.sh"), "gcode\necho 'Done. Process took 0.1 seconds'\n"));
        slice(tFile);
        QVERIFY(waitForEnd(tFile, tParsed, tError));
        QCOMPARE(tParsed.count(), 1);
        QCOMPARE(tError.count(), 0);
        QVERIFY(tFile.isSliced());
    }

    // A slicer that ends on a signal (the out-of-memory killer's SIGKILL, a crash) is said to
    // have sliced nothing, as the last status, and leaves no part of its G-code behind.
    void slicerEndedBySignal_data()
    {
        QTest::addColumn<QByteArray>("end"); // how the stand-in ends; empty: the test kills it
        QTest::newRow("killed from outside") << QByteArray();
        QTest::newRow("killed") << QByteArray("kill -KILL $$\n");
        QTest::newRow("crashed") << QByteArray("kill -SEGV $$\n");
    }
    void slicerEndedBySignal()
    {
        QFETCH(QByteArray, end);
        // As Slic3r does: the G-code goes to a part file first, renamed when it is whole.
        kvPrinterFile tFile;
        tFile.setSlic3rPath(slicerScript(QStringLiteral("dies.sh"),
            "printf 'G28\\nG1 X10 Y10 E1\\n' > \"$out.tmp\"\n"
            "echo '=> Processing triangulated mesh'\n"
                + (end.isEmpty() ? QByteArray("exec sleep 30\n") : end)));
        QSignalSpy tParsed(&tFile, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        connect(&tFile, &kvPrinterFile::Slic3rError, &tFile, &kvPrinterFile::killSlice);
        slice(tFile);
        if (end.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(
                !textValues(tStatus).filter(QStringLiteral("triangulated")).isEmpty(), kWaitMs);
            QVERIFY(QFile::exists(tempGCode() + QStringLiteral(".tmp")));
            const QString tStarted
                = textValues(tStatus).filter(QStringLiteral("process start with PID: ")).value(0);
            const qint64 tPid = tStarted.section(QLatin1Char(' '), -1).toLongLong();
            QVERIFY2(tPid > 0, qPrintable(tStarted));
            QCOMPARE(::kill(pid_t(tPid), SIGKILL), 0);
        }
        QVERIFY(waitForEnd(tFile, tParsed, tError));
        QTest::qWait(50);

        QCOMPARE(tError.count(), 1);
        QCOMPARE(tParsed.count(), 0);
        QVERIFY(!tFile.isSliced());
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::onSlicerProcessFinished: Slic3r crashed or was "
                           "killed; nothing was sliced."));
        QVERIFY(!QFile::exists(tempGCode() + QStringLiteral(".tmp")));
        QVERIFY(!QFile::exists(tempGCode()));
        QVERIFY(!QFile::exists(lockFile()));
    }

    // A second copy that prints while the first one's slicer has not read its STL file yet
    // neither writes the slicing files nor slices, and the first slicer gets its own part.
    void secondCopyLeavesTheSliceFilesAlone()
    {
        const QByteArray tGo = QFile::encodeName(m_dir->filePath(QStringLiteral("go")));
        const QByteArray tRecord = QFile::encodeName(m_dir->filePath(QStringLiteral("read.stl")));
        // The first copy's slicer reads its part only when told to.
        const QByteArray tSlow = "i=0; while [ ! -e '" + tGo
            + "' ] && [ $i -lt 500 ]; do sleep 0.02; i=$((i+1)); done\n"
              "cp \"$prev\" '"
            + tRecord + "'\ngcode\necho 'Done. Process took 0.1 seconds'\n";
        kvPrinterFile tFirst;
        tFirst.setSlic3rPath(slicerScript(QStringLiteral("slow.sh"), tSlow));
        QSignalSpy tParsed(&tFirst, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tFirst, &kvPrinterFile::Slic3rError);
        tFirst.sliceFile(kvVector3D(), cubeModel(20.0f), kvVector3D(), 1.0f);
        QVERIFY(tFirst.isSlicing());

        QProcess tSecond;
        QVERIFY(startHelper(tSecond, QStringLiteral("slice"), {okSlicer()}));
        QVERIFY(tSecond.waitForFinished(kWaitMs));
        const QStringList tStatus
            = QString::fromUtf8(tSecond.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(tSecond.exitCode(), 0);
        QCOMPARE(tStatus.filter(QStringLiteral("onSlic3rProcessStarted")).size(), 0);
        QCOMPARE(tStatus.value(tStatus.size() - 1),
            QStringLiteral("kvPrinterFile::sliceFile: Another Kestrova is slicing; try again when "
                           "it has finished. Process %1 (tst_slice) holds %2.")
                .arg(QCoreApplication::applicationPid())
                .arg(QDir::toNativeSeparators(lockFile())));

        writeFile(QString::fromUtf8(tGo), QByteArray());
        QVERIFY(waitForEnd(tFirst, tParsed, tError));
        QCOMPARE(tParsed.count(), 1);
        kvPrinterFile tReference;
        const QString tShown = m_dir->filePath(QStringLiteral("shown.stl"));
        QVERIFY(tReference.saveFile(tShown, kvVector3D(), cubeModel(20.0f)));
        QCOMPARE(fileBytes(QString::fromUtf8(tRecord)), fileBytes(tShown));
    }

    void lockOfAnotherCopy_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<bool>("print");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("age"); // of the lock file, in seconds

        QTest::newRow("Print while it slices") << "alive" << true << true << 60;
        QTest::newRow("Save STL while it slices") << "alive" << false << true << 60;
        QTest::newRow("Print after it died") << "died" << true << false << 60;
        QTest::newRow("Save STL after it died") << "died" << false << false << 60;
        QTest::newRow("Print after it died taking the lock") << "empty" << true << false << 60;
        // The computer's clock was set back an hour since the lock file was written.
        QTest::newRow("Print while it slices, clock set back") << "alive" << true << true << -3600;
        QTest::newRow("Print after it died, clock set back") << "died" << true << false << -3600;
        QTest::newRow("Print after it died taking the lock, clock set back")
            << "empty" << true << false << -3600;
    }

    // Files in use by another copy are never written; a lock its dead holder left does not
    // block.
    void lockOfAnotherCopy()
    {
        QFETCH(QString, holder);
        QFETCH(bool, print);
        QFETCH(bool, refused);
        QFETCH(int, age);

        writeFile(tempStl(), "another copy's part\n");
        QProcess tHolder;
        if (holder == QLatin1String("empty")) {
            writeFile(lockFile(), QByteArray());
        } else {
            QVERIFY(startHelper(tHolder, QStringLiteral("hold-lock"), {lockFile()}));
            QVERIFY(tHolder.waitForReadyRead(kWaitMs));
            QCOMPARE(tHolder.readAll(), QByteArray("locked\n"));
        }
        const qint64 tHolderPid = tHolder.processId();
        if (holder == QLatin1String("died")) {
            tHolder.kill();
            QVERIFY(tHolder.waitForFinished(kWaitMs));
        }
        QVERIFY(QFile::exists(lockFile()));
        // Old enough that the holder has long finished taking it.
        QFile tLock(lockFile());
        QVERIFY(tLock.open(QIODevice::ReadWrite));
        QVERIFY(tLock.setFileTime(
            QDateTime::currentDateTime().addSecs(-age), QFileDevice::FileModificationTime));
        tLock.close();

        kvPrinterFile tFile;
        tFile.setSlic3rPath(okSlicer());
        QSignalSpy tParsed(&tFile, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        if (print) {
            slice(tFile);
            if (!refused)
                QVERIFY(waitForEnd(tFile, tParsed, tError));
        } else {
            QCOMPARE(tFile.saveSTL(kvVector3D(), cubeModel(10.0f)), !refused);
        }
        QTest::qWait(50);

        if (refused) {
            QCOMPARE(textValues(tStatus).last(),
                QStringLiteral("kvPrinterFile::%1: Another Kestrova is slicing; try again when it "
                               "has finished. Process %2 (tst_slice) holds %3.")
                    .arg(print ? "sliceFile" : "saveFile")
                    .arg(tHolderPid)
                    .arg(QDir::toNativeSeparators(lockFile())));
            QCOMPARE(tError.count(), print ? 1 : 0);
            QCOMPARE(fileBytes(tempStl()), QByteArray("another copy's part\n"));
            QVERIFY(QFile::exists(lockFile()));
        } else {
            QCOMPARE(tError.count(), 0);
            QCOMPARE(tParsed.count(), print ? 1 : 0);
            QCOMPARE(fileBytes(tempStl()).count("endfacet\n"), 12);
            QVERIFY(!QFile::exists(lockFile()));
        }
        QVERIFY(!tFile.isSlicing());
        QCOMPARE(textValues(tStatus).filter(QStringLiteral("onSlic3rProcessStarted")).size(),
            print && !refused ? 1 : 0);
        tHolder.closeWriteChannel();
        if (tHolder.state() != QProcess::NotRunning)
            QVERIFY(tHolder.waitForFinished(kWaitMs));
    }

    // A print file closed while it slices lets the next one slice.
    void destroyedWhileSlicing()
    {
        auto *tFile = new kvPrinterFile;
        tFile->setSlic3rPath(slicerScript(
            QStringLiteral("sleep.sh"), "echo '=> Processing triangulated mesh'\nexec sleep 30\n"));
        slice(*tFile);
        QVERIFY(tFile->isSlicing());
        delete tFile;
        QVERIFY(!QFile::exists(lockFile()));

        kvPrinterFile tNext;
        tNext.setSlic3rPath(okSlicer());
        QSignalSpy tParsed(&tNext, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tNext, &kvPrinterFile::Slic3rError);
        slice(tNext);
        QVERIFY(waitForEnd(tNext, tParsed, tError));
        QCOMPARE(tParsed.count(), 1);
    }

    void progressWords_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<float>("stage");

        QTest::newRow("stages") << QList<QByteArray> {"Processing triangulated mesh",
            "Generating perimeters", "Done. Process took 12 seconds"}
                                << QList<int> {14, 28, 100} << 100.0f;
        QTest::newRow("first word of the table wins")
            << QList<QByteArray> {"Infilling layers; perimeters"} << QList<int> {28}
            << 200.0f / 7.0f;
        QTest::newRow("filament repeats the previous value")
            << QList<QByteArray> {"=> Exporting G-code to x.gcode",
                   "Filament required: 512.3mm (3.7cm3)"}
            << QList<int> {85, 85} << 600.0f / 7.0f;
        QTest::newRow("Debian 1.3.0")
            << QList<QByteArray> {"=> Infilling layers\n=> Processing triangulated mesh\n",
                   "=> Preparing infill\n", "=> Generating skirt\n", "=> Generating brim\n",
                   "=> Exporting G-code to /tmp/Kestrova.gcode\n",
                   "Done. Process took 0 minutes and 0.063 seconds\n"
                   "Filament required: 987.3mm (2.4cm3)\n"}
            << QList<int> {14, 42, 71, 71, 85, 100} << 100.0f;
        QTest::newRow("text after a NUL is not read")
            << QList<QByteArray> {QByteArray("Preparing infill\0Done", 21)} << QList<int> {42}
            << 300.0f / 7.0f;
    }

    void progressWords()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<int>, progress);
        QFETCH(float, stage);

        // The stand-in prints one chunk, then waits for the test to have seen it.
        for (int i = 0; i < chunks.size(); ++i)
            writeFile(m_dir->filePath(QStringLiteral("chunk%1").arg(i + 1)), chunks.at(i));
        const QByteArray tDir = QFile::encodeName(m_dir->path());
        const QString tScript = slicerScript(QStringLiteral("chunks.sh"),
            "k=1\n"
            "while [ -e '"
                + tDir
                + "/chunk'$k ]; do\n"
                  "  cat '"
                + tDir
                + "/chunk'$k\n"
                  "  i=0; while [ ! -e '"
                + tDir
                + "/go'$k ] && [ $i -lt 500 ]; do sleep 0.02; i=$((i+1)); done\n"
                  "  k=$((k+1))\n"
                  "done\n"
                  "gcode\n");
        kvPrinterFile tFile;
        tFile.setSlic3rPath(tScript);
        QSignalSpy tProgress(&tFile, &kvPrinterFile::Slic3rProcessingProgress);
        QSignalSpy tParsed(&tFile, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        slice(tFile);
        for (int i = 0; i < chunks.size(); ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(tProgress.count(), i + 1, kWaitMs);
            writeFile(m_dir->filePath(QStringLiteral("go%1").arg(i + 1)), QByteArray());
        }
        QVERIFY(waitForEnd(tFile, tParsed, tError));
        QCOMPARE(intValues(tProgress), progress);
        QCOMPARE(tError.count(), 0);
        QCOMPARE(tFile.slic3rProgress(), stage);
    }

    void slicerNotFound()
    {
        qputenv("PATH", QFile::encodeName(m_dir->path()));
        kvPrinterFile tFile;
        tFile.setSlic3rPath(m_dir->filePath(QStringLiteral("Slic3r.app")));
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        slice(tFile);
        QCOMPARE(tError.count(), 1);
        QVERIFY(!tFile.isSlicing());
        QCOMPARE(textValues(tStatus).filter(QStringLiteral("Slic3r not found")).size(), 1);
        QCOMPARE(textValues(tStatus).filter(QStringLiteral("onSlic3rProcessStarted")).size(), 0);
    }

    void nothingToSlice_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<bool>("print");
        QTest::addColumn<QString>("status");
        const QString tFolder
            = QStringLiteral("{blocker}/data/Kestrova: {blocker} is a file, not a folder");
        const QString tStl = QStringLiteral("{stl}: Filename refers to a directory");
        QTest::newRow("Print, data folder below a file")
            << "data folder" << true
            << "kvPrinterFile::sliceFile: No STL file to slice. Failed to open file! " + tFolder;
        QTest::newRow("Save STL, data folder below a file")
            << "data folder" << false << "kvPrinterFile::saveFile: Failed to open file! " + tFolder;
        QTest::newRow("Print, a folder in the STL file's place")
            << "STL file" << true
            << "kvPrinterFile::sliceFile: No STL file to slice. Failed to open file! " + tStl;
        QTest::newRow("Save STL, a folder in the STL file's place")
            << "STL file" << false << "kvPrinterFile::saveFile: Failed to open file! " + tStl;
        QTest::newRow("merged profiles cannot be written")
            << "merged profiles" << true << "onSlicerProcessError: Failed To Start";
        // A full disk, as the system tells it: the lock is no missing STL file.
        const QString tLock = QStringLiteral("{lock}: Cannot create the lock file: ")
            + QString::fromLocal8Bit(strerror(EFBIG));
        QTest::newRow("Print, no room for the lock file")
            << "lock file" << true << "kvPrinterFile::sliceFile: Failed to open file! " + tLock;
        QTest::newRow("Save STL, no room for the lock file")
            << "lock file" << false << "kvPrinterFile::saveFile: Failed to open file! " + tLock;
    }

    // Each attempt says what stands in the way, with its path, and starts no slicer.
    void nothingToSlice()
    {
        QFETCH(QString, blocked);
        QFETCH(bool, print);
        QFETCH(QString, status);

        kvPrinterFile tFile;
        tFile.setSlic3rPath(okSlicer());
        // A folder below a plain file can never be made.
        const QString tBlocker = m_dir->filePath(QStringLiteral("blocker"));
        writeFile(tBlocker, "x");
        if (blocked == QLatin1String("merged profiles"))
            Kv::Paths::KestrovaAppData = tBlocker + QStringLiteral("/Kestrova/");
        else if (blocked == QLatin1String("data folder"))
            qputenv("XDG_DATA_HOME", QFile::encodeName(tBlocker) + "/data");
        else
            QVERIFY(QDir().mkpath(tempStl()));
        status.replace(QStringLiteral("{blocker}"), QDir::toNativeSeparators(tBlocker));
        status.replace(QStringLiteral("{stl}"), QDir::toNativeSeparators(tempStl()));
        status.replace(QStringLiteral("{lock}"), QDir::toNativeSeparators(lockFile()));
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        {
            std::unique_ptr<FileSizeLimit> tFull;
            if (blocked == QLatin1String("lock file")) {
                QVERIFY(QDir().mkpath(QFileInfo(lockFile()).path()));
                tFull.reset(new FileSizeLimit(0));
                QVERIFY(tFull->isActive());
            }
            for (int i = 0; i < 2; ++i) {
                if (print)
                    slice(tFile);
                else
                    QVERIFY(!tFile.saveSTL(kvVector3D(), cubeModel(10.0f)));
            }
        }
        QTest::qWait(50);
        QCOMPARE(tError.count(), print ? 2 : 0);
        QVERIFY(!tFile.isSlicing());
        QVERIFY(!tFile.isSliced());
        QVERIFY2(textValues(tStatus).filter(status).size() == 2,
            qPrintable(textValues(tStatus).join('\n')));
        QCOMPARE(textValues(tStatus).filter(QStringLiteral("onSlic3rProcessStarted")).size(), 0);
        QVERIFY(!QFile::exists(lockFile()));
        if (blocked == QLatin1String("lock file"))
            QCOMPARE(textValues(tStatus).filter(QStringLiteral("No STL file")).size(), 0);
    }

    void sliceWithoutSTLFile()
    {
        writeFile(QDir::current().filePath(QStringLiteral("gcode")), "G28\n");
        kvPrinterFile tFile;
        tFile.setSlic3rPath(slicerScript(
            QStringLiteral("ok.sh"), "gcode\necho 'Done. Process took 0.1 seconds'\n"));
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        tFile.sliceFile();
        QCOMPARE(tError.count(), 1);
        QVERIFY(!tFile.isSlicing());
        QCOMPARE(textValues(tStatus).filter(QStringLiteral("onSlic3rProcessStarted")).size(), 0);
        QVERIFY(QFile::remove(QDir::current().filePath(QStringLiteral("gcode"))));
    }

    void slicerLocator_data()
    {
        QTest::addColumn<QStringList>("programs");
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("expected");

        QTest::newRow("configured program")
            << QStringList {"bin/my-slicer", "slic3r"} << "bin/my-slicer"
            << "bin/my-slicer";
        QTest::newRow("bundle") << QStringList {"app/Slic3r.app/Contents/MacOS/Slic3r", "slic3r"}
                                << "app/Slic3r.app"
                                << "app/Slic3r.app/Contents/MacOS/Slic3r";
        QTest::newRow("beside the executable")
            << QStringList {"app/slic3r", "slic3r"} << "app/Slic3r.app"
            << "app/slic3r";
        QTest::newRow("on the PATH") << QStringList {"slic3r"} << "app/Slic3r.app"
                                     << "slic3r";
        QTest::newRow("on the PATH when nothing is configured")
            << QStringList {"slic3r"} << QString() << "slic3r";
        QTest::newRow("none") << QStringList {} << "app/Slic3r.app" << QString();
    }

    void slicerLocator()
    {
        QFETCH(QStringList, programs);
        QFETCH(QString, configured);
        QFETCH(QString, expected);

        // A folder named like the program is no program.
        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("app/Slic3r"))));
        qputenv("PATH", QFile::encodeName(m_dir->filePath(QStringLiteral("path"))));
        for (const QString &tProgram : programs) {
            const QString tPath = tProgram.contains('/') ? m_dir->filePath(tProgram)
                                                         : m_dir->filePath("path/" + tProgram);
            writeFile(tPath, "#!/bin/sh\n");
            QFile(tPath).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        }
        const QString tConfigured = configured.isEmpty() ? QString() : m_dir->filePath(configured);
        const QString tExpected = expected.isEmpty()
            ? QString()
            : (expected.contains('/') ? m_dir->filePath(expected)
                                      : m_dir->filePath("path/" + expected));
        QCOMPARE(Kv::Platform::slicerProgram(tConfigured), tExpected);
    }
};

KV_TEST_MAIN_WITH_HELPER(tst_Slice, runHelper)
#include "tst_slice.moc"
