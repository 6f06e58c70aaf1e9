// Model loading and placement.
#include "kvMainWindow.h"

#include "kvDebugWindow.h"
#include "kvDialogs.h"
#include "kvGLCamera.h"
#include "kvGLModel.h"
#include "kvGLWindow.h"
#include "kvHelpers.h"
#include "kvPlatform.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"
#include "kvSlic3rConfig.h"
#include "kvSliceOptions.h"
#include "ui_kvMainWindow.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QString ModelCaption = QStringLiteral("Select 3D Model");
const QString ModelFilter = QStringLiteral("3D Models (*.stl *.gcode)");

} // namespace

void kvMainWindow::loadModel(QString pFileName)
{
    // The printer streams from the current file: replacing it would hang the print.
    if (isPrintUnderWay()) {
        log(QStringLiteral("loadModel refused during a print: ") + pFileName);
        setStatusMessage(QStringLiteral("Stop the print before loading another model."));
        return;
    }
    m_loadingModel = true;
    log(QStringLiteral("loadModel: ") + pFileName);

    // Checked first: a failed load leaves the shown model and its file as they were. A pipe
    // or a device is never opened: the one blocks the window, the other has no end.
    const QString tNotAFile = Kv::Platform::notRegularFileReason(pFileName);
    if (!tNotAFile.isEmpty()) {
        failLoad(pFileName, tNotAFile);
        return;
    }
    QFile tCheck(pFileName);
    if (!tCheck.open(QIODevice::ReadOnly)) {
        failLoad(pFileName, tCheck.errorString());
        return;
    }
    tCheck.close();
    const int tProgress = ui->progressBar->value();

    auto *tFile = new kvPrinterFile(pFileName);
    kvPrinterSettings *tSettings = m_currentPrinter ? m_currentPrinter->settings() : nullptr;
    tFile->setBedCenter(
        m_currentPrinter ? m_currentPrinter->bedCenter() : QVector2D(150.0f, 150.0f));
    tFile->slic3rConfig()->selectPrinter(tSettings ? tSettings->slic3rPrinterSetting() : QString());
    tFile->slic3rConfig()->selectFilament(
        tSettings ? tSettings->slic3rFilamentSetting() : QString());
    connect(tFile, &kvPrinterFile::StatusUpdate, this, &kvMainWindow::onPrinterFileStatusChanged);
    connect(tFile, &kvPrinterFile::LoadFileProgress, this, &kvMainWindow::onLoadFileProgress);
    tFile->setLogger(m_logger);
    const kvModel tModel = tFile->loadFile();
    const QString tRefusal = tFile->loadRefusal();
    if (!tRefusal.isEmpty()
        || (tFile->fileType() == Kv::Defines::FileTypeSTL && tModel.triangles().isEmpty())) {
        delete tFile;
        ui->progressBar->setValue(tProgress);
        failLoad(pFileName, tRefusal.isEmpty() ? QStringLiteral("it holds no facets") : tRefusal);
        return;
    }
    // Nothing of it was queued: Print must not stream it.
    if (tFile->fileType() == Kv::Defines::FileTypeGCode && !tFile->gcodeRefusal().isEmpty()) {
        const QString tReason = tFile->gcodeRefusal();
        delete tFile;
        ui->progressBar->setValue(tProgress);
        failLoad(pFileName, tReason);
        return;
    }

    delete m_printerFile;
    m_printerFile = tFile;
    connect(m_printerFile, &kvPrinterFile::GCodeParseComplete, this,
        &kvMainWindow::onPrinterFileGCodeParseComplete);
    connect(
        m_printerFile, &kvPrinterFile::SaveFileProgress, this, &kvMainWindow::onSaveFileProgress);
    connect(m_printerFile, &kvPrinterFile::Slic3rProcessingProgress, this,
        &kvMainWindow::onSlic3rProcessingProgress);
    connect(m_printerFile, &kvPrinterFile::Slic3rError, this, &kvMainWindow::onSlic3rProcessError);
    ui->printerFileLabel->setText(tModel.filename());

    m_glWindow->replaceModel(0, tModel);
    if (kvGLModel *tShown = shownModel()) {
        connect(tShown, &kvGLModel::UserTranslationChanged, this,
            &kvMainWindow::onModelUserTranslationChanged, Qt::UniqueConnection);
        connect(tShown, &kvGLModel::ScaleChanged, this, &kvMainWindow::onModelScaleChanged,
            Qt::UniqueConnection);
    }

    ui->qualityComboBox->setCurrentIndex(0);
    ui->leXRot->setText(QStringLiteral("0.0"));
    ui->leYRot->setText(QStringLiteral("0.0"));
    ui->leZRot->setText(QStringLiteral("0.0"));
    ui->sbScale->setValue(1.0);
    onQualityTextChanged(ui->qualityComboBox->currentText());
    m_sliceOptions->setConfig(m_printerFile->slic3rConfig());

    if (m_debugWindow)
        m_debugWindow->initializeModel(tModel);
    m_loadingModel = false;
}

void kvMainWindow::failLoad(const QString &pFileName, const QString &pReason)
{
    log(QStringLiteral("loadModel failed: ") + pFileName + QStringLiteral(": ") + pReason);
    setStatusMessage(QStringLiteral("Cannot load ") + pFileName + QStringLiteral(": ") + pReason
        + QStringLiteral("."));
    m_loadingModel = false;
}

void kvMainWindow::onFileMenuLoadModelTriggered()
{
    // Refused before a file is chosen: the printer streams from the current file.
    if (isPrintUnderWay()) {
        kvDialogs::message(QStringLiteral("Load Model"),
            QStringLiteral("Stop the print before loading another model."));
        return;
    }
    const QString tFile = kvDialogs::openFileName(ModelCaption,
        QStandardPaths::writableLocation(QStandardPaths::HomeLocation), ModelFilter, this);
    if (!tFile.isEmpty())
        loadModel(tFile);
}

void kvMainWindow::dragEnterEvent(QDragEnterEvent *pEvent)
{
    if (m_loadingModel)
        return;
    const QString tText = pEvent->mimeData()->text().toUpper();
    log(QStringLiteral("dragEnterEvent: ") + tText);
    if (tText.contains(QStringLiteral("FILE"))
        && (tText.contains(QStringLiteral(".STL")) || tText.contains(QStringLiteral(".GCODE"))))
        pEvent->acceptProposedAction();
}

void kvMainWindow::dropEvent(QDropEvent *pEvent)
{
    if (m_loadingModel)
        return;
    const QString tText = pEvent->mimeData()->text();
    log(QStringLiteral("dropEvent: ") + tText);
    const QStringList tParts = tText.split(QLatin1Char('\n'));
    if (tParts.isEmpty())
        return;
    // A file URL may end in "\r" and carry escapes such as "%20" for a blank.
    const QString tFirst = tParts.first().trimmed();
    const QUrl tUrl(tFirst);
    loadModel(tUrl.isLocalFile() ? tUrl.toLocalFile() : tFirst.mid(7));
}

void kvMainWindow::showEvent(QShowEvent *pEvent)
{
    // Only the first show: a later one (after a minimise) must not undo the user's work.
    // A named file that cannot be loaded is reported as the File menu's load reports it.
    const QStringList tArguments = QCoreApplication::arguments();
    if (!m_argumentLoaded && tArguments.size() == 2) {
        m_argumentLoaded = true;
        loadModel(tArguments.at(1));
    }
    pEvent->accept();
}

void kvMainWindow::onFileMenuClearModelTriggered()
{
    if (isPrintUnderWay()) {
        setStatusMessage(QStringLiteral("Stop the print before clearing the model."));
        return;
    }
    delete m_printerFile;
    m_printerFile = nullptr;
    if (!m_glWindow->glModels().isEmpty())
        m_glWindow->removeModel(0);
    ui->printerFileLabel->clear();
}

void kvMainWindow::onFileMenuSaveSTLTriggered()
{
    // The slice of a print reads the same file.
    if (isPrintUnderWay()) {
        setStatusMessage(QStringLiteral("Stop the print before saving the model."));
        return;
    }
    kvGLModel *tModel = shownModel();
    if (!m_printerFile || !tModel)
        return;
    m_printerFile->saveSTL(tModel->userRotation(), tModel->model(), placementScale());
}

void kvMainWindow::onFileMenuBatchLoadTriggered()
{
    const QString tFile = kvDialogs::openFileName(ModelCaption,
        QStandardPaths::writableLocation(QStandardPaths::HomeLocation), ModelFilter, this);
    // A cancelled dialog hands nothing to the printers.
    if (tFile.isEmpty())
        return;
    for (kvPrinter *tPrinter : qAsConst(m_printers))
        tPrinter->setPrinterFile(tFile);
}

void kvMainWindow::onRotationTextChanged(QString)
{
    onRotationSubmitClicked();
}

kvVector3D kvMainWindow::typedRotation() const
{
    return kvVector3D(Kv::floatFromUserText(ui->leXRot->text()),
        Kv::floatFromUserText(ui->leYRot->text()), Kv::floatFromUserText(ui->leZRot->text()));
}

void kvMainWindow::onRotationSubmitClicked()
{
    const kvVector3D tRotation = typedRotation();
    if (kvGLModel *tModel = shownModel())
        tModel->setUserRotation(tRotation);
    if (m_printerFile)
        m_printerFile->resetSliced();
}

void kvMainWindow::onScaleChange(double)
{
    kvGLModel *tModel = shownModel();
    if (!tModel)
        return;
    tModel->setScale(static_cast<float>(ui->sbScale->value()));
    m_glWindow->centerModel();
    if (m_debugWindow)
        m_debugWindow->setModelScale(tModel->scale());
    if (m_printerFile) {
        m_printerFile->resetSliced();
        m_sliceOptions->setConfig(m_printerFile->slic3rConfig());
    }
}

float kvMainWindow::placementScale() const
{
    kvGLModel *tModel = shownModel();
    return tModel ? tModel->scale() : static_cast<float>(ui->sbScale->value());
}

void kvMainWindow::onModelScaleChanged()
{
    kvGLModel *tModel = shownModel();
    if (!tModel)
        return;
    const QSignalBlocker tBlocker(ui->sbScale);
    ui->sbScale->setValue(double(tModel->scale()));
}

void kvMainWindow::onCenterModelClicked()
{
    if (!m_printerFile)
        return;
    m_glWindow->centerModel();
    m_printerFile->resetSliced();
    kvGLModel *tModel = shownModel();
    if (m_debugWindow && tModel)
        m_debugWindow->setModelUserTranslation(tModel->userTranslation());
}

void kvMainWindow::onLandModelClicked()
{
    if (m_printerFile) {
        m_printerFile->resetSliced();
        m_glWindow->landModel(true);
    }
    kvGLModel *tModel = shownModel();
    if (m_debugWindow && tModel)
        m_debugWindow->setModelUserTranslation(tModel->userTranslation());
}

void kvMainWindow::onModelUserTranslationChanged(kvGLObject *)
{
    if (m_printerFile)
        m_printerFile->resetSliced();
}

void kvMainWindow::onRotateViewClicked(bool pChecked)
{
    if (!pChecked)
        return;
    m_glWindow->setRotationType(Kv::Defines::GLRotationTypeView);
    ui->tbTranslate->setDown(false);
}

void kvMainWindow::onMoveModelClicked(bool pChecked)
{
    if (!pChecked)
        return;
    m_glWindow->setRotationType(Kv::Defines::GLRotationTypeModel);
    ui->tbArcBall->setDown(false);
}

void kvMainWindow::onResetViewClicked()
{
    m_glWindow->camera()->reset();
}

void kvMainWindow::onOrthoButton()
{
    m_glWindow->camera()->setProjectionType(Kv::Defines::GLProjectionTypeOrthographic);
}

void kvMainWindow::onPerspectiveButton()
{
    m_glWindow->camera()->setProjectionType(Kv::Defines::GLProjectionTypePerspective);
}

void kvMainWindow::onLoadFileProgress(int pProgress)
{
    ui->progressBar->setValue(pProgress);
}

void kvMainWindow::onSaveFileProgress(int pProgress)
{
    ui->progressBar->setValue(pProgress);
}
