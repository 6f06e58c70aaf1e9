#include "kvTestSupport.h"

#include "kvGeometryCompare.h"
#include "kvModel.h"
#include "kvVertexList.h"

#include <QFile>
#include <QMatrix4x4>
#include <QTextStream>
#include <limits>

QT_WARNING_DISABLE_DEPRECATED

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

struct Facet
{
    kvVector3D normal;
    kvVector3D corners[3];
};

// The facets of a small ASCII STL fixture.
QVector<Facet> readFacets(const QString &pName)
{
    QVector<Facet> tFacets;
    QFile tFile(KvTest::dataPath(pName));
    if (!tFile.open(QIODevice::ReadOnly | QIODevice::Text))
        return tFacets;
    QTextStream tIn(&tFile);
    int tCorner = 0;
    while (!tIn.atEnd()) {
        const QStringList tWords = tIn.readLine().simplified().split(' ');
        if (tWords.size() == 5 && tWords.at(0) == "facet") {
            tFacets.append(Facet());
            tFacets.last().normal = kvVector3D(
                tWords.at(2).toFloat(), tWords.at(3).toFloat(), tWords.at(4).toFloat());
            tCorner = 0;
        } else if (tWords.size() == 4 && tWords.at(0) == "vertex" && tCorner < 3) {
            tFacets.last().corners[tCorner++] = kvVector3D(
                tWords.at(1).toFloat(), tWords.at(2).toFloat(), tWords.at(3).toFloat());
        }
    }
    return tFacets;
}

kvModel modelOf(const QVector<Facet> &pFacets, bool pReversed = false)
{
    kvModel tModel;
    for (const Facet &tFacet : pFacets) {
        const kvVertex tA(tFacet.corners[0]), tB(tFacet.corners[1]), tC(tFacet.corners[2]);
        if (pReversed)
            tModel.addTriangle(tA, tC, tB, tFacet.normal);
        else
            tModel.addTriangle(tA, tB, tC, tFacet.normal);
    }
    return tModel;
}

void addTriangle(kvModel &pModel, kvVector3D pA, kvVector3D pB, kvVector3D pC)
{
    pModel.addTriangle(kvVertex(pA), kvVertex(pB), kvVertex(pC), kvVector3D());
}

// Stored vertices of a list, in bucket order, each bucket in list order.
QVector<kvVertex> storedVertices(const kvVertexList &pList)
{
    QVector<kvVertex> tAll;
    const auto tBuckets = pList.vertices();
    for (const kvVertexBucket &tBucket : tBuckets) {
        for (const kvVertex &tVertex : tBucket)
            tAll.append(tVertex);
    }
    return tAll;
}

int idOf(const kvModel &pModel, kvVector3D pPoint)
{
    kvVertex tFound(-99, 0, 0, 0);
    if (!pModel.vertices().contains(pPoint, tFound))
        return 0;
    return tFound.id();
}

} // namespace

class tst_model : public QObject
{
    Q_OBJECT

private slots:
    void bucketKey_data();
    void bucketKey();

    void singleTriangle();
    void sharedEdge();
    void normalsOfMixedAdding_data();
    void normalsOfMixedAdding();
    void cubeFixture_data();
    void cubeFixture();
    void transformedBox();
    void distinctPositions_data();
    void distinctPositions();
    void nonFiniteCornerKeepsBox();

    void listLookup();
    void listRemove();
    void denseBucket();
    void lookupAfterGrowthAndRemoval();
    void listVertexVector();

    void copiesAreIndependent();
    void renumbering();
    void clearAndSetters();
};

void tst_model::bucketKey_data()
{
    QTest::addColumn<kvVector3D>("position");
    QTest::addColumn<int>("key");

    QTest::newRow("(1.3, 0.5, 3.2)") << kvVector3D(1.3f, 0.5f, 3.2f) << 774;
    QTest::newRow("(0.9, 0, 0)") << kvVector3D(0.9f, 0, 0) << 3;
    QTest::newRow("(1.1, 0, 0)") << kvVector3D(1.1f, 0, 0) << 4;
    QTest::newRow("(0, 0.9, 0)") << kvVector3D(0, 0.9f, 0) << 0;
    QTest::newRow("(0, -0.9, 0)") << kvVector3D(0, -0.9f, 0) << 0;
    QTest::newRow("(-0.3, 0, 0)") << kvVector3D(-0.3f, 0, 0) << -1;
    QTest::newRow("negative y") << kvVector3D(0, -1.5f, 0) << 65280;
    QTest::newRow("negative z") << kvVector3D(0, 0, -2) << 510;
    QTest::newRow("all negative") << kvVector3D(-12.7f, -3.5f, -7.9f) << -195529;
    QTest::newRow("y bits shifted out") << kvVector3D(0, 40000, 0) << -1663287296;
    QTest::newRow("largest x in range") << kvVector3D(5e8f, 0, 0) << 2000000000;
    QTest::newRow("y at the int minimum") << kvVector3D(0, -2147483648.0f, 0) << 0;

    const int tFixed = kvVertexList::InvalidKey;
    QTest::newRow("x times 4 out of range") << kvVector3D(6e8f, 0, 0) << tFixed;
    QTest::newRow("y out of range") << kvVector3D(0, 2147483648.0f, 0) << tFixed;
    QTest::newRow("huge negative z") << kvVector3D(0, 0, -1e30f) << tFixed;
    QTest::newRow("NaN x") << kvVector3D(kNaN, 0, 0) << tFixed;
    QTest::newRow("NaN z") << kvVector3D(1, 2, kNaN) << tFixed;
    QTest::newRow("infinite y") << kvVector3D(0, kInf, 0) << tFixed;
    QTest::newRow("minus infinite x") << kvVector3D(-kInf, 0, 0) << tFixed;
}

void tst_model::bucketKey()
{
    QFETCH(kvVector3D, position);
    QFETCH(int, key);
    QCOMPARE(kvVertexList::hashVertex(kvVertex(position)), key);

    // add, contains and remove use the same key.
    kvVertexList tList;
    tList.add(position);
    QCOMPARE(tList.vertices().keys(), QList<int> {key});
}

void tst_model::singleTriangle()
{
    kvModel tModel;
    QVERIFY(tModel.boundingBox().isEmpty());
    tModel.addTriangle(
        kvVertex(0, 0, 0), kvVertex(1, 0, 0), kvVertex(0, 1, 0), kvVector3D(0, 0, -1));

    QCOMPARE(tModel.vertexVector(), (QVector<kvVector3D> {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
    QCOMPARE(tModel.normals(), QVector<kvVector3D>(3, kvVector3D(0, 0, 1)));
    QCOMPARE(tModel.triangles().size(), 1);
    QCOMPARE(tModel.triangles().first().normal(), kvVector3D(0, 0, 1));
    QCOMPARE(tModel.vertices().count(), 3);
    QCOMPARE(idOf(tModel, {0, 0, 0}), 1);
    QCOMPARE(idOf(tModel, {1, 0, 0}), 2);
    QCOMPARE(idOf(tModel, {0, 1, 0}), 3);
    // The triangle keeps its corners as they were built.
    QCOMPARE(tModel.triangles().first().vertices().at(1).id(), -1);
    QVERIFY(!tModel.boundingBox().isEmpty());
    QCOMPARE(tModel.boundingBox().minPoint(), kvVector3D(0, 0, 0));
    QCOMPARE(tModel.boundingBox().maxPoint(), kvVector3D(1, 1, 0));
}

void tst_model::sharedEdge()
{
    kvModel tModel;
    addTriangle(tModel, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    addTriangle(tModel, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
    QCOMPARE(tModel.vertexVector().size(), 6);
    QCOMPARE(tModel.normals().size(), 6);
    QCOMPARE(tModel.vertices().count(), 4);
    QCOMPARE(idOf(tModel, {1, 0, 0}), 2);
    QCOMPARE(idOf(tModel, {0, 1, 0}), 3);
    QCOMPARE(idOf(tModel, {1, 1, 0}), 4);
    QCOMPARE(tModel.vertexVector().at(5), kvVector3D(0, 1, 0));
}

// Between two facets added from their corners, something else is added; the normals of
// both facets stay where they belong.
void tst_model::normalsOfMixedAdding_data()
{
    QTest::addColumn<int>("between");
    QTest::addColumn<QVector<kvVector3D>>("normals");
    const QVector<kvVector3D> tUp(3, kvVector3D(0, 0, 1));
    const QVector<kvVector3D> tDown(3, kvVector3D(0, 0, -1));
    QTest::newRow("lone corner") << 0 << tUp + tDown;
    QTest::newRow("facet with its own normal")
        << 1 << tUp + QVector<kvVector3D>(3, kvVector3D(1, 0, 0)) + tDown;
    QTest::newRow("normals set") << 2 << QVector<kvVector3D> {{7, 7, 7}} + tDown;
}

void tst_model::normalsOfMixedAdding()
{
    QFETCH(int, between);
    QFETCH(QVector<kvVector3D>, normals);
    const kvVector3D tA(0, 0, 0), tB(1, 0, 0), tC(0, 1, 0);
    kvModel tModel;
    addTriangle(tModel, tA, tB, tC);
    if (between == 0) {
        tModel.addVertex(kvVector3D(5, 5, 5));
    } else if (between == 1) {
        kvTriangle tOwn;
        tOwn.setNormal(kvVector3D(1, 0, 0));
        tOwn.addVertex(kvVertex(tA));
        tOwn.addVertex(kvVertex(tB));
        tOwn.addVertex(kvVertex(tC));
        tModel.addTriangle(tOwn);
    } else {
        tModel.setNormals({{7, 7, 7}});
    }
    const kvModel tBefore = tModel;
    addTriangle(tModel, tA, tC, tB);
    QCOMPARE(tModel.normals(), normals);
    QCOMPARE(tBefore.normals(), normals.mid(0, normals.size() - 3));
}

void tst_model::cubeFixture_data()
{
    QTest::addColumn<bool>("reversed");
    QTest::newRow("outward facets") << false;
    QTest::newRow("all facets reversed") << true;
}

void tst_model::cubeFixture()
{
    QFETCH(bool, reversed);
    const QVector<Facet> tFacets = readFacets("cube10.stl");
    QCOMPARE(tFacets.size(), 12);
    kvModel tModel = modelOf(tFacets, reversed);

    QCOMPARE(tModel.vertices().count(), 8);
    QCOMPARE(tModel.vertexVector().size(), 36);
    for (int i = 0; i < tFacets.size(); ++i) {
        const kvVector3D tNormal
            = reversed ? kvVector3D(-tFacets.at(i).normal) : tFacets.at(i).normal;
        QCOMPARE(tModel.normals().at(3 * i + 2), tNormal);
    }
    QCOMPARE(tModel.boundingBox().minPoint(), kvVector3D(0, 0, 0));
    QCOMPARE(tModel.boundingBox().maxPoint(), kvVector3D(10, 10, 10));
    QCOMPARE(tModel.surface(), 600.0);
    QCOMPARE(tModel.volume(), 1000.0);
    QCOMPARE(tModel.toString(), QString("kvModel[V:8 N:36 T:12 S:600 Vol:1000]"));
    QCOMPARE(tModel.shells(), 0);

    // Ids 1 to 8 in first-seen order of the stream.
    QVector<int> tIds;
    for (const kvVector3D &tCorner : tModel.vertexVector()) {
        const int tId = idOf(tModel, tCorner);
        if (!tIds.contains(tId))
            tIds.append(tId);
    }
    QCOMPARE(tIds, (QVector<int> {1, 2, 3, 4, 5, 6, 7, 8}));
}

void tst_model::transformedBox()
{
    const kvModel tModel = modelOf(readFacets("cube10.stl"));
    const kvBoundingBox tSame = tModel.boudningBoxFromMatrix(QMatrix4x4());
    QCOMPARE(tSame.minPoint(), tModel.boundingBox().minPoint());
    QCOMPARE(tSame.maxPoint(), tModel.boundingBox().maxPoint());

    QMatrix4x4 tMove;
    tMove.translate(5, 0, 0);
    const kvBoundingBox tMoved = tModel.boudningBoxFromMatrix(tMove);
    QCOMPARE(tMoved.minPoint(), kvVector3D(5, 0, 0));
    QCOMPARE(tMoved.maxPoint(), kvVector3D(15, 10, 10));

    QMatrix4x4 tTurn;
    tTurn.rotate(90, 0, 0, 1);
    const kvBoundingBox tTurned = tModel.boudningBoxFromMatrix(tTurn);
    QVERIFY(fuzzyEqual(tTurned.minPoint(), {-10, 0, 0}));
    QVERIFY(fuzzyEqual(tTurned.maxPoint(), {0, 10, 10}));

    QVERIFY(kvModel().boudningBoxFromMatrix(tMove).isEmpty());
}

void tst_model::distinctPositions_data()
{
    QTest::addColumn<kvVector3D>("first");
    QTest::addColumn<kvVector3D>("second");
    QTest::addColumn<int>("count"); // after adding first, second, first

    QTest::newRow("one ulp apart, same key")
        << kvVector3D(1, 0, 0) << kvVector3D(1.0000001f, 0, 0) << 2;
    QTest::newRow("minus zero") << kvVector3D(0, 0, 0) << kvVector3D(-0.0f, -0.0f, -0.0f) << 1;
    // Positions that never match are added each time they come.
    QTest::newRow("NaN") << kvVector3D(kNaN, 0, 0) << kvVector3D(kNaN, 0, 0) << 3;
    QTest::newRow("infinity") << kvVector3D(kInf, 0, 0) << kvVector3D(kInf, 0, 0) << 3;
    QTest::newRow("huge finite, fixed key")
        << kvVector3D(1e30f, 0, 0) << kvVector3D(1e30f, 0, 0) << 1;
    QTest::newRow("huge finite, distinct")
        << kvVector3D(1e30f, 0, 0) << kvVector3D(-1e30f, 0, 0) << 2;
}

void tst_model::distinctPositions()
{
    QFETCH(kvVector3D, first);
    QFETCH(kvVector3D, second);
    QFETCH(int, count);

    kvModel tModel;
    tModel.addVertex(first);
    tModel.addVertex(second);
    tModel.addVertex(first);
    QCOMPARE(tModel.vertexVector().size(), 3);
    QCOMPARE(tModel.vertices().count(), count);
    QVector<int> tIds;
    for (const kvVertex &tVertex : storedVertices(tModel.vertices()))
        tIds.append(tVertex.id());
    std::sort(tIds.begin(), tIds.end());
    QVector<int> tWanted;
    for (int i = 1; i <= count; ++i)
        tWanted.append(i);
    QCOMPARE(tIds, tWanted);
}

void tst_model::nonFiniteCornerKeepsBox()
{
    // A corner that is not finite, even the very first, leaves the box of the others intact.
    kvModel tModel;
    addTriangle(tModel, {kNaN, 0, 0}, {1, 0, 0}, {0, 1, 0});
    addTriangle(tModel, {1, 2, 3}, {kInf, 0, 0}, {-1, 0, 0});
    QCOMPARE(tModel.boundingBox().minPoint(), kvVector3D(-1, 0, 0));
    QCOMPARE(tModel.boundingBox().maxPoint(), kvVector3D(1, 2, 3));
    const kvBoundingBox tMapped = tModel.boudningBoxFromMatrix(QMatrix4x4());
    QCOMPARE(tMapped.minPoint(), kvVector3D(-1, 0, 0));
    QCOMPARE(tMapped.maxPoint(), kvVector3D(1, 2, 3));
    QCOMPARE(tModel.vertices().count(), 6);
}

void tst_model::listLookup()
{
    kvVertexList tList;
    kvVertex tFound(-99, 9, 9, 9);
    QVERIFY(!tList.contains(kvVector3D(0, 0, 0), tFound));
    QCOMPARE(tFound.id(), -99);

    // add never tests for an equal vertex; the lookup finds the first stored.
    tList.add(kvVertex(5, 1, 2, 3));
    tList.add(kvVertex(6, 1, 2, 3));
    QCOMPARE(tList.count(), 2);
    QVERIFY(tList.contains(kvVertex(-1, 1, 2, 3), tFound));
    QCOMPARE(tFound.id(), 5);
    QVERIFY(tList.contains(QVector3D(1, 2, 3), tFound));
    QCOMPARE(tFound.id(), 5);

    // Same bucket, different position: not found, found untouched, no bucket made.
    tFound = kvVertex(-99, 9, 9, 9);
    QVERIFY(!tList.contains(kvVector3D(1.1f, 2, 3), tFound));
    QCOMPARE(tFound.id(), -99);
    QVERIFY(!tList.contains(kvVector3D(50, 50, 50), tFound));
    QCOMPARE(tList.vertices().size(), 1);
}

void tst_model::listRemove()
{
    kvVertexList tList;
    tList.add(kvVertex(1, 4, 4, 4));
    tList.add(kvVector3D(4, 4, 4));
    tList.add(kvVertex(3, 0.1f, 0, 0));
    QCOMPARE(tList.count(), 3);
    tList.remove(kvVector3D(4, 4, 4));
    QCOMPARE(tList.count(), 1);
    kvVertex tFound;
    QVERIFY(!tList.contains(kvVector3D(4, 4, 4), tFound));
    // The emptied bucket stays.
    const int tKey = kvVertexList::hashVertex(kvVertex(4, 4, 4));
    QVERIFY(tList.vertices().contains(tKey));
    QVERIFY(tList.vertices().value(tKey).isEmpty());
    tList.remove(kvVector3D(7, 7, 7)); // no such bucket
    QCOMPARE(tList.count(), 1);

    // A vertex with faces is not equal to a bare one: removing the bare one leaves it findable.
    kvVertex tWithFace(7, 4, 4, 4);
    tWithFace.connectFace(kvTriangle());
    tList.add(kvVertex(6, 4, 4, 4));
    tList.add(tWithFace);
    tList.remove(QVector3D(4, 4, 4));
    QCOMPARE(tList.count(), 2);
    QVERIFY(tList.contains(kvVector3D(4, 4, 4), tFound));
    QCOMPARE(tFound.id(), 7);
    QVERIFY(tList.contains(kvVector3D(0.1f, 0, 0), tFound));
    QCOMPARE(tFound.id(), 3);

    tList.clear();
    QCOMPARE(tList.count(), 0);
    QVERIFY(tList.vertices().isEmpty());
    QVERIFY(!tList.contains(kvVector3D(0.1f, 0, 0), tFound));
}

void tst_model::denseBucket()
{
    // Many distinct positions within one quarter-millimetre cell share one bucket.
    kvModel tModel;
    const int tCount = 3000;
    for (int i = 0; i < tCount; ++i)
        tModel.addVertex(kvVector3D(0.2f * i / tCount, 0.5f, 0.5f));
    for (int i = 0; i < tCount; ++i)
        tModel.addVertex(kvVector3D(0.2f * i / tCount, 0.5f, 0.5f));
    QCOMPARE(tModel.vertices().count(), tCount);
    const auto tBuckets = tModel.vertices().vertices();
    QCOMPARE(tBuckets.size(), 1);
    const kvVertexBucket tBucket = tBuckets.value(0);
    QCOMPARE(tBucket.size(), tCount);
    int tExpectedId = 0;
    for (const kvVertex &tVertex : tBucket)
        QCOMPARE(tVertex.id(), ++tExpectedId); // insertion order
    QCOMPARE(idOf(tModel, kvVector3D(0.2f * 1234 / tCount, 0.5f, 0.5f)), 1235);
}

void tst_model::lookupAfterGrowthAndRemoval()
{
    // Enough positions for the lookup to be rebuilt several times, then holes torn into it.
    kvModel tModel;
    const int tCount = 5000;
    auto tPoint = [](int i) { return kvVector3D(float(i % 17), float(i / 17) * 0.3f, -0.5f); };
    for (int i = 0; i < tCount; ++i)
        tModel.addVertex(tPoint(i));
    kvVertexList tList = tModel.vertices();
    for (int i = 0; i < tCount; i += 3)
        tList.remove(tPoint(i));
    for (int i = 0; i < tCount; ++i) {
        kvVertex tFound(-99, 0, 0, 0);
        const bool tKept = i % 3 != 0;
        QCOMPARE(tList.contains(tPoint(i), tFound), tKept);
        QCOMPARE(tFound.id(), tKept ? i + 1 : -99);
    }
    QCOMPARE(tList.count(), tCount - (tCount + 2) / 3);
    // The model's own list is untouched by the copy's removals.
    QCOMPARE(idOf(tModel, tPoint(0)), 1);
}

void tst_model::listVertexVector()
{
    kvModel tModel;
    for (int i = 0; i < 50; ++i)
        tModel.addVertex(kvVector3D(float(i * 7 % 50), float(i % 3), 0));
    QVector<kvVector3D> tExpected;
    for (int i = 0; i < 50; ++i)
        tExpected.append(kvVector3D(float(i * 7 % 50), float(i % 3), 0));
    kvVertexList tList = tModel.vertices();
    QCOMPARE(tList.vertexVector(), tExpected);
}

void tst_model::copiesAreIndependent()
{
    kvModel tOriginal = modelOf(readFacets("cube10.stl"));
    const kvModel tCopy = tOriginal;
    QVERIFY(tCopy.vertexVector().isSharedWith(tOriginal.vertexVector()));
    QVERIFY(tCopy.triangles().isSharedWith(tOriginal.triangles()));

    addTriangle(tOriginal, {20, 20, 20}, {21, 20, 20}, {20, 21, 20});
    tOriginal.addVertex(kvVector3D(0, 0, 0));
    QCOMPARE(tOriginal.vertices().count(), 11);
    QCOMPARE(tCopy.vertices().count(), 8);
    QCOMPARE(tCopy.triangles().size(), 12);
    QCOMPARE(idOf(tCopy, {20, 20, 20}), 0);
    QCOMPARE(idOf(tOriginal, {20, 20, 20}), 9);
    QCOMPARE(tCopy.boundingBox().maxPoint(), kvVector3D(10, 10, 10));
}

void tst_model::renumbering()
{
    kvModel tModel = modelOf(readFacets("cube10.stl"));
    kvVertexList tList = tModel.vertices();
    tList.remove(kvVector3D(10, 10, 10));
    tModel.setVertices(tList);
    QCOMPARE(tModel.vertices().count(), 7);
    tModel.updateVertexNumbers();

    // Ids 1 to 7 in bucket order, and the lookup hands out the new ids.
    const QVector<kvVertex> tStored = storedVertices(tModel.vertices());
    QCOMPARE(tStored.size(), 7);
    for (int i = 0; i < tStored.size(); ++i) {
        QCOMPARE(tStored.at(i).id(), i + 1);
        QCOMPARE(idOf(tModel, tStored.at(i).position()), i + 1);
    }
    QCOMPARE(idOf(tModel, {10, 10, 10}), 0);
    QCOMPARE(tModel.vertexVector().size(), 36);
}

void tst_model::clearAndSetters()
{
    kvModel tModel("part");
    QCOMPARE(tModel.name(), QString("part"));
    tModel.setFilename("/tmp/part.stl");
    tModel.setName("renamed");
    QCOMPARE(tModel.name(), QString("renamed"));
    addTriangle(tModel, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    QCOMPARE(tModel.surface(), 0.5);

    QVector<kvTriangle> tTriangles = tModel.triangles();
    tTriangles[0].setShell(4);
    tModel.setTriangles(tTriangles);
    QCOMPARE(tModel.triangles().first().shell(), 4);
    QCOMPARE(tModel.shells(), 0);
    QCOMPARE(tModel.triangles().first().shell(), 0);

    tModel.clear();
    QVERIFY(tModel.name().isEmpty());
    QCOMPARE(tModel.filename(), QString("/tmp/part.stl"));
    QCOMPARE(tModel.vertices().count(), 0);
    QVERIFY(tModel.triangles().isEmpty());
    QVERIFY(tModel.boundingBox().isEmpty());
    QCOMPARE(tModel.vertexVector().size(), 3); // stream and normals stay
    QCOMPARE(tModel.normals().size(), 3);
    QCOMPARE(tModel.surface(), 0.0);

    // After clear the same corners are new again, numbered from 1.
    addTriangle(tModel, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    QCOMPARE(idOf(tModel, {0, 1, 0}), 3);
    QCOMPARE(tModel.boundingBox().maxPoint(), kvVector3D(1, 1, 0));
}

KV_TEST_MAIN(tst_model)
#include "tst_model.moc"
