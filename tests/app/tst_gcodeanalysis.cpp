#include "kvDialogRecorder.h"
#include "kvGCodeAnalysis.h"
#include "kvTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

const QStringList RowLabels = {"Parse Time", "Analyze Time", "Layer Height", "Vector", "Queue",
    "Comments", "Blanks", "X Moves", "Y Moves", "Z Moves", "G Commands", "M Commands", "T Commands",
    "Layers", "E Moves", "Filament Used (mm)", "Filament Used (cm3)"};

// Row texts of the analysis table, from "Vector" down (the times vary).
QStringList figures(kvGCodeAnalysis &pDialog)
{
    auto *tTable = pDialog.findChild<QTableWidget *>(QStringLiteral("analysisTableWidget"));
    QStringList tTexts;
    for (int tRow = 2; tRow < tTable->rowCount(); ++tRow) {
        const QTableWidgetItem *tItem = tTable->item(tRow, 0);
        tTexts << (tItem ? tItem->text() : QStringLiteral("<none>"));
    }
    return tTexts;
}

QString cell(kvGCodeAnalysis &pDialog, int pRow)
{
    auto *tTable = pDialog.findChild<QTableWidget *>(QStringLiteral("analysisTableWidget"));
    const QTableWidgetItem *tItem = tTable->item(pRow, 0);
    return tItem ? tItem->text() : QString();
}

QPlainTextEdit *textView(kvGCodeAnalysis &pDialog)
{
    return pDialog.findChild<QPlainTextEdit *>(QStringLiteral("gCodeTextEdit"));
}

QString fileNameText(kvGCodeAnalysis &pDialog)
{
    return pDialog.findChild<QLineEdit *>(QStringLiteral("fileNameText"))->text();
}

void click(kvGCodeAnalysis &pDialog, const char *pButton)
{
    pDialog.findChild<QPushButton *>(QString::fromLatin1(pButton))->click();
}

// Layer height, then counts from Vector to E Moves, then both filament rows.
const QStringList SmallFigures
    = {"0", "7", "3", "2", "2", "1", "1", "1", "3", "1", "0", "0", "2", "0.0", "0.0"};
const QStringList ZeroFigures
    = {"0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0.0", "0.0"};

} // namespace

class tst_gcodeanalysis : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void emptyAtStart();
    void testButtonShowsEmbeddedFile();
    void sameFileTwiceSameCounts();
    void loadButtonAsksForAFile();
    void cancelledLoadShowsNothing();
    void missingFileShowsNothing();

private:
    QTemporaryDir m_dir;
    QString m_small;
};

void tst_gcodeanalysis::init()
{
    QVERIFY(m_dir.isValid());
    m_small = m_dir.filePath(QStringLiteral("small.gcode"));
    QFile tFile(m_small);
    QVERIFY(tFile.open(QIODevice::WriteOnly));
    tFile.write("; start\n\nG21\nG1 X10 Y20 E1.5\n\nM104 S200\nG1 Z0.3 E2\n");
}

void tst_gcodeanalysis::emptyAtStart()
{
    kvGCodeAnalysis tDialog;
    QCOMPARE(tDialog.windowTitle(), QStringLiteral("Dialog"));
    auto *tTable = tDialog.findChild<QTableWidget *>(QStringLiteral("analysisTableWidget"));
    QVERIFY(tTable);
    QCOMPARE(tTable->columnCount(), 1);
    QCOMPARE(tTable->rowCount(), RowLabels.size());
    for (int tRow = 0; tRow < RowLabels.size(); ++tRow) {
        QCOMPARE(tTable->verticalHeaderItem(tRow)->text(), RowLabels.at(tRow));
        QVERIFY(!tTable->item(tRow, 0));
    }
    auto *tTabs = tDialog.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QCOMPARE(tTabs->tabText(tTabs->currentIndex()), QStringLiteral("Analysis"));
    QCOMPARE(tTabs->tabText(1), QStringLiteral("GCode"));
    QVERIFY(textView(tDialog)->toPlainText().isEmpty());
    QVERIFY(tDialog.FileName().isEmpty());
}

void tst_gcodeanalysis::testButtonShowsEmbeddedFile()
{
    QFile tRaw(QStringLiteral(":/GCodeAnalysis.gcode"));
    QVERIFY(tRaw.open(QIODevice::ReadOnly | QIODevice::Text));
    QString tExpected = QString::fromUtf8(tRaw.readAll());
    if (tExpected.endsWith(QLatin1Char('\n')))
        tExpected.chop(1);

    {
        KvTest::DialogRecorder tRecorder;
        kvGCodeAnalysis tDialog;
        click(tDialog, "gcodeAnalysisTestButton");
        QVERIFY(tRecorder.requests.isEmpty());

        QCOMPARE(tDialog.FileName(), QStringLiteral(":/GCodeAnalysis.gcode"));
        QCOMPARE(fileNameText(tDialog), QStringLiteral(":/GCodeAnalysis.gcode"));
        QCOMPARE(textView(tDialog)->toPlainText(), tExpected);
        QCOMPARE(textView(tDialog)->blockCount(), tExpected.count(QLatin1Char('\n')) + 1);

        const int tVector = cell(tDialog, 3).toInt();
        QCOMPARE(tVector, textView(tDialog)->blockCount());
        QCOMPARE(cell(tDialog, 4).toInt() + cell(tDialog, 5).toInt() + cell(tDialog, 6).toInt(),
            tVector);
        QVERIFY(cell(tDialog, 10).toInt() > 0);
        QCOMPARE(cell(tDialog, 2), QStringLiteral("0"));
        QCOMPARE(cell(tDialog, 13), QStringLiteral("0"));
        QCOMPARE(cell(tDialog, 15), QStringLiteral("0.0"));
        QCOMPARE(cell(tDialog, 16), QStringLiteral("0.0"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d+:\\d\\d:\\d\\d$"))
                    .match(cell(tDialog, 0))
                    .hasMatch());
    }
}

void tst_gcodeanalysis::sameFileTwiceSameCounts()
{
    kvGCodeAnalysis tDialog;
    tDialog.setFileName(m_small);
    QCOMPARE(figures(tDialog), SmallFigures);
    tDialog.setFileName(m_small);
    QCOMPARE(figures(tDialog), SmallFigures);
    QCOMPARE(textView(tDialog)->blockCount(), 7);
}

void tst_gcodeanalysis::loadButtonAsksForAFile()
{
    KvTest::DialogRecorder tRecorder;
    tRecorder.answers << m_small;
    kvGCodeAnalysis tDialog;
    click(tDialog, "fileNameButton");

    QCOMPARE(tRecorder.requests.size(), 1);
    const kvDialogs::Request tRequest = tRecorder.requests.first();
    QCOMPARE(tRequest.kind, kvDialogs::OpenFile);
    QCOMPARE(tRequest.title, QStringLiteral("Select GCode File"));
    QCOMPARE(tRequest.filter, QStringLiteral("Slic3r.exe (*.gcode)"));
    QCOMPARE(tRequest.directory, QDir::homePath());

    QCOMPARE(tDialog.FileName(), QDir::toNativeSeparators(m_small));
    QCOMPARE(fileNameText(tDialog), QDir::toNativeSeparators(m_small));
    QCOMPARE(figures(tDialog), SmallFigures);
    QVERIFY(textView(tDialog)->toPlainText().startsWith(QStringLiteral("; start\n\nG21\n")));
}

void tst_gcodeanalysis::cancelledLoadShowsNothing()
{
    KvTest::DialogRecorder tRecorder;
    kvGCodeAnalysis tDialog;
    tDialog.setFileName(m_small);
    click(tDialog, "fileNameButton");

    QCOMPARE(tRecorder.requests.size(), 1);
    QVERIFY(tDialog.FileName().isEmpty());
    QVERIFY(fileNameText(tDialog).isEmpty());
    QVERIFY(textView(tDialog)->toPlainText().isEmpty());
    QCOMPARE(figures(tDialog), ZeroFigures);
}

void tst_gcodeanalysis::missingFileShowsNothing()
{
    KvTest::DialogRecorder tRecorder;
    kvGCodeAnalysis tDialog;
    tDialog.setFileName(m_small);
    const QString tMissing = m_dir.filePath(QStringLiteral("gone.gcode"));
    tDialog.setFileName(tMissing);

    QVERIFY(tRecorder.requests.isEmpty());
    QCOMPARE(fileNameText(tDialog), tMissing);
    QVERIFY(textView(tDialog)->toPlainText().isEmpty());
    QCOMPARE(figures(tDialog), ZeroFigures);
}

KV_TEST_MAIN(tst_gcodeanalysis)
#include "tst_gcodeanalysis.moc"
