#pragma once

#include "kvDefines.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

namespace Ui {
class kvPrinterConfig;
}

class QPushButton;
class QSpinBox;

// The printer control window: jogging, homing, heating, filament, console and the
// firmware's identity. It holds no printer state: the printer fills it through the
// setters and turns its signals into G-code.
class kvPrinterConfig : public QMainWindow
{
    Q_OBJECT

public:
    explicit kvPrinterConfig(QWidget *pParent = nullptr);
    ~kvPrinterConfig() override;

    // Lines kept by the console; older ones are dropped.
    static constexpr int ConsoleLineLimit = 5000;

    void setTitle(const QString &pTitle);
    void setInitializing(bool pValue);
    bool isInitializing() const { return m_initializing; }

    void setFirmwareNameBox(const QString &pValue);
    void setFirmwareUrlBox(const QString &pValue);
    void setFirmwareMachineTypeBox(const QString &pValue);
    void setFirmwareExtruderCountBox(const QString &pValue);
    void setFirmwareProtocolVerBox(const QString &pValue);
    void setFirmwareUUIDBox(const QString &pValue);

    void setIsConnected(bool pValue);
    void setIsHeating(bool pValue);
    void setIsHeated(bool pValue);
    void setIsWaitingToPrint(bool pValue);
    void setIsPrinting(bool pValue);
    void setIsPaused(bool pValue);

    void setExtruderEnabled(int pExtruder, bool pValue);
    void setExtruderTemp(int pExtruder, float pValue);
    void setExtruderWattage(int pExtruder, float pValue);
    void setExtruderDesiredTemp(int pExtruder, float pValue);
    void setExtruderSetTemp(int pExtruder, float pValue);
    void setExtruderToldToHeat(int pExtruder, bool pValue);

    void setBedIsHeated(bool pValue);
    void setBedTemp(float pValue);
    void setBedWattage(float pValue);
    void setBedDesiredTemp(float pValue);
    void setBedSetTemp(float pValue);
    void setBedToldToHeat(bool pValue);
    void setPowerTurnOffAfterPrint(bool pValue);

    // Console: "C: " before each command, "R: " before each response.
    void setPrinterCommand(const QString &pCommand);
    void setPrinterResponse(const QString &pResponse);
    QStringList consoleLines() const;

    double moveStep() const { return m_moveStep; }
    double extrudeAmount() const { return m_extrudeAmount; }
    int selectedExtruder() const { return m_selectedExtruder; }

    bool eventFilter(QObject *pObject, QEvent *pEvent) override;

signals:
    void GCodeClicked(QString pValue);
    void HeatExtruder(int pExtruderNumber, bool pValue, float pTemp);
    void HeatBed(bool pValue, float pTemp);
    void Move(Kv::Defines::kvCoordinate pDirection, float pValue);
    void MoveHome(Kv::Defines::kvCoordinate pDirection = Kv::Defines::CoordinateAll);
    void MoveCenter();
    void ShowZCalibration();
    void RunZCalibrationTest();
    void ExtrudeFilament(int pExtruder, int pValue);
    void RetractFilament(int pExtruder, int pValue);
    void ExtruderTurnOffAfterPrint(int pExtruder, bool pValue);
    void BedTurnOffAfterPrint(bool pValue);

protected:
    void showEvent(QShowEvent *pEvent) override;

private slots:
    void onGCodeTextChanged(const QString &pText);
    void onSendGCodeClicked();
    void onHeatExtruder0Clicked();
    void onHeatExtruder1Clicked();
    void onHeatBedClicked();
    void onHomeButtonClicked();
    void onHomeXButtonClicked();
    void onHomeYButtonClicked();
    void onPrintControlHomeZButtonClicked();
    void onExtruder0SpinBoxValueChanged(int pValue);
    void onExtruder1SpinBoxValueChanged(int pValue);
    void onBedSpinBoxValueChanged(int pValue);
    void onPrintControlZCalibrationClicked();
    void onRunZCalibrationTest();
    void onPowerTurnOffChecked();
    void onPrintControlDisableMotorsButtonClicked();
    void onTabWidgetCurrentChanged(int pIndex);
    void onPrintControlCenterButtonClicked();
    void onPrintControlHomeAllButtonClicked();
    void onPrintControlHomeXYButtonClicked();
    void onPrintControlXLeftButtonClicked();
    void onPrintControlXRightButtonClicked();
    void onPrintControlYBackButtonClicked();
    void onPrintControlYForwardButtonClicked();
    void onPrintControlZDownButtonClicked();
    void onPrintControlZUpButtonClicked();
    void onPrintControl01mmButtonClicked();
    void onPrintControl1mmButtonClicked();
    void onPrintControl10mmButtonClicked();
    void onPrintControl50mmButtonClicked();
    void onExtruderExtruderButtonClicked();
    void onExtruderRetractButtonClicked();
    void onExtruder1SecondButtonClicked();
    void onExtruder5SecondButtonClicked();
    void onExtruder10SecondButtonClicked();
    void onExtruder1ButtonClicked();
    void onExtruder2ButtonClicked();

private:
    void scrollControls();
    QPushButton *extruderHeatButton(int pExtruder) const;
    static void setSpinBoxTemp(QSpinBox *pBox, float pValue);
    static QString powerText(float pValue);
    void setHeatIcon(QPushButton *pButton, float pSetTemp);

    Ui::kvPrinterConfig *m_ui = nullptr;
    bool m_initializing = true;
    int m_selectedExtruder = 0;
    double m_moveStep = 10.0;
    double m_extrudeAmount = 10.0;
};
