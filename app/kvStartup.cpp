#include "kvStartup.h"

#include "kvApplication.h"
#include "kvDialogs.h"
#include "kvGlobal.h"
#include "kvMainWindow.h"
#include "kvPaths.h"
#include "kvSlic3rSetting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Kv {
namespace Startup {

bool prepare()
{
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
    QCoreApplication::setOrganizationName(QString());
    Kv::Paths::Initalize();
    Kv::Global::Initalize();
    Kv::validateSlic3rSettings();
    if (!Kv::copySlic3rSettings(false))
        return false;
    Kv::validateSlic3rSettings();
    return true;
}

QString profileProblem()
{
    // The first folder of the profile store that is missing is the one that could not be made.
    QString tFolder = QDir::cleanPath(QDir::fromNativeSeparators(Kv::Paths::Slic3rAppData));
    if (QFileInfo(tFolder).isDir()) {
        for (const auto tKind : {Kv::Defines::Slic3rSettingTypePrint,
                 Kv::Defines::Slic3rSettingTypeFilament, Kv::Defines::Slic3rSettingTypePrinter}) {
            const QString tKindFolder
                = tFolder + QLatin1Char('/') + slic3rSettingTypeToString(tKind);
            if (!QFileInfo(tKindFolder).isDir()) {
                tFolder = tKindFolder;
                break;
            }
        }
    }
    return QStringLiteral("Kestrova cannot install its Slic3r profiles: the folder ")
        + QDir::toNativeSeparators(tFolder) + QStringLiteral(" cannot be made, because ")
        + Kv::Platform::folderProblem(tFolder)
        + QStringLiteral(". Make that place a writable folder, then start Kestrova again.");
}

int run(kvApplication &pApp)
{
    if (!prepare()) {
        kvDialogs::critical(QStringLiteral("Slic3r Profiles"), profileProblem());
        return 1;
    }
    kvMainWindow tWindow;
    // A logout, a shutdown or a closed terminal ends the program as File > Exit does.
    Kv::Platform::watchEndSignals(&tWindow, [&tWindow](int) { tWindow.exitProgram(); });
    tWindow.show();
    pApp.setMainWindow(&tWindow);
    const int tCode = pApp.exec();
    pApp.setMainWindow(nullptr);
    return tCode;
}

} // namespace Startup
} // namespace Kv
