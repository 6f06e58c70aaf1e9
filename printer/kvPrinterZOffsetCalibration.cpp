#include "kvPrinterZOffsetCalibration.h"

kvPrinterZOffsetCalibration::kvPrinterZOffsetCalibration(QWidget *pParent)
    : QDialog(pParent)
{ }

kvPrinterZOffsetCalibration::~kvPrinterZOffsetCalibration() = default;

void kvPrinterZOffsetCalibration::setZOffset(const QString &pValue)
{
    m_zOffsetText = pValue;
}

void kvPrinterZOffsetCalibration::setProbeData(const QString &pValue)
{
    m_probeData.append(pValue);
}

void kvPrinterZOffsetCalibration::setEgnCoefficients(const QString &pValue)
{
    m_coefficients = pValue;
}
