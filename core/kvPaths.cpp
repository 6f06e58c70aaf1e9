#include "kvPaths.h"

#include "kvPlatform.h"

#include <QCoreApplication>
#include <QDir>

namespace Kv {
namespace Paths {

QString Slic3rExe;
QString Slic3rAppData;
QString KestrovaExe;
QString KestrovaAppData;

void Initalize()
{
    const QString tSeparator = QDir::separator();
    const QString tAppFolder = QCoreApplication::applicationDirPath();
    const QString tData = Kv::Platform::genericDataLocation();

    Slic3rExe = QDir::toNativeSeparators(tAppFolder + tSeparator + QStringLiteral("Slic3r.app"));
    Slic3rAppData
        = QDir::toNativeSeparators(tData + tSeparator + QStringLiteral("Slic3r") + tSeparator);
    KestrovaExe = QDir::toNativeSeparators(tAppFolder);
    KestrovaAppData
        = QDir::toNativeSeparators(tData + tSeparator + QStringLiteral("Kestrova") + tSeparator);
}

QString dataFolder()
{
    return QDir(Kv::Platform::appDataLocation()).absolutePath();
}

} // namespace Paths
} // namespace Kv
