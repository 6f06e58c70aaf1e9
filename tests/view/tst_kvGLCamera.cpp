#include "kvGLCamera.h"
#include "kvTestSupport.h"

#include <QSignalSpy>

using namespace Kv::Defines;

// Records the order in which the camera's signals arrive.
class SignalLog : public QObject
{
    Q_OBJECT
public:
    explicit SignalLog(kvGLCamera *pCamera)
    {
        const QMetaObject *tMeta = pCamera->metaObject();
        const int tSlot = metaObject()->indexOfSlot("record()");
        for (int i = tMeta->methodOffset(); i < tMeta->methodCount(); ++i) {
            if (tMeta->method(i).methodType() == QMetaMethod::Signal)
                QMetaObject::connect(pCamera, i, this, tSlot);
        }
    }
    QStringList names;
public slots:
    void record()
    {
        names << QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name());
    }
};

class tst_kvGLCamera : public QObject
{
    Q_OBJECT
private slots:
    void initialValues()
    {
        kvGLCamera tCamera;
        QCOMPARE(tCamera.distance(), 1.0f);
        QCOMPARE(tCamera.angle(), 90.0f);
        QCOMPARE(tCamera.nearPlane(), 0.1f);
        QCOMPARE(tCamera.farPlane(), 10000.0f);
        QCOMPARE(tCamera.center(), kvVector3D(0, 0, 250));
        QCOMPARE(tCamera.up(), kvVector3D(0, 1, 0));
    }

    void projectionTypeSignalOrder_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("expected");
        const QStringList tPreset = {"CenterChanged", "UpChanged", "DistanceChanged",
            "ThetaChanged", "PhiChanged", "ThetaChanged", "PhiChanged", "ProjectionTypeChanged"};
        QTest::newRow("orthographic") << int(GLProjectionTypeOrthographic) << tPreset;
        QTest::newRow("perspective") << int(GLProjectionTypePerspective) << tPreset;
        QTest::newRow("unknown") << 3
                                 << QStringList {
                                        "ThetaChanged", "PhiChanged", "ProjectionTypeChanged"};
    }
    void projectionTypeSignalOrder()
    {
        QFETCH(int, type);
        QFETCH(QStringList, expected);
        kvGLCamera tCamera;
        SignalLog tLog(&tCamera);
        tCamera.setProjectionType(kvGLProjectionType(type));
        QCOMPARE(tLog.names, expected);
    }

    void orthographicPreset()
    {
        kvGLCamera tCamera;
        tCamera.setProjectionType(GLProjectionTypeOrthographic);
        QCOMPARE(tCamera.center(), kvVector3D(0, 0, 2500));
        QCOMPARE(tCamera.up(), kvVector3D(0, 1, 0));
        // The eye sits above the plate, in front of it, as the perspective camera does.
        const kvVector3D tEye = kvGLCamera::eyePosition(
            tCamera.center(), tCamera.distance(), tCamera.theta(), tCamera.phi());
        QVERIFY2(tEye.y() > 1000 && tEye.z() > 1000,
            qPrintable(QString("%1 %2 %3").arg(tEye.x()).arg(tEye.y()).arg(tEye.z())));
        QCOMPARE(tCamera.distance(), 1.6f);
        QCOMPARE(tCamera.theta(), 315.0f);
        QCOMPARE(tCamera.phi(), -45.0f);
        QCOMPARE(tCamera.projectionType(), GLProjectionTypeOrthographic);
    }

    void setterEmitsEvenWhenUnchanged()
    {
        kvGLCamera tCamera;
        QSignalSpy tSpy(&tCamera, &kvGLCamera::DistanceChanged);
        tCamera.setDistance(tCamera.distance());
        QCOMPARE(tSpy.count(), 1);
    }

    void resetKeepsCenterAndUp_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<float>("distance");
        QTest::addColumn<float>("theta");
        QTest::addColumn<float>("phi");
        QTest::newRow("perspective") << int(GLProjectionTypePerspective) << 1.0f << 0.0f << 0.0f;
        QTest::newRow("orthographic")
            << int(GLProjectionTypeOrthographic) << 1.6f << 315.0f << -45.0f;
    }
    void resetKeepsCenterAndUp()
    {
        QFETCH(int, type);
        QFETCH(float, distance);
        QFETCH(float, theta);
        QFETCH(float, phi);
        kvGLCamera tCamera;
        tCamera.setProjectionType(kvGLProjectionType(type));
        tCamera.setDistance(-40);
        tCamera.setTheta(123);
        tCamera.setPhi(12);
        tCamera.setCenter(kvVector3D(1, 2, 3));
        tCamera.setUp(kvVector3D(1, 0, 0));
        QSignalSpy tReset(&tCamera, &kvGLCamera::ResetTriggered);
        tCamera.reset();
        QCOMPARE(tReset.count(), 1);
        QCOMPARE(tCamera.distance(), distance);
        QCOMPARE(tCamera.theta(), theta);
        QCOMPARE(tCamera.phi(), phi);
        QCOMPARE(tCamera.center(), kvVector3D(1, 2, 3));
        QCOMPARE(tCamera.up(), kvVector3D(1, 0, 0));
    }

    void resetWithUnknownTypeChangesNothing()
    {
        kvGLCamera tCamera;
        tCamera.setProjectionType(kvGLProjectionType(0));
        tCamera.setDistance(7);
        SignalLog tLog(&tCamera);
        tCamera.reset();
        QCOMPARE(tLog.names, QStringList {"ResetTriggered"});
        QCOMPARE(tCamera.distance(), 7.0f);
    }

    void eyePosition_data()
    {
        QTest::addColumn<float>("distance");
        QTest::addColumn<float>("theta");
        QTest::addColumn<float>("phi");
        QTest::addColumn<QVector3D>("eye");
        QTest::newRow("front") << 1.0f << 0.0f << 0.0f << QVector3D(0, 0, 251);
        QTest::newRow("theta 90") << 1.0f << 90.0f << 0.0f << QVector3D(251, 0, 0);
        QTest::newRow("phi -90 looks down") << 1.0f << 0.0f << -90.0f << QVector3D(0, 251, 0);
        QTest::newRow("behind the origin") << -300.0f << 0.0f << 0.0f << QVector3D(0, 0, -50);
    }
    void eyePosition()
    {
        QFETCH(float, distance);
        QFETCH(float, theta);
        QFETCH(float, phi);
        QFETCH(QVector3D, eye);
        const QVector3D tEye = kvGLCamera::eyePosition(kvVector3D(0, 0, 250), distance, theta, phi);
        QVERIFY2(qFuzzyIsNull((tEye - eye).length()),
            qPrintable(QString("%1 %2 %3").arg(tEye.x()).arg(tEye.y()).arg(tEye.z())));
    }

    void matrixLooksAtOriginFromEye()
    {
        kvGLCamera tCamera;
        tCamera.setProjectionType(GLProjectionTypePerspective);
        QSignalSpy tSpy(&tCamera, &kvGLCamera::MatrixChanged);
        tCamera.setTheta(90);
        tCamera.setMatrix();
        QCOMPARE(tSpy.count(), 0);
        // The eye maps to the view origin, the scene origin lies 251 ahead (negative z).
        const QVector3D tEye = tCamera.matrix().map(QVector3D(251, 0, 0));
        const QVector3D tOrigin = tCamera.matrix().map(QVector3D(0, 0, 0));
        QVERIFY(tEye.length() < 1e-3f);
        QVERIFY(qAbs(tOrigin.z() + 251) < 1e-3f);
        QVERIFY(qAbs(tOrigin.x()) < 1e-3f && qAbs(tOrigin.y()) < 1e-3f);
    }
};

KV_TEST_MAIN(tst_kvGLCamera)
#include "tst_kvGLCamera.moc"
