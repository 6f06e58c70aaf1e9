#include "kvMainWindow.h"

#include "kvAboutWindow.h"
#include "kvDebugWindow.h"
#include "kvDialogs.h"
#include "kvElidedLabel.h"
#include "kvGCodeAnalysis.h"
#include "kvGLCamera.h"
#include "kvGLModel.h"
#include "kvGLWindow.h"
#include "kvGlobal.h"
#include "kvLogger.h"
#include "kvPlatform.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"
#include "kvPrinterTypes.h"
#include "kvSlic3rConfig.h"
#include "kvSliceOptions.h"
#include "kvStandardPaths.h"
#include "kvWindowFit.h"
#include "ui_kvMainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QStandardPaths>

namespace {

// Compared exactly; held by the program, never shown.
const QString DeveloperPassword = QStringLiteral("HalvarnKestrova");

} // namespace

kvMainWindow::kvMainWindow(QWidget *pParent)
    : QMainWindow(pParent)
    , ui(new Ui::kvMainWindow)
{
    setAcceptDrops(true);
    ui->setupUi(this);
    Kv::fitWhenShown(this);
    connectWidgets();

    kvPrinter::loadPrinterTypes();
    setupStatusBar();
    ui->printerSelectionComboBox->addItem(QStringLiteral("Searching for printers..."));
    setStatusMessage(QStringLiteral("No printer selected."));
    setWindowTitle(
        windowTitle() + QStringLiteral(" (v") + Kv::Global::Version + QStringLiteral(")"));
    m_osVersion = checkOS();

    m_glWindow = new kvGLWindow();
    m_logger = new kvLogger(this);
    m_logger->setLogLevel(Kv::Defines::LoggerLevelAll);
    // A log that stops is said once; whatever else goes on, a print too, goes on.
    connect(m_logger, &kvLogger::WriteFailed, this,
        [this](const QString &pPath, const QString &pReason) {
            ui->optionsMenuLogCreate->setChecked(false);
            setStatusMessage(QStringLiteral("The print log ") + QDir::toNativeSeparators(pPath)
                + QStringLiteral(" cannot be written: ") + pReason
                + QStringLiteral(". Its lines are lost until it can be written again."));
        });
    connect(m_logger, &kvLogger::WriteResumed, this,
        [this] { ui->optionsMenuLogCreate->setChecked(true); });

    ui->glWindowLayout->removeWidget(ui->glWindowLabel);
    delete ui->glWindowLabel;
    ui->glWindowLabel = nullptr;
    m_glWindow->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui->glWindowLayout->insertWidget(0, m_glWindow, 1);

    connect(&m_pollUSBTimer, &QTimer::timeout, this, &kvMainWindow::onPollUSBTimerTick);
    onPollUSBTimerTick();
    m_pollUSBTimer.start(1000);

    m_aboutWindow = new kvAboutWindow(this);
    m_sliceOptions = new kvSliceOptions(this);
    m_standardPaths = new kvStandardPaths(this);
    m_printerTypes = new kvPrinterTypes(this);
    m_gCodeAnalysis = new kvGCodeAnalysis(this);

    QPalette tLogoPalette = ui->lHVLogo->palette();
    tLogoPalette.setColor(QPalette::All, QPalette::Window, QColor(166, 206, 57));
    ui->lHVLogo->setPalette(tLogoPalette);
    ui->lHVLogo->setAutoFillBackground(true);
    QPalette tBarPalette = ui->progressBar->palette();
    tBarPalette.setColor(QPalette::All, QPalette::Highlight, QColor(61, 184, 255));
    ui->progressBar->setPalette(tBarPalette);

    const QString tDataFolder = QStandardPaths::writableLocation(QStandardPaths::DataLocation);
    if (!tDataFolder.isEmpty() && !QDir(tDataFolder).exists())
        QDir().mkpath(tDataFolder);

    // A long file name is cut off rather than widening the window.
    ui->printerFileLabel->setSizePolicy(
        QSizePolicy::Ignored, ui->printerFileLabel->sizePolicy().verticalPolicy());

    ui->extruder0Label->setText(QStringLiteral("EXTRUDER"));
    ui->extruder1Widget->hide();
    ui->activeExtruderLabel->hide();
    ui->activeExtruderCombobox->hide();

    ui->qualityComboBox->setCurrentIndex(0);
    ui->leXRot->setText(QStringLiteral("0.0"));
    ui->leYRot->setText(QStringLiteral("0.0"));
    ui->leZRot->setText(QStringLiteral("0.0"));
    ui->sbScale->setValue(1.0);

    ui->lHVLogo->installEventFilter(this);

    ui->fileMenuBatchLoad->setVisible(false);
    ui->toolsMenuGLDebug->setVisible(false);
    ui->toolsMenuGCodeAnalysis->setVisible(false);
    ui->orthoButton->hide();
    ui->perspectiveButton->hide();
    ui->debugMenuPrinterTypes->setVisible(false);
    ui->debugMenuStandardPaths->setVisible(false);
    ui->debugMenu->menuAction()->setVisible(false);
}

kvMainWindow::~kvMainWindow()
{
    if (m_pollUSBTimer.isActive())
        m_pollUSBTimer.stop();
    if (m_debugWindow) {
        m_debugWindow->close();
        delete m_debugWindow;
        m_debugWindow = nullptr;
    }
    if (m_gCodeAnalysis) {
        m_gCodeAnalysis->close();
        delete m_gCodeAnalysis;
        m_gCodeAnalysis = nullptr;
    }
    m_currentPrinter = nullptr;
    // Timed-out printers go now, while the window they report to is whole.
    qDeleteAll(m_printersToRemove);
    m_printersToRemove.clear();
    while (!m_printers.isEmpty()) {
        kvPrinter *tPrinter = m_printers.takeLast();
        if (tPrinter->isConnected())
            tPrinter->disconnectFromPrinter();
        delete tPrinter;
    }
    // The print file goes before the view and the logger it may still use.
    delete m_printerFile;
    m_printerFile = nullptr;
    delete m_glWindow;
    m_glWindow = nullptr;
    delete m_logger;
    m_logger = nullptr;
    delete m_aboutWindow;
    delete m_sliceOptions;
    delete m_standardPaths;
    m_aboutWindow = nullptr;
    m_sliceOptions = nullptr;
    m_standardPaths = nullptr;
    kvPrinter::clearPrinterTypes();
    delete ui;
}

void kvMainWindow::connectWidgets()
{
    connect(ui->fileMenuLoadModel, &QAction::triggered, this,
        &kvMainWindow::onFileMenuLoadModelTriggered);
    connect(ui->fileMenuClearModel, &QAction::triggered, this,
        &kvMainWindow::onFileMenuClearModelTriggered);
    connect(ui->fileMenuPrint, &QAction::triggered, this, &kvMainWindow::onFileMenuPrintTriggered);
    connect(ui->fileMenuExit, &QAction::triggered, this, &kvMainWindow::onFileMenuExitTriggered);
    connect(
        ui->fileMenuSaveSTL, &QAction::triggered, this, &kvMainWindow::onFileMenuSaveSTLTriggered);
    connect(ui->fileMenuBatchLoad, &QAction::triggered, this,
        &kvMainWindow::onFileMenuBatchLoadTriggered);
    connect(ui->optionsMenuSlicerOptions, &QAction::triggered, this,
        &kvMainWindow::onOptionsMenuSlicerOptions);
    connect(ui->optionsMenuOpenSlic3r, &QAction::triggered, this, &kvMainWindow::onOpenSlic3r);
    connect(ui->optionsMenuLogCreate, &QAction::triggered, this,
        &kvMainWindow::onOptionsMenuLogCreateTriggered);
    connect(ui->optionsMenuLogView, &QAction::triggered, this,
        &kvMainWindow::onOptionsMenuLogViewTriggered);
    connect(ui->extrude1mm, &QAction::triggered, this, &kvMainWindow::onToolsExtrude1Clicked);
    connect(ui->extrude10mm, &QAction::triggered, this, &kvMainWindow::onToolsExtrude10Clicked);
    connect(ui->extrude50mm, &QAction::triggered, this, &kvMainWindow::onToolsExtrude50Clicked);
    connect(ui->extrude100mm, &QAction::triggered, this, &kvMainWindow::onToolsExtrude100Clicked);
    connect(ui->retract1mm, &QAction::triggered, this, &kvMainWindow::onToolsRetract1Clicked);
    connect(ui->retract10mm, &QAction::triggered, this, &kvMainWindow::onToolsRetract10Clicked);
    connect(ui->retract50mm, &QAction::triggered, this, &kvMainWindow::onToolsRetract50Clicked);
    connect(ui->retract100mm, &QAction::triggered, this, &kvMainWindow::onToolsRetract100Clicked);
    connect(ui->toolsMenuPrinterConfig, &QAction::triggered, this,
        &kvMainWindow::onLaunchPrinterConfig);
    connect(ui->toolsMenuGLDebug, &QAction::triggered, this, &kvMainWindow::onDebugOGLWindow);
    connect(ui->toolsMenuZOffsetCalibration, &QAction::triggered, this,
        &kvMainWindow::onToolsMenuZOffsetCalibration);
    connect(ui->toolsMenuGCodeAnalysis, &QAction::triggered, this,
        &kvMainWindow::onToolsMenuGCodeAnalysis);
    connect(ui->helpMenuPrinterHelp, &QAction::triggered, this,
        &kvMainWindow::onToolsPrinterHelpClicked);
    connect(ui->helpMenuAbout, &QAction::triggered, this, &kvMainWindow::onHelpMenuAboutTriggered);
    connect(ui->debugMenuStandardPaths, &QAction::triggered, this,
        &kvMainWindow::onDebugMenuStandardPaths);
    connect(ui->debugMenuPrinterTypes, &QAction::triggered, this,
        &kvMainWindow::onDebugMenuPrinterTypes);

    connect(ui->printerSelectionComboBox, &QComboBox::textActivated, this,
        &kvMainWindow::onPrinterSelectionTextChanged);
    connect(ui->pbPrint, &QAbstractButton::clicked, this, &kvMainWindow::onPrintButtonClick);
    connect(
        ui->heatPrinterButton, &QAbstractButton::clicked, this, &kvMainWindow::onHeatPrinterClick);
    connect(ui->printerConfigButton, &QAbstractButton::clicked, this,
        &kvMainWindow::onLaunchPrinterConfig);
    connect(ui->tbArcBall, &QAbstractButton::clicked, this, &kvMainWindow::onRotateViewClicked);
    connect(ui->tbTranslate, &QAbstractButton::clicked, this, &kvMainWindow::onMoveModelClicked);
    connect(ui->tbCenter, &QAbstractButton::clicked, this, &kvMainWindow::onCenterModelClicked);
    connect(ui->sbScale, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
        &kvMainWindow::onScaleChange);
    for (QLineEdit *tEdit : {ui->leXRot, ui->leYRot, ui->leZRot})
        connect(tEdit, &QLineEdit::textChanged, this, &kvMainWindow::onRotationTextChanged);
    connect(ui->filamentBox, &QComboBox::textActivated, this, &kvMainWindow::onFilamentTextChanged);
    connect(
        ui->qualityComboBox, &QComboBox::textActivated, this, &kvMainWindow::onQualityTextChanged);
    connect(
        ui->landModelButton, &QAbstractButton::clicked, this, &kvMainWindow::onLandModelClicked);
    connect(
        ui->resetCameraButton, &QAbstractButton::clicked, this, &kvMainWindow::onResetViewClicked);
    connect(ui->orthoButton, &QAbstractButton::clicked, this, &kvMainWindow::onOrthoButton);
    connect(
        ui->perspectiveButton, &QAbstractButton::clicked, this, &kvMainWindow::onPerspectiveButton);
    connect(ui->connectToPrinterButton, &QAbstractButton::clicked, this,
        &kvMainWindow::onConnectToPrinter);
    connect(ui->activeExtruderCombobox, &QComboBox::textActivated, this,
        &kvMainWindow::onActiveExtruderChanged);
}

void kvMainWindow::setupStatusBar()
{
    // Elided, so that a long text never widens the window.
    m_statusLabel = new kvElidedLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusSpacer = new QLabel(this);
    m_gCodeLabel = new QLabel(this);
    m_gCodeLabel->setObjectName(QStringLiteral("gCodeLabel"));
    m_timeElapsedLabel = new QLabel(this);
    m_timeElapsedLabel->setObjectName(QStringLiteral("timeElapsedLabel"));
    for (int i = 0; i < 2; ++i) {
        QLabel *tSeparator = new QLabel(this);
        tSeparator->setFrameShape(QFrame::VLine);
        m_statusSeparators.append(tSeparator);
    }
    ui->statusBar->addWidget(m_statusLabel, 0);
    ui->statusBar->addWidget(m_statusSpacer, 1);
    ui->statusBar->addWidget(m_statusSeparators[0]);
    ui->statusBar->addWidget(m_gCodeLabel);
    ui->statusBar->addWidget(m_statusSeparators[1]);
    ui->statusBar->addWidget(m_timeElapsedLabel);
    m_statusSeparators[0]->hide();
    m_statusSeparators[1]->hide();
    m_gCodeLabel->hide();
    m_timeElapsedLabel->hide();
}

void kvMainWindow::setStatusMessage(QString pMessage)
{
    m_statusLabel->setFullText(pMessage.trimmed());
}

QString kvMainWindow::statusMessage() const
{
    return m_statusLabel->fullText();
}

void kvMainWindow::log(QString pMessage)
{
    if (m_logger)
        m_logger->log(QStringLiteral("kvMainWindow::") + pMessage);
}

QString kvMainWindow::checkOS() const
{
    return Kv::Platform::osDescription();
}

void kvMainWindow::setRotationTexts(kvVector3D pRotation)
{
    ui->leXRot->setText(QString::number(pRotation.x(), 'g', 6));
    ui->leYRot->setText(QString::number(pRotation.y(), 'g', 6));
    ui->leZRot->setText(QString::number(pRotation.z(), 'g', 6));
}

void kvMainWindow::setProgressBar(int pValue)
{
    ui->progressBar->setValue(pValue);
}

kvGLModel *kvMainWindow::shownModel() const
{
    const QVector<kvGLModel *> tModels = m_glWindow->glModels();
    return tModels.isEmpty() ? nullptr : tModels.first();
}

bool kvMainWindow::eventFilter(QObject *pObject, QEvent *pEvent)
{
    if (pObject != ui->lHVLogo || pEvent->type() != QEvent::MouseButtonPress)
        return false;
    const QPoint tPos = static_cast<QMouseEvent *>(pEvent)->localPos().toPoint();
    if (tPos.x() >= 20 && tPos.x() <= 35 && tPos.y() >= 418 && tPos.y() <= 440) {
        bool tOk = false;
        const QString tText = kvDialogs::textInput(
            QStringLiteral("Debug"), QStringLiteral("Dev Password:"), QString(), true, &tOk, this);
        if (tOk && tText == DeveloperPassword)
            enterDeveloperMode();
    }
    return true;
}

void kvMainWindow::enterDeveloperMode()
{
    Kv::Global::DeveloperMode = true;
    ui->debugMenuPrinterTypes->setVisible(true);
    ui->debugMenuStandardPaths->setVisible(true);
    ui->toolsMenuGLDebug->setVisible(true);
    ui->toolsMenuGCodeAnalysis->setVisible(true);
    ui->fileMenuBatchLoad->setVisible(true);
    m_sliceOptions->setForDevMode();
    ui->debugMenu->menuAction()->setVisible(true);
}

void kvMainWindow::closeEvent(QCloseEvent *pEvent)
{
    if (!confirmExit()) {
        pEvent->ignore();
        return;
    }
    // A print is ended with its stop sequence before the heaters go off.
    if (isPrintUnderWay())
        stopPrint();
    if (m_currentPrinter) {
        m_currentPrinter->heatPrinter(false);
        if (m_currentPrinter->isConnected())
            m_currentPrinter->disconnectFromPrinter();
    }
    pEvent->accept();
}

bool kvMainWindow::confirmExit()
{
    const QString tUnderWay = printUnderWayText();
    return tUnderWay.isEmpty()
        || kvDialogs::question(QStringLiteral("Exit Kestrova"),
            tUnderWay + QStringLiteral(", are you sure you wish to exit Kestrova?"),
            kvDialogs::NoDefault);
}

void kvMainWindow::onFileMenuExitTriggered()
{
    if (confirmExit())
        exitProgram();
}

void kvMainWindow::exitProgram()
{
    log(QStringLiteral("exitProgram"));
    // As closing: the print ends with its stop sequence, and no heater is left on.
    if (isPrintUnderWay())
        stopPrint();
    turnOffExtruders();
    QCoreApplication::exit(0);
}

void kvMainWindow::onHelpMenuAboutTriggered()
{
    m_aboutWindow->hide();
    m_aboutWindow->show();
}

void kvMainWindow::onDebugOGLWindow()
{
    if (!m_debugWindow) {
        m_debugWindow = new kvDebugWindow(this);
        m_debugWindow->initializeWidget(m_glWindow);
        if (kvGLModel *tModel = shownModel())
            m_debugWindow->initializeModel(tModel->model());
    }
    m_debugWindow->hide();
    m_debugWindow->show();
}

void kvMainWindow::onToolsMenuGCodeAnalysis()
{
    if (!m_gCodeAnalysis)
        m_gCodeAnalysis = new kvGCodeAnalysis(this);
    m_gCodeAnalysis->show();
}

void kvMainWindow::onDebugMenuStandardPaths()
{
    if (!m_standardPaths)
        m_standardPaths = new kvStandardPaths(this);
    m_standardPaths->hide();
    m_standardPaths->show();
}

void kvMainWindow::onDebugMenuPrinterTypes()
{
    if (!m_printerTypes)
        m_printerTypes = new kvPrinterTypes(this);
    m_printerTypes->hide();
    m_printerTypes->show();
}
