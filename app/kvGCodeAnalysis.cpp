#include "kvGCodeAnalysis.h"

#include "kvDialogs.h"
#include "kvHelpers.h"
#include "kvWindowFit.h"
#include "ui_kvGCodeAnalysis.h"

#include <QDir>
#include <QStringList>
#include <QTableWidgetItem>

namespace {

const char *const RowLabels[] = {
    "Parse Time",
    "Analyze Time",
    "Layer Height",
    "Vector",
    "Queue",
    "Comments",
    "Blanks",
    "X Moves",
    "Y Moves",
    "Z Moves",
    "G Commands",
    "M Commands",
    "T Commands",
    "Layers",
    "E Moves",
    "Filament Used (mm)",
    "Filament Used (cm3)",
};
constexpr int RowCount = int(sizeof(RowLabels) / sizeof(RowLabels[0]));

} // namespace

kvGCodeAnalysis::kvGCodeAnalysis(QWidget *pParent)
    : QDialog(pParent)
    , ui(new Ui::kvGCodeAnalysis)
{
    ui->setupUi(this);
    Kv::fitWhenShown(this);
    connect(
        ui->fileNameButton, &QPushButton::clicked, this, &kvGCodeAnalysis::onFileNameButtonClicked);
    connect(ui->gcodeAnalysisTestButton, &QPushButton::clicked, this,
        &kvGCodeAnalysis::onGCodeAnalysisTextClicked);

    QStringList tLabels;
    for (const char *tLabel : RowLabels)
        tLabels << QString::fromLatin1(tLabel);
    ui->analysisTableWidget->setColumnCount(1);
    ui->analysisTableWidget->setRowCount(RowCount);
    ui->analysisTableWidget->setVerticalHeaderLabels(tLabels);
}

kvGCodeAnalysis::~kvGCodeAnalysis()
{
    delete ui;
}

void kvGCodeAnalysis::setFileName(const QString &pFileName)
{
    m_FileName = pFileName;
    ui->fileNameText->setText(pFileName);

    m_gCodeFile.clear();
    m_gCodeFile.setFileName(pFileName);
    m_gCodeFile.parse();
    updateGCodeTextEdit();
    m_gCodeFile.analyze();
    updateGCodeAnalysis();
}

void kvGCodeAnalysis::updateGCodeTextEdit()
{
    // One paragraph per line; built in one piece so large files load quickly.
    const QVector<kvGCode> tLines = m_gCodeFile.vector();
    QString tText;
    for (int tIndex = 0; tIndex < tLines.size(); ++tIndex) {
        if (tIndex > 0)
            tText += QLatin1Char('\n');
        tText += tLines.at(tIndex).Raw();
    }
    ui->gCodeTextEdit->setPlainText(tText);
}

void kvGCodeAnalysis::updateGCodeAnalysis()
{
    const kvGCodeFile &tFile = m_gCodeFile;
    const QString tValues[RowCount] = {
        Kv::millisecondsToTime(tFile.parseTime()),
        Kv::millisecondsToTime(tFile.analyzeTime()),
        QString::number(double(tFile.layerHeight()), 'g', 6),
        QString::number(tFile.vector().size()),
        QString::number(tFile.queue().size()),
        QString::number(tFile.comments().size()),
        QString::number(tFile.blanks().size()),
        QString::number(tFile.xMoves().size()),
        QString::number(tFile.yMoves().size()),
        QString::number(tFile.zMoves().size()),
        QString::number(tFile.gCommands().size()),
        QString::number(tFile.mCommands().size()),
        QString::number(tFile.tCommands().size()),
        QString::number(tFile.layers().size()),
        QString::number(tFile.eMoves().size()),
        QString::number(double(tFile.filamentUsedMM()), 'f', 1),
        QString::number(double(tFile.filamentUsedCM3()), 'f', 1),
    };
    for (int tRow = 0; tRow < RowCount; ++tRow)
        ui->analysisTableWidget->setItem(tRow, 0, new QTableWidgetItem(tValues[tRow]));
}

void kvGCodeAnalysis::onFileNameButtonClicked()
{
    const QString tPath = kvDialogs::openFileName(QStringLiteral("Select GCode File"),
        QDir::homePath(), QStringLiteral("Slic3r.exe (*.gcode)"), this);
    setFileName(QDir::toNativeSeparators(tPath));
}

void kvGCodeAnalysis::onGCodeAnalysisTextClicked()
{
    setFileName(QDir::toNativeSeparators(QStringLiteral(":/GCodeAnalysis.gcode")));
}
