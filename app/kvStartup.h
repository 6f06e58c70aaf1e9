#pragma once

#include "kvPlatform.h"

namespace Kv {
namespace Startup {
// Application identity, path and version globals, and the default slicer profiles.
// False when a slicer profile folder cannot be made; the program then ends at once.
bool prepare();
} // namespace Startup
} // namespace Kv
