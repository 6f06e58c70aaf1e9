#include "kvGLLightSource.h"
#include "kvGLOrigin.h"
#include "kvGLPrinterArea.h"
#include "kvGLPrinterBed.h"
#include "kvGLPrinterBedCenter.h"
#include "kvGLRulers.h"
#include "kvGLRulersShade.h"
#include "kvTestSupport.h"

#include <QSignalSpy>

using namespace Kv::Defines;

namespace {
// Spies on the five change signals every scene object has.
struct BaseSpies
{
    explicit BaseSpies(kvGLObject *pObject)
        : visible(pObject, &kvGLObject::VisibleChanged)
        , color(pObject, &kvGLObject::ColorChanged)
        , vertices(pObject, &kvGLObject::VerticesChanged)
        , translation(pObject, &kvGLObject::TranslationChanged)
        , matrix(pObject, &kvGLObject::MatrixChanged)
    { }
    int total() const
    {
        return visible.count() + color.count() + vertices.count() + translation.count()
            + matrix.count();
    }
    QSignalSpy visible, color, vertices, translation, matrix;
};
} // namespace

class tst_kvGLOverlays : public QObject
{
    Q_OBJECT
private slots:
    void baseSettersEmitEveryCall()
    {
        kvGLObject tObject;
        BaseSpies tSpies(&tObject);
        tObject.setVisible(true);
        tObject.setColor(Qt::black);
        tObject.setTranslation(kvVector3D());
        tObject.setVertices({});
        tObject.setMatrix(QMatrix4x4());
        QCOMPARE(tSpies.visible.count(), 1);
        QCOMPARE(tSpies.color.count(), 1);
        QCOMPARE(tSpies.translation.count(), 1);
        QCOMPARE(tSpies.vertices.count(), 1);
        QCOMPARE(tSpies.matrix.count(), 1);
        QCOMPARE(tSpies.color.first().first().value<kvGLObject *>(), &tObject);
    }

    void printerAreaEdges()
    {
        const QVector<kvVector3D> tEdges = kvGLPrinterArea::edges(kvVector3D(200, 100, 50));
        QCOMPARE(tEdges.size(), 24);
        QCOMPARE(tEdges.first(), kvVector3D(-100, 50, 25));
        QCOMPARE(tEdges.at(1), kvVector3D(100, 50, 25));
        QCOMPARE(tEdges.at(8), kvVector3D(-100, 50, -25));
        QCOMPARE(tEdges.at(22), kvVector3D(-100, -50, 25));
        QCOMPARE(tEdges.last(), kvVector3D(-100, -50, -25));
    }

    void gridLines_data()
    {
        QTest::addColumn<float>("width");
        QTest::addColumn<int>("lines");
        QTest::addColumn<double>("spacing");
        QTest::newRow("150 mm") << 150.0f << 20 << 7.5;
        QTest::newRow("151 mm") << 151.0f << 15 << 10.0;
        QTest::newRow("200 mm") << 200.0f << 20 << 10.0;
        QTest::newRow("5 mm") << 5.0f << 0 << 10.0;
        QTest::newRow("negative") << -20.0f << 0 << 10.0;
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 0 << 10.0;
    }
    void gridLines()
    {
        QFETCH(float, width);
        QFETCH(int, lines);
        QFETCH(double, spacing);
        QCOMPARE(kvGLPrinterBed::spacing(width), spacing);
        const QVector<kvVector3D> tGrid = kvGLPrinterBed::grid(kvVector3D(width, 100, width));
        // Two segments (four points) per line index: one along X, one along Z.
        QCOMPARE(tGrid.size(), lines * 4);
        for (const kvVector3D &tPoint : tGrid)
            QCOMPARE(tPoint.y(), -50.0f);
        if (lines > 0) {
            const float tHalf = width / 2;
            QCOMPARE(tGrid.at(0), kvVector3D(tHalf, -50, float(tHalf - spacing)));
            QCOMPARE(tGrid.at(3), kvVector3D(float(tHalf - spacing), -50, -tHalf));
        }
    }

    void gridStaysOnThePlate_data()
    {
        QTest::addColumn<kvVector3D>("plate");
        QTest::addColumn<int>("alongX");
        QTest::addColumn<int>("alongZ");
        QTest::newRow("300 wide, 200 deep") << kvVector3D(300, 200, 200) << 20 << 30;
        QTest::newRow("200 wide, 300 deep") << kvVector3D(200, 200, 300) << 30 << 20;
        QTest::newRow("150 wide, 100 deep") << kvVector3D(150, 100, 100) << 13 << 20;
    }
    void gridStaysOnThePlate()
    {
        QFETCH(kvVector3D, plate);
        QFETCH(int, alongX);
        QFETCH(int, alongZ);
        const QVector<kvVector3D> tGrid = kvGLPrinterBed::grid(plate);
        int tAlongX = 0, tAlongZ = 0;
        for (int i = 0; i + 1 < tGrid.size(); i += 2) {
            for (const kvVector3D &tEnd : {tGrid.at(i), tGrid.at(i + 1)}) {
                QVERIFY(qAbs(tEnd.x()) <= plate.x() / 2);
                QVERIFY(qAbs(tEnd.z()) <= plate.z() / 2);
            }
            (tGrid.at(i).z() == tGrid.at(i + 1).z() ? tAlongX : tAlongZ) += 1;
        }
        QCOMPARE(tAlongX, alongX);
        QCOMPARE(tAlongZ, alongZ);
    }

    void bedSizeRebuildsGrid()
    {
        kvGLPrinterBed tBed;
        QSignalSpy tSpy(&tBed, &kvGLPrinterBed::DimensionsChanged);
        tBed.setDimensions(kvVector3D(150, 100, 150));
        QCOMPARE(tSpy.count(), 1);
        QCOMPARE(tBed.vertices().size(), 80);
    }

    void rulerTicks200mm()
    {
        for (Kv::Defines::kvCoordinate tAxis : {CoordinateX, CoordinateY, CoordinateZ}) {
            const QVector<kvVector3D> tTicks = kvGLRulers::ticks(tAxis, kvVector3D(200, 200, 200));
            QCOMPARE(tTicks.size(), 201 * 2);
            int tLong = 0, tMedium = 0, tShort = 0;
            for (int i = 0; i < tTicks.size(); i += 2) {
                const float tLength = (tTicks.at(i + 1) - tTicks.at(i)).length();
                if (tLength == 4.5f)
                    ++tLong;
                else if (tLength == 3.5f)
                    ++tMedium;
                else if (tLength == 2.5f)
                    ++tShort;
            }
            QCOMPARE(tLong, 21);
            QCOMPARE(tMedium, 20);
            QCOMPARE(tShort, 160);
        }
        const QVector<kvVector3D> tX = kvGLRulers::ticks(CoordinateX, kvVector3D(200, 200, 200));
        QCOMPARE(tX.at(0), kvVector3D(-100, -100, 100));
        QCOMPARE(tX.at(1), kvVector3D(-100, -100, 104.5f));
        QCOMPARE(tX.at(2 * 5 + 1), kvVector3D(-95, -100, 103.5f));
        const QVector<kvVector3D> tY = kvGLRulers::ticks(CoordinateY, kvVector3D(200, 200, 200));
        QCOMPARE(tY.at(3), kvVector3D(102.5f, -99, 100));
    }

    void rulerEdgeCases_data()
    {
        QTest::addColumn<int>("axis");
        QTest::addColumn<QVector3D>("bed");
        QTest::addColumn<int>("ticks");
        QTest::newRow("no axis") << int(CoordinateAll) << QVector3D(200, 200, 200) << 0;
        QTest::newRow("odd length") << int(CoordinateX) << QVector3D(201, 200, 200) << 201;
        QTest::newRow("infinite") << int(CoordinateY)
                                  << QVector3D(200, std::numeric_limits<float>::infinity(), 0) << 0;
        QTest::newRow("absurd") << int(CoordinateZ) << QVector3D(0, 0, 1e30f) << 0;
    }
    void rulerEdgeCases()
    {
        QFETCH(int, axis);
        QFETCH(QVector3D, bed);
        QFETCH(int, ticks);
        QCOMPARE(kvGLRulers::ticks(kvCoordinate(axis), bed).size(), ticks * 2);
    }

    void shadeFixedStrips()
    {
        const kvVector3D tBed(200, 200, 200);
        QCOMPARE(kvGLRulersShade::fixedStrip(CoordinateX, tBed, 2.5f),
            (QVector<kvVector3D> {
                {100, -100, 100}, {50, -100, 100}, {50, -100, 102.5f}, {100, -100, 102.5f}}));
        QCOMPARE(
            kvGLRulersShade::fixedStrip(CoordinateY, tBed, 2.5f).at(1), kvVector3D(100, -100, 50));
        QCOMPARE(
            kvGLRulersShade::fixedStrip(CoordinateZ, tBed, 2.5f).at(1), kvVector3D(100, -50, 100));
        QVERIFY(kvGLRulersShade::fixedStrip(CoordinateAll, tBed, 2.5f).isEmpty());
    }

    void shadeExtentClampsToFullBedSize()
    {
        const kvVector3D tBed(200, 200, 200);
        const QVector<kvVector3D> tStrip = kvGLRulersShade::extentStrip(
            CoordinateX, tBed, 2.5f, kvVector3D(-350, 0, 0), kvVector3D(120, 0, 0));
        QCOMPARE(tStrip.at(0).x(), 120.0f);
        QCOMPARE(tStrip.at(1).x(), -200.0f);
        const QVector<kvVector3D> tZ = kvGLRulersShade::extentStrip(
            CoordinateZ, tBed, 2.5f, kvVector3D(0, -100, 0), kvVector3D(0, -40, 0));
        QCOMPARE(tZ,
            (QVector<kvVector3D> {
                {100, -40, 100}, {100, -100, 100}, {102.5f, -100, 100}, {102.5f, -40, 100}}));
    }

    void shadeUpdateVerticesAnnouncesFixedStripFirst()
    {
        kvGLRulersShade tShade;
        tShade.setCoordinate(CoordinateY);
        QSignalSpy tVertices(&tShade, &kvGLObject::VerticesChanged);
        QSignalSpy tCoordinate(&tShade, &kvGLRulersShade::CoordinateChanged);
        tShade.updateVertices(
            kvVector3D(100, 100, 100), kvVector3D(-10, 0, -20), kvVector3D(10, 5, 30));
        QCOMPARE(tVertices.count(), 2);
        QCOMPARE(tCoordinate.count(), 1);
        QCOMPARE(tShade.bedSize(), kvVector3D(100, 100, 100));
        QCOMPARE(tShade.vertices().at(0), kvVector3D(50, -50, 30));
        QCOMPARE(tShade.vertices().at(1), kvVector3D(50, -50, -20));
    }

    void shadeAlphaRebuildsColours()
    {
        kvGLRulersShade tShade;
        tShade.setColor(Qt::red);
        QSignalSpy tColor(&tShade, &kvGLObject::ColorChanged);
        QSignalSpy tAlpha(&tShade, &kvGLRulersShade::AlphaChanged);
        tShade.setAlpha(0.2f);
        QCOMPARE(tColor.count(), 2);
        QCOMPARE(tAlpha.count(), 1);
        QCOMPARE(tShade.colors(), QVector<QVector4D>(4, QVector4D(1, 0, 0, 0.2f)));
    }

    void bedCenterHasNoGeometry()
    {
        kvGLPrinterBedCenter tCenter;
        QCOMPARE(tCenter.translation(), kvVector3D(0, -100, 0));
        QSignalSpy tSize(&tCenter, &kvGLPrinterBedCenter::SizeChanged);
        tCenter.setSize(12);
        tCenter.setTranslation(kvVector3D(1, 2, 3));
        QCOMPARE(tSize.count(), 1);
        QVERIFY(tCenter.vertices().isEmpty());
    }

    void lightSourceDefaults()
    {
        kvGLLightSource tLight;
        QCOMPARE(tLight.position(), kvVector3D(0, 0, 1));
        QCOMPARE(tLight.angle(), kvVector3D(45, 0, 0));
        QCOMPARE(tLight.translation(), kvVector3D(0, 100, 100));
    }
};

KV_TEST_MAIN(tst_kvGLOverlays)
#include "tst_kvGLOverlays.moc"
