#pragma once

#include "kvDefines.h"

#include <QFileInfo>
#include <QHash>
#include <QString>
#include <QVector>

class QComboBox;

// One embedded slicer profile paired with its installed copy.
class kvSlic3rSetting
{
public:
    kvSlic3rSetting();
    kvSlic3rSetting(Kv::Defines::kvSlic3rSettingType pType, QFileInfo pResourceInfo, bool pFound);

    Kv::Defines::kvSlic3rSettingType Type() const { return m_type; }
    void setType(Kv::Defines::kvSlic3rSettingType pType) { m_type = pType; }

    QString ResourceName() const { return m_resourceName; }
    QFileInfo ResourceInfo() const { return m_resourceInfo; }
    void setResourceInfo(QFileInfo pInfo);

    QString InstalledName() const { return m_installedName; }
    QFileInfo InstalledInfo() const { return m_installedInfo; }
    void setInstalledInfo(QFileInfo pInfo);

    bool Found() const { return m_found; }
    void setFound(bool pFound) { m_found = pFound; }

    // The embedded profiles by kind, rebuilt by Kv::validateSlic3rSettings.
    static QHash<Kv::Defines::kvSlic3rSettingType, QVector<kvSlic3rSetting>>
        InstalledSlic3rSettings;

private:
    Kv::Defines::kvSlic3rSettingType m_type;
    QString m_resourceName;
    QFileInfo m_resourceInfo;
    QString m_installedName;
    QFileInfo m_installedInfo;
    bool m_found;
};

namespace Kv {

// "None", "print", "printer", "filament"; empty for any other value.
QString slic3rSettingTypeToString(Kv::Defines::kvSlic3rSettingType pType);

// Rebuilds kvSlic3rSetting::InstalledSlic3rSettings and marks the installed profiles.
void validateSlic3rSettings();

// Installs the embedded profiles not found (all of them when pOverwrite is set).
// False only when a profile folder cannot be made.
bool copySlic3rSettings(bool pOverwrite);

// Names of the installed profiles of each kind.
void loadSlic3rSettings(QComboBox *pPrint, QComboBox *pFilament, QComboBox *pPrinter);
void loadSlic3rSettings(
    QVector<QString> &pPrint, QVector<QString> &pFilament, QVector<QString> &pPrinter);

} // namespace Kv
