#include "kvAddressSpaceLimit.h"
#include "kvFailingDevice.h"
#include "kvLargeDevice.h"
#include "kvPrinterFile.h"
#include "kvPrinterFileFixtures.h"
#include "kvTestSupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>

using KvTest::writeFile;

using namespace KvPrinterFileTest;

class tst_GCodeReader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static QByteArray nineLines(const char *pBreak)
    {
        QByteArray tText;
        for (int i = 1; i <= 9; ++i)
            tText += "G1 X" + QByteArray::number(i) + " Y" + QByteArray::number(i) + pBreak;
        return tText;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void nineLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("machineType");
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QStringList>("closing");

        const QStringList tClosing = {"G28 X159 Y150", "G91", "G90"};
        QTest::newRow("plain printer") << nineLines("\n") << "Halvarn 6x6" << false << tClosing;
        QTest::newRow("Tovra printer")
            << nineLines("\n") << "Halvarn Tovra" << false << tClosing + QStringList("M101");
        QTest::newRow("tovra in small letters")
            << nineLines("\n") << "halvarn tovra" << false << tClosing;
        QTest::newRow("raw mode") << nineLines("\n") << "Halvarn Tovra" << true << QStringList();
        QTest::newRow("CRLF line ends") << nineLines("\r\n") << "" << false << tClosing;
    }

    void nineLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, machineType);
        QFETCH(bool, raw);
        QFETCH(QStringList, closing);

        kvPrinterFile tFile(writeFile(m_dir, "nine.gcode", text));
        tFile.setMachineType(machineType);
        tFile.setUseRawGCode(raw);
        QSignalSpy tProgress(&tFile, &kvPrinterFile::LoadFileProgress);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::GCodeParseComplete);
        const kvModel tModel = tFile.loadFile();

        QCOMPARE(tModel.triangles().size(), 0);
        QCOMPARE(tModel.name(), QString("nine.gcode"));
        QCOMPARE(tFile.fileType(), Kv::Defines::FileTypeGCode);
        QCOMPARE(intValues(tProgress), QList<int>({10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
        QCOMPARE(tComplete.count(), 1);
        QCOMPARE(tFile.GCodeQueueCount(), 9 + closing.size());
        QCOMPARE(tFile.PrintQueueCount(), 9 + closing.size());
        const QStringList tTexts = cleanedTexts(tFile.gcodeQueue());
        QCOMPARE(tTexts.first(), QString("G1 X1 Y1"));
        QCOMPARE(tTexts.at(8), QString("G1 X9 Y9"));
        QCOMPARE(tTexts.mid(9), closing);
        QCOMPARE(tFile.gcodeQueue().first().Raw(), QString("G1 X1 Y1"));
    }

    void filters_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QStringList>("queued");
        QTest::addColumn<float>("sumX");
        QTest::newRow("printing") << false
                                  << QStringList({"G21", "G90", "G28", "G1 Z0.35 F7800",
                                         "G1 X10 Y10 E1.5 F1200", "G0 X20 Y20", "G1 X30 Y30 E3",
                                         "M106 S255", "M84", "G28 X159 Y150", "G91", "G90"})
                                  << 40.0f;
        QTest::newRow("raw") << true
                             << QStringList({"G21", "G90", "M104 S210", "G28", "G1 Z0.35 F7800",
                                    "G1 X10 Y10 E1.5 F1200", "M109 S210", "G0 X20 Y20",
                                    "G1 X30 Y10", "G1 X30 Y30 E3", "M106 S255", "M84"})
                             << 70.0f;
    }

    void filters()
    {
        QFETCH(bool, raw);
        QFETCH(QStringList, queued);
        QFETCH(float, sumX);
        kvPrinterFile tFile(KvTest::dataPath("few-lines.gcode"));
        tFile.setUseRawGCode(raw);
        tFile.loadFile();
        QCOMPARE(cleanedTexts(tFile.gcodeQueue()), queued);
        // Only the queued G1 lines reach the estimator; G0 and G28 do not.
        QCOMPARE(tFile.estimator().sumX(), sumX);
        QCOMPARE(tFile.estimator().sumY(), 0.0f);
        QCOMPARE(tFile.estimator().sumZ(), 0.35f);
    }

    void blankAndCommentLikeLines()
    {
        kvPrinterFile tFile(writeFile(m_dir, "odd.gcode", "   \n ; note\n;only\n\nG28\n"));
        tFile.setUseRawGCode(true);
        tFile.loadFile();
        const QQueue<kvGCode> tQueue = tFile.gcodeQueue();
        QCOMPARE(tQueue.size(), 3);
        QCOMPARE(tQueue.at(0).Raw(), QString("   "));
        QCOMPARE(tQueue.at(1).Cleaned(), QString());
        QCOMPARE(tQueue.at(2).Cleaned(), QString("G28"));
    }

    // A file that cannot be read to its end (a vanished disk) queues none of it.
    void readErrorQueuesNothing()
    {
        QByteArray tText;
        for (int i = 0; i < 100; ++i)
            tText += "G1 X" + QByteArray::number(i) + "\n";
        KvTest::FailingDevice tDevice(tText, tText.size() / 2);
        kvPrinterFile tFile;
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        tFile.parseGCode(&tDevice);
        QCOMPARE(tFile.GCodeQueueCount(), 0);
        QVERIFY(tFile.isGCodeQueueEmpty());
        QVERIFY(tStatus.last().at(0).toString().contains(QStringLiteral("Read error")));
    }

    void onlyGCodeTextIsQueued_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QStringList>("queued");

        const QString tNul = QStringLiteral("it holds NUL bytes");
        const QString tNoCommand = QStringLiteral("it holds no G, M or T command");
        QByteArray tJunk(4096, '\0');
        QRandomGenerator(16).fillRange(reinterpret_cast<quint32 *>(tJunk.data()), 1024);
        QFile tCube(KvTest::dataPath("cube-binary.stl"));
        QVERIFY(tCube.open(QIODevice::ReadOnly));

        QTest::newRow("random bytes") << tJunk << tNul << QStringList();
        QTest::newRow("binary STL") << tCube.readAll() << tNul << QStringList();
        QTest::newRow("G-code then NUL padding")
            << QByteArray("G28\nG1 X1\n") + QByteArray(512, '\0') << tNul << QStringList();
        QTest::newRow("prose") << QByteArray("Print on Monday.\nMake it green.\n") << tNoCommand
                               << QStringList();
        QTest::newRow("comments only")
            << QByteArray(";FLAVOR:Marlin\n;TIME:6666\n\n") << tNoCommand << QStringList();
        QTest::newRow("empty") << QByteArray() << tNoCommand << QStringList();
        QTest::newRow("a G word that is no command")
            << QByteArray("Good luck\nMarlin\nTool\nGX\n") << tNoCommand << QStringList();

        const QStringList tClosing({"G28 X159 Y150", "G91", "G90"});
        QTest::newRow("slicer header comments")
            << QByteArray("; generated by Slic3r 1.2.9 on 2026-12-10 at 21:30:02\n"
                          "; thumbnail begin 16x16 88\n; iVBORw0KGgoAAAANSUhEUgAAABAAAAAQ\n"
                          "; thumbnail end\nG21\nG90\n")
            << QString() << QStringList({"G21", "G90"}) + tClosing;
        QTest::newRow("bytes above ASCII in a comment") << QByteArray(
            "; Dr\xfc"
            "cker \xe9\xff\nM107\n") << QString() << QStringList({"M107"}) + tClosing;
        QTest::newRow("line numbers and checksums")
            << QByteArray("N1 G28*18\nN2G1 X5*99\n") << QString()
            << QStringList({"N1 G28*18", "N2G1 X5*99"}) + tClosing;
        QTest::newRow("lower case, indented, CR LF")
            << QByteArray("(remark)\r\n   g1 x10\r\n") << QString()
            << QStringList({"(remark)", "   g1 x10"}) + tClosing;
        QTest::newRow("a tool change alone")
            << QByteArray("T1") << QString() << QStringList({"T1"}) + tClosing;
        QTest::newRow("heating only") << QByteArray("M104 S200\n") << QString() << tClosing;
    }

    // Binary data or text without a command is never handed to a printer.
    void onlyGCodeTextIsQueued()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, refusal);
        QFETCH(QStringList, queued);

        kvPrinterFile tFile(writeFile(m_dir, "part.gcode", text));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::GCodeParseComplete);
        tFile.loadFile();
        QCOMPARE(tFile.fileType(), Kv::Defines::FileTypeGCode);
        QCOMPARE(tComplete.count(), 1);
        QStringList tQueued;
        for (const kvGCode &tLine : tFile.gcodeQueue())
            tQueued << tLine.Cleaned();
        QCOMPARE(tQueued, queued);
        QCOMPARE(tFile.GCodeQueueCount(), queued.size());
        if (refusal.isEmpty()) {
            QVERIFY(tFile.gcodeRefusal().isEmpty());
            return;
        }
        QCOMPARE(tFile.gcodeRefusal(), QStringLiteral("it is not G-code text (%1)").arg(refusal));
        QCOMPARE(tStatus.last().at(0).toString(),
            QStringLiteral("kvPrinterFile::parseGCode: The file is not G-code text (%1); nothing "
                           "was queued.")
                .arg(refusal));
    }

    void nulInAnyBlockRefuses_data()
    {
        QTest::addColumn<int>("at");
        // The file is read 1 MiB at a time; a negative place counts from its end.
        QTest::newRow("first block") << 100;
        QTest::newRow("middle block") << (3 << 20) / 2;
        QTest::newRow("last block") << -3;
    }

    void nulInAnyBlockRefuses()
    {
        QFETCH(int, at);
        QByteArray tText = QByteArray("G1 X1 Y1\n").repeated((3 << 20) / 9 + 1);
        tText[at < 0 ? tText.size() + at : at] = '\0';
        kvPrinterFile tFile(writeFile(m_dir, "large.gcode", tText));
        tFile.loadFile();
        QCOMPARE(
            tFile.gcodeRefusal(), QStringLiteral("it is not G-code text (it holds NUL bytes)"));
        QCOMPARE(tFile.GCodeQueueCount(), 0);
    }

    void tooManyLinesRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("at the limit") << QByteArray("G28\nG1 X1\nG1 X2\n") << false;
        QTest::newRow("skipped lines do not count")
            << QByteArray(";start\nG28\nM104 S200\n\nG1 X1\n;layer\nG1 X2") << false;
        QTest::newRow("one past the limit") << QByteArray("G28\nG1 X1\nG1 X2\nG1 X3\n") << true;
    }

    void tooManyLinesRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, refused);

        kvPrinterFile tFile(writeFile(m_dir, "many.gcode", text));
        tFile.setLoadLimits(kvModel::MostTriangles, 3);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::GCodeParseComplete);
        tFile.loadFile();
        QCOMPARE(tComplete.count(), 1);
        if (!refused) {
            // The three lines and the three closing ones.
            QCOMPARE(tFile.GCodeQueueCount(), 6);
            QVERIFY(tFile.gcodeRefusal().isEmpty());
            return;
        }
        QCOMPARE(tFile.GCodeQueueCount(), 0);
        QVERIFY(tFile.isGCodeQueueEmpty());
        const QString tSize = QStringLiteral("more than 3 lines, at most 3 can be loaded");
        QCOMPARE(tFile.gcodeRefusal(), QStringLiteral("it is too large: ") + tSize);
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::parseGCode: The file is too large: ") + tSize
                + QStringLiteral("; nothing was queued."));
    }

    // Memory that runs out refuses the file and queues none of it; the next file loads.
    void memoryFailureIsRefused()
    {
        const QString tPath
            = writeFile(m_dir, "long.gcode", QByteArray("G1 X1\n").repeated(4 << 20));
        kvPrinterFile tFile(tPath);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::GCodeParseComplete);
        {
            const KvTest::AddressSpaceLimit tLimit(256 << 20);
            if (!tLimit.isActive())
                QSKIP("the address space cannot be limited here");
            tFile.loadFile();
        }
        QCOMPARE(tComplete.count(), 1);
        QCOMPARE(tFile.GCodeQueueCount(), 0);
        QVERIFY(tFile.isGCodeQueueEmpty());
        QCOMPARE(tFile.gcodeRefusal(), QStringLiteral("there is not enough memory to load it"));
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::parseGCode: Not enough memory to load the file; "
                           "nothing was queued."));
        tFile.loadFile(writeFile(m_dir, "short.gcode", "G28\nG1 X1\n"));
        QCOMPARE(tFile.GCodeQueueCount(), 5);
    }

    void missingGCodeFileSignalsNothing()
    {
        kvPrinterFile tFile(m_dir.filePath("gone.gcode"));
        QSignalSpy tProgress(&tFile, &kvPrinterFile::LoadFileProgress);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        tFile.loadFile();
        QCOMPARE(tProgress.count(), 0);
        QCOMPARE(tComplete.count(), 0);
        QCOMPARE(tFile.GCodeQueueCount(), 0);
        // Start, failed open and end of the load only.
        QCOMPARE(tStatus.count(), 3);
    }

    void byteOrderMarkSkipped()
    {
        kvPrinterFile tFile(
            writeFile(m_dir, "bom.gcode", "\xEF\xBB\xBF; generated by a slicer\nG28\nG1 X1\n"));
        QSignalSpy tProgress(&tFile, &kvPrinterFile::LoadFileProgress);
        tFile.loadFile();
        QCOMPARE(cleanedTexts(tFile.gcodeQueue()),
            QStringList({"G28", "G1 X1", "G28 X159 Y150", "G91", "G90"}));
        QCOMPARE(intValues(tProgress), QList<int>({25, 50, 100}));
    }

    // Lines past 2 GiB reach the queue; a long comment line costs no memory.
    void filePastTwoGigabytes()
    {
        KvTest::LargeDevice tDevice("G1 X1\n;", (qint64(1) << 31) + 100, 'x', "\nG1 X2\nG1 X3");
        QVERIFY(tDevice.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        kvPrinterFile tFile;
        QSignalSpy tProgress(&tFile, &kvPrinterFile::LoadFileProgress);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::GCodeParseComplete);
        tFile.parseGCode(&tDevice);
        QCOMPARE(cleanedTexts(tFile.gcodeQueue()),
            QStringList({"G1 X1", "G1 X2", "G1 X3", "G28 X159 Y150", "G91", "G90"}));
        QCOMPARE(intValues(tProgress), QList<int>({25, 50, 75, 100}));
        QCOMPARE(tComplete.count(), 1);
    }

    void calibrationLoad()
    {
        kvPrinterFile tFile;
        tFile.setUseRawGCode(true);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::GCodeParseComplete);
        tFile.loadZOffsetCalibrationFile(writeFile(m_dir, "calib.gcode", "G28\nG1 Z0.2\n"));
        QCOMPARE(tComplete.count(), 1);
        QCOMPARE(tFile.GCodeQueueCount(), 2);
    }
};

KV_TEST_MAIN(tst_GCodeReader)
#include "tst_gcodereader.moc"
