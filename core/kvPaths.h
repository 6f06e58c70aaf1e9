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

// The application's data folder, absolute, without a trailing separator: the temporary
// slicing files and their lock live there.
QString dataFolder();

} // namespace Paths
} // namespace Kv
