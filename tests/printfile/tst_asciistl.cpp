#include "kvLargeDevice.h"
#include "kvPrinterFile.h"
#include "kvPrinterFileFixtures.h"
#include "kvTestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using KvTest::readFile;
using KvTest::writeFile;

using namespace Kv::Defines;

using namespace KvPrinterFileTest;

class tst_AsciiSTL : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

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
                + "endsolid part\n"
                + QByteArray(700, '\0') << 2 << false;
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

        kvPrinterFile tFile(writeFile(m_dir, "text.stl", text));
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
        QCOMPARE(textValues(tStatus).filter("ends inside a facet").size(), truncated ? 1 : 0);
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
        kvPrinterFile tFile(writeFile(m_dir, "cut.stl", "solid part\n" + tFacet.left(cutAt)));
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(tModel.triangles().size(), triangles);
        if (triangles > 0)
            QCOMPARE(tModel.vertexVector().at(2), kvVector3D(0, 1, 7));
    }

    void vertexText_data()
    {
        QTest::addColumn<QByteArrayList>("facets"); // each put between two whole facets
        QTest::addColumn<int>("dropped");

        const auto tWith = [](const char *pFrom, const char *pTo) {
            return QByteArray(tOneFacet).replace(pFrom, pTo);
        };
        QTest::newRow("two numbers, letters")
            << QByteArrayList {tWith("vertex 1 0 0", "vertex 10 0"),
                   tWith("vertex 1 0 0", "vertex abc 1 2")}
            << 2;
        QTest::newRow("first vertex of two numbers")
            << QByteArrayList {tWith("vertex 0 0 0", "vertex 0 0")} << 1;
        QTest::newRow("last vertex of two numbers")
            << QByteArrayList {tWith("vertex 0 1 0", "vertex 0 1")} << 1;
        QTest::newRow("last vertex of two numbers, no endloop")
            << QByteArrayList {tWith("vertex 0 1 0\n    endloop\n", "vertex 0 1\n")} << 1;
        QTest::newRow("one number") << QByteArrayList {tWith("vertex 1 0 0", "vertex 1")} << 1;
        QTest::newRow("no number") << QByteArrayList {tWith("vertex 0 1 0", "vertex")} << 1;
        QTest::newRow("vertex word against endloop")
            << QByteArrayList {tWith("vertex 0 1 0\n    endloop", "vertexendloop")} << 1;
        QTest::newRow("four numbers")
            << QByteArrayList {tWith("vertex 1 0 0", "vertex 1 0 0 0")} << 1;
        QTest::newRow("number with a unit")
            << QByteArrayList {tWith("vertex 1 0 0", "vertex 1mm 0 0")} << 1;
        QTest::newRow("decimal comma")
            << QByteArrayList {tWith("vertex 0 1 0", "vertex 0 1,0 0")} << 1;
        QTest::newRow("cut exponent")
            << QByteArrayList {tWith("vertex 1 0 0", "vertex 1e 0 0")} << 1;
        QTest::newRow("exponents, signs, tabs and CR")
            << QByteArrayList {tWith("vertex 1 0 0", "vertex\t+.1E+01 \t 0.e-3\t-0 \r")} << 0;
        QTest::newRow("vertex word against its numbers") << QByteArrayList {
            tWith("vertex 1 0 0", "vertex1 0 0"),
            tWith("vertex 0 1 0", "vertex0 1 0")} << 0;
        QTest::newRow("normal of two numbers and letters")
            << QByteArrayList {tWith("normal 0 0 1", "normal 0 abc")} << 0;
    }

    // A vertex is three whole numbers; a facet with any other is dropped and counted, not
    // given a made-up corner, and the facets around it are kept.
    void vertexText()
    {
        QFETCH(QByteArrayList, facets);
        QFETCH(int, dropped);

        const QByteArray tFacet(tOneFacet);
        kvPrinterFile tFile(writeFile(m_dir, "vertex.stl",
            "solid part\n" + tFacet + facets.join(tFacet) + tFacet + "endsolid part\n"));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(tModel.triangles().size(), 2 * facets.size() + 1 - dropped);
        const QVector<kvVector3D> tCorners = tModel.vertexVector();
        for (int i = 0; i + 2 < tCorners.size(); i += 3) {
            QCOMPARE(tCorners.at(i), kvVector3D(0, 0, 0));
            QCOMPARE(tCorners.at(i + 1), kvVector3D(1, 0, 0));
            QCOMPARE(tCorners.at(i + 2), kvVector3D(0, 1, 0));
        }
        const QStringList tDropped
            = textValues(tStatus).filter("parseSTLAscii: " + QString::number(dropped)
                + " facets with coordinates that are not finite numbers dropped.");
        QCOMPARE(tDropped.size(), dropped > 0 ? 1 : 0);
        QCOMPARE(textValues(tStatus).filter("dropped").size(), dropped > 0 ? 1 : 0);
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

    // Text past 2 GiB cannot be held at once; it must not pass for an empty part.
    void asciiTooLargeToHoldIsAnError()
    {
        KvTest::LargeDevice tDevice("solid big\n", (qint64(1) << 31) + 10, ' ', "endsolid big\n");
        QVERIFY(tDevice.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        kvPrinterFile tFile;
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QCOMPARE(tFile.parseSTLAscii(&tDevice).triangles().size(), 0);
        const QString tError
            = QStringLiteral("kvPrinterFile::parseSTLAscii: Cannot read the file (%1 bytes)")
                  .arg(tDevice.size());
        QCOMPARE(textValues(tStatus).filter(tError).size(), 1);
    }

    void tooManyFacetsRefused_data()
    {
        QTest::addColumn<int>("facets");
        QTest::addColumn<bool>("refused");
        QTest::newRow("at the limit") << 3 << false;
        QTest::newRow("one past the limit") << 4 << true;
    }

    // The count is known only once the text is read: past the limit nothing is kept.
    void tooManyFacetsRefused()
    {
        QFETCH(int, facets);
        QFETCH(bool, refused);

        kvPrinterFile tFile(writeFile(m_dir, "many.stl",
            "solid many\n" + QByteArray(tOneFacet).repeated(facets) + "endsolid many\n"));
        tFile.setLoadLimits(3, kvPrinterFile::MostGCodeLines);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::STLParseComplete);
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(tFile.stlFileType(), STLFileTypeASCII);
        QCOMPARE(tComplete.count(), 1);
        if (!refused) {
            QCOMPARE(tModel.triangles().size(), facets);
            QVERIFY(tFile.loadRefusal().isEmpty());
            return;
        }
        QCOMPARE(tModel.triangles().size(), 0);
        const QString tSize = QStringLiteral("more than 3 facets, at most 3 can be loaded");
        QCOMPARE(tFile.loadRefusal(), QStringLiteral("it is too large: ") + tSize);
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::parseSTLAscii: The file is too large: ") + tSize
                + QStringLiteral("."));
    }
};

KV_TEST_MAIN(tst_AsciiSTL)
#include "tst_asciistl.moc"
