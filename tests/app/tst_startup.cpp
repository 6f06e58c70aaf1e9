#include "kvApplication.h"
#include "kvDialogRecorder.h"
#include "kvMainWindow.h"
#include "kvPaths.h"
#include "kvPrinterFile.h"
#include "kvSlic3rSetting.h"
#include "kvStartup.h"
#include "kvTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QProcess>
#include <QTemporaryDir>

// The GL driver is built without frame pointers: a full unwind lets the leak check see
// its lifetime allocations as the driver's, which the suppressions cover.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

class tst_startup : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        kvMainWindow::setPortProvider([] { return QVector<kvMainWindow::PortInfo>(); });
    }
    void cleanup() { kvMainWindow::setPortProvider(nullptr); }

    void pluginFolder_data()
    {
        QTest::addColumn<bool>("withPlugins");
        QTest::newRow("Plugins beside the executable's folder") << true;
        QTest::newRow("no Plugins folder") << false;
    }
    void pluginFolder()
    {
        QFETCH(bool, withPlugins);
        QTemporaryDir tRoot;
        QVERIFY(QDir(tRoot.path()).mkpath(QStringLiteral("A/B/C")));
        if (withPlugins)
            QVERIFY(QDir(tRoot.path()).mkpath(QStringLiteral("A/B/Plugins")));
        const QString tExe = tRoot.filePath(QStringLiteral("A/B/C/program"));
        const QString tExpected = QDir(
            tRoot.filePath(withPlugins ? QStringLiteral("A/B/Plugins") : QStringLiteral("A/B")))
                                      .absolutePath();
        QCOMPARE(Kv::Platform::pluginFolder(tExe), tExpected);
        QCOMPARE(Kv::Platform::pluginPaths(tExe).first(), tExpected);
    }

    void prepareInstallsProfiles()
    {
        QVERIFY(Kv::Startup::prepare());
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Kestrova"));
        QVERIFY(QCoreApplication::organizationName().isEmpty());
        QVERIFY(QFile::exists(Kv::Paths::Slic3rAppData + QStringLiteral("print/Halvarn Low.ini")));
        for (const auto &tKind : kvSlic3rSetting::InstalledSlic3rSettings)
            for (const kvSlic3rSetting &tSetting : tKind)
                QVERIFY2(tSetting.Found(), qPrintable(tSetting.ResourceName()));
    }

    void prepareFailsWhenProfileFolderCannotBeMade()
    {
        // A data "folder" that is a plain file: no profile folder can be made below it.
        QTemporaryDir tDir;
        const QString tBlocker = tDir.filePath(QStringLiteral("blocker"));
        QFile tFile(tBlocker);
        QVERIFY(tFile.open(QIODevice::WriteOnly));
        tFile.close();
        const QByteArray tOld = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(tBlocker));
        const bool tResult = Kv::Startup::prepare();
        qputenv("XDG_DATA_HOME", tOld);
        Kv::Startup::prepare();
        QVERIFY(!tResult);
    }

    void failedStartUpIsShown_data()
    {
        QTest::addColumn<QString>("file"); // made a plain file, below the scratch folder
        QTest::addColumn<QString>("dataFolder"); // the data folder, below the scratch folder
        QTest::addColumn<QString>("named"); // the folder the message names
        QTest::newRow("data folder is a file")
            << QStringLiteral("blocker") << QStringLiteral("blocker")
            << QStringLiteral("blocker/Slic3r");
        QTest::newRow("slicer folder is a file")
            << QStringLiteral("data/Slic3r") << QStringLiteral("data")
            << QStringLiteral("data/Slic3r");
        QTest::newRow("a profile kind folder is a file")
            << QStringLiteral("data/Slic3r/print") << QStringLiteral("data")
            << QStringLiteral("data/Slic3r/print");
        QTest::newRow("a file three levels above the slicer folder") << QStringLiteral(
            "blocker") << QStringLiteral("blocker/a/b") << QStringLiteral("blocker/a/b/Slic3r");
    }
    void failedStartUpIsShown()
    {
        QFETCH(QString, file);
        QFETCH(QString, dataFolder);
        QFETCH(QString, named);
        QTemporaryDir tDir;
        const QString tData = tDir.filePath(dataFolder);
        const QString tBlocker = tDir.filePath(file);
        QVERIFY(QDir().mkpath(QFileInfo(tBlocker).absolutePath()));
        QFile tFile(tBlocker);
        QVERIFY(tFile.open(QIODevice::WriteOnly));
        tFile.close();

        int tProbes = 0;
        kvMainWindow::setPortProvider([&tProbes] {
            ++tProbes;
            return QVector<kvMainWindow::PortInfo>();
        });
        KvTest::DialogRecorder tDialogs;
        const QByteArray tOld = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(tData));
        const int tCode = Kv::Startup::run(*static_cast<kvApplication *>(qApp));
        qputenv("XDG_DATA_HOME", tOld);
        QVERIFY(Kv::Startup::prepare());

        QCOMPARE(tCode, 1);
        QCOMPARE(tProbes, 0); // no main window was made
        QCOMPARE(tDialogs.requests.size(), 1);
        const kvDialogs::Request tRequest = tDialogs.requests.first();
        QCOMPARE(tRequest.kind, kvDialogs::Critical);
        QVERIFY2(tRequest.text.contains(tDir.filePath(named) + QStringLiteral(" cannot be made")),
            qPrintable(tRequest.text));
        QVERIFY2(tRequest.text.contains(tBlocker + QStringLiteral(" is a file, not a folder")),
            qPrintable(tRequest.text));
    }

    void runScriptKeepsTheCallersPaths()
    {
        // The run script in a checkout whose installing and building do nothing, and whose
        // program shows the file it is given.
        QTemporaryDir tDir;
        const QDir tRoot(tDir.path());
        QVERIFY(tRoot.mkpath(QStringLiteral("checkout/scripts")));
        QVERIFY(tRoot.mkpath(QStringLiteral("checkout/build")));
        QVERIFY(tRoot.mkpath(QStringLiteral("bin")));
        QVERIFY(tRoot.mkpath(QStringLiteral("caller")));
        QVERIFY(QFile::copy(QStringLiteral(KV_SOURCE_DIR "/scripts/run.sh"),
            tRoot.filePath(QStringLiteral("checkout/scripts/run.sh"))));
        QVERIFY(!KvTest::writeProgram(
            tDir, QStringLiteral("checkout/scripts/install-deps.sh"), "exit 0\n")
                     .isEmpty());
        QVERIFY(!KvTest::writeProgram(tDir, QStringLiteral("bin/cmake"), "exit 0\n").isEmpty());
        QVERIFY(!KvTest::writeProgram(
            tDir, QStringLiteral("checkout/build/Kestrova"), "cat -- \"$1\" > \"$0.seen\"\n")
                     .isEmpty());
        QVERIFY(!KvTest::writeFile(tDir, QStringLiteral("caller/part.stl"), "the caller's part\n")
                     .isEmpty());

        QProcess tRun;
        tRun.setWorkingDirectory(tRoot.filePath(QStringLiteral("caller")));
        QProcessEnvironment tEnvironment = QProcessEnvironment::systemEnvironment();
        tEnvironment.insert(QStringLiteral("PATH"),
            tRoot.filePath(QStringLiteral("bin")) + QLatin1Char(':')
                + tEnvironment.value(QStringLiteral("PATH")));
        tRun.setProcessEnvironment(tEnvironment);
        tRun.start(QStringLiteral("bash"),
            {QStringLiteral("../checkout/scripts/run.sh"), QStringLiteral("part.stl")});
        QVERIFY(tRun.waitForFinished(30000));
        QCOMPARE(tRun.exitCode(), 0);
        QFile tSeen(tRoot.filePath(QStringLiteral("checkout/build/Kestrova.seen")));
        QVERIFY(tSeen.open(QIODevice::ReadOnly));
        QCOMPARE(tSeen.readAll(), QByteArray("the caller's part\n"));
    }

    void fileOpenLoadsModel()
    {
        QVERIFY(Kv::Startup::prepare());
        auto *tApp = static_cast<kvApplication *>(QCoreApplication::instance());
        KvTest::DialogRecorder tDialogs;
        kvMainWindow tWindow;
        const QString tPath = KvTest::dataPath(QStringLiteral("cube-ascii.stl"));

        // Before a window is set the request is the framework's.
        QFileOpenEvent tEarly(tPath);
        tApp->event(&tEarly);
        QVERIFY(!tWindow.printerFile());

        tApp->setMainWindow(&tWindow);
        QFileOpenEvent tEvent(tPath);
        QVERIFY(tApp->event(&tEvent));
        QVERIFY(tWindow.printerFile());
        QCOMPARE(tWindow.printerFile()->fileName(), tPath);

        // Other events go on to the framework unchanged.
        QEvent tOther(QEvent::LanguageChange);
        tApp->event(&tOther);
        QCOMPARE(tWindow.printerFile()->fileName(), tPath);
        tApp->setMainWindow(nullptr);
    }
};

int main(int argc, char **argv)
{
    kvApplication tApp(argc, argv);
    KvTest::setUpApplication();
    tst_startup tTest;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tTest, argc, argv);
}

#include "tst_startup.moc"
