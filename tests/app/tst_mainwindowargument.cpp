#include "kvDialogRecorder.h"
#include "kvGLWindow.h"
#include "kvMainWindow.h"
#include "kvPrinterFile.h"
#include "kvStartup.h"
#include "kvTestSupport.h"

#include <QApplication>
#include <QLabel>

namespace {

// Shows the window with its 3D view left undrawn: these tests are about the controls, and
// the software GL's code generator deadlocks under the sanitizers' full unwind.
void showControls(kvMainWindow &pWindow)
{
    pWindow.glWindow()->hide();
    pWindow.show();
}

} // namespace

// The GL driver is built without frame pointers: a full unwind lets the leak check see
// its lifetime allocations as the driver's, which the suppressions cover.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

// The program started with one file as its argument: the window loads it when shown.
class tst_mainwindowargument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        kvMainWindow::setPortProvider([] { return QVector<kvMainWindow::PortInfo>(); });
        QVERIFY(Kv::Startup::prepare());
    }

    void argumentIsLoadedOnFirstShow()
    {
        const QString tPath = KvTest::dataPath(QStringLiteral("cube10.stl"));
        QCOMPARE(QCoreApplication::arguments().size(), 2);
        QCOMPARE(QCoreApplication::arguments().at(1), tPath);
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        QVERIFY(!tWindow.printerFile());
        showControls(tWindow);
        QVERIFY(tWindow.printerFile());
        QCOMPARE(tWindow.printerFile()->fileName(), tPath);
        QCOMPARE(tWindow.glWindow()->glModels().size(), 1);
        QCOMPARE(tWindow.findChild<QLabel *>(QStringLiteral("printerFileLabel"))->text(), tPath);

        // Shown again later (after a minimise): the user's own model stays.
        const QString tOther = KvTest::dataPath(QStringLiteral("cube-ascii.stl"));
        tWindow.loadModel(tOther);
        tWindow.hide();
        showControls(tWindow);
        QCOMPARE(tWindow.printerFile()->fileName(), tOther);
        QVERIFY(tDialogs.requests.isEmpty());
    }
};

int main(int argc, char **argv)
{
    // The program's own arguments: itself and one model file.
    QByteArray tProgram(argv[0]);
    QByteArray tFile = KvTest::dataPath(QStringLiteral("cube10.stl")).toLocal8Bit();
    char *tArgv[] = {tProgram.data(), tFile.data(), nullptr};
    int tArgc = 2;
    QApplication tApp(tArgc, tArgv);
    KvTest::setUpApplication();
    tst_mainwindowargument tTest;
    // The test runner sees only the program name.
    return QTest::qExec(&tTest, QStringList {QString::fromLocal8Bit(tProgram)});
}

#include "tst_mainwindowargument.moc"
