#pragma once

#include <QString>

namespace Kv {
namespace Paths {

// Native separators; both data paths end with a separator.
extern QString Slic3rExe;
extern QString Slic3rAppData;
extern QString KestrovaExe;
extern QString KestrovaAppData;

// Needs the application object. Creates no folder.
void Initalize();

} // namespace Paths
} // namespace Kv
