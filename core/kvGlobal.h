#pragma once

#include "kvVersion.h"

#include <QString>

namespace Kv {
namespace Global {

// The program's version text, from the project's version.
constexpr const char *VersionNumber = KV_VERSION_TEXT;

extern QString Version;
extern bool DeveloperMode;

// Clears developer mode and sets the version.
void Initalize();
void InitalizeVersion();

} // namespace Global
} // namespace Kv
