// The binary STL reader and kvModel::addTriangles share their work out among threads; the
// mesh must be exactly the one that adding the facets one by one makes, and a task that fails
// on a thread must fail the load.
#include "kvFailingDevice.h"
#include "kvModel.h"
#include "kvPrinterFile.h"
#include "kvSliceFixtures.h"
#include "kvTestSupport.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

QT_WARNING_DISABLE_DEPRECATED

namespace {

// A wavy grid of quarter-millimetre cells, so that many corners share a bucket, every
// inner corner is shared by six facets, and a few facets repeat, hold -0 beside 0 or are
// not finite.
QVector<kvVector3D> sharedCornerFacets(int pColumns, int pRows)
{
    const auto tPoint = [](int i, int j) {
        const float tZ = float(std::floor(3.0 * std::sin(i * 0.05) * std::cos(j * 0.07)));
        return kvVector3D(i * 0.25f, j * 0.25f, tZ == 0.0f && i % 2 ? -0.0f : tZ);
    };
    QVector<kvVector3D> tCorners;
    for (int i = 0; i < pColumns; ++i) {
        for (int j = 0; j < pRows; ++j) {
            tCorners << tPoint(i, j) << tPoint(i + 1, j) << tPoint(i + 1, j + 1);
            tCorners << tPoint(i, j) << tPoint(i + 1, j + 1) << tPoint(i, j + 1);
            if ((i * pRows + j) % 997 == 0)
                tCorners << tPoint(i, j) << tPoint(i + 1, j) << tPoint(i + 1, j + 1);
            if ((i * pRows + j) % 1999 == 0) {
                tCorners << tPoint(i, j)
                         << kvVector3D(std::numeric_limits<float>::quiet_NaN(), 0, 0)
                         << tPoint(i, j + 1);
            }
        }
    }
    return tCorners;
}

QByteArray binaryStl(const QVector<kvVector3D> &pCorners)
{
    char tCount[4];
    qToLittleEndian(qint32(pCorners.size() / 3), tCount);
    QByteArray tData = QByteArray(80, '\0') + QByteArray(tCount, 4);
    for (int i = 0; i < pCorners.size(); i += 3) {
        float tValues[12] = {0, 0, 1};
        for (int c = 0; c < 3; ++c) {
            tValues[3 + 3 * c] = pCorners.at(i + c).x();
            tValues[4 + 3 * c] = pCorners.at(i + c).y();
            tValues[5 + 3 * c] = pCorners.at(i + c).z();
        }
        tData.append(reinterpret_cast<const char *>(tValues), sizeof(tValues));
        tData.append(2, '\0');
    }
    return tData;
}

// The facets added one by one, as the readers did before, those that are not finite left out.
kvModel oneByOne(const QVector<kvVector3D> &pCorners, kvModel pModel = kvModel())
{
    for (int i = 0; i < pCorners.size(); i += 3) {
        if (pCorners.at(i).isFinite() && pCorners.at(i + 1).isFinite()
            && pCorners.at(i + 2).isFinite())
            pModel.addTriangle(kvVertex(pCorners.at(i)), kvVertex(pCorners.at(i + 1)),
                kvVertex(pCorners.at(i + 2)), kvVector3D(0, 0, 1));
    }
    return pModel;
}

QByteArray bitsOf(const QVector<kvVector3D> &pPoints)
{
    return QByteArray(reinterpret_cast<const char *>(pPoints.constData()),
        pPoints.size() * int(sizeof(kvVector3D)));
}

QByteArray bitsOf(const kvVector3D &pPoint)
{
    return bitsOf(QVector<kvVector3D> {pPoint});
}

// Every part of the two meshes, down to the bits of the floats.
void compareMeshes(const kvModel &pGot, const kvModel &pWanted)
{
    QCOMPARE(bitsOf(pGot.vertexVector()), bitsOf(pWanted.vertexVector()));
    QCOMPARE(bitsOf(pGot.normals()), bitsOf(pWanted.normals()));
    const QVector<kvTriangle> tGot = pGot.triangles(), tWanted = pWanted.triangles();
    QCOMPARE(tGot.size(), tWanted.size());
    for (int i = 0; i < tGot.size(); ++i) {
        const QVector<kvVertex> tA = tGot.at(i).vertices(), tB = tWanted.at(i).vertices();
        QCOMPARE(tA.size(), tB.size());
        for (int c = 0; c < tA.size(); ++c) {
            QCOMPARE(bitsOf(tA.at(c).position()), bitsOf(tB.at(c).position()));
            QCOMPARE(tA.at(c).id(), tB.at(c).id());
        }
        QCOMPARE(bitsOf(tGot.at(i).normal()), bitsOf(tWanted.at(i).normal()));
    }
    QCOMPARE(pGot.vertices().count(), pWanted.vertices().count());
    const QHash<int, kvVertexBucket> tBucketsGot = pGot.vertices().vertices();
    const QHash<int, kvVertexBucket> tBucketsWanted = pWanted.vertices().vertices();
    QCOMPARE(tBucketsGot.size(), tBucketsWanted.size());
    for (auto tIt = tBucketsWanted.begin(); tIt != tBucketsWanted.end(); ++tIt) {
        QVERIFY(tBucketsGot.contains(tIt.key()));
        const kvVertexBucket tList = tBucketsGot.value(tIt.key());
        QCOMPARE(tList.size(), tIt->size());
        auto tThere = tIt->begin();
        for (const kvVertex &tVertex : tList) {
            QCOMPARE(tVertex.id(), tThere->id());
            QCOMPARE(bitsOf(tVertex.position()), bitsOf(tThere->position()));
            ++tThere;
        }
    }
    QCOMPARE(pGot.boundingBox().isEmpty(), pWanted.boundingBox().isEmpty());
    QCOMPARE(bitsOf(pGot.boundingBox().minPoint()), bitsOf(pWanted.boundingBox().minPoint()));
    QCOMPARE(bitsOf(pGot.boundingBox().maxPoint()), bitsOf(pWanted.boundingBox().maxPoint()));
}

// Every task on a thread of its own.
void onThreads(int pCount, const std::function<void(int)> &pTask)
{
    std::vector<std::thread> tThreads;
    for (int i = 0; i < pCount; ++i)
        tThreads.emplace_back([&pTask, i] { pTask(i); });
    for (std::thread &tThread : tThreads)
        tThread.join();
}

} // namespace

class tst_PrinterFileParallel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The reader shares its work out from setThreadedFacets facets (here far fewer than
        // by default), in blocks of a sixteenth of the file.
        m_corners = sharedCornerFacets(190, 200);
        QVERIFY(m_corners.size() / 3 > 65536);
        QVERIFY(m_dir.isValid());
        m_path = KvTest::writeFile(m_dir, "shared.stl", binaryStl(m_corners));
        QVERIFY(!m_path.isEmpty());
        m_wanted = oneByOne(m_corners);
    }

    void readerEqualsOneByOne_data()
    {
        QTest::addColumn<bool>("fromFile");
        // A file is read by the tasks themselves, each its own part; another device a block
        // at a time.
        QTest::newRow("in memory") << false;
        QTest::newRow("file") << true;
    }

    // The reader's mesh, and the mesh of the facets added one by one.
    void readerEqualsOneByOne()
    {
        QFETCH(bool, fromFile);
        QByteArray tData = binaryStl(m_corners);
        QBuffer tBuffer(&tData);
        QFile tStl(m_path);
        QIODevice *tDevice = fromFile ? static_cast<QIODevice *>(&tStl) : &tBuffer;
        QVERIFY(tDevice->open(QIODevice::ReadOnly));
        kvPrinterFile tFile;
        tFile.setThreadedFacets(10000);
        std::atomic<int> tTasks {0};
        tFile.setTaskStart([&tTasks] { ++tTasks; });
        const kvModel tRead = tFile.parseSTLBinary(tDevice);
        if (std::thread::hardware_concurrency() > 1)
            QVERIFY(tTasks > 0);
        QVERIFY(m_wanted.vertices().count() < m_wanted.triangles().size());
        compareMeshes(tRead, m_wanted);
    }

    void readErrorKeepsTheFacetsBefore_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::newRow("a device that fails midway") << false;
        QTest::newRow("a file cut while it is read") << true;
    }

    // Reading stops at the first facet that cannot be read whole; the mesh is that of the
    // facets before it, whichever task read them.
    void readErrorKeepsTheFacetsBefore()
    {
        QFETCH(bool, fromFile);
        const int tCut = m_corners.size() / 3 * 5 / 8 + 7;
        const qint64 tCutAt = 84 + 50 * qint64(tCut) + 20;
        const QByteArray tData = binaryStl(m_corners);
        KvTest::FailingDevice tFailing(tData, tCutAt);
        const QString tPath = KvTest::writeFile(m_dir, "cut.stl", tData);
        QFile tStl(tPath);
        QIODevice *tDevice = fromFile ? static_cast<QIODevice *>(&tStl) : &tFailing;
        QVERIFY(tDevice->open(QIODevice::ReadOnly));
        kvPrinterFile tFile;
        tFile.setThreadedFacets(10000);
        // The file is cut before the first task reads anything, after its size was taken.
        std::atomic<bool> tCutDone {false};
        tFile.setTaskStart([&] {
            if (fromFile && !tCutDone.exchange(true))
                QFile::resize(tPath, tCutAt);
        });
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        const kvModel tRead = tFile.parseSTLBinary(tDevice);
        QCOMPARE(KvTest::textValues(tStatus)
                     .filter(QStringLiteral("kvPrinterFile::parseSTLBinary: Read error after %1 "
                                            "facets.")
                                 .arg(tCut))
                     .size(),
            1);
        compareMeshes(tRead, oneByOne(m_corners.mid(0, 3 * tCut)));
    }

    void workerFailureRefusesTheLoad_data()
    {
        QTest::addColumn<int>("when");
        QTest::newRow("parsing the first block") << 0;
        QTest::newRow("finding corners midway") << 1;
        QTest::newRow("numbering the vertices at the end") << 2;
    }

    // A task that fails on one of the reader's threads (here as when memory runs out) fails
    // the whole load: it is refused, and no part of the mesh is shown.
    void workerFailureRefusesTheLoad()
    {
        QFETCH(int, when);
        if (std::thread::hardware_concurrency() < 2)
            QSKIP("the reader starts no threads on one core");
        kvPrinterFile tFile(m_path);
        tFile.setThreadedFacets(10000);
        std::atomic<int> tCalls {0};
        tFile.setTaskStart([&tCalls] { ++tCalls; });
        QCOMPARE(tFile.loadFile().triangles().size(), m_wanted.triangles().size());
        // The same tasks run on every load; the last 40 are those of the numbering.
        const int tAll = tCalls;
        QVERIFY(tAll > 200);
        const int tFrom = when == 0 ? 0 : when == 1 ? tAll / 2 : tAll - 40;

        // The first task from tFrom on that runs on a thread other than this one fails; this
        // one waits a while for it, so that the others take the tasks in the meantime.
        const std::thread::id tCaller = std::this_thread::get_id();
        std::atomic<int> tCount {0};
        std::atomic<bool> tFailed {false};
        tFile.setTaskStart([&] {
            const int tCall = tCount++;
            if (tCall < tFrom)
                return;
            if (std::this_thread::get_id() != tCaller) {
                if (!tFailed.exchange(true))
                    throw std::bad_alloc();
                return;
            }
            const auto tUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
            while (!tFailed && std::chrono::steady_clock::now() < tUntil)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        });
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        const kvModel tModel = tFile.loadFile();
        QVERIFY(tFailed);
        QCOMPARE(tModel.triangles().size(), 0);
        QCOMPARE(tModel.vertexVector().size(), 0);
        QCOMPARE(tModel.vertices().count(), 0);
        QCOMPARE(tFile.loadRefusal(), QStringLiteral("there is not enough memory to load it"));
        const QStringList tTexts = KvTest::textValues(tStatus);
        QCOMPARE(tTexts.filter("kvPrinterFile::parseSTLBinary: Not enough memory to load the file")
                     .size(),
            1);

        // The next load of the same file is whole again.
        tFile.setTaskStart({});
        compareMeshes(tFile.loadFile(), m_wanted);
        QVERIFY(tFile.loadRefusal().isEmpty());
    }

    void readerWithoutThreads_data()
    {
        QTest::addColumn<int>("started");
        QTest::newRow("no thread starts") << 0;
        QTest::newRow("one starts, then none") << 1;
    }

    // At the system's thread limit std::thread throws; the reader goes on without the
    // threads it could not start.
    void readerWithoutThreads()
    {
        QFETCH(int, started);
        if (std::thread::hardware_concurrency() < 2)
            QSKIP("the reader starts no threads on one core");
        QByteArray tData = binaryStl(m_corners);
        QBuffer tBuffer(&tData);
        QVERIFY(tBuffer.open(QIODevice::ReadOnly));
        kvPrinterFile tFile;
        tFile.setThreadedFacets(10000);
        int tStarts = 0;
        tFile.setThreadStart([&](std::function<void()> pWork) {
            if (tStarts++ >= started)
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            return std::thread(std::move(pWork));
        });
        const kvModel tRead = tFile.parseSTLBinary(&tBuffer);
        QVERIFY(tStarts > started);
        compareMeshes(tRead, m_wanted);
    }

    void batchesEqualOneByOne_data()
    {
        QTest::addColumn<int>("before");
        QTest::newRow("empty model") << 0;
        QTest::newRow("buckets already made") << 1;
        QTest::newRow("normals kept") << 2;
    }

    // addTriangles in batches of uneven sizes, its tasks on threads of their own.
    void batchesEqualOneByOne()
    {
        QFETCH(int, before);
        QVector<kvVector3D> tFinite;
        for (int i = 0; i + 2 < m_corners.size() && tFinite.size() < 3 * 60000; i += 3) {
            if (m_corners.at(i).isFinite() && m_corners.at(i + 1).isFinite()
                && m_corners.at(i + 2).isFinite())
                tFinite << m_corners.at(i) << m_corners.at(i + 1) << m_corners.at(i + 2);
        }
        kvModel tStart = oneByOne(tFinite.mid(0, 300));
        if (before == 1)
            tStart.updateVertexNumbers(); // the list keeps its buckets from now on
        if (before == 2)
            tStart.addVertex(kvVector3D(1, 2, 3));
        const QVector<kvVector3D> tRest = tFinite.mid(300);

        kvModel tBatched = tStart;
        const int tSizes[] = {1, 7, 1000, 5000, 20000};
        int tAt = 0;
        for (int s = 0; tAt < tRest.size(); s = (s + 1) % 5) {
            const int tFacets = qMin(tSizes[s], (tRest.size() - tAt) / 3);
            tBatched.addTriangles(tRest.constData() + tAt, tFacets, onThreads);
            tAt += 3 * tFacets;
        }
        compareMeshes(tBatched, oneByOne(tRest, tStart));
    }

    // A copy of a mesh keeps its own vertex index: what is added to one is not found in the
    // other, and each stays the mesh of its own facets added one by one.
    void copiesKeepTheirOwnIndex()
    {
        QVector<kvVector3D> tFinite;
        for (int i = 0; i + 2 < m_corners.size() && tFinite.size() < 3 * 40000; i += 3) {
            if (m_corners.at(i).isFinite() && m_corners.at(i + 1).isFinite()
                && m_corners.at(i + 2).isFinite())
                tFinite << m_corners.at(i) << m_corners.at(i + 1) << m_corners.at(i + 2);
        }
        const QVector<kvVector3D> tFirst = tFinite.mid(0, 3 * 20000);
        const QVector<kvVector3D> tMore = tFinite.mid(3 * 20000);
        kvModel tOriginal;
        tOriginal.addTriangles(tFirst.constData(), tFirst.size() / 3, onThreads);
        kvModel tCopy = tOriginal;
        tCopy.addTriangles(tMore.constData(), tMore.size() / 3, onThreads);
        const kvVector3D tApart(1000, 2000, 3000);
        tCopy.addTriangle(kvVertex(tApart), kvVertex(tApart + kvVector3D(1, 0, 0)),
            kvVertex(tApart + kvVector3D(0, 1, 0)), kvVector3D());

        compareMeshes(tOriginal, oneByOne(tFirst));
        QVector<kvVector3D> tAll = tFinite;
        tAll << tApart << tApart + kvVector3D(1, 0, 0) << tApart + kvVector3D(0, 1, 0);
        compareMeshes(tCopy, oneByOne(tAll));
        kvVertex tFound;
        QVERIFY(tCopy.vertices().contains(tApart, tFound));
        QVERIFY(!tOriginal.vertices().contains(tApart, tFound));
        // A corner only the second part has.
        const kvVertexList tFirstVertices = oneByOne(tFirst).vertices();
        bool tOnlyInMore = false;
        for (const kvVector3D &tPoint : tMore) {
            if (!tFirstVertices.contains(tPoint, tFound)) {
                QVERIFY(tCopy.vertices().contains(tPoint, tFound));
                QVERIFY(!tOriginal.vertices().contains(tPoint, tFound));
                tOnlyInMore = true;
                break;
            }
        }
        QVERIFY(tOnlyInMore);
    }

    // The normals of a large mesh are computed side by side; each is the normal of its
    // facet's corner order, as for a small one.
    void normalsOfALargeMesh()
    {
        const QVector<kvVector3D> tCorners = sharedCornerFacets(520, 520);
        kvModel tModel;
        tModel.addTriangles(tCorners.constData(), tCorners.size() / 3);
        QVERIFY(tModel.triangles().size() > 1 << 18);
        const QVector<kvVector3D> tNormals = tModel.normals();
        const QVector<kvTriangle> tTriangles = tModel.triangles();
        QCOMPARE(tNormals.size(), 3 * tTriangles.size());
        QVector<kvVector3D> tWanted;
        tWanted.reserve(tNormals.size());
        for (const kvTriangle &tTriangle : tTriangles)
            tWanted << tTriangle.normal() << tTriangle.normal() << tTriangle.normal();
        QCOMPARE(bitsOf(tNormals), bitsOf(tWanted));
    }

private:
    QVector<kvVector3D> m_corners;
    // The facets added one by one.
    kvModel m_wanted;
    QTemporaryDir m_dir;
    QString m_path;
};

KV_TEST_MAIN(tst_PrinterFileParallel)
#include "tst_printerfile_parallel.moc"
