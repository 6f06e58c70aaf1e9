#include "kvTestSupport.h"

#include "kvBoundingBox.h"
#include "kvGeometryCompare.h"
#include "kvTriangle.h"
#include "kvVector3D.h"
#include "kvVertex.h"

#include <QMatrix4x4>
#include <cmath>
#include <limits>

namespace {
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
} // namespace

class tst_geometry : public QObject
{
    Q_OBJECT

private slots:
    void vectorIsPackedAndAQVector3D();
    void storeMinimumMaximum_data();
    void storeMinimumMaximum();
    void arithmetic();
    void angle_data();
    void angle();
    void vectorText_data();
    void vectorText();

    void boxGrowth();
    void boxEdges();
    void boxContains_data();
    void boxContains();

    void vertexIds();
    void vertexEquality_data();
    void vertexEquality();
    void vertexFaces();

    void triangleNormal_data();
    void triangleNormal();
    void triangleMeasures();
    void triangleFromPointsIsInitialised();
    void triangleCorners();
    void triangleEquality();
    void copiesShareCorners();
};

void tst_geometry::vectorIsPackedAndAQVector3D()
{
    // The view uploads a QVector<kvVector3D> as one float array.
    const QVector<kvVector3D> tPoints {{1, 2, 3}, {4, 5, 6}};
    const float *tFloats = reinterpret_cast<const float *>(tPoints.constData());
    for (int i = 0; i < 6; ++i)
        QCOMPARE(tFloats[i], float(i + 1));

    const kvVector3D tX(1, 0, 0), tY(0, 1, 0);
    const kvVector3D tZ = QVector3D::crossProduct(tX, tY);
    QCOMPARE(tZ, kvVector3D(0, 0, 1));
    QMatrix4x4 tMove;
    tMove.translate(5, 0, 0);
    QCOMPARE(kvVector3D(tMove * tX), kvVector3D(6, 0, 0));
    QCOMPARE(kvVector3D(), kvVector3D(0, 0, 0));
}

void tst_geometry::storeMinimumMaximum_data()
{
    QTest::addColumn<float>("here");
    QTest::addColumn<float>("other");
    QTest::addColumn<float>("minimum");
    QTest::addColumn<float>("maximum");

    QTest::newRow("other smaller") << 2.0f << 1.0f << 1.0f << 2.0f;
    QTest::newRow("other greater") << 2.0f << 3.0f << 2.0f << 3.0f;
    QTest::newRow("equal") << 2.0f << 2.0f << 2.0f << 2.0f;
    QTest::newRow("NaN in argument") << 2.0f << kNaN << 2.0f << 2.0f;
    QTest::newRow("minus zero") << 0.0f << -0.0f << 0.0f << 0.0f;
    QTest::newRow("infinite argument") << 2.0f << -kInf << -kInf << 2.0f;
}

void tst_geometry::storeMinimumMaximum()
{
    QFETCH(float, here);
    QFETCH(float, other);
    QFETCH(float, minimum);
    QFETCH(float, maximum);

    // Each component on its own: the other two stay put.
    for (int tAxis = 0; tAxis < 3; ++tAxis) {
        kvVector3D tMin(7, 7, 7), tMax(7, 7, 7), tOther(7, 7, 7);
        tMin[tAxis] = here;
        tMax[tAxis] = here;
        tOther[tAxis] = other;
        tMin.storeMinimum(tOther);
        tMax.storeMaximum(tOther);
        kvVector3D tWantMin(7, 7, 7), tWantMax(7, 7, 7);
        tWantMin[tAxis] = minimum;
        tWantMax[tAxis] = maximum;
        QCOMPARE(tMin, tWantMin);
        QCOMPARE(tMax, tWantMax);
        QCOMPARE(std::signbit(tMin[tAxis]), std::signbit(minimum));
    }
}

void tst_geometry::arithmetic()
{
    const kvVector3D tA(1, 2, 3), tB(0.5f, -1, 4);
    QCOMPARE(tA.add(tB), kvVector3D(1.5f, 1, 7));
    QCOMPARE(tA.subtract(tB), kvVector3D(0.5f, 3, -1));
    QCOMPARE(tA, kvVector3D(1, 2, 3));

    kvVector3D tC = tA;
    tC.addInternal(tB);
    QCOMPARE(tC, kvVector3D(1.5f, 1, 7));
    tC.subtractInternal(tB);
    QCOMPARE(tC, tA);

    QCOMPARE(tA.scalarProduct(tB), 10.5);
    // Computed in single precision: the result is a float widened.
    const kvVector3D tTenth(0.1f, 0.1f, 0.1f);
    const double tDot = tTenth.scalarProduct(tTenth);
    QCOMPARE(tDot, double(float(tDot)));

    kvVector3D tHalf = tA;
    tHalf.scale(0.5);
    QCOMPARE(tHalf, kvVector3D(0.5f, 1, 1.5f));

    kvVector3D tCopy;
    tCopy.copy(tB);
    QCOMPARE(tCopy, tB);
}

void tst_geometry::angle_data()
{
    QTest::addColumn<kvVector3D>("here");
    QTest::addColumn<kvVector3D>("other");
    QTest::addColumn<double>("expected");

    QTest::newRow("perpendicular") << kvVector3D(2, 0, 0) << kvVector3D(0, 3, 0) << M_PI / 2;
    // Multiplied, not divided, by the other length.
    QTest::newRow("parallel, shorter other")
        << kvVector3D(1, 0, 0) << kvVector3D(0.5f, 0, 0) << std::acos(0.25);
    QTest::newRow("unit vectors") << kvVector3D(1, 0, 0) << kvVector3D(0, 0, -1) << M_PI / 2;
}

void tst_geometry::angle()
{
    QFETCH(kvVector3D, here);
    QFETCH(kvVector3D, other);
    QFETCH(double, expected);
    QVERIFY(qAbs(here.angle(other) - expected) < 1e-6);
    if (qFuzzyCompare(here.length(), 1.0f) && qFuzzyCompare(other.length(), 1.0f))
        QVERIFY(qAbs(here.angleFromNormalizedVectors(other) - expected) < 1e-6);
}

void tst_geometry::vectorText_data()
{
    QTest::addColumn<kvVector3D>("vector");
    QTest::addColumn<QString>("text");

    QTest::newRow("plain") << kvVector3D(1, 2.5f, -3) << "kvVector3D::[X:1][Y:2.5][Z:-3]";
    QTest::newRow("six digits") << kvVector3D(1.0f / 3, 123456789.0f, 1e-7f)
                                << "kvVector3D::[X:0.333333][Y:1.23457e+08][Z:1e-07]";
}

void tst_geometry::vectorText()
{
    QFETCH(kvVector3D, vector);
    QFETCH(QString, text);
    QCOMPARE(vector.toString(), text);
}

void tst_geometry::boxGrowth()
{
    kvBoundingBox tBox;
    QVERIFY(tBox.isEmpty());
    QCOMPARE(tBox.center(), kvVector3D());

    // The first point sets both corners, even far from the origin.
    tBox.add(kvVector3D(1, 2, 3));
    QVERIFY(!tBox.isEmpty());
    QCOMPARE(tBox.minPoint(), kvVector3D(1, 2, 3));
    QCOMPARE(tBox.maxPoint(), kvVector3D(1, 2, 3));
    QCOMPARE(tBox.center(), kvVector3D(1, 2, 3));
    const QVector<kvVector3D> tEdges = tBox.box();
    QCOMPARE(tEdges.size(), 24);
    for (const kvVector3D &tPoint : tEdges)
        QCOMPARE(tPoint, kvVector3D(1, 2, 3));

    tBox.add(-1, 10, 3);
    QCOMPARE(tBox.minPoint(), kvVector3D(-1, 2, 3));
    QCOMPARE(tBox.maxPoint(), kvVector3D(1, 10, 3));

    tBox.clear();
    QVERIFY(tBox.isEmpty());
    QCOMPARE(tBox.minPoint(), kvVector3D());
    QCOMPARE(tBox.maxPoint(), kvVector3D());
    tBox.add(kvVector3D(0, 0, 0));
    tBox.add(kvVector3D(2, 4, 6));
    QCOMPARE(tBox.center(), kvVector3D(1, 2, 3));

    // An empty box added to another adds the origin.
    kvBoundingBox tOther;
    tOther.add(kvVector3D(5, 5, 5));
    tOther.add(kvBoundingBox());
    QCOMPARE(tOther.minPoint(), kvVector3D(0, 0, 0));
    QCOMPARE(tOther.maxPoint(), kvVector3D(5, 5, 5));
}

void tst_geometry::boxEdges()
{
    kvBoundingBox tBox;
    tBox.add(kvVector3D(0, 0, 0));
    tBox.add(kvVector3D(1, 2, 3));
    const kvVector3D m(0, 0, 0), M(1, 2, 3);
    const QVector<kvVector3D> tExpected {
        {m.x(), m.y(), m.z()},
        {M.x(), m.y(), m.z()},
        {m.x(), m.y(), m.z()},
        {m.x(), M.y(), m.z()},
        {m.x(), m.y(), m.z()},
        {m.x(), m.y(), M.z()},
        {M.x(), M.y(), M.z()},
        {m.x(), M.y(), M.z()},
        {M.x(), M.y(), M.z()},
        {M.x(), m.y(), M.z()},
        {M.x(), M.y(), M.z()},
        {M.x(), M.y(), m.z()},
        {m.x(), M.y(), M.z()},
        {m.x(), M.y(), m.z()},
        {m.x(), M.y(), M.z()},
        {m.x(), m.y(), M.z()},
        {M.x(), M.y(), m.z()},
        {M.x(), m.y(), m.z()},
        {M.x(), M.y(), m.z()},
        {m.x(), M.y(), m.z()},
        {M.x(), m.y(), M.z()},
        {m.x(), m.y(), M.z()},
        {M.x(), m.y(), M.z()},
        {M.x(), m.y(), m.z()},
    };
    const QVector<kvVector3D> tEdges = tBox.box();
    QCOMPARE(tEdges.size(), 24);
    for (int i = 0; i < 24; ++i)
        QVERIFY2(tEdges.at(i) == tExpected.at(i), qPrintable(QString::number(i)));
    // Every pair is one edge: the two ends differ along exactly one axis.
    for (int i = 0; i < 24; i += 2) {
        const kvVector3D tD = tEdges.at(i + 1).subtract(tEdges.at(i));
        QCOMPARE(int(tD.x() != 0) + int(tD.y() != 0) + int(tD.z() != 0), 1);
    }
}

void tst_geometry::boxContains_data()
{
    QTest::addColumn<kvVector3D>("point");
    QTest::addColumn<bool>("inside");

    QTest::newRow("inside") << kvVector3D(1, 1, 1) << true;
    QTest::newRow("minimum corner") << kvVector3D(0, 0, 0) << true;
    QTest::newRow("maximum corner") << kvVector3D(2, 4, 6) << true;
    QTest::newRow("below x") << kvVector3D(-0.001f, 1, 1) << false;
    QTest::newRow("above y") << kvVector3D(1, 4.001f, 1) << false;
    QTest::newRow("above z") << kvVector3D(1, 1, 6.001f) << false;
    QTest::newRow("NaN") << kvVector3D(1, kNaN, 1) << false;
}

void tst_geometry::boxContains()
{
    QFETCH(kvVector3D, point);
    QFETCH(bool, inside);
    kvBoundingBox tBox;
    tBox.add(kvVector3D(2, 4, 6));
    tBox.add(kvVector3D(0, 0, 0));
    QCOMPARE(tBox.containsPoint(point), inside);
}

void tst_geometry::vertexIds()
{
    QCOMPARE(kvVertex().id(), -1);
    QCOMPARE(kvVertex().position(), kvVector3D());
    QCOMPARE(kvVertex(1, 2, 3).id(), -1);
    QCOMPARE(kvVertex(QVector3D(1, 2, 3)).id(), -1);
    QCOMPARE(kvVertex(kvVector3D(1, 2, 3)).position(), kvVector3D(1, 2, 3));
    QCOMPARE(kvVertex(7, 1, 2, 3).id(), 7);
    QCOMPARE(kvVertex(8, QVector3D(1, 2, 3)).id(), 8);
    const kvVertex tVertex(9, kvVector3D(1, 2, 3));
    QCOMPARE(tVertex.id(), 9);
    QCOMPARE(tVertex.position(), kvVector3D(1, 2, 3));
    QVERIFY(tVertex.connectedFaces().isEmpty());

    kvVertex tMoved;
    tMoved.initalize(4, kvVector3D(3, 4, 0));
    QCOMPARE(tMoved.id(), 4);
    QCOMPARE(tMoved.distance(kvVertex()), 5.0);
    QCOMPARE(tMoved.distance(kvVector3D(3, 4, 12)), 12.0);
}

void tst_geometry::vertexEquality_data()
{
    QTest::addColumn<kvVertex>("a");
    QTest::addColumn<kvVertex>("b");
    QTest::addColumn<bool>("equal");

    QTest::newRow("ids differ") << kvVertex(1, 1, 2, 3) << kvVertex(2, 1, 2, 3) << true;
    QTest::newRow("minus zero") << kvVertex(0, 0, 0) << kvVertex(-0.0f, 0, 0) << true;
    QTest::newRow("one ulp apart") << kvVertex(1, 0, 0) << kvVertex(1.0000001f, 0, 0) << false;
    QTest::newRow("NaN with itself") << kvVertex(kNaN, 0, 0) << kvVertex(kNaN, 0, 0) << false;
    QTest::newRow("infinity") << kvVertex(kInf, 0, 0) << kvVertex(kInf, 0, 0) << true;
}

void tst_geometry::vertexEquality()
{
    QFETCH(kvVertex, a);
    QFETCH(kvVertex, b);
    QFETCH(bool, equal);
    QCOMPARE(a == b, equal);
    QCOMPARE(a != b, !equal);
}

void tst_geometry::vertexFaces()
{
    const kvTriangle tUp(
        kvVector3D(0, 0, 0), kvVector3D(1, 0, 0), kvVector3D(0, 1, 0), kvVector3D());
    const kvTriangle tDown(
        kvVector3D(0, 0, 0), kvVector3D(0, 1, 0), kvVector3D(1, 0, 0), kvVector3D());
    kvVertex tA(1, 0, 0), tB(1, 0, 0);
    tA.connectFace(tUp);
    QVERIFY(tA != tB); // the face lists are part of the value
    tB.connectFace(tDown);
    QVERIFY(tA != tB);

    tA.connectFace(tDown);
    tA.connectFace(tUp);
    tA.disconnectFace(tUp); // the first equal face only
    QCOMPARE(tA.connectedFaces(), (QVector<kvTriangle> {tDown, tUp}));
    tA.disconnectFace(kvTriangle());
    QCOMPARE(tA.connectedFaces().size(), 2);
}

void tst_geometry::triangleNormal_data()
{
    QTest::addColumn<kvVector3D>("a");
    QTest::addColumn<kvVector3D>("b");
    QTest::addColumn<kvVector3D>("c");
    QTest::addColumn<kvVector3D>("given");
    QTest::addColumn<kvVector3D>("normal");

    QTest::newRow("counter-clockwise, wrong normal given")
        << kvVector3D(0, 0, 0) << kvVector3D(1, 0, 0) << kvVector3D(0, 1, 0) << kvVector3D(0, 0, -1)
        << kvVector3D(0, 0, 1);
    QTest::newRow("clockwise") << kvVector3D(0, 0, 0) << kvVector3D(0, 1, 0) << kvVector3D(1, 0, 0)
                               << kvVector3D(0, 0, 1) << kvVector3D(0, 0, -1);
    QTest::newRow("large facet is normalised")
        << kvVector3D(0, 0, 0) << kvVector3D(0, 100, 0) << kvVector3D(0, 0, 100) << kvVector3D()
        << kvVector3D(1, 0, 0);
    QTest::newRow("equal corners") << kvVector3D(2, 2, 2) << kvVector3D(2, 2, 2)
                                   << kvVector3D(2, 2, 2) << kvVector3D(0, 0, 1) << kvVector3D();
    QTest::newRow("collinear") << kvVector3D(0, 0, 0) << kvVector3D(1, 1, 1) << kvVector3D(3, 3, 3)
                               << kvVector3D(0, 1, 0) << kvVector3D();
}

void tst_geometry::triangleNormal()
{
    QFETCH(kvVector3D, a);
    QFETCH(kvVector3D, b);
    QFETCH(kvVector3D, c);
    QFETCH(kvVector3D, given);
    QFETCH(kvVector3D, normal);

    QCOMPARE(kvTriangle(a, b, c, given).normal(), normal);
    // Corners given as vertices keep their ids.
    const kvTriangle tFromVertices(kvVertex(4, a), kvVertex(5, b), kvVertex(6, c), given);
    QCOMPARE(tFromVertices.normal(), normal);
    QCOMPARE(tFromVertices.vertices().at(0).id(), 4);
    QCOMPARE(tFromVertices.vertices().at(2).id(), 6);
    QCOMPARE(kvTriangle(a, b, c, given).vertices().at(1).id(), -1);
}

void tst_geometry::triangleMeasures()
{
    kvTriangle tFlat(kvVector3D(0, 0, 0), kvVector3D(1, 0, 0), kvVector3D(0, 1, 0), kvVector3D());
    QCOMPARE(tFlat.area(), 0.5);
    QCOMPARE(tFlat.volume(), 0.0); // the origin lies in its plane

    kvTriangle tLifted(kvVector3D(0, 0, 1), kvVector3D(1, 0, 1), kvVector3D(0, 1, 1), kvVector3D());
    QVERIFY(qAbs(tLifted.volume() - 1.0 / 6) < 1e-7);
    kvTriangle tSwapped(
        kvVector3D(0, 0, 1), kvVector3D(0, 1, 1), kvVector3D(1, 0, 1), kvVector3D());
    QVERIFY(qAbs(tSwapped.volume() + 1.0 / 6) < 1e-7);
    // The corner sum, not the mean.
    QCOMPARE(tLifted.center(), kvVector3D(1, 1, 3));

    kvTriangle tPoint(kvVector3D(2, 2, 2), kvVector3D(2, 2, 2), kvVector3D(2, 2, 2), kvVector3D());
    QCOMPARE(tPoint.area(), 0.0);

    kvTriangle tEmpty;
    QCOMPARE(tEmpty.area(), 0.0);
    QCOMPARE(tEmpty.volume(), 0.0);
    QCOMPARE(tEmpty.center(), kvVector3D());
    QCOMPARE(tEmpty.normal(), kvVector3D());
}

void tst_geometry::triangleFromPointsIsInitialised()
{
    const kvTriangle tTriangle(
        kvVector3D(0, 0, 0), kvVector3D(1, 0, 0), kvVector3D(0, 1, 0), kvVector3D());
    const kvTriangle tCopy = tTriangle;
    QCOMPARE(tCopy.shell(), 0);
    kvTriangle tShelled = tCopy;
    tShelled.setShell(3);
    QCOMPARE(tShelled.shell(), 3);
    QCOMPARE(tCopy.shell(), 0);
}

void tst_geometry::triangleCorners()
{
    kvTriangle tTriangle;
    tTriangle.setNormal(kvVector3D(0, 3, 0)); // kept as given, not normalised
    for (int i = 0; i < 4; ++i)
        tTriangle.addVertex(kvVertex(i, float(i), 0, 0));
    QCOMPARE(tTriangle.vertices().size(), 3);
    QCOMPARE(tTriangle.vertices().last().id(), 2);
    QCOMPARE(tTriangle.normal(), kvVector3D(0, 3, 0));
    tTriangle.setNormal(0, 0, 0);
    QCOMPARE(tTriangle.normal(), kvVector3D());

    tTriangle.setVertices(QVector<kvVertex>(5, kvVertex(1, 1, 1)));
    QCOMPARE(tTriangle.vertices().size(), 5);
    QCOMPARE(tTriangle.normal(), kvVector3D()); // no recomputation

    tTriangle.setVertices({kvVertex(0, 0, 0), kvVertex(0, 2, 0), kvVertex(0, 0, 2)});
    tTriangle.recomputeNormal();
    QCOMPARE(tTriangle.normal(), kvVector3D(1, 0, 0));
}

void tst_geometry::triangleEquality()
{
    kvTriangle tA(kvVertex(1, 0, 0, 0), kvVertex(2, 1, 0, 0), kvVertex(3, 0, 1, 0), kvVector3D());
    kvTriangle tB(kvVertex(7, 0, 0, 0), kvVertex(8, 1, 0, 0), kvVertex(9, 0, 1, 0), kvVector3D());
    tA.area();
    tB.setShell(5);
    QVERIFY(tA == tB); // ids, measures and shells are not compared

    kvTriangle tTurned = tB;
    tTurned.setNormal(kvVector3D(0, 0, -1));
    QVERIFY(tA != tTurned);

    const kvTriangle tOtherCorner(
        kvVector3D(0, 0, 0), kvVector3D(1, 0, 0), kvVector3D(0, 1.5f, 0), kvVector3D());
    QVERIFY(tA != tOtherCorner);
}

void tst_geometry::copiesShareCorners()
{
    const kvTriangle tTriangle(
        kvVector3D(0, 0, 0), kvVector3D(1, 0, 0), kvVector3D(0, 1, 0), kvVector3D());
    kvTriangle tCopy = tTriangle;
    // Bare corners are kept inline (copied with the facet); a corner list with ids is
    // shared between copies.
    QCOMPARE(tCopy.vertices(), tTriangle.vertices());
    const kvTriangle tWithIds(
        kvVertex(1, 0, 0, 0), kvVertex(2, 1, 0, 0), kvVertex(3, 0, 1, 0), kvVector3D());
    const kvTriangle tIdsCopy = tWithIds;
    QVERIFY(tIdsCopy.vertices().isSharedWith(tWithIds.vertices()));
    tCopy.addVertex(kvVertex()); // ignored: three corners already
    tCopy.setVertices({kvVertex(5, 5, 5)});
    QCOMPARE(tTriangle.vertices().size(), 3);
    QCOMPARE(tTriangle.vertices().at(2).position(), kvVector3D(0, 1, 0));
}

KV_TEST_MAIN(tst_geometry)
#include "tst_geometry.moc"
