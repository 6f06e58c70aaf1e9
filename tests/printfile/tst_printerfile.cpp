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
#include <memory>

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

    // A file too short to hold a facet count is no binary STL, whatever bytes it holds; one
    // that holds a count it does not match, and no ASCII STL text, is binary when it holds a
    // NUL byte. The type is that of the reader that ran, whatever the print file loaded
    // before.
    void shortFilesWithNulBytes_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("stlType");
        QTest::addColumn<int>("triangles");

        QTest::newRow("one NUL byte") << QByteArray(1, '\0') << int(STLFileTypeASCII) << 0;
        QTest::newRow("a header without its count")
            << QByteArray(80, '\0') << int(STLFileTypeASCII) << 0;
        QTest::newRow("three bytes of a count")
            << QByteArray(83, '\0') << int(STLFileTypeASCII) << 0;
        QTest::newRow("solid and a NUL, no facet")
            << QByteArray("solid x\0\n", 9) << int(STLFileTypeASCII) << 0;
        const QByteArray tFacet("\0 facet normal outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 "
                                "endloop endfacet",
            81);
        QTest::newRow("a facet after a NUL") << tFacet << int(STLFileTypeASCII) << 1;
        QTest::newRow("a header and a count of no facet")
            << QByteArray(84, '\0') << int(STLFileTypeBinary) << 0;
        QTest::newRow("a facet after a NUL, with a count")
            << tFacet + QByteArray(3, ' ') << int(STLFileTypeBinary) << 0;
    }
    void shortFilesWithNulBytes()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, stlType);
        QFETCH(int, triangles);
        const QString tPath = writeFile(m_dir, "short.stl", data);
        const QString tReader = stlType == STLFileTypeBinary
            ? QStringLiteral("kvPrinterFile::parseSTLBinary: Begin parse")
            : QStringLiteral("kvPrinterFile::parseSTLAscii: Begin parse");

        kvPrinterFile tFile;
        for (const QString &tBefore :
            {QString(), KvTest::dataPath("cube-binary.stl"), KvTest::dataPath("cube-ascii.stl")}) {
            if (!tBefore.isEmpty())
                QCOMPARE(tFile.loadFile(tBefore).triangles().size(), 12);
            QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
            const kvModel tModel = tFile.loadFile(tPath);
            QCOMPARE(int(tFile.stlFileType()), stlType);
            QCOMPARE(tModel.triangles().size(), triangles);
            const QStringList tBegun = textValues(tStatus).filter("Begin parse");
            QCOMPARE(tBegun.size(), 1);
            QVERIFY2(tBegun.first().startsWith(tReader), qPrintable(tBegun.first()));
        }
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

    // Files that other programs write in ways of their own, read as what they hold: no
    // corner or line made up, none run together, no byte changed, and a refusal that says
    // why.
    void oddFilesAreReadAsTheyStand_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("triangles"); // -1: a G-code file
        QTest::addColumn<QByteArrayList>("lines"); // the queued lines as they are sent
        QTest::addColumn<QString>("status"); // the last status; empty: the load's end
        QTest::addColumn<QString>("refusal");

        const QByteArray tFacet(tOneFacet);
        const auto tAscii = [&](const QByteArray &pOdd) {
            return "solid part\n" + tFacet + pOdd + "endsolid part\n";
        };
        const QString tNotFinite = QStringLiteral(
            "parseSTLAscii: 1 facets with coordinates that are not finite numbers dropped.");
        QTest::newRow("coordinate too large for a float")
            << "huge.stl"
            << tAscii(QByteArray(tOneFacet).replace("vertex 1 0 0", "vertex 1e400 0 0")) << 1
            << QByteArrayList() << tNotFinite << QString();
        QTest::newRow("coordinate just above the float range")
            << "above.stl"
            << tAscii(QByteArray(tOneFacet).replace("vertex 0 1 0", "vertex 0 -3.5e38 0")) << 1
            << QByteArrayList() << tNotFinite << QString();
        QTest::newRow("coordinate too close to 0 for a float reads as 0")
            << "tiny.stl"
            << tAscii(QByteArray(tOneFacet).replace("vertex 1 0 0", "vertex 1 1e-400 0")) << 2
            << QByteArrayList() << QString() << QString();

        const QString tMisshapen
            = QStringLiteral("parseSTLAscii: 1 facets without a loop of three vertices dropped.");
        QTest::newRow("loop of four vertices")
            << "four.stl"
            << tAscii(
                   QByteArray(tOneFacet).replace("vertex 0 1 0\n", "vertex 0 1 5\n vertex 1 1 5\n"))
            << 1 << QByteArrayList() << tMisshapen << QString();
        QTest::newRow("loop of two vertices")
            << "two.stl" << tAscii(QByteArray(tOneFacet).replace("vertex 0 1 0\n", "")) << 1
            << QByteArrayList() << tMisshapen << QString();
        QTest::newRow("loop of two vertices before a whole facet")
            << "two-first.stl"
            << "solid part\n" + QByteArray(tOneFacet).replace("vertex 0 1 0\n", "") + tFacet
                + "endsolid part\n"
            << 1 << QByteArrayList() << tMisshapen << QString();

        // An editor's "Unicode": UTF-16, with its byte order mark or without.
        const QString tCube = QString::fromLatin1(readFile(KvTest::dataPath("cube-ascii.stl")));
        QByteArray tLittle("\xFF\xFE");
        QByteArray tBig;
        for (const QChar tChar : tCube) {
            tLittle.append(char(tChar.unicode() & 0xFF)).append(char(tChar.unicode() >> 8));
            tBig.append(char(tChar.unicode() >> 8)).append(char(tChar.unicode() & 0xFF));
        }
        const QString tUtf16
            = QStringLiteral("determineSTLType: The file is UTF-16 text; an "
                             "ASCII STL file must be saved as ASCII or UTF-8 text.");
        const QString tUtf16Reason = QStringLiteral("it is UTF-16 text, not ASCII STL text");
        QTest::newRow("UTF-16 ASCII STL")
            << "unicode.stl" << tLittle << 0 << QByteArrayList() << tUtf16 << tUtf16Reason;
        QTest::newRow("UTF-16 ASCII STL, big-endian without a mark")
            << "unicode-be.stl" << tBig << 0 << QByteArrayList() << tUtf16 << tUtf16Reason;

        QTest::newRow("facet count with its top bit set")
            << "count.stl" << withCount(readFile(KvTest::dataPath("cube-binary.stl")), -1) << 12
            << QByteArrayList()
            << QStringLiteral("parseSTLBinary: Invalid facet count 4294967295, reading 12 facets.")
            << QString();

        const QByteArrayList tClosing {"G28 X159 Y150", "G91", "G90"};
        QTest::newRow("G-code with CR line ends")
            << "mac.gcode" << QByteArray("G28\rG1 X10 Y10\r;comment\rG1 X20\r") << -1
            << QByteArrayList {"G28", "G1 X10 Y10", "G1 X20"} + tClosing << QString() << QString();
        QTest::newRow("G-code with CR, LF and CR LF line ends")
            << "mixed.gcode" << QByteArray("G28\r\nG1 X10\rG1 X20\n\rG1 X30\r\n") << -1
            << QByteArrayList {"G28", "G1 X10", "G1 X20", "G1 X30"} + tClosing << QString()
            << QString();
        QTest::newRow("G-code bytes that are not UTF-8")
            << "latin1.gcode"
            << QByteArray("M117 Gr\xFC\xDF"
                          "e\nG1 X1 ; \xE9t\xE9\nM117 \xF0\x9F\x96\xA8 \xED\xA0\x80\xC0\xAF\n")
            << -1
            << QByteArrayList {"M117 Gr\xFC\xDF"
                               "e",
                   "G1 X1", "M117 \xF0\x9F\x96\xA8 \xED\xA0\x80\xC0\xAF"}
                + tClosing
            << QString() << QString();
        QTest::newRow("G-code of one over-long line")
            << "long.gcode"
            << "G1 X1 ; " + QByteArray(1 << 20, 'x') + "\n"
            << -1 << QByteArrayList()
            << QStringLiteral("parseGCode: 1 lines longer than 1048576 bytes skipped. parseGCode: "
                              "Nothing is left to print once the lines longer than 1048576 bytes "
                              "are skipped; nothing was queued.")
            << QStringLiteral("it holds lines longer than 1048576 bytes, which cannot be sent, "
                              "and no other G, M or T command");
    }
    void oddFilesAreReadAsTheyStand()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, data);
        QFETCH(int, triangles);
        QFETCH(QByteArrayList, lines);
        QFETCH(QString, status);
        QFETCH(QString, refusal);

        kvPrinterFile tFile(writeFile(m_dir, name, data));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        const kvModel tModel = tFile.loadFile();
        const QStringList tTexts = textValues(tStatus);
        if (status.isEmpty())
            QVERIFY2(tTexts.last().startsWith("kvPrinterFile::loadFile: end ["),
                qPrintable(tTexts.last()));
        else
            QCOMPARE(tTexts.last(), "kvPrinterFile::" + status);
        if (triangles >= 0) {
            QCOMPARE(tFile.fileType(), FileTypeSTL);
            QCOMPARE(tModel.triangles().size(), triangles);
            QCOMPARE(tFile.loadRefusal(), refusal);
            // No corner that the file does not hold.
            if (tFile.stlFileType() == STLFileTypeASCII)
                for (const kvTriangle &tTriangle : tModel.triangles())
                    for (const kvVertex &tCorner : tTriangle.vertices())
                        QCOMPARE(tCorner.position().z(), 0.0f);
        } else {
            QCOMPARE(tFile.fileType(), FileTypeGCode);
            QCOMPARE(tFile.gcodeRefusal(), refusal);
            QByteArrayList tSent;
            for (const kvGCode &tLine : tFile.gcodeQueue())
                tSent << kvGCode::lineBytes(tLine.Cleaned());
            QCOMPARE(tSent, lines);
        }
    }

    // Anything but a regular file is refused before it is opened: a pipe would block the
    // opening for good, a device never end.
    void notAFileIsNotOpened_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe")
            << "pipe" << QStringLiteral("it is a named pipe (FIFO), not a regular file");
        QTest::newRow("named pipe, G-code")
            << "pipe.gcode" << QStringLiteral("it is a named pipe (FIFO), not a regular file");
        QTest::newRow("socket") << "socket" << QStringLiteral("it is a socket, not a regular file");
        QTest::newRow("device") << "device" << QStringLiteral("it is a device, not a regular file");
        QTest::newRow("folder") << "folder" << QStringLiteral("it is a folder, not a regular file");
    }
    void notAFileIsNotOpened()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir tDir;
        const QString tPath
            = tDir.filePath(kind == QLatin1String("pipe.gcode") ? "part.gcode" : "part.stl");
        // Whoever opens the pipe gets a whole part: a reader that opens it loads that part.
        const KvTest::NotAFile tOdd(kind.section(QLatin1Char('.'), 0, 0), tPath,
            kind.endsWith(QLatin1String(".gcode")) ? QByteArray("G28\nG1 X1\n")
                                                   : readFile(KvTest::dataPath("cube-ascii.stl")));
        QVERIFY(tOdd.isMade());

        kvPrinterFile tFile(tPath);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(tFile.loadRefusal(), reason);
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::loadFile: The file is not read: ") + reason + ".");
        QCOMPARE(tModel.triangles().size(), 0);
        QCOMPARE(tFile.GCodeQueueCount(), 0);
        QVERIFY(!tOdd.wasOpened());
    }

    // A file loaded after a refused one is judged by itself.
    void noStaleRefusal_data()
    {
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QString>("loaded");
        const QString tCube = KvTest::dataPath("cube-ascii.stl");
        const QString tGCode = KvTest::dataPath("few-lines.gcode");
        QTest::newRow("no ending, then G-code") << "part-without-ending" << tGCode;
        QTest::newRow("no ending, then STL") << "part-without-ending" << tCube;
        QTest::newRow("not G-code text, then STL") << "binary.gcode" << tCube;
        QTest::newRow("not G-code text, then G-code") << "binary.gcode" << tGCode;
        QTest::newRow("UTF-16 STL, then G-code") << "unicode.stl" << tGCode;
    }
    void noStaleRefusal()
    {
        QFETCH(QString, refused);
        QFETCH(QString, loaded);
        QByteArray tData = readFile(KvTest::dataPath("cube-ascii.stl"));
        if (refused.endsWith(QLatin1String(".gcode")))
            tData = readFile(KvTest::dataPath("cube-binary.stl"));
        else if (refused.endsWith(QLatin1String(".stl")))
            tData = "\xFF\xFE" + QByteArray("s\0o\0l\0i\0d\0 \0x\0\n\0", 16);
        kvPrinterFile tFile(writeFile(m_dir, refused, tData));
        tFile.loadFile();
        QVERIFY(!tFile.loadRefusal().isEmpty() || !tFile.gcodeRefusal().isEmpty());

        tFile.loadFile(loaded);
        QCOMPARE(tFile.loadRefusal(), QString());
        QCOMPARE(tFile.gcodeRefusal(), QString());
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
