#include "kvSliceOptions.h"

#include "kvDialogs.h"
#include "kvGlobal.h"
#include "kvLogging.h"
#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvSlic3rConfig.h"
#include "kvSlic3rSetting.h"
#include "kvWindowFit.h"
#include "ui_kvSliceOptions.h"

#include <QDir>
#include <QShowEvent>
#include <QStandardPaths>

namespace {

// The slicer that is really run for a configured path; the path itself when none is found.
QString shownSlicerPath(const QString &pConfiguredPath)
{
    const QString tProgram = Kv::Platform::slicerProgram(pConfiguredPath);
    return QDir::toNativeSeparators(tProgram.isEmpty() ? pConfiguredPath : tProgram);
}

// What is shown of a slicer window that ended with an error.
const int ShownOutputLines = 8;
const int KeptOutputBytes = 4096;

void selectText(QComboBox *pBox, const QString &pText)
{
    const int tIndex = pBox->findText(pText, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (tIndex >= 0)
        pBox->setCurrentIndex(tIndex);
}

} // namespace

kvSliceOptions::kvSliceOptions(QWidget *pParent)
    : QDialog(pParent)
    , ui(new Ui::kvSliceOptions)
{
    ui->setupUi(this);
    QTreeWidget *tTree = ui->installedSlic3rSettingsTree;
    tTree->setColumnCount(3);
    tTree->setHeaderLabels(
        {QStringLiteral("FileName"), QStringLiteral("Found"), QStringLiteral("Installed")});
    tTree->setColumnWidth(0, 200);
    tTree->setColumnWidth(1, 100);
    tTree->setColumnWidth(2, 400);

    connect(ui->setSlic3rPathButton, &QAbstractButton::clicked, this,
        &kvSliceOptions::OnSetSlic3rPathClicked);
    connect(ui->printSettingsCombo, &QComboBox::textActivated, this,
        &kvSliceOptions::OnPrintSettingsChanged);
    connect(ui->filamentSettingsCombo, &QComboBox::textActivated, this,
        &kvSliceOptions::OnFilamentSettingsChanged);
    connect(ui->printerSettingsCombo, &QComboBox::textActivated, this,
        &kvSliceOptions::OnPrinterSettingsChanged);
    connect(ui->slic3rConfigButton, &QAbstractButton::clicked, this,
        &kvSliceOptions::OnSlic3rConfigButtonClicked);
    connect(ui->installedSlic3rSettingsRefreshButton, &QAbstractButton::clicked, this,
        &kvSliceOptions::onInstalledSlic3rSettingsRefreshButtonClicked);
    connect(ui->installedSlic3rSettingsCopyButton, &QAbstractButton::clicked, this,
        &kvSliceOptions::onInstalledSlic3rSettingsCopyButtonClicked);
    connect(ui->replaceSlic3rSettingsButton, &QAbstractButton::clicked, this,
        &kvSliceOptions::onSlic3rReplaceSettingsClicked);

    loadInstalledSlic3rSettings();
    Kv::loadSlic3rSettings(
        ui->printSettingsCombo, ui->filamentSettingsCombo, ui->printerSettingsCombo);
    ui->installedSlic3rSettingsGroup->hide();
    // At least as high as the word-wrapped quick tip needs.
    const int tNormalHeight = qMax(315, layout()->totalHeightForWidth(width()));
    setMaximumHeight(tNormalHeight);
    resize(width(), tNormalHeight);
}

kvSliceOptions::~kvSliceOptions()
{
    // A slicer window still open is ended with the dialog, which is no error to report.
    if (m_slic3rProcess)
        m_slic3rProcess->disconnect(this);
    delete ui;
}

void kvSliceOptions::setConfig(kvSlic3rConfig *pConfig)
{
    m_config = pConfig;
    if (m_config)
        connect(m_config.data(), &kvSlic3rConfig::ConfigChanged, this,
            &kvSliceOptions::onConfigChanged, Qt::UniqueConnection);
    onConfigChanged();
}

void kvSliceOptions::updateConfig()
{
    if (!m_config)
        return;
    // Read all three first: each setter refreshes the boxes through ConfigChanged.
    const QString tPrint = ui->printSettingsCombo->currentText();
    const QString tFilament = ui->filamentSettingsCombo->currentText();
    const QString tPrinter = ui->printerSettingsCombo->currentText();
    m_config->setPrintIni(tPrint);
    m_config->setFilamentIni(tFilament);
    m_config->setPrinterIni(tPrinter);
}

void kvSliceOptions::onConfigChanged()
{
    if (!m_config)
        return;
    ui->slic3rPathText->setText(shownSlicerPath(m_config->Path()));
    selectText(ui->printSettingsCombo, m_config->PrintIni());
    selectText(ui->filamentSettingsCombo, m_config->FilamentIni());
    selectText(ui->printerSettingsCombo, m_config->PrinterIni());
}

void kvSliceOptions::refreshFromFolders()
{
    Kv::loadSlic3rSettings(
        ui->printSettingsCombo, ui->filamentSettingsCombo, ui->printerSettingsCombo);
    if (!m_config)
        return;
    connect(m_config.data(), &kvSlic3rConfig::ConfigChanged, this, &kvSliceOptions::onConfigChanged,
        Qt::UniqueConnection);
    onConfigChanged();
}

void kvSliceOptions::enterEvent(QEvent *pEvent)
{
    refreshFromFolders();
    pEvent->accept();
}

void kvSliceOptions::onRefreshSlic3rOptionsClicked()
{
    refreshFromFolders();
}

void kvSliceOptions::showDeveloperPanel()
{
    if (Kv::Global::DeveloperMode && !ui->installedSlic3rSettingsGroup->isVisible()) {
        ui->installedSlic3rSettingsGroup->show();
        setMinimumHeight(750);
        setMaximumHeight(750);
    }
}

void kvSliceOptions::setForDevMode()
{
    showDeveloperPanel();
}

void kvSliceOptions::showEvent(QShowEvent *pEvent)
{
    showDeveloperPanel();
    // After the developer panel's height is set.
    Kv::fitToScreen(this);
    pEvent->accept();
}

void kvSliceOptions::OnPrintSettingsChanged(QString)
{
    if (m_config)
        m_config->setPrintIni(ui->printSettingsCombo->currentText());
}

void kvSliceOptions::OnFilamentSettingsChanged(QString)
{
    if (m_config)
        m_config->setFilamentIni(ui->filamentSettingsCombo->currentText());
}

void kvSliceOptions::OnPrinterSettingsChanged(QString)
{
    if (m_config)
        m_config->setPrinterIni(ui->printerSettingsCombo->currentText());
}

void kvSliceOptions::OnSetSlic3rPathClicked()
{
    const QString tPath = kvDialogs::openFileName(Kv::Platform::slicerChooserTitle(),
        QStandardPaths::writableLocation(QStandardPaths::HomeLocation),
        Kv::Platform::slicerChooserFilter(), this);
    // A cancelled chooser keeps the slicer that is set.
    if (tPath.isEmpty())
        return;
    Kv::Paths::Slic3rExe = QDir::toNativeSeparators(tPath);
    ui->slic3rPathText->setText(shownSlicerPath(Kv::Paths::Slic3rExe));
}

void kvSliceOptions::OnSlic3rConfigButtonClicked()
{
    QString tError;
    if (!openSlic3r(&tError))
        kvDialogs::warning(QStringLiteral("Open Slic3r"), tError);
}

bool kvSliceOptions::openSlic3r(QString *pError)
{
    if (!m_slic3rProcess) {
        m_slic3rProcess = new QProcess(this);
        connect(m_slic3rProcess, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
            this, &kvSliceOptions::onSlic3rProcessFinished);
        connect(
            m_slic3rProcess, &QProcess::errorOccurred, this, &kvSliceOptions::onSlic3rProcessError);
        connect(m_slic3rProcess, &QProcess::readyRead, this, &kvSliceOptions::onSlic3rProcessRead);
        connect(m_slic3rProcess, &QProcess::started, this, &kvSliceOptions::onSlic3rProcessStarted);
    }
    if (m_slic3rProcess->state() != QProcess::NotRunning)
        return true;
    const QString tProgram = Kv::Platform::slicerProgram(Kv::Paths::Slic3rExe);
    if (tProgram.isEmpty()) {
        if (pError)
            *pError = QStringLiteral("Slic3r was not found: looked for ")
                + Kv::Platform::slicerSearchDescription(Kv::Paths::Slic3rExe) + QStringLiteral(".");
        return false;
    }
    m_slic3rOutput.clear();
    // Its error messages go to stderr: kept with the rest for a window that ends at once.
    m_slic3rProcess->setProcessChannelMode(QProcess::MergedChannels);
    m_slic3rProcess->start(tProgram, Kv::Platform::slicerWindowArguments(Kv::Paths::Slic3rAppData),
        QIODevice::ReadWrite);
    if (!m_slic3rProcess->waitForStarted(30000)) {
        if (pError)
            *pError = QStringLiteral("Slic3r could not be started (") + tProgram
                + QStringLiteral("): ") + m_slic3rProcess->errorString();
        return false;
    }
    return true;
}

void kvSliceOptions::onSlic3rProcessFinished()
{
    qCDebug(lcApp) << "void kvSliceOptions::onSlic3rProcessFinished()";
    keepSlic3rOutput();
    const bool tCrashed = m_slic3rProcess->exitStatus() == QProcess::CrashExit;
    if (!tCrashed && m_slic3rProcess->exitCode() == 0)
        return;
    QString tText = tCrashed ? QStringLiteral("Slic3r crashed.")
                             : QStringLiteral("Slic3r ended with an error (exit code ")
            + QString::number(m_slic3rProcess->exitCode()) + QStringLiteral(").");
    const QStringList tLines = QString::fromLocal8Bit(m_slic3rOutput)
                                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                   .mid(0, ShownOutputLines);
    if (tLines.isEmpty())
        tText += QStringLiteral(" It printed nothing.");
    else
        tText += QStringLiteral(" It printed:\n") + tLines.join(QLatin1Char('\n'));
    kvDialogs::warning(QStringLiteral("Open Slic3r"), tText);
}

void kvSliceOptions::keepSlic3rOutput()
{
    // Only the start is kept; the rest is drained so the pipe never fills.
    const QByteArray tData = m_slic3rProcess->readAll();
    m_slic3rOutput += tData.left(qMax(0, KeptOutputBytes - m_slic3rOutput.size()));
}

void kvSliceOptions::onSlic3rProcessError(QProcess::ProcessError)
{
    qCDebug(lcApp) << "void kvSliceOptions::onSlic3rProcessError(QProcess::ProcessError)";
}

void kvSliceOptions::onSlic3rProcessRead()
{
    qCDebug(lcApp) << "void kvSliceOptions::onSlic3rProcessRead()";
    keepSlic3rOutput();
}

void kvSliceOptions::onSlic3rProcessStarted()
{
    qCDebug(lcApp) << "void kvSliceOptions::onSlic3rProcessStarted()";
}

void kvSliceOptions::onSlic3rReplaceSettingsClicked()
{
    Kv::copySlic3rSettings(true);
}

void kvSliceOptions::onInstalledSlic3rSettingsRefreshButtonClicked()
{
    Kv::validateSlic3rSettings();
    loadInstalledSlic3rSettings();
}

void kvSliceOptions::onInstalledSlic3rSettingsCopyButtonClicked()
{
    Kv::copySlic3rSettings(false);
    Kv::validateSlic3rSettings();
    loadInstalledSlic3rSettings();
}

void kvSliceOptions::loadInstalledSlic3rSettings()
{
    QTreeWidget *tTree = ui->installedSlic3rSettingsTree;
    tTree->clear();
    const auto &tTable = kvSlic3rSetting::InstalledSlic3rSettings;
    QList<Kv::Defines::kvSlic3rSettingType> tKinds = tTable.keys();
    std::sort(tKinds.begin(), tKinds.end());
    for (Kv::Defines::kvSlic3rSettingType tKind : qAsConst(tKinds)) {
        auto *tKindItem = new QTreeWidgetItem(tTree, {Kv::slic3rSettingTypeToString(tKind)});
        for (const kvSlic3rSetting &tSetting : tTable.value(tKind)) {
            const QString tInstalled
                = tSetting.Found() ? tSetting.InstalledInfo().filePath() : QString();
            new QTreeWidgetItem(tKindItem,
                {tSetting.ResourceName(),
                    tSetting.Found() ? QStringLiteral("True") : QStringLiteral("False"),
                    tInstalled});
        }
    }
    tTree->expandAll();
}
