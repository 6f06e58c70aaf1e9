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
#include <QRegularExpression>
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

// A stand-in for the slicer's window: an executable shell script with the given body.
QString writeSlicer(const QTemporaryDir &pDir, const QByteArray &pBody)
{
    return KvTest::writeProgram(pDir, QStringLiteral("slic3r"), pBody);
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
        QCOMPARE(tNow, expected);
    }

    void slicerChooserShowsTheSlicer()
    {
        KvTest::DialogRecorder tDialogs;
        kvSliceOptions tDialog;
        QTest::mouseClick(tDialog.findChild<QPushButton *>(QStringLiteral("setSlic3rPathButton")),
            Qt::LeftButton);
        QCOMPARE(tDialogs.requests.size(), 1);
        const kvDialogs::Request tRequest = tDialogs.requests.first();
        QCOMPARE(tRequest.kind, kvDialogs::OpenFile);
        QVERIFY2(!tRequest.title.contains(QStringLiteral(".exe"), Qt::CaseInsensitive),
            qPrintable(tRequest.title));
        // The chooser lists what the first filter's patterns match; Debian's program is
        // /usr/bin/slic3r.
        const QString tFirst = tRequest.filter.split(QStringLiteral(";;")).first();
        const int tOpen = tFirst.lastIndexOf(QLatin1Char('('));
        QVERIFY(tOpen >= 0 && tFirst.endsWith(QLatin1Char(')')));
        const QStringList tPatterns
            = tFirst.mid(tOpen + 1, tFirst.size() - tOpen - 2).split(QLatin1Char(' '));
        const bool tShown = std::any_of(tPatterns.begin(), tPatterns.end(), [](const QString &p) {
            return QRegularExpression(QRegularExpression::wildcardToRegularExpression(p))
                .match(QStringLiteral("slic3r"))
                .hasMatch();
        });
        QVERIFY2(tShown, qPrintable(tFirst));
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
        const QString tProgram = writeSlicer(tDir, "echo \"$@\" > \"$0.args\"\nexec sleep 30\n");
        QVERIFY(!tProgram.isEmpty());
        const QString tOld = Kv::Paths::Slic3rExe;
        Kv::Paths::Slic3rExe = tProgram;
        KvTest::DialogRecorder tDialogs;
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
        // On the folder the profiles are installed in and listed from.
        const QByteArray tFolder = QDir::cleanPath(Kv::Paths::Slic3rAppData).toLocal8Bit();
        QTRY_COMPARE(
            tArguments(), QByteArray("--datadir ") + tFolder + " --no-plater --gui-mode expert");
        tProcess->kill();
        tProcess->waitForFinished();
        Kv::Paths::Slic3rExe = tOld;
    }

    void profileSavedInSlicerWindowIsListedAndSliced()
    {
        // Saves a print profile as the slicer's window does: in the folder it is given,
        // else in its own ~/.Slic3r.
        QTemporaryDir tDir;
        const QString tProgram = writeSlicer(tDir,
            "d=\"$HOME/.Slic3r\"\n"
            "[ \"$1\" = --datadir ] && d=\"$2\"\n"
            "mkdir -p \"$d/print\"\n"
            "sed 's/^layer_height = .*/layer_height = 0.07/' \"$d/print/Halvarn Low.ini\" "
            "> \"$d/print/Shop Fine.ini\" 2>/dev/null "
            "|| echo 'layer_height = 0.07' > \"$d/print/Shop Fine.ini\"\n");
        QVERIFY(!tProgram.isEmpty());
        const QString tOld = Kv::Paths::Slic3rExe;
        Kv::Paths::Slic3rExe = tProgram;
        KvTest::DialogRecorder tDialogs;
        kvSliceOptions tDialog;
        kvSlic3rConfig tConfig;
        tDialog.setConfig(&tConfig);
        QTest::mouseClick(
            tDialog.findChild<QPushButton *>(QStringLiteral("slic3rConfigButton")), Qt::LeftButton);
        Kv::Paths::Slic3rExe = tOld;
        QVERIFY(tDialog.slic3rProcess());
        QTRY_COMPARE(tDialog.slic3rProcess()->state(), QProcess::NotRunning);
        QVERIFY(tDialogs.requests.isEmpty());

        // The pointer coming back over the dialog lists it; chosen, the next slice uses it.
        QEvent tEnter(QEvent::Enter);
        static_cast<QObject &>(tDialog).event(&tEnter);
        QComboBox *tBox = box(tDialog, "printSettingsCombo");
        const int tIndex = tBox->findText(QStringLiteral("Shop Fine.ini"));
        QVERIFY2(tIndex >= 0, "the saved profile is not listed");
        tBox->setCurrentIndex(tIndex);
        emit tBox->textActivated(tBox->currentText());
        tDialog.updateConfig();
        QCOMPARE(tConfig.PrintIni(), QStringLiteral("Shop Fine.ini"));
        QVERIFY(!tConfig.toSlic3rString().isEmpty());
        QFile tMerged(kvSlic3rConfig::mergedFilePath());
        QVERIFY(tMerged.open(QIODevice::ReadOnly));
        QVERIFY(tMerged.readAll().contains("\nlayer_height = 0.07\n"));
        QFile::remove(Kv::Paths::Slic3rAppData + QStringLiteral("print/Shop Fine.ini"));
    }

    void slicerWindowEndingIsReported_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("notShown");
        QByteArray tManyLines = "echo \"Can't locate Wx.pm in @INC (you may need to install the "
                                "Wx module)\" >&2\n";
        for (int i = 2; i <= 20; ++i)
            tManyLines += "echo 'line " + QByteArray::number(i) + " of the trace' >&2\n";
        QTest::newRow("missing Perl module")
            << tManyLines + "exit 2\n"
            << QStringList {QStringLiteral("exit code 2"),
                   QStringLiteral("Can't locate Wx.pm in @INC (you may need to install the Wx "
                                  "module)"),
                   QStringLiteral("line 8 of the trace")}
            << QStringList {QStringLiteral("line 9 of the trace")};
        QTest::newRow("silent error")
            << QByteArray("exit 3\n")
            << QStringList {QStringLiteral("exit code 3"), QStringLiteral("printed nothing")}
            << QStringList();
        QTest::newRow("crash") << QByteArray("echo 'Segmentation fault'\nkill -SEGV $$\n")
                               << QStringList {QStringLiteral("crashed"),
                                      QStringLiteral("Segmentation fault")}
                               << QStringList();
        QTest::newRow("closed by the user")
            << QByteArray("echo 'Data directory: x'\nexit 0\n") << QStringList() << QStringList();
    }
    void slicerWindowEndingIsReported()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, notShown);
        QTemporaryDir tDir;
        const QString tProgram = writeSlicer(tDir, body);
        QVERIFY(!tProgram.isEmpty());
        const QString tOld = Kv::Paths::Slic3rExe;
        Kv::Paths::Slic3rExe = tProgram;
        KvTest::DialogRecorder tDialogs;
        kvSliceOptions tDialog;
        QTest::mouseClick(
            tDialog.findChild<QPushButton *>(QStringLiteral("slic3rConfigButton")), Qt::LeftButton);
        Kv::Paths::Slic3rExe = tOld;
        QVERIFY(tDialog.slic3rProcess());
        QTRY_COMPARE(tDialog.slic3rProcess()->state(), QProcess::NotRunning);
        if (shown.isEmpty()) {
            QVERIFY(tDialogs.requests.isEmpty());
            return;
        }
        QCOMPARE(tDialogs.requests.size(), 1);
        const kvDialogs::Request tRequest = tDialogs.requests.first();
        QCOMPARE(tRequest.kind, kvDialogs::Warning);
        QCOMPARE(tRequest.title, QStringLiteral("Open Slic3r"));
        for (const QString &tText : shown)
            QVERIFY2(tRequest.text.contains(tText), qPrintable(tRequest.text));
        for (const QString &tText : notShown)
            QVERIFY2(!tRequest.text.contains(tText), qPrintable(tRequest.text));
    }
};

KV_TEST_MAIN(tst_sliceoptions)
#include "tst_sliceoptions.moc"
