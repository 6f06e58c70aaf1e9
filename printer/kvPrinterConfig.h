#pragma once

#include "kvDefines.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

// The printer control window: jogging, homing, heating, filament, console and the
// firmware's identity. The printer fills it through the setters and turns its signals
// into G-code.
class kvPrinterConfig : public QMainWindow
{
    Q_OBJECT

public:
    explicit kvPrinterConfig(QWidget *pParent = nullptr);
    ~kvPrinterConfig() override;

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
    QStringList consoleLines() const { return m_console; }

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

private:
    bool m_initializing = false;
    QStringList m_console;
};
