#pragma once

#include "kvVector3D.h"

#include <QDialog>
#include <QString>
#include <QStringList>

// The Z-offset calibration wizard: runs the test print through its printer and sets
// the offset the user picks. The printer feeds it the firmware's replies.
class kvPrinterZOffsetCalibration : public QDialog
{
    Q_OBJECT

public:
    explicit kvPrinterZOffsetCalibration(QWidget *pParent = nullptr);
    ~kvPrinterZOffsetCalibration() override;

    void setBedSize(const kvVector3D &pValue) { m_bedSize = pValue; }
    kvVector3D bedSize() const { return m_bedSize; }

    // The firmware's current offset as text.
    void setZOffset(const QString &pValue);
    QString zOffsetText() const { return m_zOffsetText; }
    // One bed probe response.
    void setProbeData(const QString &pValue);
    QStringList probeData() const { return m_probeData; }
    // The bed plane's coefficients response.
    void setEgnCoefficients(const QString &pValue);
    QString egnCoefficients() const { return m_coefficients; }

    void setIsPrinting(bool pValue) { m_isPrinting = pValue; }
    void setIsWaitingToPrint(bool pValue) { m_isWaitingToPrint = pValue; }

signals:
    void RunZOffsetCalibration();
    void SetNewZOffset(float pValue);

private:
    kvVector3D m_bedSize;
    QString m_zOffsetText;
    QStringList m_probeData;
    QString m_coefficients;
    bool m_isPrinting = false;
    bool m_isWaitingToPrint = false;
};
