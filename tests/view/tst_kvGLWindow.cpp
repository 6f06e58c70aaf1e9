#include "kvCountingView.h"
#include "kvGLCamera.h"
#include "kvGLLightSource.h"
#include "kvGLModel.h"
#include "kvGLModelMBR.h"
#include "kvGLOrigin.h"
#include "kvGLPrinterArea.h"
#include "kvGLPrinterBed.h"
#include "kvGLRulers.h"
#include "kvGLRulersShade.h"
#include "kvGLViewMath.h"
#include "kvTestSupport.h"
#include "kvViewFixtures.h"

#include <QGLShaderProgram>
#include <QSignalSpy>
#include <limits>
#include <memory>

using namespace Kv::Defines;
using KvViewTest::CountingView;
using KvViewTest::cube;

namespace {
void sendMove(QWidget *pWidget, QPoint pPosition, Qt::MouseButtons pButtons)
{
    QMouseEvent tEvent(QEvent::MouseMove, pPosition, pWidget->mapToGlobal(pPosition), Qt::NoButton,
        pButtons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &tEvent);
}

void sendPress(QWidget *pWidget, QPoint pPosition, Qt::MouseButton pButton)
{
    QMouseEvent tEvent(QEvent::MouseButtonPress, pPosition, pWidget->mapToGlobal(pPosition),
        pButton, pButton, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &tEvent);
}

void sendWheel(QWidget *pWidget, QPoint pAngleDelta)
{
    const QPoint tPosition(10, 10);
    QWheelEvent tEvent(tPosition, pWidget->mapToGlobal(tPosition), QPoint(), pAngleDelta,
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pWidget, &tEvent);
}

// Where a scene point lands in the widget (top-left origin).
QPoint widgetPoint(kvGLWindow *pView, QVector3D pPoint)
{
    const QRect tViewport(0, 0, pView->width(), pView->height());
    const QVector3D tWindow
        = pPoint.project(pView->camera()->matrix(), pView->projection(), tViewport);
    return QPoint(int(tWindow.x()), pView->height() - 1 - int(tWindow.y()));
}

// A scene object whose upload a test can drive directly.
class UploadProbe : public kvGLObject
{
public:
    using kvGLObject::drawCount;
    using kvGLObject::Reserve;
    using kvGLObject::uploadBuffer;
};

int countPixels(const QImage &pImage, QRect pRegion, bool (*pTest)(QRgb))
{
    int tCount = 0;
    const QRect tRegion = pRegion.intersected(pImage.rect());
    for (int y = tRegion.top(); y <= tRegion.bottom(); ++y)
        for (int x = tRegion.left(); x <= tRegion.right(); ++x)
            tCount += pTest(pImage.pixel(x, y)) ? 1 : 0;
    return tCount;
}

// The pixels the corners of pBox land on, and a margin of pMargin around them.
QRect regionOf(kvGLWindow *pView, const kvBoundingBox &pBox, int pMargin)
{
    QRect tRegion;
    for (const kvVector3D &tCorner : pBox.box())
        tRegion = tRegion.united(QRect(widgetPoint(pView, QVector3D(tCorner)), QSize(1, 1)));
    return tRegion.adjusted(-pMargin, -pMargin, pMargin, pMargin);
}

bool isBoxGreen(QRgb pPixel)
{
    return qRed(pPixel) < 30 && qAbs(qGreen(pPixel) - 128) < 30 && qBlue(pPixel) < 30;
}

bool isBoxRed(QRgb pPixel)
{
    return qRed(pPixel) > 220 && qGreen(pPixel) < 30 && qBlue(pPixel) < 30;
}
} // namespace

class tst_kvGLWindow : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<CountingView> m_view;
    KvTest::Screenshots m_screenshots;

private slots:
    void cleanup()
    {
        m_screenshots.keepIfFailed();
        m_view.reset();
    }

    void constructionDefaults()
    {
        kvGLWindow tView;
        QCOMPARE(tView.bedSize(), kvVector3D(200, 200, 200));
        QCOMPARE(tView.rotationType(), GLRotationTypeView);
        QCOMPARE(tView.backgroundColor(), QColor(Qt::white));
        QCOMPARE(tView.camera()->projectionType(), GLProjectionTypePerspective);
        QCOMPARE(tView.focusPolicy(), Qt::StrongFocus);
        QVERIFY(tView.hasMouseTracking());
        QCOMPARE(tView.printerBed()->vertices().size(), 80);
    }

    void initializesTheScene()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        QVERIFY(!tView->glVersion().isEmpty());
        QVERIFY(!tView->glslVersion().isEmpty());
        QVERIFY(tView->maxDepth <= 1);
        for (kvGLObject *tObject :
            std::initializer_list<kvGLObject *> {tView->printerArea(), tView->printerBed(),
                tView->rulersX(), tView->rulerXShade(), tView->lightSource(), tView->origin()}) {
            QVERIFY(tObject->program());
            QVERIFY2(tObject->program()->isLinked(), tObject->metaObject()->className());
            QVERIFY(tObject->buffer().isCreated());
        }
        QCOMPARE(tView->rulerXShade()->color(), QColor(Qt::red));
        QCOMPARE(tView->rulerYShade()->color(), QColor(Qt::green));
        QCOMPARE(tView->rulerZShade()->color(), QColor(Qt::blue));
        QCOMPARE(tView->rulersY()->vertices().size(), 402);
        tView->updateGL();
        QCOMPARE(tView->getErrorFromGL(), QString("No error"));
    }

    void reserveOnceKeepsItsStorage()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->makeCurrent();
        QOpenGLBuffer tBuffer = tView->rulerXShade()->buffer();
        tBuffer.bind();
        QCOMPARE(tBuffer.size(), 4 * 12 + 4 * 16);
        tView->rulerXShade()->setCoordinate(CoordinateAll);
        tBuffer.bind();
        QCOMPARE(tBuffer.size(), 4 * 12 + 4 * 16);
        tBuffer.release();
    }

    void oversizedUploadLeavesNothingToDraw()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->makeCurrent();
        UploadProbe tProbe;
        const QVector<kvVector3D> tColors(24, kvVector3D(1, 0, 0));
        tProbe.setVertices(kvBoundingBox().box());
        QVERIFY(tProbe.uploadBuffer(UploadProbe::Reserve::EveryTime, tColors.constData(),
            tColors.size() * int(sizeof(kvVector3D))));
        QCOMPARE(tProbe.drawCount(), 24);
        // Positions and second array together beyond what one GL buffer size can say.
        QVERIFY(!tProbe.uploadBuffer(UploadProbe::Reserve::EveryTime, tColors.constData(),
            std::numeric_limits<int>::max() - 100));
        QCOMPARE(tProbe.drawCount(), 0);
        QCOMPARE(tView->getErrorFromGL(), QString("No error"));
    }

    void repaintRule_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("paints");
        QTest::newRow("rotation type") << 0 << 0;
        QTest::newRow("camera distance") << 1 << 1;
        QTest::newRow("background colour") << 2 << 1;
        QTest::newRow("wheel notch") << 3 << 1;
        QTest::newRow("horizontal wheel") << 4 << 0;
        QTest::newRow("arrow up") << 5 << 1;
        QTest::newRow("other key") << 6 << 0;
        QTest::newRow("camera reset") << 7 << 4;
        QTest::newRow("light colours") << 8 << 0;
        QTest::newRow("model reflectivity") << 9 << 1;
    }
    void repaintRule()
    {
        QFETCH(int, action);
        QFETCH(int, paints);
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, cube(20));
        QTest::qWait(10);
        tView->resetCount();
        switch (action) {
        case 0:
            tView->setRotationType(GLRotationTypeView);
            break;
        case 1:
            tView->camera()->setDistance(5);
            break;
        case 2:
            tView->setBackgroundColor(Qt::gray);
            break;
        case 3:
            sendWheel(tView, QPoint(0, 120));
            break;
        case 4:
            sendWheel(tView, QPoint(120, 0));
            break;
        case 5:
            QTest::keyClick(tView, Qt::Key_Up);
            break;
        case 6:
            QTest::keyClick(tView, Qt::Key_A);
            break;
        case 7:
            tView->camera()->reset();
            break;
        case 8:
            tView->lightSource()->setVertexColor({});
            break;
        default:
            tView->glModels().first()->setDiffuseReflectivityColor(0.3f);
            break;
        }
        QCOMPARE(tView->paints, paints);
        QCOMPARE(tView->maxDepth, paints > 0 ? 1 : 0);
    }

    void boundsColourInsidePaintDoesNotRepaint()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, cube(20));
        kvGLModel *tModel = tView->glModels().first();
        QCOMPARE(tModel->boundingBox()->color(), QColor(Qt::darkGreen));
        QSignalSpy tObject(tModel, &kvGLModel::ObjectChanged);
        tView->resetCount();
        tModel->setScale(20); // one repaint; the paint turns the box red
        QCOMPARE(tView->paints, 1);
        QCOMPARE(tView->maxDepth, 1);
        QVERIFY(tObject.count() >= 1);
        QCOMPARE(tModel->boundingBox()->color(), QColor(Qt::red));
    }

    void modelInsertedBeforeTheContextIsDrawn()
    {
        m_view = std::make_unique<CountingView>();
        m_view->insertModel(0, cube(60));
        kvGLModel *tModel = m_view->glModels().first();
        QVERIFY(!tModel->buffer().isCreated());
        QVERIFY(KvViewTest::showAndWait(m_view.get()));
        QVERIFY(tModel->buffer().isCreated());
        m_view->setAutoBufferSwap(false);
        m_view->updateGL();
        const QImage tImage = m_view->grabFrameBuffer();
        const QPoint tCentre = widgetPoint(m_view.get(), QVector3D(0, -70, 30));
        QVERIFY(tImage.pixel(tCentre) != qRgb(255, 255, 255));
    }

    void replaceDeletesTheOldModelFirst()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->replaceModel(0, cube(10)); // nothing shown: just inserts
        QCOMPARE(tView->glModels().size(), 1);
        QPointer<kvGLModel> tOld = tView->glModels().first();
        int tModelsAlive = -1;
        connect(tOld.data(), &QObject::destroyed, this,
            [&] { tModelsAlive = tView->findChildren<kvGLModel *>().size(); });
        tView->replaceModel(0, cube(30));
        QVERIFY(tOld.isNull());
        QCOMPARE(tModelsAlive, 0);
        QCOMPARE(tView->glModels().size(), 1);
        QCOMPARE(tView->glModels().first()->model().boundingBox().maxPoint().x(), 30.0f);
    }

    void listOperationsOutOfRange()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->resetCount();
        tView->removeModel(0);
        tView->removeModel(-1);
        tView->insertModel(-1, cube(10));
        tView->insertModel(1, cube(10));
        tView->centerModel();
        tView->landModel(true);
        tView->checkBounds();
        QVERIFY(tView->glModels().isEmpty());
        QCOMPARE(tView->paints, 0);
        tView->addModel(cube(10));
        QCOMPARE(tView->glModels().size(), 1);
        tView->removeModel(3);
        QCOMPARE(tView->glModels().size(), 1);
        tView->removeModel(0);
        QVERIFY(tView->glModels().isEmpty());
    }

    void insertLandsAndCentres()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, KvViewTest::boxMesh(kvVector3D(20, 5, 0), kvVector3D(40, 15, 10)));
        kvGLModel *tModel = tView->glModels().first();
        QCOMPARE(tModel->translation(), kvVector3D(-30, -100, 10));
        QVERIFY(tView->maxDepth <= 1);
        // The shades show the part's extent: x -10..10, depth -5..5, height -100..-90.
        QCOMPARE(tView->rulerXShade()->vertices().at(0).x(), 10.0f);
        QCOMPARE(tView->rulerXShade()->vertices().at(1).x(), -10.0f);
        QCOMPARE(tView->rulerZShade()->vertices().at(0).y(), -90.0f);
        QCOMPARE(tView->rulerZShade()->vertices().at(1).y(), -100.0f);
    }

    void userRotationLandsAgain()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, KvViewTest::boxMesh(kvVector3D(0, 0, 0), kvVector3D(10, 40, 10)));
        kvGLModel *tModel = tView->glModels().first();
        tModel->setUserTranslation(kvVector3D(5, 5, 5));
        tModel->setUserRotation(kvVector3D(90, 0, 0));
        QCOMPARE(tModel->userTranslation(), kvVector3D(0, 0, 0));
        QCOMPARE(tModel->placedBox().minPoint().y(), -100.0f);
        QCOMPARE(tModel->placedBox().maxPoint().y(), -60.0f);
    }

    void bedSizeIsStoredInSceneAxes()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, cube(10));
        tView->setBedSize(kvVector3D(150, 150, 100));
        QCOMPARE(tView->bedSize(), kvVector3D(150, 100, 150));
        QCOMPARE(tView->printerBed()->vertices().size(), 80);
        QCOMPARE(tView->printerArea()->dimensions(), kvVector3D(150, 100, 150));
        // The part stands on the new floor at once; its box and strips follow it.
        kvGLModel *tModel = tView->glModels().first();
        QCOMPARE(tModel->placedBox().minPoint().y(), -50.0f);
        QCOMPARE(tModel->boundingBox()->color(), QColor(Qt::darkGreen));
        QCOMPARE(tView->rulerXShade()->vertices().at(0).x(), 5.0f);
        QCOMPARE(tView->rulerXShade()->vertices().at(1).x(), -5.0f);
        QCOMPARE(tView->rulerZShade()->vertices().at(1).y(), -50.0f);
    }

    void bedChangeKeepsThePartOnThePlate_data()
    {
        QTest::addColumn<kvVector3D>("bed");
        QTest::addColumn<float>("edge");
        QTest::addColumn<bool>("fits");
        QTest::newRow("smaller bed, part fits") << kvVector3D(150, 150, 100) << 60.0f << true;
        QTest::newRow("larger bed") << kvVector3D(300, 200, 250) << 60.0f << true;
        QTest::newRow("part wider than the bed") << kvVector3D(100, 100, 100) << 120.0f << false;
        QTest::newRow("bed not a number")
            << kvVector3D(std::numeric_limits<float>::quiet_NaN(), 150, 150) << 20.0f << false;
        QTest::newRow("infinite bed")
            << kvVector3D(150, std::numeric_limits<float>::infinity(), 150) << 20.0f << false;
    }
    void bedChangeKeepsThePartOnThePlate()
    {
        QFETCH(kvVector3D, bed);
        QFETCH(float, edge);
        QFETCH(bool, fits);
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, cube(edge));
        kvGLModel *tModel = tView->glModels().first();
        // Dragged towards a corner of the 200 mm plate first.
        tModel->setUserTranslation(kvVector3D(60, 0, 60));
        tView->setBedSize(bed);
        const kvVector3D tSize = tView->bedSize();
        const kvBoundingBox tBox = tModel->placedBox();
        if (std::isfinite(tSize.y()))
            QCOMPARE(tBox.minPoint().y(), -tSize.y() / 2);
        if (fits) {
            QVERIFY(tBox.minPoint().x() >= -tSize.x() / 2 && tBox.maxPoint().x() <= tSize.x() / 2);
            QVERIFY(tBox.minPoint().z() >= -tSize.z() / 2 && tBox.maxPoint().z() <= tSize.z() / 2);
        }
        QCOMPARE(tModel->boundingBox()->color(), fits ? QColor(Qt::darkGreen) : QColor(Qt::red));
    }

    void orbit_data()
    {
        QTest::addColumn<float>("theta");
        QTest::addColumn<float>("phi");
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<float>("expectedTheta");
        QTest::addColumn<float>("expectedPhi");
        QTest::newRow("right past zero") << 5.0f << 0.0f << QPoint(10, 0) << 355.0f << 0.0f;
        QTest::newRow("left past 360") << 355.0f << 0.0f << QPoint(-10, 0) << 5.0f << 0.0f;
        QTest::newRow("up to the limit") << 0.0f << 80.0f << QPoint(0, -20) << 0.0f << 90.0f;
        QTest::newRow("down to the limit") << 0.0f << -80.0f << QPoint(0, 20) << 0.0f << -90.0f;
        QTest::newRow("huge angle")
            << 1.5e11f << 0.0f << QPoint(1, 0) << kvGLViewMath::wrapAngle(1.5e11f - 1) << 0.0f;
    }
    void orbit()
    {
        QFETCH(float, theta);
        QFETCH(float, phi);
        QFETCH(QPoint, move);
        QFETCH(float, expectedTheta);
        QFETCH(float, expectedPhi);
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->camera()->setTheta(theta);
        tView->camera()->setPhi(phi);
        const QPoint tStart(200, 150);
        sendPress(tView, tStart, Qt::LeftButton);
        QSignalSpy tRotation(tView, &kvGLWindow::rotationChanged);
        sendMove(tView, tStart + move, Qt::LeftButton);
        QCOMPARE(tView->camera()->theta(), expectedTheta);
        QCOMPARE(tView->camera()->phi(), expectedPhi);
        QCOMPARE(tRotation.count(), 1);
        QCOMPARE(tRotation.first().at(0).toFloat(), expectedTheta);
        QCOMPARE(tRotation.first().at(1).toFloat(), expectedPhi);
    }

    void dragPart_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<QVector3D>("offset");
        QTest::newRow("left") << int(Qt::LeftButton) << QPoint(3, -2) << QVector3D(3, 0, -2);
        QTest::newRow("right lifts") << int(Qt::RightButton) << QPoint(5, -2) << QVector3D(0, 2, 0);
        QTest::newRow("both buttons")
            << int(Qt::LeftButton | Qt::RightButton) << QPoint(3, -2) << QVector3D();
        QTest::newRow("no button") << int(Qt::NoButton) << QPoint(3, -2) << QVector3D();
    }
    void dragPart()
    {
        QFETCH(int, buttons);
        QFETCH(QPoint, move);
        QFETCH(QVector3D, offset);
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, cube(20));
        tView->setRotationType(GLRotationTypeModel);
        kvGLModel *tModel = tView->glModels().first();
        const float tTheta = tView->camera()->theta();
        const QPoint tStart(200, 150);
        sendPress(tView, tStart, Qt::LeftButton);
        QSignalSpy tMoved(tView, &kvGLWindow::modelTranslationChanged);
        sendMove(tView, tStart + move, Qt::MouseButtons(buttons));
        QCOMPARE(QVector3D(tModel->userTranslation()), offset);
        QCOMPARE(tMoved.count(), offset.isNull() ? 0 : 1);
        QCOMPARE(tView->camera()->theta(), tTheta);
        QCOMPARE(tView->mousePosition(), tStart + move);
    }

    void dragStepRepaintsOnlyAtTopLevel()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, cube(20));
        tView->setRotationType(GLRotationTypeModel);
        sendPress(tView, QPoint(100, 100), Qt::LeftButton);
        tView->resetCount();
        QVector<float> tShadeEdges;
        tView->onPaint = [&] { tShadeEdges << tView->rulerXShade()->vertices().at(0).x(); };
        sendMove(tView, QPoint(110, 100), Qt::LeftButton);
        tView->onPaint = nullptr;
        QVERIFY(tView->paints > 0);
        QCOMPARE(tView->maxDepth, 1);
        // No frame shows the fixed strip (x 50..100) while the strips are rebuilt.
        QVERIFY2(!tShadeEdges.contains(100.0f), qPrintable(QString::number(tShadeEdges.size())));
        QCOMPARE(tShadeEdges.last(), 20.0f);
        // The extent strip follows the drag.
        QCOMPARE(tView->rulerXShade()->vertices().at(0).x(), 20.0f);
    }

    void wheelForwardAndBack()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        const float tBefore = tView->camera()->distance();
        QSignalSpy tScale(tView, &kvGLWindow::scaleValueChanged);
        sendWheel(tView, QPoint(0, 120));
        sendWheel(tView, QPoint(0, -120));
        QCOMPARE(tView->camera()->distance(), tBefore - 1);
        QCOMPARE(tScale.count(), 2);
        QTest::keyClick(tView, Qt::Key_Down);
        QCOMPARE(tView->camera()->distance(), tBefore);
    }

    void zoomStopsBeforeTheCentre()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        kvGLCamera *tCamera = tView->camera();
        const auto tEye = [tCamera] { return tCamera->center().z() + tCamera->distance(); };
        // Twelve notches would take the eye 432 mm forward, through the plate's centre.
        for (int i = 0; i < 12; ++i)
            sendWheel(tView, QPoint(0, 120));
        QVERIFY2(tEye() >= 10 && tEye() < 40, qPrintable(QString::number(tEye())));
        for (int i = 0; i < 20; ++i)
            QTest::keyClick(tView, Qt::Key_Up);
        QVERIFY2(tEye() >= 10, qPrintable(QString::number(tEye())));
        // Far out the scene stays inside the far plane.
        for (int i = 0; i < 400; ++i)
            sendWheel(tView, QPoint(0, -120));
        QVERIFY2(tEye() <= tCamera->farPlane() / 2 && tEye() > 1000,
            qPrintable(QString::number(tEye())));
        // The way back is free.
        const float tFar = tEye();
        sendWheel(tView, QPoint(0, 120));
        QCOMPARE(tEye(), tFar - 36);
    }

    void zoomHoldsAnEyeAlreadyNearer()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        kvGLCamera *tCamera = tView->camera();
        const auto tEye = [tCamera] { return tCamera->center().z() + tCamera->distance(); };
        // As the inspector may set it: nearer than the wheel brings the eye.
        tCamera->setDistance(4 - tCamera->center().z());
        sendWheel(tView, QPoint(0, 120));
        QCOMPARE(tEye(), 4.0f);
        QTest::keyClick(tView, Qt::Key_Up);
        QCOMPARE(tEye(), 4.0f);
    }

    void dragFollowsTheMouseOnScreen_data()
    {
        QTest::addColumn<float>("theta");
        QTest::addColumn<float>("phi");
        QTest::newRow("front") << 0.0f << -30.0f;
        QTest::newRow("quarter turn") << 90.0f << -30.0f;
        QTest::newRow("half turn") << 180.0f << -30.0f;
        QTest::newRow("three quarters") << 270.0f << -20.0f;
        QTest::newRow("odd angle") << 35.0f << -50.0f;
        QTest::newRow("from below the plate") << 180.0f << 60.0f;
    }
    void dragFollowsTheMouseOnScreen()
    {
        QFETCH(float, theta);
        QFETCH(float, phi);
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, cube(20));
        tView->setRotationType(GLRotationTypeModel);
        tView->camera()->setTheta(theta);
        tView->camera()->setPhi(phi);
        kvGLModel *tModel = tView->glModels().first();
        const auto tShown
            = [&] { return widgetPoint(tView, QVector3D(tModel->placedBox().center())); };
        const QPoint tStart(200, 150);
        sendPress(tView, tStart, Qt::LeftButton);
        QPoint tBefore = tShown();
        sendMove(tView, tStart + QPoint(20, 0), Qt::LeftButton);
        QPoint tMoved = tShown() - tBefore;
        QVERIFY2(tMoved.x() > 5 && qAbs(tMoved.y()) * 2 < tMoved.x(),
            qPrintable(QString("right: %1,%2").arg(tMoved.x()).arg(tMoved.y())));
        tBefore = tShown();
        sendMove(tView, tStart + QPoint(20, 20), Qt::LeftButton);
        tMoved = tShown() - tBefore;
        QVERIFY2(tMoved.y() > 3 && qAbs(tMoved.x()) * 2 < tMoved.y(),
            qPrintable(QString("down: %1,%2").arg(tMoved.x()).arg(tMoved.y())));
    }

    void worldCoordinateUnderTheMouse()
    {
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, cube(60)); // front face at z = 30, x and y around (0, -70)
        QSignalSpy tWorld(tView, &kvGLWindow::worldCoordinateChanged);
        const QPoint tFace = widgetPoint(tView, QVector3D(5, -70, 30));
        sendPress(tView, tFace, Qt::LeftButton);
        QCOMPARE(tWorld.count(), 1);
        const kvVector3D tPoint = tView->worldCoordinates();
        QVERIFY2(qAbs(tPoint.z() - 30) < 1 && qAbs(tPoint.y() + 70) < 2 && qAbs(tPoint.x() - 5) < 2,
            qPrintable(QString("%1 %2 %3").arg(tPoint.x()).arg(tPoint.y()).arg(tPoint.z())));
        // The top row is read inside the framebuffer: the background, at the far plane.
        sendMove(tView, QPoint(0, 0), Qt::NoButton);
        const kvVector3D tFar = tView->worldCoordinates();
        QVERIFY(std::isfinite(tFar.z()) && tFar.z() < -5000);
    }

    void screenshot_data()
    {
        QTest::addColumn<float>("edge");
        QTest::addColumn<bool>("fits");
        QTest::newRow("fits") << 60.0f << true;
        QTest::newRow("too large") << 250.0f << false;
    }
    void screenshot()
    {
        QFETCH(float, edge);
        QFETCH(bool, fits);
        CountingView *tView = KvViewTest::shownView(m_view);
        QVERIFY(tView);
        tView->insertModel(0, cube(edge));
        tView->setAutoBufferSwap(false);
        tView->updateGL();
        const QImage tImage = tView->grabFrameBuffer();
        m_screenshots.add(QString("view-%1").arg(edge), tImage);

        QCOMPARE(tImage.pixel(2, 2), qRgb(255, 255, 255));
        const QRgb tPart = tImage.pixel(
            widgetPoint(tView, QVector3D(edge * 0.2f, -100 + edge * 0.4f, edge / 2)));
        QVERIFY2(tPart != qRgb(255, 255, 255) && qBlue(tPart) >= qRed(tPart) && qBlue(tPart) > 150,
            qPrintable(QColor(tPart).name()));
        // Only the part's box is looked at: the red extent strip lies elsewhere.
        const QRect tBox = regionOf(tView, tView->glModels().first()->placedBox(), 2);
        const int tGreen = countPixels(tImage, tBox, isBoxGreen);
        const int tRed = countPixels(tImage, tBox, isBoxRed);
        if (fits) {
            QVERIFY2(tGreen > 20, qPrintable(QString::number(tGreen)));
            QCOMPARE(tRed, 0);
        } else {
            QVERIFY2(tRed > 20, qPrintable(QString::number(tRed)));
            QCOMPARE(tGreen, 0);
        }
    }
};

KV_TEST_MAIN(tst_kvGLWindow)
#include "tst_kvGLWindow.moc"
