#include "kvGlobal.h"
#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvTestSupport.h"

#include <QDir>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

class tst_paths : public QObject
{
    Q_OBJECT
private slots:
    void pathsAfterInitalize();
    void applicationDataIsKestrovaAppData();
    void globalInitalize();
    void pluginFolder_data();
    void pluginFolder();
    void pluginPathsKeepInstalledPlugins();
    void executablePathIsAbsolute();
    void osDescription();
};

void tst_paths::pathsAfterInitalize()
{
    Kv::Paths::Initalize();
    const QString tSep = QDir::separator();
    const QString tApp = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    const QString tData = QDir::toNativeSeparators(Kv::Platform::genericDataLocation());
    QVERIFY(!tData.isEmpty());
    QCOMPARE(Kv::Paths::KestrovaExe, tApp);
    QCOMPARE(Kv::Paths::Slic3rExe, tApp + tSep + "Slic3r.app");
    QCOMPARE(Kv::Paths::Slic3rAppData, tData + tSep + "Slic3r" + tSep);
    QCOMPARE(Kv::Paths::KestrovaAppData, tData + tSep + "Kestrova" + tSep);
}

void tst_paths::applicationDataIsKestrovaAppData()
{
    // The log folder and the slicing job's folder must be the same place.
    Kv::Paths::Initalize();
    QCOMPARE(QDir(Kv::Platform::appDataLocation()).absolutePath(),
        QDir(Kv::Paths::KestrovaAppData).absolutePath());
    QCOMPARE(Kv::Platform::genericDataLocation(),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

void tst_paths::globalInitalize()
{
    Kv::Global::Version = "x";
    Kv::Global::DeveloperMode = true;
    Kv::Global::Initalize();
    QCOMPARE(Kv::Global::Version, QString("1.2.3"));
    QCOMPARE(Kv::Global::DeveloperMode, false);

    Kv::Global::DeveloperMode = true;
    Kv::Global::Initalize();
    QCOMPARE(Kv::Global::Version, QString("1.2.3"));
    QCOMPARE(Kv::Global::DeveloperMode, false);
}

void tst_paths::pluginFolder_data()
{
    QTest::addColumn<bool>("withPlugins");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Plugins beside the executable's folder") << true << "A/B/Plugins";
    QTest::newRow("no Plugins folder") << false << "A/B";
}

void tst_paths::pluginFolder()
{
    QFETCH(bool, withPlugins);
    QFETCH(QString, expected);
    QTemporaryDir tRoot;
    QVERIFY(tRoot.isValid());
    QDir tDir(tRoot.path());
    QVERIFY(tDir.mkpath("A/B/C"));
    if (withPlugins)
        QVERIFY(tDir.mkpath("A/B/Plugins"));
    QFile tExe(tDir.filePath("A/B/C/program"));
    QVERIFY(tExe.open(QIODevice::WriteOnly));
    tExe.close();

    const QString tWanted = QDir(tDir.filePath(expected)).absolutePath();
    QCOMPARE(Kv::Platform::pluginFolder(tExe.fileName()), tWanted);
    QCOMPARE(Kv::Platform::pluginPaths(tExe.fileName()).first(), tWanted);

    // A relative executable path gives the same folder.
    const QString tOld = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tRoot.path()));
    const QString tRelative = Kv::Platform::pluginFolder("A/B/C/program");
    QDir::setCurrent(tOld);
    QCOMPARE(tRelative, tWanted);
}

void tst_paths::pluginPathsKeepInstalledPlugins()
{
    // Without the toolkit's own plug-ins the program finds no platform plug-in.
    const QString tInstalled
        = QDir(QLibraryInfo::location(QLibraryInfo::PluginsPath)).absolutePath();
    QVERIFY(QDir(tInstalled).exists());
    QTemporaryDir tRoot;
    const QStringList tPaths = Kv::Platform::pluginPaths(tRoot.path() + "/A/B/C/program");
    QCOMPARE(tPaths.size(), 2);
    QCOMPARE(tPaths.last(), tInstalled);
}

void tst_paths::executablePathIsAbsolute()
{
    const QString tPath = Kv::Platform::executablePath("bare-name");
    QVERIFY(QFileInfo(tPath).isAbsolute());
    QCOMPARE(QFileInfo(tPath).canonicalFilePath(),
        QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
}

void tst_paths::osDescription()
{
    QVERIFY(!Kv::Platform::osDescription().trimmed().isEmpty());
}

KV_TEST_MAIN(tst_paths)
#include "tst_paths.moc"
