#include "kvDebugWindow.h"
#include "kvDialogRecorder.h"
#include "kvGLWindow.h"
#include "kvGlobal.h"
#include "kvMainWindow.h"
#include "kvPrinterConfig.h"
#include "kvPrinterZOffsetCalibration.h"
#include "kvSliceOptions.h"
#include "kvStartup.h"
#include "kvTestSupport.h"
#include "kvWindowFit.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QScreen>

// The GL driver is built without frame pointers: a full unwind lets the leak check see
// its lifetime allocations as the driver's, which the suppressions cover.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

// Every window opens within its screen's available area, which on this platform is
// 800 x 600, smaller than a laptop's 1366 x 768.
class tst_windowfit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        kvMainWindow::setPortProvider([] { return QVector<kvMainWindow::PortInfo>(); });
        QVERIFY(Kv::Startup::prepare());
    }
    void cleanupTestCase() { kvMainWindow::setPortProvider(nullptr); }
    void cleanup() { Kv::Global::DeveloperMode = false; }

    void fittedGeometry_data()
    {
        QTest::addColumn<QRect>("area"); // the screen's available area
        QTest::addColumn<int>("title"); // the frame's top
        QTest::addColumn<int>("border"); // its other sides
        QTest::addColumn<QRect>("placed"); // where the window manager put the window
        QTest::addColumn<QRect>("fitted");
        const QRect tBelowPanel(0, 30, 1280, 994);
        const QRect tBesidePanel(100, 0, 1180, 1024);
        QTest::newRow("below a panel, placed inside")
            << tBelowPanel << 30 << 4 << QRect(4, 60, 800, 600) << QRect(4, 60, 800, 600);
        QTest::newRow("below a panel, placed further down")
            << tBelowPanel << 30 << 4 << QRect(240, 200, 800, 600) << QRect(240, 200, 800, 600);
        QTest::newRow("below a panel, title bar over it")
            << tBelowPanel << 30 << 4 << QRect(4, 34, 800, 600) << QRect(4, 60, 800, 600);
        QTest::newRow("below a panel, window at the area's top")
            << tBelowPanel << 30 << 4 << QRect(0, 30, 800, 600) << QRect(4, 60, 800, 600);
        QTest::newRow("below a panel, too tall")
            << tBelowPanel << 30 << 4 << QRect(4, 60, 1400, 1000) << QRect(4, 60, 1272, 960);
        QTest::newRow("beside a panel, placed inside")
            << tBesidePanel << 30 << 4 << QRect(150, 50, 800, 600) << QRect(150, 50, 800, 600);
        QTest::newRow("beside a panel, border over it")
            << tBesidePanel << 30 << 4 << QRect(90, 50, 800, 600) << QRect(104, 50, 800, 600);
        QTest::newRow("beside a panel, off the bottom right")
            << tBesidePanel << 30 << 4 << QRect(900, 700, 800, 600) << QRect(476, 420, 800, 600);
        QTest::newRow("beside a panel, larger than the area")
            << tBesidePanel << 30 << 4 << QRect(0, 0, 2000, 2000) << QRect(104, 30, 1172, 990);
        QTest::newRow("no frame, below a panel")
            << QRect(0, 30, 800, 570) << 0 << 0 << QRect(0, 0, 400, 300) << QRect(0, 30, 400, 300);
        QTest::newRow("area smaller than the frame: the title bar stays on it")
            << QRect(0, 30, 20, 20) << 30 << 4 << QRect(50, 50, 100, 100) << QRect(4, 60, 12, 1);
        // A screen may report no work area at all: the window keeps its size and place.
        QTest::newRow("empty area")
            << QRect() << 30 << 4 << QRect(50, 50, 800, 600) << QRect(50, 50, 800, 600);
        QTest::newRow("area without height") << QRect(0, 30, 1280, 0) << 30 << 4
                                             << QRect(50, 50, 800, 600) << QRect(50, 50, 800, 600);
        QTest::newRow("inverted area") << QRect(QPoint(1280, 1024), QPoint(0, 0)) << 30 << 4
                                       << QRect(50, 50, 800, 600) << QRect(50, 50, 800, 600);
    }
    void fittedGeometry()
    {
        QFETCH(QRect, area);
        QFETCH(int, title);
        QFETCH(int, border);
        QFETCH(QRect, placed);
        QFETCH(QRect, fitted);
        const QMargins tFrame(border, title, border, border);
        const QRect tResult = Kv::fittedGeometry(area, tFrame, placed);
        QCOMPARE(tResult, fitted);
        if (area.width() > title + border && area.height() > title + border)
            QVERIFY(area.contains(tResult.marginsAdded(tFrame)));
    }

    void placedOnceOnTheScreen_data()
    {
        QTest::addColumn<QPoint>("placed"); // where the window manager puts the window
        QTest::addColumn<QString>("edge"); // the edge of the area its frame comes to
        QTest::newRow("inside") << QPoint(120, 100) << QString();
        QTest::newRow("off the left") << QPoint(-150, 100) << QStringLiteral("left");
        QTest::newRow("off the bottom") << QPoint(100, 450) << QStringLiteral("bottom");
    }
    void placedOnceOnTheScreen()
    {
        QFETCH(QPoint, placed);
        QFETCH(QString, edge);
        QWidget tWindow;
        Kv::fitWhenShown(&tWindow);
        tWindow.resize(400, 300);
        tWindow.show();
        // The window manager places it after the show, before it is on the screen.
        tWindow.setGeometry(QRect(placed, tWindow.size()));
        QVERIFY(QTest::qWaitForWindowExposed(&tWindow));
        const QRect tArea = tWindow.screen()->availableGeometry();
        const QRect tFrame = tWindow.frameGeometry();
        const QString tSeen = QStringLiteral("%1, %2").arg(tFrame.x()).arg(tFrame.y());
        QVERIFY2(tArea.contains(tFrame), qPrintable(tSeen));
        QCOMPARE(tWindow.size(), QSize(400, 300));
        if (edge.isEmpty()) {
            QCOMPARE(tWindow.geometry().topLeft(), placed);
        } else if (edge == QLatin1String("left")) {
            QCOMPARE(tFrame.left(), tArea.left());
            QCOMPARE(tWindow.y(), placed.y() - (tWindow.geometry().y() - tFrame.y()));
        } else {
            QCOMPARE(tFrame.bottom(), tArea.bottom());
            QCOMPARE(tWindow.geometry().x(), placed.x());
        }
    }

    void opensOnTheScreen_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QSize>("size");
        QTest::newRow("main window") << "main" << QSize(1088, 700);
        QTest::newRow("inspector") << "inspector" << QSize(661, 762);
        QTest::newRow("slicer options, developer mode") << "slicer" << QSize(550, 750);
        QTest::newRow("about") << "about" << QSize(415, 250);
        QTest::newRow("G-code analysis") << "analysis" << QSize(500, 535);
        QTest::newRow("standard paths") << "paths" << QSize(498, 619);
        QTest::newRow("printer types") << "types" << QSize(862, 493);
        QTest::newRow("printer control") << "config" << QSize(1028, 612);
        QTest::newRow("Z-offset wizard") << "wizard" << QSize(768, 598);
        QTest::newRow("Z-offset examples") << "examples" << QSize(1024, 720);
    }
    void opensOnTheScreen()
    {
        QFETCH(QString, window);
        QFETCH(QSize, size);
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tMain;
        // The 3D view stays undrawn: the software GL deadlocks under the sanitizers.
        tMain.glWindow()->hide();
        kvPrinterConfig tConfig;
        kvPrinterZOffsetCalibration tWizard;
        const auto tTrigger = [&](const char *pAction) {
            tMain.findChild<QAction *>(QString::fromLatin1(pAction))->trigger();
        };
        const auto tTop = [](const char *pName) -> QWidget * {
            for (QWidget *tWidget : QApplication::topLevelWidgets())
                if (tWidget->isVisible() && tWidget->objectName() == QLatin1String(pName))
                    return tWidget;
            return nullptr;
        };

        QWidget *tWindow = nullptr;
        if (window == QLatin1String("main")) {
            tMain.show();
            tWindow = &tMain;
        } else if (window == QLatin1String("inspector")) {
            tTrigger("toolsMenuGLDebug");
            tWindow = tMain.debugWindow();
        } else if (window == QLatin1String("slicer")) {
            tMain.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
            Kv::Global::DeveloperMode = true;
            tTrigger("optionsMenuSlicerOptions");
            tWindow = tMain.sliceOptions();
        } else if (window == QLatin1String("about")) {
            tTrigger("helpMenuAbout");
            tWindow = tTop("kvAboutWindow");
        } else if (window == QLatin1String("analysis")) {
            tTrigger("toolsMenuGCodeAnalysis");
            tWindow = tTop("kvGCodeAnalysis");
        } else if (window == QLatin1String("paths")) {
            tTrigger("debugMenuStandardPaths");
            tWindow = tTop("kvStandardPaths");
        } else if (window == QLatin1String("types")) {
            tTrigger("debugMenuPrinterTypes");
            tWindow = tTop("kvPrinterTypes");
        } else if (window == QLatin1String("config")) {
            tConfig.show();
            tWindow = &tConfig;
        } else if (window == QLatin1String("wizard")) {
            tWizard.show();
            tWindow = &tWizard;
        } else if (window == QLatin1String("examples")) {
            tWizard.show();
            QTest::mouseClick(
                tWizard.findChild<QPushButton *>(QStringLiteral("example1Button")), Qt::LeftButton);
            tWindow = tTop("kvZOffsetExamples");
        }
        QVERIFY(tWindow);
        QVERIFY(tWindow->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(tWindow));
        QVERIFY(tDialogs.requests.isEmpty());

        const QRect tArea = tWindow->screen()->availableGeometry();
        const QRect tFrame = tWindow->frameGeometry();
        const QString tSeen = QStringLiteral("%1 x %2 at %3, %4 on %5 x %6")
                                  .arg(tFrame.width())
                                  .arg(tFrame.height())
                                  .arg(tFrame.x())
                                  .arg(tFrame.y())
                                  .arg(tArea.width())
                                  .arg(tArea.height());
        QVERIFY2(tArea.contains(tFrame), qPrintable(tSeen));
        // Not shrunk where its size fits.
        if (size.width() + 100 <= tArea.width())
            QVERIFY2(tWindow->width() >= size.width(), qPrintable(tSeen));
        if (size.height() + 100 <= tArea.height())
            QVERIFY2(tWindow->height() >= size.height(), qPrintable(tSeen));
        // Nothing is cut off: what does not fit scrolls.
        const QSize tNeeded = tWindow->minimumSizeHint();
        QVERIFY2(tNeeded.width() <= tWindow->width() && tNeeded.height() <= tWindow->height(),
            qPrintable(QStringLiteral("needs %1 x %2 in %3")
                           .arg(tNeeded.width())
                           .arg(tNeeded.height())
                           .arg(tSeen)));
    }
};

KV_TEST_MAIN(tst_windowfit)
#include "tst_windowfit.moc"
