#include "kvCountingView.h"
#include "kvGLCamera.h"
#include "kvGLLightSource.h"
#include "kvGLModel.h"
#include "kvTestSupport.h"
#include "kvViewFixtures.h"

#include <QHash>
#include <QImage>
#include <QtMath>
#include <cmath>
#include <functional>
#include <memory>

using namespace Kv::Defines;
using KvViewTest::CountingView;

// What the view shows, read from its frame: each check looks at a small region where a
// known scene point lands. Where the point lands is worked out here from the camera's
// angles (the eye turned about X by phi, then about Y by theta, looking at the origin),
// not from the view's own matrices.
namespace {

using PixelTest = std::function<bool(QRgb)>;

const QSize ViewSize(480, 360);

QMatrix4x4 expectedView(float pTheta, float pPhi, float pDistance)
{
    const double tTheta = qDegreesToRadians(double(pTheta));
    const double tPhi = qDegreesToRadians(double(pPhi));
    const double tRange = 250.0 + pDistance;
    const QVector3D tEye(float(tRange * std::cos(tPhi) * std::sin(tTheta)),
        float(-tRange * std::sin(tPhi)), float(tRange * std::cos(tPhi) * std::cos(tTheta)));
    const QVector3D tUp(float(std::sin(tPhi) * std::sin(tTheta)), float(std::cos(tPhi)),
        float(std::sin(tPhi) * std::cos(tTheta)));
    QMatrix4x4 tView;
    tView.lookAt(tEye, QVector3D(0, 0, 0), tUp);
    return tView;
}

bool isGrey(QRgb p)
{
    return qAbs(qRed(p) - qGreen(p)) < 16 && qAbs(qGreen(p) - qBlue(p)) < 16 && qRed(p) < 200;
}
bool isPart(QRgb p)
{
    return qBlue(p) > 60 && qBlue(p) > qRed(p) + 40 && qBlue(p) > qGreen(p) + 40;
}
bool isReddish(QRgb p)
{
    return qRed(p) > qGreen(p) + 50 && qRed(p) > qBlue(p) + 50;
}
bool isGreenish(QRgb p)
{
    return qGreen(p) > qRed(p) + 50 && qGreen(p) > qBlue(p) + 50;
}
bool isBluish(QRgb p)
{
    return qBlue(p) > qRed(p) + 50 && qBlue(p) > qGreen(p) + 50;
}

// The colour most pixels of a region have.
QRgb commonColor(const QImage &pImage, QRect pRegion)
{
    QHash<QRgb, int> tCounts;
    const QRect tRegion = pRegion.intersected(pImage.rect());
    for (int y = tRegion.top(); y <= tRegion.bottom(); ++y)
        for (int x = tRegion.left(); x <= tRegion.right(); ++x)
            ++tCounts[pImage.pixel(x, y)];
    QRgb tCommon = 0;
    int tMost = 0;
    for (auto it = tCounts.cbegin(); it != tCounts.cend(); ++it)
        if (it.value() > tMost) {
            tMost = it.value();
            tCommon = it.key();
        }
    return tCommon;
}

int countIn(const QImage &pImage, QRect pRegion, const PixelTest &pTest)
{
    int tCount = 0;
    const QRect tRegion = pRegion.intersected(pImage.rect());
    for (int y = tRegion.top(); y <= tRegion.bottom(); ++y)
        for (int x = tRegion.left(); x <= tRegion.right(); ++x)
            tCount += pTest(pImage.pixel(x, y)) ? 1 : 0;
    return tCount;
}

// The pixel regions of a frame and the scene points that land in them.
class Frame
{
public:
    Frame(QImage pImage, QMatrix4x4 pView, QMatrix4x4 pProjection)
        : image(pImage)
        , m_view(pView)
        , m_projection(pProjection)
    { }

    QPoint pixel(QVector3D pPoint) const
    {
        const QVector3D tWindow
            = pPoint.project(m_view, m_projection, QRect(QPoint(0, 0), image.size()));
        return QPoint(
            int(std::floor(tWindow.x())), image.height() - 1 - int(std::floor(tWindow.y())));
    }
    // A square of 2 × pRadius + 1 pixels around where pPoint lands.
    QRect around(QVector3D pPoint, int pRadius = 1) const
    {
        const QPoint tCentre = pixel(pPoint);
        return QRect(tCentre - QPoint(pRadius, pRadius), tCentre + QPoint(pRadius, pRadius));
    }
    bool shows(QVector3D pPoint, const PixelTest &pTest, int pRadius = 1) const
    {
        return countIn(image, around(pPoint, pRadius), pTest) > 0;
    }
    // The pixels covering the box from pMin to pMax.
    QRect region(QVector3D pMin, QVector3D pMax) const
    {
        QRect tRegion;
        for (int i = 0; i < 8; ++i) {
            const QVector3D tCorner(i & 1 ? pMax.x() : pMin.x(), i & 2 ? pMax.y() : pMin.y(),
                i & 4 ? pMax.z() : pMin.z());
            tRegion = tRegion.united(QRect(pixel(tCorner), QSize(1, 1)));
        }
        return tRegion;
    }

    QImage image;

private:
    QMatrix4x4 m_view;
    QMatrix4x4 m_projection;
};

// The lit pixels of the part inside a region: the brightest and the spread of brightness.
struct Shading
{
    int count = 0;
    QPoint brightest;
    QRgb brightestColor = 0;
    int minimum = 1000;
    int maximum = -1;

    Shading(const QImage &pImage, QRect pRegion)
    {
        const QRect tRegion = pRegion.intersected(pImage.rect());
        for (int y = tRegion.top(); y <= tRegion.bottom(); ++y)
            for (int x = tRegion.left(); x <= tRegion.right(); ++x) {
                const QRgb tPixel = pImage.pixel(x, y);
                if (!isPart(tPixel))
                    continue;
                const int tLevel = qRed(tPixel) + qGreen(tPixel) + qBlue(tPixel);
                ++count;
                minimum = qMin(minimum, tLevel);
                if (tLevel > maximum) {
                    maximum = tLevel;
                    brightest = QPoint(x, y);
                    brightestColor = tPixel;
                }
            }
    }
};

QString colorText(QRgb pColor)
{
    return QColor(pColor).name();
}

} // namespace

class tst_kvGLScreenshots : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<CountingView> m_view;
    KvTest::Screenshots m_screenshots;

    // Turns the camera as a user's orbit would leave it, at a distance that fills the window.
    void orbit(float pTheta, float pPhi, float pDistance = 40)
    {
        m_view->camera()->setDistance(pDistance);
        m_view->camera()->setTheta(pTheta);
        m_view->camera()->setPhi(pPhi);
    }

    Frame grab(const QString &pName)
    {
        m_view->setAutoBufferSwap(false);
        m_view->updateGL();
        const QImage tImage = m_view->grabFrameBuffer();
        m_screenshots.add(pName, tImage);
        kvGLCamera *tCamera = m_view->camera();
        return Frame(tImage, expectedView(tCamera->theta(), tCamera->phi(), tCamera->distance()),
            m_view->projection());
    }

private slots:
    void cleanup()
    {
        m_screenshots.keepIfFailed();
        m_view.reset();
    }

    void shadingFollowsTheFaces_data()
    {
        QTest::addColumn<float>("theta");
        QTest::addColumn<float>("phi");
        QTest::newRow("front") << 0.0f << -20.0f;
        QTest::newRow("orbited") << 135.0f << -40.0f;
        QTest::newRow("from below the plate") << 30.0f << 60.0f;
    }
    void shadingFollowsTheFaces()
    {
        QFETCH(float, theta);
        QFETCH(float, phi);
        QVERIFY(KvViewTest::shownView(m_view, ViewSize.width(), ViewSize.height()));
        m_view->insertModel(0, KvViewTest::sphere(40));
        orbit(theta, phi, 0);
        const Frame tFrame = grab(QStringLiteral("sphere-%1-%2").arg(theta).arg(phi));
        // Landed and centred: the sphere's centre is 40 mm above the floor at y = -100.
        const QVector3D tCentre(0, -60, 0);
        const QRect tRegion
            = tFrame.region(tCentre - QVector3D(40, 40, 40), tCentre + QVector3D(40, 40, 40));
        const Shading tShading(tFrame.image, tRegion);
        QVERIFY2(tShading.count > 1000, qPrintable(QString::number(tShading.count)));
        // Lit: the faces turned to the light are brighter than those at a grazing angle.
        QVERIFY2(tShading.maximum - tShading.minimum > 150,
            qPrintable(QString("%1 .. %2").arg(tShading.minimum).arg(tShading.maximum)));
        // Not washed out: the brightest face is still plainly the part's blue.
        const QRgb tTop = tShading.brightestColor;
        QVERIFY2(qBlue(tTop) - qMax(qRed(tTop), qGreen(tTop)) >= 100, qPrintable(colorText(tTop)));
        // With the light at the eye, the brightest face is the one facing the eye: where
        // the sphere's centre lands.
        const QPoint tOffset = tShading.brightest - tFrame.pixel(tCentre);
        const int tRadius = tRegion.width() / 2;
        QVERIFY2(tOffset.manhattanLength() < tRadius * 0.45,
            qPrintable(
                QString("offset %1,%2 radius %3").arg(tOffset.x()).arg(tOffset.y()).arg(tRadius)));
    }

    void lightFollowsItsPosition()
    {
        QVERIFY(KvViewTest::shownView(m_view, ViewSize.width(), ViewSize.height()));
        m_view->insertModel(0, KvViewTest::sphere(40));
        orbit(0, -20, 0);
        // The light far to the right of the eye lights the sphere's right side.
        m_view->lightSource()->setPosition(kvVector3D(600, 0, 1));
        const Frame tFrame = grab(QStringLiteral("sphere-light-right"));
        const QVector3D tCentre(0, -60, 0);
        const QRect tRegion
            = tFrame.region(tCentre - QVector3D(40, 40, 40), tCentre + QVector3D(40, 40, 40));
        const Shading tShading(tFrame.image, tRegion);
        const int tShift = tShading.brightest.x() - tFrame.pixel(tCentre).x();
        QVERIFY2(tShift > tRegion.width() / 2 * 0.3, qPrintable(QString::number(tShift)));
    }

    void gridAndRulersAtTheirPlaces_data()
    {
        QTest::addColumn<float>("theta");
        QTest::addColumn<float>("phi");
        QTest::newRow("front, from above") << 0.0f << -35.0f;
        QTest::newRow("turned right") << 30.0f << -40.0f;
        QTest::newRow("turned left, steep") << 330.0f << -55.0f;
    }
    void gridAndRulersAtTheirPlaces()
    {
        QFETCH(float, theta);
        QFETCH(float, phi);
        QVERIFY(KvViewTest::shownView(m_view, ViewSize.width(), ViewSize.height()));
        orbit(theta, phi);
        const Frame tFrame = grab(QStringLiteral("plate-%1-%2").arg(theta).arg(phi));
        // Grid lines every 10 mm on the floor (y = -100) of the 200 mm plate, sampled
        // between the crossings.
        int tMissed = 0;
        QStringList tMisses;
        for (float tAcross : {-45.0f, -15.0f, 35.0f, 65.0f})
            for (float tLine : {-70.0f, -20.0f, 30.0f, 80.0f})
                for (const QVector3D &tPoint :
                    {QVector3D(tAcross, -100, tLine), QVector3D(tLine, -100, tAcross)})
                    if (!tFrame.shows(tPoint, isGrey)) {
                        ++tMissed;
                        tMisses << QString("(%1 %2)").arg(tPoint.x()).arg(tPoint.z());
                    }
        QVERIFY2(tMissed <= 1, qPrintable("grid missing at " + tMisses.join(' ')));
        // Between the lines the plate is bare.
        QCOMPARE(countIn(tFrame.image, tFrame.around(QVector3D(-45, -100, -45), 0), isGrey), 0);

        // The long ruler ticks stick out 4.5 mm beyond the plate's edges: along the front
        // (X), up the front right edge (height) and along the right side (depth).
        QStringList tRulerMisses;
        for (float i : {-70.0f, -30.0f, 30.0f, 70.0f}) {
            if (!tFrame.shows(QVector3D(i, -100, 104), isGrey))
                tRulerMisses << QString("front %1").arg(i);
            if (!tFrame.shows(QVector3D(104, i, 100), isGrey))
                tRulerMisses << QString("height %1").arg(i);
            if (!tFrame.shows(QVector3D(104, -100, i), isGrey))
                tRulerMisses << QString("side %1").arg(i);
        }
        QVERIFY2(tRulerMisses.size() <= 1, qPrintable(tRulerMisses.join(", ")));
        // Beyond the ticks there is nothing.
        QCOMPARE(countIn(tFrame.image, tFrame.around(QVector3D(-50, -100, 112), 0), isGrey), 0);
    }

    void gridCoversOnlyThePlate()
    {
        QVERIFY(KvViewTest::shownView(m_view, ViewSize.width(), ViewSize.height()));
        // 300 mm wide, 200 mm deep: the scene's plate spans z from -100 to 100.
        m_view->setBedSize(kvVector3D(300, 200, 200));
        orbit(0, -35, 40);
        const Frame tFrame = grab(QStringLiteral("plate-300x200"));
        for (float tX : {-125.0f, -75.0f, 35.0f, 105.0f}) {
            QVERIFY2(
                tFrame.shows(QVector3D(tX, -100, -70), isGrey), qPrintable(QString::number(tX)));
            // Behind the plate no line runs across.
            QVERIFY2(
                countIn(tFrame.image, tFrame.around(QVector3D(tX, -100, -150), 2), isGrey) == 0,
                qPrintable(QString::number(tX)));
        }
    }

    void stripsOnTheirAxes()
    {
        QVERIFY(KvViewTest::shownView(m_view, ViewSize.width(), ViewSize.height()));
        // 10 x 20 x 40 (Z up), turned 90 degrees about Y: on the plate it is 40 mm along
        // X, 10 mm high and 20 mm deep, landed and centred.
        m_view->insertModel(0, KvViewTest::boxMesh(kvVector3D(0, 0, 0), kvVector3D(10, 20, 40)));
        m_view->glModels().first()->setUserRotation(kvVector3D(0, 90, 0));
        orbit(20, -25, -30);
        const Frame tFrame = grab(QStringLiteral("strips"));
        // X: red, on the floor in front of the plate, from x = -20 to 20.
        for (float tX : {-15.0f, 15.0f})
            QVERIFY2(tFrame.shows(QVector3D(tX, -100, 101.2f), isReddish),
                qPrintable(QString::number(tX)));
        for (float tX : {-30.0f, 30.0f})
            QVERIFY2(!tFrame.shows(QVector3D(tX, -100, 101.2f), isReddish),
                qPrintable(QString::number(tX)));
        // Depth: green, on the floor right of the plate, from z = -10 to 10.
        for (float tZ : {-6.0f, 6.0f})
            QVERIFY2(tFrame.shows(QVector3D(101.2f, -100, tZ), isGreenish),
                qPrintable(QString::number(tZ)));
        for (float tZ : {-22.0f, 22.0f})
            QVERIFY2(!tFrame.shows(QVector3D(101.2f, -100, tZ), isGreenish),
                qPrintable(QString::number(tZ)));
        // Height: blue, upright at the front right corner, from y = -100 to -90.
        QVERIFY(tFrame.shows(QVector3D(101.2f, -95, 100), isBluish));
        QVERIFY(!tFrame.shows(QVector3D(101.2f, -75, 100), isBluish));
    }

    void parallelViewShowsTheLitPartBeforeTheGrid()
    {
        QVERIFY(KvViewTest::shownView(m_view, ViewSize.width(), ViewSize.height()));
        m_view->insertModel(0, KvViewTest::cube(60));
        m_view->camera()->setProjectionType(GLProjectionTypeOrthographic);
        kvGLCamera *tCamera = m_view->camera();
        // Far above the front of the plate, turned a quarter to the left, Y up.
        QCOMPARE(tCamera->center(), kvVector3D(0, 0, 2500));
        const Frame tFrame = grab(QStringLiteral("parallel"));
        // Cube from (-30, -100, -30) to (30, -40, 30): its top, front and left faces show.
        // (The print volume's near top edges pass in front of the part; the most common
        // colour around each face's centre is the face's.)
        const QRgb tTop = commonColor(tFrame.image, tFrame.around(QVector3D(0, -40, 0), 3));
        const QRgb tFront = commonColor(tFrame.image, tFrame.around(QVector3D(0, -70, 30), 3));
        const QRgb tLeft = commonColor(tFrame.image, tFrame.around(QVector3D(-30, -70, 0), 3));
        for (QRgb tFace : {tTop, tFront, tLeft})
            QVERIFY2(isPart(tFace),
                qPrintable(colorText(tTop) + " " + colorText(tFront) + " " + colorText(tLeft)));
        // Lit: the top faces the eye more than the sides do.
        QVERIFY2(qBlue(tTop) - qBlue(tFront) > 15,
            qPrintable(colorText(tTop) + " " + colorText(tFront)));
        // The grid lies behind the part: no grid line crosses its faces.
        const QRect tFace = tFrame.region(QVector3D(-10, -80, 30), QVector3D(10, -60, 30));
        QCOMPARE(countIn(tFrame.image, tFace, isGrey), 0);
        // Beside the part the plate's grid shows.
        QVERIFY(tFrame.shows(QVector3D(65, -100, 50), isGrey, 2));
    }
};

KV_TEST_MAIN(tst_kvGLScreenshots)
#include "tst_kvGLScreenshots.moc"
