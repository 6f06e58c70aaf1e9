#include "kvSlic3rSetting.h"

#include "kvLogging.h"
#include "kvPaths.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

using namespace Kv::Defines;

QHash<kvSlic3rSettingType, QVector<kvSlic3rSetting>> kvSlic3rSetting::InstalledSlic3rSettings;

kvSlic3rSetting::kvSlic3rSetting()
    : m_type(Slic3rSettingTypeNone)
    , m_found(false)
{ }

kvSlic3rSetting::kvSlic3rSetting(kvSlic3rSettingType pType, QFileInfo pResourceInfo, bool pFound)
    : m_type(pType)
    , m_found(pFound)
{
    setResourceInfo(pResourceInfo);
}

void kvSlic3rSetting::setResourceInfo(QFileInfo pInfo)
{
    m_resourceInfo = pInfo;
    m_resourceName = pInfo.fileName();
}

void kvSlic3rSetting::setInstalledInfo(QFileInfo pInfo)
{
    m_installedInfo = pInfo;
    m_installedName = pInfo.fileName();
}

namespace {

const kvSlic3rSettingType tKinds[]
    = {Slic3rSettingTypePrint, Slic3rSettingTypePrinter, Slic3rSettingTypeFilament};

QString kindFolder(kvSlic3rSettingType pType)
{
    // The data folder ends in a separator already: one separator between the two.
    return QDir::toNativeSeparators(QDir::cleanPath(
        Kv::Paths::Slic3rAppData + QDir::separator() + Kv::slic3rSettingTypeToString(pType)));
}

QStringList installedNames(kvSlic3rSettingType pType)
{
    QDir tDir(Kv::Paths::Slic3rAppData + Kv::slic3rSettingTypeToString(pType));
    if (!tDir.exists())
        return {};
    return tDir.entryList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

} // namespace

QString Kv::slic3rSettingTypeToString(kvSlic3rSettingType pType)
{
    switch (pType) {
    case Slic3rSettingTypeNone:
        return QStringLiteral("None");
    case Slic3rSettingTypePrint:
        return QStringLiteral("print");
    case Slic3rSettingTypePrinter:
        return QStringLiteral("printer");
    case Slic3rSettingTypeFilament:
        return QStringLiteral("filament");
    }
    return QString();
}

void Kv::validateSlic3rSettings()
{
    auto &tTable = kvSlic3rSetting::InstalledSlic3rSettings;
    tTable.clear();
    for (kvSlic3rSettingType tKind : tKinds)
        tTable.insert(tKind, {});

    for (kvSlic3rSettingType tKind : tKinds) {
        QVector<kvSlic3rSetting> &tList = tTable[tKind];
        const QDir tResources(QStringLiteral(":/") + slic3rSettingTypeToString(tKind));
        const QFileInfoList tEntries
            = tResources.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QFileInfo &tEntry : tEntries)
            tList.append(kvSlic3rSetting(tKind, tEntry, false));
    }

    for (kvSlic3rSettingType tKind : tKinds) {
        QDir tFolder(kindFolder(tKind));
        if (!tFolder.exists())
            continue;
        QVector<kvSlic3rSetting> &tList = tTable[tKind];
        const QFileInfoList tEntries
            = tFolder.entryInfoList({QStringLiteral("*.ini")}, QDir::Files);
        for (const QFileInfo &tEntry : tEntries) {
            if (tEntry.suffix() != QLatin1String("ini"))
                continue;
            for (kvSlic3rSetting &tSetting : tList) {
                if (tSetting.ResourceName() == tEntry.fileName()) {
                    tSetting.setInstalledInfo(tEntry);
                    tSetting.setFound(true);
                    break;
                }
            }
        }
    }
}

bool Kv::copySlic3rSettings(bool pOverwrite)
{
    // A fresh account may lack the parents of the slicer's folder too.
    if (!QDir().mkpath(Kv::Paths::Slic3rAppData))
        return false;

    const auto tTable = kvSlic3rSetting::InstalledSlic3rSettings;
    for (auto tKind = tTable.cbegin(); tKind != tTable.cend(); ++tKind) {
        const QString tFolder = kindFolder(tKind.key());
        for (const kvSlic3rSetting &tSetting : tKind.value()) {
            if (tSetting.Found() && !pOverwrite)
                continue;
            const QString tTarget = tFolder + QDir::separator() + tSetting.ResourceName();
            if (!QDir().mkpath(tFolder))
                return false;
            if (pOverwrite)
                QFile::remove(tTarget);
            if (!QFile::copy(tSetting.ResourceInfo().filePath(), tTarget)) {
                qCDebug(lcPrintFile).noquote()
                    << QStringLiteral("File copy failed: \"%1\"").arg(tTarget);
                continue;
            }
            // Profiles are plain text files: rw-r--r--.
            if (QFile::setPermissions(tTarget,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                        | QFileDevice::ReadOther))
                qCDebug(lcPrintFile).noquote()
                    << QStringLiteral("File copy sucessful: \"%1\"").arg(tTarget);
        }
    }
    return true;
}

void Kv::loadSlic3rSettings(QComboBox *pPrint, QComboBox *pFilament, QComboBox *pPrinter)
{
    const std::pair<QComboBox *, kvSlic3rSettingType> tBoxes[] = {{pPrint, Slic3rSettingTypePrint},
        {pFilament, Slic3rSettingTypeFilament}, {pPrinter, Slic3rSettingTypePrinter}};
    for (const auto &tBox : tBoxes) {
        if (!tBox.first)
            continue;
        tBox.first->clear();
        tBox.first->addItems(installedNames(tBox.second));
    }
}

void Kv::loadSlic3rSettings(
    QVector<QString> &pPrint, QVector<QString> &pFilament, QVector<QString> &pPrinter)
{
    pPrint = installedNames(Slic3rSettingTypePrint).toVector();
    pFilament = installedNames(Slic3rSettingTypeFilament).toVector();
    pPrinter = installedNames(Slic3rSettingTypePrinter).toVector();
}
