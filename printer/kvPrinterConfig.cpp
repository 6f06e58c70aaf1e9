#include "kvPrinterConfig.h"

kvPrinterConfig::kvPrinterConfig(QWidget *pParent)
    : QMainWindow(pParent)
{ }

kvPrinterConfig::~kvPrinterConfig() = default;

void kvPrinterConfig::setTitle(const QString &pTitle)
{
    setWindowTitle(pTitle);
}

void kvPrinterConfig::setInitializing(bool pValue)
{
    m_initializing = pValue;
}

void kvPrinterConfig::setFirmwareNameBox(const QString &) { }
void kvPrinterConfig::setFirmwareUrlBox(const QString &) { }
void kvPrinterConfig::setFirmwareMachineTypeBox(const QString &) { }
void kvPrinterConfig::setFirmwareExtruderCountBox(const QString &) { }
void kvPrinterConfig::setFirmwareProtocolVerBox(const QString &) { }
void kvPrinterConfig::setFirmwareUUIDBox(const QString &) { }

void kvPrinterConfig::setIsConnected(bool) { }
void kvPrinterConfig::setIsHeating(bool) { }
void kvPrinterConfig::setIsHeated(bool) { }
void kvPrinterConfig::setIsWaitingToPrint(bool) { }
void kvPrinterConfig::setIsPrinting(bool) { }
void kvPrinterConfig::setIsPaused(bool) { }

void kvPrinterConfig::setExtruderEnabled(int, bool) { }
void kvPrinterConfig::setExtruderTemp(int, float) { }
void kvPrinterConfig::setExtruderWattage(int, float) { }
void kvPrinterConfig::setExtruderDesiredTemp(int, float) { }
void kvPrinterConfig::setExtruderSetTemp(int, float) { }
void kvPrinterConfig::setExtruderToldToHeat(int, bool) { }

void kvPrinterConfig::setBedIsHeated(bool) { }
void kvPrinterConfig::setBedTemp(float) { }
void kvPrinterConfig::setBedWattage(float) { }
void kvPrinterConfig::setBedDesiredTemp(float) { }
void kvPrinterConfig::setBedSetTemp(float) { }
void kvPrinterConfig::setBedToldToHeat(bool) { }
void kvPrinterConfig::setPowerTurnOffAfterPrint(bool) { }

void kvPrinterConfig::setPrinterCommand(const QString &pCommand)
{
    m_console.append(QStringLiteral("C: ") + pCommand);
}

void kvPrinterConfig::setPrinterResponse(const QString &pResponse)
{
    m_console.append(QStringLiteral("R: ") + pResponse);
}
