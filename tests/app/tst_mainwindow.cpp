#include "kvDebugWindow.h"
#include "kvDialogRecorder.h"
#include "kvGLModel.h"
#include "kvGLWindow.h"
#include "kvGlobal.h"
#include "kvLogger.h"
#include "kvMainWindow.h"
#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"
#include "kvSlic3rConfig.h"
#include "kvSliceOptions.h"
#include "kvStartup.h"
#include "kvTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtEndian>

#include <memory>

using KvTest::writeFile;

namespace {

const QString Password = QStringLiteral("HalvarnKestrova");

template <typename T> T *child(kvMainWindow &pWindow, const char *pName)
{
    T *tChild = pWindow.findChild<T *>(QString::fromLatin1(pName));
    if (!tChild)
        qFatal("no child %s", pName);
    return tChild;
}

bool debugMenuShown(kvMainWindow &pWindow)
{
    return child<QMenu>(pWindow, "debugMenu")->menuAction()->isVisible();
}

// Shows the window with its 3D view left undrawn: these tests are about the controls, and
// the software GL's code generator deadlocks under the sanitizers' full unwind.
void showControls(kvMainWindow &pWindow)
{
    pWindow.glWindow()->hide();
    pWindow.show();
}

// Clicks the shown window where pPos of the logo lies, as the mouse would.
void clickLogo(kvMainWindow &pWindow, QPoint pPos)
{
    if (!pWindow.isVisible()) {
        showControls(pWindow);
        if (!QTest::qWaitForWindowExposed(&pWindow))
            qFatal("window not exposed");
    }
    QLabel *tLogo = child<QLabel>(pWindow, "lHVLogo");
    QTest::mouseClick(
        pWindow.windowHandle(), Qt::LeftButton, Qt::NoModifier, tLogo->mapTo(&pWindow, pPos));
}

// An ASCII STL of the box from the origin to pSize, written by hand.
bool writeBoxSTL(const QString &pPath, QVector3D pSize)
{
    QFile tFile(pPath);
    if (!tFile.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const float x = pSize.x(), y = pSize.y(), z = pSize.z();
    const QVector3D c[8]
        = {{0, 0, 0}, {x, 0, 0}, {x, y, 0}, {0, y, 0}, {0, 0, z}, {x, 0, z}, {x, y, z}, {0, y, z}};
    const int f[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
        {2, 3, 7}, {2, 7, 6}, {1, 2, 6}, {1, 6, 5}, {3, 0, 4}, {3, 4, 7}};
    QTextStream tOut(&tFile);
    tOut << "solid box\n";
    for (const auto &t : f) {
        tOut << " facet normal 0 0 0\n  outer loop\n";
        for (int i : t)
            tOut << "   vertex " << c[i].x() << ' ' << c[i].y() << ' ' << c[i].z() << '\n';
        tOut << "  endloop\n endfacet\n";
    }
    tOut << "endsolid box\n";
    return true;
}

// The box around every "vertex" line of an ASCII STL file.
kvBoundingBox stlBox(const QString &pPath)
{
    kvBoundingBox tBox;
    QFile tFile(pPath);
    if (!tFile.open(QIODevice::ReadOnly | QIODevice::Text))
        return tBox;
    while (!tFile.atEnd()) {
        const QStringList tWords
            = QString::fromLatin1(tFile.readLine()).simplified().split(QLatin1Char(' '));
        if (tWords.size() == 4 && tWords.first() == QLatin1String("vertex"))
            tBox.add(tWords.at(1).toFloat(), tWords.at(2).toFloat(), tWords.at(3).toFloat());
    }
    return tBox;
}

// Loads pPath as the user does: File > Load Model, its dialog answered with the path.
void loadThroughMenu(kvMainWindow &pWindow, KvTest::DialogRecorder &pDialogs, const QString &pPath)
{
    pDialogs.answers << pPath;
    child<QAction>(pWindow, "fileMenuLoadModel")->trigger();
}

QByteArray fileBytes(const QString &pPath)
{
    QFile tFile(pPath);
    return tFile.open(QIODevice::ReadOnly) ? tFile.readAll() : QByteArray();
}

// Handles pending events a few rounds: a layout request reaches one parent per round.
void settleLayout()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// A folder path of some 380 characters in pDir; not made.
QString longFolder(const QTemporaryDir &pDir)
{
    QString tPath = pDir.path();
    while (tPath.size() < 360)
        tPath += QStringLiteral("/a-folder-with-a-long-name");
    return tPath;
}

// The default locale is pLocale for as long as it lives.
class DefaultLocale
{
public:
    explicit DefaultLocale(const QLocale &pLocale) { QLocale::setDefault(pLocale); }
    ~DefaultLocale() { QLocale::setDefault(m_previous); }

private:
    const QLocale m_previous;
};

const QByteArray OneFacet = " facet normal 0 0 1\n  outer loop\n   vertex 0 0 0\n"
                            "   vertex 1 0 0\n   vertex 0 1 0\n  endloop\n endfacet\n";

} // namespace

// The GL driver is built without frame pointers: a full unwind lets the leak check see
// its lifetime allocations as the driver's, which the suppressions cover.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

class tst_mainwindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        kvMainWindow::setPortProvider([] { return QVector<kvMainWindow::PortInfo>(); });
        QVERIFY(Kv::Startup::prepare());
    }
    void init() { Kv::Global::DeveloperMode = false; }

    void startsIdle()
    {
        KvTest::DialogRecorder tDialogs;
        kvPrinter::loadPrinterTypes(
            QStringLiteral(KV_SOURCE_DIR) + QStringLiteral("/resources/kvPrinterSettings.ini"));
        QVERIFY(!kvPrinter::PrinterTypes.isEmpty());
        {
            kvMainWindow tWindow;
            QCOMPARE(tWindow.windowTitle(), QStringLiteral("Kestrova (v1.2.3)"));
            QCOMPARE(tWindow.statusMessage(), QStringLiteral("No printer selected."));
            auto *tBox = child<QComboBox>(tWindow, "printerSelectionComboBox");
            QCOMPARE(tBox->count(), 1);
            QCOMPARE(tBox->itemText(0), QStringLiteral("Searching for printers..."));
            QVERIFY(tWindow.isPollingPrinters());
            QVERIFY(!debugMenuShown(tWindow));
            QVERIFY(!child<QAction>(tWindow, "fileMenuBatchLoad")->isVisible());
            QVERIFY(!child<QAction>(tWindow, "toolsMenuGLDebug")->isVisible());
            QVERIFY(!child<QAction>(tWindow, "toolsMenuGCodeAnalysis")->isVisible());
            QCOMPARE(child<QLabel>(tWindow, "extruder0Label")->text(), QStringLiteral("EXTRUDER"));
            QCOMPARE(child<QLineEdit>(tWindow, "leXRot")->text(), QStringLiteral("0.0"));
            QCOMPARE(
                child<QComboBox>(tWindow, "qualityComboBox")->currentText(), QStringLiteral("Low"));
            QVERIFY(QDir(QStandardPaths::writableLocation(QStandardPaths::DataLocation)).exists());
        }
        QVERIFY(kvPrinter::PrinterTypes.isEmpty());
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void logoPrompt_data()
    {
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<bool>("prompts");
        QTest::newRow("top left corner") << QPoint(20, 418) << true;
        QTest::newRow("bottom right corner") << QPoint(35, 440) << true;
        QTest::newRow("left of it") << QPoint(19, 430) << false;
        QTest::newRow("right of it") << QPoint(36, 430) << false;
        QTest::newRow("above it") << QPoint(27, 417) << false;
        QTest::newRow("below it") << QPoint(27, 441) << false;
    }
    void logoPrompt()
    {
        QFETCH(QPoint, position);
        QFETCH(bool, prompts);
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        clickLogo(tWindow, position);
        QCOMPARE(tDialogs.requests.size(), prompts ? 1 : 0);
        if (prompts) {
            const kvDialogs::Request &tRequest = tDialogs.requests.first();
            QCOMPARE(tRequest.kind, kvDialogs::Text);
            QCOMPARE(tRequest.title, QStringLiteral("Debug"));
            QCOMPARE(tRequest.text, QStringLiteral("Dev Password:"));
            QVERIFY(tRequest.password);
        }
        QVERIFY(!Kv::Global::DeveloperMode);
    }

    void password_data()
    {
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<bool>("developer");
        QTest::newRow("right") << QVariant(Password) << true;
        QTest::newRow("other case") << QVariant(Password.toLower()) << false;
        QTest::newRow("cancelled") << QVariant() << false;
    }
    void password()
    {
        QFETCH(QVariant, answer);
        QFETCH(bool, developer);
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        tDialogs.answers << answer;
        clickLogo(tWindow, QPoint(25, 430));
        QCOMPARE(Kv::Global::DeveloperMode, developer);
        QCOMPARE(debugMenuShown(tWindow), developer);
        QCOMPARE(child<QAction>(tWindow, "toolsMenuGLDebug")->isVisible(), developer);
        QCOMPARE(child<QAction>(tWindow, "fileMenuBatchLoad")->isVisible(), developer);
        QVERIFY(child<QWidget>(tWindow, "orthoButton")->isHidden());

        // Other events and other objects pass.
        QEvent tEnter(QEvent::Enter);
        QVERIFY(!static_cast<QObject &>(tWindow).eventFilter(
            child<QLabel>(tWindow, "lHVLogo"), &tEnter));
        QMouseEvent tPress(QEvent::MouseButtonPress, QPoint(25, 430), Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!static_cast<QObject &>(tWindow).eventFilter(
            child<QWidget>(tWindow, "pbPrint"), &tPress));
    }

    void exitWhileIdleAsksNothing()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        child<QAction>(tWindow, "fileMenuExit")->trigger();
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void loadWithoutPrinter()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        child<QLineEdit>(tWindow, "leXRot")->setText(QStringLiteral("30"));
        child<QDoubleSpinBox>(tWindow, "sbScale")->setValue(2.5);
        child<QComboBox>(tWindow, "qualityComboBox")->setCurrentIndex(2);

        const QString tPath = KvTest::dataPath(QStringLiteral("cube10.stl"));
        tWindow.loadModel(tPath);
        kvPrinterFile *tFile = tWindow.printerFile();
        QVERIFY(tFile);
        QCOMPARE(tFile->bedCenter(), QVector2D(150.0f, 150.0f));
        QVERIFY(tFile->slic3rConfig()->PrinterIni().isEmpty());
        QVERIFY(tFile->slic3rConfig()->FilamentIni().isEmpty());
        QVERIFY(tFile->slic3rConfig()->PrintIni().endsWith(QStringLiteral("Low.ini")));
        QCOMPARE(
            child<QComboBox>(tWindow, "qualityComboBox")->currentText(), QStringLiteral("Low"));
        for (const char *tName : {"leXRot", "leYRot", "leZRot"})
            QCOMPARE(child<QLineEdit>(tWindow, tName)->text(), QStringLiteral("0.0"));
        QCOMPARE(child<QDoubleSpinBox>(tWindow, "sbScale")->value(), 1.0);
        QCOMPARE(child<QLabel>(tWindow, "printerFileLabel")->text(), tPath);
        QCOMPARE(tWindow.glWindow()->glModels().size(), 1);
        QCOMPARE(tWindow.glWindow()->glModels().first()->userRotation(), kvVector3D(0, 0, 0));
        QVERIFY(!tWindow.glWindow()->glModels().first()->model().triangles().isEmpty());

        // A second load replaces the first file.
        QPointer<kvPrinterFile> tFirst(tFile);
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube-binary.stl")));
        QVERIFY(tFirst.isNull());
        QCOMPARE(tWindow.glWindow()->glModels().size(), 1);
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void unreadableFileKeepsWorking_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QString() << QByteArray() << QStringLiteral("No such file");
        QTest::newRow("empty") << QStringLiteral("empty.stl") << QByteArray()
                               << QStringLiteral("holds no facets");
        QTest::newRow("no facets")
            << QStringLiteral("bare.stl") << QByteArray("solid bare\nendsolid bare\n")
            << QStringLiteral("holds no facets");
    }
    void unreadableFileKeepsWorking()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir tDir;
        const QString tPath = name.isEmpty() ? tDir.filePath(QStringLiteral("gone.stl"))
                                             : writeFile(tDir, name, content);
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        const QString tGood = KvTest::dataPath(QStringLiteral("cube10.stl"));
        tWindow.loadModel(tGood);
        kvPrinterFile *tFile = tWindow.printerFile();
        const int tTriangles = tWindow.glWindow()->glModels().first()->model().triangles().size();
        auto *tBar = child<QProgressBar>(tWindow, "progressBar");
        tBar->setValue(0);

        tWindow.loadModel(tPath);
        // The window is as it was: same file, same model, same name, no progress.
        QCOMPARE(tWindow.printerFile(), tFile);
        QCOMPARE(tFile->fileName(), tGood);
        QCOMPARE(tWindow.glWindow()->glModels().size(), 1);
        QCOMPARE(tWindow.glWindow()->glModels().first()->model().triangles().size(), tTriangles);
        QCOMPARE(child<QLabel>(tWindow, "printerFileLabel")->text(), tGood);
        QCOMPARE(tBar->value(), 0);
        QVERIFY2(tWindow.statusMessage().startsWith(QStringLiteral("Cannot load ") + tPath),
            qPrintable(tWindow.statusMessage()));
        QVERIFY2(tWindow.statusMessage().contains(reason), qPrintable(tWindow.statusMessage()));
        QVERIFY(tDialogs.requests.isEmpty());

        // Nothing loaded before: nothing is loaded after.
        kvMainWindow tFresh;
        tFresh.loadModel(tPath);
        QVERIFY(!tFresh.printerFile());
        QVERIFY(tFresh.glWindow()->glModels().isEmpty());
        QVERIFY(child<QLabel>(tFresh, "printerFileLabel")->text().isEmpty());
    }

    void refusalSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("facets"); // -1: a cube; -2: no regular file (its name says what)
        QTest::addColumn<QString>("reason");
        QTest::newRow("no ending") << QStringLiteral("part-without-ending") << qint64(-1)
                                   << QStringLiteral("its name has no .stl or .gcode ending");
        QTest::newRow("more facets than a mesh holds")
            << QStringLiteral("huge.stl") << qint64(62000000)
            << QStringLiteral("it is too large: 62000000 facets, at most %1 can be loaded")
                   .arg(kvModel::MostTriangles);
        // Never opened: a pipe would hold the window in the opening for good, a device
        // never end.
        QTest::newRow("named pipe")
            << QStringLiteral("pipe") << qint64(-2)
            << QStringLiteral("it is a named pipe (FIFO), not a regular file");
        QTest::newRow("socket") << QStringLiteral("socket") << qint64(-2)
                                << QStringLiteral("it is a socket, not a regular file");
        QTest::newRow("device") << QStringLiteral("device") << qint64(-2)
                                << QStringLiteral("it is a device, not a regular file");
        QTest::newRow("folder") << QStringLiteral("folder") << qint64(-2)
                                << QStringLiteral("it is a folder, not a regular file");
    }

    // A refused part says why in the status line; the part shown stays.
    void refusalSaysWhy()
    {
        QFETCH(QString, name);
        QFETCH(qint64, facets);
        QFETCH(QString, reason);
        QTemporaryDir tDir;
        QString tPath = tDir.filePath(name);
        const QByteArray tCube = fileBytes(KvTest::dataPath("cube-ascii.stl"));
        // Whoever opens the pipe is handed a whole part.
        std::unique_ptr<KvTest::NotAFile> tOdd;
        if (facets == -2) {
            tPath = tDir.filePath(QStringLiteral("part.stl"));
            tOdd.reset(new KvTest::NotAFile(name, tPath, tCube));
            QVERIFY(tOdd->isMade());
        } else if (facets < 0) {
            tPath = writeFile(tDir, name, tCube);
        } else {
            // A binary STL of that many facets, sparse: it takes no disk space.
            QFile tOut(tPath);
            QVERIFY(tOut.open(QIODevice::WriteOnly));
            char tCount[4];
            qToLittleEndian(qint32(facets), tCount);
            QVERIFY(tOut.write(QByteArray(80, '\0') + QByteArray(tCount, 4)) == 84);
            QVERIFY(tOut.resize(84 + 50 * facets));
        }
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        const QString tGood = KvTest::dataPath(QStringLiteral("cube10.stl"));
        loadThroughMenu(tWindow, tDialogs, tGood);
        kvPrinterFile *tFirst = tWindow.printerFile();
        QVERIFY(tFirst);
        const int tTriangles = tWindow.glWindow()->glModels().first()->model().triangles().size();

        loadThroughMenu(tWindow, tDialogs, tPath);
        QCOMPARE(tDialogs.requests.size(), 2);
        QCOMPARE(tWindow.printerFile(), tFirst);
        QCOMPARE(tFirst->fileName(), tGood);
        QCOMPARE(child<QLabel>(tWindow, "printerFileLabel")->text(), tGood);
        QCOMPARE(tWindow.glWindow()->glModels().first()->model().triangles().size(), tTriangles);
        QCOMPARE(tWindow.statusMessage(),
            QStringLiteral("Cannot load ") + tPath + QStringLiteral(": ") + reason
                + QStringLiteral("."));
        QVERIFY(!tOdd || !tOdd->wasOpened());
    }

    void fitsCommonScreen()
    {
        // 1366 x 768 less a title bar and a panel of 32 pixels each.
        const QSize tScreen(1366, 768 - 64);
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(QTest::qWaitForWindowExposed(&tWindow));
        QVERIFY2(tWindow.width() <= tScreen.width() && tWindow.height() <= tScreen.height(),
            qPrintable(QStringLiteral("%1 x %2").arg(tWindow.width()).arg(tWindow.height())));
        QVERIFY(tWindow.minimumSizeHint().height() <= tScreen.height());
        for (const char *tName : {"pbPrint", "statusBar", "lHVLogo"}) {
            QWidget *tWidget = child<QWidget>(tWindow, tName);
            const QRect tRect(tWidget->mapTo(&tWindow, QPoint(0, 0)), tWidget->size());
            QVERIFY2(tWidget->isVisible() && tWindow.rect().contains(tRect), tName);
        }
        // The hidden trigger lies on the logo.
        QVERIFY(child<QLabel>(tWindow, "lHVLogo")->height() > 440);

        kvSliceOptions *tOptions = tWindow.sliceOptions();
        tOptions->show();
        QVERIFY(QTest::qWaitForWindowExposed(tOptions));
        QVERIFY(tOptions->width() <= tScreen.width() && tOptions->height() <= tScreen.height());
        auto *tTip = tOptions->findChild<QLabel *>(QStringLiteral("quickTipLabel"));
        QVERIFY2(tTip->height() >= tTip->heightForWidth(tTip->width()),
            qPrintable(QStringLiteral("%1 < %2")
                           .arg(tTip->height())
                           .arg(tTip->heightForWidth(tTip->width()))));
    }

    void openSlicerReportsFailure()
    {
        KvTest::DialogRecorder tDialogs;
        const QString tOldPath = Kv::Paths::Slic3rExe;
        const QByteArray tOldEnv = qgetenv("PATH");
        QTemporaryDir tEmpty;
        Kv::Paths::Slic3rExe = QStringLiteral("/nonexistent/Slic3r.app");
        qputenv("PATH", tEmpty.path().toLocal8Bit());
        kvMainWindow tWindow;
        child<QAction>(tWindow, "optionsMenuOpenSlic3r")->trigger();
        const QString tStatus = tWindow.statusMessage();
        Kv::Paths::Slic3rExe = tOldPath;
        qputenv("PATH", tOldEnv);
        QVERIFY2(tStatus.startsWith(QStringLiteral("Slic3r was not found")), qPrintable(tStatus));
        QVERIFY2(tStatus.contains(QStringLiteral("/nonexistent/Slic3r.app")), qPrintable(tStatus));
        QVERIFY2(tStatus.contains(tEmpty.path()), qPrintable(tStatus));
    }

    void rotationTyping()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        auto *tEdit = child<QLineEdit>(tWindow, "leXRot");
        tEdit->clear();
        QTest::keyClick(tEdit, Qt::Key_4);
        QCOMPARE(tWindow.glWindow()->glModels().first()->userRotation().x(), 4.0f);
        QTest::keyClick(tEdit, Qt::Key_5);
        QCOMPARE(tWindow.glWindow()->glModels().first()->userRotation().x(), 45.0f);
        tEdit->setText(QStringLiteral("abc"));
        QCOMPARE(tWindow.glWindow()->glModels().first()->userRotation().x(), 0.0f);
        // Text that reads as no finite number turns nothing: the part stays drawable.
        for (const char *tText : {"inf", "-inf", "nan", "1e39"}) {
            tEdit->clear();
            QTest::keyClicks(tEdit, QString::fromLatin1(tText));
            QCOMPARE(tWindow.glWindow()->glModels().first()->userRotation().x(), 0.0f);
        }
        child<QLineEdit>(tWindow, "leZRot")->setText(QStringLiteral("90"));
        QCOMPARE(tWindow.glWindow()->glModels().first()->userRotation(), kvVector3D(0, 0, 90));
    }

    void rotationInTheUsersLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("angle");
        const QLocale tGerman(QLocale::German, QLocale::Germany);
        const QLocale tEnglish(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("decimal comma") << tGerman << "45,5" << 45.5f;
        QTest::newRow("decimal point") << tGerman << "45.5" << 45.5f;
        QTest::newRow("negative, comma") << tGerman << "-12,25" << -12.25f;
        // A group separator is no part of an angle: such text turns nothing.
        QTest::newRow("grouped thousands") << tGerman << "1.080,5" << 0.0f;
        QTest::newRow("exponent, comma") << tGerman << "1,5e1" << 15.0f;
        QTest::newRow("two commas") << tGerman << "4,5,6" << 0.0f;
        QTest::newRow("word") << tGerman << "abc" << 0.0f;
        QTest::newRow("infinity") << tGerman << "inf" << 0.0f;
        QTest::newRow("above float range") << tGerman << "1e39" << 0.0f;
        QTest::newRow("English, grouped thousands") << tEnglish << "12,500" << 0.0f;
        QTest::newRow("English, decimal point") << tEnglish << "12.5" << 12.5f;
        QTest::newRow("C, grouped thousands") << QLocale::c() << "1,234" << 0.0f;
    }
    void rotationInTheUsersLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QFETCH(float, angle);
        const DefaultLocale tUsers(locale);
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        auto *tEdit = child<QLineEdit>(tWindow, "leZRot");
        tEdit->selectAll();
        QTest::keyClicks(tEdit, text);
        QTest::keyClick(tEdit, Qt::Key_Return);
        QCOMPARE(tEdit->text(), text);
        QCOMPARE(tWindow.glWindow()->glModels().first()->userRotation(), kvVector3D(0, 0, angle));
    }

    void longStatusKeepsTheWindow()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(QTest::qWaitForWindowExposed(&tWindow));
        settleLayout();
        auto *tLabel = child<QLabel>(tWindow, "statusLabel");
        // A short text is shown whole.
        QCOMPARE(tLabel->text(), tWindow.statusMessage());
        QVERIFY(tLabel->toolTip().isEmpty());
        const int tWidth = tWindow.width();

        QTemporaryDir tDir;
        const QString tPath = longFolder(tDir) + QStringLiteral("/part.stl");
        loadThroughMenu(tWindow, tDialogs, tPath);
        settleLayout();
        const QString tStatus = tWindow.statusMessage();
        QVERIFY2(tStatus.startsWith(QStringLiteral("Cannot load ") + tPath), qPrintable(tStatus));
        QVERIFY2(tWindow.width() <= tWidth, qPrintable(QString::number(tWindow.width())));
        const QRect tArea = tWindow.screen()->availableGeometry();
        QVERIFY(tArea.contains(tWindow.frameGeometry()));
        QVERIFY(tLabel->text().size() < tStatus.size());
        QVERIFY2(tLabel->text().endsWith(QChar(0x2026)), qPrintable(tLabel->text()));
        QCOMPARE(tLabel->toolTip(), tStatus);

        // A narrower window shows less of it, still within the label.
        const QString tWider = tLabel->text();
        tWindow.resize(tWindow.minimumSizeHint().width(), tWindow.height());
        settleLayout();
        QVERIFY(tLabel->text().size() < tWider.size());
        QVERIFY(tLabel->text().endsWith(QChar(0x2026)));
        QVERIFY(tLabel->fontMetrics().horizontalAdvance(tLabel->text())
            <= tLabel->contentsRect().width());
        QCOMPARE(tWindow.statusMessage(), tStatus);
    }

    // A status of several lines (a slicer's error output, a name with a line break) is
    // shown on one line; the tool tip holds it as it is.
    void statusWithLineBreaksStaysOneLine()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(QTest::qWaitForWindowExposed(&tWindow));
        settleLayout();
        auto *tLabel = child<QLabel>(tWindow, "statusLabel");
        auto *tBar = child<QWidget>(tWindow, "statusBar");
        const int tBarHeight = tBar->height();
        const int tHeight = tWindow.height();

        QTemporaryDir tDir;
        const QString tPath = tDir.filePath(QStringLiteral("two\nlines\r\nof a name.stl"));
        loadThroughMenu(tWindow, tDialogs, tPath);
        settleLayout();
        const QString tStatus = tWindow.statusMessage();
        QCOMPARE(tStatus,
            QStringLiteral("Cannot load ") + tPath
                + QStringLiteral(": No such file or directory."));
        QCOMPARE(tLabel->text(),
            QString(tStatus)
                .replace(QLatin1Char('\n'), QLatin1Char(' '))
                .replace(QLatin1Char('\r'), QLatin1Char(' ')));
        QCOMPARE(tLabel->toolTip(), tStatus);
        QCOMPARE(tBar->height(), tBarHeight);
        QCOMPARE(tWindow.height(), tHeight);
    }

    void longFileNameKeepsTheWindow()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(QTest::qWaitForWindowExposed(&tWindow));
        settleLayout();
        const int tWidth = tWindow.width();

        QTemporaryDir tDir;
        const QString tFolder = longFolder(tDir);
        QVERIFY(QDir().mkpath(tFolder));
        const QString tPath = tFolder + QStringLiteral("/part.stl");
        QVERIFY(QFile::copy(KvTest::dataPath(QStringLiteral("cube10.stl")), tPath));
        loadThroughMenu(tWindow, tDialogs, tPath);
        settleLayout();
        QVERIFY(tWindow.printerFile());
        QCOMPARE(child<QLabel>(tWindow, "printerFileLabel")->text(), tPath);
        QVERIFY2(tWindow.width() <= tWidth, qPrintable(QString::number(tWindow.width())));
        QVERIFY(tWindow.screen()->availableGeometry().contains(tWindow.frameGeometry()));
    }

    void scaleGoesToModel()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        child<QDoubleSpinBox>(tWindow, "sbScale")->setValue(2.0);
        QCOMPARE(tWindow.glWindow()->glModels().first()->scale(), 2.0f);
    }

    void dragAcceptance_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("stl") << "file:///x/part.stl" << true;
        QTest::newRow("upper-case suffix") << "file:///x/part.STL" << true;
        QTest::newRow("gcode") << "file:///x/part.gcode" << true;
        QTest::newRow("other suffix") << "file:///x/part.obj" << false;
        QTest::newRow("no file url") << "/x/part.stl" << false;
    }
    void dragAcceptance()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        kvMainWindow tWindow;
        QMimeData tData;
        tData.setText(text);
        QDragEnterEvent tEvent(
            QPoint(5, 5), Qt::CopyAction, &tData, Qt::LeftButton, Qt::NoModifier);
        tEvent.setAccepted(false);
        static_cast<QObject &>(tWindow).event(&tEvent);
        QCOMPARE(tEvent.isAccepted(), accepted);
    }

    void dropLoadsFirstFile_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("loaded");
        const QString tCube = KvTest::dataPath(QStringLiteral("cube10.stl"));
        const QString tOther = KvTest::dataPath(QStringLiteral("cube-ascii.stl"));
        QTest::newRow("one file") << QStringLiteral("file://") + tCube << tCube;
        QTest::newRow("two files")
            << QStringLiteral("file://") + tCube + QStringLiteral("\nfile://") + tOther << tCube;
        QTest::newRow("line end") << QStringLiteral("file://") + tCube + QStringLiteral("\r\n")
                                  << tCube;
    }
    void dropLoadsFirstFile()
    {
        QFETCH(QString, text);
        QFETCH(QString, loaded);
        kvMainWindow tWindow;
        QMimeData tData;
        tData.setText(text);
        QDropEvent tEvent(QPointF(5, 5), Qt::CopyAction, &tData, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject &>(tWindow).event(&tEvent);
        QVERIFY(tWindow.printerFile());
        QCOMPARE(tWindow.printerFile()->fileName(), loaded);
    }

    void dropOfNameWithBlank()
    {
        QTemporaryDir tDir;
        const QString tPath = tDir.filePath(QStringLiteral("my part.stl"));
        QVERIFY(QFile::copy(KvTest::dataPath(QStringLiteral("cube10.stl")), tPath));
        kvMainWindow tWindow;
        QMimeData tData;
        tData.setText(QUrl::fromLocalFile(tPath).toString(QUrl::FullyEncoded));
        QDropEvent tEvent(QPointF(5, 5), Qt::CopyAction, &tData, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject &>(tWindow).event(&tEvent);
        QVERIFY(tWindow.printerFile());
        QCOMPARE(tWindow.printerFile()->fileName(), tPath);
    }

    void loadDialog()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        const QString tPath = KvTest::dataPath(QStringLiteral("cube10.stl"));
        tDialogs.answers << tPath << QVariant();
        child<QAction>(tWindow, "fileMenuLoadModel")->trigger();
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().kind, kvDialogs::OpenFile);
        QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Select 3D Model"));
        QCOMPARE(tDialogs.requests.first().filter, QStringLiteral("3D Models (*.stl *.gcode)"));
        QCOMPARE(tDialogs.requests.first().directory, QDir::homePath());
        kvPrinterFile *tFile = tWindow.printerFile();
        QVERIFY(tFile);

        // Cancelled: the model and its file stay.
        child<QAction>(tWindow, "fileMenuLoadModel")->trigger();
        QCOMPARE(tWindow.printerFile(), tFile);
        QCOMPARE(tWindow.glWindow()->glModels().size(), 1);
    }

    void savedPartMatchesTheShownPart()
    {
        KvTest::DialogRecorder tDialogs;
        QTemporaryDir tDir;
        const QString tPath = tDir.filePath(QStringLiteral("box.stl"));
        QVERIFY(writeBoxSTL(tPath, QVector3D(10, 20, 40)));
        kvMainWindow tWindow;
        tWindow.loadModel(tPath);
        kvGLModel *tModel = tWindow.glWindow()->glModels().first();
        // Two angles typed in the main window, the scale typed in the inspector.
        QTest::keyClicks(child<QLineEdit>(tWindow, "leXRot"), QStringLiteral("\b\b\b30"));
        QTest::keyClicks(child<QLineEdit>(tWindow, "leZRot"), QStringLiteral("\b\b\b90"));
        QCOMPARE(tModel->userRotation(), kvVector3D(30, 0, 90));
        kvDebugWindow tInspector;
        tInspector.initializeWidget(tWindow.glWindow());
        auto *tSpin = tInspector.findChild<QDoubleSpinBox *>(QStringLiteral("modelScaleSpinBox"));
        tSpin->selectAll();
        QTest::keyClicks(tSpin, QStringLiteral("1.50"));
        QCOMPARE(tModel->scale(), 1.5f);
        // One scale: the main window shows the one the part has.
        QCOMPARE(child<QDoubleSpinBox>(tWindow, "sbScale")->value(), 1.5);

        child<QAction>(tWindow, "fileMenuSaveSTL")->trigger();
        const kvBoundingBox tWritten = stlBox(tWindow.printerFile()->tempSTLFileName());
        QVERIFY(!tWritten.isEmpty());
        // The view turns the mesh's Z up into its Y: (x, y, z) shows at (x, z, -y), then
        // moved by the landing and centring.
        const kvBoundingBox tShown = tModel->placedBox();
        const kvVector3D tOffset = tModel->translation().add(tModel->userTranslation());
        const QVector3D tMin(
            tWritten.minPoint().x(), tWritten.minPoint().z(), -tWritten.maxPoint().y());
        const QVector3D tMax(
            tWritten.maxPoint().x(), tWritten.maxPoint().z(), -tWritten.minPoint().y());
        const QVector3D tShownMin = tShown.minPoint() - QVector3D(tOffset);
        const QVector3D tShownMax = tShown.maxPoint() - QVector3D(tOffset);
        QVERIFY2((tMin - tShownMin).length() < 1e-3f && (tMax - tShownMax).length() < 1e-3f,
            qPrintable(QString("written %1 %2 %3 .. %4 %5 %6, shown %7 %8 %9 .. %10 %11 %12")
                           .arg(tMin.x())
                           .arg(tMin.y())
                           .arg(tMin.z())
                           .arg(tMax.x())
                           .arg(tMax.y())
                           .arg(tMax.z())
                           .arg(tShownMin.x())
                           .arg(tShownMin.y())
                           .arg(tShownMin.z())
                           .arg(tShownMax.x())
                           .arg(tShownMax.y())
                           .arg(tShownMax.z())));
    }

    void clearThenSave()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        QSignalSpy tSaved(tWindow.printerFile(), &kvPrinterFile::SaveFileProgress);
        child<QAction>(tWindow, "fileMenuSaveSTL")->trigger();
        QVERIFY(!tSaved.isEmpty());
        QVERIFY(QFile::exists(tWindow.printerFile()->tempSTLFileName()));

        child<QAction>(tWindow, "fileMenuClearModel")->trigger();
        QVERIFY(!tWindow.printerFile());
        QVERIFY(tWindow.glWindow()->glModels().isEmpty());
        QVERIFY(child<QLabel>(tWindow, "printerFileLabel")->text().isEmpty());
        child<QAction>(tWindow, "fileMenuSaveSTL")->trigger();
        QMetaObject::invokeMethod(child<QWidget>(tWindow, "tbCenter"), "click");
        QMetaObject::invokeMethod(child<QWidget>(tWindow, "landModelButton"), "click");
        QVERIFY(!tWindow.printerFile());
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void loadWarningsStayInTheStatusLine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("warning");
        QByteArray tShort = fileBytes(KvTest::dataPath(QStringLiteral("cube-binary.stl")));
        char tCount[4];
        qToLittleEndian<qint32>(1000, tCount);
        tShort.replace(80, 4, tCount, 4);
        QTest::newRow("binary count beyond its facets")
            << QStringLiteral("short.stl") << tShort
            << QStringLiteral("File is truncated: 12 of 1000 facets present.");
        QTest::newRow("ascii non-finite corner")
            << QStringLiteral("nan.stl")
            << "solid part\n" + OneFacet
                + QByteArray(OneFacet).replace("vertex 1 0 0", "vertex nan 0 0") + "endsolid part\n"
            << QStringLiteral("1 facets with coordinates that are not finite numbers dropped.");
    }

    // The part loads, and what went wrong stays in the status line.
    void loadWarningsStayInTheStatusLine()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, warning);
        QTemporaryDir tDir;
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        const QString tPath = writeFile(tDir, name, content);
        loadThroughMenu(tWindow, tDialogs, tPath);
        QVERIFY(tWindow.printerFile());
        QCOMPARE(child<QLabel>(tWindow, "printerFileLabel")->text(), tPath);
        QVERIFY(!tWindow.glWindow()->glModels().first()->model().triangles().isEmpty());
        QVERIFY2(tWindow.statusMessage().contains(warning), qPrintable(tWindow.statusMessage()));
    }

    void notGCodeIsRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QByteArray tJunk(4096, '\0');
        QRandomGenerator(16).fillRange(reinterpret_cast<quint32 *>(tJunk.data()), 1024);
        QTest::newRow("random bytes")
            << tJunk << QStringLiteral("it is not G-code text (it holds NUL bytes)");
        QTest::newRow("notes without a command")
            << QByteArray("Print this one on Monday.\nUse the blue filament.\n")
            << QStringLiteral("it is not G-code text (it holds no G, M or T command)");
        QTest::newRow("slicer output with odd comments")
            << QByteArray("; generated by Slic3r 1.2.9 on 2026-12-10 at 21:30:02\n"
                          "; thumbnail begin 16x16 88\n; iVBORw0KGgoAAAANSUhEUgAAABAAAAAQ\n"
                          "; thumbnail end\n(Cura-style remark) \xe9\xfc\r\n"
                          "M107\r\nN10 G28*18\n  g1 x10 y10 e1 ; indented, lower case\nT0\n")
            << QString();
    }

    // A file named .gcode that is not G-code text is refused; what was loaded stays, so
    // Print can never stream it.
    void notGCodeIsRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir tDir;
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        const QString tGood = KvTest::dataPath(QStringLiteral("cube10.stl"));
        loadThroughMenu(tWindow, tDialogs, tGood);
        kvPrinterFile *tFirst = tWindow.printerFile();
        QVERIFY(tFirst);

        const QString tPath = writeFile(tDir, QStringLiteral("junk.gcode"), content);
        loadThroughMenu(tWindow, tDialogs, tPath);
        QCOMPARE(tDialogs.requests.size(), 2);
        if (reason.isEmpty()) {
            QVERIFY(tWindow.printerFile());
            QCOMPARE(tWindow.printerFile()->fileName(), tPath);
            QCOMPARE(tWindow.printerFile()->fileType(), Kv::Defines::FileTypeGCode);
            // The remark, four commands and the three closing lines.
            QCOMPARE(tWindow.printerFile()->GCodeQueueCount(), 8);
            return;
        }
        QCOMPARE(tWindow.printerFile(), tFirst);
        QCOMPARE(tFirst->fileName(), tGood);
        QCOMPARE(child<QLabel>(tWindow, "printerFileLabel")->text(), tGood);
        QCOMPARE(tWindow.statusMessage(),
            QStringLiteral("Cannot load ") + tPath + QStringLiteral(": ") + reason
                + QStringLiteral("."));
    }

    void saveSTLWritesOnlyFiniteNumbers_data()
    {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<bool>("saved");
        QTest::newRow("as loaded") << QStringLiteral("1") << true;
        QTest::newRow("scaled past the largest float") << QStringLiteral("100") << false;
    }

    // A part near 3e36 scaled by 100 would be written with "inf" corners: Save STL refuses
    // it and says why; a saved part's status names the file.
    void saveSTLWritesOnlyFiniteNumbers()
    {
        QFETCH(QString, scale);
        QFETCH(bool, saved);
        QTemporaryDir tDir;
        QByteArray tFar = "solid far\n";
        for (const char *tX : {"3.5e36", "3.6e36"}) {
            tFar += QByteArray(OneFacet)
                        .replace("vertex 0 0 0", QByteArray("vertex ") + tX + " 0 0")
                        .replace("vertex 1 0 0", QByteArray("vertex ") + tX + " 1 0")
                        .replace("vertex 0 1 0", QByteArray("vertex ") + tX + " 0 1");
        }
        tFar += "endsolid far\n";
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        loadThroughMenu(tWindow, tDialogs, writeFile(tDir, QStringLiteral("far.stl"), tFar));
        QVERIFY(tWindow.printerFile());
        auto *tScale = child<QDoubleSpinBox>(tWindow, "sbScale");
        tScale->selectAll();
        QTest::keyClicks(tScale, scale);
        QCOMPARE(tScale->value(), scale.toDouble());

        const QString tTemp = Kv::Platform::appDataLocation() + QStringLiteral("/Kestrova.stl");
        QFile::remove(tTemp);
        child<QAction>(tWindow, "fileMenuSaveSTL")->trigger();
        // Save STL asks nothing: the only dialog was the load's.
        QCOMPARE(tDialogs.requests.size(), 1);
        const QByteArray tWritten = fileBytes(tTemp);
        QVERIFY(!tWritten.contains("inf") && !tWritten.contains("nan"));
        if (saved) {
            QCOMPARE(tWritten.count("endfacet\n"), 2);
            QCOMPARE(tWindow.statusMessage(),
                QStringLiteral("kvPrinterFile::saveFile: Saved the temporary STL file ")
                    + QDir::toNativeSeparators(tTemp) + QStringLiteral("."));
        } else {
            QVERIFY(!QFile::exists(tTemp));
            QCOMPARE(tWindow.statusMessage(),
                QStringLiteral("kvPrinterFile::saveFile: The part is too large to save at scale "
                               "100: its coordinates would not be finite numbers. Nothing was "
                               "saved."));
        }
    }

    void printerCommandsNeedAPrinter_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString tNoPrinter = QStringLiteral(
            "No 3D printer has been slected. Please select a 3D printer from the 3D printer drop "
            "down list.");
        QTest::newRow("print") << "fileMenuPrint"
                               << "Printer" << tNoPrinter;
        QTest::newRow("printer config") << "toolsMenuPrinterConfig"
                                        << "Printer" << tNoPrinter;
        QTest::newRow("z offset") << "toolsMenuZOffsetCalibration"
                                  << "Printer" << tNoPrinter;
        QTest::newRow("extrude") << "extrude10mm"
                                 << "Printer" << tNoPrinter;
        QTest::newRow("retract") << "retract1mm"
                                 << "Printer" << tNoPrinter;
        QTest::newRow("slicer profiles")
            << "optionsMenuSlicerOptions"
            << "Print"
            << "No 3D model file has been loaded, please load a file first.";
    }
    void printerCommandsNeedAPrinter()
    {
        QFETCH(QString, action);
        QFETCH(QString, title);
        QFETCH(QString, text);
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        tWindow.findChild<QAction *>(action)->trigger();
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().title, title);
        QCOMPARE(tDialogs.requests.first().text, text);
        QVERIFY(!tDialogs.requests.first().parent);
    }

    void logCreatedOnce()
    {
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        auto *tCreate = child<QAction>(tWindow, "optionsMenuLogCreate");
        tCreate->trigger();
        QVERIFY(tWindow.logger()->isCreated());
        const QString tName = tWindow.logger()->fileName();
        tCreate->trigger();
        QCOMPARE(tWindow.logger()->fileName(), tName);
        QVERIFY(tCreate->isChecked());
    }

    void openingFailureIsShown_data()
    {
        QTest::addColumn<QString>("action");
        // "": the dialog seam answers with "opened"; "missing": no xdg-open on the PATH;
        // else what a stand-in xdg-open does after noting its argument.
        QTest::addColumn<QString>("opener");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("problem"); // in the status when nothing opened it
        const QString tLogs = QStringLiteral("optionsMenuLogView");
        const QString tHelp = QStringLiteral("helpMenuPrinterHelp");
        const QString tNothing = QStringLiteral(": no program on this desktop opened it. ");
        const QString tFails = QStringLiteral(": xdg-open ended with exit status 3. ");
        QTest::newRow("log folder, no opener") << tLogs << QString() << false << tNothing;
        QTest::newRow("log folder, opened") << tLogs << QString() << true << QString();
        QTest::newRow("printer help, no opener") << tHelp << QString() << false << tNothing;
        QTest::newRow("printer help, opened") << tHelp << QString() << true << QString();
        const QString tMissing = QStringLiteral("missing");
        const QString tNoMethod
            = QStringLiteral("echo 'xdg-open: no method available' >&2; exit 3");
        const QString tOpens = QStringLiteral("exit 0");
        QTest::newRow("log folder, xdg-open missing") << tLogs << tMissing << false << tNothing;
        QTest::newRow("log folder, xdg-open exits 3") << tLogs << tNoMethod << false << tFails;
        QTest::newRow("log folder, xdg-open opens it") << tLogs << tOpens << true << QString();
        QTest::newRow("printer help, xdg-open missing") << tHelp << tMissing << false << tNothing;
        QTest::newRow("printer help, xdg-open exits 3") << tHelp << tNoMethod << false << tFails;
        QTest::newRow("printer help, xdg-open opens it") << tHelp << tOpens << true << QString();
    }
    void openingFailureIsShown()
    {
        QFETCH(QString, action);
        QFETCH(QString, opener);
        QFETCH(bool, opened);
        QFETCH(QString, problem);
        const QString tExpected = action == QLatin1String("optionsMenuLogView")
            ? QDir(QStandardPaths::writableLocation(QStandardPaths::DataLocation)).absolutePath()
            : QString();
        QString tTarget; // what the user can open by hand: the folder's path, or the address
        QString tStatus;
        if (opener.isEmpty()) {
            KvTest::DialogRecorder tDialogs;
            tDialogs.answers << opened;
            kvMainWindow tWindow;
            tWindow.findChild<QAction *>(action)->trigger();
            QCOMPARE(tDialogs.requests.size(), 1);
            QCOMPARE(tDialogs.requests.first().kind, kvDialogs::OpenUrl);
            const QUrl tUrl(tDialogs.requests.first().text);
            tTarget = tUrl.isLocalFile() ? tUrl.toLocalFile() : tUrl.toString();
            tStatus = tWindow.statusMessage();
        } else {
            // The real opener, without the dialog seam: the stand-in is the only xdg-open.
            QTemporaryDir tBin;
            const QString tOpener = tBin.filePath(QStringLiteral("xdg-open"));
            if (opener != QLatin1String("missing"))
                QVERIFY(!KvTest::writeProgram(tBin, QStringLiteral("xdg-open"),
                    "printf '%s' \"$1\" > \"$0-argument\"\n" + opener.toUtf8() + "\n")
                             .isEmpty());
            const QByteArray tPath = qgetenv("PATH");
            kvMainWindow tWindow;
            qputenv("PATH", QFile::encodeName(tBin.path()));
            tWindow.findChild<QAction *>(action)->trigger();
            qputenv("PATH", tPath);
            const auto tRunning = [&] {
                for (const QProcess *tProcess : qApp->findChildren<QProcess *>())
                    if (tProcess->program() == tOpener)
                        return true;
                return false;
            };
            QTRY_VERIFY_WITH_TIMEOUT(!tRunning(), 10000);
            QCoreApplication::processEvents();
            tStatus = tWindow.statusMessage();
            if (opener == QLatin1String("missing")) {
                tTarget = tExpected.isEmpty() ? QStringLiteral("https://") : tExpected;
            } else {
                tTarget
                    = QString::fromUtf8(KvTest::readFile(tOpener + QStringLiteral("-argument")));
                QVERIFY2(!tTarget.isEmpty(), "the opener was not started");
            }
        }
        if (action == QLatin1String("optionsMenuLogView"))
            QCOMPARE(QDir(tTarget).absolutePath(), tExpected);
        else
            QVERIFY2(tTarget.startsWith(QStringLiteral("http")), qPrintable(tTarget));
        if (opened) {
            QCOMPARE(tStatus, QStringLiteral("No printer selected."));
        } else {
            QVERIFY2(tStatus.startsWith(QStringLiteral("Cannot open ")), qPrintable(tStatus));
            QVERIFY2(tStatus.contains(QDir::toNativeSeparators(tTarget)), qPrintable(tStatus));
            QVERIFY2(tStatus.contains(problem), qPrintable(tStatus));
        }
    }

    void openerEndingAfterTheWindow()
    {
        // A stand-in xdg-open that fails once the test lets it, after the window is gone.
        QTemporaryDir tBin;
        const QString tOpener = tBin.filePath(QStringLiteral("xdg-open"));
        QVERIFY(!KvTest::writeProgram(tBin, QStringLiteral("xdg-open"),
            "while [ ! -e \"$0-go\" ]; do /bin/sleep 0.02; done\nexit 3\n")
                     .isEmpty());
        const auto tRunning = [&] {
            for (const QProcess *tProcess : qApp->findChildren<QProcess *>())
                if (tProcess->program() == tOpener)
                    return true;
            return false;
        };
        const QByteArray tPath = qgetenv("PATH");
        {
            kvMainWindow tWindow;
            qputenv("PATH", QFile::encodeName(tBin.path()));
            tWindow.findChild<QAction *>(QStringLiteral("helpMenuPrinterHelp"))->trigger();
            qputenv("PATH", tPath);
            QVERIFY(tRunning());
        }
        QVERIFY(tRunning());
        QVERIFY(!KvTest::writeFile(tBin, QStringLiteral("xdg-open-go"), QByteArray()).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!tRunning(), 10000);
    }

    void placementMarksForSlicing_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("sliced");
        QTest::newRow("centre") << 0 << false;
        QTest::newRow("land") << 1 << false;
        QTest::newRow("rotation typed") << 2 << false;
        QTest::newRow("scale stepped") << 3 << false;
        QTest::newRow("quality chosen") << 4 << false;
        QTest::newRow("filament chosen") << 5 << true;
    }
    void placementMarksForSlicing()
    {
        QFETCH(int, change);
        QFETCH(bool, sliced);
        KvTest::DialogRecorder tDialogs;
        QTemporaryDir tDir;
        // A slicer that writes a small G-code file where it is told to (-o).
        const QString tSlicer = KvTest::writeProgram(
            tDir, QStringLiteral("slic3r"), "printf 'G21\\nG1 X1\\n' > \"$4\"\n");
        const QString tOld = Kv::Paths::Slic3rExe;
        Kv::Paths::Slic3rExe = tSlicer;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(QTest::qWaitForWindowExposed(&tWindow));
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        Kv::Paths::Slic3rExe = tOld;
        kvPrinterFile *tFile = tWindow.printerFile();
        kvGLModel *tModel = tWindow.glWindow()->glModels().first();
        QSignalSpy tParsed(tFile, &kvPrinterFile::GCodeParseComplete);
        // No printer is chosen: its profiles are named here.
        tFile->slic3rConfig()->setPrinterIni(QStringLiteral("Halvarn 8x8.ini"));
        tFile->slic3rConfig()->setFilamentIni(QStringLiteral("Halvarn 1.75mm.ini"));
        tFile->sliceFile(kvVector3D(), tModel->model(), tModel->userTranslation(), 1.0f);
        QTRY_VERIFY2_WITH_TIMEOUT(!tParsed.isEmpty(), qPrintable(tWindow.statusMessage()), 10000);
        QVERIFY(tFile->isSliced());

        switch (change) {
        case 0:
            QTest::mouseClick(child<QWidget>(tWindow, "tbCenter"), Qt::LeftButton);
            break;
        case 1:
            QTest::mouseClick(child<QWidget>(tWindow, "landModelButton"), Qt::LeftButton);
            break;
        case 2:
            QTest::keyClicks(child<QLineEdit>(tWindow, "leYRot"), QStringLiteral("5"));
            break;
        case 3:
            QTest::keyClick(child<QWidget>(tWindow, "sbScale"), Qt::Key_Up);
            break;
        case 4:
            QTest::keyClick(child<QWidget>(tWindow, "qualityComboBox"), Qt::Key_Down);
            break;
        default:
            QTest::keyClick(child<QWidget>(tWindow, "filamentBox"), Qt::Key_Down);
            QCOMPARE(
                child<QComboBox>(tWindow, "filamentBox")->currentText(), QStringLiteral("PLA"));
            break;
        }
        QCOMPARE(tFile->isSliced(), sliced);
        QVERIFY(tDialogs.requests.isEmpty());
    }
};

KV_TEST_MAIN(tst_mainwindow)
#include "tst_mainwindow.moc"
