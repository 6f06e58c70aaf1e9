#include "kvPrinterZOffsetCalibration.h"

#include "kvDialogs.h"
#include "kvLogging.h"
#include "kvWindowFit.h"
#include "kvZOffsetExamples.h"
#include "ui_kvPrinterZOffsetCalibration.h"

#include <QStringListModel>

#include <cmath>

namespace {

const int CurrentChoice = 5;

// Two decimals, never "-0.00".
QString offsetText(double pValue)
{
    double tValue = std::round(pValue * 100.0) / 100.0;
    if (tValue == 0.0) {
        tValue = 0.0;
    }
    return QString::number(tValue, 'f', 2);
}

} // namespace

kvPrinterZOffsetCalibration::kvPrinterZOffsetCalibration(QWidget *pParent)
    : QDialog(pParent)
    , m_ui(new Ui::kvPrinterZOffsetCalibration)
{
    m_ui->setupUi(this);
    Kv::fitWhenShown(this);
    Ui::kvPrinterZOffsetCalibration *tUi = m_ui;
    m_choices = {
        {tUi->newZOffsetValueNeg05, tUi->newZOffsetValueNeg05Label},
        {tUi->newZOffsetValueNeg04, tUi->newZOffsetValueNeg04Label},
        {tUi->newZOffsetValueNeg03, tUi->newZOffsetValueNeg03Label},
        {tUi->newZOffsetValueNeg02, tUi->newZOffsetValueNeg02Label},
        {tUi->newZOffsetValueNeg01, tUi->newZOffsetValueNeg01Label},
        {tUi->newZOffsetCurrent, tUi->newZOffsetCurrentLabel},
        {tUi->newZOffsetValuePos01, tUi->newZOffsetValuePos01Label},
        {tUi->newZOffsetValuePos02, tUi->newZOffsetValuePos02Label},
        {tUi->newZOffsetValuePos03, tUi->newZOffsetValuePos03Label},
        {tUi->newZOffsetValuePos04, tUi->newZOffsetValuePos04Label},
        {tUi->newZOffsetValuePos05, tUi->newZOffsetValuePos05Label},
    };

    connect(tUi->runCalibrationTestButton, &QPushButton::clicked, this,
        &kvPrinterZOffsetCalibration::onRunClibrationTestButtonClick);
    connect(tUi->example1Button, &QPushButton::clicked, this,
        &kvPrinterZOffsetCalibration::onExample1Clicked);
    for (const kvCheckBoxLabelStruct &tChoice : qAsConst(m_choices)) {
        connect(tChoice.checkBox, &QCheckBox::clicked, this,
            &kvPrinterZOffsetCalibration::onNewZOffsetCheckBoxClicked);
    }

    m_xList = new QStringListModel(this);
    m_yList = new QStringListModel(this);
    m_zList = new QStringListModel(this);
    tUi->xListView->setModel(m_xList);
    tUi->yListView->setModel(m_yList);
    tUi->zListView->setModel(m_zList);

    clearForm();
}

kvPrinterZOffsetCalibration::~kvPrinterZOffsetCalibration()
{
    if (m_examples) {
        m_examples->close();
        delete m_examples;
    }
    delete m_xList;
    delete m_yList;
    delete m_zList;
    delete m_ui;
}

QString kvPrinterZOffsetCalibration::zOffsetText() const
{
    return m_ui->newZOffsetCurrentLabel->text();
}

QStringList kvPrinterZOffsetCalibration::probeValues(int pAxis) const
{
    const QStringListModel *tModel = pAxis == 0 ? m_xList : pAxis == 1 ? m_yList : m_zList;
    return tModel->stringList();
}

void kvPrinterZOffsetCalibration::clearForm()
{
    setNewZChecksValues(m_offsets);
    // No nested event loop here: a printer reply must not reach a half-cleared form.
    for (const kvCheckBoxLabelStruct &tChoice : qAsConst(m_choices)) {
        tChoice.checkBox->setAutoExclusive(false);
        tChoice.checkBox->setChecked(false);
        tChoice.checkBox->setAutoExclusive(true);
        tChoice.checkBox->setEnabled(false);
        tChoice.label->setEnabled(false);
    }
    m_ui->eqnCoATextBox->clear();
    m_ui->eqnCoBTextBox->clear();
    m_ui->eqnCoDTextBox->clear();
    m_xList->setStringList({});
    m_yList->setStringList({});
    m_zList->setStringList({});
    m_probeResponses.clear();
    m_coefficients.clear();
    m_newOffsetChosen = false;
}

void kvPrinterZOffsetCalibration::setNewZChecksValues(const QVector<double> &pOffsets)
{
    const int tCount = qMin(pOffsets.size(), m_choices.size());
    for (int i = 0; i < tCount; ++i) {
        if (i != CurrentChoice) {
            m_choices.at(i).label->setText(offsetText(m_currentOffset + pOffsets.at(i)));
        }
    }
}

void kvPrinterZOffsetCalibration::setUIElementsEnabled(bool pValue)
{
    for (const kvCheckBoxLabelStruct &tChoice : qAsConst(m_choices)) {
        tChoice.checkBox->setEnabled(pValue);
        tChoice.label->setEnabled(pValue);
    }
}

void kvPrinterZOffsetCalibration::setZOffset(const QString &pValue)
{
    bool tOk = false;
    const double tValue = pValue.trimmed().toDouble(&tOk);
    m_currentOffset = tOk && std::isfinite(tValue) ? tValue : 0.0;
    m_ui->newZOffsetCurrentLabel->setText(pValue);
    setNewZChecksValues(m_offsets);
}

void kvPrinterZOffsetCalibration::appendValue(QStringListModel *pModel, const QString &pValue)
{
    const int tRow = pModel->rowCount();
    pModel->insertRows(tRow, 1);
    pModel->setData(pModel->index(tRow), pValue);
}

void kvPrinterZOffsetCalibration::setProbeData(const QString &pValue)
{
    m_probeResponses.append(pValue);
    const QStringList tWords = pValue.split(QLatin1Char(' '));
    for (int i = 0; i + 1 < tWords.size(); ++i) {
        const QString tMarker = tWords.at(i).trimmed().toUpper();
        const QString &tNext = tWords.at(i + 1);
        if (tMarker == QLatin1String("X:")) {
            appendValue(m_xList, tNext);
        } else if (tMarker == QLatin1String("Y:")) {
            appendValue(m_yList, tNext);
        } else if (tMarker == QLatin1String("Z:")) {
            appendValue(m_zList, tNext.section(QLatin1Char('\n'), 0, 0));
        } else {
            continue;
        }
        ++i;
    }
}

void kvPrinterZOffsetCalibration::setEgnCoefficients(const QString &pValue)
{
    m_coefficients = pValue;
    QString tText = pValue;
    tText.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QStringList tWords = tText.split(QLatin1Char(' '));
    for (int i = 0; i + 1 < tWords.size(); ++i) {
        const QString tMarker = tWords.at(i).trimmed().toUpper();
        QLineEdit *tBox = nullptr;
        if (tMarker.startsWith(QLatin1String("A:"))) {
            tBox = m_ui->eqnCoATextBox;
        } else if (tMarker.startsWith(QLatin1String("B:"))) {
            tBox = m_ui->eqnCoBTextBox;
        } else if (tMarker.startsWith(QLatin1String("D:"))) {
            tBox = m_ui->eqnCoDTextBox;
        } else {
            continue;
        }
        tBox->setText(tWords.at(i + 1).trimmed());
        ++i;
    }
}

void kvPrinterZOffsetCalibration::setIsPrinting(bool pValue)
{
    if (pValue) {
        m_ui->runCalibrationTestButton->setText(QStringLiteral("Currently printing..."));
        setUIElementsEnabled(false);
        return;
    }
    m_ui->runCalibrationTestButton->setText(QStringLiteral("Run Calibration Test"));
    if (!m_ui->eqnCoATextBox->text().isEmpty()) {
        setUIElementsEnabled(true);
    }
}

void kvPrinterZOffsetCalibration::setIsWaitingToPrint(bool pValue)
{
    if (pValue) {
        m_ui->runCalibrationTestButton->setText(QStringLiteral("Waiting for printer..."));
    }
}

bool kvPrinterZOffsetCalibration::isBusy() const
{
    const QString tText = m_ui->runCalibrationTestButton->text();
    return tText.contains(QLatin1String("printing")) || tText.contains(QLatin1String("Waiting"));
}

void kvPrinterZOffsetCalibration::onRunClibrationTestButtonClick()
{
    if (isBusy()) {
        return;
    }
    const bool tYes = kvDialogs::question(QStringLiteral("Run Z-Offset Calibration"),
        QStringLiteral("Is your print bed clean?\nIs the Z probe down if not automatic?"),
        kvDialogs::DefaultNo);
    // The printer may have started a print while the question was open.
    if (!tYes || isBusy()) {
        return;
    }
    clearForm();
    emit RunZOffsetCalibration();
}

void kvPrinterZOffsetCalibration::applyNewOffset()
{
    // A chosen offset of 0.00 is a real value, not "nothing chosen".
    if (m_newOffsetChosen) {
        emit SetNewZOffset(float(m_newOffset));
    }
    clearForm();
}

void kvPrinterZOffsetCalibration::onSetNewZOffsetButtonClick()
{
    applyNewOffset();
}

void kvPrinterZOffsetCalibration::onNewZOffsetCheckBoxClicked()
{
    qCDebug(lcPrinter) << "void kvPrinterZOffsetCalibration::onNewZOffsetCheckBoxClicked()";
    for (int i = 0; i < m_choices.size(); ++i) {
        if (m_choices.at(i).checkBox->isChecked()) {
            m_newOffset
                = i == CurrentChoice ? m_currentOffset : m_choices.at(i).label->text().toDouble();
            m_newOffsetChosen = true;
            break;
        }
    }
    const QString tText = QStringLiteral("Your current Z-Offset set is: ")
        + offsetText(m_currentOffset) + QStringLiteral("\n\n")
        + QStringLiteral("Are you sure you wish to set your Z-Offset to: ")
        + offsetText(m_newOffset) + QStringLiteral("?");
    if (kvDialogs::question(QStringLiteral("Set Z-Offset"), tText, kvDialogs::DefaultNo)) {
        applyNewOffset();
    }
}

void kvPrinterZOffsetCalibration::onExample1Clicked()
{
    if (m_examples) {
        m_examples->close();
        delete m_examples;
        m_examples = nullptr;
    }
    m_examples = new kvZOffsetExamples(this);
    m_examples->show();
}
