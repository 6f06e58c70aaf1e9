#include "kvGlobal.h"

namespace Kv {
namespace Global {

QString Version;
bool DeveloperMode = false;

void Initalize()
{
    Version.clear();
    DeveloperMode = false;
    InitalizeVersion();
}

void InitalizeVersion()
{
    Version = QString::fromLatin1(VersionNumber);
}

} // namespace Global
} // namespace Kv
