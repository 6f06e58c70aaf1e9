#include "kvLargeDevice.h"
#include "kvLogger.h"
#include "kvPlatform.h"
#include "kvPrinterFile.h"
#include "kvSlic3rConfig.h"
#include "kvTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

using namespace Kv::Defines;

namespace {

QByteArray readFile(const QString &pPath)
{
    QFile tFile(pPath);
    return tFile.open(QIODevice::ReadOnly) ? tFile.readAll() : QByteArray();
}

QList<int> progressValues(const QSignalSpy &pSpy)
{
    QList<int> tValues;
    for (const QList<QVariant> &tArgs : pSpy)
        tValues << tArgs.at(0).toInt();
    return tValues;
}

QStringList statusTexts(const QSignalSpy &pSpy)
{
    QStringList tTexts;
    for (const QList<QVariant> &tArgs : pSpy)
        tTexts << tArgs.at(0).toString();
    return tTexts;
}

QByteArray withCount(QByteArray pData, qint32 pCount)
{
    char tBytes[4];
    qToLittleEndian(pCount, tBytes);
    return pData.replace(80, 4, tBytes, 4);
}

const char *const tOneFacet = "  facet normal 0 0 1\n"
                              "    outer loop\n"
                              "      vertex 0 0 0\n"
                              "      vertex 1 0 0\n"
                              "      vertex 0 1 0\n"
                              "    endloop\n"
                              "  endfacet\n";

} // namespace

class tst_PrinterFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeTemp(const QString &pName, const QByteArray &pData)
    {
        const QString tPath = m_dir.filePath(pName);
        QFile tFile(tPath);
        if (!tFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        tFile.write(pData);
        return tPath;
    }

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
        QTest::newRow("capital suffix")
            << writeTemp("cube.STL", tBinary) << int(FileTypeSTL) << int(STLFileTypeBinary) << 12;
        QTest::newRow("stl before gcode") << writeTemp("part.stl.gcode", tBinary)
                                          << int(FileTypeSTL) << int(STLFileTypeBinary) << 12;
        QTest::newRow("ascii shorter than 256 bytes")
            << KvTest::dataPath("triangle-short.stl") << int(FileTypeSTL) << int(STLFileTypeASCII)
            << 1;
        QTest::newRow("shorter than a header")
            << writeTemp("tiny.stl", "solid x\n") << int(FileTypeSTL) << int(STLFileTypeASCII) << 0;
        QTest::newRow("gcode") << KvTest::dataPath("few-lines.gcode") << int(FileTypeGCode) << -1
                               << 0;
        QTest::newRow("gcode before txt")
            << writeTemp("part.gcode.txt", "G28\n") << int(FileTypeGCode) << -1 << 0;
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
        QVERIFY(statusTexts(tStatus).contains("kvPrinterFile::loadFile: Failed to open file!"));
        QCOMPARE(tComplete.count(), 1);

        kvPrinterFile tOther(m_dir.filePath("nowhere.txt"));
        tOther.setFileType(FileTypeGCode);
        QCOMPARE(tOther.loadFile().triangles().size(), 0);
        QCOMPARE(tOther.fileType(), FileTypeGCode);
    }

    void asciiMatchesBinary()
    {
        kvPrinterFile tAscii(KvTest::dataPath("cube-ascii.stl"));
        kvPrinterFile tBinary(KvTest::dataPath("cube-binary.stl"));
        const kvModel tA = tAscii.loadFile();
        const kvModel tB = tBinary.loadFile();
        QCOMPARE(tA.vertexVector().size(), 36);
        QCOMPARE(tA.vertexVector(), tB.vertexVector());
        QCOMPARE(tA.normals(), tB.normals());
        QCOMPARE(tA.vertexVector().at(1), kvVector3D(0, 10, 0));
        QCOMPARE(tA.vertexVector().at(35), kvVector3D(10, 0, 10));
    }

    void asciiText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("triangles");
        QTest::addColumn<bool>("truncated");

        const QByteArray tFacet(tOneFacet);
        QTest::newRow("solid header then facets") << "solid part\n" + tFacet + tFacet
                + "endsolid part\n" << 2 << false;
        QTest::newRow("facet word in the end name") << "solid part\n" + tFacet
                + "endsolid facetedPart\n" << 1 << false;
        QTest::newRow("facet word in the solid name") << "solid facetedPart\n" + tFacet
                + "endsolid\n" << 1 << false;
        QTest::newRow("starts with facet") << tFacet.mid(2) + tFacet << 0 << false;
        QTest::newRow("no facet") << QByteArray("solid empty\nendsolid empty\n") << 0 << false;
        QTest::newRow("ends inside a loop")
            << "solid part\n" + tFacet + tFacet.left(tFacet.indexOf("vertex 1")) << 1 << true;
        QTest::newRow("ends after the loop")
            << "solid part\n" + tFacet + tFacet.left(tFacet.indexOf("endfacet")) << 2 << true;
        QTest::newRow("ends after facet normal") << "solid part\n" + tFacet
                + "  facet normal 0 0 1\n" << 1 << true;
        QTest::newRow("ends after the third vertex")
            << "solid part\n" + tFacet + tFacet.left(tFacet.indexOf("    endloop")) << 2 << true;
        QTest::newRow("ends inside the third vertex")
            << "solid part\n" + tFacet + tFacet.left(tFacet.indexOf("1 0\n    endloop")) << 1
            << true;
        QTest::newRow("padded with NUL bytes")
            << "solid part\n" + tFacet + tFacet + "endsolid part\n" + QByteArray(700, '\0') << 2
            << false;
        QTest::newRow("byte-order mark, padded") << "\xEF\xBB\xBFsolid part\n" + tFacet + tFacet
                + "endsolid part\n" + QByteArray(700, '\0') << 2 << false;
        QTest::newRow("tabs, blank runs and CR LF")
            << "solid part\r\n" + QByteArray(tOneFacet).replace('\n', "\r\n")
                + "facet normal 0\t0\t1\r\nouter loop\r\nvertex\t0\t0\t0\r\n"
                  "vertex 1 \t 0   0\r\nvertex 0\t\t1 0\t\r\nendloop\r\nendfacet\r\n"
            << 2 << false;
        QTest::newRow("lower and mixed case") << "SOLID part\n" + tFacet.toUpper()
                + "Facet Normal 0 0 1\nOuter Loop\nVertex 0 0 0\n"
                  "Vertex 1 0 0\nVertex 0 1 0\nEndLoop\nEndFacet\n"
                                              << 2 << false;
    }

    void asciiText()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, triangles);
        QFETCH(bool, truncated);

        kvPrinterFile tFile(writeTemp("text.stl", text));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(tFile.stlFileType(), STLFileTypeASCII);
        QCOMPARE(tModel.triangles().size(), triangles);
        const QVector<kvVector3D> tCorners = tModel.vertexVector();
        for (int i = 0; i + 2 < tCorners.size(); i += 3) {
            QCOMPARE(tCorners.at(i), kvVector3D(0, 0, 0));
            QCOMPARE(tCorners.at(i + 1), kvVector3D(1, 0, 0));
            QCOMPARE(tCorners.at(i + 2), kvVector3D(0, 1, 0));
        }
        QCOMPARE(statusTexts(tStatus).filter("ends inside a facet").size(), truncated ? 1 : 0);
    }

    void cutLastFacet_data()
    {
        QTest::addColumn<int>("cutAt");
        QTest::addColumn<int>("triangles");

        const QByteArray tFacet = QByteArray(tOneFacet).replace("vertex 0 1 0", "vertex 0 1 7");
        const int tThird = tFacet.indexOf("vertex 0 1 7");
        QTest::newRow("after the third vertex's line") << tFacet.indexOf("    endloop") << 1;
        QTest::newRow("inside the end of the loop") << tFacet.indexOf("dloop") << 1;
        QTest::newRow("after the third vertex's word") << tThird + 6 << 0;
        QTest::newRow("inside the third vertex's numbers") << tThird + 10 << 0;
    }

    // A facet cut after its third vertex keeps that vertex as written; one cut sooner is
    // dropped, and nothing past the text is read.
    void cutLastFacet()
    {
        QFETCH(int, cutAt);
        QFETCH(int, triangles);

        const QByteArray tFacet = QByteArray(tOneFacet).replace("vertex 0 1 0", "vertex 0 1 7");
        kvPrinterFile tFile(writeTemp("cut.stl", "solid part\n" + tFacet.left(cutAt)));
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(tModel.triangles().size(), triangles);
        if (triangles > 0)
            QCOMPARE(tModel.vertexVector().at(2), kvVector3D(0, 1, 7));
    }

    void vectorText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector3D>("vector");
        QTest::newRow("plain") << "1 2 3" << QVector3D(1, 2, 3);
        QTest::newRow("exponents and blanks")
            << "  1.5E+01   -2.5e-1  3E0 \n " << QVector3D(15, -0.25f, 3);
        QTest::newRow("signed") << "+1 -0 +2" << QVector3D(1, 0, 2);
        QTest::newRow("not a number") << "abc 2 3x" << QVector3D(0, 2, 0);
        QTest::newRow("two signs") << "+-1 --2 ++3" << QVector3D(0, 0, 0);
        QTest::newRow("tabs split") << "1\t2\t3" << QVector3D(1, 2, 3);
        QTest::newRow("runs of white space") << "1 \t 2\r\n3\r\n" << QVector3D(1, 2, 3);
    }

    void vectorText()
    {
        QFETCH(QString, text);
        QFETCH(QVector3D, vector);
        QCOMPARE(QVector3D(kvPrinterFile::parseVector(text)), vector);
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
        QCOMPARE(progressValues(tSpy), progress);
    }

    void binaryProgressRisesFromZero()
    {
        const QByteArray tFacet = readFile(KvTest::dataPath("cube-binary.stl")).mid(84, 50);
        QByteArray tData(80, 'x');
        tData += QByteArray(4, '\0') + tFacet.repeated(1000);
        kvPrinterFile tFile(writeTemp("thousand.stl", withCount(tData, 1000)));
        QSignalSpy tSpy(&tFile, &kvPrinterFile::LoadFileProgress);
        QCOMPARE(tFile.loadFile().triangles().size(), 1000);
        // Each value once, as it is reached, and the closing 100.
        QList<int> tExpected;
        for (int i = 0; i <= 100; ++i)
            tExpected << i;
        tExpected << 100;
        QCOMPARE(progressValues(tSpy), tExpected);
    }

    void binaryCountMismatch_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("triangles");
        QTest::addColumn<QString>("status");

        const QByteArray tCube = readFile(KvTest::dataPath("cube-binary.stl"));
        QTest::newRow("cut inside the sixth facet")
            << tCube.left(84 + 5 * 50 + 20) << 5 << "File is truncated: 5 of 12";
        QTest::newRow("header count too large")
            << withCount(tCube, 1000000000) << 12 << "File is truncated: 12 of 1000000000";
        QTest::newRow("negative count") << withCount(tCube, -5) << 12 << "Invalid facet count -5";
        QTest::newRow("header count too small")
            << withCount(tCube, 3) << 3 << "File is longer than its 3 facets";
        QTest::newRow("one byte appended") << tCube + 'x' << 12 << "File is longer than its 12";
        QTest::newRow("count without facets")
            << tCube.left(84) + QByteArray(30, '\0') << 0 << "File is truncated: 0 of 12";
    }

    void binaryCountMismatch()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, triangles);
        QFETCH(QString, status);

        kvPrinterFile tFile(writeTemp("mismatch.stl", data));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tProgress(&tFile, &kvPrinterFile::LoadFileProgress);
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(tFile.stlFileType(), STLFileTypeBinary);
        QCOMPARE(tModel.triangles().size(), triangles);
        QCOMPARE(statusTexts(tStatus).filter(status).size(), 1);
        QCOMPARE(progressValues(tProgress).last(), 100);
    }

    void nonFiniteFacetsDropped_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("triangles");
        QTest::addColumn<QString>("status");

        const QByteArray tFacet(tOneFacet);
        QByteArray tNan = tFacet;
        tNan.replace("vertex 1 0 0", "vertex nan 0 0");
        QByteArray tInf = tFacet;
        tInf.replace("vertex 0 1 0", "vertex 0 -inf 0");
        QTest::newRow("ascii")
            << "solid part\n" + tFacet + tNan + tFacet + tInf + "endsolid\n" << 2
            << "parseSTLAscii: 2 facets with coordinates that are not finite numbers dropped.";

        QByteArray tBinary = readFile(KvTest::dataPath("cube-binary.stl"));
        const float tValues[] = {std::numeric_limits<float>::quiet_NaN(),
            std::numeric_limits<float>::infinity()};
        for (int i = 0; i < 2; ++i) {
            quint32 tBits;
            std::memcpy(&tBits, &tValues[i], 4);
            char tBytes[4];
            qToLittleEndian(tBits, tBytes);
            tBinary.replace(84 + 50 * (3 + i) + 12 + 4 * (5 + i), 4, tBytes, 4);
        }
        QTest::newRow("binary")
            << tBinary << 10
            << "parseSTLBinary: 2 facets with coordinates that are not finite numbers dropped.";
    }

    // A NaN corner would give NaN normals in the view and "nan" in the slicer's input.
    void nonFiniteFacetsDropped()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, triangles);
        QFETCH(QString, status);

        kvPrinterFile tFile(writeTemp("nonfinite.stl", data));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        kvModel tModel = tFile.loadFile();
        QCOMPARE(tModel.triangles().size(), triangles);
        for (const kvVector3D &tPoint : tModel.vertexVector() + tModel.normals())
            QVERIFY(std::isfinite(tPoint.x() + tPoint.y() + tPoint.z()));
        QCOMPARE(statusTexts(tStatus).filter("kvPrinterFile::" + status).size(), 1);
    }

    // Text past 2 GiB cannot be held at once; it must not pass for an empty part.
    void asciiTooLargeToHoldIsAnError()
    {
        KvTest::LargeDevice tDevice("solid big\n", (qint64(1) << 31) + 10, ' ', "endsolid big\n");
        QVERIFY(tDevice.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        kvPrinterFile tFile;
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QCOMPARE(tFile.parseSTLAscii(&tDevice).triangles().size(), 0);
        const QString tError = QStringLiteral("kvPrinterFile::parseSTLAscii: Cannot read the file (%1 bytes)")
                                   .arg(tDevice.size());
        QCOMPARE(statusTexts(tStatus).filter(tError).size(), 1);
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
        const QStringList tTexts = statusTexts(tStatus);
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
