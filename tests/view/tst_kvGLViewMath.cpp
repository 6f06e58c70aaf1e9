#include "kvGLViewMath.h"
#include "kvTestSupport.h"

#include <cmath>
#include <limits>

using namespace Kv::Defines;

class tst_kvGLViewMath : public QObject
{
    Q_OBJECT
private slots:
    void wheelStep_data()
    {
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("step");
        QTest::newRow("notch forward") << 120 << -36;
        QTest::newRow("notch back") << -120 << 35;
        QTest::newRow("two notches") << 240 << -72;
        QTest::newRow("fine forward") << 15 << -5;
        QTest::newRow("fine back") << -15 << 3;
        QTest::newRow("tiny back") << -1 << 0;
    }
    void wheelStep()
    {
        QFETCH(int, delta);
        QFETCH(int, step);
        QCOMPARE(kvGLViewMath::wheelStep(delta), step);
    }

    void wrapAngle_data()
    {
        QTest::addColumn<float>("angle");
        QTest::addColumn<float>("wrapped");
        QTest::newRow("inside") << 12.5f << 12.5f;
        QTest::newRow("below zero") << -5.0f << 355.0f;
        QTest::newRow("360") << 360.0f << 0.0f;
        QTest::newRow("several turns") << 1090.0f << 10.0f;
        QTest::newRow("several turns back") << -730.0f << 350.0f;
        QTest::newRow("tiny negative") << -1e-9f << 0.0f;
        QTest::newRow("1e9") << 1e9f << float(std::fmod(double(1e9f), 360.0));
        QTest::newRow("1.5e11") << 1.5e11f << float(std::fmod(double(1.5e11f), 360.0));
        QTest::newRow("max float")
            << std::numeric_limits<float>::max()
            << float(std::fmod(double(std::numeric_limits<float>::max()), 360.0));
    }
    void wrapAngle()
    {
        QFETCH(float, angle);
        QFETCH(float, wrapped);
        const float tResult = kvGLViewMath::wrapAngle(angle);
        QCOMPARE(tResult, wrapped);
        QVERIFY(tResult >= 0 && tResult < 360);
    }

    void wrapAngleLeavesNonFinite()
    {
        QVERIFY(std::isinf(kvGLViewMath::wrapAngle(std::numeric_limits<float>::infinity())));
        QVERIFY(std::isnan(kvGLViewMath::wrapAngle(std::nanf(""))));
    }

    void clampElevation()
    {
        QCOMPARE(kvGLViewMath::clampElevation(95), 90.0f);
        QCOMPARE(kvGLViewMath::clampElevation(-90.5f), -90.0f);
        QCOMPARE(kvGLViewMath::clampElevation(-12), -12.0f);
    }

    void zoomedDistance_data()
    {
        QTest::addColumn<float>("centerZ");
        QTest::addColumn<float>("distance");
        QTest::addColumn<float>("step"); // negative: towards the look-at point
        QTest::addColumn<float>("zoomed");
        // The far plane is 10000: the eye goes no farther than 5000 from the look-at point.
        QTest::newRow("in, free") << 0.0f << 100.0f << -36.0f << 64.0f;
        QTest::newRow("in, stops at the nearest") << 0.0f << 20.0f << -36.0f << 10.0f;
        QTest::newRow("in, already nearer: held") << 0.0f << 5.0f << -36.0f << 5.0f;
        QTest::newRow("in, already nearer, centre moved: held")
            << -2500.0f << 2504.0f << -36.0f << 2504.0f;
        QTest::newRow("out, already nearer: free") << 0.0f << 5.0f << 35.0f << 40.0f;
        QTest::newRow("out, stops at the farthest") << 0.0f << 4990.0f << 35.0f << 5000.0f;
        QTest::newRow("out, already farther: held") << 0.0f << 6000.0f << 35.0f << 6000.0f;
        QTest::newRow("in, already farther: free") << 0.0f << 6000.0f << -36.0f << 5964.0f;
    }
    void zoomedDistance()
    {
        QFETCH(float, centerZ);
        QFETCH(float, distance);
        QFETCH(float, step);
        QFETCH(float, zoomed);
        QCOMPARE(
            kvGLViewMath::zoomedDistance(distance, step, kvVector3D(0, 0, centerZ), 10000), zoomed);
    }

    void orthographicRect_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QRect>("rect");
        QRect tOdd;
        tOdd.setCoords(-400, 300, 400, -300);
        QRect tFlat;
        tFlat.setCoords(-50, 0, 50, 0);
        QTest::newRow("801x600") << 801 << 600 << tOdd;
        QTest::newRow("zero height") << 100 << 0 << tFlat;
    }
    void orthographicRect()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QRect, rect);
        QCOMPARE(kvGLViewMath::orthographicRect(width, height), rect);
    }

    void orthographicProjectionKeepsYUp()
    {
        const QMatrix4x4 tProjection = kvGLViewMath::projectionMatrix(GLProjectionTypeOrthographic,
            90, 1, 0.1f, 10000, kvGLViewMath::orthographicRect(800, 600));
        // One millimetre is one pixel: x = 400 is the right edge, y = 300 the top edge, so
        // the image is not mirrored.
        const QVector3D tCorner = tProjection.map(QVector3D(400, 300, -1));
        QVERIFY(qFuzzyCompare(tCorner.x(), 1.0f));
        QVERIFY(qFuzzyCompare(tCorner.y(), 1.0f));
        QCOMPARE(kvGLViewMath::projectionMatrix(kvGLProjectionType(0), 90, 1, 0.1f, 10, QRect()),
            QMatrix4x4());
    }

    void framebufferRowStaysInside()
    {
        QCOMPARE(kvGLViewMath::framebufferRow(600, 0), 599);
        QCOMPARE(kvGLViewMath::framebufferRow(600, 599), 0);
    }

    void unprojectInvertsTheScene()
    {
        const QMatrix4x4 tProjection = kvGLViewMath::projectionMatrix(
            GLProjectionTypePerspective, 90, 4.0f / 3.0f, 10, 1000, QRect());
        QMatrix4x4 tView;
        tView.lookAt(QVector3D(0, 0, 251), QVector3D(0, 0, 0), QVector3D(0, 1, 0));
        const QRect tViewport(0, 0, 800, 600);
        const QVector3D tPoint(30, -100, 20);
        const QVector3D tWindow = tPoint.project(tView, tProjection, tViewport);
        const kvVector3D tBack = kvGLViewMath::unproject(int(std::lround(tWindow.x())),
            int(std::lround(tWindow.y())), tWindow.z(), tProjection, tView, tViewport);
        QVERIFY2((tBack - tPoint).length() < 1.0f,
            qPrintable(QString("%1 %2 %3").arg(tBack.x()).arg(tBack.y()).arg(tBack.z())));
    }
};

KV_TEST_MAIN(tst_kvGLViewMath)
#include "tst_kvGLViewMath.moc"
