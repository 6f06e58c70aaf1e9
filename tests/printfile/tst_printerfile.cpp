#include "kvFailingDevice.h"
#include "kvLogger.h"
#include "kvPlatform.h"
#include "kvPrinterFile.h"
#include "kvPrinterFileFixtures.h"
#include "kvSlic3rConfig.h"
#include "kvTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

using KvTest::readFile;
using KvTest::writeFile;

using namespace Kv::Defines;

using namespace KvPrinterFileTest;

class tst_PrinterFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void detection_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("fileType");
        QTest::addColumn<int>("stlType");
        QTest::addColumn<int>("triangles");

        const QByteArray tBinary = readFile(KvTest::dataPath("cube-binary.stl"));
        QCOMPARE(tBinary.size(), 684);
        QTest::newRow("ascii") << KvTest::dataPath("cube-ascii.stl") << int(FileTypeSTL)
                               << int(STLFileTypeASCII) << 12;
        QTest::newRow("binary") << KvTest::dataPath("cube-binary.stl") << int(FileTypeSTL)
                                << int(STLFileTypeBinary) << 12;
        QTest::newRow("binary with solid header")
            << KvTest::dataPath("cube-solid-header.stl") << int(FileTypeSTL)
            << int(STLFileTypeBinary) << 12;
        QTest::newRow("capital suffix") << writeFile(m_dir, "cube.STL", tBinary) << int(FileTypeSTL)
                                        << int(STLFileTypeBinary) << 12;
        QTest::newRow("stl before gcode") << writeFile(m_dir, "part.stl.gcode", tBinary)
                                          << int(FileTypeSTL) << int(STLFileTypeBinary) << 12;
        QTest::newRow("ascii shorter than 256 bytes")
            << KvTest::dataPath("triangle-short.stl") << int(FileTypeSTL) << int(STLFileTypeASCII)
            << 1;
        QTest::newRow("shorter than a header") << writeFile(m_dir, "tiny.stl", "solid x\n")
                                               << int(FileTypeSTL) << int(STLFileTypeASCII) << 0;
        QTest::newRow("gcode") << KvTest::dataPath("few-lines.gcode") << int(FileTypeGCode) << -1
                               << 0;
        QTest::newRow("gcode before txt")
            << writeFile(m_dir, "part.gcode.txt", "G28\n") << int(FileTypeGCode) << -1 << 0;
    }

    void detection()
    {
        QFETCH(QString, path);
        QFETCH(int, fileType);
        QFETCH(int, stlType);
        QFETCH(int, triangles);

        kvPrinterFile tFile(path);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::STLParseComplete);
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(int(tFile.fileType()), fileType);
        if (stlType >= 0) {
            QCOMPARE(int(tFile.stlFileType()), stlType);
            QCOMPARE(tComplete.count(), 1);
        } else {
            QCOMPARE(tComplete.count(), 0);
            QCOMPARE(tFile.tempGCodeFileName(), path);
            QVERIFY(tFile.GCodeQueueCount() > 0);
        }
        QCOMPARE(tModel.triangles().size(), triangles);
        QCOMPARE(tModel.name(), QFileInfo(path).fileName());
        QCOMPARE(tModel.filename(), path);
    }

    void missingFile()
    {
        const QString tPath = m_dir.filePath("nowhere.stl");
        kvPrinterFile tFile(tPath);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::STLParseComplete);
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(tModel.triangles().size(), 0);
        QCOMPARE(tModel.filename(), tPath);
        QVERIFY(textValues(tStatus).contains("kvPrinterFile::loadFile: Failed to open file!"));
        QCOMPARE(tComplete.count(), 1);

        kvPrinterFile tOther(m_dir.filePath("nowhere.txt"));
        tOther.setFileType(FileTypeGCode);
        QCOMPARE(tOther.loadFile().triangles().size(), 0);
        QCOMPARE(tOther.fileType(), FileTypeGCode);
    }

    // Only the name's ending tells what a file is; without one nothing is read.
    void nameWithoutEndingIsRefused()
    {
        kvPrinterFile tFile(
            writeFile(m_dir, "part-without-ending", readFile(KvTest::dataPath("cube-ascii.stl"))));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tSTL(&tFile, &kvPrinterFile::STLParseComplete);
        QSignalSpy tGCode(&tFile, &kvPrinterFile::GCodeParseComplete);
        QCOMPARE(tFile.loadFile().triangles().size(), 0);
        QCOMPARE(tSTL.count() + tGCode.count(), 0);
        QCOMPARE(tFile.loadRefusal(), QStringLiteral("its name has no .stl or .gcode ending"));
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral(
                "kvPrinterFile::determineFileType: The file name has no .stl or .gcode ending."));
    }

    void loadProgress_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<int>>("progress");
        // 3007 bytes of text are taken as 11 facets; the twelfth would be above 100.
        QTest::newRow("ascii") << KvTest::dataPath("cube-ascii.stl")
                               << QList<int>({9, 18, 27, 36, 45, 54, 63, 72, 81, 90, 100, 99, 100});
        QTest::newRow("binary") << KvTest::dataPath(
            "cube-binary.stl") << QList<int>({8, 16, 25, 33, 41, 50, 58, 66, 75, 83, 91, 100, 100});
        QTest::newRow("short text")
            << KvTest::dataPath("triangle-short.stl") << QList<int>({99, 100});
    }

    void loadProgress()
    {
        QFETCH(QString, path);
        QFETCH(QList<int>, progress);
        kvPrinterFile tFile(path);
        QSignalSpy tSpy(&tFile, &kvPrinterFile::LoadFileProgress);
        tFile.loadFile();
        QCOMPARE(intValues(tSpy), progress);
    }

    void loadWarningsStayOnScreen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("warnings");

        const QByteArray tCube = readFile(KvTest::dataPath("cube-binary.stl"));
        const float tNan = std::numeric_limits<float>::quiet_NaN();
        const QString tTruncated
            = QStringLiteral("parseSTLBinary: File is truncated: 12 of 1000 facets present.");
        const QString tBinaryDropped = QStringLiteral(
            "parseSTLBinary: 1 facets with coordinates that are not finite numbers dropped.");
        QTest::newRow("binary count beyond its facets")
            << "short.stl" << withCount(tCube, 1000) << QStringList {tTruncated};
        QTest::newRow("binary non-finite corner")
            << "nan.stl" << withCorner(tCube, 4, 7, tNan) << QStringList {tBinaryDropped};
        QTest::newRow("binary cut short with a non-finite corner")
            << "both.stl" << withCorner(withCount(tCube, 1000), 2, 0, tNan)
            << QStringList {tTruncated, tBinaryDropped};

        const QByteArray tFacet(tOneFacet);
        QTest::newRow("ascii non-finite corner")
            << "nan-ascii.stl"
            << "solid part\n" + tFacet
                + QByteArray(tOneFacet).replace("vertex 1 0 0", "vertex inf 0 0")
                + "endsolid part\n"
            << QStringList {QStringLiteral("parseSTLAscii: 1 facets with coordinates that are not "
                                           "finite numbers dropped.")};
        QTest::newRow("ascii cut inside a facet")
            << "cut.stl"
            << "solid part\n" + tFacet + tFacet.left(tFacet.indexOf("vertex 1"))
            << QStringList {
                   QStringLiteral("parseSTLAscii: File ends inside a facet; 1 facets read.")};
        QTest::newRow("G-code line too long")
            << "long.gcode"
            << "G28\n" + QByteArray((1 << 20) + 1, 'X') + "\nG1 X1\n"
            << QStringList {
                   QStringLiteral("parseGCode: 1 lines longer than 1048576 bytes skipped.")};
        QTest::newRow("missing file")
            << QString() << QByteArray()
            << QStringList {QStringLiteral("loadFile: Failed to open file!")};
    }

    // What went wrong in a load is said once, as its last status: its clean end must not
    // replace it on the screen.
    void loadWarningsStayOnScreen()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, data);
        QFETCH(QStringList, warnings);

        kvPrinterFile tFile(
            name.isEmpty() ? m_dir.filePath("gone.stl") : writeFile(m_dir, name, data));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        tFile.loadFile();
        const QStringList tTexts = textValues(tStatus);
        QCOMPARE(tTexts.filter("kvPrinterFile::loadFile: end [").size(), 1);
        QCOMPARE(tTexts.last(), "kvPrinterFile::" + warnings.join(' '));
        for (const QString &tWarning : warnings)
            QCOMPARE(tTexts.filter(tWarning).size(), 1);
    }

    // A reader used on its own ends with its warning too.
    void readErrorSaidLast()
    {
        const QByteArray tCube = readFile(KvTest::dataPath("cube-binary.stl"));
        KvTest::FailingDevice tDevice(tCube, 84 + 5 * 50 + 10);
        QVERIFY(tDevice.open(QIODevice::ReadOnly));
        kvPrinterFile tFile;
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QCOMPARE(tFile.parseSTLBinary(&tDevice).triangles().size(), 5);
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::parseSTLBinary: Read error after 5 facets."));
    }

    void readersOnMemory()
    {
        QBuffer tBuffer;
        tBuffer.setData(readFile(KvTest::dataPath("cube-binary.stl")));
        QVERIFY(tBuffer.open(QIODevice::ReadOnly));
        kvPrinterFile tFile;
        QCOMPARE(tFile.parseSTLBinary(&tBuffer).triangles().size(), 12);
        QCOMPARE(tFile.parseSTLAscii(&tBuffer).triangles().size(), 0);

        QBuffer tClosed;
        QCOMPARE(tFile.parseSTLBinary(&tClosed).triangles().size(), 0);
        QCOMPARE(tFile.parseSTLAscii(&tClosed).triangles().size(), 0);
    }

    void statusTextsOfALoad()
    {
        kvPrinterFile tFile(KvTest::dataPath("cube-binary.stl"));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::STLParseComplete);
        tFile.loadFile();
        const QStringList tTexts = textValues(tStatus);
        QCOMPARE(tTexts.size(), 4);
        const QString tTime = "\\[\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d:\\d{3}\\]";
        QVERIFY(QRegularExpression("^kvPrinterFile::loadFile: start " + tTime + "\\.$")
                    .match(tTexts.at(0))
                    .hasMatch());
        QVERIFY(QRegularExpression(
            "^kvPrinterFile::parseSTLBinary: Begin parse STL Binary " + tTime + "\\.$")
                    .match(tTexts.at(1))
                    .hasMatch());
        QVERIFY(QRegularExpression("^kvPrinterFile::parseSTLBinary: End parse STL Binary " + tTime
            + "\\. Elapsed time: \\d+ seconds\\.$")
                    .match(tTexts.at(2))
                    .hasMatch());
        QVERIFY(QRegularExpression(
            "^kvPrinterFile::loadFile: end " + tTime + "\\. Elapsed time: \\d+ seconds\\.$")
                    .match(tTexts.at(3))
                    .hasMatch());
        QCOMPARE(tComplete.count(), 1);
    }

    void statusTextsGoToTheLog()
    {
        kvLogger tLogger;
        tLogger.setLogLevel(LoggerLevelAll);
        kvPrinterFile tFile(KvTest::dataPath("cube-binary.stl"));
        tFile.setLogger(&tLogger);
        // Not created yet: nothing is written, the signal still carries the text.
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        tFile.loadFile();
        QCOMPARE(tStatus.count(), 4);

        QVERIFY(QDir().mkpath(Kv::Platform::appDataLocation()));
        tLogger.create();
        QVERIFY(tLogger.isCreated());
        tFile.loadFile();
        const QString tLog = readFile(Kv::Platform::appDataLocation() + "/" + tLogger.fileName());
        QCOMPARE(tLog.count("kvPrinterFile::"), 4);
        QVERIFY(tLog.contains("] kvPrinterFile::parseSTLBinary: Begin parse STL Binary ["));
    }

    void fileNamesReachTheSlicingJob()
    {
        kvPrinterFile tFile(KvTest::dataPath("cube-ascii.stl"));
        QVERIFY(tFile.slic3rConfig());
        QCOMPARE(tFile.slic3rConfig()->Input(), KvTest::dataPath("cube-ascii.stl"));
        tFile.setTempGCodeFileName("/tmp/Kestrova.gcode");
        QCOMPARE(tFile.slic3rConfig()->Output(), QString("/tmp/Kestrova.gcode"));
        tFile.loadFile(KvTest::dataPath("cube-binary.stl"));
        QCOMPARE(tFile.slic3rConfig()->Input(), KvTest::dataPath("cube-binary.stl"));
        QCOMPARE(tFile.fileName(), KvTest::dataPath("cube-binary.stl"));
        QVERIFY(!tFile.isSliced());
        QVERIFY(!tFile.isSlicing());
        QCOMPARE(tFile.scale(), 1.0f);
        QVERIFY(!tFile.useRawGCode());
    }
};

KV_TEST_MAIN(tst_PrinterFile)
#include "tst_printerfile.moc"
