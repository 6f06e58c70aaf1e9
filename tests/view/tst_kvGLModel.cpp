#include "kvGLModel.h"
#include "kvGLModelCenter.h"
#include "kvGLModelMBR.h"
#include "kvTestSupport.h"
#include "kvViewFixtures.h"

#include <QSignalSpy>
#include <cmath>
#include <limits>

using KvViewTest::boxMesh;
using KvViewTest::cube;

class tst_kvGLModel : public QObject
{
    Q_OBJECT
private slots:
    void buildingWithMeshEmitsOnlyAfterSilence()
    {
        // The model announces its mesh once it is built; nothing from its defaults.
        kvGLModel tModel(cube(10));
        QCOMPARE(tModel.vertices().size(), 36);
        QCOMPARE(tModel.color(), QColor(Qt::blue));
        QCOMPARE(tModel.rotation(), kvVector3D(-90, 0, 0));
        QCOMPARE(tModel.boundingBox()->color(), QColor(Qt::darkGreen));
        QCOMPARE(tModel.modelCenter()->color(), QColor(Qt::red));
        QSignalSpy tObject(&tModel, &kvGLModel::ObjectChanged);
        QSignalSpy tVertices(&tModel, &kvGLObject::VerticesChanged);
        tModel.setModel(cube(5));
        QCOMPARE(tVertices.count(), 1);
        QCOMPARE(tObject.count(), 1);
        QCOMPARE(tObject.first().first().value<kvGLObject *>(), &tModel);
    }

    void childChangesReportTheModel()
    {
        kvGLModel tModel;
        QSignalSpy tObject(&tModel, &kvGLModel::ObjectChanged);
        tModel.boundingBox()->setColor(Qt::red);
        tModel.boundingBox()->setLineWidth(3);
        tModel.modelCenter()->setLineWidth(3);
        QCOMPARE(tObject.count(), 3);
        for (const QList<QVariant> &tArguments : tObject)
            QCOMPARE(tArguments.first().value<kvGLObject *>(), &tModel);
    }

    void userTranslationAlwaysEmits()
    {
        kvGLModel tModel;
        QSignalSpy tSpy(&tModel, &kvGLModel::UserTranslationChanged);
        tModel.setUserTranslation(tModel.userTranslation());
        QCOMPARE(tSpy.count(), 1);
    }

    void landOnFloor()
    {
        // Z 0..10 in the mesh becomes the scene's height.
        kvGLModel tModel(boxMesh(kvVector3D(0, 0, 0), kvVector3D(10, 10, 10)));
        tModel.setUserTranslation(kvVector3D(4, 5, 6));
        QSignalSpy tUser(&tModel, &kvGLModel::UserTranslationChanged);
        QSignalSpy tTranslation(&tModel, &kvGLObject::TranslationChanged);
        tModel.land(-100);
        QCOMPARE(tModel.translation().y(), -100.0f);
        QCOMPARE(tModel.userTranslation(), kvVector3D(0, 0, 0));
        QCOMPARE(tUser.count(), 1);
        QCOMPARE(tTranslation.count(), 1);
        QCOMPARE(tModel.placedBox().minPoint().y(), -100.0f);
        QCOMPARE(tModel.placedBox().maxPoint().y(), -90.0f);
    }

    void landScaledAndTurned()
    {
        kvGLModel tModel(boxMesh(kvVector3D(0, 0, 5), kvVector3D(10, 10, 15)));
        tModel.setScale(2);
        tModel.land(-50);
        QCOMPARE(tModel.translation().y(), -60.0f);
        tModel.setUserRotation(kvVector3D(90, 0, 0)); // mesh Y becomes the height
        tModel.land(-50);
        QCOMPARE(tModel.placedBox().minPoint().y(), -50.0f);
        QCOMPARE(tModel.placedBox().maxPoint().y(), -30.0f);
    }

    void centerOverOrigin()
    {
        kvGLModel tModel(boxMesh(kvVector3D(20, 5, 0), kvVector3D(40, 15, 3)));
        tModel.land(-100);
        tModel.setUserTranslation(kvVector3D(7, 7, 7));
        QSignalSpy tUser(&tModel, &kvGLModel::UserTranslationChanged);
        tModel.center();
        QCOMPARE(tModel.translation(), kvVector3D(-30, -100, 10));
        QCOMPARE(tModel.userTranslation(), kvVector3D(0, 0, 0));
        QCOMPARE(tUser.count(), 1);
        const kvBoundingBox tBox = tModel.placedBox();
        QCOMPARE(tBox.minPoint(), kvVector3D(-10, -100, -5));
        QCOMPARE(tBox.maxPoint(), kvVector3D(10, -97, 5));
    }

    void placedBoxMatchesTheMeshUnderTheCurrentMatrix_data()
    {
        QTest::addColumn<QVector3D>("translation");
        QTest::addColumn<QVector3D>("userTranslation");
        QTest::addColumn<QVector3D>("userRotation");
        QTest::addColumn<float>("scale");
        QTest::newRow("base") << QVector3D() << QVector3D() << QVector3D() << 1.0f;
        QTest::newRow("dragged") << QVector3D(-3.3f, -100, 7.1f) << QVector3D(13, 2, -9)
                                 << QVector3D() << 1.0f;
        QTest::newRow("turned and scaled")
            << QVector3D(1.7f, -99.9f, 0.3f) << QVector3D(0.1f, 0, 0.7f) << QVector3D(12, 33, 71)
            << 1.37f;
        QTest::newRow("flat") << QVector3D(0, 0, 0) << QVector3D(1e-3f, 0, 0) << QVector3D(90, 0, 0)
                              << 1.0f;
    }
    void placedBoxMatchesTheMeshUnderTheCurrentMatrix()
    {
        QFETCH(QVector3D, translation);
        QFETCH(QVector3D, userTranslation);
        QFETCH(QVector3D, userRotation);
        QFETCH(float, scale);
        kvGLModel tModel(boxMesh(kvVector3D(-3.1f, 0.7f, 2.9f), kvVector3D(17.3f, 9.9f, 31.7f)));
        tModel.placedBox(); // fill the cache with another placement first
        tModel.setTranslation(translation);
        tModel.setUserTranslation(userTranslation);
        tModel.setUserRotation(userRotation);
        tModel.setScale(scale);
        const kvBoundingBox tDirect = tModel.model().boudningBoxFromMatrix(tModel.currentMatrix());
        const kvBoundingBox tPlaced = tModel.placedBox();
        QCOMPARE(tPlaced.minPoint(), tDirect.minPoint());
        QCOMPARE(tPlaced.maxPoint(), tDirect.maxPoint());
        // Exact, not fuzzy: the colour decision must not depend on the cache.
        for (int i = 0; i < 3; ++i) {
            QVERIFY(tPlaced.minPoint()[i] == tDirect.minPoint()[i]);
            QVERIFY(tPlaced.maxPoint()[i] == tDirect.maxPoint()[i]);
        }
    }

    void currentMatrixMapsLikeThePaint()
    {
        kvGLModel tModel;
        tModel.setTranslation(kvVector3D(1, 2, 3));
        tModel.setUserTranslation(kvVector3D(10, 0, 0));
        tModel.setScale(2);
        // Base rotation -90 about X: mesh (x, y, z) goes to (x, z, -y), then scaled and moved.
        const QVector3D tPoint = tModel.currentMatrix().map(QVector3D(1, 2, 3));
        QVERIFY((tPoint - QVector3D(13, 8, -1)).length() < 1e-5f);
    }

    void bounds_data()
    {
        QTest::addColumn<float>("size");
        QTest::addColumn<QVector3D>("drag");
        QTest::addColumn<float>("turn");
        QTest::addColumn<QColor>("color");
        const QColor tGreen = Qt::darkGreen, tRed = Qt::red;
        QTest::newRow("small cube") << 20.0f << QVector3D() << 0.0f << tGreen;
        QTest::newRow("on the face") << 20.0f << QVector3D(90, 0, 0) << 0.0f << tGreen;
        QTest::newRow("0.01 beyond the face") << 20.0f << QVector3D(90.01f, 0, 0) << 0.0f << tRed;
        QTest::newRow("through the top") << 20.0f << QVector3D(0, 180.01f, 0) << 0.0f << tRed;
        QTest::newRow("below the floor") << 20.0f << QVector3D(0, -0.01f, 0) << 0.0f << tRed;
        QTest::newRow("whole bed") << 200.0f << QVector3D() << 0.0f << tGreen;
        QTest::newRow("190 mm straight") << 190.0f << QVector3D() << 0.0f << tGreen;
        QTest::newRow("190 mm turned 45") << 190.0f << QVector3D() << 45.0f << tRed;
        QTest::newRow("too large") << 250.0f << QVector3D() << 0.0f << tRed;
    }
    void bounds()
    {
        QFETCH(float, size);
        QFETCH(QVector3D, drag);
        QFETCH(float, turn);
        QFETCH(QColor, color);
        kvGLModel tModel(cube(size));
        tModel.setUserRotation(kvVector3D(0, 0, turn));
        tModel.land(-100);
        tModel.center();
        tModel.setUserTranslation(drag);
        // No paint happened: the check must use the placement as it is now.
        tModel.checkBounds(kvVector3D(200, 200, 200));
        QCOMPARE(tModel.boundingBox()->color(), color);
    }

    void boundsFollowEveryChangeWithoutAPaint()
    {
        kvGLModel tModel(cube(20));
        tModel.land(-100);
        tModel.center();
        tModel.checkBounds(kvVector3D(200, 200, 200));
        QCOMPARE(tModel.boundingBox()->color(), QColor(Qt::darkGreen));
        tModel.setScale(20);
        tModel.checkBounds(kvVector3D(200, 200, 200));
        QCOMPARE(tModel.boundingBox()->color(), QColor(Qt::red));
        tModel.setScale(1);
        tModel.checkBounds(kvVector3D(200, 200, 200));
        QCOMPARE(tModel.boundingBox()->color(), QColor(Qt::darkGreen));
    }

    void placementTurnsInOrder_data()
    {
        QTest::addColumn<QVector3D>("userRotation");
        QTest::addColumn<QVector3D>("size");
        // A 10 x 20 x 40 mesh (Z up) is scaled, turned about Z, then Y, then X (the base
        // -90 included), worked out by hand for quarter turns.
        QTest::newRow("none") << QVector3D(0, 0, 0) << QVector3D(10, 40, 20);
        QTest::newRow("about Y") << QVector3D(0, 90, 0) << QVector3D(40, 10, 20);
        QTest::newRow("about Z") << QVector3D(0, 0, 90) << QVector3D(20, 40, 10);
        QTest::newRow("about X and Y") << QVector3D(90, 90, 0) << QVector3D(40, 20, 10);
    }
    void placementTurnsInOrder()
    {
        QFETCH(QVector3D, userRotation);
        QFETCH(QVector3D, size);
        kvGLModel tModel(boxMesh(kvVector3D(0, 0, 0), kvVector3D(10, 20, 40)));
        tModel.setUserRotation(userRotation);
        const kvBoundingBox tBox = tModel.placedBox();
        const QVector3D tSize = tBox.maxPoint() - tBox.minPoint();
        QVERIFY2((tSize - size).length() < 1e-3f,
            qPrintable(QString("%1 %2 %3").arg(tSize.x()).arg(tSize.y()).arg(tSize.z())));
    }

    void unusableScaleIsRefused_data()
    {
        QTest::addColumn<float>("scale");
        QTest::newRow("zero") << 0.0f;
        QTest::newRow("negative") << -2.0f;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity();
    }
    void unusableScaleIsRefused()
    {
        QFETCH(float, scale);
        kvGLModel tModel(cube(20));
        tModel.setScale(1.5f);
        QSignalSpy tChanged(&tModel, &kvGLModel::ScaleChanged);
        tModel.setScale(scale);
        QCOMPARE(tModel.scale(), 1.5f);
        QCOMPARE(tChanged.count(), 0);
        tModel.land(-100);
        tModel.center();
        tModel.checkBounds(kvVector3D(200, 200, 200));
        QCOMPARE(tModel.boundingBox()->color(), QColor(Qt::darkGreen));
    }

    void notANumberDoesNotFit_data()
    {
        const float tNaN = std::numeric_limits<float>::quiet_NaN();
        const float tInf = std::numeric_limits<float>::infinity();
        QTest::addColumn<QVector3D>("corner");
        QTest::addColumn<QVector3D>("bed");
        QTest::newRow("bed width not a number") << QVector3D(1, 1, 1) << QVector3D(tNaN, 200, 200);
        QTest::newRow("infinite bed") << QVector3D(1, 1, 1) << QVector3D(200, tInf, 200);
    }
    void notANumberDoesNotFit()
    {
        QFETCH(QVector3D, corner);
        QFETCH(QVector3D, bed);
        kvBoundingBox tBox;
        tBox.add(kvVector3D(0, 0, 0));
        tBox.add(kvVector3D(corner));
        QVERIFY(!kvGLModel::fitsInside(tBox, bed));
        kvGLModel tModel(cube(20));
        tModel.land(-100);
        tModel.checkBounds(bed);
        QCOMPARE(tModel.boundingBox()->color(), QColor(Qt::red));
    }

    void overflowingScaleDoesNotFit()
    {
        kvGLModel tModel(cube(20));
        tModel.setScale(1e38f);
        tModel.checkBounds(kvVector3D(200, 200, 200));
        QCOMPARE(tModel.boundingBox()->color(), QColor(Qt::red));
    }

    void emptyMesh()
    {
        kvGLModel tModel(kvModel {});
        tModel.land(-100);
        tModel.center();
        tModel.checkBounds(kvVector3D(200, 200, 200));
        QCOMPARE(tModel.boundingBox()->color(), QColor(Qt::darkGreen));
        QVERIFY(tModel.placedBox().isEmpty());
        QVERIFY(tModel.vertices().isEmpty());
    }
};

KV_TEST_MAIN(tst_kvGLModel)
#include "tst_kvGLModel.moc"
