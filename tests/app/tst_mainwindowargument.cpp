#include "kvDialogRecorder.h"
#include "kvGLWindow.h"
#include "kvMainWindow.h"
#include "kvPrinterFile.h"
#include "kvStartup.h"
#include "kvTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

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

// The program's own arguments: itself and one file; a test may name another file, or add
// a second one.
char *gArguments[4] = {nullptr, nullptr, nullptr, nullptr};
int gArgumentCount = 2;
QByteArray gArgument;
QByteArray gSecondArgument;

void setArgument(const QString &pPath)
{
    gArgument = QFile::encodeName(pPath);
    gArguments[1] = gArgument.data();
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
        setArgument(tPath);
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

    // Anything but exactly one argument is no file to load.
    void twoArgumentsLoadNothing()
    {
        setArgument(KvTest::dataPath(QStringLiteral("cube10.stl")));
        gSecondArgument = QFile::encodeName(KvTest::dataPath(QStringLiteral("cube-ascii.stl")));
        gArguments[2] = gSecondArgument.data();
        gArgumentCount = 3;
        const auto tRestore = qScopeGuard([] {
            gArgumentCount = 2;
            gArguments[2] = nullptr;
        });
        QCOMPARE(QCoreApplication::arguments().size(), 3);
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(!tWindow.printerFile());
        QVERIFY(tWindow.glWindow()->glModels().isEmpty());
        QVERIFY(!tWindow.statusMessage().startsWith(QStringLiteral("Cannot load")));
        QVERIFY(tDialogs.requests.isEmpty());
    }

    void argumentThatCannotBeLoadedIsReported_data()
    {
        QTest::addColumn<QString>("name"); // in a scratch folder
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing file")
            << QStringLiteral("missing.stl") << QStringLiteral("No such file or directory");
        QTest::newRow("a folder") << QStringLiteral("parts.stl")
                                  << QStringLiteral("it is a folder, not a regular file");
        // Never opened: a pipe would hold the window before it is ever drawn.
        QTest::newRow("a named pipe") << QStringLiteral(
            "pipe.stl") << QStringLiteral("it is a named pipe (FIFO), not a regular file");
        QTest::newRow("a socket") << QStringLiteral("socket.stl")
                                  << QStringLiteral("it is a socket, not a regular file");
        QTest::newRow("a device") << QStringLiteral("zero.stl")
                                  << QStringLiteral("it is a device, not a regular file");
    }
    void argumentThatCannotBeLoadedIsReported()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir tDir;
        QVERIFY(QDir(tDir.path()).mkdir(QStringLiteral("parts.stl")));
        const QString tPath = tDir.filePath(name);
        // Whoever opens the pipe is handed a whole part.
        const KvTest::NotAFile tPipe(QStringLiteral("pipe"),
            tDir.filePath(QStringLiteral("pipe.stl")),
            KvTest::readFile(KvTest::dataPath(QStringLiteral("cube-ascii.stl"))));
        const KvTest::NotAFile tSocket(
            QStringLiteral("socket"), tDir.filePath(QStringLiteral("socket.stl")), QByteArray());
        const KvTest::NotAFile tDevice(
            QStringLiteral("device"), tDir.filePath(QStringLiteral("zero.stl")), QByteArray());
        QVERIFY(tPipe.isMade() && tSocket.isMade() && tDevice.isMade());
        setArgument(tPath);
        QCOMPARE(QCoreApplication::arguments().at(1), tPath);

        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        showControls(tWindow);
        QVERIFY(!tWindow.printerFile());
        const QString tStatus = tWindow.statusMessage();
        QVERIFY2(tStatus.startsWith(QStringLiteral("Cannot load ") + tPath + QStringLiteral(": ")),
            qPrintable(tStatus));
        QVERIFY2(tStatus.endsWith(reason + QStringLiteral(".")), qPrintable(tStatus));
        QVERIFY(tDialogs.requests.isEmpty());
        QVERIFY(!tPipe.wasOpened());

        // The window keeps working: a file chosen afterwards loads.
        tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));
        QVERIFY(tWindow.printerFile());
    }
};

int main(int argc, char **argv)
{
    Q_UNUSED(argc)
    QByteArray tProgram(argv[0]);
    gArguments[0] = tProgram.data();
    setArgument(KvTest::dataPath(QStringLiteral("cube10.stl")));
    // The application reads its arguments from this array whenever it is asked for them.
    QApplication tApp(gArgumentCount, gArguments);
    KvTest::setUpApplication();
    tst_mainwindowargument tTest;
    // The test runner sees only the program name.
    return QTest::qExec(&tTest, QStringList {QString::fromLocal8Bit(tProgram)});
}

#include "tst_mainwindowargument.moc"
