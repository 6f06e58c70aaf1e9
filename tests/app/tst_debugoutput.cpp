#include "kvDialogRecorder.h"
#include "kvGLWindow.h"
#include "kvMainWindow.h"
#include "kvModel.h"
#include "kvPaths.h"
#include "kvSliceOptions.h"
#include "kvStartup.h"
#include "kvTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Message
{
    QtMsgType type;
    QString category;
    QString text;
};

QVector<Message> Messages;

void record(QtMsgType pType, const QMessageLogContext &pContext, const QString &pText)
{
    Messages.append({pType, QString::fromLatin1(pContext.category), pText});
}

} // namespace

// What the program writes to the debug output in a first session: start-up with a fresh
// profile folder, loads, drags in the view and a start of the slicer's window.
class tst_debugoutput : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        kvMainWindow::setPortProvider([] { return QVector<kvMainWindow::PortInfo>(); });
    }
    void cleanup()
    {
        kvMainWindow::setPortProvider(nullptr);
        QLoggingCategory::setFilterRules(QString());
    }

    void quietUnlessSwitchedOn_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("nothing switched on") << QString() << QStringList();
        QTest::newRow("kv.view") << "kv.view"
                                 << QStringList {"void kvGLWindow::updateRulerShades()",
                                        "     m_paiting: false"};
        QTest::newRow("kv.printfile") << "kv.printfile" << QStringList {"File copy sucessful: "};
        QTest::newRow("kv.printer")
            << "kv.printer" << QStringList {"\"No such file or directory\""};
        QTest::newRow("kv.app") << "kv.app"
                                << QStringList {"void kvSliceOptions::onSlic3rProcessStarted()"};
    }
    void quietUnlessSwitchedOn()
    {
        QFETCH(QString, category);
        QFETCH(QStringList, expected);
        if (!category.isEmpty())
            QLoggingCategory::setFilterRules(category + QStringLiteral(".debug=true"));
        QTemporaryDir tDir;
        const QByteArray tOldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(tDir.filePath(QStringLiteral("data"))));
        const QString tOldSlicer = Kv::Paths::Slic3rExe;
        // A printer port that cannot be opened.
        kvMainWindow::setPortProvider([] {
            return QVector<kvMainWindow::PortInfo> {
                {QStringLiteral("/nonexistent/ttyACM0"), QStringLiteral("ttyACM0"), false}};
        });
        KvTest::DialogRecorder tDialogs;

        Messages.clear();
        const QtMessageHandler tPrevious = qInstallMessageHandler(record);
        const bool tPrepared = Kv::Startup::prepare();
        Kv::Paths::Slic3rExe
            = KvTest::writeProgram(tDir, QStringLiteral("slic3r"), "exec sleep 30\n");
        {
            kvMainWindow tWindow;
            tWindow.resize(1000, 650);
            tWindow.show();
            const bool tExposed = QTest::qWaitForWindowExposed(&tWindow);
            tWindow.loadModel(
                KvTest::writeFile(tDir, QStringLiteral("blank.gcode"), "G21\n\nG90\n"));
            tWindow.loadModel(KvTest::dataPath(QStringLiteral("cube10.stl")));

            // Drags in the view: the camera, then the part.
            kvGLWindow *tView = tWindow.glWindow();
            QWindow *tHandle = tWindow.windowHandle();
            const QPoint tCentre = tView->mapTo(&tWindow, tView->rect().center());
            for (const char *tTool : {"tbArcBall", "tbTranslate"}) {
                QTest::mouseClick(
                    tWindow.findChild<QWidget *>(QString::fromLatin1(tTool)), Qt::LeftButton);
                QTest::mousePress(tHandle, Qt::LeftButton, Qt::NoModifier, tCentre);
                for (int i = 1; i <= 5; ++i)
                    QTest::mouseMove(tHandle, tCentre + QPoint(4 * i, 2 * i));
                QTest::mouseRelease(
                    tHandle, Qt::LeftButton, Qt::NoModifier, tCentre + QPoint(20, 10));
            }
            QTest::mouseMove(tHandle, tCentre);

            // A warning stays on.
            tView->insertModel(-1, kvModel());

            tWindow.findChild<QAction *>(QStringLiteral("optionsMenuOpenSlic3r"))->trigger();
            QProcess *tSlicer = tWindow.sliceOptions()->slic3rProcess();
            const bool tStarted = tSlicer && tSlicer->state() == QProcess::Running;
            if (tSlicer) {
                tSlicer->kill();
                tSlicer->waitForFinished();
            }
            QCoreApplication::processEvents();
            qInstallMessageHandler(tPrevious);
            Kv::Paths::Slic3rExe = tOldSlicer;
            QVERIFY(tPrepared);
            QVERIFY(tExposed);
            QVERIFY(tStarted);
            QCOMPARE(tView->glModels().size(), 1);
        }
        qputenv("XDG_DATA_HOME", tOldData);

        QStringList tDebug;
        bool tWarned = false;
        for (const Message &tMessage : qAsConst(Messages)) {
            if (tMessage.type == QtWarningMsg
                && tMessage.text.contains(QStringLiteral("insertModel: index -1")))
                tWarned = tMessage.category == QLatin1String("kv.view");
            if (tMessage.type != QtDebugMsg && tMessage.type != QtInfoMsg)
                continue;
            // Only the category switched on speaks.
            QVERIFY2(tMessage.category == category,
                qPrintable(tMessage.category + QStringLiteral(": ") + tMessage.text));
            QVERIFY2(!tMessage.text.contains(QStringLiteral("//")), qPrintable(tMessage.text));
            tDebug << tMessage.text;
        }
        QVERIFY(tWarned);
        for (const QString &tLine : qAsConst(expected)) {
            QVERIFY2(std::any_of(tDebug.cbegin(), tDebug.cend(),
                         [&](const QString &pText) { return pText.startsWith(tLine); }),
                qPrintable(tLine + QStringLiteral(" not in:\n") + tDebug.join('\n')));
        }
        if (category == QLatin1String("kv.printfile"))
            QVERIFY2(tDebug.contains(QStringLiteral("File copy sucessful: \"")
                         + Kv::Paths::Slic3rAppData + QStringLiteral("print/Halvarn Low.ini\"")),
                qPrintable(tDebug.join('\n')));
        if (category.isEmpty())
            QVERIFY2(tDebug.isEmpty(), qPrintable(tDebug.join('\n')));
    }
};

int main(int argc, char **argv)
{
    // The rules of the run that started the test do not apply.
    qunsetenv("QT_LOGGING_RULES");
    QApplication tApp(argc, argv);
    KvTest::setUpApplication();
    tst_debugoutput tTest;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tTest, argc, argv);
}

#include "tst_debugoutput.moc"
