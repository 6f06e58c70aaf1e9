#include "kvDialogRecorder.h"
#include "kvGlobal.h"
#include "kvPaths.h"
#include "kvSlic3rConfig.h"
#include "kvSlic3rSetting.h"
#include "kvSliceOptions.h"
#include "kvStartup.h"
#include "kvTestSupport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {

QComboBox *box(kvSliceOptions &pDialog, const char *pName)
{
    return pDialog.findChild<QComboBox *>(QString::fromLatin1(pName));
}

// Counts how often the dialog refreshes from the configuration: each refresh rewrites
// the path line edit.
int refreshes(kvSliceOptions &pDialog, kvSlic3rConfig &pConfig)
{
    auto *tPath = pDialog.findChild<QLineEdit *>(QStringLiteral("slic3rPathText"));
    int tCount = 0;
    QObject::connect(tPath, &QLineEdit::textChanged, [&tCount] { ++tCount; });
    // Two programs, so that the shown path differs.
    pConfig.setPath(QStringLiteral("/bin/sh"));
    pConfig.setPath(QStringLiteral("/bin/ls"));
    QObject::disconnect(tPath, &QLineEdit::textChanged, nullptr, nullptr);
    return tCount;
}

} // namespace

class tst_sliceoptions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(Kv::Startup::prepare()); }
    void init() { Kv::Global::DeveloperMode = false; }

    void boxesFollowConfig()
    {
        kvSliceOptions tDialog;
        kvSlic3rConfig tConfig;
        QVERIFY(box(tDialog, "printSettingsCombo")->count() >= 3);
        tConfig.setPrintIni(QStringLiteral("Halvarn Medium.ini"));
        tConfig.setPrinterIni(QStringLiteral("Halvarn Tovra.ini"));
        tDialog.setConfig(&tConfig);
        QCOMPARE(box(tDialog, "printSettingsCombo")->currentText(),
            QStringLiteral("Halvarn Medium.ini"));
        QCOMPARE(box(tDialog, "printerSettingsCombo")->currentText(),
            QStringLiteral("Halvarn Tovra.ini"));
        tConfig.setPrintIni(QStringLiteral("Halvarn High.ini"));
        QCOMPARE(
            box(tDialog, "printSettingsCombo")->currentText(), QStringLiteral("Halvarn High.ini"));

        // A name the box does not list, or one in other letter case, keeps the entry.
        tConfig.setPrintIni(QStringLiteral("halvarn low.ini"));
        QCOMPARE(
            box(tDialog, "printSettingsCombo")->currentText(), QStringLiteral("Halvarn High.ini"));
        tConfig.setPrinterIni(QString());
        QCOMPARE(box(tDialog, "printerSettingsCombo")->currentText(),
            QStringLiteral("Halvarn Tovra.ini"));

        // updateConfig writes what the boxes show.
        tDialog.updateConfig();
        QCOMPARE(tConfig.PrintIni(), QStringLiteral("Halvarn High.ini"));
        QCOMPARE(tConfig.PrinterIni(), QStringLiteral("Halvarn Tovra.ini"));
        QCOMPARE(tConfig.FilamentIni(), box(tDialog, "filamentSettingsCombo")->currentText());
    }

    void oneConnection()
    {
        kvSliceOptions tDialog;
        kvSlic3rConfig tConfig;
        tDialog.setConfig(&tConfig);
        tDialog.setConfig(&tConfig);
        QEvent tEnter(QEvent::Enter);
        static_cast<QObject &>(tDialog).event(&tEnter);
        static_cast<QObject &>(tDialog).event(&tEnter);
        QCOMPARE(refreshes(tDialog, tConfig), 2);
    }

    void destroyedConfigIsForgotten()
    {
        kvSliceOptions tDialog;
        auto *tConfig = new kvSlic3rConfig;
        tDialog.setConfig(tConfig);
        delete tConfig;
        QVERIFY(!tDialog.config());
        tDialog.updateConfig();
        QEvent tEnter(QEvent::Enter);
        static_cast<QObject &>(tDialog).event(&tEnter);
    }

    void userChoiceSetsConfig()
    {
        kvSliceOptions tDialog;
        kvSlic3rConfig tConfig;
        tConfig.setFilamentIni(QStringLiteral("Halvarn 1.75mm.ini"));
        tDialog.setConfig(&tConfig);
        QComboBox *tBox = box(tDialog, "filamentSettingsCombo");
        const int tIndex = tBox->findText(QStringLiteral("Halvarn Tovra.ini"));
        QVERIFY(tIndex >= 0);
        tBox->setCurrentIndex(tIndex);
        QCOMPARE(tConfig.FilamentIni(), QStringLiteral("Halvarn 1.75mm.ini"));
        emit tBox->textActivated(tBox->currentText());
        QCOMPARE(tConfig.FilamentIni(), QStringLiteral("Halvarn Tovra.ini"));
    }

    void slicerPath_data()
    {
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("chosen") << QVariant(QStringLiteral("/opt/slicer/slic3r"))
                                << QStringLiteral("/opt/slicer/slic3r");
        QTest::newRow("cancelled keeps the path")
            << QVariant() << QStringLiteral("/usr/bin/slic3r");
    }
    void slicerPath()
    {
        QFETCH(QVariant, answer);
        QFETCH(QString, expected);
        KvTest::DialogRecorder tDialogs;
        tDialogs.answers << answer;
        const QString tOld = Kv::Paths::Slic3rExe;
        Kv::Paths::Slic3rExe = QStringLiteral("/usr/bin/slic3r");
        kvSliceOptions tDialog;
        tDialog.findChild<QPushButton *>(QStringLiteral("setSlic3rPathButton"))->click();
        const QString tNow = Kv::Paths::Slic3rExe;
        Kv::Paths::Slic3rExe = tOld;
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Select Slic3r.exe"));
        QCOMPARE(tNow, expected);
    }

    void shownPathIsTheSlicerRun()
    {
        // The configured bundle does not exist; the slicer on the PATH is what runs.
        const QString tOnPath = QStandardPaths::findExecutable(QStringLiteral("slic3r"));
        if (tOnPath.isEmpty())
            QSKIP("no slic3r on the PATH");
        kvSliceOptions tDialog;
        kvSlic3rConfig tConfig;
        tConfig.setPath(QStringLiteral("/nonexistent/Slic3r.app"));
        tDialog.setConfig(&tConfig);
        QCOMPARE(tDialog.findChild<QLineEdit *>(QStringLiteral("slic3rPathText"))->text(), tOnPath);
    }

    void openSlicerFailureIsShown()
    {
        KvTest::DialogRecorder tDialogs;
        const QString tOld = Kv::Paths::Slic3rExe;
        const QByteArray tOldEnv = qgetenv("PATH");
        QTemporaryDir tEmpty;
        Kv::Paths::Slic3rExe = QStringLiteral("/nonexistent/Slic3r.app");
        qputenv("PATH", tEmpty.path().toLocal8Bit());
        kvSliceOptions tDialog;
        QTest::mouseClick(
            tDialog.findChild<QPushButton *>(QStringLiteral("slic3rConfigButton")), Qt::LeftButton);
        Kv::Paths::Slic3rExe = tOld;
        qputenv("PATH", tOldEnv);
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests.first().title, QStringLiteral("Open Slic3r"));
        QVERIFY(tDialogs.requests.first().text.contains(QStringLiteral("/nonexistent/Slic3r.app")));
    }

    void developerPanel()
    {
        kvSliceOptions tDialog;
        auto *tGroup
            = tDialog.findChild<QGroupBox *>(QStringLiteral("installedSlic3rSettingsGroup"));
        tDialog.show();
        QVERIFY(!tGroup->isVisible());
        QVERIFY(tDialog.maximumHeight() >= 315);
        QVERIFY(tDialog.maximumHeight() < 750);

        Kv::Global::DeveloperMode = true;
        tDialog.setForDevMode();
        QVERIFY(tGroup->isVisible());
        QCOMPARE(tDialog.minimumHeight(), 750);
        QCOMPARE(tDialog.maximumHeight(), 750);

        auto *tTree
            = tDialog.findChild<QTreeWidget *>(QStringLiteral("installedSlic3rSettingsTree"));
        QCOMPARE(tTree->topLevelItemCount(), 3);
        int tRows = 0;
        for (int i = 0; i < tTree->topLevelItemCount(); ++i) {
            QTreeWidgetItem *tKind = tTree->topLevelItem(i);
            QVERIFY(tKind->isExpanded());
            tRows += tKind->childCount();
            for (int j = 0; j < tKind->childCount(); ++j) {
                QCOMPARE(tKind->child(j)->text(1), QStringLiteral("True"));
                QVERIFY(QFile::exists(tKind->child(j)->text(2)));
            }
        }
        QCOMPARE(tRows, 13);
    }

    void slicerWindowStartsOnce()
    {
        // A stand-in slicer that stays open until it is ended.
        QTemporaryDir tDir;
        const QString tProgram = KvTest::writeProgram(
            tDir, QStringLiteral("slic3r"), "echo \"$@\" > \"$0.args\"\nexec sleep 30\n");
        QVERIFY(!tProgram.isEmpty());
        const QString tOld = Kv::Paths::Slic3rExe;
        Kv::Paths::Slic3rExe = tProgram;
        kvSliceOptions tDialog;
        tDialog.openSlic3r();
        QProcess *tProcess = tDialog.slic3rProcess();
        QVERIFY(tProcess);
        QCOMPARE(tProcess->state(), QProcess::Running);
        const qint64 tPid = tProcess->processId();
        tDialog.openSlic3r();
        QCOMPARE(tDialog.slic3rProcess()->processId(), tPid);
        const auto tArguments = [&tProgram] {
            QFile tArgs(tProgram + QStringLiteral(".args"));
            return tArgs.open(QIODevice::ReadOnly) ? tArgs.readAll().trimmed() : QByteArray();
        };
        QTRY_COMPARE(tArguments(), QByteArray("--no-plater --gui-mode expert"));
        tProcess->kill();
        tProcess->waitForFinished();
        Kv::Paths::Slic3rExe = tOld;
    }
};

KV_TEST_MAIN(tst_sliceoptions)
#include "tst_sliceoptions.moc"
