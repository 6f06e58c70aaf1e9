#include "kvStartup.h"

#include "kvGlobal.h"
#include "kvPaths.h"
#include "kvSlic3rSetting.h"

#include <QCoreApplication>

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

} // namespace Startup
} // namespace Kv
