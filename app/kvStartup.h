#pragma once

#include "kvPlatform.h"

class kvApplication;

namespace Kv {
namespace Startup {
// Application identity, path and version globals, and the default slicer profiles.
// False when a slicer profile folder cannot be made; the program then ends at once.
bool prepare();
// Why the slicer profiles could not be installed, for the user.
QString profileProblem();
// The program after its application object exists: start-up, the main window and the
// event loop. A failed start-up is told to the user and ends with exit code 1.
int run(kvApplication &pApp);
} // namespace Startup
} // namespace Kv
