#pragma once

#include "kvDefines.h"
#include "kvVector3D.h"

#include <QObject>
#include <QString>

// One printer type of the printer types file: the machine type it matches and what
// the program needs to know about that model.
class kvPrinterSettings : public QObject
{
    Q_OBJECT

public:
    // Probe kind of an entry whose file gives none.
    static constexpr int NoProbe = -1;

    explicit kvPrinterSettings(QObject *pParent = nullptr);

    QString firmwareName() const { return m_firmwareName; }
    QString printerName() const { return m_printerName; }
    kvVector3D bedSize() const { return m_bedSize; }
    Kv::Defines::kvPrinterProbe probe() const { return m_probe; }
    QString slic3rPrinterSetting() const { return m_slic3rPrinterSetting; }
    QString slic3rFilamentSetting() const { return m_slic3rFilamentSetting; }

    void setFirmwareName(const QString &pValue) { m_firmwareName = pValue; }
    void setPrinterName(const QString &pValue) { m_printerName = pValue; }
    void setBedSize(const kvVector3D &pValue) { m_bedSize = pValue; }
    void setProbe(Kv::Defines::kvPrinterProbe pValue) { m_probe = pValue; }
    void setSlic3rPrinterSetting(const QString &pValue) { m_slic3rPrinterSetting = pValue; }
    void setSlic3rFilamentSetting(const QString &pValue) { m_slic3rFilamentSetting = pValue; }

private:
    QString m_firmwareName;
    QString m_printerName;
    kvVector3D m_bedSize;
    Kv::Defines::kvPrinterProbe m_probe = Kv::Defines::kvPrinterProbe(NoProbe);
    QString m_slic3rPrinterSetting;
    QString m_slic3rFilamentSetting;
};
