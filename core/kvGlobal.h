#pragma once

#include <QString>

namespace Kv {
namespace Global {

// The program's version text.
constexpr const char *VersionNumber = "1.2.3";

extern QString Version;
extern bool DeveloperMode;

// Clears developer mode and sets the version.
void Initalize();
void InitalizeVersion();

} // namespace Global
} // namespace Kv
