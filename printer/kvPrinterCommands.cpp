// Manual commands (moves, homing, extrusion, Z offset) and the printer's windows:
// the printer window and the Z-offset calibration.
#include "kvPrinter.h"

#include "kvFirmware.h"
#include "kvLogging.h"
#include "kvPrinterConfig.h"
#include "kvPrinterFile.h"
#include "kvPrinterZOffsetCalibration.h"
#include "kvWireNumber.h"

#include <QRegularExpression>
#include <QTimer>

namespace {

using Kv::Wire::number;

QString axisLetter(Kv::Defines::kvCoordinate pAxis)
{
    switch (pAxis) {
    case Kv::Defines::CoordinateX:
        return QStringLiteral("X");
    case Kv::Defines::CoordinateY:
        return QStringLiteral("Y");
    case Kv::Defines::CoordinateZ:
        return QStringLiteral("Z");
    default:
        return QString();
    }
}

} // namespace

void kvPrinter::move(Kv::Defines::kvCoordinate pDirection, float pValue)
{
    const QString tAxis = axisLetter(pDirection);
    if (tAxis.isEmpty()) {
        return;
    }
    sendCommandToPrinter(QStringLiteral("G91"));
    sendCommandToPrinter(QStringLiteral("G1 ") + tAxis + number(pValue) + QStringLiteral(" F4800"));
    sendCommandToPrinter(QStringLiteral("G90"));
}

void kvPrinter::moveHome(Kv::Defines::kvCoordinate pDirection)
{
    const QString tAxis = axisLetter(pDirection);
    sendCommandToPrinter(tAxis.isEmpty() ? QStringLiteral("G28")
                                         : QStringLiteral("G28 ") + tAxis + QStringLiteral("0"));
}

void kvPrinter::onPrinterConfigMoveCenter()
{
    moveHome(Kv::Defines::CoordinateX);
    moveHome(Kv::Defines::CoordinateY);
    const kvVector3D tBed = m_printerSettings->bedSize();
    sendCommandToPrinter(QStringLiteral("G91"));
    sendCommandToPrinter(QStringLiteral("G1 X") + number(tBed.x() * -0.5f) + QStringLiteral(" Y")
        + number(tBed.y() * -0.5f) + QStringLiteral(" F4800"));
    sendCommandToPrinter(QStringLiteral("G90"));
}

void kvPrinter::extrude(int pExtruder, int pValue)
{
    sendCommandToPrinter(QStringLiteral("T") + QString::number(pExtruder));
    sendCommandToPrinter(QStringLiteral("G91"));
    sendCommandToPrinter(
        QStringLiteral("G1 E") + QString::number(pValue) + QStringLiteral(" F120"));
    sendCommandToPrinter(QStringLiteral("G90"));
}

void kvPrinter::retract(int pExtruder, int pValue)
{
    sendCommandToPrinter(QStringLiteral("T") + QString::number(pExtruder));
    sendCommandToPrinter(QStringLiteral("G91"));
    sendCommandToPrinter(
        QStringLiteral("G1 E-") + QString::number(pValue) + QStringLiteral(" F1800"));
    sendCommandToPrinter(QStringLiteral("G90"));
}

void kvPrinter::setZOffset(float pValue)
{
    sendCommandToPrinter(QStringLiteral("M851 Z") + number(pValue));
    sendCommandToPrinter(QStringLiteral("M500"));
}

void kvPrinter::onPrinterConfigMove(Kv::Defines::kvCoordinate pDirection, float pValue)
{
    move(pDirection, pValue);
}

void kvPrinter::onPrinterConfigMoveHome(Kv::Defines::kvCoordinate pDirection)
{
    moveHome(pDirection);
}

void kvPrinter::onPrinterConfigExtrudeFilament(int pExtruder, int pValue)
{
    extrude(pExtruder, pValue);
}

void kvPrinter::onPrinterConfigRetractFilament(int pExtruder, int pValue)
{
    retract(pExtruder, pValue);
}

void kvPrinter::onPrinterConfigGCodeClicked(QString pGCode)
{
    sendCommandToPrinter(pGCode);
}

void kvPrinter::onShowZCalibration()
{
    showZCalibration();
}

void kvPrinter::onSetNewZOffset(float pValue)
{
    setZOffset(pValue);
}

void kvPrinter::onRunZCalibrationTest()
{
    // The calibration homes and probes the bed: never over a part being printed.
    if (m_printState != PrintState::Idle) {
        setStatusString(QStringLiteral("The calibration cannot run while the printer is busy "
                                       "with a print."));
        return;
    }
    if (!canSend() || !m_isConnected) {
        setStatusString(QStringLiteral("The printer is not connected."));
        return;
    }
    m_awaitingZOffset = true;
    m_calibrationRunning = true;
    sendCommandToPrinter(QStringLiteral("M851"));

    // The printer's own file, wired as every file it holds.
    setPrinterFile(QStringLiteral(":/ZOffsetCalibration.gcode"));
    m_printerFile->setUseRawGCode(true);
    m_printerFile->loadZOffsetCalibrationFile();
}

void kvPrinter::handleZOffsetCalibration(QString pResponse)
{
    if (m_awaitingZOffset && pResponse.contains(QLatin1String("Z Offset"))) {
        m_awaitingZOffset = false;
        const int tAt = pResponse.indexOf(QLatin1String(": "));
        const QString tRest = (tAt >= 0 ? pResponse.mid(tAt + 2) : pResponse.mid(1)).trimmed();
        // The whole number: up to the first blank or line end.
        static const QRegularExpression tBlank(QStringLiteral("\\s"));
        const QString tValue = tRest.section(tBlank, 0, 0);
        if (m_zOffsetCalibration) {
            m_zOffsetCalibration->setZOffset(tValue);
        }
        return;
    }
    const QString tUpper = pResponse.toUpper();
    if (!m_calibrationRunning) {
        if (isPrinting() && tUpper.contains(QLatin1String("EQN COEFFICIENTS"))) {
            m_printingStatusTimer->start();
        }
        return;
    }
    if (tUpper.contains(QLatin1String("BED X:"))) {
        if (m_zOffsetCalibration) {
            m_zOffsetCalibration->setProbeData(pResponse);
        }
    } else if (tUpper.contains(QLatin1String("EQN COEFFICIENTS"))) {
        if (m_zOffsetCalibration) {
            m_zOffsetCalibration->setEgnCoefficients(pResponse);
        }
        m_calibrationRunning = false;
    }
}

void kvPrinter::handleEEPROMSettings(QString pResponse)
{
    if (!pResponse.contains(QLatin1String("echo:"))) {
        return;
    }
    static const char *const tCodes[] = {"M92", "M201", "M203", "M204", "M205", "M206", "M301"};
    for (const char *tCode : tCodes) {
        if (pResponse.contains(QLatin1String(tCode))) {
            qCDebug(lcPrinter).noquote() << pResponse.trimmed();
            return;
        }
    }
}

void kvPrinter::setPrinterCommand(QString pCommand)
{
    if (m_printerConfig) {
        m_printerConfig->setPrinterCommand(pCommand);
    }
}

void kvPrinter::setPrinterResponse(QString pResponse)
{
    if (m_printerConfig) {
        m_printerConfig->setPrinterResponse(pResponse);
    }
}

void kvPrinter::showPrinterConfig()
{
    if (!m_printerConfig) {
        m_printerConfig = new kvPrinterConfig();
        kvPrinterConfig *tWindow = m_printerConfig;
        connect(
            tWindow, &kvPrinterConfig::GCodeClicked, this, &kvPrinter::onPrinterConfigGCodeClicked);
        connect(tWindow, &kvPrinterConfig::HeatBed, this, &kvPrinter::onPrinterConfigHeatBed);
        connect(
            tWindow, &kvPrinterConfig::HeatExtruder, this, &kvPrinter::onPrinterConfigHeatExtruder);
        connect(tWindow, &kvPrinterConfig::Move, this, &kvPrinter::onPrinterConfigMove);
        connect(tWindow, &kvPrinterConfig::MoveHome, this, &kvPrinter::onPrinterConfigMoveHome);
        connect(tWindow, &kvPrinterConfig::ShowZCalibration, this, &kvPrinter::onShowZCalibration);
        connect(tWindow, &kvPrinterConfig::ExtrudeFilament, this,
            &kvPrinter::onPrinterConfigExtrudeFilament);
        connect(tWindow, &kvPrinterConfig::RetractFilament, this,
            &kvPrinter::onPrinterConfigRetractFilament);
        connect(tWindow, &kvPrinterConfig::ExtruderTurnOffAfterPrint, this,
            &kvPrinter::onExtruderTurnOffAfterPrint);
        connect(tWindow, &kvPrinterConfig::BedTurnOffAfterPrint, this,
            &kvPrinter::onBedTurnOffAfterPrint);
        connect(tWindow, &kvPrinterConfig::MoveCenter, this, &kvPrinter::onPrinterConfigMoveCenter);
    }
    m_printerConfig->setTitle(
        name() + QStringLiteral(" (") + m_serialPort.portName() + QStringLiteral(")"));
    updateWindows();
    m_printerConfig->hide();
    m_printerConfig->show();
}

void kvPrinter::showZCalibration()
{
    if (!m_zOffsetCalibration) {
        m_zOffsetCalibration = new kvPrinterZOffsetCalibration();
        connect(m_zOffsetCalibration, &kvPrinterZOffsetCalibration::RunZOffsetCalibration, this,
            &kvPrinter::onRunZCalibrationTest);
        connect(m_zOffsetCalibration, &kvPrinterZOffsetCalibration::SetNewZOffset, this,
            &kvPrinter::onSetNewZOffset);
    }
    m_zOffsetCalibration->setBedSize(m_printerSettings->bedSize());
    m_awaitingZOffset = true;
    m_zOffsetCalibration->show();
}

void kvPrinter::updateWindows()
{
    if (m_printerConfig) {
        kvPrinterConfig *tWindow = m_printerConfig;
        tWindow->setInitializing(true);
        tWindow->setFirmwareExtruderCountBox(number(m_firmware->ExtruderCount()));
        tWindow->setFirmwareMachineTypeBox(m_firmware->MachineType());
        tWindow->setFirmwareNameBox(m_firmware->Name());
        tWindow->setFirmwareProtocolVerBox(m_firmware->ProtocolVersion());
        tWindow->setFirmwareUrlBox(m_firmware->Url());
        tWindow->setFirmwareUUIDBox(m_firmware->UUID());
        tWindow->setIsConnected(m_isConnected);
        tWindow->setIsHeated(m_isHeated);
        tWindow->setIsHeating(m_isHeating);
        tWindow->setIsPrinting(isPrinting());
        tWindow->setIsPaused(isPaused());
        tWindow->setIsWaitingToPrint(isWaitingToPrint());
        if (extruderCount() == 1) {
            tWindow->setExtruderEnabled(1, false);
        }
        bool tAnyTurnOff = m_bedTurnOffAfterPrint;
        for (int i = 0; i < extruderCount(); ++i) {
            tWindow->setExtruderTemp(i, m_extruderTemps.at(i));
            tWindow->setExtruderWattage(i, m_extruderWatt);
            tWindow->setExtruderDesiredTemp(i, m_desiredExtruderTemps.at(i));
            tWindow->setExtruderSetTemp(i, m_extruderSetTemps.at(i));
            tWindow->setExtruderToldToHeat(i, m_extruderToldToHeat.at(i));
            tAnyTurnOff = tAnyTurnOff || m_extruderTurnOffAfterPrint.at(i);
        }
        tWindow->setBedIsHeated(m_bedIsHeated);
        tWindow->setBedTemp(m_bedTemp);
        tWindow->setBedWattage(m_bedWatt);
        tWindow->setBedDesiredTemp(m_desiredBedTemp);
        tWindow->setBedSetTemp(m_bedSetTemp);
        tWindow->setBedToldToHeat(m_bedToldToHeat);
        tWindow->setPowerTurnOffAfterPrint(tAnyTurnOff);
        tWindow->setInitializing(false);
    }
    if (m_zOffsetCalibration) {
        m_zOffsetCalibration->setIsPrinting(isPrinting());
        m_zOffsetCalibration->setIsWaitingToPrint(isWaitingToPrint());
    }
}
