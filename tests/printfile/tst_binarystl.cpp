#include "kvAddressSpaceLimit.h"
#include "kvPrinterFile.h"
#include "kvPrinterFileFixtures.h"
#include "kvTestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

using KvTest::readFile;
using KvTest::writeFile;

using namespace Kv::Defines;

using namespace KvPrinterFileTest;

class tst_BinarySTL : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void binaryProgressRisesFromZero()
    {
        const QByteArray tFacet = readFile(KvTest::dataPath("cube-binary.stl")).mid(84, 50);
        QByteArray tData(80, 'x');
        tData += QByteArray(4, '\0') + tFacet.repeated(1000);
        kvPrinterFile tFile(writeFile(m_dir, "thousand.stl", withCount(tData, 1000)));
        QSignalSpy tSpy(&tFile, &kvPrinterFile::LoadFileProgress);
        QCOMPARE(tFile.loadFile().triangles().size(), 1000);
        // Each value once, as it is reached, and the closing 100.
        QList<int> tExpected;
        for (int i = 0; i <= 100; ++i)
            tExpected << i;
        tExpected << 100;
        QCOMPARE(intValues(tSpy), tExpected);
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
        QTest::newRow("negative count")
            << withCount(tCube, -5) << 12 << "Invalid facet count 4294967291";
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

        kvPrinterFile tFile(writeFile(m_dir, "mismatch.stl", data));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tProgress(&tFile, &kvPrinterFile::LoadFileProgress);
        const kvModel tModel = tFile.loadFile();
        QCOMPARE(tFile.stlFileType(), STLFileTypeBinary);
        QCOMPARE(tModel.triangles().size(), triangles);
        QCOMPARE(textValues(tStatus).filter(status).size(), 1);
        QCOMPARE(intValues(tProgress).last(), 100);
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
            << "solid part\n" + tFacet + tNan + tFacet + tInf + "endsolid\n"
            << 2 << "parseSTLAscii: 2 facets with coordinates that are not finite numbers dropped.";

        QByteArray tBinary = readFile(KvTest::dataPath("cube-binary.stl"));
        const float tValues[]
            = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
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

        // Read 65536 facets at a time: one dropped in each of three blocks.
        QByteArray tLarge
            = withCount(QByteArray(84, '\0') + tBinary.mid(84, 50).repeated(140000), 140000);
        for (int tFacet : {10, 70000, 139999})
            tLarge = withCorner(tLarge, tFacet, 4, std::numeric_limits<float>::quiet_NaN());
        QTest::newRow("binary, over three blocks")
            << tLarge << 139997
            << "parseSTLBinary: 3 facets with coordinates that are not finite numbers dropped.";
    }

    // A NaN corner would give NaN normals in the view and "nan" in the slicer's input.
    void nonFiniteFacetsDropped()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, triangles);
        QFETCH(QString, status);

        kvPrinterFile tFile(writeFile(m_dir, "nonfinite.stl", data));
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        kvModel tModel = tFile.loadFile();
        QCOMPARE(tModel.triangles().size(), triangles);
        for (const kvVector3D &tPoint : tModel.vertexVector() + tModel.normals())
            QVERIFY(std::isfinite(tPoint.x() + tPoint.y() + tPoint.z()));
        QCOMPARE(textValues(tStatus).filter("kvPrinterFile::" + status).size(), 1);
    }

    void tooLargeIsRefused_data()
    {
        QTest::addColumn<qint64>("facets");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("refused");
        QTest::newRow("62 million facets") << qint64(62000000) << 0 << true;
        QTest::newRow("one past what a mesh holds")
            << qint64(kvModel::MostTriangles) + 1 << 0 << true;
        QTest::newRow("one past a lower limit") << qint64(12) << 11 << true;
        QTest::newRow("at a lower limit") << qint64(12) << 12 << false;
    }

    // What the mesh cannot hold is refused before anything is read or made room for.
    void tooLargeIsRefused()
    {
        QFETCH(qint64, facets);
        QFETCH(int, limit);
        QFETCH(bool, refused);

        // Sparse: it takes no disk space.
        const QString tPath = m_dir.filePath("large.stl");
        QFile tOut(tPath);
        QVERIFY(tOut.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(tOut.write(withCount(QByteArray(84, '\0'), qint32(facets))), qint64(84));
        QVERIFY(tOut.resize(84 + 50 * facets));
        tOut.close();

        kvPrinterFile tFile(tPath);
        if (limit > 0)
            tFile.setLoadLimits(limit, kvPrinterFile::MostGCodeLines);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tProgress(&tFile, &kvPrinterFile::LoadFileProgress);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::STLParseComplete);
        const kvModel tModel = tFile.loadFile();
        QFile::remove(tPath);
        QCOMPARE(tFile.stlFileType(), STLFileTypeBinary);
        QCOMPARE(tComplete.count(), 1);
        if (!refused) {
            QCOMPARE(tModel.triangles().size(), int(facets));
            QVERIFY(tFile.loadRefusal().isEmpty());
            return;
        }
        QCOMPARE(tModel.triangles().size(), 0);
        const QString tSize = QStringLiteral("%1 facets, at most %2 can be loaded")
                                  .arg(facets)
                                  .arg(limit > 0 ? limit : kvModel::MostTriangles);
        QCOMPARE(tFile.loadRefusal(), QStringLiteral("it is too large: ") + tSize);
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::parseSTLBinary: The file is too large: ") + tSize
                + QStringLiteral("."));
        QCOMPARE(intValues(tProgress), QList<int>({100}));
    }

    // Memory that runs out refuses the file; the program goes on and loads the next one.
    void memoryFailureIsRefused()
    {
        const QString tPath = m_dir.filePath("tenmillion.stl");
        QFile tOut(tPath);
        QVERIFY(tOut.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(tOut.write(withCount(QByteArray(84, '\0'), 10000000)), qint64(84));
        QVERIFY(tOut.resize(84 + 50 * qint64(10000000)));
        tOut.close();

        kvPrinterFile tFile(tPath);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tComplete(&tFile, &kvPrinterFile::STLParseComplete);
        kvModel tModel;
        {
            const KvTest::AddressSpaceLimit tLimit(256 << 20);
            if (!tLimit.isActive())
                QSKIP("the address space cannot be limited here");
            tModel = tFile.loadFile();
        }
        QFile::remove(tPath);
        QCOMPARE(tModel.triangles().size(), 0);
        QCOMPARE(tComplete.count(), 1);
        QCOMPARE(tFile.loadRefusal(), QStringLiteral("there is not enough memory to load it"));
        QVERIFY2(textValues(tStatus).last().startsWith(
                     "kvPrinterFile::parseSTLBinary: Not enough memory to load the file"),
            qPrintable(textValues(tStatus).last()));
        QCOMPARE(tFile.loadFile(KvTest::dataPath("cube-binary.stl")).triangles().size(), 12);
        QVERIFY(tFile.loadRefusal().isEmpty());
    }
};

KV_TEST_MAIN(tst_BinarySTL)
#include "tst_binarystl.moc"
