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
