#include "kvExtruderData.h"
#include "kvGCodeFile.h"
#include "kvTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using KvTest::writeFile;

namespace {

// Counts in the order blanks, comments, queue, gCommands, mCommands, tCommands,
// xMoves, yMoves, zMoves, eMoves.
using Counts = QVector<int>;

Counts countsOf(const kvGCodeFile &pFile)
{
    return {pFile.blanks().size(), pFile.comments().size(), pFile.queue().size(),
        pFile.gCommands().size(), pFile.mCommands().size(), pFile.tCommands().size(),
        pFile.xMoves().size(), pFile.yMoves().size(), pFile.zMoves().size(), pFile.eMoves().size()};
}

const QByteArray SmallFile = "\n; hello\nG1 X10 Y20 E1.5\n";

} // namespace

class tst_gcodefile : public QObject
{
    Q_OBJECT
private slots:
    void sortsLinesByKind_data();
    void sortsLinesByKind();
    void positionsPointAtTheLines();
    void lineEndsAreNotKept();
    void report();
    void analyzeTwiceAddsKindsAgain();
    void clearEmptiesButKeepsNames();
    void unreadablePathReadsNothing_data();
    void unreadablePathReadsNothing();
    void nameIsUpToFirstDot_data();
    void nameIsUpToFirstDot();
    void slicerOutputAddsUp();
    void extruderRecord();
};

void tst_gcodefile::sortsLinesByKind_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("lines");
    QTest::addColumn<Counts>("counts");

    //                                           blank comm queue  G  M  T  X  Y  Z  E
    QTest::newRow("blank, comment, move")
        << SmallFile << 3 << Counts {1, 1, 1, 1, 0, 0, 1, 1, 0, 1};
    QTest::newRow("M104 S200") << QByteArray("M104 S200\n") << 1
                               << Counts {0, 0, 1, 0, 1, 0, 0, 0, 0, 0};
    QTest::newRow("T1") << QByteArray("T1\n") << 1 << Counts {0, 0, 1, 0, 0, 1, 0, 0, 0, 0};
    // A command without words or comment counts as a comment line.
    QTest::newRow("G28") << QByteArray("G28\n") << 1 << Counts {0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
    QTest::newRow("M84") << QByteArray("M84\n") << 1 << Counts {0, 1, 0, 0, 1, 0, 0, 0, 0, 0};
    QTest::newRow("one line in several kind lists")
        << QByteArray("G1 X1 Y2 Z3 E4 F100 ; all\n") << 1 << Counts {0, 0, 1, 1, 0, 0, 1, 1, 1, 1};
    QTest::newRow("relative and absolute positioning")
        << QByteArray("G91\nG1 Z5\nG90\n") << 3 << Counts {0, 2, 1, 3, 0, 0, 0, 0, 1, 0};
    QTest::newRow("no final line end")
        << QByteArray("G1 X1\nG1 Y2") << 2 << Counts {0, 0, 2, 2, 0, 0, 1, 1, 0, 0};
    QTest::newRow("empty file") << QByteArray() << 0 << Counts(10, 0);
    QTest::newRow("garbage is stored like any line")
        << QByteArray("\x01\x02garbage\xff\n") << 1 << Counts {0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
}

void tst_gcodefile::sortsLinesByKind()
{
    QFETCH(QByteArray, content);
    QFETCH(int, lines);
    QFETCH(Counts, counts);

    QTemporaryDir tDir;
    QVERIFY(tDir.isValid());
    kvGCodeFile tFile;
    tFile.setFileName(writeFile(tDir, QStringLiteral("part.gcode"), content));
    tFile.parse();
    QCOMPARE(tFile.vector().size(), lines);
    QCOMPARE(tFile.blanks().size() + tFile.comments().size() + tFile.queue().size(), lines);

    tFile.analyze();
    QCOMPARE(countsOf(tFile), counts);
    QCOMPARE(tFile.layers().size(), 0);
}

void tst_gcodefile::positionsPointAtTheLines()
{
    kvGCodeFile tFile;
    for (const char *tLine : {"G21", "", "M104 S200", "; note", "G1 X5 E1", "T0"})
        tFile.addGCode(QString::fromLatin1(tLine));
    tFile.analyze();

    const QVector<kvGCode> tLines = tFile.vector();
    QCOMPARE(tFile.blanks(), QVector<int>({1}));
    QCOMPARE(tFile.comments(), QVector<int>({0, 3}));
    QCOMPARE(tFile.queue(), QVector<int>({2, 4, 5}));
    QCOMPARE(tFile.gCommands(), QVector<int>({0, 4}));
    QCOMPARE(tFile.mCommands(), QVector<int>({2}));
    QCOMPARE(tFile.tCommands(), QVector<int>({5}));
    QCOMPARE(tLines.at(tFile.eMoves().at(0)).Raw(), QStringLiteral("G1 X5 E1"));
}

void tst_gcodefile::lineEndsAreNotKept()
{
    QTemporaryDir tDir;
    kvGCodeFile tFile;
    tFile.setFileName(writeFile(tDir, QStringLiteral("dos.gcode"), "G1 X1\r\n\r\n; c\r\n"));
    tFile.parse();

    const QVector<kvGCode> tLines = tFile.vector();
    QCOMPARE(tLines.size(), 3);
    QCOMPARE(tLines.at(0).Raw(), QStringLiteral("G1 X1"));
    QCOMPARE(tLines.at(2).Raw(), QStringLiteral("; c"));
    QCOMPARE(tFile.blanks().size(), 1);
}

void tst_gcodefile::report()
{
    QTemporaryDir tDir;
    kvGCodeFile tFile;
    tFile.setFileName(writeFile(tDir, QStringLiteral("small.part.gcode"), SmallFile));
    tFile.parse();

    const QString tExpected = QStringLiteral("GCode File:   small\n"
                                             "Parse Time:   00:00:00 seconds\n"
                                             "Analyze Time: 00:00:00 seconds\n"
                                             "Layer Height: 0\n"
                                             "Count:        3\n"
                                             "Queue:        1\n"
                                             "Comments:     1\n"
                                             "XMoves:       1\n"
                                             "YMoves:       1\n"
                                             "ZMoves:       0\n"
                                             "GCommands:    1\n"
                                             "MCommands:    0\n"
                                             "TCommands:    0\n"
                                             "EMoves:       1\n");
    QCOMPARE(tFile.analyze(), tExpected);
    QVERIFY(tFile.parseTime() >= 0);
    QVERIFY(tFile.analyzeTime() >= 0);
}

void tst_gcodefile::analyzeTwiceAddsKindsAgain()
{
    QTemporaryDir tDir;
    kvGCodeFile tFile;
    tFile.setFileName(writeFile(tDir, QStringLiteral("small.gcode"), SmallFile));
    tFile.parse();
    tFile.analyze();
    const QString tReport = tFile.analyze();

    QCOMPARE(countsOf(tFile), Counts({1, 1, 1, 2, 0, 0, 2, 2, 0, 2}));
    QVERIFY(tReport.contains(QStringLiteral("Count:        3\n")));
    QVERIFY(tReport.contains(QStringLiteral("Queue:        1\n")));
    QVERIFY(tReport.contains(QStringLiteral("Comments:     1\n")));
    QVERIFY(tReport.contains(QStringLiteral("GCommands:    2\n")));
}

void tst_gcodefile::clearEmptiesButKeepsNames()
{
    QTemporaryDir tDir;
    const QString tPath = writeFile(tDir, QStringLiteral("small.gcode"), SmallFile);
    kvGCodeFile tFile;
    tFile.setFileName(tPath);
    tFile.parse();
    tFile.analyze();

    tFile.clear();
    QCOMPARE(tFile.vector().size(), 0);
    QCOMPARE(countsOf(tFile), Counts(10, 0));
    QCOMPARE(tFile.parseTime(), 0.0f);
    QCOMPARE(tFile.analyzeTime(), 0.0f);
    QCOMPARE(tFile.FileName(), tPath);
    QCOMPARE(tFile.Name(), QStringLiteral("small"));

    const QString tReport = tFile.analyze();
    QVERIFY(tReport.startsWith(QStringLiteral("GCode File:   small\n")));
    QVERIFY(tReport.contains(QStringLiteral("Count:        0\n")));
    QCOMPARE(countsOf(tFile), Counts(10, 0));

    // The same analyser reads the file again from the start.
    tFile.parse();
    QCOMPARE(tFile.vector().size(), 3);
}

void tst_gcodefile::unreadablePathReadsNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing file") << QStringLiteral("no/such/file.gcode");
    QTest::newRow("folder") << QStringLiteral(".");
    QTest::newRow("empty path") << QString();
    // Never opened: a pipe would hold the dialog in its opening, a device never end.
    QTest::newRow("named pipe") << QStringLiteral("pipe.gcode");
}

void tst_gcodefile::unreadablePathReadsNothing()
{
    QFETCH(QString, path);
    QTemporaryDir tDir;
    // Whoever opens the pipe is handed G-code.
    const KvTest::NotAFile tPipe(
        QStringLiteral("pipe"), tDir.filePath(QStringLiteral("pipe.gcode")), "G28\nG1 X1 Y1\n");
    QVERIFY(tPipe.isMade());
    if (path == QLatin1String("pipe.gcode"))
        path = tDir.filePath(path);
    kvGCodeFile tFile;
    tFile.setFileName(path);
    tFile.parse();
    QCOMPARE(tFile.vector().size(), 0);
    tFile.analyze();
    QCOMPARE(countsOf(tFile), Counts(10, 0));
    QVERIFY(!tPipe.wasOpened());
}

void tst_gcodefile::nameIsUpToFirstDot_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QStringLiteral("/tmp/part.gcode") << QStringLiteral("part");
    QTest::newRow("two dots") << QStringLiteral("/tmp/part.v2.gcode") << QStringLiteral("part");
    QTest::newRow("dotted folder")
        << QStringLiteral("/tmp/a.b/cube.gcode") << QStringLiteral("cube");
    QTest::newRow("resource") << QStringLiteral(":/GCodeAnalysis.gcode")
                              << QStringLiteral("GCodeAnalysis");
    QTest::newRow("empty") << QString() << QString();
}

void tst_gcodefile::nameIsUpToFirstDot()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    kvGCodeFile tFile;
    QVERIFY(tFile.Name().isEmpty());
    tFile.setFileName(path);
    QCOMPARE(tFile.FileName(), path);
    QCOMPARE(tFile.Name(), name);
    tFile.setName(QStringLiteral("other"));
    QCOMPARE(tFile.Name(), QStringLiteral("other"));
}

void tst_gcodefile::slicerOutputAddsUp()
{
    // The analysis dialog's sample file, as the slicer wrote it.
    const QString tPath = QStringLiteral(KV_SOURCE_DIR "/resources/GCodeAnalysis.gcode");
    QFile tRaw(tPath);
    QVERIFY(tRaw.open(QIODevice::ReadOnly));
    const QList<QByteArray> tRawLines = tRaw.readAll().split('\n');
    const int tLineCount = tRawLines.size() - (tRawLines.last().isEmpty() ? 1 : 0);

    kvGCodeFile tFile;
    tFile.setFileName(tPath);
    tFile.parse();
    tFile.analyze();

    QCOMPARE(tFile.vector().size(), tLineCount);
    QCOMPARE(tFile.queue().size() + tFile.comments().size() + tFile.blanks().size(), tLineCount);
    QVERIFY(tFile.gCommands().size() > 1000);
    QVERIFY(tFile.eMoves().size() > 100);
    QCOMPARE(tFile.layerHeight(), 0.0f);
    QCOMPARE(tFile.filamentUsedMM(), 0.0f);
    QCOMPARE(tFile.filamentUsedCM3(), 0.0f);
    QCOMPARE(tFile.layers().size(), 0);
}

void tst_gcodefile::extruderRecord()
{
    kvExtruderData tData(2);
    tData.setTemperature(210);
    tData.setExtrusion(1.5f);
    tData.setMaxExtrusion(3);
    tData.setLastExtrusion(1);
    tData.setExtrusionOffset(0.5f);
    tData.setRetracted(true);
    tData.initalize();

    QCOMPARE(tData.Id(), 2);
    QCOMPARE(tData.Temperature(), 0.0f);
    QCOMPARE(tData.Extrusion(), 0.0f);
    QCOMPARE(tData.MaxExtrusion(), 0.0f);
    QCOMPARE(tData.LastExtrusion(), 0.0f);
    QCOMPARE(tData.ExtrusionOffset(), 0.0f);
    QCOMPARE(tData.Retracted(), false);
    QCOMPARE(kvExtruderData().Id(), 0);
}

KV_TEST_MAIN(tst_gcodefile)
#include "tst_gcodefile.moc"
