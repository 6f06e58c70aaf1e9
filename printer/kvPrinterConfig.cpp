#include "kvPrinterConfig.h"

#include "kvWindowFit.h"
#include "ui_kvPrinterConfig.h"

#include <QKeyEvent>
#include <QScrollArea>
#include <QShowEvent>
#include <QTextBlock>

#include <cmath>

using Kv::Defines::CoordinateAll;
using Kv::Defines::CoordinateX;
using Kv::Defines::CoordinateY;
using Kv::Defines::CoordinateZ;

namespace {

const QString &connectedIcon()
{
    static const QString tPath = QStringLiteral(":/icons/printer-connected-icon.png");
    return tPath;
}

const QString &disconnectedIcon()
{
    static const QString tPath = QStringLiteral(":/icons/printer-disconnected-icon.png");
    return tPath;
}

const char *const IconProperty = "kvIconPath";

} // namespace

kvPrinterConfig::kvPrinterConfig(QWidget *pParent)
    : QMainWindow(pParent)
    , m_ui(new Ui::kvPrinterConfig)
{
    m_ui->setupUi(this);
    scrollControls();
    m_ui->textEdit->setMaximumBlockCount(ConsoleLineLimit);

    // Ranges and start values while still initializing, so they emit nothing.
    m_ui->extruder0TempSpinBox->setRange(0, 275);
    m_ui->extruder0TempSpinBox->setValue(215);
    m_ui->extruder1TempSpinBox->setRange(0, 275);
    m_ui->extruder1TempSpinBox->setValue(215);
    m_ui->bedTempSpinBox->setRange(0, 130);
    m_ui->bedTempSpinBox->setValue(105);

    Ui::kvPrinterConfig *tUi = m_ui;
    connect(tUi->gcodeText, &QLineEdit::textChanged, this, &kvPrinterConfig::onGCodeTextChanged);
    connect(
        tUi->sendGCodeButton, &QPushButton::clicked, this, &kvPrinterConfig::onSendGCodeClicked);
    tUi->gcodeText->installEventFilter(this);

    connect(tUi->extruder0HeatButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onHeatExtruder0Clicked);
    connect(tUi->extruder1HeatButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onHeatExtruder1Clicked);
    connect(tUi->bedHeatButton, &QPushButton::clicked, this, &kvPrinterConfig::onHeatBedClicked);
    connect(tUi->extruder0TempSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &kvPrinterConfig::onExtruder0SpinBoxValueChanged);
    connect(tUi->extruder1TempSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &kvPrinterConfig::onExtruder1SpinBoxValueChanged);
    connect(tUi->bedTempSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &kvPrinterConfig::onBedSpinBoxValueChanged);

    connect(tUi->printControlZHomeButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlHomeZButtonClicked);
    connect(tUi->printControlZCalibrationButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlZCalibrationClicked);
    connect(tUi->printControlDisableMotorsButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlDisableMotorsButtonClicked);
    connect(tUi->tabWidget, &QTabWidget::currentChanged, this,
        &kvPrinterConfig::onTabWidgetCurrentChanged);
    connect(tUi->printControlCenterButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlCenterButtonClicked);
    connect(tUi->printControlHomeXYButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlHomeXYButtonClicked);
    connect(tUi->printControlXLeftButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlXLeftButtonClicked);
    connect(tUi->printControlXRightButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlXRightButtonClicked);
    connect(tUi->printControlYBackButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlYBackButtonClicked);
    connect(tUi->printControlYForwardButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlYForwardButtonClicked);
    connect(tUi->printControlZDownButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlZDownButtonClicked);
    connect(tUi->printControlZUpButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControlZUpButtonClicked);
    connect(tUi->printControl01mmButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControl01mmButtonClicked);
    connect(tUi->printControl1mmButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControl1mmButtonClicked);
    connect(tUi->printControl10mmButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControl10mmButtonClicked);
    connect(tUi->printControl50mmButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onPrintControl50mmButtonClicked);
    connect(tUi->extruderExtrudeButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onExtruderExtruderButtonClicked);
    connect(tUi->extruderRetractButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onExtruderRetractButtonClicked);
    connect(tUi->extruder1SecondButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onExtruder1SecondButtonClicked);
    connect(tUi->extruder5SecondButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onExtruder5SecondButtonClicked);
    connect(tUi->extruder10SecondButton, &QPushButton::clicked, this,
        &kvPrinterConfig::onExtruder10SecondButtonClicked);
    connect(tUi->extruderExtruder1Button, &QPushButton::clicked, this,
        &kvPrinterConfig::onExtruder1ButtonClicked);
    connect(tUi->extruderExtruder2Button, &QPushButton::clicked, this,
        &kvPrinterConfig::onExtruder2ButtonClicked);

    m_initializing = false;
}

kvPrinterConfig::~kvPrinterConfig()
{
    delete m_ui;
}

void kvPrinterConfig::scrollControls()
{
    // On a screen too small for the window the controls scroll.
    auto *tScroll = new QScrollArea;
    tScroll->setObjectName(QStringLiteral("centralScroll"));
    tScroll->setWidgetResizable(true);
    tScroll->setFrameShape(QFrame::NoFrame);
    tScroll->setWidget(takeCentralWidget());
    setCentralWidget(tScroll);
}

void kvPrinterConfig::showEvent(QShowEvent *pEvent)
{
    // As large as the controls need where the screen has room for that.
    const auto *tScroll = static_cast<QScrollArea *>(centralWidget());
    const QSize tAround = size() - tScroll->size();
    resize(size().expandedTo(tScroll->widget()->minimumSizeHint() + tAround));
    Kv::fitToScreen(this);
    QMainWindow::showEvent(pEvent);
}

void kvPrinterConfig::setTitle(const QString &pTitle)
{
    setWindowTitle(pTitle);
}

void kvPrinterConfig::setInitializing(bool pValue)
{
    m_initializing = pValue;
}

void kvPrinterConfig::setFirmwareNameBox(const QString &pValue)
{
    m_ui->firmwareNameBox->setText(pValue);
}

void kvPrinterConfig::setFirmwareUrlBox(const QString &pValue)
{
    m_ui->firmwareUrlBox->setText(pValue);
}

void kvPrinterConfig::setFirmwareMachineTypeBox(const QString &pValue)
{
    m_ui->firmwareMachineTypeBox->setText(pValue);
}

void kvPrinterConfig::setFirmwareExtruderCountBox(const QString &pValue)
{
    m_ui->firmwareExtruderCountBox->setText(pValue);
}

void kvPrinterConfig::setFirmwareProtocolVerBox(const QString &pValue)
{
    m_ui->firmwareProtocolVerBox->setText(pValue);
}

void kvPrinterConfig::setFirmwareUUIDBox(const QString &pValue)
{
    m_ui->firmwareUUIDBox->setText(pValue);
}

void kvPrinterConfig::setIsConnected(bool pValue)
{
    const QString &tPath = pValue ? connectedIcon() : disconnectedIcon();
    if (m_ui->lPower->property(IconProperty).toString() != tPath) {
        m_ui->lPower->setProperty(IconProperty, tPath);
        m_ui->lPower->setPixmap(QPixmap(tPath));
    }
}

void kvPrinterConfig::setIsHeating(bool pValue)
{
    m_ui->heatingCheckBox->setChecked(pValue);
}

void kvPrinterConfig::setIsHeated(bool pValue)
{
    m_ui->heatedCheckBox->setChecked(pValue);
}

void kvPrinterConfig::setIsWaitingToPrint(bool pValue)
{
    m_ui->waitingCheckBox->setChecked(pValue);
}

void kvPrinterConfig::setIsPrinting(bool pValue)
{
    m_ui->printingCheckBox->setChecked(pValue);
}

void kvPrinterConfig::setIsPaused(bool pValue)
{
    m_ui->pausedCheckBox->setChecked(pValue);
}

void kvPrinterConfig::setExtruderEnabled(int pExtruder, bool pValue)
{
    if (pExtruder == 0) {
        m_ui->extruder1GroupBox->setEnabled(pValue);
    } else if (pExtruder == 1) {
        m_ui->extruder2GroupBox->setVisible(pValue);
        m_ui->extruderExtruder1Button->setVisible(pValue);
        m_ui->extruderExtruder2Button->setVisible(pValue);
        if (!pValue) {
            m_ui->extruder1GroupBox->setTitle(QStringLiteral("Extruder"));
        }
    }
}

void kvPrinterConfig::setExtruderTemp(int pExtruder, float pValue)
{
    QLabel *tLabel = pExtruder == 0 ? m_ui->extruder0TempLabel
        : pExtruder == 1            ? m_ui->extruder1TempLabel
                                    : nullptr;
    if (tLabel) {
        tLabel->setText(QString::number(double(pValue), 'g', 6) + QChar(0x00B0));
    }
}

void kvPrinterConfig::setExtruderWattage(int pExtruder, float pValue)
{
    QLineEdit *tBox = pExtruder == 0 ? m_ui->extruder0WattageTextBox_2
        : pExtruder == 1             ? m_ui->extruder1WattageTextBox_2
                                     : nullptr;
    if (tBox) {
        tBox->setText(powerText(pValue));
    }
}

void kvPrinterConfig::setExtruderDesiredTemp(int pExtruder, float pValue)
{
    setSpinBoxTemp(
        pExtruder == 0 ? m_ui->extruder0TempSpinBox : m_ui->extruder1TempSpinBox, pValue);
}

void kvPrinterConfig::setExtruderSetTemp(int pExtruder, float pValue)
{
    if (QPushButton *tButton = extruderHeatButton(pExtruder)) {
        setHeatIcon(tButton, pValue);
    }
}

void kvPrinterConfig::setExtruderToldToHeat(int pExtruder, bool pValue)
{
    if (QPushButton *tButton = extruderHeatButton(pExtruder)) {
        tButton->setChecked(pValue);
    }
}

void kvPrinterConfig::setBedIsHeated(bool pValue)
{
    m_ui->bedGroupBox->setVisible(pValue);
}

void kvPrinterConfig::setBedTemp(float pValue)
{
    m_ui->bedTempLabel->setText(pValue > 0.0f
            ? QString::number(double(pValue), 'f', 1) + QChar(0x00B0)
            : QStringLiteral("N/A"));
}

void kvPrinterConfig::setBedWattage(float pValue)
{
    m_ui->bedWattageTextBox_2->setText(powerText(pValue));
}

void kvPrinterConfig::setBedDesiredTemp(float pValue)
{
    setSpinBoxTemp(m_ui->bedTempSpinBox, pValue);
}

void kvPrinterConfig::setBedSetTemp(float pValue)
{
    setHeatIcon(m_ui->bedHeatButton, pValue);
}

void kvPrinterConfig::setBedToldToHeat(bool pValue)
{
    m_ui->bedHeatButton->setChecked(pValue);
}

void kvPrinterConfig::setPowerTurnOffAfterPrint(bool pValue)
{
    m_ui->powerTurnOffCheckbox->setChecked(pValue);
}

void kvPrinterConfig::setPrinterCommand(const QString &pCommand)
{
    m_ui->textEdit->appendPlainText(QStringLiteral("C: ") + pCommand);
}

void kvPrinterConfig::setPrinterResponse(const QString &pResponse)
{
    m_ui->textEdit->appendPlainText(QStringLiteral("R: ") + pResponse);
}

QStringList kvPrinterConfig::consoleLines() const
{
    QStringList tLines;
    const QTextDocument *tDocument = m_ui->textEdit->document();
    for (QTextBlock tBlock = tDocument->begin(); tBlock.isValid(); tBlock = tBlock.next()) {
        tLines.append(tBlock.text());
    }
    if (tLines.size() == 1 && tLines.first().isEmpty()) {
        tLines.clear();
    }
    return tLines;
}

bool kvPrinterConfig::eventFilter(QObject *pObject, QEvent *pEvent)
{
    if (pObject == m_ui->gcodeText && pEvent->type() == QEvent::KeyPress) {
        const int tKey = static_cast<QKeyEvent *>(pEvent)->key();
        if (tKey == Qt::Key_Return || tKey == Qt::Key_Enter) {
            onSendGCodeClicked();
            return true;
        }
    }
    return QMainWindow::eventFilter(pObject, pEvent);
}

QPushButton *kvPrinterConfig::extruderHeatButton(int pExtruder) const
{
    return pExtruder == 0 ? m_ui->extruder0HeatButton
        : pExtruder == 1  ? m_ui->extruder1HeatButton
                          : nullptr;
}

void kvPrinterConfig::setSpinBoxTemp(QSpinBox *pBox, float pValue)
{
    // Clamped before the cut to int, so no reading is out of int's range.
    if (std::isnan(pValue)) {
        return;
    }
    const double tValue
        = std::trunc(qBound(double(pBox->minimum()), double(pValue), double(pBox->maximum())));
    pBox->setValue(int(tValue));
}

QString kvPrinterConfig::powerText(float pValue)
{
    return QString::number(double(pValue) / 127.0 * 100.0, 'f', 1) + QLatin1Char('%');
}

void kvPrinterConfig::setHeatIcon(QPushButton *pButton, float pSetTemp)
{
    const QString &tPath = pSetTemp > 0.0f ? connectedIcon() : disconnectedIcon();
    if (pButton->property(IconProperty).toString() != tPath) {
        pButton->setProperty(IconProperty, tPath);
        pButton->setIcon(QIcon(tPath));
    }
}

void kvPrinterConfig::onGCodeTextChanged(const QString &pText)
{
    QLineEdit *tLine = m_ui->gcodeText;
    disconnect(tLine, &QLineEdit::textChanged, this, &kvPrinterConfig::onGCodeTextChanged);
    tLine->setText(pText.toUpper());
    tLine->setCursorPosition(tLine->text().size());
    connect(tLine, &QLineEdit::textChanged, this, &kvPrinterConfig::onGCodeTextChanged);
}

void kvPrinterConfig::onSendGCodeClicked()
{
    emit GCodeClicked(m_ui->gcodeText->text());
    m_ui->gcodeText->clear();
}

void kvPrinterConfig::onHeatExtruder0Clicked()
{
    if (!m_initializing) {
        emit HeatExtruder(
            0, m_ui->extruder0HeatButton->isChecked(), float(m_ui->extruder0TempSpinBox->value()));
    }
}

void kvPrinterConfig::onHeatExtruder1Clicked()
{
    if (!m_initializing) {
        emit HeatExtruder(
            1, m_ui->extruder1HeatButton->isChecked(), float(m_ui->extruder1TempSpinBox->value()));
    }
}

void kvPrinterConfig::onHeatBedClicked()
{
    if (!m_initializing) {
        emit HeatBed(m_ui->bedHeatButton->isChecked(), float(m_ui->bedTempSpinBox->value()));
    }
}

void kvPrinterConfig::onHomeButtonClicked()
{
    emit MoveHome(CoordinateAll);
}

void kvPrinterConfig::onHomeXButtonClicked()
{
    emit MoveHome(CoordinateX);
}

void kvPrinterConfig::onHomeYButtonClicked()
{
    emit MoveHome(CoordinateY);
}

void kvPrinterConfig::onPrintControlHomeZButtonClicked()
{
    // The firmware homes every axis on a bare "G28".
    emit MoveHome(CoordinateAll);
}

void kvPrinterConfig::onExtruder0SpinBoxValueChanged(int pValue)
{
    if (!m_initializing) {
        emit HeatExtruder(0, true, float(pValue));
    }
}

void kvPrinterConfig::onExtruder1SpinBoxValueChanged(int pValue)
{
    if (!m_initializing) {
        emit HeatExtruder(1, true, float(pValue));
    }
}

void kvPrinterConfig::onBedSpinBoxValueChanged(int pValue)
{
    if (!m_initializing) {
        emit HeatBed(true, float(pValue));
    }
}

void kvPrinterConfig::onPrintControlZCalibrationClicked()
{
    emit ShowZCalibration();
}

void kvPrinterConfig::onRunZCalibrationTest()
{
    emit RunZCalibrationTest();
}

void kvPrinterConfig::onPowerTurnOffChecked()
{
    if (m_initializing) {
        return;
    }
    const bool tChecked = m_ui->powerTurnOffCheckbox->isChecked();
    emit ExtruderTurnOffAfterPrint(0, tChecked);
    emit ExtruderTurnOffAfterPrint(1, tChecked);
    emit BedTurnOffAfterPrint(tChecked);
}

void kvPrinterConfig::onPrintControlDisableMotorsButtonClicked()
{
    emit GCodeClicked(QStringLiteral("M84"));
}

void kvPrinterConfig::onTabWidgetCurrentChanged(int pIndex)
{
    if (pIndex == 0) {
        m_ui->printControlDisableMotorsButton->setFocus();
    } else if (pIndex == 1) {
        m_ui->gcodeText->setFocus();
    }
}

void kvPrinterConfig::onPrintControlCenterButtonClicked()
{
    emit MoveCenter();
}

void kvPrinterConfig::onPrintControlHomeAllButtonClicked()
{
    emit MoveHome(CoordinateX);
    emit MoveHome(CoordinateY);
    emit MoveHome(CoordinateZ);
}

void kvPrinterConfig::onPrintControlHomeXYButtonClicked()
{
    emit MoveHome(CoordinateX);
    emit MoveHome(CoordinateY);
}

void kvPrinterConfig::onPrintControlXLeftButtonClicked()
{
    emit Move(CoordinateX, float(-m_moveStep));
}

void kvPrinterConfig::onPrintControlXRightButtonClicked()
{
    emit Move(CoordinateX, float(m_moveStep));
}

void kvPrinterConfig::onPrintControlYBackButtonClicked()
{
    emit Move(CoordinateY, float(m_moveStep));
}

void kvPrinterConfig::onPrintControlYForwardButtonClicked()
{
    emit Move(CoordinateY, float(-m_moveStep));
}

void kvPrinterConfig::onPrintControlZDownButtonClicked()
{
    emit Move(CoordinateZ, float(m_moveStep));
}

void kvPrinterConfig::onPrintControlZUpButtonClicked()
{
    emit Move(CoordinateZ, float(-m_moveStep));
}

void kvPrinterConfig::onPrintControl01mmButtonClicked()
{
    m_moveStep = 0.1;
}

void kvPrinterConfig::onPrintControl1mmButtonClicked()
{
    m_moveStep = 1.0;
}

void kvPrinterConfig::onPrintControl10mmButtonClicked()
{
    m_moveStep = 10.0;
}

void kvPrinterConfig::onPrintControl50mmButtonClicked()
{
    m_moveStep = 50.0;
}

void kvPrinterConfig::onExtruderExtruderButtonClicked()
{
    emit ExtrudeFilament(m_selectedExtruder, int(m_extrudeAmount));
}

void kvPrinterConfig::onExtruderRetractButtonClicked()
{
    emit RetractFilament(m_selectedExtruder, int(m_extrudeAmount));
}

void kvPrinterConfig::onExtruder1SecondButtonClicked()
{
    m_extrudeAmount = 3.0;
}

void kvPrinterConfig::onExtruder5SecondButtonClicked()
{
    m_extrudeAmount = 10.0;
}

void kvPrinterConfig::onExtruder10SecondButtonClicked()
{
    m_extrudeAmount = 21.0;
}

void kvPrinterConfig::onExtruder1ButtonClicked()
{
    m_selectedExtruder = 0;
}

void kvPrinterConfig::onExtruder2ButtonClicked()
{
    m_selectedExtruder = 1;
}
